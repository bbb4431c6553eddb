// The platform's start and set-user requests, sent by a real WebSocket peer on loopback. The test
// executable's file carries a suffix, so that the program its base name names in the application
// folder can be the argument recorder: a start request that is taken starts a real process.
#include "CLS_WebSocketWidget.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QJsonArray>
#include <QTemporaryDir>

#include <cstring>

namespace {

QString Compact(const QJsonObject& _qjsonObj)
{
    return JsonToString(_qjsonObj);
}

QString StartRequest(const QString& _qstrSkin, const QString& _qstrLang, const QString& _qstrLayout,
                     const QString& _qstrToken, const QJsonObject& _qjsonExtra = QJsonObject())
{
    QJsonObject qjsonMsg{{QStringLiteral("cmd"), 101},
                         {QStringLiteral("token"), _qstrToken},
                         {QStringLiteral("platform"), QStringLiteral("pl")},
                         {QStringLiteral("communicationId"), QStringLiteral("c1")},
                         {QStringLiteral("param"), QJsonObject{{QStringLiteral("skin"), _qstrSkin},
                                                               {QStringLiteral("lang"), _qstrLang},
                                                               {QStringLiteral("layout"), _qstrLayout}}}};
    for (auto it = _qjsonExtra.begin(); it != _qjsonExtra.end(); ++it) {
        qjsonMsg.insert(it.key(), it.value());
    }
    return Compact(qjsonMsg);
}

STRUCT_StartRequest Block(const QString& _qstrSkin, const QString& _qstrLang, const QString& _qstrLayout,
                          const QString& _qstrToken)
{
    STRUCT_StartRequest structBlock;
    const QString aqstrText[4] = {_qstrSkin, _qstrLang, _qstrLayout, _qstrToken};
    for (int i = 0; i < 4; ++i) {
        const QByteArray qbaText = aqstrText[i].toUtf8();
        std::memcpy(structBlock.aszField[i + 1], qbaText.constData(),
                    std::min<std::size_t>(static_cast<std::size_t>(qbaText.size()), 511));
    }
    return structBlock;
}

bool SameBlock(const STRUCT_StartRequest& _structA, const STRUCT_StartRequest& _structB)
{
    return _structA.ulWord == _structB.ulWord &&
           std::memcmp(_structA.aszField, _structB.aszField, sizeof(_structA.aszField)) == 0;
}

} // namespace

class TestPlatformRequests : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void testStartRequest_failedCheck_logsAndSendsNothing_data();
    void testStartRequest_failedCheck_logsAndSendsNothing();
    void testStartRequest_notAnObject_logsAndSendsNothing();
    void testStartRequest_sameAsStored_answeredAtOnceWithoutProcess();
    void testStartRequest_different_startsCopyThenAnswers();
    void testStartRequest_different_startFails_noAnswer();
    void testStartRequest_longTexts_cutAtCharacterBoundary_data();
    void testStartRequest_longTexts_cutAtCharacterBoundary();
    void testStartRequest_textsOfOtherTypes_readAsEmpty();
    void testStartRequest_sendSocketID_data();
    void testStartRequest_sendSocketID();
    void testSetUserRequest_data();
    void testSetUserRequest();
    void testSetUserRequest_settingsNotWritable_stillAnswersZero();

private:
    QJsonObject AnswerFrame();
    void CheckStartAnswer(const QJsonObject& _qjsonAnswer, const QString& _qstrToken);

    LinkFixture m_fixture;
    QTemporaryDir m_tempDir;
    QString m_qstrRecordFile;
    QString m_qstrChildPath;
};

void TestPlatformRequests::initTestCase()
{
    QVERIFY(m_tempDir.isValid());
    m_qstrRecordFile = m_tempDir.filePath(QStringLiteral("child-arguments"));
    qputenv("LUMACAST_CHILD_RECORD", QFile::encodeName(m_qstrRecordFile));
    OrbApplication* pApp = OrbApplication::Instance();
    m_qstrChildPath = pApp->GetAppDir() + pApp->GetAppBaseName();
    QVERIFY2(m_qstrChildPath != QCoreApplication::applicationFilePath(), "the test must not start itself");
    QVERIFY(QDir().mkpath(QFileInfo(pApp->GetConfigPath()).absolutePath()));
}

