#include "CLS_WgtChanSet.h"

#include "CLS_ParamSave.h"
#include "CLS_UiChanSet.h"
#include "CLS_WgtExportSet.h"

#include "OrbApplication.h"
#include "common/Log.h"
#include "common/PublicCommonFun.h"
#include "device/CLS_ThreadCheckAddRemoveDev.h"

#include <QCameraImageCapture>
#include <QCameraViewfinder>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>

#include <algorithm>
#include <mutex>

namespace {

// Any non-zero value: the callback treats zero as a fault.
const int32_t g_iCallbackUser = 1;
const int g_iProbeRounds = 100;
const int g_iProbeRoundMs = 100;
const int g_iCredentialSize = 64;

// The library calls back on its own thread: the page that hears it is reached under this lock,
// which its destructor takes before it goes.
std::mutex g_mutexReceiver;
CLS_WgtChanSet* g_pReceiver = nullptr;

OrbApplication* App()
{
    return OrbApplication::Instance();
}

int DesktopNeedChNo()
{
    return App()->GetDesktopNeedChNo();
}

QJsonArray StoredChannels()
{
    return CLS_Settings::Channels(App()->ReadConfig());
}

int ConfiguredPort()
{
    return CLS_Settings::HostInfo(App()->ReadConfig()).iPort;
}

} // namespace

CLS_WgtChanSet::CLS_WgtChanSet(QWidget* parent)
    : QWidget(parent), m_pUi(std::make_unique<CLS_UiChanSet>()), m_pLabelViewfinder(new QLabel(this)),
      m_pViewfinder(new QCameraViewfinder(m_pLabelViewfinder))
{
    qRegisterMetaType<QCamera::State>("QCamera::State");
    RegisterDeviceMetaTypes();
    m_pUi->setupUi(this);
    m_pLabelViewfinder->hide();
    m_pUi->label_ChState->hide();
}

CLS_WgtChanSet::~CLS_WgtChanSet()
{
    {
        std::lock_guard<std::mutex> lock(g_mutexReceiver);
        if (g_pReceiver == this) {
            g_pReceiver = nullptr;
        }
    }
    if (m_pDevWatcher != nullptr) {
        m_pDevWatcher->Stop();
        m_pDevWatcher->wait();
    }
}

CLS_ComboBox* CLS_WgtChanSet::GetChannelChooser() const
{
    return m_pUi->comboBox_ChooseCh;
}

void CLS_WgtChanSet::SetCameraSource(CLS_CameraSource* _pCameraSource)
{
    m_pCameraSource = _pCameraSource != nullptr ? _pCameraSource : this;
}

void CLS_WgtChanSet::SetAudioSource(CLS_AudioSource* _pAudioSource)
{
    m_pAudioSource = _pAudioSource != nullptr ? _pAudioSource : &CLS_DeviceProbe::SystemAudioSource();
}

bool CLS_WgtChanSet::InitChanSet()
{
    if (m_pDevWatcher != nullptr) {
        LOG_EX(LOG_TRACE, "InitChanSet: channels already started");
        return false;
    }
    m_pUi->pushButton_ResetAllChs->setText(tr("重置所有通道"));
    m_pUi->label_ChooseCh->setText(tr("选择"));
    m_pUi->label_ChName->setText(tr("通道名称"));
    m_pUi->lineEdit_ChName->setEnabled(false);
    // A typed number would become an item without a record.
    m_pUi->comboBox_ChooseCh->SetEditEnabled(false);
    connect(m_pUi->comboBox_ChooseCh, &CLS_ComboBox::SigCurrentIndexChanged, this,
            &CLS_WgtChanSet::SlotChInfoChanged);
    connect(m_pUi->tab, &CLS_WgtExportSet::SigVideoParamChanged, this,
            &CLS_WgtChanSet::SlotVideoParamChanged);
    connect(m_pUi->tab, &CLS_WgtExportSet::SigResetCurCh, this, &CLS_WgtChanSet::SlotResetCurCh);

    const STRUCT_HostInfo structHost = CLS_Settings::HostInfo(App()->ReadConfig());
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
    if (camera_business_set_mess_callback(&CLS_WgtChanSet::MessCallback, g_iCallbackUser) == -1) {
        LOG_EX(LOG_FAIL, "camera_business_set_mess_callback == -1");
    }
    if (camera_business_enable_send_stream(1) == 0) {
        LOG_EX(LOG_FAIL, "camera_business_control_send_stream");
    }
    const int iPort = structHost.iPort;
    if (camera_business_startup(iPort, CLS_ChanRecord::s_iChannelCount) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_startup(%d)", iPort);
    }

    CreateDevWatcher();
    if (StoredChannels().isEmpty()) {
        on_pushButton_ResetAllChs_clicked();
    } else {
        LoadChannels();
    }
    m_pDevWatcher->start(QThread::InheritPriority);
    return true;
}

