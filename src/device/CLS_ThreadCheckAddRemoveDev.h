// Polls every ten seconds for cameras, screens and audio inputs that came or went and reports
// them by queued signals; the channel page re-probes and rebuilds what changed.
#pragma once

#include "CLS_DeviceRegistry.h"

#include <QMap>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <condition_variable>
#include <mutex>

class CLS_ThreadCheckAddRemoveDev : public QThread
{
    Q_OBJECT
public:
    // Polls the registry's lists, which its owner keeps fresh on request.
    explicit CLS_ThreadCheckAddRemoveDev(CLS_DeviceRegistry& _registry, QObject* parent = nullptr);
    // Stops and waits, in case the owner did not.
    ~CLS_ThreadCheckAddRemoveDev() override;

    // Seeding with what the owner found, so that only later changes are reported.
    void InitUsbDevIDs(const QStringList& _qstrlstDevID);
    void InitAudioDevNames(const QStringList& _qstrlstName);
    void InitScreenInfo(const QVector<STRUCT_Screen>& _vecScreen);

    // Asks run() to return; it does so at once when waiting, else at the end of the cycle.
    void Stop();
    bool IsStopRequested() const { return m_blStop.load(); }

    // One poll: ask for fresh lists, compare with the known ones, report the differences. run()
    // calls it on the thread; call it directly only while the thread does not run.
    void RunCycle();

signals:
    void SigAudioDeviceChanged(QVariant _variantDataAdd, QStringList _qstrlstDeviceDel);
    void SigDeviceChanged(QVariant _variantData, QStringList _qstrlstDeviceDel);
    void SigScreenChanged(QVariant _variantData);
    void SigGetUsbInfo(QVariant _variantData);
    void SigGetAudioInfo(QVariant _variantData);

protected:
    void run() override;

private:
    void WaitForNextCycle();

    CLS_DeviceRegistry& m_registry;

    QMap<QString, bool> m_mapUsbDev;
    QVector<STRUCT_Screen> m_vecScreen;
    std::atomic<bool> m_blStop{false};
    QVector<STRUCT_Usb> m_vecUsb;
    QMap<QString, bool> m_mapAudioDev;
    QVector<STRUCT_Audio> m_vecAudio;
    // Guards the known maps and screen list: the owner may seed again while the thread runs.
    QMutex m_mutexKnown;
    std::mutex m_mutexWait;
    std::condition_variable m_condWait;
};
