// The real program and the platform-service simulator: the program, started before the service
// listens on the fixed local address, logs in once it is up, answers with its start parameter and
// stores the user the service sets.
#include "LinkTestSupport.h"
#include "ProgramCopy.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QProcess>
#include <QTemporaryDir>

class TestSimulatorE2E : public QObject
{
    Q_OBJECT
private slots:
    void program_serviceComesLater_logsInAndAnswers()
    {
        QTemporaryDir tempDir;
        QVERIFY(CopyBuiltProgram(qEnvironmentVariable("LUMACAST_APP_DIR"), tempDir.path(), "LumacastE2E"));
        TestPeer peerFree(10588);
        if (!peerFree.IsListening()) {
            QSKIP("127.0.0.1:10588 is taken by another program");
        }
        peerFree.Stop();
        QProcess program;
        program.start(tempDir.filePath("LumacastE2E"),
                      {"Lumacast",
                       R"({"communicationId":"c-77","sendSocketID":"s9","token":"tk","platform":"pf",)"
                       R"("param":{"tip":false}})"});
        QVERIFY(program.waitForStarted(5000));
        QTest::qWait(1500); // the program finds no service and waits to try again

        QProcess simulator;
        simulator.start(LUMACAST_PLATFORM_SIMULATOR, {"--port", "10588", "--once", "--set-user",
                                                      R"({"user":"dXNlcg==","password":"cA=="})"});
        QString qstrOut;
        const bool blAnswered = QTest::qWaitFor(
            [&] {
                return (qstrOut += QString::fromUtf8(simulator.readAllStandardOutput()))
                    .contains("\"cmd\":12003");
            },
            20000);
        program.terminate();
        simulator.kill();
        QVERIFY(program.waitForFinished(10000) && simulator.waitForFinished(5000));
        QVERIFY2(blAnswered && qstrOut.contains("login accepted"), qPrintable(qstrOut));
        const QStringList qstrlstAnswers =
            qstrOut.split('\n').filter(QRegularExpression("^<< .*\"cmd\":10101[,}]"));
        QCOMPARE(qstrlstAnswers.size(), 1);
        const QJsonObject qjsonAnswer = JsonOf(qstrlstAnswers.at(0).mid(3));
        QCOMPARE(qjsonAnswer.value("communicationId").toString(), QString("c-77"));
        QCOMPARE(qjsonAnswer.value("recvSocketID").toString(), QString("s9"));
        QCOMPARE(qjsonAnswer.value("sender").toString(), QString("LumacastE2E"));
        const QJsonObject qjsonHost =
            ReadJsonFile(tempDir.filePath("LumacastFile/Resource/config/lumacast.json"))
                .value("hostInfo")
                .toObject();
        QCOMPARE(qjsonHost.value("user").toString() + qjsonHost.value("password").toString(),
                 QString("dXNlcg==cA=="));
    }
};

LUMACAST_TEST_MAIN(TestSimulatorE2E)
#include "test_simulator_e2e.moc"
