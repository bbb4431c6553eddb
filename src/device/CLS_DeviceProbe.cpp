#include "CLS_DeviceProbe.h"

#include "common/Log.h"

#include <QAudioDeviceInfo>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

QList<int> CLS_DeviceProbe::CollectTypesFromPixelFormats(const QList<QVideoFrame::PixelFormat>& _lstFormat)
{
    bool blMjpeg = false;
    bool blYuv = false;
    for (QVideoFrame::PixelFormat ePixelFormat : _lstFormat) {
        if (ePixelFormat == QVideoFrame::Format_Jpeg ||
            (ePixelFormat >= QVideoFrame::Format_ARGB32 &&
             ePixelFormat <= QVideoFrame::Format_BGRA5658_Premultiplied)) {
            blMjpeg = true;
        } else if (ePixelFormat >= QVideoFrame::Format_AYUV444 && ePixelFormat <= QVideoFrame::Format_Y16) {
            blYuv = true;
        }
    }
    QList<int> lstCollectType;
    if (blMjpeg) {
        lstCollectType.append(0);
    }
    if (blYuv) {
        lstCollectType << 1 << 2;
    }
    return lstCollectType;
}

QString CLS_DeviceProbe::CameraIdentity(const QString& _qstrDeviceName, const QString& _qstrByIdDir)
{
    const QString qstrDevice = QFileInfo(_qstrDeviceName).canonicalFilePath();
    if (qstrDevice.isEmpty()) {
        return _qstrDeviceName;
    }
    const QFileInfoList lstLinks =
        QDir(_qstrByIdDir).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& qfileInfo : lstLinks) {
        if (qfileInfo.isSymLink() && qfileInfo.canonicalFilePath() == qstrDevice) {
            return qfileInfo.absoluteFilePath();
        }
    }
    return _qstrDeviceName;
}

QVector<STRUCT_Audio> CLS_DeviceProbe::BuildAudioTable(const QVector<STRUCT_AudioInput>& _vecInput,
                                                       const QVector<STRUCT_Audio>& _vecKnown)
{
    QVector<STRUCT_Audio> vecAudio;
    QSet<QString> setSeen;
    for (int i = 0; i < _vecInput.size(); ++i) {
        const STRUCT_AudioInput& structInput = _vecInput.at(i);
        // A channel stores its input by name: a nameless one could never be found again.
        if (structInput.qstrName.isEmpty()) {
            LOG_EX(LOG_TRACE, "i=[%d] audio without a name skipped", i);
            continue;
        }
        if (setSeen.contains(structInput.qstrName)) {
            LOG_EX(LOG_TRACE, "same audio dev = [%s]", qUtf8Printable(structInput.qstrName));
            continue;
        }
        setSeen.insert(structInput.qstrName);
        const auto itKnown = std::find_if(_vecKnown.cbegin(), _vecKnown.cend(),
                                          [&structInput](const STRUCT_Audio& _structKnown) {
                                              return _structKnown.qstrName == structInput.qstrName;
                                          });
        if (itKnown != _vecKnown.cend()) {
            vecAudio.append(*itKnown);
            continue;
        }
        STRUCT_Audio structAudio;
        structAudio.qstrName = structInput.qstrName;
        LOG_EX(LOG_TRACE, "i=[%d] audio=[%s]", i, qUtf8Printable(structInput.qstrName));
        for (int iRate : structInput.lstSampleRate) {
            LOG_EX(LOG_TRACE, "sample rate=[%d]", iRate);
        }
        structAudio.lstSampleRate = structInput.lstSampleRate;
        for (int iCount : structInput.lstChannelCount) {
            LOG_EX(LOG_TRACE, "channel counts =[%d]", iCount);
        }
        structAudio.iChannels = structInput.lstChannelCount.contains(2) ? 2 : 1;
        vecAudio.append(structAudio);
    }
    return vecAudio;
}

QVector<STRUCT_Usb> CLS_DeviceProbe::DescribeCameras(const QList<QCameraInfo>& _lstCameraInfo)
{
    QVector<STRUCT_Usb> vecUsb;
    for (const QCameraInfo& qcameraInfo : _lstCameraInfo) {
        vecUsb.append({qcameraInfo.description(), CameraIdentity(qcameraInfo.deviceName()), {}, {}});
    }
    return vecUsb;
}

QStringList CLS_DeviceProbe::DevIDs(const QVector<STRUCT_Usb>& _vecUsb)
{
    QStringList qstrlstDevID;
    for (const STRUCT_Usb& structUsb : _vecUsb) {
        qstrlstDevID.append(structUsb.qstrDevID);
    }
    return qstrlstDevID;
}

QStringList CLS_DeviceProbe::AudioNames(const QVector<STRUCT_Audio>& _vecAudio)
{
    QStringList qstrlstName;
    for (const STRUCT_Audio& structAudio : _vecAudio) {
        qstrlstName.append(structAudio.qstrName);
    }
    return qstrlstName;
}

QVector<STRUCT_AudioInput> CLS_DeviceProbe::ListQtAudioInputs()
{
    QVector<STRUCT_AudioInput> vecInput;
    const QList<QAudioDeviceInfo> lstDevices = QAudioDeviceInfo::availableDevices(QAudio::AudioInput);
    for (const QAudioDeviceInfo& qaudioInfo : lstDevices) {
        vecInput.append({qaudioInfo.deviceName(), qaudioInfo.supportedSampleRates(),
                         qaudioInfo.supportedChannelCounts()});
    }
    return vecInput;
}
