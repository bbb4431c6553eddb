// The platform-service simulator and the program talking to each other: first the real platform
// link in this process, then the real program in an application folder of its own.
#include "CLS_WebSocketWidget.h"
#include "LinkTestSupport.h"
#include "ProgramCopy.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

// The simulator as a child process; its printed lines are collected as they come.
class Simulator
{
public:
    explicit Simulator(const QStringList& _qstrlstArgs)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(LUMACAST_PLATFORM_SIMULATOR), _qstrlstArgs);
    }
    ~Simulator()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    // Waits until the output holds _qstrPart at least _iTimes times.
    bool WaitLine(const QString& _qstrPart, int _iTimes = 1)
    {
        return QTest::qWaitFor(
            [&]() {
                m_qstrOut += QString::fromUtf8(m_process.readAllStandardOutput());
                return m_qstrOut.count(_qstrPart) >= _iTimes;
            },
            10000);
    }
    quint16 Port()
    {
        const QRegularExpression qregexPort(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        return WaitLine(QStringLiteral("listening on"))
                   ? static_cast<quint16>(qregexPort.match(m_qstrOut).captured(1).toUInt())
                   : 0;
    }
    // The frames the simulator received whose cmd is _iCmd.
    QList<QJsonObject> Received(int _iCmd) const
    {
        QList<QJsonObject> lstFrames;
        const QStringList qstrlstLines = m_qstrOut.split(QLatin1Char('\n'));
        for (const QString& qstrLine : qstrlstLines) {
            const QJsonObject qjsonFrame = JsonOf(qstrLine.mid(3));
            if (qstrLine.startsWith(QStringLiteral("<< ")) &&
                qjsonFrame.value(QStringLiteral("cmd")).toInt() == _iCmd) {
                lstFrames.append(qjsonFrame);
            }
        }
        return lstFrames;
    }
    QString Output() const { return m_qstrOut; }

private:
    QProcess m_process;
    QString m_qstrOut;
};

const QString g_qstrSetUser = QStringLiteral("{\"user\":\"dXNlcg==\",\"password\":\"cGFzcw==\"}");

} // namespace

class TestSimulatorE2E : public QObject
{
    Q_OBJECT
private slots:
    void testLink_simulator_loginStartAndSetUser();
    void testLink_simulatorWithOtherKey_loginFails();
    void testProgram_startedByPlatform_answersWithItsStartParameter();
};

void TestSimulatorE2E::testLink_simulator_loginStartAndSetUser()
{
    OrbApplication* pApp = OrbApplication::Instance();
    QVERIFY(QDir().mkpath(QFileInfo(pApp->GetConfigPath()).absolutePath()));
    QFile::remove(pApp->GetConfigPath());
    pApp->SetSendSocketID(QString());
    Simulator simulator({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--repeat"),
                         QStringLiteral("--set-user"), g_qstrSetUser, QStringLiteral("--start-request"),
                         QStringLiteral(R"({"skin":"","lang":"","layout":""})"), QStringLiteral("--token"),
                         QString(), QStringLiteral("--send-socket-id"), QStringLiteral("sock-1")});
    const quint16 uiPort = simulator.Port();
    QVERIFY2(uiPort != 0, qPrintable(simulator.Output()));

    for (int iRound = 1; iRound <= 2; ++iRound) {
        CLS_WebSocketWidget link;
        connect(&link, &CLS_WebSocketWidget::SignLoginSuccess, &link,
                [&link](const QString& _qstrMsg) { link.RespondStartRequest(0, _qstrMsg); });
        QSignalSpy spySuccess(&link, &CLS_WebSocketWidget::SignLoginSuccess);
        link.SetPlatform(QStringLiteral("plat"));
        link.ConnectServer(QStringLiteral("127.0.0.1"), uiPort);
        // Each round: its login, the answer to the login, the start answer and the set-user answer.
        QVERIFY2(simulator.WaitLine(QStringLiteral("\"cmd\":12003"), iRound), qPrintable(simulator.Output()));
        QCOMPARE(simulator.Output().count(QStringLiteral("login accepted")), iRound);
        QCOMPARE(spySuccess.count(), 1);
        QCOMPARE(simulator.Received(10101).size(), 2 * iRound);
    }
    const QJsonObject qjsonStartAnswer = simulator.Received(10101).at(1);
    QCOMPARE(qjsonStartAnswer.value(QStringLiteral("communicationId")).toString(), QStringLiteral("sim-1"));
    QCOMPARE(qjsonStartAnswer.value(QStringLiteral("recvSocketID")).toString(), QStringLiteral("sock-1"));
    QCOMPARE(
        qjsonStartAnswer.value(QStringLiteral("param")).toObject().value(QStringLiteral("ret")).toInt(-1), 0);
    // The login of the second round names the socket the first start request came from.
    QCOMPARE(simulator.Received(3).at(1).value(QStringLiteral("recvSocketID")).toString(),
             QStringLiteral("sock-1"));
    const QJsonObject qjsonHost =
        ReadJsonFile(pApp->GetConfigPath()).value(QStringLiteral("hostInfo")).toObject();
    QCOMPARE(qjsonHost.value(QStringLiteral("user")).toString(), QStringLiteral("dXNlcg=="));
    QCOMPARE(qjsonHost.value(QStringLiteral("password")).toString(), QStringLiteral("cGFzcw=="));
    QCOMPARE(qjsonHost.value(QStringLiteral("supportModify")).toBool(true), false);
}

