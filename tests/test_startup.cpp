// Start-up with real processes of the built program, in a copy of the application folder.
#include "ProgramCopy.h"

#include <QtTest>

#include <signal.h>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_copies.Prepare(), "LUMACAST_APP_DIR has no program"); }
    void cleanup() { m_copies.KillAll(); }
    void tenCopiesAtOnceLeaveExactlyOne_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("rounds");
        QTest::newRow("no arguments") << QStringList() << 20;
        QTest::newRow("start parameter")
            << QStringList{QStringLiteral("Lumacast"),
                           QStringLiteral(R"({"token":"tk","param":{"tip":false}})")}
            << 20;
        QTest::newRow("restart") << QStringList{QStringLiteral("Lumacast"),
                                                QStringLiteral(R"({"param":{"restart":true,"tip":false}})")}
                                 << 5;
    }
    // Each round ends with a crash of the survivor, so the next round also meets the name it left.
    void tenCopiesAtOnceLeaveExactlyOne()
    {
        QFETCH(QStringList, args);
        QFETCH(int, rounds);
        const int iCrashesBefore = m_copies.Log().count(QStringLiteral("ExceptionCode=[11]"));
        for (int iRound = 0; iRound < rounds; ++iRound) {
            std::vector<QProcess*> vecCopies;
            for (int i = 0; i < 10; ++i) {
                vecCopies.push_back(m_copies.Start(args));
            }
            auto running = [&vecCopies] {
                return std::count_if(vecCopies.begin(), vecCopies.end(), [](QProcess* _pCopy) {
                    return _pCopy->state() != QProcess::NotRunning;
                });
            };
            QTRY_VERIFY_WITH_TIMEOUT(running() <= 1, 30000);
            const auto itSurvivor = std::find_if(vecCopies.begin(), vecCopies.end(), [](QProcess* _pCopy) {
                return _pCopy->state() == QProcess::Running;
            });
            QVERIFY2(itSurvivor != vecCopies.end(),
                     qPrintable(QStringLiteral("none left in round %1").arg(iRound)));
            m_iListener = (*itSurvivor)->processId();
            QVERIFY(WaitForListener());
            QVERIFY(!(*itSurvivor)->waitForFinished(100));
            ::kill(static_cast<pid_t>((*itSurvivor)->processId()), SIGSEGV);
            QVERIFY((*itSurvivor)->waitForFinished(10000));
            QCOMPARE((*itSurvivor)->exitStatus(), QProcess::CrashExit);
            m_copies.KillAll();
        }
        QCOMPARE(m_copies.Log().count(QStringLiteral("ExceptionCode=[11] ExceptionFlags=[0]")),
                 iCrashesBefore + rounds);
    }
    // Started with its own folder as its temporary folder: its program file has the socket's name
    // but is no leftover of a copy, and stays.
    void temporaryFolderIsTheProgramFolder()
    {
        ProgramCopies ownFolder;
        QVERIFY(ownFolder.Prepare());
        ownFolder.SetTemporaryFolder(ownFolder.Path(QString()));
        QProcess* pCopy = ownFolder.Start();
        QTRY_VERIFY(ownFolder.LogHasLineOf(pCopy->processId(), QStringLiteral("is not a socket")));
        const QFileInfo qfileInfo(ownFolder.Path(QStringLiteral("Lumacast")));
        QVERIFY(qfileInfo.isFile() && qfileInfo.isExecutable());
        QCOMPARE(pCopy->state(), QProcess::Running);
    }
    void brokenDisplayEndsWithAMessage()
    {
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.remove(QStringLiteral("QT_QPA_PLATFORM"));
        qenv.insert(QStringLiteral("DISPLAY"), QStringLiteral(":987"));
        QProcess* pCopy = m_copies.Start({}, qenv);
        QVERIFY(pCopy->waitForFinished(15000));
        QCOMPARE(pCopy->exitStatus(), QProcess::NormalExit);
        QCOMPARE(pCopy->exitCode(), 1);
        QVERIFY(pCopy->readAllStandardError().contains("cannot open the X display \":987\""));
    }

private:
    bool WaitForListener() const
    {
        return QTest::qWaitFor(
            [this] { return m_copies.LogHasLineOf(m_iListener, QStringLiteral("start: pid=")); }, 10000);
    }

    ProgramCopies m_copies;
    qint64 m_iListener = 0;
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