void TestPlatformRequests::init()
{
    OrbApplication* pApp = OrbApplication::Instance();
    pApp->SetToken(QStringLiteral("token"));
    pApp->SetSkin(QStringLiteral("skinOne"));
    pApp->SetLanguage(QString());
    pApp->SetSendSocketID(QStringLiteral("s0"));
    pApp->SetStartRequest(STRUCT_StartRequest());
    QFile::remove(pApp->GetConfigPath());
    QFile::remove(m_qstrRecordFile);
    QFile::remove(m_qstrChildPath);
    QVERIFY(QFile::copy(QStringLiteral(LUMACAST_CHILD_RECORDER), m_qstrChildPath));
    QVERIFY(m_fixture.Open());
}

void TestPlatformRequests::cleanup()
{
    m_fixture.Close();
    QFile::remove(m_qstrChildPath);
}

QJsonObject TestPlatformRequests::AnswerFrame()
{
    if (!m_fixture.Peer().WaitFrames(1)) {
        return QJsonObject();
    }
    return JsonOf(m_fixture.Peer().Frames().takeFirst());
}

void TestPlatformRequests::CheckStartAnswer(const QJsonObject& _qjsonAnswer, const QString& _qstrToken)
{
    const QJsonObject qjsonExpected{
        {QStringLiteral("agentId"), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e")},
        {QStringLiteral("clientlist"), QJsonArray{QStringLiteral("platformClient")}},
        {QStringLiteral("cmd"), 10101},
        {QStringLiteral("communicationId"), QStringLiteral("c1")},
        {QStringLiteral("param"), QJsonObject{{QStringLiteral("content"), QJsonObject()},
                                              {QStringLiteral("message"), QString()},
                                              {QStringLiteral("ret"), 0}}},
        {QStringLiteral("platform"), QStringLiteral("pl")},
        {QStringLiteral("recvSocketID"), OrbApplication::Instance()->GetSendSocketID()},
        {QStringLiteral("sender"), OrbApplication::Instance()->GetAppBaseName()},
        {QStringLiteral("token"), _qstrToken}};
    QCOMPARE(_qjsonAnswer, qjsonExpected);
}

void TestPlatformRequests::testStartRequest_failedCheck_logsAndSendsNothing_data()
{
    QTest::addColumn<QString>("qstrText");
    QTest::addColumn<QString>("qstrLog");
    const QString qstrParam = QStringLiteral("\"param\":{\"lang\":\"l\",\"skin\":\"s\",\"layout\":\"y\"}");
    const QString qstrHead = QStringLiteral("{\"cmd\":101,\"sendSocketID\":\"s1\",");
    QTest::newRow("no param") << qstrHead + QStringLiteral("\"token\":\"t\",\"platform\":\"p\"}")
                              << QStringLiteral("!_qjsonMsg.contains(param)");
    QTest::newRow("no token") << qstrHead + QStringLiteral("\"platform\":\"p\",") + qstrParam +
                                     QStringLiteral("}")
                              << QStringLiteral("!_qjsonMsg.contains(token)");
    QTest::newRow("token a number") << qstrHead + QStringLiteral("\"token\":5,\"platform\":\"p\",") +
                                           qstrParam + QStringLiteral("}")
                                    << QStringLiteral("!qjsonValToken.isString()");
    QTest::newRow("token null") << qstrHead + QStringLiteral("\"token\":null,\"platform\":\"p\",") +
                                       qstrParam + QStringLiteral("}")
                                << QStringLiteral("!qjsonValToken.isString()");
    QTest::newRow("no platform") << qstrHead + QStringLiteral("\"token\":\"t\",") + qstrParam +
                                        QStringLiteral("}")
                                 << QStringLiteral("!qjsonValPlatform.isString()");
    QTest::newRow("platform an array") << qstrHead + QStringLiteral("\"token\":\"t\",\"platform\":[\"p\"],") +
                                              qstrParam + QStringLiteral("}")
                                       << QStringLiteral("!qjsonValPlatform.isString()");
    QTest::newRow("param an array") << qstrHead +
                                           QStringLiteral(
                                               "\"token\":\"t\",\"platform\":\"p\",\"param\":[\"lang\"]}")
                                    << QStringLiteral("!qjsonValueParam.isObject()");
    QTest::newRow("param a text") << qstrHead +
                                         QStringLiteral("\"token\":\"t\",\"platform\":\"p\",\"param\":\"x\"}")
                                  << QStringLiteral("!qjsonValueParam.isObject()");
    QTest::newRow("no lang") << qstrHead + QStringLiteral("\"token\":\"t\",\"platform\":\"p\","
                                                          "\"param\":{\"skin\":\"s\",\"layout\":\"y\"}}")
                             << QStringLiteral("!qjsonObj.contains(lang)");
    QTest::newRow("no skin") << qstrHead + QStringLiteral("\"token\":\"t\",\"platform\":\"p\","
                                                          "\"param\":{\"lang\":\"l\",\"layout\":\"y\"}}")
                             << QStringLiteral("!qjsonObj.contains(skin)");
    QTest::newRow("no layout") << qstrHead + QStringLiteral("\"token\":\"t\",\"platform\":\"p\","
                                                            "\"param\":{\"lang\":\"l\",\"skin\":\"s\"}}")
                               << QStringLiteral("!qjsonObj.contains(layout)");
}

void TestPlatformRequests::testStartRequest_failedCheck_logsAndSendsNothing()
{
    QFETCH(QString, qstrText);
    QFETCH(QString, qstrLog);
    const LogTail logTail;
    m_fixture.Peer().Send(qstrText);
    QVERIFY(m_fixture.Sync());
    const QString qstrNewLog = logTail.NewText();
    QVERIFY2(qstrNewLog.contains(QStringLiteral("L2 CLS_WebSocketWidgetRequests.cpp:")),
             qPrintable(qstrNewLog));
    QCOMPARE(qstrNewLog.count(QLatin1Char('!')), 1);
    QVERIFY2(qstrNewLog.contains(QLatin1Char(' ') + qstrLog + QLatin1Char('\n')), qPrintable(qstrNewLog));
    QVERIFY(m_fixture.Peer().Frames().isEmpty());
    QVERIFY(!qstrNewLog.contains(QStringLiteral("WinStartUp")));
    QCOMPARE(OrbApplication::Instance()->GetSendSocketID(), QStringLiteral("s0"));
    QVERIFY(SameBlock(OrbApplication::Instance()->GetStartRequest(), STRUCT_StartRequest()));
}

void TestPlatformRequests::testStartRequest_notAnObject_logsAndSendsNothing()
{
    const LogTail logTail;
    m_fixture.Link()->HandleStartRequest(m_fixture.Link()->MakeHead(), QStringLiteral("[101]"));
    QVERIFY(logTail.NewText().contains(QStringLiteral(" !qjsonDoc.isObject()\n")));
    const LogTail logTailNotJson;
    m_fixture.Link()->HandleStartRequest(m_fixture.Link()->MakeHead(), QStringLiteral("{\"cmd\":101"));
    QVERIFY(!logTailNotJson.NewText().contains(QLatin1Char('!')));
    QVERIFY(m_fixture.Sync());
    QVERIFY(m_fixture.Peer().Frames().isEmpty());
}

void TestPlatformRequests::testStartRequest_sameAsStored_answeredAtOnceWithoutProcess()
{
    OrbApplication* pApp = OrbApplication::Instance();
    const STRUCT_StartRequest structStored =
        Block(QStringLiteral("skinTwo"), QStringLiteral("en"), QStringLiteral("L1"), QStringLiteral("tokA"));
    pApp->SetStartRequest(structStored);
    const LogTail logTail;
    m_fixture.Peer().Send(StartRequest(QStringLiteral("skinTwo"), QStringLiteral("en"), QStringLiteral("L1"),
                                       QStringLiteral("tokA"),
                                       {{QStringLiteral("sendSocketID"), QStringLiteral("s1")}}));
    CheckStartAnswer(AnswerFrame(), QStringLiteral("tokA"));
    QCOMPARE(pApp->GetToken(), QStringLiteral("tokA"));
    QCOMPARE(pApp->GetLanguage(), QStringLiteral("en"));
    QCOMPARE(pApp->GetSkin(), QStringLiteral("skinTwo"));
    QCOMPARE(pApp->GetSendSocketID(), QStringLiteral("s1"));
    QVERIFY(SameBlock(pApp->GetStartRequest(), structStored));
    QVERIFY(!logTail.NewText().contains(QStringLiteral("WinStartUp")));
    QVERIFY(!QFile::exists(m_qstrRecordFile));
}

void TestPlatformRequests::testStartRequest_different_startsCopyThenAnswers()
{
    OrbApplication* pApp = OrbApplication::Instance();
    const QString qstrRequest = StartRequest(QStringLiteral("皮肤二"), QStringLiteral("zh_CN"),
                                             QStringLiteral("布局 1"), QStringLiteral("tök€n😀"));
    m_fixture.Peer().Send(qstrRequest);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_qstrRecordFile), 10000);
    const QList<QByteArray> lstArgs = RecordedArguments(m_qstrRecordFile);
    QCOMPARE(lstArgs.size(), 3);
    QCOMPARE(lstArgs.at(1), pApp->GetAppBaseName().toUtf8());
    QCOMPARE(lstArgs.at(2), qstrRequest.toUtf8());
    CheckStartAnswer(AnswerFrame(), QStringLiteral("tök€n😀"));
    // The new copy acts on the request; this one keeps what it had.
    QCOMPARE(pApp->GetToken(), QStringLiteral("token"));
    QCOMPARE(pApp->GetSkin(), QStringLiteral("skinOne"));
    QVERIFY(SameBlock(pApp->GetStartRequest(), STRUCT_StartRequest()));
}

