#include "CLS_ChannelTable.h"

#include "common/Log.h"
#include "common/PublicCommonFun.h"

#include <QSet>

#include <algorithm>
#include <mutex>

namespace {

// Any non-zero value: the callback treats zero as a fault.
const int32_t g_iCallbackUser = 1;
const int g_iCredentialSize = 64;
// The library calls back on its own thread: the table that hears it is reached under this lock,
// which its destructor takes before it goes.
std::mutex g_mutexReceiver;
CLS_ChannelTable* g_pReceiver = nullptr;

} // namespace

CLS_ChannelTable::CLS_ChannelTable(CLS_Settings _settings, CLS_DeviceRegistry& _registry, QObject* parent)
    : QObject(parent), m_settings(std::move(_settings)), m_registry(_registry)
{
    RegisterDeviceMetaTypes();
}

CLS_ChannelTable::~CLS_ChannelTable()
{
    std::lock_guard<std::mutex> lock(g_mutexReceiver);
    if (g_pReceiver == this) {
        g_pReceiver = nullptr;
    }
}

void CLS_ChannelTable::SetAudioSource(CLS_AudioSource* _pAudioSource)
{
    m_pAudioSource = _pAudioSource != nullptr ? _pAudioSource : &CLS_DeviceProbe::SystemAudioSource();
}

QJsonArray CLS_ChannelTable::Records() const
{
    return CLS_Settings::Channels(m_settings.Read());
}

STRUCT_ChannelAnswer CLS_ChannelTable::Answer(EnumChannelOutcome _eOutcome, const QJsonArray& _qJsonArrChInfo)
{
    STRUCT_ChannelAnswer structAnswer;
    structAnswer.eOutcome = _eOutcome;
    structAnswer.qJsonArrChInfo = _qJsonArrChInfo;
    return structAnswer;
}

STRUCT_ChannelAnswer CLS_ChannelTable::Store(const QJsonArray& _qJsonArrChInfo)
{
    return Answer(m_settings.StoreChannels(_qJsonArrChInfo) ? EnumChannelOutcome::DONE
                                                            : EnumChannelOutcome::NOT_WRITTEN,
                  _qJsonArrChInfo);
}

bool CLS_ChannelTable::Start()
{
    const STRUCT_HostInfo structHost = CLS_Settings::HostInfo(m_settings.Read());
    char acUser[g_iCredentialSize] = {};
    char acPassword[g_iCredentialSize] = {};
    if (!Base64Decode(structHost.qstrUser.toUtf8().constData(), acUser, sizeof(acUser))) {
        LOG_EX(LOG_FAIL, "stored user name longer than %d bytes: registered empty", g_iCredentialSize - 1);
    }
    if (!Base64Decode(structHost.qstrPassword.toUtf8().constData(), acPassword, sizeof(acPassword))) {
        LOG_EX(LOG_FAIL, "stored password longer than %d bytes: registered empty", g_iCredentialSize - 1);
    }
    if (camera_business_register_user(acUser, acPassword) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_register_user(m_strUserName, m_strPassword)");
    }
    {
        std::lock_guard<std::mutex> lock(g_mutexReceiver);
        g_pReceiver = this;
    }
    if (camera_business_set_mess_callback(&CLS_ChannelTable::MessCallback, g_iCallbackUser) == -1) {
        LOG_EX(LOG_FAIL, "camera_business_set_mess_callback == -1");
    }
    if (camera_business_enable_send_stream(1) == 0) {
        LOG_EX(LOG_FAIL, "camera_business_control_send_stream");
    }
    return StartOnPort(structHost.iPort);
}

bool CLS_ChannelTable::StartOnPort(int _iPort)
{
    if (camera_business_startup(_iPort, CLS_ChanRecord::s_iChannelCount) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_startup(%d)", _iPort);
        return false;
    }
    return true;
}

