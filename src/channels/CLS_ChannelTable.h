// The channel table: the stored records, their publication through the streaming library and the
// binding of cameras, screens and audio inputs to channels. Every operation answers with what
// happened; the pages only show that answer.
#pragma once

#include "CLS_ChanRecord.h"
#include "device/CLS_DeviceProbe.h"
#include "device/CLS_DeviceRegistry.h"
#include "settings/CLS_Settings.h"

#include <QHash>
#include <QJsonArray>
#include <QObject>
#include <QSize>
#include <QStringList>

// What became of an operation.
enum class EnumChannelOutcome
{
    DONE,
    NO_TARGET,   // nothing to act on (no such channel, its device or screen is gone): nothing changed
    MOVED,       // the position no longer holds the channel shown: nothing changed
    NOT_WRITTEN, // the settings file could not be written: the library was not told
    INVALID,     // a value failed the check before anything was written or called
    REFUSED,     // the library refused some values: they are not stored, the rest is
    INPUT_TAKEN, // the chosen audio input is held by another channel
    INPUT_GONE,  // the chosen audio input is no longer there
    NO_INPUT     // sound on, but no input is free
};

// One library call that refused, with the values it was given.
struct STRUCT_Refusal
{
    QString qstrCall;
    QStringList qstrlstValue;
};

struct STRUCT_ChannelAnswer
{
    EnumChannelOutcome eOutcome = EnumChannelOutcome::DONE;
    QList<STRUCT_Refusal> lstRefusal; // with INVALID and REFUSED
    QJsonArray qJsonArrChInfo;        // the table after the operation

    // The settings file holds the table: all of it, or what the library took of it.
    bool Written() const
    {
        return eOutcome == EnumChannelOutcome::DONE || eOutcome == EnumChannelOutcome::REFUSED;
    }
};

// A save of the video page.
struct STRUCT_VideoChoice
{
    int iCollectType = CAMERA_BUSINESS_COLLECT_YUV;
    int iQuality = 0;
    int iFrameRate = 0;
    int iBitRate = 0;
    QSize qsizeVideo;
    QList<QSize> lstOffered;
    QString qstrDevName;
};

// A save of the audio page.
struct STRUCT_AudioChoice
{
    int iEncType = 0;
    QString qstrName;
    int iSampleRate = 0;
    bool blOn = false;
};

class CLS_ChannelTable : public QObject
{
    Q_OBJECT
public:
    CLS_ChannelTable(CLS_Settings _settings, CLS_DeviceRegistry& _registry, QObject* parent = nullptr);
    // Stops hearing the library before it goes.
    ~CLS_ChannelTable() override;

    // Seams for devices the machine may lack: null cameras lists none, null audio restores the system's.
    void SetCameraSource(CLS_CameraSource* _pCameraSource) { m_pCameraSource = _pCameraSource; }
    void SetAudioSource(CLS_AudioSource* _pAudioSource);

    // Registers the stored user and the message callback and starts the library on the stored port.
    bool Start();
    // Starts the library again on the stored port after a clean-up; Load publishes the channels.
    bool Resume();
    // Builds all channels from the stored table; records of absent cameras are dropped.
    STRUCT_ChannelAnswer Load();
    // Builds all channels from defaults and starts the library anew with them.
    STRUCT_ChannelAnswer ResetAll();
    // The record at _iIndex, which must still be channel _iChNo, back to its defaults.
    STRUCT_ChannelAnswer ResetChannel(int _iIndex, int _iChNo);
    STRUCT_ChannelAnswer SaveVideo(int _iIndex, int _iChNo, const STRUCT_VideoChoice& _structChoice);
    STRUCT_ChannelAnswer SaveAudio(int _iIndex, int _iChNo, const STRUCT_AudioChoice& _structChoice);
    // Whether sound may be switched on: the channel holds an input, or one is free.
    bool CanTurnSoundOn(int _iChNo) const;
    STRUCT_ChannelAnswer Store(const QJsonArray& _qJsonArrChInfo);

    // Device changes the watcher reports.
    STRUCT_ChannelAnswer DevicesChanged(const QVector<STRUCT_Usb>& _vecAdded,
                                        const QStringList& _qstrlstRemoved);
    STRUCT_ChannelAnswer ScreensChanged(const QVector<STRUCT_Screen>& _vecScreen);
    // Lists the cameras, probing only those not in _vecKnown nor in the registry.
    void RefreshCameras(const QVector<STRUCT_Usb>& _vecKnown);
    // Lists the audio inputs; an unchanged listing leaves the registry as it is.
    void RefreshAudio();

    QJsonArray Records() const;
    const QVector<STRUCT_Screen>& Screens() const { return m_vecScreen; }
    const QVector<STRUCT_Usb>& Cameras() const { return m_vecUsb; }
    // The last library message that said how the channel runs; 0 when none did.
    int StateOf(int _iChNo) const { return m_hashChannelState.value(_iChNo); }

    // The library's message callback; the user value must be non-zero.
    static int MessCallback(intptr_t _iMsg, intptr_t _iParam1, intptr_t _iParam2, intptr_t _iUser);

signals:
    void SigChannelState(int _iChNo);

private slots:
    void SlotChannelMessage(int _iMsg, int _iChNo);

private:
    // Starts the library on _iPort; false, with the log line, when it refuses.
    bool StartOnPort(int _iPort);
    void RefreshDevices();
    int DesktopSlots() const;
    bool BuildCurrentChannel(int _iChNo, const QJsonObject& _qjsonCurrent, QJsonObject& _qjsonRecord,
                             STRUCT_ChanInfo& _structChanInfo);
    // Binds the stored input named in the block to the channel, or clears the block's audio.
    void ClaimStoredAudio(int _iChNo, STRUCT_ChanInfo& _structChanInfo);
    STRUCT_Audio ClaimFreeAudio(int _iChNo);
    bool IsListed(const QString& _qstrName) const;
    bool CanHoldInput(int _iChNo, const STRUCT_AudioChoice& _structChoice) const;
    void HoldInput(int _iChNo, const STRUCT_AudioChoice& _structChoice);
    STRUCT_ChannelAnswer Answer(EnumChannelOutcome _eOutcome, const QJsonArray& _qJsonArrChInfo);

    CLS_Settings m_settings;
    CLS_DeviceRegistry& m_registry;
    CLS_CameraSource* m_pCameraSource = nullptr;
    CLS_AudioSource* m_pAudioSource = &CLS_DeviceProbe::SystemAudioSource();
    QVector<STRUCT_Screen> m_vecScreen;
    QVector<STRUCT_Usb> m_vecUsb;
    bool m_blProbing = false;
    // The inputs of the last listing: an unchanged listing leaves the registry as it is.
    QStringList m_qstrlstAudioListed;
    bool m_blAudioListed = false;
    QHash<int, int> m_hashChannelState;
};
