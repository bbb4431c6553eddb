// The platform link's envelope, parsing, dispatch and login against a real WebSocket server on
// loopback.
#include "CLS_WebSocketWidget.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace {

const QString g_qstrAgentId = QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");

QString LoginToken(const QString& _qstrLogin)
{
    return JsonOf(_qstrLogin)
        .value(QStringLiteral("param"))
        .toObject()
        .value(QStringLiteral("token"))
        .toString();
}

} // namespace

class TestWebSocketWidget : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void testLogin_exactEnvelope_tokenSignedWithFreshNonce();
    void testLogin_neverConnected_sendsNothing();
    void testPackMsg_param_data();
    void testPackMsg_param();
    void testParseMsg_data();
    void testParseMsg();
    void testIncomingFrame_data();
    void testIncomingFrame();
    void testLoginAnswer_data();
    void testLoginAnswer();
    void testConnectServer_defaults_data();
    void testConnectServer_defaults();
    void testStartPlatformLink_opensDefaultAddressWithApplicationIdentity();

private:
    LinkFixture m_fixture;
};

void TestWebSocketWidget::init()
{
    OrbApplication* pApp = OrbApplication::Instance();
    pApp->SetToken(QStringLiteral("token"));
    pApp->SetSendSocketID(QString());
    QVERIFY(m_fixture.Open());
}

void TestWebSocketWidget::cleanup()
{
    m_fixture.Close();
}

void TestWebSocketWidget::testLogin_exactEnvelope_tokenSignedWithFreshNonce()
{
    const QString qstrLogin = m_fixture.Login();
    QCOMPARE(qstrLogin,
             QStringLiteral(R"({"agentId":"%1","clientlist":["TerminalServer"],"cmd":3,"communicationId":"",)"
                            R"("param":{"token":"%2"},"platform":"plat","recvSocketID":"",)"
                            R"("sender":"test_websocketwidget","token":"token"})")
                 .arg(g_qstrAgentId, LoginToken(qstrLogin)));

    for (int i = 0; i < 3; ++i) {
        m_fixture.Link()->Login();
    }
    QVERIFY(m_fixture.Peer().WaitFrames(3));
    const QStringList qstrlstLogins = QStringList{qstrLogin} + m_fixture.Peer().Frames();
    QSet<QString> setNonces;
    for (const QString& qstrFrame : qstrlstLogins) {
        const QString qstrToken = LoginToken(qstrFrame);
        QVERIFY2(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$")).match(qstrToken).hasMatch(),
                 qPrintable(qstrToken));
        const QByteArray qbaNonce = qstrToken.left(32).toLatin1();
        QCOMPARE(
            qstrToken.mid(32).toLatin1(),
            QCryptographicHash::hash(qbaNonce + "e5a0c3917f2b48d6a1c04b9e3d27f860", QCryptographicHash::Md5)
                .toHex());
        setNonces.insert(qstrToken.left(32));
    }
    QCOMPARE(setNonces.size(), 4);
}

void TestWebSocketWidget::testLogin_neverConnected_sendsNothing()
{
    CLS_WebSocketWidget link;
    const LogTail logTail;
    link.Login();
    QVERIFY(!logTail.NewText().contains(QStringLiteral("websocketclient send")));
}

void TestWebSocketWidget::testPackMsg_param_data()
{
    QTest::addColumn<QString>("qstrParam");
    QTest::addColumn<QString>("qstrPackedParam");
    QTest::addColumn<bool>("blWarned");
    QTest::newRow("not JSON") << QStringLiteral("x") << QStringLiteral("{}") << true;
    QTest::newRow("empty text") << QString() << QStringLiteral("{}") << true;
    QTest::newRow("array") << QStringLiteral("[1,2]") << QStringLiteral("{}") << false;
    QTest::newRow("object") << QStringLiteral(R"({ "b" : 2, "a" : "é" })")
                            << QStringLiteral(R"({"a":"é","b":2})") << false;
}

