// Start-up with real processes of the built program, in a copy of the application folder.
#include "ProgramCopy.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <signal.h>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void secondStartHandsShowNormalToTheRunningCopy();
    void startParameterWithoutRestartIsRefused();
    void restartEndsTheOlderCopyAndGoesOn();
    void staleSocketNameIsTakenOver();
    void firstStartStaysInItsEventLoopAndLogsAFatalSignalOnce();

private:
    QProcess* Start(const QStringList& _qstrlstArgs = {});
    bool WaitForListener() const;
    QString Log() const;
    static bool LogHasLineOf(const QString& _qstrLog, qint64 _iPid, const QString& _qstrText);

    QTemporaryDir m_qtempApp;
    QTemporaryDir m_qtempSockets;
    std::vector<std::unique_ptr<QProcess>> m_vecProcesses;
};

void TestStartup::initTestCase()
{
    QVERIFY2(CopyBuiltProgram(qEnvironmentVariable("LUMACAST_APP_DIR"), m_qtempApp.path()),
             "LUMACAST_APP_DIR has no program");
}

void TestStartup::cleanup()
{
    for (auto& pProcess : m_vecProcesses) {
        if (pProcess->state() != QProcess::NotRunning) {
            pProcess->kill();
            pProcess->waitForFinished();
        }
    }
    m_vecProcesses.clear();
    QFile::remove(m_qtempSockets.filePath(QStringLiteral("Lumacast")));
}

QProcess* TestStartup::Start(const QStringList& _qstrlstArgs)
{
    auto pProcess = std::make_unique<QProcess>();
    QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
    // The copies' local socket lives in a folder of this test only.
    qenv.insert(QStringLiteral("TMPDIR"), m_qtempSockets.path());
    qenv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    pProcess->setProcessEnvironment(qenv);
    pProcess->setWorkingDirectory(m_qtempApp.path());
    pProcess->start(m_qtempApp.filePath(QStringLiteral("Lumacast")), _qstrlstArgs);
    pProcess->waitForStarted();
    m_vecProcesses.push_back(std::move(pProcess));
    return m_vecProcesses.back().get();
}

bool TestStartup::WaitForListener() const
{
    return QTest::qWaitFor(
        [this] { return QFile::exists(m_qtempSockets.filePath(QStringLiteral("Lumacast"))); }, 10000);
}

QString TestStartup::Log() const
{
    QFile qfile(m_qtempApp.filePath(QStringLiteral("Log/Lumacast/Lumacast.log")));
    return qfile.open(QIODevice::ReadOnly) ? QString::fromUtf8(qfile.readAll()) : QString();
}

// Each line carries the writing thread's ID, which is the process ID on the main thread.
bool TestStartup::LogHasLineOf(const QString& _qstrLog, qint64 _iPid, const QString& _qstrText)
{
    const QString qstrPattern =
        QStringLiteral("^.*\\[%1\\].*%2").arg(_iPid).arg(QRegularExpression::escape(_qstrText));
    return QRegularExpression(qstrPattern, QRegularExpression::MultilineOption).match(_qstrLog).hasMatch();
}

void TestStartup::secondStartHandsShowNormalToTheRunningCopy()
{
    QProcess* pFirst = Start();
    QVERIFY(WaitForListener());
    QProcess* pSecond = Start();
    QVERIFY(pSecond->waitForFinished(15000));
    QCOMPARE(pSecond->exitStatus(), QProcess::NormalExit);
    QCOMPARE(pSecond->exitCode(), 255);
    QVERIFY(pSecond->readAllStandardError().contains("Init fail"));
    QTRY_VERIFY(
        LogHasLineOf(Log(), pFirst->processId(), QStringLiteral("message from another copy=[showNormal]")));
    QCOMPARE(pFirst->state(), QProcess::Running);
}

void TestStartup::startParameterWithoutRestartIsRefused()
{
    QProcess* pFirst = Start();
    QVERIFY(WaitForListener());
    QProcess* pSecond = Start({QStringLiteral("Lumacast"), QStringLiteral(R"({"param":{"tip":false}})")});
    QVERIFY(pSecond->waitForFinished(15000));
    QCOMPARE(pSecond->exitCode(), 255);
    QVERIFY(pSecond->readAllStandardError().contains("Init fail"));
    QCOMPARE(pFirst->state(), QProcess::Running);
}

void TestStartup::restartEndsTheOlderCopyAndGoesOn()
{
    QProcess* pOld = Start();
    QVERIFY(WaitForListener());
    QProcess* pNew =
        Start({QStringLiteral("Lumacast"), QStringLiteral(R"({"param":{"restart":true,"tip":false}})")});
    QVERIFY(pOld->waitForFinished(15000));
    QTRY_VERIFY(LogHasLineOf(Log(), pNew->processId(), QStringLiteral("start: pid=")));
    QVERIFY(!pNew->waitForFinished(500));
    QCOMPARE(pNew->state(), QProcess::Running);
}

void TestStartup::staleSocketNameIsTakenOver()
{
    QProcess* pCrashed = Start();
    QVERIFY(WaitForListener());
    pCrashed->kill();
    QVERIFY(pCrashed->waitForFinished());
    QVERIFY(QFile::exists(m_qtempSockets.filePath(QStringLiteral("Lumacast"))));

    QProcess* pListener = Start();
    QTRY_VERIFY(LogHasLineOf(Log(), pListener->processId(), QStringLiteral("start: pid=")));
    QProcess* pThird = Start();
    QVERIFY(pThird->waitForFinished(15000));
    QCOMPARE(pThird->exitCode(), 255);
    QTRY_VERIFY(LogHasLineOf(Log(), pListener->processId(),
                             QStringLiteral("message from another copy=[showNormal]")));
}

void TestStartup::firstStartStaysInItsEventLoopAndLogsAFatalSignalOnce()
{
    QProcess* pCopy = Start();
    QVERIFY(WaitForListener());
    QTRY_VERIFY(LogHasLineOf(Log(), pCopy->processId(), QStringLiteral("start: pid=")));
    QVERIFY(!pCopy->waitForFinished(300));
    QCOMPARE(pCopy->state(), QProcess::Running);
    ::kill(static_cast<pid_t>(pCopy->processId()), SIGSEGV);
    QVERIFY(pCopy->waitForFinished(10000));
    QCOMPARE(pCopy->exitStatus(), QProcess::CrashExit);
    QCOMPARE(Log().count(QStringLiteral("!!!!!!!!!!! ExceptionCode=[11] ExceptionFlags=[0]")), 1);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
