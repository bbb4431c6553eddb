// The main window where the window system matters, on an X server of its own: task-bar flags,
// minimise with and without a tray icon, what start-up shows or hides, shaped windows where nothing
// composites, real copies of the program. Some cases run under a real window manager (openbox).
#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "CLS_WgtMainWindow.h"
#include "OrbApplication.h"
#include "ProgramCopy.h"
#include "common/PublicCommonFun.h"
#include "widgets/CLS_MessageBox.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

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
    void initTestCase()
    {
        const QString qstrBuilt = qEnvironmentVariable("LUMACAST_APP_DIR");
        QVERIFY(CopyInstalledData(qstrBuilt, QCoreApplication::applicationDirPath()));
        QVERIFY(m_copies.Prepare());
        QVERIFY(CopyInstalledData(qstrBuilt, m_copies.Path(QString())));
        QDir().mkpath(QFileInfo(OrbApplication::Instance()->GetConfigPath()).path());
    }
    void cleanup()
    {
        m_copies.KillAll();
        for (QProcess* pProcess : {&m_qprocessTray, &m_qprocessWm}) {
            pProcess->kill();
            pProcess->waitForFinished();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!m_xview.HasWindowManager(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        QFile::remove(CopyConfig());
    }

    void minimise_hidesOnlyIntoATrayIcon_data()
    {
        QTest::addColumn<bool>("showTray");
        QTest::newRow("tray icon") << true;
        QTest::newRow("tray, no icon configured") << false;
    }
    // Hidden, a window without a tray icon could never be brought back: it minimises instead, to a
    // state the window manager keeps (iconic).
    void minimise_hidesOnlyIntoATrayIcon()
    {
        QFETCH(bool, showTray);
        StartWindowManager();
        StartTray();
        StartWith({{"show_tray", showTray}});
        CLS_WgtMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Docked into the tray, the icon has a place on the screen.
        QTRY_VERIFY_WITH_TIMEOUT(!showTray || !window.GetTrayIcon()->geometry().isEmpty(), 10000);
        QTest::mouseClick(window.findChild<QToolButton*>("pushButton_minimize"), Qt::LeftButton);
        if (showTray) {
            QTRY_VERIFY_WITH_TIMEOUT(!m_xview.WmStates(g_qstrTitle).contains(NormalState), 10000);
            QVERIFY(!m_xview.WmStates(g_qstrTitle).contains(IconicState));
            emit window.GetTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
            QTRY_VERIFY_WITH_TIMEOUT(m_xview.WmStates(g_qstrTitle).contains(NormalState), 10000);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(m_xview.WmStates(g_qstrTitle), QList<long>{IconicState}, 10000);
        }
    }
    void startUp_mapsOnlyWhatItShows_data()
    {
        QTest::addColumn<QJsonObject>("config");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QList<long>>("states");
        QTest::newRow("started as the README runs it")
            << QJsonObject() << QStringList() << QList<long>{NormalState};
        QTest::newRow("minimised start")
            << QJsonObject{{"minisize", true}} << QStringList() << QList<long>{IconicState};
        QTest::newRow("minimised, hidden from the task bar")
            << QJsonObject{{"minisize", true}, {"hidetasker", true}} << QStringList() << QList<long>();
    }
    // A real copy under a window manager: what start-up hides is never mapped, not even minimised; a
    // second start shows it and ends.
    void startUp_mapsOnlyWhatItShows()
    {
        QFETCH(QJsonObject, config);
        QFETCH(QStringList, args);
        QFETCH(QList<long>, states);
        StartWindowManager();
        QVERIFY(WriteJsonFile(config, CopyConfig()));
        const qint64 iPid = Start(args)->processId();
        // The platform link opens after start-up has shown or hidden the window.
        QTRY_VERIFY_WITH_TIMEOUT(m_copies.LogHasLineOf(iPid, "platform link"), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(m_xview.WmStates(g_qstrTitle), states, 5000);
        if (states.isEmpty()) {
            QProcess* pSecond = Start();
            QVERIFY(pSecond->waitForFinished(15000));
            QCOMPARE(pSecond->exitCode(), 255);
            QTRY_COMPARE_WITH_TIMEOUT(m_xview.WmStates(g_qstrTitle), QList<long>{NormalState}, 10000);
        }
    }
    // Without a compositing manager the transparent corners of the message box would show black: it is
    // cut to what it paints.
    void roundWindows_areShapedWhereNothingComposites()
    {
        StartWith({});
        CLS_MessageBox box(nullptr, "提示", "当前程序已运行！", 0, "default");
        box.setBtnList({"确定"}, {});
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY(!box.mask().contains(QPoint(0, 0)));
        QVERIFY(box.mask().contains(box.rect().center()));
    }
    // The mouse's release reaches the list that its press opened: the list must stay open. Task bars
    // list no utility windows.
    void pickOnlyBox_opensOnARealClickOnItsText()
    {
        StartWith({{"hidetasker", true}});
        CLS_WgtMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(m_xview.WindowTypes(window.winId()).value(0), QStringLiteral("_NET_WM_WINDOW_TYPE_UTILITY"));
        CLS_ComboBox* pChooser = window.GetChanSet()->GetChannelChooser();
        m_xview.Click(window.winId(),
                      pChooser->lineEdit()->mapTo(&window, pChooser->lineEdit()->rect().center()));
        QTRY_VERIFY(pChooser->view()->isVisible());
        QTest::qWait(300);
        QVERIFY(pChooser->view()->isVisible());
    }
    // A section's page is styled while it is closed: it must not open at its unstyled height, with
    // its rows overlapping and the save button cut.
    void outputSections_openAtTheirStyledHeight()
    {
        StartWindowManager();
        StartWith({{"skin", "skinTwo"}});
        CLS_WgtMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* pTree = window.findChild<QTreeWidget*>("treeWidget_ParamSet");
        QWidget* pPage = pTree->itemWidget(pTree->topLevelItem(1)->child(0), 0);
        // A real click through the X server, not an event made up inside the program.
        m_xview.Click(window.winId(), pTree->viewport()->mapTo(
                                          &window, pTree->visualItemRect(pTree->topLevelItem(1)).center()));
        QTRY_VERIFY(pPage->findChild<QPushButton*>("pushButton_SaveParam")->isVisible());
        QTest::qWait(300);
        QCOMPARE(pPage->height(), pPage->sizeHint().height());
        qApp->setStyleSheet(QString());
    }

private:
    QProcess* Start(const QStringList& _qstrlstArgs = {})
    {
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert("QT_QPA_PLATFORM", "xcb");
        return m_copies.Start(_qstrlstArgs, qenv);
    }
    QString CopyConfig() const { return m_copies.Path("LumacastFile/Resource/config/lumacast.json"); }
    void StartWindowManager()
    {
        m_qprocessWm.start("openbox", {"--sm-disable"});
        QVERIFY2(m_qprocessWm.waitForStarted(), "openbox manages the X server's windows");
        QTRY_VERIFY_WITH_TIMEOUT(m_xview.HasWindowManager(), 10000);
    }
    void StartTray()
    {
        m_qprocessTray.start("trayer", QStringList());
        QVERIFY2(m_qprocessTray.waitForStarted(), "trayer gives the X server a system tray");
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    }

    QProcess m_qprocessWm;
    QProcess m_qprocessTray;
    ProgramCopies m_copies;
    CLS_XView m_xview;
};

int main(int argc, char* argv[])
{
    // The X server is the one CTest starts for this test alone (xvfb-run), never the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "xcb");
    OrbApplication app(argc, argv);
    TestMainWindowX11 testObject;
    return QTest::qExec(&testObject, argc, argv);
}

#include "test_mainwindow_x11.moc"
