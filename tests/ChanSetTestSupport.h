// Shared by the channel page tests: prepared cameras, audio inputs and screens, the settings
// file of the test's application folder, and the streaming library stand-in's state and journal.
#pragma once

#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "CameraBusinessView.h"
#include "ModalSupport.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"
#include "device/CLS_ThreadCheckAddRemoveDev.h"
#include "widgets/CLS_MessageBox.h"

#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>

#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <memory>

// Cameras this machine lacks: listed and probed from prepared records.
class FakeCameras : public CLS_CameraSource
{
public:
    struct STRUCT_Camera
    {
        STRUCT_Usb structUsb;
        QList<QVideoFrame::PixelFormat> lstFormat;
    };

    QVector<STRUCT_Usb> ListCameras() override
    {
        if (m_onList) {
            m_onList();
        }
        QVector<STRUCT_Usb> vecUsb;
        for (const STRUCT_Camera& structCamera : qAsConst(m_vecCamera)) {
            vecUsb.append({structCamera.structUsb.qstrName, structCamera.structUsb.qstrDevID, {}, {}});
        }
        return vecUsb;
    }
    void ProbeCamera(int _iIndex, QList<QVideoFrame::PixelFormat>& _lstFormat, QList<QSize>& _lstResolution,
                     QList<QSize>& _lstRawResolution) override
    {
        ++m_iProbes;
        _lstFormat = m_vecCamera.at(_iIndex).lstFormat;
        _lstResolution = m_vecCamera.at(_iIndex).structUsb.lstResolution;
        _lstRawResolution = m_vecCamera.at(_iIndex).structUsb.lstRawResolution;
    }

    QVector<STRUCT_Camera> m_vecCamera;
    int m_iProbes = 0;
    std::function<void()> m_onList;
};

// Audio inputs this machine lacks, listed from a prepared vector; probes are counted.
class FakeAudio : public CLS_AudioSource
{
public:
    explicit FakeAudio(const QVector<STRUCT_AudioInput>& _vecInput) : m_vecInput(_vecInput) {}
    QStringList ListInputs() override
    {
        QStringList qstrlstName;
        for (const STRUCT_AudioInput& structInput : m_vecInput) {
            qstrlstName.append(structInput.qstrName);
        }
        return qstrlstName;
    }
    STRUCT_AudioInput ProbeInput(const QString& _qstrName) override
    {
        m_qstrlstProbed.append(_qstrName);
        auto it =
            std::find_if(m_vecInput.begin(), m_vecInput.end(), [&](const STRUCT_AudioInput& _structInput) {
                return _structInput.qstrName == _qstrName;
            });
        return it == m_vecInput.end() ? STRUCT_AudioInput() : *it;
    }

    const QVector<STRUCT_AudioInput>& m_vecInput;
    QStringList m_qstrlstProbed;
};

inline FakeCameras::STRUCT_Camera Camera(const QString& _qstrDevID)
{
    return {{"Cam " + _qstrDevID, _qstrDevID, {QSize(640, 480), QSize(1280, 720)}, {}},
            {QVideoFrame::Format_YUYV, QVideoFrame::Format_Jpeg}};
}

inline QVector<STRUCT_ScreenFacts> Screens(int _iCount, const QString& _qstrPrefix = "HDMI-")
{
    QVector<STRUCT_ScreenFacts> vecFacts;
    for (int i = 0; i < _iCount; ++i) {
        vecFacts.append({QRect(i * 1920, 0, 1920, 1080), 1.0, _qstrPrefix + QString::number(i + 1), i == 0});
    }
    return vecFacts;
}

inline CB_State LibraryState()
{
    CB_State stState{};
    camera_business_inspect_state(&stState);
    return stState;
}

// The library calls from journal entry _iFrom on, short names, with the channel where one is
// given: "startup", "add_chan_info(4)", "delete_collector_fd(0)".
inline QStringList LibraryCalls(int _iFrom = 0)
{
    QStringList qstrlstCall;
    for (int i = _iFrom; i < camera_business_inspect_journal_size(); ++i) {
        QByteArray qbaEntry(camera_business_inspect_journal_entry(i, nullptr, 0) + 1, '\0');
        camera_business_inspect_journal_entry(i, qbaEntry.data(), qbaEntry.size());
        const QJsonObject qjsonEntry = QJsonDocument::fromJson(qbaEntry.left(qbaEntry.size() - 1)).object();
        if (!qjsonEntry.contains("result")) {
            continue; // a block line of the call that follows
        }
        QString qstrCall = qjsonEntry.value("call").toString();
        qstrCall.remove(QRegExp("^camera_(business_)?"));
        const QJsonObject qjsonArgs = qjsonEntry.value("args").toObject();
        if (qjsonArgs.contains("chNo")) {
            qstrCall += QString("(%1)").arg(qjsonArgs.value("chNo").toInt());
        }
        qstrlstCall.append(qstrCall);
    }
    return qstrlstCall;
}

inline QStringList ItemTexts(const QComboBox* _pBox)
{
    QStringList qstrlstText;
    for (int i = 0; i < _pBox->count(); ++i) {
        qstrlstText.append(_pBox->itemText(i));
    }
    return qstrlstText;
}

