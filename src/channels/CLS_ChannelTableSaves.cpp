// The saves of the parameter pages: one record changed in place, checked before anything is
// written, and what the library refuses taken back out of the stored record.
#include "CLS_ChannelTable.h"

#include "common/Log.h"

#include <algorithm>

namespace {

// The library takes stereo 16-bit audio whatever the input offers.
const int g_iAudioChannels = 2;
const int g_iAudioBits = 16;

// A size as the values a library call was given.
QStringList SizeValues(const QSize& _qsize)
{
    return {QString::number(_qsize.width()), QString::number(_qsize.height())};
}

// One save of a record: takes it from the stored table while its position still holds the
// channel, and writes the table back with the changed record in place.
class CLS_RecordEdit
{
public:
    CLS_RecordEdit(const CLS_Settings& _settings, int _iIndex, int _iChNo)
        : m_settings(_settings), m_iIndex(_iIndex), m_iChNo(_iChNo)
    {
        m_qJsonArrChInfo = CLS_Settings::Channels(m_settings.Read());
        m_blOpen = HoldsChannel(m_qJsonArrChInfo);
        if (m_blOpen) {
            m_qjsonRecord = m_qjsonTaken = m_qJsonArrChInfo.at(_iIndex).toObject();
        }
    }
    bool IsOpen() const { return m_blOpen; }
    QJsonObject& Record() { return m_qjsonRecord; }
    const QJsonArray& Channels() const { return m_qJsonArrChInfo; }
    bool Commit()
    {
        return m_settings.Change([this](QJsonObject& _qjsonConfig) {
            QJsonArray qJsonArrChInfo = CLS_Settings::Channels(_qjsonConfig);
            if (!HoldsChannel(qJsonArrChInfo)) {
                return false;
            }
            qJsonArrChInfo.replace(m_iIndex, m_qjsonRecord);
            _qjsonConfig.insert(QLatin1String(CLS_Settings::KEY_CH_INFO), qJsonArrChInfo);
            m_qJsonArrChInfo = qJsonArrChInfo;
            return true;
        });
    }
    // Gives the keys back the values they had when the record was taken.
    void Restore(const QStringList& _qstrlstKeys)
    {
        for (const QString& qstrKey : _qstrlstKeys) {
            if (m_qjsonTaken.contains(qstrKey)) {
                m_qjsonRecord.insert(qstrKey, m_qjsonTaken.value(qstrKey));
            } else {
                m_qjsonRecord.remove(qstrKey);
            }
        }
    }

private:
    bool HoldsChannel(const QJsonArray& _qJsonArrChInfo) const
    {
        return m_iIndex >= 0 && m_iIndex < _qJsonArrChInfo.size() &&
               _qJsonArrChInfo.at(m_iIndex).toObject().value(QStringLiteral("chNo")).toInt(-1) == m_iChNo;
    }

    const CLS_Settings& m_settings;
    int m_iIndex;
    int m_iChNo;
    bool m_blOpen = false;
    QJsonArray m_qJsonArrChInfo;
    QJsonObject m_qjsonTaken;
    QJsonObject m_qjsonRecord;
};

} // namespace