int CLS_ChannelTable::MessCallback(intptr_t _iMsg, intptr_t _iParam1, intptr_t, intptr_t _iUser)
{
    if (_iUser == 0) {
        LOG_EX(LOG_FAIL, "pWgt == nullptr");
        return -1;
    }
    std::lock_guard<std::mutex> lock(g_mutexReceiver);
    if (g_pReceiver != nullptr && CLS_ChanRecord::IsValidChNo(static_cast<int>(_iParam1))) {
        QMetaObject::invokeMethod(g_pReceiver, "SlotChannelMessage", Qt::QueuedConnection,
                                  Q_ARG(int, static_cast<int>(_iMsg)),
                                  Q_ARG(int, static_cast<int>(_iParam1)));
    }
    return 0;
}

void CLS_ChannelTable::SlotChannelMessage(int _iMsg, int _iChNo)
{
    if (_iMsg == CAMERA_BUSINESS_MSG_AUDIO_RESTORED) {
        _iMsg = CAMERA_BUSINESS_MSG_CHANNEL_STARTED;
    }
    // A running pipeline whose audio failed stays marked until the audio comes back.
    if (_iMsg == CAMERA_BUSINESS_MSG_CHANNEL_STARTED &&
        m_hashChannelState.value(_iChNo) == CAMERA_BUSINESS_MSG_AUDIO_FAILED) {
        return;
    }
    m_hashChannelState.insert(_iChNo, _iMsg);
    emit SigChannelState(_iChNo);
}

int CLS_ChannelTable::DesktopSlots() const
{
    return qBound(0, qMin(m_registry.GetDesktopNeedChNo(), m_vecScreen.size()),
                  CLS_ChanRecord::s_iChannelCount);
}

bool CLS_ChannelTable::Resume()
{
    return StartOnPort(CLS_Settings::HostInfo(m_settings.Read()).iPort);
}

STRUCT_ChannelAnswer CLS_ChannelTable::ResetChannel(int _iIndex, int _iChNo)
{
    QJsonArray qJsonArrChInfo = Records();
    if (!CLS_ChanRecord::IsValidChNo(_iChNo) || _iIndex < 0 || _iIndex >= qJsonArrChInfo.size() ||
        qJsonArrChInfo.at(_iIndex).toObject().value(QStringLiteral("chNo")).toInt(-1) != _iChNo) {
        LOG_EX(LOG_TRACE, "reset of the current channel: item %d is not a stored channel", _iIndex);
        return Answer(EnumChannelOutcome::NO_TARGET, qJsonArrChInfo);
    }
    QJsonObject qjsonRecord;
    STRUCT_ChanInfo structChanInfo;
    if (!BuildCurrentChannel(_iChNo, qJsonArrChInfo.at(_iIndex).toObject(), qjsonRecord, structChanInfo)) {
        return Answer(EnumChannelOutcome::NO_TARGET, qJsonArrChInfo);
    }
    qJsonArrChInfo.replace(_iIndex, qjsonRecord);
    // The library is changed only when the table that says so is stored.
    const STRUCT_ChannelAnswer structAnswer = Store(qJsonArrChInfo);
    if (structAnswer.Written()) {
        camera_delete_collector_fd(_iChNo);
        camera_business_add_chan_info(&structChanInfo);
    }
    return structAnswer;
}

void CLS_ChannelTable::RefreshDevices()
{
    m_vecUsb.clear();
    m_vecScreen.clear();
    m_registry.SetUsbDevs({});
    m_registry.SetAudioDevs({});
    m_blAudioListed = false;
    RefreshAudio();
    RefreshCameras({});
    m_vecUsb = m_registry.GetUsbDevs();
    m_registry.GetScreenList(m_vecScreen);
}

