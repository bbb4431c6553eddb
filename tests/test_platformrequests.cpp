// The platform's start and set-user requests, sent by a real WebSocket peer on loopback. The test
// executable's file carries a suffix, so that the program its base name names in the application
// folder can be the argument recorder: a start request that is taken starts a real process.
#include "CLS_WebSocketWidget.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QTemporaryDir>

#include <cstring>

namespace {

// A start request from platform "pl" as communication "c1"; _qstrExtra goes in front of the other
// fields.
QString StartRequest(const QString& _qstrSkin, const QString& _qstrLang, const QString& _qstrLayout,
                     const QString& _qstrToken, const QString& _qstrExtra = QString())
{
    return QStringLiteral(R"({%1"cmd":101,"token":"%2","platform":"pl","communicationId":"c1",)"
                          R"("param":{"skin":"%3","lang":"%4","layout":"%5"}})")
        .arg(_qstrExtra, _qstrToken, _qstrSkin, _qstrLang, _qstrLayout);
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
    void testStartRequest_different_data();
    void testStartRequest_different();
    void testStartRequest_matchingStored_data();
    void testStartRequest_matchingStored();
    void testStartRequest_sendSocketID_data();
    void testStartRequest_sendSocketID();
    void testSetUserRequest_data();
    void testSetUserRequest();
    void testSetUserRequest_settingsNotWritable_answersFailure();

private:
    QJsonObject AnswerFrame();
    void CheckStartAnswer(const QString& _qstrToken);

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

// Waits for the answer to a start request made by StartRequest() and checks it whole.
void TestPlatformRequests::CheckStartAnswer(const QString& _qstrToken)
{
    const QJsonObject qjsonAnswer = AnswerFrame();
    const OrbApplication* pApp = OrbApplication::Instance();
    QCOMPARE(qjsonAnswer,
             JsonOf(QStringLiteral(
                        R"({"agentId":"d41d8cd98f00b204e9800998ecf8427e","clientlist":["platformClient"],)"
                        R"("cmd":10101,"communicationId":"c1","param":{"content":{},"message":"","ret":0},)"
                        R"("platform":"pl","recvSocketID":"%1","sender":"%2","token":"%3"})")
                        .arg(pApp->GetSendSocketID(), pApp->GetAppBaseName(), _qstrToken)));
}

void TestPlatformRequests::testStartRequest_failedCheck_logsAndSendsNothing_data()
{
    QTest::addColumn<QString>("qstrText");
    QTest::addColumn<QString>("qstrLog"); // empty: dropped without a log line
    const auto AddRow = [](const char* _pcName, const QString& _qstrFields, const char* _pcLog) {
        QTest::newRow(_pcName) << QStringLiteral(R"({"cmd":101,"sendSocketID":"s1",)") + _qstrFields +
                                      QLatin1Char('}')
                               << QString::fromLatin1(_pcLog);
    };
    const QString qstrParam = QStringLiteral(R"("param":{"lang":"l","skin":"s","layout":"y"})");
    QTest::newRow("not JSON") << QStringLiteral(R"({"cmd":101)") << QString();
    QTest::newRow("array") << QStringLiteral("[101]") << QStringLiteral("!qjsonDoc.isObject()");
    AddRow("no param", QStringLiteral(R"("token":"t","platform":"p")"), "!_qjsonMsg.contains(param)");
    AddRow("no token", QStringLiteral(R"("platform":"p",)") + qstrParam, "!_qjsonMsg.contains(token)");
    AddRow("token null", QStringLiteral(R"("token":null,"platform":"p",)") + qstrParam,
           "!qjsonValToken.isString()");
    AddRow("no platform", QStringLiteral(R"("token":"t",)") + qstrParam, "!qjsonValPlatform.isString()");
    AddRow("param a text", QStringLiteral(R"("token":"t","platform":"p","param":"x")"),
           "!qjsonValueParam.isObject()");
    AddRow("no lang", QStringLiteral(R"("token":"t","platform":"p","param":{"skin":"s","layout":"y"})"),
           "!qjsonObj.contains(lang)");
    AddRow("no skin", QStringLiteral(R"("token":"t","platform":"p","param":{"lang":"l","layout":"y"})"),
           "!qjsonObj.contains(skin)");
    AddRow("no layout", QStringLiteral(R"("token":"t","platform":"p","param":{"lang":"l","skin":"s"})"),
           "!qjsonObj.contains(layout)");
}

// Handed to the handler directly: texts that are no object never reach it through dispatch.
void TestPlatformRequests::testStartRequest_failedCheck_logsAndSendsNothing()
{
    QFETCH(QString, qstrText);
    QFETCH(QString, qstrLog);
    const LogTail logTail;
    m_fixture.Link()->HandleStartRequest(m_fixture.Link()->MakeHead(), qstrText);
    QVERIFY(m_fixture.Sync());
    const QString qstrNewLog = logTail.NewText();
    QCOMPARE(qstrNewLog.count(QLatin1Char('!')), qstrLog.isEmpty() ? 0 : 1);
    if (!qstrLog.isEmpty()) {
        QVERIFY2(qstrNewLog.contains(QStringLiteral("L2 CLS_WebSocketWidgetRequests.cpp:")),
                 qPrintable(qstrNewLog));
        QVERIFY2(qstrNewLog.contains(QLatin1Char(' ') + qstrLog + QLatin1Char('\n')), qPrintable(qstrNewLog));
    }
    QVERIFY(m_fixture.Peer().Frames().isEmpty());
    QVERIFY(!qstrNewLog.contains(QStringLiteral("WinStartUp")));
    QCOMPARE(OrbApplication::Instance()->GetSendSocketID(), QStringLiteral("s0"));
    QVERIFY(SameBlock(OrbApplication::Instance()->GetStartRequest(), STRUCT_StartRequest()));
}

void TestPlatformRequests::testStartRequest_different_data()
{
    QTest::addColumn<bool>("blStarts");
    QTest::newRow("program starts") << true;
    QTest::newRow("program missing") << false;
}

// A request with other settings is left to a fresh copy of the program, and answered only when
// that copy started; this copy keeps what it had.
void TestPlatformRequests::testStartRequest_different()
{
    QFETCH(bool, blStarts);
    if (!blStarts) {
        QVERIFY(QFile::remove(m_qstrChildPath));
    }
    OrbApplication* pApp = OrbApplication::Instance();
    const LogTail logTail;
    const QString qstrRequest = StartRequest(QStringLiteral("皮肤二"), QStringLiteral("zh_CN"),
                                             QStringLiteral("布局 1"), QStringLiteral("tök€n😀"));
    m_fixture.Peer().Send(qstrRequest);
    if (blStarts) {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_qstrRecordFile), 10000);
        const QList<QByteArray> lstArgs = RecordedArguments(m_qstrRecordFile);
        QCOMPARE(lstArgs.size(), 3);
        QCOMPARE(lstArgs.at(1), pApp->GetAppBaseName().toUtf8());
        QCOMPARE(lstArgs.at(2), qstrRequest.toUtf8());
        CheckStartAnswer(QStringLiteral("tök€n😀"));
    } else {
        QVERIFY(m_fixture.Sync());
        QVERIFY(m_fixture.Peer().Frames().isEmpty());
    }
    QVERIFY(logTail.NewText().contains(QStringLiteral("WinStartUp::program = ") + m_qstrChildPath));
    QCOMPARE(pApp->GetToken(), QStringLiteral("token"));
    QCOMPARE(pApp->GetSkin(), QStringLiteral("skinOne"));
    QVERIFY(SameBlock(pApp->GetStartRequest(), STRUCT_StartRequest()));
}