STRUCT_ChannelAnswer CLS_ChannelTable::SaveVideo(int _iIndex, int _iChNo,
                                                 const STRUCT_VideoChoice& _structChoice)
{
    const QSize& qsizeVideo = _structChoice.qsizeVideo;
    if (qsizeVideo.width() <= 0 || qsizeVideo.height() <= 0) {
        LOG_EX(LOG_TRACE, "channel %d: no resolution to save", _iChNo);
        STRUCT_ChannelAnswer structAnswer = Answer(EnumChannelOutcome::INVALID, Records());
        structAnswer.lstRefusal.append(
            {QStringLiteral("camera_business_set_video_size"), SizeValues(qsizeVideo)});
        return structAnswer;
    }
    CLS_RecordEdit edit(m_settings, _iIndex, _iChNo);
    if (!edit.IsOpen()) {
        LOG_EX(LOG_TRACE, "save refused: position %d no longer holds channel %d", _iIndex, _iChNo);
        return Answer(EnumChannelOutcome::MOVED, edit.Channels());
    }
    QJsonObject& qjsonRecord = edit.Record();
    const bool blCamera =
        qjsonRecord.value(QStringLiteral("collectDevType")).toInt(CAMERA_BUSINESS_DEVICE_NONE) ==
        CAMERA_BUSINESS_DEVICE_CAMERA;
    qjsonRecord.insert(QStringLiteral("collectType"), _structChoice.iCollectType);
    qjsonRecord.insert(QLatin1String(CLS_Settings::FIELD_FRAME_RATE.pcKey), _structChoice.iFrameRate);
    qjsonRecord.insert(QLatin1String(CLS_Settings::FIELD_BIT_RATE.pcKey), _structChoice.iBitRate);
    qjsonRecord.insert(QLatin1String(CLS_Settings::FIELD_VIDEO_QUALITY.pcKey), _structChoice.iQuality);
    qjsonRecord.insert(QStringLiteral("collectDevName"), _structChoice.qstrDevName);
    qjsonRecord.insert(QStringLiteral("videoHeight"), qsizeVideo.height());
    qjsonRecord.insert(QStringLiteral("videoWidth"), qsizeVideo.width());
    const QSize qsizeCamera = CLS_ChanRecord::CaptureSize(qsizeVideo, _structChoice.lstOffered);
    if (!edit.Commit()) {
        return Answer(EnumChannelOutcome::NOT_WRITTEN, edit.Channels());
    }

    // What the library refuses is reported and not kept in the stored record.
    STRUCT_ChannelAnswer structAnswer;
    QStringList qstrlstKeys;
    auto call = [&](int _iResult, const char* _pcCall, const QStringList& _qstrlstValue,
                    const QStringList& _qstrlstKeys) {
        if (_iResult != 0) {
            return;
        }
        LOG_EX(LOG_FAIL, "channel %d: %s refused %s", _iChNo, _pcCall,
               qUtf8Printable(_qstrlstValue.join('*')));
        structAnswer.lstRefusal.append({QLatin1String(_pcCall), _qstrlstValue});
        qstrlstKeys.append(_qstrlstKeys);
    };
    call(camera_business_set_video_quality(_iChNo, _structChoice.iQuality),
         "camera_business_set_video_quality", {QString::number(_structChoice.iQuality)},
         {QLatin1String(CLS_Settings::FIELD_VIDEO_QUALITY.pcKey)});
    call(camera_business_set_frame_rate(_iChNo, _structChoice.iFrameRate), "camera_business_set_frame_rate",
         {QString::number(_structChoice.iFrameRate)}, {QLatin1String(CLS_Settings::FIELD_FRAME_RATE.pcKey)});
    call(camera_business_set_bit_rate(_iChNo, _structChoice.iBitRate), "camera_business_set_bit_rate",
         {QString::number(_structChoice.iBitRate)}, {QLatin1String(CLS_Settings::FIELD_BIT_RATE.pcKey)});
    call(camera_business_set_video_size(_iChNo, qsizeVideo.width(), qsizeVideo.height()),
         "camera_business_set_video_size", SizeValues(qsizeVideo),
         {QStringLiteral("videoWidth"), QStringLiteral("videoHeight")});
    call(camera_business_set_camera_size(_iChNo, qsizeCamera.width(), qsizeCamera.height()),
         "camera_business_set_camera_size", SizeValues(qsizeCamera), {});
    if (blCamera) {
        call(camera_business_set_collect_type(_iChNo, _structChoice.iCollectType),
             "camera_business_set_collect_type",
             {CLS_ChanRecord::CollectTypeName(_structChoice.iCollectType)}, {QStringLiteral("collectType")});
    }
    if (!qstrlstKeys.isEmpty()) {
        edit.Restore(qstrlstKeys);
        if (!edit.Commit()) {
            return Answer(EnumChannelOutcome::NOT_WRITTEN, edit.Channels());
        }
    }
    structAnswer.eOutcome =
        structAnswer.lstRefusal.isEmpty() ? EnumChannelOutcome::DONE : EnumChannelOutcome::REFUSED;
    structAnswer.qJsonArrChInfo = edit.Channels();
    return structAnswer;
}

bool CLS_ChannelTable::IsListed(const QString& _qstrName) const
{
    const QVector<STRUCT_Audio> vecAudio = m_registry.GetAudioDevs();
    return std::any_of(vecAudio.cbegin(), vecAudio.cend(),
                       [&](const STRUCT_Audio& _structAudio) { return _structAudio.qstrName == _qstrName; });
}

