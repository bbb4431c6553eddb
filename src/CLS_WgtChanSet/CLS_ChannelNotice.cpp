#include "CLS_ChannelNotice.h"

#include <QCoreApplication>

namespace {

QString Tr(const char* _pcText)
{
    return QCoreApplication::translate("CLS_ChannelNotice", _pcText);
}

// What each library call was given, as the user reads it.
QString RefusalText(const STRUCT_Refusal& _structRefusal)
{
    static const QHash<QString, const char*> s_hashLabel{
        {QStringLiteral("camera_business_set_video_quality"), "视频质量%1"},
        {QStringLiteral("camera_business_set_frame_rate"), "帧率%1"},
        {QStringLiteral("camera_business_set_bit_rate"), "码率%1"},
        {QStringLiteral("camera_business_set_video_size"), "分辨率%1*%2"},
        {QStringLiteral("camera_business_set_camera_size"), "采集尺寸%1*%2"},
        {QStringLiteral("camera_business_set_collect_type"), "采集格式%1"},
        {QStringLiteral("camera_business_set_audio_collect_info"), "音频设备%1，采样率%2"},
    };
    const QString qstrLabel = Tr(s_hashLabel.value(_structRefusal.qstrCall, "%1"));
    const QStringList& qstrlstValue = _structRefusal.qstrlstValue;
    // One arg() call: a value is never read as a place holder.
    return qstrlstValue.size() >= 2 ? qstrLabel.arg(qstrlstValue.at(0), qstrlstValue.at(1))
                                    : qstrLabel.arg(qstrlstValue.value(0));
}

} // namespace

QString CLS_ChannelNotice::SaveText(const STRUCT_ChannelAnswer& _structAnswer)
{
    switch (_structAnswer.eOutcome) {
    case EnumChannelOutcome::DONE:
        return Tr("保存成功");
    case EnumChannelOutcome::MOVED:
        return Tr("通道已变化，请重新选择通道");
    case EnumChannelOutcome::NOT_WRITTEN:
        return Tr("保存失败，配置文件无法写入");
    case EnumChannelOutcome::INPUT_TAKEN:
        return Tr("所选音频设备已被其他通道占用，请重新选择");
    case EnumChannelOutcome::INPUT_GONE:
        return Tr("所选音频设备已拔出，请重新选择");
    case EnumChannelOutcome::NO_INPUT:
        return Tr("没有可用音频设备，请释放设备或者新增设备");
    case EnumChannelOutcome::NO_TARGET:
    case EnumChannelOutcome::INVALID:
    case EnumChannelOutcome::REFUSED:
        break;
    }
    QStringList qstrlstRefused;
    for (const STRUCT_Refusal& structRefusal : _structAnswer.lstRefusal) {
        qstrlstRefused.append(RefusalText(structRefusal));
    }
    return Tr("保存失败：%1").arg(qstrlstRefused.join(Tr("，")));
}