void TestWebSocketWidget::testPackMsg_param()
{
    QFETCH(QString, qstrParam);
    QFETCH(QString, qstrPackedParam);
    QFETCH(bool, blWarned);
    if (blWarned) {
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable(QStringLiteral("===> please check the string ") + qstrParam));
    }
    const QString qstrPacked = m_fixture.Link()->PackMsg(qstrParam, m_fixture.Link()->MakeHead());
    QVERIFY2(qstrPacked.contains(QStringLiteral(",\"param\":") + qstrPackedParam + QStringLiteral(",")),
             qPrintable(qstrPacked));
}

void TestWebSocketWidget::testParseMsg_data()
{
    QTest::addColumn<QString>("qstrText");
    QTest::addColumn<QString>("qstrParsed"); // cmd|clientlist|communicationId|platform|param
    QTest::newRow("clientlist stops at the first non-string")
        << QStringLiteral(R"({"cmd":5,"clientlist":["a",1,"b"],"param":{"k":1}})")
        << QStringLiteral(R"(5|a|||{"k":1})");
    QTest::newRow("all fields")
        << QStringLiteral(
               R"({"cmd":2003,"clientlist":["a","b"],"communicationId":"c","platform":"p","param":{}})")
        << QStringLiteral("2003|a,b|c|p|{}");
    QTest::newRow("cmd as a string") << QStringLiteral(R"({"cmd":"101"})") << QStringLiteral("0||||{}");
    QTest::newRow("cmd not whole") << QStringLiteral(R"({"cmd":101.5})") << QStringLiteral("0||||{}");
    QTest::newRow("cmd out of range") << QStringLiteral(R"({"cmd":1e300})") << QStringLiteral("0||||{}");
    QTest::newRow("wrong types")
        << QStringLiteral(R"({"cmd":null,"clientlist":"a","communicationId":7,"platform":["p"],"param":[1]})")
        << QStringLiteral("0||||{}");
    // Unreadable texts leave the head as it was made.
    QTest::newRow("not JSON") << QStringLiteral(R"({"cmd":101)") << QStringLiteral("0|||plat|{}");
    QTest::newRow("array") << QStringLiteral(R"([{"cmd":101}])") << QStringLiteral("0|||plat|{}");
}

void TestWebSocketWidget::testParseMsg()
{
    QFETCH(QString, qstrText);
    QFETCH(QString, qstrParsed);
    STRUCT_MsgHead structHead = m_fixture.Link()->MakeHead();
    const QJsonObject qjsonParam = m_fixture.Link()->ParseMsg(qstrText, structHead);
    QCOMPARE(QStringLiteral("%1|%2|%3|%4|%5")
                 .arg(QString::number(structHead.iCmd), structHead.qstrlstClientList.join(QLatin1Char(',')),
                      structHead.qstrCommunicationId, structHead.qstrPlatform, JsonToString(qjsonParam)),
             qstrParsed);
}

