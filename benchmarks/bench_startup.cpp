// A second start of the program while a copy runs: from exec to exit.
#include "ProgramCopy.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class BenchStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void secondStartFromExecToExit();

private:
    void Prepare(QProcess& _qprocess) const;

    QTemporaryDir m_qtempApp;
    QTemporaryDir m_qtempSockets;
    QProcess m_qprocessFirst;
};

void BenchStartup::Prepare(QProcess& _qprocess) const
{
    QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
    qenv.insert(QStringLiteral("TMPDIR"), m_qtempSockets.path());
    qenv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    _qprocess.setProcessEnvironment(qenv);
    _qprocess.setProgram(m_qtempApp.filePath(QStringLiteral("Lumacast")));
}

void BenchStartup::initTestCase()
{
    QVERIFY(CopyBuiltProgram(QStringLiteral(LUMACAST_APP_DIR), m_qtempApp.path()));
    Prepare(m_qprocessFirst);
    m_qprocessFirst.start();
    QVERIFY(m_qprocessFirst.waitForStarted());
    QVERIFY(QTest::qWaitFor(
        [this] { return QFile::exists(m_qtempSockets.filePath(QStringLiteral("Lumacast"))); }, 10000));
}

void BenchStartup::cleanupTestCase()
{
    m_qprocessFirst.kill();
    m_qprocessFirst.waitForFinished();
}

void BenchStartup::secondStartFromExecToExit()
{
    QBENCHMARK
    {
        QProcess qprocessSecond;
        Prepare(qprocessSecond);
        qprocessSecond.start();
        qprocessSecond.waitForFinished(30000);
        QCOMPARE(qprocessSecond.exitCode(), 255);
    }
}

QTEST_GUILESS_MAIN(BenchStartup)
#include "bench_startup.moc"
