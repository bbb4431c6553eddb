// What the channel page learns from the system about cameras and audio inputs, kept apart from
// the page so that the rules are pure and a test can stand in for devices this machine lacks.
#pragma once

#include "DeviceRecords.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

// One audio input as the system reports it.
struct STRUCT_AudioInput
{
    QString qstrName;
    QList<int> lstSampleRate;
    QList<int> lstChannelCount;
};

// Where the channel page finds cameras; Qt Multimedia unless replaced.
class CLS_CameraSource
{
public:
    virtual ~CLS_CameraSource() = default;
    // The cameras present, in system order, with description and device identity only.
    virtual QVector<STRUCT_Usb> ListCameras() = 0;
    // Opens camera _iIndex of the last list and reports its collect types, resolutions and the
    // resolutions it gives as raw video.
    virtual void ProbeCamera(int _iIndex, QList<int>& _lstCollectType, QList<QSize>& _lstResolution,
                             QList<QSize>& _lstRawResolution) = 0;
};

// Where the channel page finds audio inputs; the system's unless replaced.
class CLS_AudioSource
{
public:
    virtual ~CLS_AudioSource() = default;
    // Names of the inputs present, in system order; cheap enough for every watcher cycle.
    virtual QStringList ListInputs() = 0;
    // Opens the named input for its sample rates and channel counts: costly, so new inputs only.
    virtual STRUCT_AudioInput ProbeInput(const QString& _qstrName) = 0;
};

class CLS_DeviceProbe
{
public:
    CLS_DeviceProbe() = delete;

    // A camera's lasting identity: the link in _qstrByIdDir that points to its device node, so
    // that it keeps its channel across ports and restarts; the device name when no link does.
    static QString CameraIdentity(const QString& _qstrDeviceName,
                                  const QString& _qstrByIdDir = QStringLiteral("/dev/v4l/by-id"));

    // The audio table for the inputs listed: one record per name (nameless inputs left out), known
    // records kept whole (their holder included), new ones probed through the source and free.
    static QVector<STRUCT_Audio> BuildAudioTable(const QStringList& _qstrlstListed,
                                                 const QVector<STRUCT_Audio>& _vecKnown,
                                                 CLS_AudioSource& _audioSource);

    // The keys by which the watcher knows devices.
    static QStringList DevIDs(const QVector<STRUCT_Usb>& _vecUsb);
    static QStringList AudioNames(const QVector<STRUCT_Audio>& _vecAudio);

    // The system's audio inputs, listed and probed through ALSA directly.
    static CLS_AudioSource& SystemAudioSource();
};
