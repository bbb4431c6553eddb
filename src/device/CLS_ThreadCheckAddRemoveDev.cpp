#include "CLS_ThreadCheckAddRemoveDev.h"

#include <QMutexLocker>

#include <chrono>

namespace {

const std::chrono::milliseconds g_cycleWait(10000);

// Walks the current list: known keys are struck off the map, unknown records are added; what
// stays in the map is gone. The map then holds the current keys.
template <typename Record, typename KeyOf>
void CompareDevices(const QVector<Record>& _vecCurrent, QMap<QString, bool>& _mapKnown, KeyOf _keyOf,
                    QVector<Record>& _vecAdded, QStringList& _qstrlstRemoved)
{
    QStringList qstrlstCurrent;
    for (const Record& record : _vecCurrent) {
        const QString qstrKey = _keyOf(record);
        if (_mapKnown.contains(qstrKey)) {
            _mapKnown.remove(qstrKey);
        } else {
            _vecAdded.append(record);
        }
        qstrlstCurrent.append(qstrKey);
    }
    _qstrlstRemoved = _mapKnown.keys();
    _mapKnown.clear();
    for (const QString& qstrKey : qAsConst(qstrlstCurrent)) {
        _mapKnown.insert(qstrKey, true);
    }
}

} // namespace

CLS_ThreadCheckAddRemoveDev::CLS_ThreadCheckAddRemoveDev(CLS_DeviceRegistry& _registry, QObject* parent)
    : QThread(parent), m_registry(_registry)
{
    RegisterDeviceMetaTypes();
}

CLS_ThreadCheckAddRemoveDev::~CLS_ThreadCheckAddRemoveDev()
{
    Stop();
    wait();
}

void CLS_ThreadCheckAddRemoveDev::InitUsbDevIDs(const QStringList& _qstrlstDevID)
{
    QMutexLocker locker(&m_mutexKnown);
    for (const QString& qstrDevID : _qstrlstDevID) {
        m_mapUsbDev.insert(qstrDevID, true);
    }
}

void CLS_ThreadCheckAddRemoveDev::InitAudioDevNames(const QStringList& _qstrlstName)
{
    QMutexLocker locker(&m_mutexKnown);
    for (const QString& qstrName : _qstrlstName) {
        m_mapAudioDev.insert(qstrName, true);
    }
}

void CLS_ThreadCheckAddRemoveDev::InitScreenInfo(const QVector<STRUCT_Screen>& _vecScreen)
{
    QMutexLocker locker(&m_mutexKnown);
    m_vecScreen = _vecScreen;
}

void CLS_ThreadCheckAddRemoveDev::Stop()
{
    std::lock_guard<std::mutex> lock(m_mutexWait);
    m_blStop.store(true);
    m_condWait.notify_all();
}

void CLS_ThreadCheckAddRemoveDev::run()
{
    while (!m_blStop.load()) {
        RunCycle();
        WaitForNextCycle();
    }
}

void CLS_ThreadCheckAddRemoveDev::WaitForNextCycle()
{
    std::unique_lock<std::mutex> lock(m_mutexWait);
    m_condWait.wait_for(lock, g_cycleWait, [this] { return m_blStop.load(); });
}

void CLS_ThreadCheckAddRemoveDev::RunCycle()
{
    // The answer to this request arrives later; the copy below is what the last refresh left.
    emit SigGetUsbInfo(QVariant::fromValue(m_vecUsb));
    m_vecUsb = m_registry.GetUsbDevs();
    QVector<STRUCT_Usb> vecUsbAdded;
    QStringList qstrlstUsbDel;

    QVector<STRUCT_Screen> vecScreen;
    m_registry.GetScreenList(vecScreen);
    bool blScreenChanged = false;
    {
        QMutexLocker locker(&m_mutexKnown);
        CompareDevices(
            m_vecUsb, m_mapUsbDev, [](const STRUCT_Usb& _structUsb) { return _structUsb.qstrDevID; },
            vecUsbAdded, qstrlstUsbDel);
        // A monitor that moves or changes size with the count unchanged needs its channel too.
        blScreenChanged = vecScreen != m_vecScreen;
        m_vecScreen = vecScreen;
    }
    if (!vecUsbAdded.isEmpty() || !qstrlstUsbDel.isEmpty()) {
        emit SigDeviceChanged(QVariant::fromValue(vecUsbAdded), qstrlstUsbDel);
    }
    if (blScreenChanged) {
        emit SigScreenChanged(QVariant::fromValue(vecScreen));
    }

    emit SigGetAudioInfo(QVariant());
    m_vecAudio = m_registry.GetAudioDevs();
    QVector<STRUCT_Audio> vecAudioAdded;
    QStringList qstrlstAudioDel;
    {
        QMutexLocker locker(&m_mutexKnown);
        CompareDevices(
            m_vecAudio, m_mapAudioDev, [](const STRUCT_Audio& _structAudio) { return _structAudio.qstrName; },
            vecAudioAdded, qstrlstAudioDel);
    }
    if (!vecAudioAdded.isEmpty() || !qstrlstAudioDel.isEmpty()) {
        emit SigAudioDeviceChanged(QVariant::fromValue(vecAudioAdded), qstrlstAudioDel);
    }
}