void TestPlatformRequests::testStartRequest_matchingStored_data()
{
    QTest::addColumn<QString>("qstrRequest");
    QTest::addColumn<QString>("qstrSkin"); // with the next three: the stored block, and what is taken
    QTest::addColumn<QString>("qstrLang");
    QTest::addColumn<QString>("qstrLayout");
    QTest::addColumn<QString>("qstrToken");
    QTest::newRow("same texts") << StartRequest(QStringLiteral("skinTwo"), QStringLiteral("en"),
                                                QStringLiteral("L1"), QStringLiteral("tokA"))
                                << QStringLiteral("skinTwo") << QStringLiteral("en") << QStringLiteral("L1")
                                << QStringLiteral("tokA");
    // "lang", "skin" and "layout" must be there, but a value that is not a text counts as empty.
    QTest::newRow("texts of other types read as empty")
        << QStringLiteral(R"({"cmd":101,"token":"tokA","platform":"pl","communicationId":"c1",)"
                          R"("param":{"lang":5,"skin":null,"layout":{"a":"b"}}})")
        << QString() << QString() << QString() << QStringLiteral("tokA");
    // Texts are stored cut to the field, at a character boundary, so the cut texts match again.
    const auto AddCut = [](const char* _pcName, const QString& _qstrSent, const QString& _qstrKept) {
        QTest::newRow(_pcName) << StartRequest(_qstrSent, QStringLiteral("en"), QStringLiteral("L"),
                                               _qstrSent)
                               << _qstrKept << QStringLiteral("en") << QStringLiteral("L") << _qstrKept;
    };
    const QString qstrHan = QStringLiteral("中");  // 3 bytes
    const QString qstrEmoji = QStringLiteral("😀"); // 4 bytes
    AddCut("ASCII over the limit", QString(600, QLatin1Char('a')), QString(511, QLatin1Char('a')));
    AddCut("ASCII at the limit", QString(511, QLatin1Char('b')), QString(511, QLatin1Char('b')));
    AddCut("3-byte characters", qstrHan.repeated(200), qstrHan.repeated(170));
    AddCut("3-byte characters ending at the limit", QStringLiteral("a") + qstrHan.repeated(200),
           QStringLiteral("a") + qstrHan.repeated(170));
    AddCut("3-byte character across the limit", QStringLiteral("ab") + qstrHan.repeated(200),
           QStringLiteral("ab") + qstrHan.repeated(169));
    AddCut("4-byte characters", qstrEmoji.repeated(200), qstrEmoji.repeated(127));
    AddCut("2-byte characters", QStringLiteral("é").repeated(300), QStringLiteral("é").repeated(255));
}

