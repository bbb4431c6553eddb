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
    // Each round ends with a crash of the survivor, so the next round also meets the name it left.
    void tenCopiesAtOnceLeaveExactlyOne()
    {
        // Each copy starts as a restart, so each also ends the copies it finds.
        const QStringList qstrlstArgs{QStringLiteral("Lumacast"),
                                      QStringLiteral(R"({"param":{"restart":true,"tip":false}})")};
        const int iRounds = 5;
        const int iCrashesBefore = m_copies.Log().count(QStringLiteral("ExceptionCode=[11]"));
        for (int iRound = 0; iRound < iRounds; ++iRound) {
            std::vector<QProcess*> vecCopies;
            for (int i = 0; i < 10; ++i) {
                vecCopies.push_back(m_copies.Start(qstrlstArgs));
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
            ::kill(static_cast<pid_t>((*itSurvivor)->processId()), SIGSEGV);
            QVERIFY((*itSurvivor)->waitForFinished(10000));
            QCOMPARE((*itSurvivor)->exitStatus(), QProcess::CrashExit);
            m_copies.KillAll();
        }
        QCOMPARE(m_copies.Log().count(QStringLiteral("ExceptionCode=[11] ExceptionFlags=[0]")),
                 iCrashesBefore + iRounds);
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