void TestPlatformRequests::testStartRequest_different_startFails_noAnswer()
{
    QVERIFY(QFile::remove(m_qstrChildPath));
    const LogTail logTail;
    m_fixture.Peer().Send(StartRequest(QStringLiteral("skinTwo"), QStringLiteral("en"), QStringLiteral("L1"),
                                       QStringLiteral("tokA")));
    QVERIFY(m_fixture.Sync());
    QVERIFY(m_fixture.Peer().Frames().isEmpty());
    QVERIFY(logTail.NewText().contains(QStringLiteral("WinStartUp::program = ") + m_qstrChildPath));
    QCOMPARE(OrbApplication::Instance()->GetToken(), QStringLiteral("token"));
}

void TestPlatformRequests::testStartRequest_longTexts_cutAtCharacterBoundary_data()
{
    QTest::addColumn<QString>("qstrSent");
    QTest::addColumn<QString>("qstrKept");
    const QString qstrHan = QStringLiteral("中");  // 3 bytes
    const QString qstrEmoji = QStringLiteral("😀"); // 4 bytes
    QTest::newRow("ASCII over the limit") << QString(600, QLatin1Char('a')) << QString(511, QLatin1Char('a'));
    QTest::newRow("ASCII at the limit") << QString(511, QLatin1Char('b')) << QString(511, QLatin1Char('b'));
    QTest::newRow("3-byte characters") << qstrHan.repeated(200) << qstrHan.repeated(170);
    QTest::newRow("3-byte characters ending at the limit")
        << QStringLiteral("a") + qstrHan.repeated(200) << QStringLiteral("a") + qstrHan.repeated(170);
    QTest::newRow("3-byte character across the limit")
        << QStringLiteral("ab") + qstrHan.repeated(200) << QStringLiteral("ab") + qstrHan.repeated(169);
    QTest::newRow("4-byte characters") << qstrEmoji.repeated(200) << qstrEmoji.repeated(127);
    QTest::newRow("2-byte characters")
        << QStringLiteral("é").repeated(300) << QStringLiteral("é").repeated(255);
}