void TestSimulatorE2E::testLink_simulatorWithOtherKey_loginFails()
{
    Simulator simulator({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--key"),
                         QStringLiteral("00000000000000000000000000000000"), QStringLiteral("--set-user"),
                         g_qstrSetUser});
    const quint16 uiPort = simulator.Port();
    QVERIFY(uiPort != 0);
    CLS_WebSocketWidget link;
    QSignalSpy spyFail(&link, &CLS_WebSocketWidget::SignLoginFail);
    link.ConnectServer(QStringLiteral("127.0.0.1"), uiPort);
    QTRY_COMPARE_WITH_TIMEOUT(spyFail.count(), 1, 10000);
    QVERIFY(spyFail.at(0).at(0).toInt() != 0);
    QVERIFY(simulator.WaitLine(QStringLiteral("login refused: bad signature")));
}

// The real program, copied under a name of its own into a temporary application folder, started
// as the platform starts it; it opens the link on the fixed local address.
void TestSimulatorE2E::testProgram_startedByPlatform_answersWithItsStartParameter()
{
    QTemporaryDir tempDir;
    QVERIFY(tempDir.isValid());
    const QString qstrProgram = tempDir.filePath(QStringLiteral("LumacastE2E"));
    QVERIFY(CopyBuiltProgram(qEnvironmentVariable("LUMACAST_APP_DIR"), tempDir.path(),
                             QStringLiteral("LumacastE2E")));

    Simulator simulator({QStringLiteral("--port"), QStringLiteral("10588"), QStringLiteral("--once"),
                         QStringLiteral("--set-user"), g_qstrSetUser});
    if (simulator.Port() == 0) {
        QSKIP("127.0.0.1:10588 is taken by another program");
    }
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(qstrProgram,
                  {QStringLiteral("Lumacast"),
                   QStringLiteral(R"({"communicationId":"c-77","sendSocketID":"s9","token":"tk",)"
                                  R"("platform":"pf","param":{"tip":false}})")});
    QVERIFY(program.waitForStarted(5000));
    const bool blAnswered = simulator.WaitLine(QStringLiteral("\"cmd\":12003"));
    program.terminate();
    QVERIFY(program.waitForFinished(10000));
    QVERIFY2(blAnswered, qPrintable(simulator.Output()));

    QVERIFY(simulator.Output().contains(QStringLiteral("login accepted")));
    const QList<QJsonObject> lstStartAnswers = simulator.Received(10101);
    QCOMPARE(lstStartAnswers.size(), 1);
    QCOMPARE(lstStartAnswers.at(0).value(QStringLiteral("communicationId")).toString(),
             QStringLiteral("c-77"));
    QCOMPARE(lstStartAnswers.at(0).value(QStringLiteral("recvSocketID")).toString(), QStringLiteral("s9"));
    QCOMPARE(lstStartAnswers.at(0).value(QStringLiteral("sender")).toString(), QStringLiteral("LumacastE2E"));
    QCOMPARE(lstStartAnswers.at(0).value(QStringLiteral("clientlist")).toArray(),
             QJsonArray{QStringLiteral("platformClient")});
    const QJsonObject qjsonLogin = simulator.Received(3).value(0);
    QCOMPARE(qjsonLogin.value(QStringLiteral("platform")).toString(), QStringLiteral("pf"));
    QCOMPARE(qjsonLogin.value(QStringLiteral("token")).toString(), QStringLiteral("tk"));
    QCOMPARE(ReadJsonFile(tempDir.filePath(QStringLiteral("LumacastFile/Resource/config/lumacast.json")))
                 .value(QStringLiteral("hostInfo"))
                 .toObject()
                 .value(QStringLiteral("user"))
                 .toString(),
             QStringLiteral("dXNlcg=="));
}

LUMACAST_TEST_MAIN(TestSimulatorE2E)
#include "test_simulator_e2e.moc"
