// A first start of the program on a private X server: from exec until its main window is on the screen.
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

int main(int argc, char* argv[])
{
    CLS_PrivateXServer xserver;
    QCoreApplication app(argc, argv);
    BenchFirstWindow benchObject;
    return QTest::qExec(&benchObject, argc, argv);
}

#include "bench_firstwindow.moc"
