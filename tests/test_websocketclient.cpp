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
    void connectSendReceiveClose()
    {
        TestPeer peer;
        CLS_WebSocketClient client;
        QSignalSpy spyDisconnected(&client, &CLS_WebSocketClient::SignDisconnected);
        const LogTail logTail;
        client.SendText("too early é"); // logged, never sent
        QVERIFY(logTail.NewText().contains("websocketclient send====[too early é]"));
        client.OpenUrl("127.0.0.1", peer.Port());
        QTRY_VERIFY(peer.Socket() != nullptr);
        // A receiver that sends from inside its handler, as the platform link's handlers do.
        QStringList qstrlstReceived;
        connect(&client, &CLS_WebSocketClient::SignReceived, &client, [&](const QString& _qstrText) {
            qstrlstReceived.append(_qstrText);
            client.SendText("echo " + _qstrText);
        });
        for (const char* pcText : {"one", "two", "三"}) {
            peer.Send(pcText);
        }
        QVERIFY(peer.WaitFrames(3));
        QCOMPARE(qstrlstReceived, (QStringList{"one", "two", "三"}));
        QCOMPARE(peer.Frames(), (QStringList{"echo one", "echo two", "echo 三"}));
        peer.Socket()->close();
        QTRY_COMPARE(spyDisconnected.count(), 1);
    }

    // Read off the wire: a WebSocket server would report 1000 also when no close frame came.
    void destroyConnected_sendsCloseFrame1000()
    {
        QTcpServer tcpServer;
        QVERIFY(tcpServer.listen(QHostAddress::LocalHost, 0));
        auto pClient = std::make_unique<CLS_WebSocketClient>();
        QSignalSpy spyConnected(pClient.get(), &CLS_WebSocketClient::SignConnected);
        pClient->OpenUrl("127.0.0.1", tcpServer.serverPort());
        QTRY_VERIFY(tcpServer.hasPendingConnections());
        std::unique_ptr<QTcpSocket> pPeer(tcpServer.nextPendingConnection());
        QByteArray qbaRequest;
        QVERIFY(
            QTest::qWaitFor([&]() { return (qbaRequest += pPeer->readAll()).contains("\r\n\r\n"); }, 5000));
        const QByteArray qbaKey =
            qbaRequest.mid(qbaRequest.indexOf("Sec-WebSocket-Key:") + 18).split('\r').value(0).trimmed();
        pPeer->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                     "Sec-WebSocket-Accept: " +
                     QCryptographicHash::hash(qbaKey + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                              QCryptographicHash::Sha1)
                         .toBase64() +
                     "\r\n\r\n");
        QTRY_COMPARE(spyConnected.count(), 1);
        pClient.reset();
        QByteArray qbaFrame;
        QVERIFY(QTest::qWaitFor([&]() { return (qbaFrame += pPeer->readAll()).size() >= 8; }, 5000));
        const auto* pucFrame = reinterpret_cast<const unsigned char*>(qbaFrame.constData());
        QCOMPARE(int(pucFrame[0]), 0x88); // final frame, opcode close
        QCOMPARE(int(pucFrame[1]), 0x82); // masked, two payload bytes
        QCOMPARE(((pucFrame[6] ^ pucFrame[2]) << 8) | (pucFrame[7] ^ pucFrame[3]), 1000);
    }
};

LUMACAST_TEST_MAIN(TestWebSocketClient)
#include "test_websocketclient.moc"
