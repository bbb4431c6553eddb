// The platform's start and set-user requests, sent by a real WebSocket peer on loopback, and the
// program start and auto-start file behind them. The test executable's file carries a suffix, so
// that the program its base name names in the application folder can be the argument recorder: a
// start request that is taken starts a real process.
#include "CLS_ProcessServer.h"
#include "CLS_WebSocketWidget.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstring>

namespace {

QString StartRequest(const QString& _qstrSkin, const QString& _qstrToken,
                     const QString& _qstrExtra = QString())
{
    return QString(R"({%1"cmd":101,"token":"%2","platform":"pl","communicationId":"c1",)"
                   R"("param":{"skin":"%3","lang":"en","layout":"L"}})")
        .arg(_qstrExtra, _qstrToken, _qstrSkin);
}

// Skin, language, layout and token in their fields, each cut as stored.
STRUCT_StartRequest Block(const QString& _qstrSkin, const QString& _qstrToken)
{
    STRUCT_StartRequest structBlock;
    const QString aqstrText[4] = {_qstrSkin, "en", "L", _qstrToken};
    for (int i = 0; i < 4; ++i) {
        const QByteArray qbaText = aqstrText[i].toUtf8();
        std::memcpy(structBlock.aszField[i + 1], qbaText.constData(), std::min(qbaText.size(), 511));
    }
    return structBlock;
}

bool SameBlock(const STRUCT_StartRequest& _structA, const STRUCT_StartRequest& _structB)
{
    return std::memcmp(&_structA, &_structB, sizeof(_structA)) == 0;
}

} // namespace

