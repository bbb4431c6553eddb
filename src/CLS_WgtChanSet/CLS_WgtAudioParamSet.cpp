#include "CLS_WgtAudioParamSet.h"

#include "CLS_ParamSave.h"
#include "CLS_UiAudioParamSet.h"

#include "CameraBusiness.h"
#include "OrbApplication.h"
#include "common/Log.h"
#include "widgets/CLS_ComboBox.h"

#include <QCheckBox>
#include <QCoreApplication>

#include <algorithm>

namespace {

// The library takes stereo 16-bit audio whatever the input offers.
const int g_iAudioChannels = 2;
const int g_iAudioBits = 16;

OrbApplication* App()
{
    return OrbApplication::Instance();
}

QString NoInputText()
{
    return QCoreApplication::translate("CLS_WgtAudioParamSet", "没有可用音频设备，请释放设备或者新增设备");
}

} // namespace

CLS_WgtAudioParamSet::CLS_WgtAudioParamSet(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<CLS_UiAudioParamSet>())
{
    ui->setupUi(this);
}

CLS_WgtAudioParamSet::~CLS_WgtAudioParamSet() = default;

void CLS_WgtAudioParamSet::SetChannelInfo(int _iIndex, const QJsonObject& _qjsonChInfo)
{
    const QString qstrName = _qjsonChInfo.value(QStringLiteral("audioName")).toString();
    const bool blOn = _qjsonChInfo.value(QStringLiteral("enableAudio")).toBool(false);
    ui->checkBox_OpenAudio->setChecked(blOn);
    m_iIndex = _iIndex;
    m_iChNo = _qjsonChInfo.value(QStringLiteral("chNo")).toInt(0);
    m_iEncType = _qjsonChInfo.value(QStringLiteral("audioEnctype")).toInt(0);
    m_iSampleRate = _qjsonChInfo.value(QStringLiteral("audioSample")).toInt(0);
    ui->comboBox_EquipmentAudio->clear();
    ui->comboBox_AudioFrameRate->clear();

    const QVector<STRUCT_Audio> vecAudio = App()->GetAudioDevs();
    const bool blFound = blOn && std::any_of(vecAudio.cbegin(), vecAudio.cend(),
                                             [&](const STRUCT_Audio& _a) { return _a.qstrName == qstrName; });
    int iPos = 0;
    for (const STRUCT_Audio& structAudio : vecAudio) {
        if (structAudio.iHolderChNo != -1 && structAudio.qstrName != qstrName) {
            continue;
        }
        ui->comboBox_EquipmentAudio->insertItem(iPos, structAudio.qstrName);
        if (blFound ? structAudio.qstrName == qstrName : iPos == 0) {
            ui->comboBox_EquipmentAudio->setCurrentIndex(iPos);
            ui->comboBox_EquipmentAudio->SetCursorPosition(0);
            FillSampleRates(structAudio.qstrName, m_iSampleRate);
            const int iCodec = ui->comboBox_AudioCodec->findData(m_iEncType);
            if (iCodec >= 0) {
                ui->comboBox_AudioCodec->setCurrentIndex(iCodec);
            }
        }
        ++iPos;
    }
}

void CLS_WgtAudioParamSet::on_comboBox_EquipmentAudio_currentTextChanged(QString arg1)
{
    ui->comboBox_EquipmentAudio->setToolTip(arg1);
    // Only rates the chosen input offers can be saved; the rate shown stays where it can.
    const int iShown = ui->comboBox_AudioFrameRate->currentText().toInt();
    FillSampleRates(arg1, iShown > 0 ? iShown : m_iSampleRate);
}

void CLS_WgtAudioParamSet::FillSampleRates(const QString& _qstrInput, int _iPreferred)
{
    ui->comboBox_AudioFrameRate->clear();
    const QVector<STRUCT_Audio> vecAudio = App()->GetAudioDevs();
    const auto itInput = std::find_if(vecAudio.cbegin(), vecAudio.cend(),
                                      [&](const STRUCT_Audio& _a) { return _a.qstrName == _qstrInput; });
    if (itInput == vecAudio.cend()) {
        return;
    }
    for (int iRate : itInput->lstSampleRate) {
        ui->comboBox_AudioFrameRate->addItem(QString::number(iRate));
    }
    ui->comboBox_AudioFrameRate->setCurrentIndex(qMax(itInput->lstSampleRate.lastIndexOf(_iPreferred), 0));
}

