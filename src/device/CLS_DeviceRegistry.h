// The process-wide device registry: cameras, audio inputs and the channel holding each input, and,
// from whoever keeps the registry, the screens and how many numbers the desktops reserve. The
// application object is one; the channel table and the device watcher know only this class.
#pragma once

#include "DeviceRecords.h"

#include <QMutex>
#include <QString>
#include <QVector>

class CLS_DeviceRegistry
{
public:
    virtual ~CLS_DeviceRegistry() = default;

    // Appends one record per screen. Safe from any thread.
    virtual void GetScreenList(QVector<STRUCT_Screen>& _vecScreen) const = 0;
    virtual int GetDesktopNeedChNo() const = 0;

    // Audio inputs and their holders; every call is one step under the registry's lock, and only
    // copies leave it.
    void SetAudioDevs(const QVector<STRUCT_Audio>& _vecAudio);
    QVector<STRUCT_Audio> GetAudioDevs() const;
    // A free input (the named one, or any when the name is empty); _blBind makes the channel hold it.
    bool ClaimAudioDev(int _iChNo, const QString& _qstrName, bool _blBind, STRUCT_Audio& _structAudio);
    // The input the channel holds (of that name, when one is given).
    bool FindAudioDevByChannel(int _iChNo, const QString& _qstrName, STRUCT_Audio& _structAudio) const;
    // Frees one input the channel holds; false when it held none.
    bool ReleaseAudioDevByChannel(int _iChNo);

    // The last probed USB cameras, under the same lock.
    void SetUsbDevs(const QVector<STRUCT_Usb>& _vecUsb);
    QVector<STRUCT_Usb> GetUsbDevs() const;

private:
    mutable QMutex m_mutexDevices;
    QVector<STRUCT_Audio> m_vecAudio;
    QVector<STRUCT_Usb> m_vecUsb;
};
