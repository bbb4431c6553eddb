// The program's end of the platform link: opens the transport, packs outgoing messages into the
// platform envelope, parses incoming ones and dispatches them by command code.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class CLS_WebSocketClient;
class QTimer;

// Command codes of the platform messages; every answer is its request's code plus 10000.
enum EnumPlatformCmd
{
    PLATFORM_CMD_LOGIN = 3,
    PLATFORM_CMD_START = 101,
    PLATFORM_CMD_SET_USER = 2003,
    PLATFORM_CMD_LOGIN_ANSWER = 10003,
    PLATFORM_CMD_START_ANSWER = 10101,
    PLATFORM_CMD_SET_USER_ANSWER = 12003
};

// The head fields of one platform message; a fresh one is made for every message.
struct STRUCT_MsgHead
{
    QString qstrAgentId;
    QString qstrPlatform;
    QString qstrToken;
    QString qstrSender;
    QString qstrCommunicationId;
    int iCmd = 0;
    QStringList qstrlstClientList;
    QString qstrRecvSocketID;
};

class CLS_WebSocketWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CLS_WebSocketWidget(QWidget* _pParent = nullptr);
    ~CLS_WebSocketWidget() override;

    void SetPlatform(const QString& _qstrPlatform) { m_qstrPlatform = _qstrPlatform; }
    void SetToken(const QString& _qstrToken) { m_qstrStartToken = _qstrToken; }
    // Opens the link; an empty host or port 0 means the local service at 127.0.0.1:10588. Whenever
    // the link is down it is opened again, after 1 s at first and twice as long each time up to 30 s.
    bool ConnectServer(QString _qstrHost, int _iPort);

    // A head with the link's platform, the application's token and base name, and the agent ID.
    STRUCT_MsgHead MakeHead() const;
    // The compact outgoing text; a param text that is not a JSON object gives an empty param.
    QString PackMsg(const QString& _qstrParam, const STRUCT_MsgHead& _structHead) const;
    void SendMsg(const QString& _qstrParam, const STRUCT_MsgHead& _structHead);
    // Fills the head from the message text and returns its "param" (empty for anything unreadable).
    QJsonObject ParseMsg(const QString& _qstrText, STRUCT_MsgHead& _structHead) const;

    // Sends the signed login request to the terminal service; nothing before the first connection.
    void Login();
    // A start request (look settings and platform token); answered only when it is taken.
    void HandleStartRequest(const STRUCT_MsgHead& _structHead, const QString& _qstrText);
    // A set-user request: stores user and password in the settings file and always answers 0.
    void HandleSetUserRequest(const QString& _qstrText);
    // Tells the requesting platform client that the program is up with its settings.
    void RespondStartRequest(int _iRet, const QString& _qstrRequest);
    void RespondSetUserRequest(int _iRet, const QString& _qstrRequest);

signals:
    // A message with a command nobody here handles; the whole text.
    void SignReceived(QString _qstrMsg);
    // The link is up and the login request has gone out.
    void SignConnected();
    // The link that was up went down.
    void SignDisconnected();
    // The login answer carried "ret" 0; the whole answer text.
    void SignLoginSuccess(QString _qstrMsg);
    void SignLoginFail(int _iError);
    // The platform has stored a new service user and password.
    void SignUserChanged();

public slots:
    void SlotOnconnected();
    void SlotReceived(QString _qstrMessage);
    void SlotDisConnection();

private slots:
    void SlotReopen();

private:
    enum EnumLinkState
    {
        LINK_CLOSED,
        LINK_UP,
        LINK_DOWN
    };

    std::unique_ptr<CLS_WebSocketClient> m_pClient;
    QTimer* m_pTimerReopen = nullptr;
    QString m_qstrHost;
    int m_iPort = 0;
    int m_iReopenDelayMs = 0;
    EnumLinkState m_eLinkState = LINK_CLOSED;
    QString m_qstrStartToken;
    QString m_qstrPlatform;
    bool m_blConnected = false;
};