void CLS_WgtChanSet::CreateDevWatcher()
{
    m_pDevWatcher = new CLS_ThreadCheckAddRemoveDev(this);
    connect(m_pDevWatcher, &CLS_ThreadCheckAddRemoveDev::SigGetUsbInfo, this,
            &CLS_WgtChanSet::SlotGetUsbInfo);
    connect(m_pDevWatcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged, this,
            &CLS_WgtChanSet::SlotDeviceChanged);
    connect(m_pDevWatcher, &CLS_ThreadCheckAddRemoveDev::SigScreenChanged, this,
            &CLS_WgtChanSet::SlotScreenChanged);
    connect(m_pDevWatcher, &CLS_ThreadCheckAddRemoveDev::SigGetAudioInfo, this,
            &CLS_WgtChanSet::SlotGetAudioInfo);
    connect(m_pDevWatcher, &CLS_ThreadCheckAddRemoveDev::SigAudioDeviceChanged, this,
            &CLS_WgtChanSet::SlotAudioDeviceChanged);
}

int CLS_WgtChanSet::MessCallback(intptr_t _iMsg, intptr_t _iParam1, intptr_t, intptr_t _iUser)
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

void CLS_WgtChanSet::SlotChannelMessage(int _iMsg, int _iChNo)
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
    ShowChannelState();
}

void CLS_WgtChanSet::ShowChannelState()
{
    const QJsonObject qjsonRecord = m_pUi->comboBox_ChooseCh->currentData().toJsonObject();
    const int iChNo = qjsonRecord.value(QStringLiteral("chNo")).toInt(-1);
    QString qstrState;
    switch (m_hashChannelState.value(iChNo)) {
    case CAMERA_BUSINESS_MSG_CHANNEL_FAILED:
        qstrState = tr("通道状态：设备无法采集，请检查设备或更换采集格式");
        break;
    case CAMERA_BUSINESS_MSG_AUDIO_FAILED:
        qstrState = tr("通道状态：声音无法采集，仅推送画面");
        break;
    case CAMERA_BUSINESS_MSG_CHANNEL_STARTED:
        qstrState = tr("通道状态：正常");
        break;
    default:
        break;
    }
    m_pUi->label_ChState->setText(qstrState);
    m_pUi->label_ChState->setVisible(!qstrState.isEmpty());
}

int CLS_WgtChanSet::DesktopSlots() const
{
    return qBound(0, qMin(DesktopNeedChNo(), m_vecScreen.size()), CLS_ChanRecord::s_iChannelCount);
}

void CLS_WgtChanSet::ClaimStoredAudio(int _iChNo, STRUCT_ChanInfo& _structChanInfo)
{
    STRUCT_Audio structAudio;
    if (_structChanInfo.ucEnableAudio != 0 &&
        !App()->ClaimAudioDev(_iChNo, QString::fromUtf8(_structChanInfo.szAudioName), true, structAudio)) {
        _structChanInfo.ucEnableAudio = 0;
    }
}

STRUCT_Audio CLS_WgtChanSet::ClaimFreeAudio(int _iChNo)
{
    STRUCT_Audio structAudio;
    if (!App()->ClaimAudioDev(_iChNo, QString(), true, structAudio)) {
        structAudio = STRUCT_Audio();
    }
    return structAudio;
}

bool CLS_WgtChanSet::ResumeChannels()
{
    const int iPort = ConfiguredPort();
    if (camera_business_startup(iPort, CLS_ChanRecord::s_iChannelCount) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_startup(%d)", iPort);
        return false;
    }
    for (int i = 0; i < CLS_ChanRecord::s_iChannelCount; ++i) {
        App()->ReleaseAudioDevByChannel(i);
    }
    LoadChannels();
    return true;
}