void TestWebSocketWidget::testIncomingFrame_data()
{
    QTest::addColumn<QString>("qstrText");
    QTest::addColumn<bool>("blRefused");
    QTest::newRow("not JSON") << QStringLiteral("hello, 世界 {") << false;
    QTest::newRow("cmd 101 as a string")
        << QStringLiteral(
               R"({"cmd":"101","token":"t","platform":"p","param":{"lang":"l","skin":"s","layout":"y"}})")
        << false;
    QTest::newRow("unknown cmd") << QStringLiteral(R"({"cmd":42,"param":{"ret":0}})") << false;
    QTest::newRow("answer code of a request") << QStringLiteral(R"({"cmd":10101})") << false;
    QTest::newRow("array") << QStringLiteral("[2003]") << false;
    QTest::newRow("empty object") << QStringLiteral("{}") << false;
    QTest::newRow("deep nesting") << QString(100000, QLatin1Char('[')) + QString(100000, QLatin1Char(']'))
                                  << false;
    QTest::newRow("deep nesting in param")
        << QStringLiteral(R"({"cmd":101,"param":)") + QString(5000, QLatin1Char('[')) + QStringLiteral("}")
        << false;
    QTest::newRow("NUL characters") << QStringLiteral(R"({"cmd":3,"param":{"token":"a\u0000b"}})") << false;
    QTest::newRow("number out of range") << QStringLiteral(R"({"cmd":10003,"param":{"ret":1e400}})") << false;
    QTest::newRow("format directives") << QStringLiteral(R"(%s%s%n%x{"cmd":%d})") << false;
    QTest::newRow("lone surrogate escape") << QStringLiteral(R"({"cmd":42,"x":"\ud800"})") << false;
    // A key named twice in one object.
    QTest::newRow("repeated key at top level") << QStringLiteral(R"({"cmd":42,"cmd":42})") << true;
    QTest::newRow("repeated object values apart")
        << QStringLiteral(R"({"cmd":42,"a":{"x":1},"b":0,"a":{"x":2}})") << true;
    QTest::newRow("repeated key nested") << QStringLiteral(R"({"cmd":42,"p":[{"k":1,"k":2}]})") << true;
    QTest::newRow("repeated key escaped") << QStringLiteral(R"({"cmd":42,"\u0063md":42})") << true;
    QTest::newRow("repeated key in a set-user request")
        << QStringLiteral(R"({"cmd":2003,"param":{"user":"a","user":"b"}})") << true;
    QTest::newRow("same key in sibling objects")
        << QStringLiteral(R"({"cmd":42,"a":{"k":1},"b":{"k":1}})") << false;
    QTest::newRow("same key at two depths")
        << QStringLiteral(R"({"cmd":42,"a":{"b":{"c":1},"c":2}})") << false;
    QTest::newRow("keys in texts and arrays")
        << QStringLiteral(R"({"cmd":42,"a":["k","k"],"v":"}\"k\":1,\"k\":2","w":"{"})") << false;
    QTest::newRow("similar keys") << QStringLiteral(R"({"cmd":42,"a":1,"A":2,"a ":3,"\u00e9":4,"é ":5})")
                                  << false;
}

// Anything the link does not handle is re-emitted unchanged; a message naming a key twice in one
// object is refused whole. Either way nothing is answered and the link stays up.
void TestWebSocketWidget::testIncomingFrame()
{
    QFETCH(QString, qstrText);
    QFETCH(bool, blRefused);
    QSignalSpy spySuccess(m_fixture.Link(), &CLS_WebSocketWidget::SignLoginSuccess);
    const LogTail logTail;
    m_fixture.Peer().Send(qstrText);
    QVERIFY(m_fixture.Sync());
    QCOMPARE(m_fixture.Received(), blRefused ? QStringList() : QStringList{qstrText});
    QCOMPARE(logTail.NewText().contains(QStringLiteral(" message with a repeated key refused\n")), blRefused);
    QVERIFY(m_fixture.Peer().Frames().isEmpty());
    QCOMPARE(spySuccess.count(), 0);
}

void TestWebSocketWidget::testLoginAnswer_data()
{
    QTest::addColumn<QString>("qstrParam");
    QTest::addColumn<bool>("blSuccess");
    QTest::addColumn<QVariantList>("lstFail");
    QTest::newRow("ret 0") << QStringLiteral(R"(,"param":{"ret":0})") << true << QVariantList();
    QTest::newRow("ret null") << QStringLiteral(R"(,"param":{"ret":null})") << true << QVariantList();
    QTest::newRow("ret 5") << QStringLiteral(R"(,"param":{"ret":5})") << false << QVariantList{5};
    QTest::newRow("ret -1") << QStringLiteral(R"(,"param":{"ret":-1})") << false << QVariantList{-1};
    QTest::newRow("no ret") << QStringLiteral(R"(,"param":{})") << false << QVariantList();
    QTest::newRow("no param") << QString() << false << QVariantList();
}

