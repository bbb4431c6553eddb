// Shared by the channel tests: prepared cameras, audio inputs and screens (this machine lacks
// them), the streaming library stand-in's state and journal, and a settings file that cannot be
// written.
#pragma once

#include "CameraBusinessView.h"
#include "channels/CLS_ChannelTable.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <functional>

// Cameras listed without their capabilities, which only a probe gives.
class FakeCameras : public CLS_CameraSource
{
public:
    QVector<STRUCT_Usb> ListCameras() override
    {
        if (m_onList) {
            m_onList();
        }
        QVector<STRUCT_Usb> vecUsb;
        for (const STRUCT_Usb& structUsb : qAsConst(m_vecCamera)) {
            vecUsb.append({structUsb.qstrName, structUsb.qstrDevID, {}, {}});
        }
        return vecUsb;
    }
    void ProbeCamera(int _iIndex, QList<int>& _lstType, QList<QSize>& _lstSize,
                     QList<QSize>& _lstRaw) override
    {
        const STRUCT_Usb& structUsb = m_vecCamera.at(_iIndex);
        _lstType = structUsb.lstCollectType;
        _lstSize = structUsb.lstResolution;
        _lstRaw = structUsb.lstRawResolution;
    }

    QVector<STRUCT_Usb> m_vecCamera;
    std::function<void()> m_onList;
};

// Audio inputs listed from a prepared vector.
class FakeAudio : public CLS_AudioSource
{
public:
    QStringList ListInputs() override
    {
        QStringList qstrlstName;
        for (const STRUCT_AudioInput& structInput : qAsConst(m_vecInput)) {
            qstrlstName.append(structInput.qstrName);
        }
        return qstrlstName;
    }
    STRUCT_AudioInput ProbeInput(const QString& _qstrName) override
    {
        const auto it =
            std::find_if(m_vecInput.cbegin(), m_vecInput.cend(), [&](const STRUCT_AudioInput& _structInput) {
                return _structInput.qstrName == _qstrName;
            });
        return it == m_vecInput.cend() ? STRUCT_AudioInput() : *it;
    }
    QVector<STRUCT_AudioInput> m_vecInput;
};

inline STRUCT_Usb Camera(const QString& _qstrDevID, const QList<QSize>& _lstSize = {{640, 480}, {1280, 720}})
{
    return {"Cam " + _qstrDevID,
            _qstrDevID,
            _lstSize,
            {CAMERA_BUSINESS_COLLECT_MJPEG, CAMERA_BUSINESS_COLLECT_YUV}};
}

// Screens and the desktop count, which this machine cannot vary; the rest is the real registry.
class TestRegistry : public CLS_DeviceRegistry
{
public:
    void GetScreenList(QVector<STRUCT_Screen>& _vecScreen) const override { _vecScreen += m_vecScreen; }
    int GetDesktopNeedChNo() const override { return m_iDesktops; }
    QVector<STRUCT_Screen> m_vecScreen;
    int m_iDesktops = 4;
};

inline QVector<STRUCT_Screen> ScreenList(int _iCount, int _iWidth = 1920)
{
    QVector<STRUCT_Screen> vecScreen;
    for (int i = 0; i < _iCount; ++i) {
        vecScreen.append({i, QRect(i * _iWidth, 0, _iWidth, 1080), QString("HDMI-%1").arg(i + 1)});
    }
    return vecScreen;
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
        const QJsonObject qjsonEntry = QJsonDocument::fromJson(qbaEntry.chopped(1)).object();
        if (!qjsonEntry.contains("result")) {
            continue; // a block line of the call that follows
        }
        const QJsonValue qjsonChNo = qjsonEntry.value("args").toObject().value("chNo");
        qstrlstCall.append(
            qjsonEntry.value("call").toString().remove(QRegularExpression("^camera_(business_)?")) +
            (qjsonChNo.isUndefined() ? QString() : QString("(%1)").arg(qjsonChNo.toInt())));
    }
    return qstrlstCall;
}

inline QJsonObject RecordOf(const QJsonArray& _qJsonArr, int _iChNo)
{
    const auto it = std::find_if(_qJsonArr.begin(), _qJsonArr.end(), [_iChNo](const QJsonValue& _qjsonValue) {
        return _qjsonValue.toObject().value("chNo").toInt(-1) == _iChNo;
    });
    return it == _qJsonArr.end() ? QJsonObject() : it->toObject();
}

inline QList<int> ChannelNumbers(const QJsonArray& _qJsonArr)
{
    QList<int> lstChNo;
    for (const QJsonValue& qjsonValue : _qJsonArr) {
        lstChNo.append(qjsonValue.toObject().value("chNo").toInt(-1));
    }
    return lstChNo;
}

// The registry's held inputs, by holder.
inline QMap<int, QStringList> AudioHolders(const CLS_DeviceRegistry& _registry)
{
    QMap<int, QStringList> mapHeld;
    for (const STRUCT_Audio& structAudio : _registry.GetAudioDevs()) {
        if (structAudio.iHolderChNo != -1) {
            mapHeld[structAudio.iHolderChNo].append(structAudio.qstrName);
        }
    }
    return mapHeld;
}

// While it lives, files of the process cannot grow past 64 bytes: the settings file can be read,
// not written (also as root).
class WritesRefused
{
public:
    WritesRefused() : m_pOldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_limitOld);
        const rlimit limitSmall{64, m_limitOld.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limitSmall);
    }
    ~WritesRefused()
    {
        setrlimit(RLIMIT_FSIZE, &m_limitOld);
        std::signal(SIGXFSZ, m_pOldHandler);
    }
    Q_DISABLE_COPY(WritesRefused)

private:
    void (*m_pOldHandler)(int);
    rlimit m_limitOld{};
};
