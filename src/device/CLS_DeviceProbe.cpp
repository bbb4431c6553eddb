#include "CLS_DeviceProbe.h"

#include "common/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#ifdef Q_OS_LINUX
#include <alsa/asoundlib.h>
#else
#include <QAudioDeviceInfo>
#endif

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

QVector<STRUCT_Audio> CLS_DeviceProbe::BuildAudioTable(const QStringList& _qstrlstListed,
                                                       const QVector<STRUCT_Audio>& _vecKnown,
                                                       CLS_AudioSource& _audioSource)
{
    QVector<STRUCT_Audio> vecAudio;
    QSet<QString> setSeen;
    for (int i = 0; i < _qstrlstListed.size(); ++i) {
        const QString& qstrName = _qstrlstListed.at(i);
        // A channel stores its input by name: a nameless one could never be found again.
        if (qstrName.isEmpty()) {
            LOG_EX(LOG_TRACE, "i=[%d] audio without a name skipped", i);
            continue;
        }
        if (setSeen.contains(qstrName)) {
            LOG_EX(LOG_TRACE, "same audio dev = [%s]", qUtf8Printable(qstrName));
            continue;
        }
        setSeen.insert(qstrName);
        const auto itKnown =
            std::find_if(_vecKnown.cbegin(), _vecKnown.cend(), [&qstrName](const STRUCT_Audio& _structKnown) {
                return _structKnown.qstrName == qstrName;
            });
        if (itKnown != _vecKnown.cend()) {
            vecAudio.append(*itKnown);
            continue;
        }
        const STRUCT_AudioInput structInput = _audioSource.ProbeInput(qstrName);
        STRUCT_Audio structAudio;
        structAudio.qstrName = qstrName;
        LOG_EX(LOG_TRACE, "i=[%d] audio=[%s]", i, qUtf8Printable(qstrName));
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

namespace {

#ifdef Q_OS_LINUX
// ALSA lists plugins beside the inputs: rate converters, mixers and bridges to other sound
// systems. None captures by itself, and opening some (jack) talks to servers that are not there.
bool IsPluginOnly(const char* _pcName)
{
    static const QSet<QByteArray> s_setPluginType = {"rate",  "jack",     "oss", "speex",
                                                     "upmix", "vdownmix", "a52"};
    snd_config_t* pDefinition = nullptr;
    if (snd_config_update() < 0 ||
        snd_config_search_definition(snd_config, "pcm", _pcName, &pDefinition) < 0) {
        return false;
    }
    snd_config_t* pType = nullptr;
    const char* pcType = nullptr;
    const bool blPlugin = snd_config_search(pDefinition, "type", &pType) >= 0 &&
                          snd_config_get_string(pType, &pcType) >= 0 && s_setPluginType.contains(pcType);
    snd_config_delete(pDefinition);
    return blPlugin;
}

// An input in use elsewhere still is one.
bool CanCapture(const QByteArray& _baName)
{
    snd_pcm_t* pPcm = nullptr;
    const int iResult = snd_pcm_open(&pPcm, _baName.constData(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (iResult == 0) {
        snd_pcm_close(pPcm);
    }
    return iResult == 0 || iResult == -EBUSY;
}
#endif

// Qt Multimedia lists audio inputs by asking every backend about every device, and probes each
// through its own listing again: a hundred times what one query of the system's list costs.
// Names that cannot capture are left out; they are tried again once a minute, as a sound server
// may come up later.
class CLS_SystemAudioSource : public CLS_AudioSource
{
public:
    QStringList ListInputs() override;
    STRUCT_AudioInput ProbeInput(const QString& _qstrName) override;

private:
    QSet<QString> m_setCapturing;
    QHash<QString, QDeadlineTimer> m_hashRefused;
};

QStringList CLS_SystemAudioSource::ListInputs()
{
    QStringList qstrlstName;
#ifdef Q_OS_LINUX
    // The names and order of Qt's ALSA backend, so that channels keep their stored inputs.
    void** ppHints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &ppHints) < 0) {
        return qstrlstName;
    }
    for (void** ppHint = ppHints; *ppHint != nullptr; ++ppHint) {
        char* pcName = snd_device_name_get_hint(*ppHint, "NAME");
        char* pcDescr = snd_device_name_get_hint(*ppHint, "DESC");
        char* pcIo = snd_device_name_get_hint(*ppHint, "IOID");
        if (pcName != nullptr && qstrcmp(pcName, "null") != 0 && pcDescr != nullptr &&
            (pcIo == nullptr || qstrcmp(pcIo, "Input") == 0) && !IsPluginOnly(pcName)) {
            qstrlstName.append(QString::fromLocal8Bit(pcName));
        }
        std::free(pcName);
        std::free(pcDescr);
        std::free(pcIo);
    }
    snd_device_name_free_hint(ppHints);
    if (!qstrlstName.isEmpty() && !qstrlstName.contains(QStringLiteral("default"))) {
        qstrlstName.prepend(QStringLiteral("default"));
    }
    const auto itEnd =
        std::remove_if(qstrlstName.begin(), qstrlstName.end(), [this](const QString& _qstrName) {
            if (m_setCapturing.contains(_qstrName)) {
                return false;
            }
            const auto itRefused = m_hashRefused.constFind(_qstrName);
            if (itRefused != m_hashRefused.cend() && !itRefused->hasExpired()) {
                return true;
            }
            if (CanCapture(_qstrName.toLocal8Bit())) {
                m_hashRefused.remove(_qstrName);
                m_setCapturing.insert(_qstrName);
                return false;
            }
            if (itRefused == m_hashRefused.cend()) {
                LOG_EX(LOG_TRACE, "audio input %s cannot capture: not offered", qUtf8Printable(_qstrName));
            }
            m_hashRefused.insert(_qstrName, QDeadlineTimer(60000));
            return true;
        });
    qstrlstName.erase(itEnd, qstrlstName.end());
#else
    const QList<QAudioDeviceInfo> lstDevices = QAudioDeviceInfo::availableDevices(QAudio::AudioInput);
    for (const QAudioDeviceInfo& qaudioInfo : lstDevices) {
        qstrlstName.append(qaudioInfo.deviceName());
    }
#endif
    return qstrlstName;
}

// The rates and channel counts the input accepts, of those Qt's ALSA backend asks about.
STRUCT_AudioInput CLS_SystemAudioSource::ProbeInput(const QString& _qstrName)
{
    STRUCT_AudioInput structInput{_qstrName, {}, {}};
#ifdef Q_OS_LINUX
    snd_pcm_t* pPcm = nullptr;
    if (snd_pcm_open(&pPcm, _qstrName.toLocal8Bit().constData(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) <
        0) {
        LOG_EX(LOG_TRACE, "audio input %s cannot be opened", qUtf8Printable(_qstrName));
        return structInput;
    }
    snd_pcm_hw_params_t* pParams = nullptr;
    if (snd_pcm_hw_params_malloc(&pParams) == 0 && snd_pcm_hw_params_any(pPcm, pParams) >= 0) {
        for (int iRate : {8000, 11025, 22050, 44100, 48000}) {
            if (snd_pcm_hw_params_test_rate(pPcm, pParams, static_cast<unsigned int>(iRate), 0) == 0) {
                structInput.lstSampleRate.append(iRate);
            }
        }
        for (int iChannels : {1, 2}) {
            if (snd_pcm_hw_params_test_channels(pPcm, pParams, static_cast<unsigned int>(iChannels)) == 0) {
                structInput.lstChannelCount.append(iChannels);
            }
        }
    }
    snd_pcm_hw_params_free(pParams);
    snd_pcm_close(pPcm);
#else
    const QList<QAudioDeviceInfo> lstDevices = QAudioDeviceInfo::availableDevices(QAudio::AudioInput);
    for (const QAudioDeviceInfo& qaudioInfo : lstDevices) {
        if (qaudioInfo.deviceName() == _qstrName) {
            structInput = {_qstrName, qaudioInfo.supportedSampleRates(), qaudioInfo.supportedChannelCounts()};
        }
    }
#endif
    return structInput;
}

} // namespace

CLS_AudioSource& CLS_DeviceProbe::SystemAudioSource()
{
    static CLS_SystemAudioSource s_audioSource;
    return s_audioSource;
}
