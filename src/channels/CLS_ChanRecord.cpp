#include "CLS_ChanRecord.h"

#include "settings/CLS_Settings.h"

#include <QJsonValue>
#include <QSet>

#include <cstring>
#include <utility>

namespace {

const int g_iDefaultIFrameInterval = 10;
const int g_iDefaultAudioSample = 44100;
const int g_iDefaultAudioBit = 16;
const int g_iDefaultAudioChs = 2;
const int g_iDefaultAudioEnctype = 1;
// Wider captures are taken at the next smaller offered size.
const int g_iCaptureWidthLimit = 2000;
const int g_iPreferredMinHeight = 700;

// Copies the text as UTF-8 with its terminating zero; a cut never splits a character.
void CopyText(const QString& _qstrText, char (&_acField)[CAMERA_BUSINESS_TEXT_SIZE])
{
    const QByteArray qbaText = _qstrText.toUtf8();
    int iLength = qbaText.size();
    if (iLength > CAMERA_BUSINESS_TEXT_SIZE - 1) {
        iLength = CAMERA_BUSINESS_TEXT_SIZE - 1;
        while (iLength > 0 && (static_cast<unsigned char>(qbaText.at(iLength)) & 0xC0) == 0x80) {
            --iLength;
        }
    }
    std::memcpy(_acField, qbaText.constData(), static_cast<std::size_t>(iLength));
    _acField[iLength] = '\0';
}

QString ReadText(const char (&_acField)[CAMERA_BUSINESS_TEXT_SIZE])
{
    return QString::fromUtf8(_acField, static_cast<int>(strnlen(_acField, CAMERA_BUSINESS_TEXT_SIZE)));
}

int IntOf(const QJsonObject& _qjsonRecord, const char* _pcKey)
{
    return _qjsonRecord.value(QLatin1String(_pcKey)).toInt(0);
}

// The record's keys and the block's fields they map to, in both directions: the one mapping of a
// channel. "resolutionRatio" and "videoFormat" are the record's alone.
struct STRUCT_IntKey
{
    const char* pcKey;
    int32_t STRUCT_ChanInfo::*pField;
};
struct STRUCT_FlagKey
{
    const char* pcKey;
    uint8_t STRUCT_ChanInfo::*pField;
};
struct STRUCT_TextKey
{
    const char* pcKey;
    char (STRUCT_ChanInfo::*pField)[CAMERA_BUSINESS_TEXT_SIZE];
};

const STRUCT_IntKey g_aIntKeys[] = {
    {"chNo", &STRUCT_ChanInfo::iChNo},
    {"videoWidth", &STRUCT_ChanInfo::iVideoWidth},
    {"videoHeight", &STRUCT_ChanInfo::iVideoHeight},
    {"videoQuality", &STRUCT_ChanInfo::iVideoQuality},
    {"videoIFrameInterval", &STRUCT_ChanInfo::iVideoIFrameInterval},
    {"videoFrameRate", &STRUCT_ChanInfo::iVideoFrameRate},
    {"videoBitRate", &STRUCT_ChanInfo::iVideoBitRate},
    {"videoEncodeType", &STRUCT_ChanInfo::iVideoEncodeType},
    {"audioSample", &STRUCT_ChanInfo::iAudioSample},
    {"audioBit", &STRUCT_ChanInfo::iAudioBit},
    {"audioChs", &STRUCT_ChanInfo::iAudioChs},
    {"collectDevType", &STRUCT_ChanInfo::iCollectDevType},
    {"audioEnctype", &STRUCT_ChanInfo::iAudioEnctype},
    {"decodeType", &STRUCT_ChanInfo::iDecodeType},
    {"collectType", &STRUCT_ChanInfo::iCollectType},
    {"handle", &STRUCT_ChanInfo::iHandle},
    {"deskPosX", &STRUCT_ChanInfo::iDeskPosX},
    {"deskPosY", &STRUCT_ChanInfo::iDeskPosY},
    {"desktopIndex", &STRUCT_ChanInfo::iDesktopIndex},
};
const STRUCT_FlagKey g_aFlagKeys[] = {
    {"isCollectTrans", &STRUCT_ChanInfo::ucIsCollectTrans},
    {"enable", &STRUCT_ChanInfo::ucEnable},
    {"enableAudio", &STRUCT_ChanInfo::ucEnableAudio},
};
const STRUCT_TextKey g_aTextKeys[] = {
    {"audioName", &STRUCT_ChanInfo::szAudioName},
    {"collectDevName", &STRUCT_ChanInfo::szCollectDevName},
    {"chName", &STRUCT_ChanInfo::szChName},
    {"devID", &STRUCT_ChanInfo::szDevID},
};

// Audio part of a default channel: the bound input's values, or "mic" when there is none.
void FillDefaultAudio(const STRUCT_Audio& _structAudio, STRUCT_ChanInfo& _structChanInfo)
{
    _structChanInfo.iAudioBit = g_iDefaultAudioBit;
    if (_structAudio.qstrName.isEmpty()) {
        _structChanInfo.iAudioChs = g_iDefaultAudioChs;
        _structChanInfo.iAudioEnctype = g_iDefaultAudioEnctype;
        _structChanInfo.iAudioSample = g_iDefaultAudioSample;
        CopyText(QStringLiteral("mic"), _structChanInfo.szAudioName);
        _structChanInfo.ucEnableAudio = 0;
        return;
    }
    _structChanInfo.iAudioChs = _structAudio.iChannels;
    _structChanInfo.iAudioEnctype = _structAudio.iExtra;
    _structChanInfo.iAudioSample = _structAudio.iSampleRate;
    CopyText(_structAudio.qstrName, _structChanInfo.szAudioName);
    _structChanInfo.ucEnableAudio = 1;
}

void FillDefaultVideo(int _iChNo, STRUCT_ChanInfo& _structChanInfo)
{
    _structChanInfo.iVideoBitRate = CLS_Settings::FIELD_BIT_RATE.iDefault;
    _structChanInfo.iVideoEncodeType = 0;
    _structChanInfo.iCollectType = CAMERA_BUSINESS_COLLECT_YUV;
    _structChanInfo.iVideoFrameRate = CLS_Settings::FIELD_FRAME_RATE.iDefault;
    _structChanInfo.iVideoIFrameInterval = g_iDefaultIFrameInterval;
    _structChanInfo.ucIsCollectTrans = 0;
    _structChanInfo.iDecodeType = 0;
    _structChanInfo.iVideoQuality = CLS_Settings::FIELD_VIDEO_QUALITY.iDefault;
    _structChanInfo.ucEnable = 1;
    _structChanInfo.iChNo = _iChNo;
}

} // namespace