// The user picks the entry with that text.
inline void Pick(QComboBox* _pBox, const QString& _qstrText)
{
    QVERIFY(_pBox->findText(_qstrText) >= 0);
    _pBox->setCurrentIndex(_pBox->findText(_qstrText));
}

// The audio registry's held inputs, by holder.
inline QMap<int, QStringList> AudioHolders()
{
    QMap<int, QStringList> mapHeld;
    for (const STRUCT_Audio& structAudio : OrbApplication::Instance()->GetAudioDevs()) {
        if (structAudio.iHolderChNo != -1) {
            mapHeld[structAudio.iHolderChNo].append(structAudio.qstrName);
        }
    }
    return mapHeld;
}

// Fixture: a page with prepared devices; the settings file starts as the test writes it.
class ChanSetFixture : public QObject
{
protected:
    OrbApplication* App() const { return OrbApplication::Instance(); }

    void ResetWorld()
    {
        camera_business_inspect_reset();
        QFile::remove(App()->GetConfigPath());
        QDir().mkpath(QFileInfo(App()->GetConfigPath()).path());
        m_cameras = FakeCameras();
        m_vecAudioInput.clear();
        m_audio.m_qstrlstProbed.clear();
        App()->SetUsbDevs({});
        App()->SetAudioDevs({});
        App()->SetScreenSource([] { return Screens(1); });
        m_pPage.reset();
    }

    void WriteConfig(const QJsonObject& _qjsonConfig)
    {
        QVERIFY(WriteJsonFile(_qjsonConfig, App()->GetConfigPath()));
        QVERIFY(App()->ParseStartParam()); // takes the desktop count from the file
    }

    QJsonArray StoredChannels() const { return App()->ReadConfig().value("chInfo").toArray(); }

    CLS_WgtChanSet* NewPage()
    {
        m_pPage = std::make_unique<CLS_WgtChanSet>();
        m_pPage->SetCameraSource(&m_cameras);
        m_pPage->SetAudioSource(&m_audio);
        return m_pPage.get();
    }

    // Starts the page with its watcher stopped before the thread starts (the page lists cameras
    // while the watcher exists but does not run yet), so that only the test drives device changes.
    void StartPage()
    {
        NewPage();
        m_cameras.m_onList = [this] {
            if (CLS_ThreadCheckAddRemoveDev* pWatcher = m_pPage->GetDevWatcher()) {
                pWatcher->Stop();
            }
        };
        QVERIFY(m_pPage->InitChanSet());
        QVERIFY(m_pPage->GetDevWatcher()->wait(5000));
        m_cameras.m_onList = nullptr;
    }

    template <typename... Args>
    bool Invoke(const char* _pcSlot, Args... _args)
    {
        return QMetaObject::invokeMethod(m_pPage.get(), _pcSlot, Qt::DirectConnection, _args...);
    }

    // The user edits one value of the stored record at _iIndex and saves it through the page.
    bool EditStored(int _iIndex, const QString& _qstrKey, const QJsonValue& _qjsonValue)
    {
        QJsonArray qJsonArrChInfo = StoredChannels();
        QJsonObject qjsonEdited = qJsonArrChInfo.at(_iIndex).toObject();
        qjsonEdited.insert(_qstrKey, _qjsonValue);
        qJsonArrChInfo[_iIndex] = qjsonEdited;
        return Invoke("SlotVideoParamChanged", Q_ARG(QJsonArray&, qJsonArrChInfo), Q_ARG(int, _iIndex)) &&
               StoredChannels() == qJsonArrChInfo;
    }

    QStringList ChooserTexts() const { return ItemTexts(m_pPage->GetChannelChooser()); }

    FakeCameras m_cameras;
    QVector<STRUCT_AudioInput> m_vecAudioInput;
    FakeAudio m_audio{m_vecAudioInput};
    std::unique_ptr<CLS_WgtChanSet> m_pPage;
};

inline QJsonObject RecordOf(const QJsonArray& _qJsonArr, int _iChNo)
{
    for (const QJsonValue& qjsonValue : _qJsonArr) {
        if (qjsonValue.toObject().value("chNo").toInt(-1) == _iChNo) {
            return qjsonValue.toObject();
        }
    }
    return {};
}

inline QList<int> ChannelNumbers(const QJsonArray& _qJsonArr)
{
    QList<int> lstChNo;
    for (const QJsonValue& qjsonValue : _qJsonArr) {
        lstChNo.append(qjsonValue.toObject().value("chNo").toInt(-1));
    }
    return lstChNo;
}

// While it lives, files of the process cannot grow past 64 bytes: the settings file can be read,
// not written (also as root).
class WritesRefused
{
public:
    WritesRefused()
    {
        getrlimit(RLIMIT_FSIZE, &m_limitOld);
        m_pOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limitSmall{64, m_limitOld.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limitSmall);
    }
    ~WritesRefused()
    {
        setrlimit(RLIMIT_FSIZE, &m_limitOld);
        std::signal(SIGXFSZ, m_pOldHandler);
    }
    WritesRefused(const WritesRefused&) = delete;
    WritesRefused& operator=(const WritesRefused&) = delete;

private:
    rlimit m_limitOld{};
    void (*m_pOldHandler)(int) = nullptr;
};