void CLS_WgtAudioParamSet::on_checkBox_OpenAudio_clicked()
{
    STRUCT_Audio structScratch;
    // The input this channel holds is free for it.
    if (ui->checkBox_OpenAudio->isChecked() &&
        !App()->FindAudioDevByChannel(m_iChNo, QString(), structScratch) &&
        !App()->ClaimAudioDev(m_iChNo, QString(), false, structScratch)) {
        ui->checkBox_OpenAudio->setChecked(false);
        CLS_ParamSave::Notify(NoInputText());
    }
}

bool CLS_WgtAudioParamSet::IsListed(const QString& _qstrName)
{
    const QVector<STRUCT_Audio> vecAudio = App()->GetAudioDevs();
    return std::any_of(vecAudio.cbegin(), vecAudio.cend(),
                       [&](const STRUCT_Audio& _a) { return _a.qstrName == _qstrName; });
}

bool CLS_WgtAudioParamSet::CanHoldInput(bool _blOn, const QString& _qstrName) const
{
    STRUCT_Audio structAudio;
    if (!_blOn || (App()->FindAudioDevByChannel(m_iChNo, QString(), structAudio) &&
                   structAudio.qstrName == _qstrName)) {
        return true;
    }
    return !_qstrName.isEmpty() && App()->ClaimAudioDev(m_iChNo, _qstrName, false, structAudio);
}

void CLS_WgtAudioParamSet::HoldInput(bool _blOn, const QString& _qstrName)
{
    STRUCT_Audio structAudio;
    if (_blOn && App()->FindAudioDevByChannel(m_iChNo, _qstrName, structAudio)) {
        return;
    }
    while (App()->ReleaseAudioDevByChannel(m_iChNo)) {
    }
    if (_blOn) {
        App()->ClaimAudioDev(m_iChNo, _qstrName, true, structAudio);
    }
}

void CLS_WgtAudioParamSet::on_pushButton_SaveParam_clicked()
{
    CLS_ParamSave save;
    if (!save.Open(m_iIndex, m_iChNo)) {
        return;
    }
    const int iEncType = ui->comboBox_AudioCodec->currentData().toInt();
    const QString qstrName = ui->comboBox_EquipmentAudio->currentText();
    const int iRate = ui->comboBox_AudioFrameRate->currentText().toInt();
    const bool blOn = ui->checkBox_OpenAudio->isChecked();
    // A channel holds at most one input, the one it stores; another channel may have taken the
    // chosen one since the list was shown.
    if (!CanHoldInput(blOn, qstrName)) {
        LOG_EX(LOG_TRACE, "channel %d: audio input %s is not free", m_iChNo, qUtf8Printable(qstrName));
        CLS_ParamSave::Notify(qstrName.isEmpty() ? NoInputText()
                              : IsListed(qstrName) ? tr("所选音频设备已被其他通道占用，请重新选择")
                                                   : tr("所选音频设备已拔出，请重新选择"));
        return;
    }
    QJsonObject& qjsonRecord = save.Record();
    qjsonRecord.insert(QStringLiteral("audioEnctype"), iEncType);
    qjsonRecord.insert(QStringLiteral("audioName"), qstrName);
    qjsonRecord.insert(QStringLiteral("audioSample"), iRate);
    qjsonRecord.insert(QStringLiteral("enableAudio"), blOn);
    if (!save.Commit()) {
        return;
    }
    if (camera_business_set_audio_collect_info(m_iChNo, qstrName.toUtf8().constData(), iEncType,
                                               g_iAudioChannels, g_iAudioBits, iRate, blOn) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_set_audio_collect_info(%s, %d)", qUtf8Printable(qstrName), iRate);
        // What the library refused is neither stored nor bound.
        save.Restore({QStringLiteral("audioEnctype"), QStringLiteral("audioName"),
                      QStringLiteral("audioSample"), QStringLiteral("enableAudio")});
        if (save.Commit()) {
            CLS_ParamSave::Notify(tr("保存失败：音频设备%1，采样率%2").arg(qstrName).arg(iRate));
        }
        return;
    }
    HoldInput(blOn, qstrName);
    m_iSampleRate = iRate;
    m_iEncType = iEncType;
    emit SigVideoParamChanged(save.Channels(), save.Index());
    CLS_ParamSave::Notify(tr("保存成功"));
}