void CLS_ChanRecord::JsonToChanInfo(const QJsonObject& _qjsonRecord, STRUCT_ChanInfo& _structChanInfo)
{
    STRUCT_ChanInfo& info = _structChanInfo;
    std::memset(&info, 0, sizeof(info));
    for (const STRUCT_IntKey& structKey : g_aIntKeys) {
        info.*structKey.pField = IntOf(_qjsonRecord, structKey.pcKey);
    }
    for (const STRUCT_FlagKey& structKey : g_aFlagKeys) {
        info.*structKey.pField = _qjsonRecord.value(QLatin1String(structKey.pcKey)).toBool(false) ? 1 : 0;
    }
    for (const STRUCT_TextKey& structKey : g_aTextKeys) {
        CopyText(_qjsonRecord.value(QLatin1String(structKey.pcKey)).toString(), info.*structKey.pField);
    }
    info.iAudioSample2 = info.iAudioSample;
    info.iAudioBit2 = info.iAudioBit;
    info.iAudioChs2 = info.iAudioChs;
    info.iDesktopIndex = info.iChNo;

    QList<QSize> lstOffered;
    for (const QJsonValue& qjsonSize : _qjsonRecord.value(QStringLiteral("resolutionRatio")).toArray()) {
        lstOffered.append({IntOf(qjsonSize.toObject(), "width"), IntOf(qjsonSize.toObject(), "height")});
    }
    const QSize qsizeCamera = CaptureSize({info.iVideoWidth, info.iVideoHeight}, lstOffered);
    info.iCameraWidth = qsizeCamera.width();
    info.iCameraHeight = qsizeCamera.height();
}