// A request equal to the stored block is answered at once, without a new process, and its
// settings are taken.
void TestPlatformRequests::testStartRequest_matchingStored()
{
    QFETCH(QString, qstrRequest);
    QFETCH(QString, qstrSkin);
    QFETCH(QString, qstrLang);
    QFETCH(QString, qstrLayout);
    QFETCH(QString, qstrToken);
    OrbApplication* pApp = OrbApplication::Instance();
    const STRUCT_StartRequest structStored = Block(qstrSkin, qstrLang, qstrLayout, qstrToken);
    pApp->SetStartRequest(structStored);
    const LogTail logTail;
    m_fixture.Peer().Send(qstrRequest);
    CheckStartAnswer(JsonOf(qstrRequest).value(QStringLiteral("token")).toString());
    QCOMPARE(pApp->GetSkin(), qstrSkin);
    QCOMPARE(pApp->GetLanguage(), qstrLang);
    QCOMPARE(pApp->GetToken(), qstrToken);
    QVERIFY(SameBlock(pApp->GetStartRequest(), structStored));
    QVERIFY(!logTail.NewText().contains(QStringLiteral("WinStartUp")));
    QVERIFY(!QFile::exists(m_qstrRecordFile));
}

void TestPlatformRequests::testStartRequest_sendSocketID_data()
{
    QTest::addColumn<QString>("qstrSocketId");
    QTest::addColumn<QString>("qstrAfter");
    QTest::newRow("text") << QStringLiteral(R"("sendSocketID":"s1",)") << QStringLiteral("s1");
    QTest::newRow("number") << QStringLiteral(R"("sendSocketID":7,)") << QStringLiteral("s0");
    QTest::newRow("missing") << QString() << QStringLiteral("s0");
}

// The socket ID of a request that passes the checks is taken whatever happens next, and every
// later message names it as receiver.
void TestPlatformRequests::testStartRequest_sendSocketID()
{
    QFETCH(QString, qstrSocketId);
    QFETCH(QString, qstrAfter);
    m_fixture.Peer().Send(StartRequest(QString(), QString(), QString(), QString(), qstrSocketId));
    QCOMPARE(AnswerFrame().value(QStringLiteral("recvSocketID")).toString(), qstrAfter);
    QCOMPARE(OrbApplication::Instance()->GetSendSocketID(), qstrAfter);
    m_fixture.Link()->Login();
    QCOMPARE(AnswerFrame().value(QStringLiteral("recvSocketID")).toString(), qstrAfter);
}