// Wired as start-up (and later the main window) wires it: a successful login is answered with the
// start answer, which tells the client that launched the program under the program's own
// communication ID.
void TestWebSocketWidget::testLoginAnswer()
{
    QFETCH(QString, qstrParam);
    QFETCH(bool, blSuccess);
    QFETCH(QVariantList, lstFail);
    OrbApplication* pApp = OrbApplication::Instance();
    pApp->SetSendSocketID(QStringLiteral("s5"));
    CLS_WebSocketWidget* pLink = m_fixture.Link();
    connect(pLink, &CLS_WebSocketWidget::SignLoginSuccess, pLink,
            [pLink](const QString& _qstrMsg) { pLink->RespondStartRequest(0, _qstrMsg); });
    QSignalSpy spySuccess(pLink, &CLS_WebSocketWidget::SignLoginSuccess);
    QSignalSpy spyFail(pLink, &CLS_WebSocketWidget::SignLoginFail);
    const QString qstrText =
        QStringLiteral(R"({"cmd":10003,"communicationId":"cx","platform":"p1","token":"t1")") + qstrParam +
        QLatin1Char('}');
    m_fixture.Peer().Send(qstrText);
    QVERIFY(m_fixture.Sync());
    QCOMPARE(spySuccess.count(), blSuccess ? 1 : 0);
    QCOMPARE(spyFail.count(), lstFail.size());
    if (!lstFail.isEmpty()) {
        QCOMPARE(spyFail.at(0).at(0).toInt(), lstFail.at(0).toInt());
    }
    QVERIFY(m_fixture.Received().isEmpty());
    if (!blSuccess) {
        QVERIFY(m_fixture.Peer().Frames().isEmpty());
        return;
    }
    QCOMPARE(spySuccess.at(0).at(0).toString(), qstrText);
    QCOMPARE(
        m_fixture.Peer().Frames(),
        QStringList{QStringLiteral(R"({"agentId":"%1","clientlist":["platformClient"],"cmd":10101,)"
                                   R"("communicationId":"%2","param":{"content":{},"message":"","ret":0},)"
                                   R"("platform":"p1","recvSocketID":"s5","sender":"%3","token":"t1"})")
                        .arg(g_qstrAgentId, pApp->GetCommunicationId(), pApp->GetAppBaseName())});
}

void TestWebSocketWidget::testConnectServer_defaults_data()
{
    QTest::addColumn<QString>("qstrHost");
    QTest::addColumn<int>("iPort");
    QTest::newRow("empty host") << QString() << 1234;
    QTest::newRow("port 0") << QStringLiteral("127.0.0.2") << 0;
}

void TestWebSocketWidget::testConnectServer_defaults()
{
    QFETCH(QString, qstrHost);
    QFETCH(int, iPort);
    TestPeer peerDefault(10588);
    if (!peerDefault.IsListening()) {
        QSKIP("127.0.0.1:10588 is taken by another program");
    }
    CLS_WebSocketWidget link;
    QSignalSpy spyConnected(&link, &CLS_WebSocketWidget::SignConnected);
    QVERIFY(link.ConnectServer(qstrHost, iPort));
    QTRY_COMPARE(spyConnected.count(), 1);
    QVERIFY(peerDefault.WaitFrames(1));
    QCOMPARE(JsonOf(peerDefault.Frames().at(0)).value(QStringLiteral("cmd")).toInt(), 3);
}

void TestWebSocketWidget::testStartPlatformLink_opensDefaultAddressWithApplicationIdentity()
{
    TestPeer peerDefault(10588);
    if (!peerDefault.IsListening()) {
        QSKIP("127.0.0.1:10588 is taken by another program");
    }
    OrbApplication* pApp = OrbApplication::Instance();
    pApp->SetToken(QStringLiteral("tok-app"));
    pApp->StartPlatformLink();
    QVERIFY(peerDefault.WaitFrames(1));
    const QJsonObject qjsonLogin = JsonOf(peerDefault.Frames().at(0));
    QCOMPARE(qjsonLogin.value(QStringLiteral("platform")).toString(), pApp->GetPlatform());
    QCOMPARE(qjsonLogin.value(QStringLiteral("token")).toString(), QStringLiteral("tok-app"));
    QCOMPARE(qjsonLogin.value(QStringLiteral("sender")).toString(), pApp->GetAppBaseName());
}

LUMACAST_TEST_MAIN(TestWebSocketWidget)
#include "test_websocketwidget.moc"
