// The main window where the window system matters, on an X server of its own: task-bar flags,
// minimise with and without a system tray, and real copies of the program shown by a second
// start or started as the README runs it.
#include "CLS_WgtMainWindow.h"
#include "LogReader.h"
#include "OrbApplication.h"
#include "ProgramCopy.h"
#include "common/PublicCommonFun.h"

#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

// Last: Xlib's macros clash with Qt's names.
#include "X11Support.h"

namespace {

const QString g_qstrTitle = QStringLiteral("Lumacast参数设置");

void StartWith(const QJsonObject& _qjsonConfig)
{
    QVERIFY(WriteJsonFile(_qjsonConfig, OrbApplication::Instance()->GetConfigPath()));
    OrbApplication::Instance()->ParseStartParam({QStringLiteral("Lumacast")});
}

} // namespace

class TestMainWindowX11 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void hideFromTaskBar_makesAUtilityWindow();
    void secondStart_showsTheHiddenWindowOfTheRunningCopy();
    void readmeRun_showsTheMainWindow();
    void minimise_withoutTrayMinimises_withTrayHides();

private:
    QProcess* Start();

    QTemporaryDir m_qtempApp;
    QTemporaryDir m_qtempSockets;
    std::vector<std::unique_ptr<QProcess>> m_vecProcesses;
    CLS_XView m_xview;
};

void TestMainWindowX11::initTestCase()
{
    const QString qstrBuilt = qEnvironmentVariable("LUMACAST_APP_DIR");
    QVERIFY(CopyInstalledData(qstrBuilt, QCoreApplication::applicationDirPath()));
    QVERIFY(CopyBuiltProgram(qstrBuilt, m_qtempApp.path()));
    QVERIFY(CopyInstalledData(qstrBuilt, m_qtempApp.path()));
    QDir().mkpath(QFileInfo(OrbApplication::Instance()->GetConfigPath()).path());
    QDir().mkpath(QCoreApplication::applicationDirPath() + "/looks");
}

void TestMainWindowX11::cleanup()
{
    for (auto& pProcess : m_vecProcesses) {
        pProcess->kill();
        pProcess->waitForFinished();
    }
    m_vecProcesses.clear();
}

QProcess* TestMainWindowX11::Start()
{
    auto pProcess = std::make_unique<QProcess>();
    QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
    qenv.insert("TMPDIR", m_qtempSockets.path());
    qenv.insert("QT_QPA_PLATFORM", "xcb");
    pProcess->setProcessEnvironment(qenv);
    pProcess->start(m_qtempApp.filePath("Lumacast"), QStringList());
    pProcess->waitForStarted();
    m_vecProcesses.push_back(std::move(pProcess));
    return m_vecProcesses.back().get();
}

// Task bars list no utility windows.
void TestMainWindowX11::hideFromTaskBar_makesAUtilityWindow()
{
    for (const bool blHide : {false, true}) {
        StartWith({{"hidetasker", blHide}});
        CLS_WgtMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(m_xview.WindowTypes(window.winId()).value(0),
                 QString(blHide ? "_NET_WM_WINDOW_TYPE_UTILITY" : "_NET_WM_WINDOW_TYPE_DIALOG"));
    }
}

void TestMainWindowX11::secondStart_showsTheHiddenWindowOfTheRunningCopy()
{
    QVERIFY(WriteJsonFile({{"hidetasker", true}},
                          m_qtempApp.filePath("LumacastFile/Resource/config/lumacast.json")));
    QProcess* pFirst = Start();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_qtempSockets.filePath("Lumacast")), 10000);
    QTest::qWait(300);
    QCOMPARE(m_xview.ViewableWindow(g_qstrTitle), Window(0));
    QProcess* pSecond = Start();
    QVERIFY(pSecond->waitForFinished(15000));
    QCOMPARE(pSecond->exitCode(), 255);
    QTRY_VERIFY_WITH_TIMEOUT(m_xview.ViewableWindow(g_qstrTitle) != 0, 10000);
    QCOMPARE(pFirst->state(), QProcess::Running);
    QFile::remove(m_qtempApp.filePath("LumacastFile/Resource/config/lumacast.json"));
}

void TestMainWindowX11::readmeRun_showsTheMainWindow()
{
    Start();
    QTRY_VERIFY_WITH_TIMEOUT(m_xview.ViewableWindow(g_qstrTitle) != 0, 15000);
    QTest::qWait(500);
    const QImage qimage =
        QGuiApplication::primaryScreen()->grabWindow(m_xview.ViewableWindow(g_qstrTitle)).toImage();
    QVERIFY(qimage.save(QCoreApplication::applicationDirPath() + "/looks/x11_main_window.png"));
    QVERIFY(qimage.width() >= 727 && qimage.height() >= 626);
    // Painted as styled: the page list's first row stands out as the chosen one.
    QVERIFY(qimage.pixel(115, 48) != qimage.pixel(115, qimage.height() - 20));
}

// Without a system tray the window minimises and says so once; with one it hides into the tray.
void TestMainWindowX11::minimise_withoutTrayMinimises_withTrayHides()
{
    QProcess qprocessTray;
    for (const bool blTray : {false, true}) {
        if (blTray) {
            qprocessTray.start("trayer", QStringList());
            QVERIFY2(qprocessTray.waitForStarted(), "trayer gives the X server a system tray");
        }
        QTRY_COMPARE_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), blTray, 10000);
        StartWith({});
        const int iLines = ReadAppLog().count("no system tray available");
        CLS_WgtMainWindow window;
        QCOMPARE(ReadAppLog().count("no system tray available"), iLines + (blTray ? 0 : 1));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Docked into the tray, the icon has a place on the screen.
        QTRY_VERIFY_WITH_TIMEOUT(!blTray || !window.GetTrayIcon()->geometry().isEmpty(), 10000);
        QTest::mouseClick(window.findChild<QToolButton*>("pushButton_minimize"), Qt::LeftButton);
        // Without a tray it stays on the task bar, where the user finds it again.
        QVERIFY(blTray || window.isMinimized());
        QCOMPARE(window.isVisible(), !blTray);
        if (blTray) {
            emit window.GetTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
            QVERIFY(window.isVisible());
        }
    }
    qprocessTray.kill();
    qprocessTray.waitForFinished();
}

int main(int argc, char* argv[])
{
    // The X server is the one CTest starts for this test alone (xvfb-run), never the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "xcb");
    OrbApplication app(argc, argv);
    TestMainWindowX11 testObject;
    return QTest::qExec(&testObject, argc, argv);
}

#include "test_mainwindow_x11.moc"