// A taken request is stored cut to the field; the stored texts must stay whole characters, so a
// block holding the cut texts matches the same request again.
void TestPlatformRequests::testStartRequest_longTexts_cutAtCharacterBoundary()
{
    QFETCH(QString, qstrSent);
    QFETCH(QString, qstrKept);
    OrbApplication* pApp = OrbApplication::Instance();
    pApp->SetStartRequest(Block(qstrKept, QStringLiteral("en"), QStringLiteral("L"), qstrKept));
    QVERIFY(QFile::remove(m_qstrChildPath));
    m_fixture.Peer().Send(StartRequest(qstrSent, QStringLiteral("en"), QStringLiteral("L"), qstrSent));
    QVERIFY(m_fixture.Sync());
    QCOMPARE(m_fixture.Peer().Frames().size(), 1);
    QCOMPARE(pApp->GetSkin(), qstrKept);
    QCOMPARE(pApp->GetToken(), qstrKept);
}

// "lang", "skin" and "layout" must be there, but a value that is not a text counts as empty: such
// a request matches a block whose fields are empty and is answered at once.
void TestPlatformRequests::testStartRequest_textsOfOtherTypes_readAsEmpty()
{
    OrbApplication* pApp = OrbApplication::Instance();
    pApp->SetStartRequest(Block(QString(), QString(), QString(), QStringLiteral("tokA")));
    QVERIFY(QFile::remove(m_qstrChildPath));
    m_fixture.Peer().Send(
        QStringLiteral("{\"cmd\":101,\"token\":\"tokA\",\"platform\":\"pl\",\"communicationId\":\"c1\","
                       "\"param\":{\"lang\":5,\"skin\":null,\"layout\":{\"a\":\"b\"}}}"));
    CheckStartAnswer(AnswerFrame(), QStringLiteral("tokA"));
    QCOMPARE(pApp->GetSkin(), QString());
    QCOMPARE(pApp->GetLanguage(), QString());
}