QSize CLS_ChanRecord::CaptureSize(const QSize& _qsizeVideo, const QList<QSize>& _lstOffered)
{
    if (_qsizeVideo.width() < g_iCaptureWidthLimit || _lstOffered.isEmpty()) {
        return _qsizeVideo;
    }
    auto smaller = [](const QSize& _qsizeA, const QSize& _qsizeB) {
        return std::make_pair(_qsizeA.width(), _qsizeA.height()) <
               std::make_pair(_qsizeB.width(), _qsizeB.height());
    };
    QSize qsizeSmallest = _lstOffered.first();
    QSize qsizeBelowLimit;
    for (const QSize& qsize : _lstOffered) {
        qsizeSmallest = smaller(qsize, qsizeSmallest) ? qsize : qsizeSmallest;
        if (qsize.width() < g_iCaptureWidthLimit &&
            (qsizeBelowLimit.isEmpty() || smaller(qsizeBelowLimit, qsize))) {
            qsizeBelowLimit = qsize;
        }
    }
    return qsizeBelowLimit.isEmpty() ? qsizeSmallest : qsizeBelowLimit;
}

void CLS_ChanRecord::ChanInfoToJson(const STRUCT_ChanInfo& _structChanInfo, QJsonObject& _qjsonRecord)
{
    for (const STRUCT_IntKey& structKey : g_aIntKeys) {
        _qjsonRecord.insert(QLatin1String(structKey.pcKey), _structChanInfo.*structKey.pField);
    }
    for (const STRUCT_FlagKey& structKey : g_aFlagKeys) {
        _qjsonRecord.insert(QLatin1String(structKey.pcKey), _structChanInfo.*structKey.pField != 0);
    }
    for (const STRUCT_TextKey& structKey : g_aTextKeys) {
        _qjsonRecord.insert(QLatin1String(structKey.pcKey), ReadText(_structChanInfo.*structKey.pField));
    }
}

QJsonObject CLS_ChanRecord::MakeDesktopChannel(const STRUCT_Screen& _structScreen,
                                               const STRUCT_Audio& _structAudio, int _iChNo,
                                               STRUCT_ChanInfo& _structChanInfo)
{
    STRUCT_ChanInfo& info = _structChanInfo;
    std::memset(&info, 0, sizeof(info));
    FillDefaultAudio(_structAudio, info);
    FillDefaultVideo(_iChNo, info);
    info.iCollectDevType = CAMERA_BUSINESS_DEVICE_DESKTOP;
    info.iDeskPosX = _structScreen.rect.x();
    info.iDeskPosY = _structScreen.rect.y();
    info.iDesktopIndex = _iChNo;
    info.iHandle = -1;
    const QString qstrName = QStringLiteral("桌面%1").arg(_iChNo + 1);
    CopyText(qstrName, info.szChName);
    CopyText(qstrName, info.szCollectDevName);
    info.iVideoWidth = info.iCameraWidth = _structScreen.rect.width();
    info.iVideoHeight = info.iCameraHeight = _structScreen.rect.height();
    CopyText(_structScreen.qstrName, info.szDevID);

    QJsonObject qjsonRecord;
    ChanInfoToJson(info, qjsonRecord);
    qjsonRecord.insert(QStringLiteral("resolutionRatio"), ResolutionArray({_structScreen.rect.size()}));
    qjsonRecord.insert(QStringLiteral("devID"), _structScreen.qstrName);
    return qjsonRecord;
}