class TestPlatformRequests : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("LUMACAST_CHILD_RECORD", QFile::encodeName(m_tempDir.filePath("child-arguments")));
        m_qstrChildPath = App()->GetAppDir() + App()->GetAppBaseName();
        QVERIFY(m_qstrChildPath != QCoreApplication::applicationFilePath());
        QVERIFY(QDir().mkpath(QFileInfo(App()->GetConfigPath()).absolutePath()));
    }
    void init()
    {
        App()->SetToken("token");
        App()->SetSkin("skinOne");
        App()->SetSendSocketID("s0");
        App()->SetStartRequest(STRUCT_StartRequest());
        QFile::remove(App()->GetConfigPath());
        QDir(App()->GetConfigPath()).removeRecursively();
        QFile::remove(m_tempDir.filePath("child-arguments"));
        QFile::remove(m_qstrChildPath);
        QVERIFY(QFile::copy(LUMACAST_CHILD_RECORDER, m_qstrChildPath));
        QVERIFY(m_fixture.Open());
    }
    void cleanup() { m_fixture.Close(); }

    // A start request that fails a check is dropped with that check's level-2 line; nothing changes.
    void startRequest_failedCheck()
    {
        const LogTail logTail;
        m_fixture.Link()->HandleStartRequest(
            m_fixture.Link()->MakeHead(),
            R"({"sendSocketID":"s1","token":5,"platform":"p","param":{"lang":"l","skin":"s","layout":"y"}})");
        QVERIFY(m_fixture.Sync());
        QVERIFY2(logTail.NewText().contains(QRegularExpression(
                     R"(L2 CLS_WebSocketWidgetRequests.cpp:\d+ !qjsonValToken\.isString\(\)\n)")),
                 qPrintable(logTail.NewText()));
        QVERIFY(m_fixture.Peer().Frames().isEmpty());
        QCOMPARE(App()->GetSendSocketID(), QString("s0"));
        QVERIFY(SameBlock(App()->GetStartRequest(), STRUCT_StartRequest()));
    }

    // Other settings go to a fresh copy that takes over as a restart does, answered only when it
    // started; this copy keeps what it had.
    void startRequest_different_data()
    {
        QTest::addColumn<bool>("starts");
        QTest::newRow("program starts") << true;
        QTest::newRow("program missing") << false;
    }
    void startRequest_different()
    {
        QFETCH(bool, starts);
        if (!starts) {
            QVERIFY(QFile::remove(m_qstrChildPath));
        }
        const QString qstrToken = "tök€n😀 '$(touch x)' `id` | &;";
        const QString qstrRequest = StartRequest("皮肤二", qstrToken, R"("sendSocketID":"s2",)");
        m_fixture.Peer().Send(qstrRequest);
        QVERIFY(m_fixture.Sync());
        if (starts) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_tempDir.filePath("child-arguments")), 10000);
            const QList<QByteArray> lstArgs = RecordedArguments(m_tempDir.filePath("child-arguments"));
            QCOMPARE(lstArgs.size(), 3);
            QCOMPARE(lstArgs.at(1), App()->GetAppBaseName().toUtf8());
            QJsonObject qjsonExpected = JsonOf(qstrRequest);
            qjsonExpected.insert(
                "param",
                QJsonObject{
                    {"skin", "皮肤二"}, {"lang", "en"}, {"layout", "L"}, {"restart", true}, {"tip", false}});
            QCOMPARE(JsonOf(QString::fromUtf8(lstArgs.at(2))), qjsonExpected);
            CheckStartAnswer(qstrToken);
        } else {
            QVERIFY(m_fixture.Peer().Frames().isEmpty());
        }
        QCOMPARE(App()->GetToken(), QString("token"));
        QCOMPARE(App()->GetSendSocketID(), QString("s2"));
        QVERIFY(SameBlock(App()->GetStartRequest(), STRUCT_StartRequest()));
    }

    // Equal to the stored block (texts cut there at a character boundary, a 3-byte character across
    // the limit): answered at once,
    // without a new process, and its settings taken.
    void startRequest_matchingStored()
    {
        const QString sent = "ab" + QString("中").repeated(200);
        const QString kept = "ab" + QString("中").repeated(169);
        App()->SetStartRequest(Block(kept, kept));
        m_fixture.Peer().Send(StartRequest(sent, sent));
        CheckStartAnswer(sent);
        QCOMPARE(App()->GetSkin(), kept);
        QCOMPARE(App()->GetToken(), kept);
        QCOMPARE(App()->GetLanguage(), QString("en"));
        QVERIFY(SameBlock(App()->GetStartRequest(), Block(kept, kept)));
        QVERIFY(!QFile::exists(m_tempDir.filePath("child-arguments")));
    }

    // A settings file that cannot be replaced (a folder stands in its place) is logged, and the
    // platform hears that the user was not saved.
    void setUserRequest_data()
    {
        QTest::addColumn<QString>("config"); // "/": a folder in the file's place
        QTest::addColumn<QString>("param");
        QTest::addColumn<QString>("expected");
        QTest::newRow("other keys kept, defaultLogin array removed")
            << R"({"hostInfo":{"port":8000,"user":"b2xk","supportModify":true,"defaultLogin":[1]},"skin":"s"})"
            << R"(,"param":{"pass\u0077ord":"cGFzcw==","user":"dXNlcg=="})"
            << R"({"hostInfo":{"port":8000,"user":"dXNlcg==","password":"cGFzcw==","supportModify":false},"skin":"s"})";
        QTest::newRow("settings not writable") << "/"
                                               << R"(,"param":{"user":"u","password":"p"})" << QString();
    }
    void setUserRequest()
    {
        QFETCH(QString, config);
        QFETCH(QString, param);
        QFETCH(QString, expected);
        QFile qfileConfig(App()->GetConfigPath());
        QVERIFY((config == "/" && QDir().mkpath(App()->GetConfigPath())) ||
                (qfileConfig.open(QIODevice::WriteOnly) && qfileConfig.write(config.toUtf8()) > 0));
        qfileConfig.close();
        const LogTail logTail;
        QSignalSpy spyStored(m_fixture.Link(), &CLS_WebSocketWidget::SignUserChanged);
        m_fixture.Peer().Send(R"({"cmd":2003,"platform":"pl","token":"tk","communicationId":"c9")" + param +
                              "}");
        QVERIFY(m_fixture.Peer().WaitFrames(1));
        const QJsonObject qjsonAnswer = JsonOf(m_fixture.Peer().Frames().at(0));
        QCOMPARE(qjsonAnswer.value("cmd").toInt(), 12003);
        QCOMPARE(qjsonAnswer.value("param").toObject(), QJsonObject({{"ret", expected.isNull() ? 1 : 0}}));
        // Only a stored user refreshes the service page.
        QCOMPARE(spyStored.count(), expected.isNull() ? 0 : 1);
        QVERIFY(expected.isNull() ? logTail.NewText().contains("L3 PublicCommonFun.cpp:")
                                  : ReadJsonFile(App()->GetConfigPath()) == JsonOf(expected));
        // The frame is logged, its password only by length, whatever the key's spelling.
        const QString qstrPassword =
            JsonOf("{" + param.mid(1) + "}").value("param").toObject().value("password").toString();
        QVERIFY(logTail.NewText().contains("communicationId\":\"c9\""));
        QVERIFY(logTail.NewText().contains(QString("\":\"[%1 characters]\"").arg(qstrPassword.size())));
        QVERIFY2(qstrPassword.size() < 4 || !logTail.NewText().contains(qstrPassword),
                 qPrintable(logTail.NewText()));
    }

    void winStartUp_refused_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("param"); // null: no param given
        QTest::addColumn<QString>("log");
        QTest::newRow("no param") << App()->GetAppBaseName().toUtf8() << QByteArray()
                                  << "[CLS_ProcessServer::WinStartUp]:NULL == _pcParam";
        QTest::newRow("outside the folder") << QByteArray("../test_platformrequests/test_platformrequests")
                                            << QByteArray("{}") << "not a program of the application folder";
    }
    void winStartUp_refused()
    {
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, param);
        QFETCH(QString, log);
        const LogTail logTail;
        QVERIFY(
            !CLS_ProcessServer::WinStartUp(type.constData(), param.isNull() ? nullptr : param.constData()));
        QVERIFY2(logTail.NewText().contains(log), qPrintable(logTail.NewText()));
    }
    // Only this program's group changes; the service's own lines stay byte for byte.
    void writeAutoStartCfg()
    {
        const QByteArray qbaKept = "# kept\n[Paths]\nhome=C:\\Program Files\\Orb\\\n%E5%A4%A7=1\n大小=2\n";
        QFile qfileIni(App()->GetAppDir() + "TerminalServerFile/AutoStartCfg.ini");
        QVERIFY(QDir().mkpath(QFileInfo(qfileIni).absolutePath()) && qfileIni.open(QIODevice::WriteOnly) &&
                qfileIni.write(qbaKept + "[Lumacast]\nexeName=Old") > 0);
        qfileIni.close();
        QCOMPARE(CLS_ProcessServer::WriteAutoStartCfg(false), 0);
        QVERIFY(qfileIni.open(QIODevice::ReadOnly));
        QCOMPARE(qfileIni.readAll(), qbaKept + "[Lumacast]\nexeName=Lumacast\nautoStart=false\n");
    }

private:
    static OrbApplication* App() { return OrbApplication::Instance(); }

    void CheckStartAnswer(const QString& _qstrToken)
    {
        QVERIFY(m_fixture.Peer().WaitFrames(1));
        QCOMPARE(
            JsonOf(m_fixture.Peer().Frames().takeFirst()),
            JsonOf(
                QString(R"({"agentId":"d41d8cd98f00b204e9800998ecf8427e","clientlist":["platformClient"],)"
                        R"("cmd":10101,"communicationId":"c1","param":{"content":{},"message":"","ret":0},)"
                        R"("platform":"pl","recvSocketID":"%1","sender":"%2","token":"%3"})")
                    .arg(App()->GetSendSocketID(), App()->GetAppBaseName(), _qstrToken)));
    }

    LinkFixture m_fixture;
    QTemporaryDir m_tempDir;
    QString m_qstrChildPath;
};

LUMACAST_TEST_MAIN(TestPlatformRequests)
#include "test_platformrequests.moc"
