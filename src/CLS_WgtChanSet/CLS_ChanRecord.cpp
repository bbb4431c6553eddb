#include "CLS_ChanRecord.h"

#include <QJsonValue>
#include <QSet>

#include <cstring>
#include <utility>

namespace {

const int g_iDefaultBitRate = 2048;
const int g_iDefaultFrameRate = 10;
const int g_iDefaultIFrameInterval = 10;
const int g_iDefaultCollectType = 1;
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

uint8_t FlagOf(const QJsonObject& _qjsonRecord, const char* _pcKey)
{
    return _qjsonRecord.value(QLatin1String(_pcKey)).toBool(false) ? 1 : 0;
}

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
    _structChanInfo.iVideoBitRate = g_iDefaultBitRate;
    _structChanInfo.iVideoEncodeType = 0;
    _structChanInfo.iCollectType = g_iDefaultCollectType;
    _structChanInfo.iVideoFrameRate = g_iDefaultFrameRate;
    _structChanInfo.iVideoIFrameInterval = g_iDefaultIFrameInterval;
    _structChanInfo.ucIsCollectTrans = 0;
    _structChanInfo.iDecodeType = 0;
    _structChanInfo.iVideoQuality = 0;
    _structChanInfo.ucEnable = 1;
    _structChanInfo.iChNo = _iChNo;
}

} // namespace

void CLS_ChanRecord::JsonToChanInfo(const QJsonObject& _qjsonRecord, STRUCT_ChanInfo& _structChanInfo)
{
    STRUCT_ChanInfo& info = _structChanInfo;
    std::memset(&info, 0, sizeof(info));
    info.iChNo = IntOf(_qjsonRecord, "chNo");
    info.iVideoWidth = IntOf(_qjsonRecord, "videoWidth");
    info.iVideoHeight = IntOf(_qjsonRecord, "videoHeight");
    info.iVideoQuality = IntOf(_qjsonRecord, "videoQuality");
    info.iVideoIFrameInterval = IntOf(_qjsonRecord, "videoIFrameInterval");
    info.iVideoFrameRate = IntOf(_qjsonRecord, "videoFrameRate");
    info.iVideoBitRate = IntOf(_qjsonRecord, "videoBitRate");
    info.iVideoEncodeType = IntOf(_qjsonRecord, "videoEncodeType");
    info.iAudioSample = info.iAudioSample2 = IntOf(_qjsonRecord, "audioSample");
    info.iAudioBit = info.iAudioBit2 = IntOf(_qjsonRecord, "audioBit");
    info.iAudioChs = info.iAudioChs2 = IntOf(_qjsonRecord, "audioChs");
    info.iCollectDevType = IntOf(_qjsonRecord, "collectDevType");
    info.iAudioEnctype = IntOf(_qjsonRecord, "audioEnctype");
    CopyText(_qjsonRecord.value(QStringLiteral("audioName")).toString(), info.szAudioName);
    CopyText(_qjsonRecord.value(QStringLiteral("collectDevName")).toString(), info.szCollectDevName);
    CopyText(_qjsonRecord.value(QStringLiteral("chName")).toString(), info.szChName);
    info.iDecodeType = IntOf(_qjsonRecord, "decodeType");
    info.iCollectType = IntOf(_qjsonRecord, "collectType");
    info.iHandle = IntOf(_qjsonRecord, "handle");
    info.ucIsCollectTrans = FlagOf(_qjsonRecord, "isCollectTrans");
    info.iDeskPosX = IntOf(_qjsonRecord, "deskPosX");
    info.iDeskPosY = IntOf(_qjsonRecord, "deskPosY");
    info.iDesktopIndex = info.iChNo;
    info.ucEnable = FlagOf(_qjsonRecord, "enable");
    info.ucEnableAudio = FlagOf(_qjsonRecord, "enableAudio");
    CopyText(_qjsonRecord.value(QStringLiteral("devID")).toString(), info.szDevID);

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
    const STRUCT_ChanInfo& info = _structChanInfo;
    QJsonObject& rec = _qjsonRecord;
    rec.insert(QStringLiteral("chNo"), info.iChNo);
    rec.insert(QStringLiteral("chName"), ReadText(info.szChName));
    rec.insert(QStringLiteral("collectDevName"), ReadText(info.szCollectDevName));
    rec.insert(QStringLiteral("collectDevType"), info.iCollectDevType);
    rec.insert(QStringLiteral("enable"), info.ucEnable != 0);
    rec.insert(QStringLiteral("videoWidth"), info.iVideoWidth);
    rec.insert(QStringLiteral("videoHeight"), info.iVideoHeight);
    rec.insert(QStringLiteral("videoQuality"), info.iVideoQuality);
    rec.insert(QStringLiteral("videoIFrameInterval"), info.iVideoIFrameInterval);
    rec.insert(QStringLiteral("videoFrameRate"), info.iVideoFrameRate);
    rec.insert(QStringLiteral("videoBitRate"), info.iVideoBitRate);
    rec.insert(QStringLiteral("videoEncodeType"), info.iVideoEncodeType);
    rec.insert(QStringLiteral("collectType"), info.iCollectType);
    rec.insert(QStringLiteral("decodeType"), info.iDecodeType);
    rec.insert(QStringLiteral("handle"), info.iHandle);
    rec.insert(QStringLiteral("isCollectTrans"), info.ucIsCollectTrans != 0);
    rec.insert(QStringLiteral("deskPosX"), info.iDeskPosX);
    rec.insert(QStringLiteral("deskPosY"), info.iDeskPosY);
    rec.insert(QStringLiteral("desktopIndex"), info.iDesktopIndex);
    rec.insert(QStringLiteral("audioName"), ReadText(info.szAudioName));
    rec.insert(QStringLiteral("audioSample"), info.iAudioSample);
    rec.insert(QStringLiteral("audioBit"), info.iAudioBit);
    rec.insert(QStringLiteral("audioChs"), info.iAudioChs);
    rec.insert(QStringLiteral("audioEnctype"), info.iAudioEnctype);
    rec.insert(QStringLiteral("enableAudio"), info.ucEnableAudio != 0);
}

QJsonObject CLS_ChanRecord::MakeDesktopChannel(const STRUCT_Screen& _structScreen,
                                               const STRUCT_Audio& _structAudio, int _iChNo,
                                               STRUCT_ChanInfo& _structChanInfo)
{
    STRUCT_ChanInfo& info = _structChanInfo;
    std::memset(&info, 0, sizeof(info));
    FillDefaultAudio(_structAudio, info);
    FillDefaultVideo(_iChNo, info);
    info.iCollectDevType = 0;
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
    info.iCollectDevType = 1;
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
        _structUsb.lstCollectType.contains(1) &&
        (_structUsb.lstRawResolution.isEmpty() || _structUsb.lstRawResolution.contains(qsizeCapture));
    if (!blRaw && _structUsb.lstCollectType.contains(0)) {
        info.iCollectType = 0;
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
        structChanInfo.iCollectDevType = -1;
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
    return _qjsonRecord.value(QStringLiteral("collectDevType")).toInt(-1) == 0;
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