void CLS_WgtChanSet::LoadChannels()
{
    RefreshDevices();
    const QJsonArray qJsonArrStored = StoredChannels();
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

    QList<int> lstFree = CLS_ChanRecord::FreeCameraNumbers(qJsonArrStored, DesktopNeedChNo());
    for (const STRUCT_Usb& structUsb : qAsConst(m_vecUsb)) {
        const int iFound =
            CLS_ChanRecord::FindRecord(qJsonArrStored, QStringLiteral("devID"), structUsb.qstrDevID);
        QJsonObject qjsonRecord = iFound >= 0 ? qJsonArrStored.at(iFound).toObject() : QJsonObject();
        const int iStoredChNo = qjsonRecord.value(QStringLiteral("chNo")).toInt(-1);
        if (iFound >= 0 && CLS_ChanRecord::IsValidChNo(iStoredChNo) &&
            arrChanInfo[iStoredChNo].iCollectDevType == -1) {
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
    SaveChannels(qJsonArrChInfo);
    m_pUi->comboBox_ChooseCh->setCurrentIndex(0);
}

void CLS_WgtChanSet::on_pushButton_ResetAllChs_clicked()
{
    RefreshDevices();
    ChanInfoArray arrChanInfo = CLS_ChanRecord::EmptyChanInfoArray();
    QJsonArray qJsonArrChInfo;
    for (int i = 0; i < DesktopSlots(); ++i) {
        qJsonArrChInfo.append(
            CLS_ChanRecord::MakeDesktopChannel(m_vecScreen.at(i), ClaimFreeAudio(i), i, arrChanInfo[i]));
    }
    const int iFirstCamera = qMax(DesktopNeedChNo(), 0);
    for (int k = 0; k < m_vecUsb.size() && iFirstCamera + k < CLS_ChanRecord::s_iChannelCount; ++k) {
        const int iChNo = iFirstCamera + k;
        qJsonArrChInfo.append(
            CLS_ChanRecord::MakeUsbChannel(m_vecUsb.at(k), ClaimFreeAudio(iChNo), iChNo, arrChanInfo[iChNo]));
    }
    camera_business_cleanup();
    const int iPort = ConfiguredPort();
    if (camera_business_startup(iPort, CLS_ChanRecord::s_iChannelCount) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_startup(%d)", iPort);
    }
    camera_business_set_chan_info(arrChanInfo.data(), CLS_ChanRecord::s_iChannelCount);
    SaveChannels(qJsonArrChInfo);
    m_pUi->comboBox_ChooseCh->setCurrentIndex(0);
}

bool CLS_WgtChanSet::SaveChannels(const QJsonArray& _qJsonArrChInfo)
{
    const bool blStored = App()->Settings().StoreChannels(_qJsonArrChInfo);
    ShowChannels(_qJsonArrChInfo);
    return blStored;
}

void CLS_WgtChanSet::ShowChannels(const QJsonArray& _qJsonArrChInfo)
{
    m_pUi->comboBox_ChooseCh->clear();
    m_pUi->comboBox_ChooseCh->AddItems(CLS_ChanRecord::MakeComboItems(_qJsonArrChInfo));
}

void CLS_WgtChanSet::SlotResetCurCh()
{
    const int iIndex = m_pUi->comboBox_ChooseCh->currentIndex();
    bool blNumber = false;
    const int iChNo = m_pUi->comboBox_ChooseCh->currentText().toInt(&blNumber) - 1;
    QJsonArray qJsonArrChInfo = StoredChannels();
    if (iIndex < 0 || !blNumber || iIndex >= qJsonArrChInfo.size() ||
        qJsonArrChInfo.at(iIndex).toObject().value(QStringLiteral("chNo")).toInt(-1) != iChNo) {
        LOG_EX(LOG_TRACE, "reset of the current channel: item %d is not a stored channel", iIndex);
        return;
    }
    QJsonObject qjsonRecord;
    STRUCT_ChanInfo structChanInfo;
    if (!BuildCurrentChannel(iChNo, qJsonArrChInfo.at(iIndex).toObject(), qjsonRecord, structChanInfo)) {
        return;
    }
    qJsonArrChInfo.replace(iIndex, qjsonRecord);
    // The library is changed only when the table that says so is stored.
    if (!App()->Settings().StoreChannels(qJsonArrChInfo)) {
        CLS_ParamSave::Notify(tr("重置失败，配置文件无法写入"));
        return;
    }
    camera_delete_collector_fd(iChNo);
    camera_business_add_chan_info(&structChanInfo);
    ShowChannels(qJsonArrChInfo);
    m_pUi->comboBox_ChooseCh->setCurrentIndex(iIndex);
}

bool CLS_WgtChanSet::BuildCurrentChannel(int _iChNo, const QJsonObject& _qjsonCurrent,
                                         QJsonObject& _qjsonRecord, STRUCT_ChanInfo& _structChanInfo)
{
    STRUCT_Audio structAudio;
    if (!App()->FindAudioDevByChannel(_iChNo, QString(), structAudio)) {
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

void CLS_WgtChanSet::SlotVideoParamChanged(QJsonArray& _qJsonArrChInfo, int _iChNo)
{
    SaveChannels(_qJsonArrChInfo);
    m_pUi->comboBox_ChooseCh->setCurrentIndex(_iChNo);
}

void CLS_WgtChanSet::SlotChInfoChanged(const STRUCT_ComboBoxItem& _structItem)
{
    const QVariant& variantData = _structItem.variantData;
    const QJsonObject qjsonRecord = variantData.userType() == QMetaType::QJsonObject
                                        ? variantData.toJsonObject()
                                        : QJsonObject::fromVariantMap(variantData.toMap());
    m_pUi->lineEdit_ChName->setText(qjsonRecord.value(QStringLiteral("chName")).toString());
    m_pUi->lineEdit_ChName->setCursorPosition(0);
    m_pUi->tab->SetChannelInfo(m_pUi->comboBox_ChooseCh->currentIndex(), qjsonRecord);
    ShowChannelState();
}

void CLS_WgtChanSet::RefreshDevices()
{
    m_vecUsb.clear();
    m_vecScreen.clear();
    App()->SetUsbDevs({});
    App()->SetAudioDevs({});
    m_blAudioListed = false;
    SlotGetAudioInfo(QVariant());
    SlotGetUsbInfo(QVariant::fromValue(QVector<STRUCT_Usb>()));
    m_vecUsb = App()->GetUsbDevs();
    App()->GetScreenList(m_vecScreen);
    if (m_pDevWatcher == nullptr) {
        return;
    }
    m_pDevWatcher->InitAudioDevNames(CLS_DeviceProbe::AudioNames(App()->GetAudioDevs()));
    m_pDevWatcher->InitUsbDevIDs(CLS_DeviceProbe::DevIDs(m_vecUsb));
    m_pDevWatcher->InitScreenInfo(m_vecScreen);
}

void CLS_WgtChanSet::SlotDeviceChanged(QVariant _variantData, QStringList _qstrlstDeviceDel)
{
    QJsonArray qJsonArrChInfo = StoredChannels();
    QList<int> lstFree = CLS_ChanRecord::FreeCameraNumbers(qJsonArrChInfo, DesktopNeedChNo());
    const QVector<STRUCT_Usb> vecUsbAdded = _variantData.value<QVector<STRUCT_Usb>>();
    for (const STRUCT_Usb& structUsb : vecUsbAdded) {
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
            if (!App()->FindAudioDevByChannel(iChNo, QString::fromUtf8(structChanInfo.szAudioName),
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
    for (const QString& qstrDevID : qAsConst(_qstrlstDeviceDel)) {
        const QList<int> lstChNo = CLS_ChanRecord::DisableRecords(qJsonArrChInfo, qstrDevID);
        for (int iChNo : lstChNo) {
            camera_business_set_disable(iChNo);
            App()->ReleaseAudioDevByChannel(iChNo);
        }
    }
    SaveChannels(qJsonArrChInfo);
}

void CLS_WgtChanSet::SlotScreenChanged(QVariant _variantData)
{
    QJsonArray qJsonArrChInfo = StoredChannels();
    // Cameras keep their numbers, also those below a raised desktop count; the next load gives a
    // camera another number where a desktop needs its own.
    QList<int> lstCameraChNo;
    for (const QJsonValue& qjsonValue : qAsConst(qJsonArrChInfo)) {
        if (!CLS_ChanRecord::IsDesktopRecord(qjsonValue.toObject())) {
            lstCameraChNo.append(qjsonValue.toObject().value(QStringLiteral("chNo")).toInt(-1));
        }
    }
    m_vecScreen = _variantData.value<QVector<STRUCT_Screen>>();
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
                App()->ReleaseAudioDevByChannel(iChNo);
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
        if (!App()->FindAudioDevByChannel(iChNo, QString::fromUtf8(structChanInfo.szAudioName),
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
    SaveChannels(qJsonArrChInfo);
}

void CLS_WgtChanSet::SlotGetAudioInfo(QVariant)
{
    const QStringList qstrlstListed = m_pAudioSource->ListInputs();
    // Known inputs are kept whole, so an unchanged listing would build the same table again.
    if (m_blAudioListed && qstrlstListed == m_qstrlstAudioListed) {
        return;
    }
    m_qstrlstAudioListed = qstrlstListed;
    m_blAudioListed = true;
    App()->SetAudioDevs(
        CLS_DeviceProbe::BuildAudioTable(qstrlstListed, App()->GetAudioDevs(), *m_pAudioSource));
}

void CLS_WgtChanSet::SlotAudioDeviceChanged(QVariant, QStringList) {}

void CLS_WgtChanSet::SlotGetUsbInfo(QVariant _variantData)
{
    // The probe lets events run; a request arriving meanwhile finds the probe busy.
    if (m_blProbing) {
        LOG_EX(LOG_TRACE, "camera probe already running");
        return;
    }
    m_blProbing = true;
    // What the last probe found counts as known too: the watcher's first request carries nothing.
    const QVector<STRUCT_Usb> vecKnown = _variantData.value<QVector<STRUCT_Usb>>() + App()->GetUsbDevs();
    QVector<STRUCT_Usb> vecUsb = m_pCameraSource->ListCameras();
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
        QList<QVideoFrame::PixelFormat> lstFormat;
        QList<QSize> lstResolution;
        m_pCameraSource->ProbeCamera(i, lstFormat, lstResolution, structUsb.lstRawResolution);
        structUsb.lstCollectType = CLS_DeviceProbe::CollectTypesFromPixelFormats(lstFormat);
        structUsb.lstResolution = lstResolution;
    }
    App()->SetUsbDevs(vecUsb);
    m_blProbing = false;
}

QVector<STRUCT_Usb> CLS_WgtChanSet::ListCameras()
{
    m_lstCameraInfo = QCameraInfo::availableCameras();
    return CLS_DeviceProbe::DescribeCameras(m_lstCameraInfo);
}

void CLS_WgtChanSet::ProbeCamera(int _iIndex, QList<QVideoFrame::PixelFormat>& _lstFormat,
                                 QList<QSize>& _lstResolution, QList<QSize>& _lstRawResolution)
{
    if (_iIndex < 0 || _iIndex >= m_lstCameraInfo.size()) {
        return;
    }
    m_lstResolution.clear();
    QCamera qcamera(m_lstCameraInfo.at(_iIndex));
    qcamera.setViewfinder(m_pViewfinder);
    connect(&qcamera, &QCamera::stateChanged, this, &CLS_WgtChanSet::updateCameraState);
    QCameraImageCapture qcameraCapture(&qcamera);
    m_pImageCapture = &qcameraCapture;
    m_blActive = false;
    qcamera.setCaptureMode(QCamera::CaptureStillImage);
    qcamera.start();
    _lstFormat = qcamera.supportedViewfinderPixelFormats();
    for (int iRound = 0; iRound < g_iProbeRounds; ++iRound) {
        os_sleep(g_iProbeRoundMs);
        QCoreApplication::processEvents();
        if (m_blActive) {
            break;
        }
    }
    const QList<QCameraViewfinderSettings> lstSettings = qcamera.supportedViewfinderSettings();
    for (const QCameraViewfinderSettings& qsettings : lstSettings) {
        const QList<int> lstType = CLS_DeviceProbe::CollectTypesFromPixelFormats({qsettings.pixelFormat()});
        if (lstType.contains(1) && !_lstRawResolution.contains(qsettings.resolution())) {
            _lstRawResolution.append(qsettings.resolution());
        }
    }
    qcamera.stop();
    qcamera.unload();
    m_pImageCapture = nullptr;
    _lstResolution = m_lstResolution;
}

void CLS_WgtChanSet::updateCameraState(QCamera::State state)
{
    LOG_EX(LOG_TRACE, "updateCameraState state = [%d]", static_cast<int>(state));
    if ((state == QCamera::LoadedState || state == QCamera::ActiveState) && m_lstResolution.isEmpty() &&
        m_pImageCapture != nullptr) {
        const QList<QSize> lstSupported = m_pImageCapture->supportedResolutions();
        for (const QSize& qsize : lstSupported) {
            LOG_EX(LOG_TRACE, "%d * %d", qsize.width(), qsize.height());
            m_lstResolution.append(qsize);
        }
        m_blActive = true;
    }
    LOG_EX(LOG_TRACE, "updateCameraState m_blActive = [%d]", m_blActive ? 1 : 0);
}
