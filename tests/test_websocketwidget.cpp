// The platform link's envelope, parsing, dispatch and login against a real WebSocket server on
// loopback.
#include "CLS_WebSocketWidget.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QRegularExpression>

namespace {

const QString g_qstrAgentId = QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
const QByteArray g_qbaSignKey = "e5a0c3917f2b48d6a1c04b9e3d27f860";

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

    void testLogin_onConnect_exactCompactEnvelope();
    void testLogin_token_signedWithKeyAndFreshNonce();
    void testLogin_recvSocketID_followsApplication();
    void testLogin_neverConnected_sendsNothing();
    void testPackMsg_param_data();
    void testPackMsg_param();
    void testPackMsg_sameHead_differsOnlyInParam();
    void testParseMsg_data();
    void testParseMsg();
    void testDispatch_unhandled_reEmittedUnchanged_data();
    void testDispatch_unhandled_reEmittedUnchanged();
    void testLoginAnswer_data();
    void testLoginAnswer();
    void testLoginAnswer_success_startAnswerCarriesOwnCommunicationId();
    void testHostileFrames_linkStaysUp_data();
    void testHostileFrames_linkStaysUp();
    void testRepeatedKeys_data();
    void testRepeatedKeys();
    void testPeerCloses_emitsDisconnectedOnce();
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

void TestWebSocketWidget::testLogin_onConnect_exactCompactEnvelope()
{
    const QString qstrLogin = m_fixture.Login();
    const QString qstrExpected =
        QStringLiteral(
            "{\"agentId\":\"%1\",\"clientlist\":[\"TerminalServer\"],\"cmd\":3,\"communicationId\":\"\","
            "\"param\":{\"token\":\"%2\"},\"platform\":\"plat\",\"recvSocketID\":\"\","
            "\"sender\":\"test_websocketwidget\",\"token\":\"token\"}")
            .arg(g_qstrAgentId, LoginToken(qstrLogin));
    QCOMPARE(qstrLogin, qstrExpected);
}

void TestWebSocketWidget::testLogin_token_signedWithKeyAndFreshNonce()
{
    QStringList qstrlstTokens{LoginToken(m_fixture.Login())};
    for (int i = 0; i < 3; ++i) {
        m_fixture.Link()->Login();
    }
    QVERIFY(m_fixture.Peer().WaitFrames(3));
    for (const QString& qstrFrame : qAsConst(m_fixture.Peer().Frames())) {
        QCOMPARE(JsonOf(qstrFrame).value(QStringLiteral("cmd")).toInt(), 3);
        qstrlstTokens.append(LoginToken(qstrFrame));
    }
    QSet<QString> setNonces;
    for (const QString& qstrToken : qAsConst(qstrlstTokens)) {
        QVERIFY2(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$")).match(qstrToken).hasMatch(),
                 qPrintable(qstrToken));
        const QByteArray qbaNonce = qstrToken.left(32).toLatin1();
        QCOMPARE(qstrToken.mid(32).toLatin1(),
                 QCryptographicHash::hash(qbaNonce + g_qbaSignKey, QCryptographicHash::Md5).toHex());
        setNonces.insert(qstrToken.left(32));
    }
    QCOMPARE(setNonces.size(), qstrlstTokens.size());
}

void TestWebSocketWidget::testLogin_recvSocketID_followsApplication()
{
    OrbApplication::Instance()->SetSendSocketID(QStringLiteral("s7"));
    m_fixture.Link()->Login();
    QVERIFY(m_fixture.Peer().WaitFrames(1));
    QCOMPARE(JsonOf(m_fixture.Peer().Frames().at(0)).value(QStringLiteral("recvSocketID")).toString(),
             QStringLiteral("s7"));
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
    QTest::newRow("object") << QStringLiteral("{ \"b\" : 2, \"a\" : \"é\" }")
                            << QStringLiteral("{\"a\":\"é\",\"b\":2}") << false;
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

void TestWebSocketWidget::testPackMsg_sameHead_differsOnlyInParam()
{
    STRUCT_MsgHead structHead = m_fixture.Link()->MakeHead();
    structHead.iCmd = 42;
    structHead.qstrlstClientList = QStringList{QStringLiteral("x"), QStringLiteral("y")};
    QJsonObject qjsonFirst = JsonOf(m_fixture.Link()->PackMsg(QStringLiteral("{\"n\":1}"), structHead));
    QJsonObject qjsonSecond = JsonOf(m_fixture.Link()->PackMsg(QStringLiteral("{\"n\":2}"), structHead));
    QCOMPARE(qjsonFirst.value(QStringLiteral("agentId")).toString(), g_qstrAgentId);
    QVERIFY(qjsonFirst.take(QStringLiteral("param")) != qjsonSecond.take(QStringLiteral("param")));
    QCOMPARE(qjsonFirst, qjsonSecond);
    QCOMPARE(qjsonFirst.value(QStringLiteral("clientlist")).toArray(),
             (QJsonArray{QStringLiteral("x"), QStringLiteral("y")}));
}

void TestWebSocketWidget::testParseMsg_data()
{
    QTest::addColumn<QString>("qstrText");
    QTest::addColumn<int>("iCmd");
    QTest::addColumn<QStringList>("qstrlstClients");
    QTest::addColumn<QString>("qstrCommunicationId");
    QTest::addColumn<QString>("qstrPlatform");
    QTest::addColumn<QString>("qstrParam");
    QTest::newRow("clientlist stops at the first non-string")
        << QStringLiteral("{\"cmd\":5,\"clientlist\":[\"a\",1,\"b\"],\"param\":{\"k\":1}}") << 5
        << QStringList{QStringLiteral("a")} << QString() << QString() << QStringLiteral("{\"k\":1}");
    QTest::newRow("all fields") << QStringLiteral(
                                       "{\"cmd\":2003,\"clientlist\":[\"a\",\"b\"],\"communicationId\":\"c\","
                                       "\"platform\":\"p\",\"param\":{}}")
                                << 2003 << QStringList{QStringLiteral("a"), QStringLiteral("b")}
                                << QStringLiteral("c") << QStringLiteral("p") << QStringLiteral("{}");
    QTest::newRow("cmd as a string") << QStringLiteral("{\"cmd\":\"101\"}") << 0 << QStringList() << QString()
                                     << QString() << QStringLiteral("{}");
    QTest::newRow("cmd not whole") << QStringLiteral("{\"cmd\":101.5}") << 0 << QStringList() << QString()
                                   << QString() << QStringLiteral("{}");
    QTest::newRow("cmd out of range") << QStringLiteral("{\"cmd\":1e300}") << 0 << QStringList() << QString()
                                      << QString() << QStringLiteral("{}");
    QTest::newRow("wrong types") << QStringLiteral("{\"cmd\":null,\"clientlist\":\"a\",\"communicationId\":7,"
                                                   "\"platform\":[\"p\"],\"param\":[1]}")
                                 << 0 << QStringList() << QString() << QString() << QStringLiteral("{}");
    QTest::newRow("not JSON") << QStringLiteral("{\"cmd\":101") << 0 << QStringList() << QString()
                              << QStringLiteral("plat") << QStringLiteral("{}");
    QTest::newRow("array") << QStringLiteral("[{\"cmd\":101}]") << 0 << QStringList() << QString()
                           << QStringLiteral("plat") << QStringLiteral("{}");
}

void TestWebSocketWidget::testParseMsg()
{
    QFETCH(QString, qstrText);
    QFETCH(int, iCmd);
    QFETCH(QStringList, qstrlstClients);
    QFETCH(QString, qstrCommunicationId);
    QFETCH(QString, qstrPlatform);
    QFETCH(QString, qstrParam);
    STRUCT_MsgHead structHead = m_fixture.Link()->MakeHead();
    const QJsonObject qjsonParam = m_fixture.Link()->ParseMsg(qstrText, structHead);
    QCOMPARE(structHead.iCmd, iCmd);
    QCOMPARE(structHead.qstrlstClientList, qstrlstClients);
    QCOMPARE(structHead.qstrCommunicationId, qstrCommunicationId);
    QCOMPARE(structHead.qstrPlatform, qstrPlatform);
    QCOMPARE(qjsonParam, JsonOf(qstrParam));
}

void TestWebSocketWidget::testDispatch_unhandled_reEmittedUnchanged_data()
{
    QTest::addColumn<QString>("qstrText");
    QTest::newRow("not JSON") << QStringLiteral("hello, 世界 {");
    QTest::newRow("cmd 101 as a string")
        << QStringLiteral("{\"cmd\":\"101\",\"token\":\"t\",\"platform\":\"p\","
                          "\"param\":{\"lang\":\"l\",\"skin\":\"s\",\"layout\":\"y\"}}");
    QTest::newRow("unknown cmd") << QStringLiteral("{\"cmd\":42,\"param\":{\"ret\":0}}");
    QTest::newRow("answer code of a request") << QStringLiteral("{\"cmd\":10101}");
    QTest::newRow("array") << QStringLiteral("[2003]");
    QTest::newRow("empty object") << QStringLiteral("{}");
}

void TestWebSocketWidget::testDispatch_unhandled_reEmittedUnchanged()
{
    QFETCH(QString, qstrText);
    QSignalSpy spySuccess(m_fixture.Link(), &CLS_WebSocketWidget::SignLoginSuccess);
    m_fixture.Peer().Send(qstrText);
    QVERIFY(m_fixture.Sync());
    QCOMPARE(m_fixture.Received(), QStringList{qstrText});
    QVERIFY(m_fixture.Peer().Frames().isEmpty());
    QCOMPARE(spySuccess.count(), 0);
}

void TestWebSocketWidget::testLoginAnswer_data()
{
    QTest::addColumn<QString>("qstrText");
    QTest::addColumn<int>("iSuccess");
    QTest::addColumn<QVariantList>("lstFail");
    QTest::newRow("ret 0") << QStringLiteral("{\"cmd\":10003,\"param\":{\"ret\":0}}") << 1 << QVariantList();
    QTest::newRow("ret 5") << QStringLiteral("{\"cmd\":10003,\"param\":{\"ret\":5}}") << 0 << QVariantList{5};
    QTest::newRow("ret -1") << QStringLiteral("{\"cmd\":10003,\"param\":{\"ret\":-1}}") << 0
                            << QVariantList{-1};
    QTest::newRow("no ret") << QStringLiteral("{\"cmd\":10003,\"param\":{}}") << 0 << QVariantList();
    QTest::newRow("no param") << QStringLiteral("{\"cmd\":10003}") << 0 << QVariantList();
    QTest::newRow("ret null") << QStringLiteral("{\"cmd\":10003,\"param\":{\"ret\":null}}") << 1
                              << QVariantList();
}

void TestWebSocketWidget::testLoginAnswer()
{
    QFETCH(QString, qstrText);
    QFETCH(int, iSuccess);
    QFETCH(QVariantList, lstFail);
    QSignalSpy spySuccess(m_fixture.Link(), &CLS_WebSocketWidget::SignLoginSuccess);
    QSignalSpy spyFail(m_fixture.Link(), &CLS_WebSocketWidget::SignLoginFail);
    m_fixture.Peer().Send(qstrText);
    QVERIFY(m_fixture.Sync());
    QCOMPARE(spySuccess.count(), iSuccess);
    if (iSuccess == 1) {
        QCOMPARE(spySuccess.at(0).at(0).toString(), qstrText);
    }
    QCOMPARE(spyFail.count(), lstFail.size());
    if (!lstFail.isEmpty()) {
        QCOMPARE(spyFail.at(0).at(0).toInt(), lstFail.at(0).toInt());
    }
    QVERIFY(m_fixture.Received().isEmpty());
}

// As start-up (and later the main window) wires it: the start answer to a login tells the client
// that launched the program, under the program's own communication ID.
void TestWebSocketWidget::testLoginAnswer_success_startAnswerCarriesOwnCommunicationId()
{
    OrbApplication* pApp = OrbApplication::Instance();
    pApp->SetSendSocketID(QStringLiteral("s5"));
    CLS_WebSocketWidget* pLink = m_fixture.Link();
    connect(pLink, &CLS_WebSocketWidget::SignLoginSuccess, pLink,
            [pLink](const QString& _qstrMsg) { pLink->RespondStartRequest(0, _qstrMsg); });
    m_fixture.Peer().Send(QStringLiteral("{\"cmd\":10003,\"communicationId\":\"cx\",\"platform\":\"p1\","
                                         "\"token\":\"t1\",\"param\":{\"ret\":0}}"));
    QVERIFY(m_fixture.Peer().WaitFrames(1));
    const QJsonObject qjsonAnswer = JsonOf(m_fixture.Peer().Frames().at(0));
    QCOMPARE(qjsonAnswer.value(QStringLiteral("cmd")).toInt(), 10101);
    QCOMPARE(qjsonAnswer.value(QStringLiteral("communicationId")).toString(), pApp->GetCommunicationId());
    QCOMPARE(qjsonAnswer.value(QStringLiteral("platform")).toString(), QStringLiteral("p1"));
    QCOMPARE(qjsonAnswer.value(QStringLiteral("token")).toString(), QStringLiteral("t1"));
    QCOMPARE(qjsonAnswer.value(QStringLiteral("recvSocketID")).toString(), QStringLiteral("s5"));
    QCOMPARE(qjsonAnswer.value(QStringLiteral("clientlist")).toArray(),
             QJsonArray{QStringLiteral("platformClient")});
    QCOMPARE(JsonOf(m_fixture.Peer().Frames().at(0)).value(QStringLiteral("param")).toObject(),
             JsonOf(QStringLiteral("{\"content\":{},\"message\":\"\",\"ret\":0}")));
}

void TestWebSocketWidget::testHostileFrames_linkStaysUp_data()
{
    QTest::addColumn<QString>("qstrText");
    QTest::newRow("deep nesting") << QString(100000, QLatin1Char('[')) + QString(100000, QLatin1Char(']'));
    QTest::newRow("deep nesting in param")
        << QStringLiteral("{\"cmd\":101,\"param\":") + QString(5000, QLatin1Char('[')) + QStringLiteral("}");
    QTest::newRow("NUL characters") << QStringLiteral("{\"cmd\":3,\"param\":{\"token\":\"a\\u0000b\"}}");
    QTest::newRow("huge number") << QStringLiteral("{\"cmd\":10003,\"param\":{\"ret\":1e400}}");
    QTest::newRow("format directives") << QStringLiteral("%s%s%n%x{\"cmd\":%d}");
    QTest::newRow("lone surrogate escape") << QStringLiteral("{\"cmd\":42,\"x\":\"\\ud800\"}");
}

void TestWebSocketWidget::testHostileFrames_linkStaysUp()
{
    QFETCH(QString, qstrText);
    m_fixture.Peer().Send(qstrText);
    QVERIFY(m_fixture.Sync());
    QVERIFY(m_fixture.Peer().Frames().isEmpty());
}

void TestWebSocketWidget::testRepeatedKeys_data()
{
    QTest::addColumn<QString>("qstrText");
    QTest::addColumn<bool>("blRefused");
    QTest::newRow("top level") << QStringLiteral("{\"cmd\":42,\"cmd\":42}") << true;
    QTest::newRow("object values apart")
        << QStringLiteral("{\"cmd\":42,\"a\":{\"x\":1},\"b\":0,\"a\":{\"x\":2}}") << true;
    QTest::newRow("nested") << QStringLiteral("{\"cmd\":42,\"p\":[{\"k\":1,\"k\":2}]}") << true;
    QTest::newRow("escaped spelling") << QStringLiteral("{\"cmd\":42,\"\\u0063md\":42}") << true;
    QTest::newRow("set-user request")
        << QStringLiteral("{\"cmd\":2003,\"param\":{\"user\":\"a\",\"user\":\"b\"}}") << true;
    QTest::newRow("same key in sibling objects")
        << QStringLiteral("{\"cmd\":42,\"a\":{\"k\":1},\"b\":{\"k\":1}}") << false;
    QTest::newRow("same key at two depths")
        << QStringLiteral("{\"cmd\":42,\"a\":{\"b\":{\"c\":1},\"c\":2}}") << false;
    QTest::newRow("keys in texts and arrays")
        << QStringLiteral("{\"cmd\":42,\"a\":[\"k\",\"k\"],\"v\":\"}\\\"k\\\":1,\\\"k\\\":2\",\"w\":\"{\"}")
        << false;
    QTest::newRow("similar keys") << QStringLiteral(
                                         "{\"cmd\":42,\"a\":1,\"A\":2,\"a \":3,\"\\u00e9\":4,\"é \":5}")
                                  << false;
}

// A message naming a key twice in one object is refused whole: nothing is dispatched, answered
// or written.
void TestWebSocketWidget::testRepeatedKeys()
{
    QFETCH(QString, qstrText);
    QFETCH(bool, blRefused);
    const LogTail logTail;
    m_fixture.Peer().Send(qstrText);
    QVERIFY(m_fixture.Sync());
    QCOMPARE(m_fixture.Received().isEmpty(), blRefused);
    QCOMPARE(logTail.NewText().contains(QStringLiteral(" message with a repeated key refused\n")), blRefused);
    QVERIFY(m_fixture.Peer().Frames().isEmpty());
}

void TestWebSocketWidget::testPeerCloses_emitsDisconnectedOnce()
{
    QSignalSpy spyDisconnected(m_fixture.Link(), &CLS_WebSocketWidget::SignDisconnected);
    m_fixture.Peer().Socket()->close();
    QTRY_COMPARE(spyDisconnected.count(), 1);
}

void TestWebSocketWidget::testConnectServer_defaults_data()
{
    QTest::addColumn<QString>("qstrHost");
    QTest::addColumn<int>("iPort");
    QTest::newRow("empty host") << QString() << 1234;
    QTest::newRow("port 0") << QStringLiteral("127.0.0.2") << 0;
    QTest::newRow("both") << QString() << 0;
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
    QVERIFY(peerDefault.WaitConnections(1));
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
