// Shared by the platform link tests: a loopback WebSocket peer standing in for the local platform
// service, a reader of the lines the test process adds to its log, and the argument recorder.
#pragma once

#include "CLS_WebSocketWidget.h"
#include "LogReader.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QWebSocket>
#include <QWebSocketServer>

#include <algorithm>
#include <memory>
#include <vector>

// A WebSocket server on a free loopback port that keeps every frame it receives.
class TestPeer
{
public:
    explicit TestPeer(quint16 _uiPort = 0)
        : m_webSocketServer(QStringLiteral("test-peer"), QWebSocketServer::NonSecureMode)
    {
        m_webSocketServer.listen(QHostAddress::LocalHost, _uiPort);
        QObject::connect(&m_webSocketServer, &QWebSocketServer::newConnection, &m_webSocketServer, [this]() {
            while (QWebSocket* pSocket = m_webSocketServer.nextPendingConnection()) {
                m_vecSockets.emplace_back(pSocket);
                QObject::connect(pSocket, &QWebSocket::textMessageReceived, pSocket,
                                 [this](const QString& _qstrText) { m_qstrlstFrames.append(_qstrText); });
            }
        });
    }

    bool IsListening() const { return m_webSocketServer.isListening(); }
    quint16 Port() const { return m_webSocketServer.serverPort(); }
    // The latest connection, or null.
    QWebSocket* Socket() const { return m_vecSockets.empty() ? nullptr : m_vecSockets.back().get(); }
    QStringList& Frames() { return m_qstrlstFrames; }
    bool WaitFrames(int _iCount)
    {
        return QTest::qWaitFor([&]() { return m_qstrlstFrames.size() >= _iCount; }, 5000);
    }
    void Send(const QString& _qstrText) { Socket()->sendTextMessage(_qstrText); }
    void DropConnections() { m_vecSockets.clear(); }
    // A service that ends, and one that starts again on the same port.
    void Stop()
    {
        m_webSocketServer.close();
        DropConnections();
    }
    bool Listen(quint16 _uiPort) { return m_webSocketServer.listen(QHostAddress::LocalHost, _uiPort); }

private:
    QWebSocketServer m_webSocketServer;
    std::vector<std::unique_ptr<QWebSocket>> m_vecSockets;
    QStringList m_qstrlstFrames;
};

// The text this process added to its log since the reader was made.
class LogTail
{
public:
    QString NewText() const { return ReadAppLog().mid(m_iStart); }

private:
    int m_iStart = ReadAppLog().size();
};

inline QJsonObject JsonOf(const QString& _qstrText)
{
    return QJsonDocument::fromJson(_qstrText.toUtf8()).object();
}

// The arguments the recorder program was started with (argv[0] included), in order; empty until
// it has written them.
inline QList<QByteArray> RecordedArguments(const QString& _qstrRecordFile)
{
    QFile qfileRecord(_qstrRecordFile);
    if (!qfileRecord.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray qbaRecord = qfileRecord.readAll();
    qbaRecord.chop(1);
    return qbaRecord.split('\0');
}

// A platform link connected to a test peer. Unhandled messages the link re-emits are kept in
// Received(); the login request it sent on connecting is kept in Login().
class LinkFixture
{
public:
    bool Open()
    {
        if (!m_peer.IsListening()) {
            return false;
        }
        m_peer.Frames().clear();
        m_qstrlstReceived.clear();
        m_pLink = std::make_unique<CLS_WebSocketWidget>();
        QObject::connect(m_pLink.get(), &CLS_WebSocketWidget::SignReceived, m_pLink.get(),
                         [this](const QString& _qstrMsg) { m_qstrlstReceived.append(_qstrMsg); });
        m_pLink->SetPlatform(QStringLiteral("plat"));
        m_pLink->ConnectServer(QStringLiteral("127.0.0.1"), m_peer.Port());
        if (!m_peer.WaitFrames(1)) {
            return false;
        }
        m_qstrLogin = m_peer.Frames().takeFirst();
        return true;
    }

    void Close()
    {
        m_pLink.reset();
        m_peer.DropConnections();
    }

    // Returns once every frame the peer sent before has been handled by the link and everything the
    // link sent before has reached the peer; the frames used for this are taken off again.
    bool Sync()
    {
        const QString qstrBarrier = QStringLiteral("{\"cmd\":7777,\"param\":{\"n\":%1}}").arg(++m_iSync);
        m_peer.Send(qstrBarrier);
        if (!QTest::qWaitFor([&]() { return m_qstrlstReceived.removeAll(qstrBarrier) > 0; }, 5000)) {
            return false;
        }
        STRUCT_MsgHead structHead = m_pLink->MakeHead();
        structHead.iCmd = 7778;
        structHead.qstrCommunicationId = QStringLiteral("sync-%1").arg(m_iSync);
        m_pLink->SendMsg(QStringLiteral("{}"), structHead);
        QStringList& qstrlstFrames = m_peer.Frames();
        const auto IsMarker = [&](const QString& _qstrFrame) {
            return JsonOf(_qstrFrame).value(QStringLiteral("communicationId")) ==
                   structHead.qstrCommunicationId;
        };
        if (!QTest::qWaitFor(
                [&]() { return std::any_of(qstrlstFrames.cbegin(), qstrlstFrames.cend(), IsMarker); },
                5000)) {
            return false;
        }
        qstrlstFrames.erase(std::remove_if(qstrlstFrames.begin(), qstrlstFrames.end(), IsMarker),
                            qstrlstFrames.end());
        return true;
    }

    CLS_WebSocketWidget* Link() const { return m_pLink.get(); }
    TestPeer& Peer() { return m_peer; }
    QStringList& Received() { return m_qstrlstReceived; }
    QString Login() const { return m_qstrLogin; }

private:
    TestPeer m_peer;
    std::unique_ptr<CLS_WebSocketWidget> m_pLink;
    QStringList m_qstrlstReceived;
    QString m_qstrLogin;
    int m_iSync = 0;
};
