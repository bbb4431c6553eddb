// A first start of the program on the X server of DISPLAY: from exec until its main window is on the
// screen. Run it on an X server of its own, for example
//   xvfb-run -a build/benchmarks/bench_firstwindow/bench_firstwindow -median 7
#include "ProgramCopy.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Last: Xlib's macros clash with Qt's names.
#include "X11Support.h"

class BenchFirstWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void firstStartToShownWindow();

private:
    QTemporaryDir m_qtempApp;
    QTemporaryDir m_qtempSockets;
};

void BenchFirstWindow::initTestCase()
{
    QVERIFY(CopyBuiltProgram(QStringLiteral(LUMACAST_APP_DIR), m_qtempApp.path()));
    QVERIFY(CopyInstalledData(QStringLiteral(LUMACAST_APP_DIR), m_qtempApp.path()));
}

void BenchFirstWindow::firstStartToShownWindow()
{
    CLS_XView xview;
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs an X server");
    QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
    qenv.insert(QStringLiteral("TMPDIR"), m_qtempSockets.path());
    qenv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QBENCHMARK
    {
        QProcess qprocess;
        qprocess.setProcessEnvironment(qenv);
        qprocess.start(m_qtempApp.filePath(QStringLiteral("Lumacast")), QStringList());
        QVERIFY(qprocess.waitForStarted());
        QElapsedTimer qtimer;
        qtimer.start();
        while (xview.ViewableWindow(QStringLiteral("Lumacast参数设置")) == 0 && qtimer.elapsed() < 30000) {
            QThread::usleep(500);
        }
        QVERIFY(qtimer.elapsed() < 30000);
        qprocess.kill();
        qprocess.waitForFinished();
    }
}

QTEST_GUILESS_MAIN(BenchFirstWindow)
#include "bench_firstwindow.moc"
