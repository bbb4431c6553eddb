#include "common/Log.h"
#include "common/StartupEnv.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <signal.h>
#include <string>

class TestStartupEnv : public QObject
{
    Q_OBJECT
private slots:
    // The signal meets the copy inside the logging library or malloc most of the time: a handler
    // that logged through them would hang there instead of ending the process.
    void fatalSignalWhileLoggingEndsWithOneLine()
    {
        for (int iTry = 0; iTry < 8; ++iTry) {
            QTemporaryDir qtempLog;
            QProcess qprocess;
            QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
            qenv.insert(QStringLiteral("LUMACAST_LOG_LOOP"), qtempLog.path() + QLatin1Char('/'));
            qprocess.setProcessEnvironment(qenv);
            qprocess.start(QCoreApplication::applicationFilePath(), QStringList());
            QVERIFY(qprocess.waitForReadyRead(10000));
            QTest::qSleep(20 + 10 * iTry);
            ::kill(static_cast<pid_t>(qprocess.processId()), SIGSEGV);
            const bool blEnded = qprocess.waitForFinished(10000);
            qprocess.kill();
            QVERIFY2(blEnded, "hung in its fatal-signal handler");
            QCOMPARE(qprocess.exitStatus(), QProcess::CrashExit);
            QString qstrLog;
            for (const QFileInfo& qfileinfo : QDir(qtempLog.path()).entryInfoList(QDir::Files)) {
                QFile qfile(qfileinfo.filePath());
                QVERIFY(qfile.open(QIODevice::ReadOnly));
                qstrLog += QString::fromUtf8(qfile.readAll());
            }
            QCOMPARE(qstrLog.count(QStringLiteral("!!!!!!!!!!! ExceptionCode=[11] ExceptionFlags=[0]")), 1);
        }
    }
};

int main(int argc, char* argv[])
{
    // The copy that the crash test signals: it logs as fast as it can.
    const QByteArray qbaLogLoop = qgetenv("LUMACAST_LOG_LOOP");
    if (!qbaLogLoop.isEmpty()) {
        InstallCrashHandlers();
        log_set_path(qbaLogLoop.constData());
        SetCrashLogFolder(qbaLogLoop);
        std::puts("ready");
        std::fflush(stdout);
        for (unsigned int i = 0;; ++i) {
            LOG_EX(LOG_TRACE, "busy %u %s", i, std::string(i % 300, 'x').c_str());
        }
    }
    QCoreApplication app(argc, argv);
    TestStartupEnv testObject;
    return QTest::qExec(&testObject, argc, argv);
}

#include "test_startupenv.moc"
