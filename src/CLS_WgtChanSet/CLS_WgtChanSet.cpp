#include "CLS_WgtChanSet.h"

#include "CLS_ChannelNotice.h"
#include "CLS_UiChanSet.h"
#include "CLS_WgtExportSet.h"

#include "OrbApplication.h"
#include "common/Log.h"
#include "device/CLS_QtCameraSource.h"
#include "device/CLS_ThreadCheckAddRemoveDev.h"
#include "widgets/CLS_ComboBox.h"
#include "widgets/CLS_MessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CLS_WgtChanSet::CLS_WgtChanSet(QWidget* parent)
    : QWidget(parent), m_pUi(std::make_unique<CLS_UiChanSet>()), m_pQtCameras(new CLS_QtCameraSource(this)),
      m_pTable(std::make_unique<CLS_ChannelTable>(OrbApplication::Instance()->Settings(),
                                                  *OrbApplication::Instance()))
{
    RegisterDeviceMetaTypes();
    m_pUi->setupUi(this);
    m_pUi->label_ChState->hide();
    m_pUi->tab->SetChannelTable(m_pTable.get());
    m_pTable->SetCameraSource(m_pQtCameras);
    connect(m_pTable.get(), &CLS_ChannelTable::SigChannelState, this, &CLS_WgtChanSet::ShowChannelState);
}

CLS_WgtChanSet::~CLS_WgtChanSet()
{
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
    m_pTable->SetCameraSource(_pCameraSource != nullptr ? _pCameraSource : m_pQtCameras);
}

void CLS_WgtChanSet::SetAudioSource(CLS_AudioSource* _pAudioSource)
{
    m_pTable->SetAudioSource(_pAudioSource);
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

    m_pTable->Start();
    CreateDevWatcher();
    if (m_pTable->Records().isEmpty()) {
        on_pushButton_ResetAllChs_clicked();
    } else {
        LoadChannels();
    }
    m_pDevWatcher->start(QThread::InheritPriority);
    return true;
}

void CLS_WgtChanSet::CreateDevWatcher()
{
    m_pDevWatcher = new CLS_ThreadCheckAddRemoveDev(*OrbApplication::Instance(), this);
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

void CLS_WgtChanSet::SeedDevWatcher()
{
    if (m_pDevWatcher == nullptr) {
        return;
    }
    m_pDevWatcher->InitAudioDevNames(CLS_DeviceProbe::AudioNames(OrbApplication::Instance()->GetAudioDevs()));
    m_pDevWatcher->InitUsbDevIDs(CLS_DeviceProbe::DevIDs(m_pTable->Cameras()));
    m_pDevWatcher->InitScreenInfo(m_pTable->Screens());
}

void CLS_WgtChanSet::ShowChannelState()
{
    const QJsonObject qjsonRecord = m_pUi->comboBox_ChooseCh->currentData().toJsonObject();
    QString qstrState;
    switch (m_pTable->StateOf(qjsonRecord.value(QStringLiteral("chNo")).toInt(-1))) {
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

bool CLS_WgtChanSet::ResumeChannels()
{
    if (!m_pTable->Resume()) {
        return false;
    }
    LoadChannels();
    return true;
}

void CLS_WgtChanSet::LoadChannels()
{
    ShowChannels(m_pTable->Load().qJsonArrChInfo);
    SeedDevWatcher();
    m_pUi->comboBox_ChooseCh->setCurrentIndex(0);
}

void CLS_WgtChanSet::on_pushButton_ResetAllChs_clicked()
{
    ShowChannels(m_pTable->ResetAll().qJsonArrChInfo);
    SeedDevWatcher();
    m_pUi->comboBox_ChooseCh->setCurrentIndex(0);
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
    const STRUCT_ChannelAnswer structAnswer = m_pTable->ResetChannel(iIndex, blNumber ? iChNo : -1);
    if (structAnswer.eOutcome == EnumChannelOutcome::NOT_WRITTEN) {
        CLS_MessageBox::Notice(tr("重置失败，配置文件无法写入"));
    } else if (structAnswer.eOutcome == EnumChannelOutcome::DONE) {
        ShowChannels(structAnswer.qJsonArrChInfo);
        m_pUi->comboBox_ChooseCh->setCurrentIndex(iIndex);
    }
}

// The page's save has stored the table through the channel table already: only the chooser follows.
void CLS_WgtChanSet::SlotVideoParamChanged(QJsonArray& _qJsonArrChInfo, int _iChNo)
{
    ShowChannels(_qJsonArrChInfo);
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

void CLS_WgtChanSet::SlotDeviceChanged(QVariant _variantData, QStringList _qstrlstDeviceDel)
{
    ShowChannels(m_pTable->DevicesChanged(_variantData.value<QVector<STRUCT_Usb>>(), _qstrlstDeviceDel)
                     .qJsonArrChInfo);
}

void CLS_WgtChanSet::SlotScreenChanged(QVariant _variantData)
{
    ShowChannels(m_pTable->ScreensChanged(_variantData.value<QVector<STRUCT_Screen>>()).qJsonArrChInfo);
}

void CLS_WgtChanSet::updateCameraState(QCamera::State state)
{
    m_pQtCameras->UpdateCameraState(state);
}

void CLS_WgtChanSet::SlotGetUsbInfo(QVariant _variantData)
{
    m_pTable->RefreshCameras(_variantData.value<QVector<STRUCT_Usb>>());
}

void CLS_WgtChanSet::SlotGetAudioInfo(QVariant)
{
    m_pTable->RefreshAudio();
}

void CLS_WgtChanSet::SlotAudioDeviceChanged(QVariant, QStringList) {}
