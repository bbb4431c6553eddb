// The transport against a real WebSocket server on loopback, and against a raw TCP peer where the
// bytes on the wire are the point.
#include "CLS_WebSocketClient.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"

#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>

class TestWebSocketClient : public QObject
{
    Q_OBJECT
private slots:
    void testConnectSendReceiveClose();
    void testIncomingSize_data();
    void testIncomingSize();
    void testDestroy_connected_sendsCloseFrame1000();
};

void TestWebSocketClient::testConnectSendReceiveClose()
{
    TestPeer peer;
    CLS_WebSocketClient client;
    QSignalSpy spyConnected(&client, &CLS_WebSocketClient::SignConnected);
    QSignalSpy spyDisconnected(&client, &CLS_WebSocketClient::SignDisconnected);
    const LogTail logTail;
    client.SendText(QStringLiteral("too early é"));
    QVERIFY(logTail.NewText().contains(QStringLiteral("websocketclient send====[too early é]")));

    QVERIFY(client.OpenUrl(QStringLiteral("127.0.0.1"), peer.Port()));
    QTRY_COMPARE(spyConnected.count(), 1);
    QTRY_VERIFY(peer.Socket() != nullptr);

    // A receiver that sends from inside its handler, as the platform link's handlers do; the text
    // sent before the link was up must not turn up either.
    QStringList qstrlstReceived;
    connect(&client, &CLS_WebSocketClient::SignReceived, &client, [&](const QString& _qstrText) {
        qstrlstReceived.append(_qstrText);
        client.SendText(QStringLiteral("echo ") + _qstrText);
    });
    const QStringList qstrlstSent{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("三")};
    for (const QString& qstrText : qstrlstSent) {
        peer.Send(qstrText);
    }
    QVERIFY(peer.WaitFrames(3));
    QCOMPARE(qstrlstReceived, qstrlstSent);
    QCOMPARE(peer.Frames(), (QStringList{QStringLiteral("echo one"), QStringLiteral("echo two"),
                                         QStringLiteral("echo 三")}));

    peer.Socket()->close();
    QTRY_COMPARE(spyDisconnected.count(), 1);
}

void TestWebSocketClient::testIncomingSize_data()
{
    QTest::addColumn<int>("iBytes");
    QTest::addColumn<bool>("blDelivered");
    QTest::newRow("at the limit") << static_cast<int>(CLS_WebSocketClient::s_iMaxIncomingBytes) << true;
    QTest::newRow("one byte over the limit")
        << static_cast<int>(CLS_WebSocketClient::s_iMaxIncomingBytes) + 1 << false;
}

// An oversized frame from the peer is refused with the close code for too much data instead of
// being taken into memory.
void TestWebSocketClient::testIncomingSize()
{
    QFETCH(int, iBytes);
    QFETCH(bool, blDelivered);
    TestPeer peer;
    CLS_WebSocketClient client;
    QSignalSpy spyConnected(&client, &CLS_WebSocketClient::SignConnected);
    QSignalSpy spyDisconnected(&client, &CLS_WebSocketClient::SignDisconnected);
    QSignalSpy spyReceived(&client, &CLS_WebSocketClient::SignReceived);
    client.OpenUrl(QStringLiteral("127.0.0.1"), peer.Port());
    QTRY_COMPARE(spyConnected.count(), 1);
    QTRY_VERIFY(peer.Socket() != nullptr);
    peer.Send(QString(iBytes, QLatin1Char('a')));
    if (blDelivered) {
        QTRY_COMPARE(spyReceived.count(), 1);
        QCOMPARE(spyReceived.at(0).at(0).toString().size(), iBytes);
        QCOMPARE(spyDisconnected.count(), 0);
    } else {
        QTRY_COMPARE(spyDisconnected.count(), 1);
        QCOMPARE(spyReceived.count(), 0);
        QTRY_COMPARE(peer.Socket()->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(peer.Socket()->closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
    }
}

// A raw TCP peer, so that the close frame itself is read off the wire (a WebSocket server would
// report code 1000 also when no close frame came at all).
void TestWebSocketClient::testDestroy_connected_sendsCloseFrame1000()
{
    QTcpServer tcpServer;
    QVERIFY(tcpServer.listen(QHostAddress::LocalHost, 0));
    auto pClient = std::make_unique<CLS_WebSocketClient>();
    QSignalSpy spyConnected(pClient.get(), &CLS_WebSocketClient::SignConnected);
    pClient->OpenUrl(QStringLiteral("127.0.0.1"), tcpServer.serverPort());
    QTRY_VERIFY(tcpServer.hasPendingConnections());
    std::unique_ptr<QTcpSocket> pPeer(tcpServer.nextPendingConnection());

    QByteArray qbaRequest;
    QVERIFY(QTest::qWaitFor([&]() { return (qbaRequest += pPeer->readAll()).contains("\r\n\r\n"); }, 5000));
    const int iKey = qbaRequest.toLower().indexOf("sec-websocket-key:");
    QVERIFY(iKey >= 0);
    const int iKeyStart = qbaRequest.indexOf(':', iKey) + 1;
    const QByteArray qbaKey =
        qbaRequest.mid(iKeyStart, qbaRequest.indexOf('\r', iKeyStart) - iKeyStart).trimmed();
    const QByteArray qbaAccept =
        QCryptographicHash::hash(qbaKey + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1)
            .toBase64();
    pPeer->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                 "Sec-WebSocket-Accept: " +
                 qbaAccept + "\r\n\r\n");
    QTRY_COMPARE(spyConnected.count(), 1);

    pClient.reset();
    QByteArray qbaFrame;
    QVERIFY(QTest::qWaitFor([&]() { return (qbaFrame += pPeer->readAll()).size() >= 8; }, 5000));
    const auto* pucFrame = reinterpret_cast<const unsigned char*>(qbaFrame.constData());
    QCOMPARE(pucFrame[0], static_cast<unsigned char>(0x88)); // final frame, opcode close
    QCOMPARE(pucFrame[1], static_cast<unsigned char>(0x82)); // masked, two payload bytes
    const int iCode = ((pucFrame[6] ^ pucFrame[2]) << 8) | (pucFrame[7] ^ pucFrame[3]);
    QCOMPARE(iCode, 1000);
}

LUMACAST_TEST_MAIN(TestWebSocketClient)
#include "test_websocketclient.moc"