void CLS_ChannelTable::RefreshAudio()
{
    const QStringList qstrlstListed = m_pAudioSource->ListInputs();
    // Known inputs are kept whole, so an unchanged listing would build the same table again.
    if (m_blAudioListed && qstrlstListed == m_qstrlstAudioListed) {
        return;
    }
    m_qstrlstAudioListed = qstrlstListed;
    m_blAudioListed = true;
    m_registry.SetAudioDevs(
        CLS_DeviceProbe::BuildAudioTable(qstrlstListed, m_registry.GetAudioDevs(), *m_pAudioSource));
}

void CLS_ChannelTable::ClaimStoredAudio(int _iChNo, STRUCT_ChanInfo& _structChanInfo)
{
    STRUCT_Audio structAudio;
    if (_structChanInfo.ucEnableAudio != 0 &&
        !m_registry.ClaimAudioDev(_iChNo, QString::fromUtf8(_structChanInfo.szAudioName), true,
                                  structAudio)) {
        _structChanInfo.ucEnableAudio = 0;
    }
}

STRUCT_Audio CLS_ChannelTable::ClaimFreeAudio(int _iChNo)
{
    STRUCT_Audio structAudio;
    if (!m_registry.ClaimAudioDev(_iChNo, QString(), true, structAudio)) {
        structAudio = STRUCT_Audio();
    }
    return structAudio;
}

STRUCT_ChannelAnswer CLS_ChannelTable::Load()
{
    RefreshDevices();
    const QJsonArray qJsonArrStored = Records();
    QJsonArray qJsonArrChInfo;
    ChanInfoArray arrChanInfo = CLS_ChanRecord::EmptyChanInfoArray();
    for (int i = 0; i < DesktopSlots(); ++i) {
        const int iFound = CLS_ChanRecord::FindDesktopRecord(qJsonArrStored, i);
        QJsonObject qjsonRecord;
        if (iFound >= 0) {
            qjsonRecord = qJsonArrStored.at(iFound).toObject();
            // The monitor may have changed since the record was stored.
            CLS_ChanRecord::FollowScreen(qjsonRecord, m_vecScreen.at(i));
            CLS_ChanRecord::JsonToChanInfo(qjsonRecord, arrChanInfo[i]);
            ClaimStoredAudio(i, arrChanInfo[i]);
        } else {
            qjsonRecord =
                CLS_ChanRecord::MakeDesktopChannel(m_vecScreen.at(i), ClaimFreeAudio(i), i, arrChanInfo[i]);
        }
        arrChanInfo[i].ucEnable = 1;
        qJsonArrChInfo.append(qjsonRecord);
    }

    QList<int> lstFree = CLS_ChanRecord::FreeCameraNumbers(qJsonArrStored, m_registry.GetDesktopNeedChNo());
    for (const STRUCT_Usb& structUsb : qAsConst(m_vecUsb)) {
        const int iFound =
            CLS_ChanRecord::FindRecord(qJsonArrStored, QStringLiteral("devID"), structUsb.qstrDevID);
        QJsonObject qjsonRecord = iFound >= 0 ? qJsonArrStored.at(iFound).toObject() : QJsonObject();
        const int iStoredChNo = qjsonRecord.value(QStringLiteral("chNo")).toInt(-1);
        if (iFound >= 0 && CLS_ChanRecord::IsValidChNo(iStoredChNo) &&
            arrChanInfo[iStoredChNo].iCollectDevType == CAMERA_BUSINESS_DEVICE_NONE) {
            // Present now, so published, whatever the record kept from the last run.
            qjsonRecord.insert(QStringLiteral("enable"), true);
            CLS_ChanRecord::JsonToChanInfo(qjsonRecord, arrChanInfo[iStoredChNo]);
            ClaimStoredAudio(iStoredChNo, arrChanInfo[iStoredChNo]);
            qJsonArrChInfo.append(qjsonRecord);
            continue;
        }
        if (iFound >= 0) {
            // A hand edit, or a raised desktop count, may put a camera on a number out of range or
            // already built: it is placed as a new camera is.
            LOG_EX(LOG_TRACE, "camera %s: stored channel %d is not free", qUtf8Printable(structUsb.qstrDevID),
                   iStoredChNo);
        }
        if (lstFree.isEmpty()) {
            LOG_EX(LOG_TRACE, "camera %s: no free channel", qUtf8Printable(structUsb.qstrDevID));
            continue;
        }
        const int iChNo = lstFree.takeFirst();
        qJsonArrChInfo.append(
            CLS_ChanRecord::MakeUsbChannel(structUsb, ClaimFreeAudio(iChNo), iChNo, arrChanInfo[iChNo]));
    }
    camera_business_set_chan_info(arrChanInfo.data(), CLS_ChanRecord::s_iChannelCount);
    return Store(qJsonArrChInfo);
}