QJsonObject CLS_ChanRecord::MakeUsbChannel(const STRUCT_Usb& _structUsb, const STRUCT_Audio& _structAudio,
                                           int _iChNo, STRUCT_ChanInfo& _structChanInfo)
{
    STRUCT_ChanInfo& info = _structChanInfo;
    std::memset(&info, 0, sizeof(info));
    FillDefaultAudio(_structAudio, info);
    FillDefaultVideo(_iChNo, info);
    info.iCollectDevType = CAMERA_BUSINESS_DEVICE_CAMERA;
    CopyText(_structUsb.qstrName, info.szChName);
    CopyText(_structUsb.qstrName, info.szCollectDevName);
    CopyText(_structUsb.qstrDevID, info.szDevID);

    const QList<QSize>& lstResolution = _structUsb.lstResolution;
    int iTaken = -1;
    for (int i = 0; i < lstResolution.size() && iTaken < 0; ++i) {
        if (lstResolution.at(i).height() > g_iPreferredMinHeight) {
            iTaken = i;
        }
    }
    if (iTaken < 0 && !lstResolution.isEmpty()) {
        iTaken = 0;
    }
    if (iTaken >= 0) {
        info.iVideoWidth = lstResolution.at(iTaken).width();
        info.iVideoHeight = lstResolution.at(iTaken).height();
    }
    const QSize qsizeCamera = CaptureSize({info.iVideoWidth, info.iVideoHeight}, lstResolution);
    info.iCameraWidth = qsizeCamera.width();
    info.iCameraHeight = qsizeCamera.height();
    // Raw where the camera gives the size raw, else MJPEG where it has it: a webcam whose raw modes
    // stop at 640x480 gives 720p as MJPEG only.
    const QSize qsizeCapture(info.iCameraWidth, info.iCameraHeight);
    const bool blRaw =
        _structUsb.lstCollectType.contains(CAMERA_BUSINESS_COLLECT_YUV) &&
        (_structUsb.lstRawResolution.isEmpty() || _structUsb.lstRawResolution.contains(qsizeCapture));
    if (!blRaw && _structUsb.lstCollectType.contains(CAMERA_BUSINESS_COLLECT_MJPEG)) {
        info.iCollectType = CAMERA_BUSINESS_COLLECT_MJPEG;
    }

    QJsonObject qjsonRecord;
    ChanInfoToJson(info, qjsonRecord);
    QJsonArray qJsonArrFormat;
    for (int iType : _structUsb.lstCollectType) {
        qJsonArrFormat.append(QJsonObject{{QStringLiteral("type"), iType}});
    }
    qjsonRecord.insert(QStringLiteral("resolutionRatio"), ResolutionArray(lstResolution));
    qjsonRecord.insert(QStringLiteral("videoFormat"), qJsonArrFormat);
    qjsonRecord.insert(QStringLiteral("devID"), _structUsb.qstrDevID);
    return qjsonRecord;
}

ChanInfoArray CLS_ChanRecord::EmptyChanInfoArray()
{
    ChanInfoArray arrChanInfo;
    for (STRUCT_ChanInfo& structChanInfo : arrChanInfo) {
        std::memset(&structChanInfo, 0, sizeof(structChanInfo));
        structChanInfo.iCollectDevType = CAMERA_BUSINESS_DEVICE_NONE;
    }
    return arrChanInfo;
}

QList<int> CLS_ChanRecord::FreeCameraNumbers(const QJsonArray& _qJsonArrChInfo, int _iDesktopNeedChNo)
{
    QSet<int> setUsed;
    for (const QJsonValue& qjsonValue : _qJsonArrChInfo) {
        setUsed.insert(qjsonValue.toObject().value(QStringLiteral("chNo")).toInt(0));
    }
    QList<int> lstFree;
    for (int iChNo = qMax(_iDesktopNeedChNo, 0); iChNo < s_iChannelCount; ++iChNo) {
        if (!setUsed.contains(iChNo)) {
            lstFree.append(iChNo);
        }
    }
    return lstFree;
}

QList<STRUCT_ComboBoxItem> CLS_ChanRecord::MakeComboItems(const QJsonArray& _qJsonArrChInfo)
{
    QList<STRUCT_ComboBoxItem> lstItems;
    for (const QJsonValue& qjsonValue : _qJsonArrChInfo) {
        const QJsonObject qjsonRecord = qjsonValue.toObject();
        const int iChNo = qjsonRecord.value(QStringLiteral("chNo")).toInt(0);
        lstItems.append({QString::number(iChNo + 1), QVariant(qjsonRecord)});
    }
    return lstItems;
}

