#include "CLS_DeviceRegistry.h"

#include <QMutexLocker>

void CLS_DeviceRegistry::SetAudioDevs(const QVector<STRUCT_Audio>& _vecAudio)
{
    QMutexLocker locker(&m_mutexDevices);
    m_vecAudio = _vecAudio;
}

QVector<STRUCT_Audio> CLS_DeviceRegistry::GetAudioDevs() const
{
    QMutexLocker locker(&m_mutexDevices);
    return m_vecAudio;
}

bool CLS_DeviceRegistry::ClaimAudioDev(int _iChNo, const QString& _qstrName, bool _blBind,
                                       STRUCT_Audio& _structAudio)
{
    QMutexLocker locker(&m_mutexDevices);
    for (STRUCT_Audio& structAudio : m_vecAudio) {
        if (structAudio.iHolderChNo != -1 || (!_qstrName.isEmpty() && structAudio.qstrName != _qstrName)) {
            continue;
        }
        if (_blBind) {
            structAudio.iHolderChNo = _iChNo;
            _structAudio = structAudio;
        }
        return true;
    }
    return false;
}

bool CLS_DeviceRegistry::FindAudioDevByChannel(int _iChNo, const QString& _qstrName,
                                               STRUCT_Audio& _structAudio) const
{
    QMutexLocker locker(&m_mutexDevices);
    for (const STRUCT_Audio& structAudio : m_vecAudio) {
        if (structAudio.iHolderChNo == _iChNo && (_qstrName.isEmpty() || structAudio.qstrName == _qstrName)) {
            _structAudio = structAudio;
            return true;
        }
    }
    return false;
}

bool CLS_DeviceRegistry::ReleaseAudioDevByChannel(int _iChNo)
{
    QMutexLocker locker(&m_mutexDevices);
    for (STRUCT_Audio& structAudio : m_vecAudio) {
        if (structAudio.iHolderChNo == _iChNo) {
            structAudio.iHolderChNo = -1;
            return true;
        }
    }
    return false;
}

void CLS_DeviceRegistry::SetUsbDevs(const QVector<STRUCT_Usb>& _vecUsb)
{
    QMutexLocker locker(&m_mutexDevices);
    m_vecUsb = _vecUsb;
}

QVector<STRUCT_Usb> CLS_DeviceRegistry::GetUsbDevs() const
{
    QMutexLocker locker(&m_mutexDevices);
    return m_vecUsb;
}
