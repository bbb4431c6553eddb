// The channel settings page: picks the channel shown and shows the channel table's answers. The
// table itself, its publication and the device binding live in CLS_ChannelTable.
#pragma once

#include "channels/CLS_ChannelTable.h"
#include "widgets/CLS_ComboBox.h"

#include <QCamera>
#include <QJsonArray>
#include <QVariant>
#include <QWidget>

#include <memory>

class CLS_QtCameraSource;
class CLS_ThreadCheckAddRemoveDev;
class CLS_UiChanSet;

class CLS_WgtChanSet : public QWidget
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
    // Lists the channels in the chooser; choosing one is left to the caller.
    void ShowChannels(const QJsonArray& _qJsonArrChInfo);

    // Seams for devices the machine may lack; null restores Qt Multimedia's cameras and the
    // system's audio inputs.
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

private:
    void ShowChannelState();
    void CreateDevWatcher();
    // Seeds the watcher with the devices the table found, so that it reports later changes only.
    void SeedDevWatcher();

    std::unique_ptr<CLS_UiChanSet> m_pUi;
    CLS_ThreadCheckAddRemoveDev* m_pDevWatcher = nullptr;
    CLS_QtCameraSource* m_pQtCameras = nullptr;
    std::unique_ptr<CLS_ChannelTable> m_pTable;
};