int CLS_ChanRecord::FindRecord(const QJsonArray& _qJsonArrChInfo, const QString& _qstrKey,
                               const QJsonValue& _qjsonValue)
{
    for (int i = 0; i < _qJsonArrChInfo.size(); ++i) {
        if (_qJsonArrChInfo.at(i).toObject().value(_qstrKey) == _qjsonValue) {
            return i;
        }
    }
    return -1;
}

QJsonArray CLS_ChanRecord::ResolutionArray(const QList<QSize>& _lstResolution)
{
    QJsonArray qJsonArrResolution;
    for (const QSize& qsize : _lstResolution) {
        qJsonArrResolution.append(QJsonObject{{QStringLiteral("width"), qsize.width()},
                                              {QStringLiteral("height"), qsize.height()}});
    }
    return qJsonArrResolution;
}

bool CLS_ChanRecord::IsDesktopRecord(const QJsonObject& _qjsonRecord)
{
    return _qjsonRecord.value(QStringLiteral("collectDevType")).toInt(CAMERA_BUSINESS_DEVICE_NONE) ==
           CAMERA_BUSINESS_DEVICE_DESKTOP;
}

bool CLS_ChanRecord::FollowScreen(QJsonObject& _qjsonRecord, const STRUCT_Screen& _structScreen)
{
    const QJsonObject qjsonBefore = _qjsonRecord;
    const QRect& rect = _structScreen.rect;
    _qjsonRecord.insert(QStringLiteral("devID"), _structScreen.qstrName);
    _qjsonRecord.insert(QStringLiteral("deskPosX"), rect.x());
    _qjsonRecord.insert(QStringLiteral("deskPosY"), rect.y());
    _qjsonRecord.insert(QStringLiteral("videoWidth"), rect.width());
    _qjsonRecord.insert(QStringLiteral("videoHeight"), rect.height());
    _qjsonRecord.insert(QStringLiteral("resolutionRatio"), ResolutionArray({rect.size()}));
    return _qjsonRecord != qjsonBefore;
}

int CLS_ChanRecord::FindDesktopRecord(const QJsonArray& _qJsonArrChInfo, int _iChNo)
{
    for (int i = 0; i < _qJsonArrChInfo.size(); ++i) {
        const QJsonObject qjsonRecord = _qJsonArrChInfo.at(i).toObject();
        if (IsDesktopRecord(qjsonRecord) && qjsonRecord.value(QStringLiteral("chNo")).toInt(-1) == _iChNo) {
            return i;
        }
    }
    return -1;
}

QList<int> CLS_ChanRecord::DisableRecords(QJsonArray& _qJsonArrChInfo, const QString& _qstrDevID)
{
    QList<int> lstChNo;
    for (int i = 0; i < _qJsonArrChInfo.size(); ++i) {
        QJsonObject qjsonRecord = _qJsonArrChInfo.at(i).toObject();
        if (qjsonRecord.value(QStringLiteral("devID")).toString() == _qstrDevID) {
            qjsonRecord.insert(QStringLiteral("enable"), false);
            _qJsonArrChInfo.replace(i, qjsonRecord);
            lstChNo.append(qjsonRecord.value(QStringLiteral("chNo")).toInt(0));
        }
    }
    return lstChNo;
}

QString CLS_ChanRecord::CollectTypeName(int _iType)
{
    switch (_iType) {
    case CAMERA_BUSINESS_COLLECT_MJPEG:
        return QStringLiteral("MJPEG");
    case CAMERA_BUSINESS_COLLECT_YUV:
        return QStringLiteral("YUV");
    case CAMERA_BUSINESS_COLLECT_H264:
        return QStringLiteral("H264");
    default:
        return QString();
    }
}

int CLS_ChanRecord::CollectTypeOfName(const QString& _qstrName)
{
    for (int iType : {CAMERA_BUSINESS_COLLECT_MJPEG, CAMERA_BUSINESS_COLLECT_H264}) {
        if (_qstrName == CollectTypeName(iType)) {
            return iType;
        }
    }
    return CAMERA_BUSINESS_COLLECT_YUV;
}