STRUCT_ChannelAnswer CLS_ChannelTable::ResetAll()
{
    RefreshDevices();
    ChanInfoArray arrChanInfo = CLS_ChanRecord::EmptyChanInfoArray();
    QJsonArray qJsonArrChInfo;
    for (int i = 0; i < DesktopSlots(); ++i) {
        qJsonArrChInfo.append(
            CLS_ChanRecord::MakeDesktopChannel(m_vecScreen.at(i), ClaimFreeAudio(i), i, arrChanInfo[i]));
    }
    const int iFirstCamera = qMax(m_registry.GetDesktopNeedChNo(), 0);
    for (int k = 0; k < m_vecUsb.size() && iFirstCamera + k < CLS_ChanRecord::s_iChannelCount; ++k) {
        const int iChNo = iFirstCamera + k;
        qJsonArrChInfo.append(
            CLS_ChanRecord::MakeUsbChannel(m_vecUsb.at(k), ClaimFreeAudio(iChNo), iChNo, arrChanInfo[iChNo]));
    }
    camera_business_cleanup();
    StartOnPort(CLS_Settings::HostInfo(m_settings.Read()).iPort);
    camera_business_set_chan_info(arrChanInfo.data(), CLS_ChanRecord::s_iChannelCount);
    return Store(qJsonArrChInfo);
}

bool CLS_ChannelTable::BuildCurrentChannel(int _iChNo, const QJsonObject& _qjsonCurrent,
                                           QJsonObject& _qjsonRecord, STRUCT_ChanInfo& _structChanInfo)
{
    STRUCT_Audio structAudio;
    if (!m_registry.FindAudioDevByChannel(_iChNo, QString(), structAudio)) {
        structAudio = STRUCT_Audio();
    }
    if (CLS_ChanRecord::IsDesktopRecord(_qjsonCurrent)) {
        if (_iChNo >= m_vecScreen.size()) {
            LOG_EX(LOG_TRACE, "reset of channel %d: no screen at this position", _iChNo);
            return false;
        }
        _qjsonRecord =
            CLS_ChanRecord::MakeDesktopChannel(m_vecScreen.at(_iChNo), structAudio, _iChNo, _structChanInfo);
        return true;
    }
    const QString qstrDevID = _qjsonCurrent.value(QStringLiteral("devID")).toString();
    const auto itUsb =
        std::find_if(m_vecUsb.cbegin(), m_vecUsb.cend(), [&qstrDevID](const STRUCT_Usb& _structUsb) {
            return _structUsb.qstrDevID == qstrDevID;
        });
    if (itUsb == m_vecUsb.cend() || !_qjsonCurrent.value(QStringLiteral("enable")).toBool(false)) {
        LOG_EX(LOG_TRACE, "reset of channel %d: camera %s is not connected", _iChNo,
               qUtf8Printable(qstrDevID));
        return false;
    }
    _qjsonRecord = CLS_ChanRecord::MakeUsbChannel(*itUsb, structAudio, _iChNo, _structChanInfo);
    return true;
}

