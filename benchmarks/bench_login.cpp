// Start-up as the user sees it: from exec of the program to its login frame on the local service
// port, on a machine whose ALSA configuration lists several audio inputs. Listens on the fixed
// port 127.0.0.1:10588; run it alone. LUMACAST_BENCH_APP_DIR names another built application
// folder to compare with (default: this build's).
#include "ProgramCopy.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QtTest>

#include <algorithm>

namespace {

// An ALSA configuration in the given home folder that lists _iCount null capture devices, as a
// machine with several sound cards and plugins does.
bool WriteAlsaNullDevices(const QString& _qstrHome, int _iCount)
{
    QFile qfileRc(_qstrHome + "/.asoundrc");
    if (!qfileRc.open(QIODevice::WriteOnly)) {
        return false;
    }
    for (int i = 0; i < _iCount; ++i) {
        qfileRc.write(
            QString("pcm.bench%1 { type null hint { show on description \"Bench %1\" } }\n").arg(i).toUtf8());
    }
    return true;
}

} // namespace

class BenchLogin : public QObject
{
    Q_OBJECT
private slots:
    void execToLoginFrame();
};

void BenchLogin::execToLoginFrame()
{
    QTemporaryDir qtempApp;
    QTemporaryDir qtempHome;
    const QString qstrBuilt = qEnvironmentVariable("LUMACAST_BENCH_APP_DIR", LUMACAST_APP_DIR);
    // A name of its own: copies of the program end older copies by name on a restart.
    QVERIFY(CopyBuiltProgram(qstrBuilt, qtempApp.path(), "LumacastBench"));
    QVERIFY(WriteAlsaNullDevices(qtempHome.path(), 10));
    QWebSocketServer server("bench", QWebSocketServer::NonSecureMode);
    QVERIFY2(server.listen(QHostAddress::LocalHost, 10588), "127.0.0.1:10588 is taken");
    int iFrames = 0;
    connect(&server, &QWebSocketServer::newConnection, &server, [&] {
        QWebSocket* pSocket = server.nextPendingConnection();
        connect(pSocket, &QWebSocket::textMessageReceived, pSocket, [&iFrames] { ++iFrames; });
        connect(pSocket, &QWebSocket::disconnected, pSocket, &QObject::deleteLater);
    });
    QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
    qenv.insert("HOME", qtempHome.path());
    qenv.insert("TMPDIR", qtempHome.path());
    qenv.insert("QT_QPA_PLATFORM", "offscreen");

    // The first start builds the channel table; the runs measured start with it stored.
    QList<qint64> lstMs;
    for (int iRun = 0; iRun <= 9; ++iRun) {
        QProcess program;
        program.setProcessEnvironment(qenv);
        iFrames = 0;
        QElapsedTimer timer;
        timer.start();
        program.start(qtempApp.filePath("LumacastBench"), QStringList());
        QVERIFY(QTest::qWaitFor([&iFrames] { return iFrames > 0; }, 30000));
        if (iRun > 0) {
            lstMs.append(timer.elapsed());
        }
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
    }
    std::sort(lstMs.begin(), lstMs.end());
    qInfo() << "exec to login frame, ms:" << lstMs;
    QTest::setBenchmarkResult(lstMs.at(lstMs.size() / 2), QTest::WalltimeMilliseconds);
}

QTEST_GUILESS_MAIN(BenchLogin)
#include "bench_login.moc"
