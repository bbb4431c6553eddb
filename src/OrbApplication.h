// The application object: start sequence, start parameter, restart, and the process-wide registry
// that the other parts reach through the application instance.
#pragma once

#include "device/CLS_DeviceRegistry.h"
#include "settings/CLS_Settings.h"
#include "single_app/QSingleApplication.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMutex>
#include <QVector>

#include <functional>
#include <memory>

class CLS_WebSocketWidget;

// The last platform settings accepted by the platform link: one word, then five text fields
// (unused, skin, language, layout, token).
struct STRUCT_StartRequest
{
    quint64 ulWord = 0;
    char aszField[5][512] = {};
};

// What the system tells of one screen; the input of the screen list.
struct STRUCT_ScreenFacts
{
    QRect geometry;
    qreal dRatio = 1.0;
    QString qstrName;
    bool blPrimary = false;
    int iXScreen = 0; // X screen number, when the X server has several and no Xinerama
};

Q_DECLARE_METATYPE(STRUCT_ScreenFacts)

class OrbApplication : public QSingleApplication, public CLS_DeviceRegistry
{
    Q_OBJECT
public:
    using ScreenSource = std::function<QVector<STRUCT_ScreenFacts>()>;

    OrbApplication(int& argc, char** argv);
    ~OrbApplication() override;

    // The running application object, or null when the application is not an OrbApplication.
    static OrbApplication* Instance();

    // Reads the start parameter, ends an older copy on a restart, reads the settings and the skin.
    // False: start-up must not go on.
    bool ParseStartParam();
    // The same for a given argument list (program, marker word, start parameter).
    bool ParseStartParam(const QStringList& _qstrlstArgs);
    bool IsShowMainWindow() const;
    void SaveLoginInfo(const QJsonObject& _qjsonParam);
    // Starts a new copy of the program that will end this one.
    bool Restart();
    // Hands platform name and token to the platform link and opens it towards the local service.
    void StartPlatformLink();

    QString GetConfigPath() const;
    QJsonObject ReadConfig() const;
    CLS_Settings Settings() const;

    // Appends one record per screen, numbered by the screen index rule. Safe from any thread.
    void GetScreenList(QVector<STRUCT_Screen>& _vecScreen) const override;
    // Pure rule behind GetScreenList.
    static QVector<STRUCT_Screen> MakeScreenRecords(const QVector<STRUCT_ScreenFacts>& _vecFacts);
    // Replaces where screens are read from (Qt's screens by default) and reads them again.
    void SetScreenSource(ScreenSource _screenSource);
    // Reads the screens again; runs on the GUI thread whenever Qt reports a screen change.
    void RefreshScreens();

    // The link to the local platform service; owned by the application, never null while it runs.
    CLS_WebSocketWidget* GetPlatformLink() const { return m_pPlatformLink.get(); }
    QString GetAppDir() const { return m_qstrAppDir; }
    QString GetAppBaseName() const { return m_qstrAppBaseName; }
    QString GetSkin() const { return m_qstrSkin; }
    void SetSkin(const QString& _qstrSkin) { m_qstrSkin = _qstrSkin; }
    QString GetToken() const { return m_qstrToken; }
    void SetToken(const QString& _qstrToken) { m_qstrToken = _qstrToken; }
    QString GetLanguage() const { return m_qstrLanguage; }
    void SetLanguage(const QString& _qstrLanguage) { m_qstrLanguage = _qstrLanguage; }
    QString GetPlatform() const { return m_qstrPlatform; }
    QString GetCommunicationId() const { return m_qstrCommunicationId; }
    QString GetSendSocketID() const { return m_qstrSendSocketID; }
    void SetSendSocketID(const QString& _qstrId) { m_qstrSendSocketID = _qstrId; }
    QString GetStartParam() const { return m_qstrStartParam; }
    const STRUCT_StartRequest& GetStartRequest() const { return m_structStartRequest; }
    void SetStartRequest(const STRUCT_StartRequest& _structRequest) { m_structStartRequest = _structRequest; }
    bool IsShowTray() const { return m_blShowTray; }
    bool IsMiniSize() const { return m_blMiniSize; }
    bool IsHideTasker() const { return m_blHideTasker; }
    int GetDesktopNeedChNo() const override { return m_iDesktopNeedChNo; }

private:
    void ReadStartParamJson(bool& _blRestart, bool& _blTip);
    // Whether another copy ran; on a restart it has been ended and this copy took its place.
    bool EndOlderCopy(bool _blRestart);
    bool EndOtherCopies();
    void RemoveStaleTemporaries();
    void ApplyConfig();
    void ApplyStyleSheet();

    STRUCT_StartRequest m_structStartRequest;
    QString m_qstrToken = QStringLiteral("token");
    QString m_qstrSkin = QStringLiteral("skinOne");
    QString m_qstrAppBaseName;
    std::unique_ptr<CLS_WebSocketWidget> m_pPlatformLink;
    QString m_qstrLanguage;
    QString m_qstrAppDir;
    bool m_blShowTray = false;
    bool m_blMiniSize = false;
    bool m_blHideTasker = false;
    int m_iDesktopNeedChNo = 0;
    mutable QMutex m_mutexScreens;
    QVector<STRUCT_ScreenFacts> m_vecScreenFacts;
    ScreenSource m_screenSource;
    QString m_qstrStartParam = QStringLiteral("lumacas");
    QString m_qstrPlatform = QStringLiteral("platform");
    QString m_qstrCommunicationId;
    QString m_qstrSendSocketID;
    QDateTime m_qdtStarted = QDateTime::currentDateTime();
};