STRUCT_ChannelAnswer CLS_ChannelTable::DevicesChanged(const QVector<STRUCT_Usb>& _vecAdded,
                                                      const QStringList& _qstrlstRemoved)
{
    QJsonArray qJsonArrChInfo = Records();
    QList<int> lstFree = CLS_ChanRecord::FreeCameraNumbers(qJsonArrChInfo, m_registry.GetDesktopNeedChNo());
    for (const STRUCT_Usb& structUsb : _vecAdded) {
        STRUCT_ChanInfo structChanInfo;
        const int iFound =
            CLS_ChanRecord::FindRecord(qJsonArrChInfo, QStringLiteral("devID"), structUsb.qstrDevID);
        QJsonObject qjsonRecord = iFound >= 0 ? qJsonArrChInfo.at(iFound).toObject() : QJsonObject();
        const int iChNo = qjsonRecord.value(QStringLiteral("chNo")).toInt(-1);
        if (iFound >= 0 && CLS_ChanRecord::IsValidChNo(iChNo)) {
            qjsonRecord.insert(QStringLiteral("enable"), true);
            qJsonArrChInfo.replace(iFound, qjsonRecord);
            CLS_ChanRecord::JsonToChanInfo(qjsonRecord, structChanInfo);
            // The input was freed when the camera went: it is taken back if nobody took it meanwhile.
            STRUCT_Audio structAudio;
            if (!m_registry.FindAudioDevByChannel(iChNo, QString::fromUtf8(structChanInfo.szAudioName),
                                                  structAudio)) {
                ClaimStoredAudio(iChNo, structChanInfo);
            }
        } else if (lstFree.isEmpty()) {
            LOG_EX(LOG_TRACE, "camera %s: no free channel", qUtf8Printable(structUsb.qstrDevID));
            continue;
        } else {
            if (iFound >= 0) {
                LOG_EX(LOG_TRACE, "camera %s: stored channel %d is out of range",
                       qUtf8Printable(structUsb.qstrDevID), iChNo);
                qJsonArrChInfo.removeAt(iFound);
            }
            const int iNewChNo = lstFree.takeFirst();
            qJsonArrChInfo.append(CLS_ChanRecord::MakeUsbChannel(structUsb, ClaimFreeAudio(iNewChNo),
                                                                 iNewChNo, structChanInfo));
            m_vecUsb.append(structUsb);
        }
        camera_business_add_chan_info(&structChanInfo);
    }
    for (const QString& qstrDevID : qAsConst(_qstrlstRemoved)) {
        const QList<int> lstChNo = CLS_ChanRecord::DisableRecords(qJsonArrChInfo, qstrDevID);
        for (int iChNo : lstChNo) {
            camera_business_set_disable(iChNo);
            m_registry.ReleaseAudioDevByChannel(iChNo);
        }
    }
    return Store(qJsonArrChInfo);
}