void TestPlatformRequests::testStartRequest_sendSocketID_data()
{
    QTest::addColumn<QJsonValue>("qjsonSocketId");
    QTest::addColumn<QString>("qstrAfter");
    QTest::newRow("text") << QJsonValue(QStringLiteral("s1")) << QStringLiteral("s1");
    QTest::newRow("number") << QJsonValue(7) << QStringLiteral("s0");
    QTest::newRow("null") << QJsonValue(QJsonValue::Null) << QStringLiteral("s0");
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << QStringLiteral("s0");
}

// The socket ID of a request that passes the checks is taken whatever happens next, and every
// later message names it as receiver.
void TestPlatformRequests::testStartRequest_sendSocketID()
{
    QFETCH(QJsonValue, qjsonSocketId);
    QFETCH(QString, qstrAfter);
    QJsonObject qjsonExtra;
    if (!qjsonSocketId.isUndefined()) {
        qjsonExtra.insert(QStringLiteral("sendSocketID"), qjsonSocketId);
    }
    m_fixture.Peer().Send(StartRequest(QString(), QString(), QString(), QString(), qjsonExtra));
    const QJsonObject qjsonAnswer = AnswerFrame();
    QCOMPARE(qjsonAnswer.value(QStringLiteral("recvSocketID")).toString(), qstrAfter);
    QCOMPARE(OrbApplication::Instance()->GetSendSocketID(), qstrAfter);
    m_fixture.Link()->Login();
    QCOMPARE(AnswerFrame().value(QStringLiteral("recvSocketID")).toString(), qstrAfter);
}

void TestPlatformRequests::testSetUserRequest_data()
{
    QTest::addColumn<QString>("qstrConfig");
    QTest::addColumn<QString>("qstrParam");
    QTest::addColumn<QString>("qstrExpected");
    QTest::newRow("other keys kept")
        << QStringLiteral("{\"hostInfo\":{\"port\":8000,\"user\":\"b2xk\",\"supportModify\":true,\"x\":[1]},"
                          "\"skin\":\"skinTwo\",\"chInfo\":[{\"chNo\":0}]}")
        << QStringLiteral("{\"user\":\"dXNlcg==\",\"password\":\"cGFzcw==\"}")
        << QStringLiteral(
               "{\"hostInfo\":{\"port\":8000,\"user\":\"dXNlcg==\",\"password\":\"cGFzcw==\","
               "\"supportModify\":false,\"x\":[1]},\"skin\":\"skinTwo\",\"chInfo\":[{\"chNo\":0}]}");
    QTest::newRow("defaultLogin array removed")
        << QStringLiteral("{\"hostInfo\":{\"defaultLogin\":[1]}}")
        << QStringLiteral("{\"user\":\"u\",\"password\":\"p\"}")
        << QStringLiteral("{\"hostInfo\":{\"user\":\"u\",\"password\":\"p\",\"supportModify\":false}}");
    QTest::newRow("defaultLogin true kept")
        << QStringLiteral("{\"hostInfo\":{\"defaultLogin\":true}}")
        << QStringLiteral("{\"user\":\"u\",\"password\":\"p\"}")
        << QStringLiteral("{\"hostInfo\":{\"defaultLogin\":true,\"user\":\"u\",\"password\":\"p\","
                          "\"supportModify\":false}}");
    QTest::newRow("defaultLogin object kept")
        << QStringLiteral("{\"hostInfo\":{\"defaultLogin\":{\"a\":[1]}}}")
        << QStringLiteral("{\"user\":\"u\",\"password\":\"p\"}")
        << QStringLiteral("{\"hostInfo\":{\"defaultLogin\":{\"a\":[1]},\"user\":\"u\",\"password\":\"p\","
                          "\"supportModify\":false}}");
    QTest::newRow("no settings file")
        << QString() << QStringLiteral("{\"user\":\"u\",\"password\":\"p\"}")
        << QStringLiteral("{\"hostInfo\":{\"user\":\"u\",\"password\":\"p\",\"supportModify\":false}}");
    QTest::newRow("settings not JSON")
        << QStringLiteral("{\"hostInfo\":") << QStringLiteral("{\"user\":\"u\",\"password\":\"p\"}")
        << QStringLiteral("{\"hostInfo\":{\"user\":\"u\",\"password\":\"p\",\"supportModify\":false}}");
    QTest::newRow("hostInfo not an object")
        << QStringLiteral("{\"hostInfo\":5,\"skin\":\"skinOne\"}")
        << QStringLiteral("{\"user\":\"u\",\"password\":\"p\"}")
        << QStringLiteral("{\"hostInfo\":{\"user\":\"u\",\"password\":\"p\",\"supportModify\":false},"
                          "\"skin\":\"skinOne\"}");
    QTest::newRow("param missing")
        << QStringLiteral("{\"hostInfo\":{\"port\":1}}") << QString()
        << QStringLiteral(
               "{\"hostInfo\":{\"port\":1,\"user\":\"\",\"password\":\"\",\"supportModify\":false}}");
    QTest::newRow("wrong types and non-ASCII")
        << QStringLiteral("{}") << QStringLiteral("{\"user\":5,\"password\":\"密码 ü\"}")
        << QStringLiteral("{\"hostInfo\":{\"user\":\"\",\"password\":\"密码 ü\",\"supportModify\":false}}");
}

