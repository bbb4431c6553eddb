// The platform link's envelope, parsing, dispatch, login and reopening against a real WebSocket
// server on loopback.
#include "CLS_WebSocketClient.h"
#include "CLS_WebSocketWidget.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QCryptographicHash>

namespace {

const QString g_qstrAgentId = "d41d8cd98f00b204e9800998ecf8427e";

QString LoginToken(const QString& _qstrLogin)
{
    return JsonOf(_qstrLogin).value("param").toObject().value("token").toString();
}

} // namespace

class TestWebSocketWidget : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        OrbApplication::Instance()->SetToken("token");
        OrbApplication::Instance()->SetSendSocketID(QString());
        QVERIFY(m_fixture.Open());
    }
    void cleanup() { m_fixture.Close(); }

    void login_exactEnvelope_signedNonce()
    {
        const QString qstrLogin = m_fixture.Login();
        QCOMPARE(qstrLogin,
                 QString(R"({"agentId":"%1","clientlist":["TerminalServer"],"cmd":3,"communicationId":"",)"
                         R"("param":{"token":"%2"},"platform":"plat","recvSocketID":"",)"
                         R"("sender":"test_websocketwidget","token":"token"})")
                     .arg(g_qstrAgentId, LoginToken(qstrLogin)));
        const QByteArray qbaToken = LoginToken(qstrLogin).toLatin1();
        QCOMPARE(qbaToken.size(), 64);
        QCOMPARE(qbaToken.mid(32),
                 QCryptographicHash::hash(qbaToken.left(32) + "e5a0c3917f2b48d6a1c04b9e3d27f860",
                                          QCryptographicHash::Md5)
                     .toHex());
    }

    // Anything not handled is re-emitted unchanged; a key named twice in one object is refused
    // whole. Either way nothing is answered and the link stays up.
    void incomingFrame_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refused");
        QTest::newRow("not JSON, format directives") << "%s%n{\"cmd\":%d" << false;
        QTest::newRow("deep nesting") << QString(100000, '[') + QString(100000, ']') << false;
        QTest::newRow("same key apart") << R"({"cmd":42,"a":{"k":1},"b":{"k":1,"c":["k","k"]}})" << false;
        QTest::newRow("repeated key") << R"({"cmd":42,"a":{"x":1},"b":0,"a":{"x":2}})" << true;
    }
    void incomingFrame()
    {
        QFETCH(QString, text);
        QFETCH(bool, refused);
        QSignalSpy spySuccess(m_fixture.Link(), &CLS_WebSocketWidget::SignLoginSuccess);
        const LogTail logTail;
        m_fixture.Peer().Send(text);
        QVERIFY(m_fixture.Sync());
        QCOMPARE(m_fixture.Received(), refused ? QStringList() : QStringList{text});
        QCOMPARE(logTail.NewText().contains(" message with a repeated key refused\n"), refused);
        QVERIFY(m_fixture.Peer().Frames().isEmpty());
        QCOMPARE(spySuccess.count(), 0);
    }

    void loginAnswer_data()
    {
        QTest::addColumn<QString>("param");
        QTest::addColumn<int>("fail");
        QTest::newRow("ret 0") << R"(,"param":{"ret":0})" << 0;
        QTest::newRow("ret 5") << R"(,"param":{"ret":5})" << 5;
    }
    // Wired as start-up wires it: a successful login is answered with the start answer, under
    // the program's own communication ID.
    void loginAnswer()
    {
        QFETCH(QString, param);
        QFETCH(int, fail);
        OrbApplication* pApp = OrbApplication::Instance();
        pApp->SetSendSocketID("s5");
        CLS_WebSocketWidget* pLink = m_fixture.Link();
        connect(pLink, &CLS_WebSocketWidget::SignLoginSuccess, pLink,
                [pLink](const QString& _qstrMsg) { pLink->RespondStartRequest(0, _qstrMsg); });
        QSignalSpy spySuccess(pLink, &CLS_WebSocketWidget::SignLoginSuccess);
        QSignalSpy spyFail(pLink, &CLS_WebSocketWidget::SignLoginFail);
        const QString qstrText =
            R"({"cmd":10003,"communicationId":"cx","platform":"p1","token":"t1")" + param + "}";
        m_fixture.Peer().Send(qstrText);
        QVERIFY(m_fixture.Sync());
        QCOMPARE(spyFail.count(), fail > 0 ? 1 : 0);
        QCOMPARE(spyFail.value(0).value(0).toInt(), fail > 0 ? fail : 0);
        QCOMPARE(spySuccess.count(), fail == 0 ? 1 : 0);
        const QString qstrAnswer =
            QString(R"({"agentId":"%1","clientlist":["platformClient"],"cmd":10101,)"
                    R"("communicationId":"%2","param":{"content":{},"message":"","ret":0},)"
                    R"("platform":"p1","recvSocketID":"s5","sender":"%3","token":"t1"})")
                .arg(g_qstrAgentId, pApp->GetCommunicationId(), pApp->GetAppBaseName());
        QCOMPARE(m_fixture.Peer().Frames(), fail == 0 ? QStringList{qstrAnswer} : QStringList());
    }

    // The service ends and starts again later, or the link closes itself: it is opened again,
    // with a growing delay, and logs in again; one log line per change, not per attempt.
    void reopen_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("service restarts") << true;
        QTest::newRow("frame over the limit (1009)") << false;
    }
    void reopen()
    {
        QFETCH(bool, restart);
        const LogTail logTail;
        TestPeer& peer = m_fixture.Peer();
        QSignalSpy spyDown(m_fixture.Link(), &CLS_WebSocketWidget::SignDisconnected);
        QSignalSpy spyUp(m_fixture.Link(), &CLS_WebSocketWidget::SignConnected);
        if (restart) {
            const quint16 uiPort = peer.Port();
            peer.Stop();
            QTest::qWait(3500); // attempts after 1 s and 3 s fail
            QVERIFY(peer.Listen(uiPort));
        } else {
            peer.Send(QString(CLS_WebSocketClient::s_iMaxIncomingBytes + 1, 'a'));
            QTRY_COMPARE(peer.Socket()->closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!peer.Frames().isEmpty(), 10000);
        QCOMPARE(JsonOf(peer.Frames().at(0)).value("cmd").toInt(), 3);
        QCOMPARE(spyDown.count(), 1);
        QCOMPARE(spyUp.count(), 1);
        QCOMPARE(logTail.NewText().count("platform link down"), 1);
        QCOMPARE(logTail.NewText().count("platform link up"), 1);
    }

private:
    LinkFixture m_fixture;
};

LUMACAST_TEST_MAIN(TestWebSocketWidget)
#include "test_websocketwidget.moc"