STRUCT_ChannelAnswer CLS_ChannelTable::ScreensChanged(const QVector<STRUCT_Screen>& _vecScreen)
{
    QJsonArray qJsonArrChInfo = Records();
    // Cameras keep their numbers, also those below a raised desktop count; the next load gives a
    // camera another number where a desktop needs its own.
    QList<int> lstCameraChNo;
    for (const QJsonValue& qjsonValue : qAsConst(qJsonArrChInfo)) {
        if (!CLS_ChanRecord::IsDesktopRecord(qjsonValue.toObject())) {
            lstCameraChNo.append(qjsonValue.toObject().value(QStringLiteral("chNo")).toInt(-1));
        }
    }
    m_vecScreen = _vecScreen;
    // Each desktop record follows its screen; one whose screen did not change is left alone, and so
    // are its viewers. A record whose screen went keeps the user's settings for its return.
    QSet<int> setPlaced;
    for (int iIndex = 0; iIndex < qJsonArrChInfo.size(); ++iIndex) {
        QJsonObject qjsonRecord = qJsonArrChInfo.at(iIndex).toObject();
        const int iChNo = qjsonRecord.value(QStringLiteral("chNo")).toInt(-1);
        if (!CLS_ChanRecord::IsDesktopRecord(qjsonRecord) || !CLS_ChanRecord::IsValidChNo(iChNo) ||
            setPlaced.contains(iChNo)) {
            continue;
        }
        const bool blEnabled = qjsonRecord.value(QStringLiteral("enable")).toBool();
        if (iChNo >= DesktopSlots() || lstCameraChNo.contains(iChNo)) {
            if (blEnabled) {
                qjsonRecord.insert(QStringLiteral("enable"), false);
                qJsonArrChInfo.replace(iIndex, qjsonRecord);
                camera_business_set_disable(iChNo);
                m_registry.ReleaseAudioDevByChannel(iChNo);
            }
            continue;
        }
        setPlaced.insert(iChNo);
        if (!CLS_ChanRecord::FollowScreen(qjsonRecord, m_vecScreen.at(iChNo)) && blEnabled) {
            continue;
        }
        qjsonRecord.insert(QStringLiteral("enable"), true);
        qJsonArrChInfo.replace(iIndex, qjsonRecord);
        STRUCT_ChanInfo structChanInfo;
        CLS_ChanRecord::JsonToChanInfo(qjsonRecord, structChanInfo);
        STRUCT_Audio structAudio;
        if (!m_registry.FindAudioDevByChannel(iChNo, QString::fromUtf8(structChanInfo.szAudioName),
                                              structAudio)) {
            ClaimStoredAudio(iChNo, structChanInfo);
        }
        camera_delete_collector_fd(iChNo);
        camera_business_add_chan_info(&structChanInfo);
    }
    for (int i = 0; i < DesktopSlots(); ++i) {
        if (setPlaced.contains(i) || lstCameraChNo.contains(i)) {
            if (lstCameraChNo.contains(i)) {
                LOG_EX(LOG_TRACE, "desktop %d: the number belongs to a camera", i);
            }
            continue;
        }
        STRUCT_ChanInfo structChanInfo;
        qJsonArrChInfo.append(
            CLS_ChanRecord::MakeDesktopChannel(m_vecScreen.at(i), ClaimFreeAudio(i), i, structChanInfo));
        camera_business_add_chan_info(&structChanInfo);
    }
    return Store(qJsonArrChInfo);
}

void CLS_ChannelTable::RefreshCameras(const QVector<STRUCT_Usb>& _vecKnown)
{
    // The probe lets events run; a request arriving meanwhile finds the probe busy.
    if (m_blProbing) {
        LOG_EX(LOG_TRACE, "camera probe already running");
        return;
    }
    m_blProbing = true;
    // What the last probe found counts as known too: the watcher's first request carries nothing.
    const QVector<STRUCT_Usb> vecKnown = _vecKnown + m_registry.GetUsbDevs();
    QVector<STRUCT_Usb> vecUsb =
        m_pCameraSource != nullptr ? m_pCameraSource->ListCameras() : QVector<STRUCT_Usb>();
    for (int i = 0; i < vecUsb.size(); ++i) {
        STRUCT_Usb& structUsb = vecUsb[i];
        const auto itKnown =
            std::find_if(vecKnown.cbegin(), vecKnown.cend(), [&structUsb](const STRUCT_Usb& _structKnown) {
                return _structKnown.qstrDevID == structUsb.qstrDevID;
            });
        if (itKnown != vecKnown.cend()) {
            structUsb.lstResolution = itKnown->lstResolution;
            structUsb.lstCollectType = itKnown->lstCollectType;
            structUsb.lstRawResolution = itKnown->lstRawResolution;
            continue;
        }
        LOG_EX(LOG_TRACE, "i=[%d] usb=[%s]  id=[%s]", i, qUtf8Printable(structUsb.qstrName),
               qUtf8Printable(structUsb.qstrDevID));
        m_pCameraSource->ProbeCamera(i, structUsb.lstCollectType, structUsb.lstResolution,
                                     structUsb.lstRawResolution);
    }
    m_registry.SetUsbDevs(vecUsb);
    m_blProbing = false;
}