void TestPlatformRequests::testSetUserRequest()
{
    QFETCH(QString, qstrConfig);
    QFETCH(QString, qstrParam);
    QFETCH(QString, qstrExpected);
    OrbApplication* pApp = OrbApplication::Instance();
    if (!qstrConfig.isNull()) {
        QFile qfileConfig(pApp->GetConfigPath());
        QVERIFY(qfileConfig.open(QIODevice::WriteOnly));
        qfileConfig.write(qstrConfig.toUtf8());
    }
    QString qstrRequest =
        QStringLiteral("{\"cmd\":2003,\"platform\":\"pl\",\"token\":\"tk\",\"communicationId\":\"c9\"");
    if (!qstrParam.isEmpty()) {
        qstrRequest += QStringLiteral(",\"param\":") + qstrParam;
    }
    qstrRequest += QLatin1Char('}');
    m_fixture.Peer().Send(qstrRequest);
    const QJsonObject qjsonAnswer = AnswerFrame();
    const QJsonObject qjsonExpected{
        {QStringLiteral("agentId"), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e")},
        {QStringLiteral("clientlist"), QJsonArray{QStringLiteral("platformClient")}},
        {QStringLiteral("cmd"), 12003},
        {QStringLiteral("communicationId"), QString()},
        {QStringLiteral("param"), QJsonObject{{QStringLiteral("ret"), 0}}},
        {QStringLiteral("platform"), QStringLiteral("pl")},
        {QStringLiteral("recvSocketID"), QString()},
        {QStringLiteral("sender"), pApp->GetAppBaseName()},
        {QStringLiteral("token"), QStringLiteral("tk")}};
    QCOMPARE(qjsonAnswer, qjsonExpected);
    QCOMPARE(ReadJsonFile(pApp->GetConfigPath()), JsonOf(qstrExpected));
}

// A settings file that cannot be replaced (here a folder stands in its place) is logged; the
// platform still gets its answer.
void TestPlatformRequests::testSetUserRequest_settingsNotWritable_stillAnswersZero()
{
    const QString qstrConfig = OrbApplication::Instance()->GetConfigPath();
    QVERIFY(QDir().mkpath(qstrConfig));
    const LogTail logTail;
    m_fixture.Peer().Send(QStringLiteral("{\"cmd\":2003,\"param\":{\"user\":\"u\",\"password\":\"p\"}}"));
    const QJsonObject qjsonAnswer = AnswerFrame();
    QVERIFY(QDir(qstrConfig).removeRecursively());
    QCOMPARE(qjsonAnswer.value(QStringLiteral("cmd")).toInt(), 12003);
    QCOMPARE(qjsonAnswer.value(QStringLiteral("param")).toObject(),
             (QJsonObject{{QStringLiteral("ret"), 0}}));
    QVERIFY(logTail.NewText().contains(QStringLiteral("L3 PublicCommonFun.cpp:")));
}

LUMACAST_TEST_MAIN(TestPlatformRequests)
#include "test_platformrequests.moc"