bool CLS_ChannelTable::CanTurnSoundOn(int _iChNo) const
{
    // The input this channel holds is free for it.
    STRUCT_Audio structScratch;
    return m_registry.FindAudioDevByChannel(_iChNo, QString(), structScratch) ||
           m_registry.ClaimAudioDev(_iChNo, QString(), false, structScratch);
}

bool CLS_ChannelTable::CanHoldInput(int _iChNo, const STRUCT_AudioChoice& _structChoice) const
{
    STRUCT_Audio structAudio;
    if (!_structChoice.blOn || (m_registry.FindAudioDevByChannel(_iChNo, QString(), structAudio) &&
                                structAudio.qstrName == _structChoice.qstrName)) {
        return true;
    }
    return !_structChoice.qstrName.isEmpty() &&
           m_registry.ClaimAudioDev(_iChNo, _structChoice.qstrName, false, structAudio);
}

void CLS_ChannelTable::HoldInput(int _iChNo, const STRUCT_AudioChoice& _structChoice)
{
    STRUCT_Audio structAudio;
    if (_structChoice.blOn && m_registry.FindAudioDevByChannel(_iChNo, _structChoice.qstrName, structAudio)) {
        return;
    }
    while (m_registry.ReleaseAudioDevByChannel(_iChNo)) {
    }
    if (_structChoice.blOn) {
        m_registry.ClaimAudioDev(_iChNo, _structChoice.qstrName, true, structAudio);
    }
}

STRUCT_ChannelAnswer CLS_ChannelTable::SaveAudio(int _iIndex, int _iChNo,
                                                 const STRUCT_AudioChoice& _structChoice)
{
    CLS_RecordEdit edit(m_settings, _iIndex, _iChNo);
    if (!edit.IsOpen()) {
        LOG_EX(LOG_TRACE, "save refused: position %d no longer holds channel %d", _iIndex, _iChNo);
        return Answer(EnumChannelOutcome::MOVED, edit.Channels());
    }
    const QString& qstrName = _structChoice.qstrName;
    // A channel holds at most one input, the one it stores; another channel may have taken the
    // chosen one since the list was shown.
    if (!CanHoldInput(_iChNo, _structChoice)) {
        LOG_EX(LOG_TRACE, "channel %d: audio input %s is not free", _iChNo, qUtf8Printable(qstrName));
        return Answer(qstrName.isEmpty()   ? EnumChannelOutcome::NO_INPUT
                      : IsListed(qstrName) ? EnumChannelOutcome::INPUT_TAKEN
                                           : EnumChannelOutcome::INPUT_GONE,
                      edit.Channels());
    }
    const QStringList qstrlstKeys{QStringLiteral("audioEnctype"), QStringLiteral("audioName"),
                                  QStringLiteral("audioSample"), QStringLiteral("enableAudio")};
    QJsonObject& qjsonRecord = edit.Record();
    qjsonRecord.insert(qstrlstKeys.at(0), _structChoice.iEncType);
    qjsonRecord.insert(qstrlstKeys.at(1), qstrName);
    qjsonRecord.insert(qstrlstKeys.at(2), _structChoice.iSampleRate);
    qjsonRecord.insert(qstrlstKeys.at(3), _structChoice.blOn);
    if (!edit.Commit()) {
        return Answer(EnumChannelOutcome::NOT_WRITTEN, edit.Channels());
    }
    if (camera_business_set_audio_collect_info(_iChNo, qstrName.toUtf8().constData(), _structChoice.iEncType,
                                               g_iAudioChannels, g_iAudioBits, _structChoice.iSampleRate,
                                               _structChoice.blOn) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_set_audio_collect_info(%s, %d)", qUtf8Printable(qstrName),
               _structChoice.iSampleRate);
        // What the library refused is neither stored nor bound.
        edit.Restore(qstrlstKeys);
        if (!edit.Commit()) {
            return Answer(EnumChannelOutcome::NOT_WRITTEN, edit.Channels());
        }
        STRUCT_ChannelAnswer structAnswer = Answer(EnumChannelOutcome::REFUSED, edit.Channels());
        structAnswer.lstRefusal.append({QStringLiteral("camera_business_set_audio_collect_info"),
                                        {qstrName, QString::number(_structChoice.iSampleRate)}});
        return structAnswer;
    }
    HoldInput(_iChNo, _structChoice);
    return Answer(EnumChannelOutcome::DONE, edit.Channels());
}