void TestPlatformRequests::testSetUserRequest_data()
{
    QTest::addColumn<QString>("qstrConfig");
    QTest::addColumn<QString>("qstrParam");
    QTest::addColumn<QString>("qstrExpected");
    const QString qstrUserParam = QStringLiteral(R"(,"param":{"user":"u","password":"p"})");
    const QString qstrUserHost =
        QStringLiteral(R"({"hostInfo":{"user":"u","password":"p","supportModify":false}})");
    QTest::newRow("other keys kept")
        << QStringLiteral(R"({"hostInfo":{"port":8000,"user":"b2xk","supportModify":true,"x":[1]},)"
                          R"("skin":"skinTwo","chInfo":[{"chNo":0}]})")
        << QStringLiteral(R"(,"param":{"user":"dXNlcg==","password":"cGFzcw=="})")
        << QStringLiteral(R"({"hostInfo":{"port":8000,"user":"dXNlcg==","password":"cGFzcw==",)"
                          R"("supportModify":false,"x":[1]},"skin":"skinTwo","chInfo":[{"chNo":0}]})");
    QTest::newRow("defaultLogin array removed")
        << QStringLiteral(R"({"hostInfo":{"defaultLogin":[1]}})") << qstrUserParam << qstrUserHost;
    QTest::newRow("defaultLogin true kept")
        << QStringLiteral(R"({"hostInfo":{"defaultLogin":true}})") << qstrUserParam
        << QStringLiteral(
               R"({"hostInfo":{"defaultLogin":true,"user":"u","password":"p","supportModify":false}})");
    QTest::newRow("defaultLogin object kept")
        << QStringLiteral(R"({"hostInfo":{"defaultLogin":{"a":[1]}}})") << qstrUserParam
        << QStringLiteral(
               R"({"hostInfo":{"defaultLogin":{"a":[1]},"user":"u","password":"p","supportModify":false}})");
    QTest::newRow("no settings file") << QString() << qstrUserParam << qstrUserHost;
    QTest::newRow("settings not JSON") << QStringLiteral(R"({"hostInfo":)") << qstrUserParam << qstrUserHost;
    QTest::newRow("hostInfo not an object")
        << QStringLiteral(R"({"hostInfo":5,"skin":"skinOne"})") << qstrUserParam
        << QStringLiteral(
               R"({"hostInfo":{"user":"u","password":"p","supportModify":false},"skin":"skinOne"})");
    QTest::newRow("param missing")
        << QStringLiteral(R"({"hostInfo":{"port":1}})") << QString()
        << QStringLiteral(R"({"hostInfo":{"port":1,"user":"","password":"","supportModify":false}})");
    QTest::newRow("wrong types and non-ASCII")
        << QStringLiteral("{}") << QStringLiteral(R"(,"param":{"user":5,"password":"密码 ü"})")
        << QStringLiteral(R"({"hostInfo":{"user":"","password":"密码 ü","supportModify":false}})");
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
    m_fixture.Peer().Send(
        QStringLiteral(R"({"cmd":2003,"platform":"pl","token":"tk","communicationId":"c9")") + qstrParam +
        QLatin1Char('}'));
    QCOMPARE(AnswerFrame(),
             JsonOf(QStringLiteral(
                        R"({"agentId":"d41d8cd98f00b204e9800998ecf8427e","clientlist":["platformClient"],)"
                        R"("cmd":12003,"communicationId":"","param":{"ret":0},"platform":"pl",)"
                        R"("recvSocketID":"","sender":"%1","token":"tk"})")
                        .arg(pApp->GetAppBaseName())));
    QCOMPARE(ReadJsonFile(pApp->GetConfigPath()), JsonOf(qstrExpected));
}

// A settings file that cannot be replaced (here a folder stands in its place) is logged, and the
// platform hears that the user was not saved.
void TestPlatformRequests::testSetUserRequest_settingsNotWritable_answersFailure()
{
    const QString qstrConfig = OrbApplication::Instance()->GetConfigPath();
    QVERIFY(QDir().mkpath(qstrConfig));
    const LogTail logTail;
    m_fixture.Peer().Send(QStringLiteral(R"({"cmd":2003,"param":{"user":"u","password":"p"}})"));
    const QJsonObject qjsonAnswer = AnswerFrame();
    QVERIFY(QDir(qstrConfig).removeRecursively());
    QCOMPARE(qjsonAnswer.value(QStringLiteral("cmd")).toInt(), 12003);
    QCOMPARE(qjsonAnswer.value(QStringLiteral("param")).toObject(), JsonOf(QStringLiteral(R"({"ret":1})")));
    QVERIFY(logTail.NewText().contains(QStringLiteral("L3 PublicCommonFun.cpp:")));
}

LUMACAST_TEST_MAIN(TestPlatformRequests)
#include "test_platformrequests.moc"
