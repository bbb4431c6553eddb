// The channel settings page: picks the channel shown, and owns the channel table, its
// publication through the streaming library and the binding of devices to channels.
#pragma once

#include "CLS_ChanRecord.h"
#include "device/CLS_DeviceProbe.h"
#include "device/DeviceRecords.h"
#include "widgets/CLS_ComboBox.h"

#include <QCamera>
#include <QCameraInfo>
#include <QHash>
#include <QJsonArray>
#include <QVariant>
#include <QWidget>

#include <memory>

class CLS_ThreadCheckAddRemoveDev;
class QCameraImageCapture;
class QCameraViewfinder;
class QLabel;
class CLS_UiChanSet;

class CLS_WgtChanSet : public QWidget, private CLS_CameraSource
{
    Q_OBJECT
public:
    explicit CLS_WgtChanSet(QWidget* parent = nullptr);
    // Stops the device watcher and waits for it before anything else goes.
    ~CLS_WgtChanSet() override;

    // Starts the streaming library, builds or loads the channels, publishes them and starts the
    // device watcher. Called once.
    bool InitChanSet();
    // Starts the library again after a clean-up and publishes the stored channels with the audio
    // inputs they held: a restart that started no new copy leaves this copy serving.
    bool ResumeChannels();
    // Builds all channels from the stored table; records of absent cameras are dropped.
    void LoadChannels();
    // Stores the table and lists its channels in the chooser.
    bool SaveChannels(const QJsonArray& _qJsonArrChInfo);
    // Lists the channels in the chooser; choosing one is left to the caller.
    void ShowChannels(const QJsonArray& _qJsonArrChInfo);
    // Library message callback; the user value must be non-zero.
    static int MessCallback(intptr_t _iMsg, intptr_t _iParam1, intptr_t _iParam2, intptr_t _iUser);

    // Seams for devices the machine may lack; null / empty restore Qt Multimedia.
    void SetCameraSource(CLS_CameraSource* _pCameraSource);
    void SetAudioSource(CLS_AudioSource* _pAudioSource);

    CLS_ThreadCheckAddRemoveDev* GetDevWatcher() const { return m_pDevWatcher; }
    CLS_ComboBox* GetChannelChooser() const;

private slots:
    void on_pushButton_ResetAllChs_clicked();
    void SlotDeviceChanged(QVariant _variantData, QStringList _qstrlstDeviceDel);
    void SlotScreenChanged(QVariant _variantData);
    void SlotChInfoChanged(const STRUCT_ComboBoxItem& _structItem);
    void SlotVideoParamChanged(QJsonArray& _qJsonArrChInfo, int _iChNo);
    void SlotResetCurCh();
    void updateCameraState(QCamera::State state);
    void SlotGetUsbInfo(QVariant _variantData);
    void SlotGetAudioInfo(QVariant _variantData);
    void SlotAudioDeviceChanged(QVariant _variantDataAdd, QStringList _qstrlstDeviceDel);
    // A library message about a channel, on this thread.
    void SlotChannelMessage(int _iMsg, int _iChNo);

private:
    void ShowChannelState();
    void CreateDevWatcher();
    void RefreshDevices();
    // Desktop channels that can be built: screens below the desktop count, within the 16 blocks.
    int DesktopSlots() const;
    bool BuildCurrentChannel(int _iChNo, const QJsonObject& _qjsonCurrent, QJsonObject& _qjsonRecord,
                             STRUCT_ChanInfo& _structChanInfo);
    // Binds the stored input named in the block to the channel, or clears the block's audio.
    void ClaimStoredAudio(int _iChNo, STRUCT_ChanInfo& _structChanInfo);
    STRUCT_Audio ClaimFreeAudio(int _iChNo);

    QVector<STRUCT_Usb> ListCameras() override;
    void ProbeCamera(int _iIndex, QList<QVideoFrame::PixelFormat>& _lstFormat, QList<QSize>& _lstResolution,
                     QList<QSize>& _lstRawResolution) override;

    std::unique_ptr<CLS_UiChanSet> m_pUi;
    CLS_ThreadCheckAddRemoveDev* m_pDevWatcher = nullptr;
    QVector<STRUCT_Screen> m_vecScreen;
    QVector<STRUCT_Usb> m_vecUsb;
    bool m_blActive = false;
    QList<QSize> m_lstResolution;
    QLabel* m_pLabelViewfinder = nullptr;
    QCameraViewfinder* m_pViewfinder = nullptr;
    QCameraImageCapture* m_pImageCapture = nullptr;
    bool m_blProbing = false;
    QList<QCameraInfo> m_lstCameraInfo;
    CLS_CameraSource* m_pCameraSource = this;
    CLS_AudioSource* m_pAudioSource = &CLS_DeviceProbe::SystemAudioSource();
    // The inputs of the last listing: an unchanged listing leaves the table as it is.
    QStringList m_qstrlstAudioListed;
    bool m_blAudioListed = false;
    // The last library message of each channel that said how it runs.
    QHash<int, int> m_hashChannelState;
};
