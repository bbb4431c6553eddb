// A stand-in for the local platform service: takes logins, checks their signature, answers them,
// prints every frame and sends the requests it was given to each client that logged in.
#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QWebSocketServer>

#include <memory>
#include <vector>

class QWebSocket;

class CLS_PlatformSimulator : public QObject
{
    Q_OBJECT
public:
    CLS_PlatformSimulator(const QString& _qstrSignKey, QObject* _pParent = nullptr);
    ~CLS_PlatformSimulator() override;

    // Port 0 takes any free port. The port listened on, or 0 when listening failed.
    quint16 Listen(quint16 _uiPort);

    // Frames sent, in this order, to the first client whose login is accepted (to every one with
    // SetRepeat(true)).
    void AddStartRequest(const QString& _qstrParam, const QString& _qstrToken, const QString& _qstrPlatform,
                         const QString& _qstrSendSocketId);
    void AddSetUserRequest(const QString& _qstrParam);
    void AddRawFrame(const QString& _qstrText);
    void SetRepeat(bool _blRepeat) { m_blRepeat = _blRepeat; }
    void SetQuitOnDisconnect(bool _blQuit) { m_blQuitOnDisconnect = _blQuit; }

    // Empty when the login token is signed with the key and its nonce is new; else why not.
    QString CheckLoginToken(const QString& _qstrToken);

private slots:
    void SlotNewConnection();

private:
    void HandleFrame(QWebSocket* _pSocket, const QString& _qstrText);
    void Send(QWebSocket* _pSocket, const QString& _qstrText);
    void Print(const QString& _qstrLine);

    QString m_qstrSignKey;
    QWebSocketServer m_webSocketServer;
    std::vector<std::unique_ptr<QWebSocket>> m_vecClients;
    QStringList m_qstrlstQueued;
    QSet<QString> m_setNonces;
    int m_iNextCommunicationId = 1;
    bool m_blRepeat = false;
    bool m_blQuitOnDisconnect = false;
    QTextStream m_textOut;
};
