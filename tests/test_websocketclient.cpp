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
    void testOpenUrl_loopbackPeer_connectsToHostAndPort();
    void testSendText_beforeConnected_logsAndSendsNothing();
    void testReceived_severalFrames_deliveredInOrderAfterHandlerReturns();
    void testPeerCloses_emitsDisconnected();
    void testIncomingSize_data();
    void testIncomingSize();
    void testDestroy_connected_sendsCloseFrame1000();
};

void TestWebSocketClient::testOpenUrl_loopbackPeer_connectsToHostAndPort()
{
    TestPeer peer;
    QVERIFY(peer.IsListening());
    CLS_WebSocketClient client;
    QSignalSpy spyConnected(&client, &CLS_WebSocketClient::SignConnected);
    QVERIFY(client.OpenUrl(QStringLiteral("127.0.0.1"), peer.Port()));
    QVERIFY(peer.WaitConnections(1));
    QTRY_COMPARE(spyConnected.count(), 1);
    const QUrl qurlRequest = peer.Socket()->requestUrl();
    QCOMPARE(qurlRequest.scheme(), QStringLiteral("ws"));
    QCOMPARE(qurlRequest.host(), QStringLiteral("127.0.0.1"));
    QCOMPARE(qurlRequest.port(), static_cast<int>(peer.Port()));
}

void TestWebSocketClient::testSendText_beforeConnected_logsAndSendsNothing()
{
    TestPeer peer;
    CLS_WebSocketClient client;
    const LogTail logTail;
    client.SendText(QStringLiteral("too early é"));
    QVERIFY(logTail.NewText().contains(QStringLiteral("websocketclient send====[too early é]")));

    QSignalSpy spyConnected(&client, &CLS_WebSocketClient::SignConnected);
    client.OpenUrl(QStringLiteral("127.0.0.1"), peer.Port());
    QTRY_COMPARE(spyConnected.count(), 1);
    client.SendText(QStringLiteral("on time"));
    QVERIFY(peer.WaitFrames(1));
    QCOMPARE(peer.Frames(), QStringList{QStringLiteral("on time")});
}

void TestWebSocketClient::testReceived_severalFrames_deliveredInOrderAfterHandlerReturns()
{
    TestPeer peer;
    CLS_WebSocketClient client;
    QSignalSpy spyConnected(&client, &CLS_WebSocketClient::SignConnected);
    client.OpenUrl(QStringLiteral("127.0.0.1"), peer.Port());
    QTRY_COMPARE(spyConnected.count(), 1);

    // A receiver that sends from inside its handler, as the platform link's handlers do.
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
}

void TestWebSocketClient::testPeerCloses_emitsDisconnected()
{
    TestPeer peer;
    CLS_WebSocketClient client;
    QSignalSpy spyConnected(&client, &CLS_WebSocketClient::SignConnected);
    QSignalSpy spyDisconnected(&client, &CLS_WebSocketClient::SignDisconnected);
    client.OpenUrl(QStringLiteral("127.0.0.1"), peer.Port());
    QTRY_COMPARE(spyConnected.count(), 1);
    peer.Socket()->close();
    QTRY_COMPARE(spyDisconnected.count(), 1);
}

void TestWebSocketClient::testIncomingSize_data()
{
    QTest::addColumn<int>("iBytes");
    QTest::addColumn<bool>("blDelivered");
    QTest::newRow("100 KiB") << 100 * 1024 << true;
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
    peer.Send(QString(iBytes, QLatin1Char('a')));
    if (blDelivered) {
        QTRY_COMPARE(spyReceived.count(), 1);
        QCOMPARE(spyReceived.at(0).at(0).toString().size(), iBytes);
        QCOMPARE(spyDisconnected.count(), 0);
    } else {
        QTRY_COMPARE(spyDisconnected.count(), 1);
        QCOMPARE(spyReceived.count(), 0);
        QTRY_COMPARE(peer.Socket()->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(static_cast<int>(peer.Socket()->closeCode()),
                 static_cast<int>(QWebSocketProtocol::CloseCodeTooMuchData));
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
    QByteArray qbaKey;
    const QList<QByteArray> lstLines = qbaRequest.split('\n');
    for (const QByteArray& qbaLine : lstLines) {
        if (qbaLine.toLower().startsWith("sec-websocket-key:")) {
            qbaKey = qbaLine.mid(qbaLine.indexOf(':') + 1).trimmed();
        }
    }
    QVERIFY(!qbaKey.isEmpty());
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
