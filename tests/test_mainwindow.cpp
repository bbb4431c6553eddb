// The main window and its tray icon on real widgets (offscreen): pages, exit, blinking, restart.
#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "CLS_WgtMainWindow.h"
#include "CLS_WgtSystemSet/CLS_WgtSystemSet.h"
#include "CameraBusinessView.h"
#include "LinkTestSupport.h"
#include "ModalSupport.h"
#include "ProgramCopy.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QListWidget>
#include <QMenu>
#include <QStackedWidget>
#include <QToolButton>

#include <memory>

namespace {

QString AppDir()
{
    return QCoreApplication::applicationDirPath() + '/';
}

bool IsBlank(const QIcon& _qicon)
{
    return qAlpha(_qicon.pixmap(11, 11).toImage().pixel(5, 5)) == 0;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(CopyInstalledData(qEnvironmentVariable("LUMACAST_APP_DIR"),
                                  QCoreApplication::applicationDirPath()));
        // No settings file: start-up reads the skin as "skinOne".
        QDir().mkpath(AppDir() + "LumacastFile/Resource/config");
        QFile::remove(OrbApplication::Instance()->GetConfigPath());
        OrbApplication::Instance()->ParseStartParam({QStringLiteral("Lumacast")});
    }
    void init()
    {
        m_pWindow = std::make_unique<CLS_WgtMainWindow>();
        m_pWindow->show();
    }
    void cleanup() { m_pWindow.reset(); }

    void pageList_switchesPagesWithIconsShown()
    {
        auto* pList = m_pWindow->findChild<QListWidget*>("listWidget_Set");
        QCOMPARE(pList->count(), 2);
        QCOMPARE(pList->item(0)->text(), QStringLiteral("通道设置"));
        QCOMPARE(pList->item(1)->text(), QStringLiteral("系统设置"));
        QVERIFY(!m_pWindow->findChild<QToolButton*>("pushButton_maximize")->isVisible());
        QVERIFY(!m_pWindow->windowIcon().isNull());
        QVERIFY(!m_pWindow->GetTrayIcon()->icon().isNull());

        pList->setCurrentRow(1);
        QCOMPARE(m_pWindow->findChild<QStackedWidget*>()->currentWidget(), m_pWindow->GetSystemSet());
    }
    void exit_asksThenEnds()
    {
        CLS_BoxAnswerer answerer;
        QTimer::singleShot(0, this, [this]() {
            QTest::mouseClick(m_pWindow->findChild<QToolButton*>("pushButton_close"), Qt::LeftButton);
        });
        // Ends the loop if the window does not; its context dies with this test.
        QObject qobjGiveUp;
        QTimer::singleShot(1000, &qobjGiveUp, []() { QCoreApplication::exit(-7); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(answerer.m_qstrlstTexts, QStringList{"确定退出吗？"});
        QVERIFY(!m_pWindow->GetTrayIcon()->isVisible());
        QVERIFY(!m_pWindow->isVisible());
    }
    void trayBlink_doubleClickStopsItAndShowsTheWindow()
    {
        CLS_SystemTrayIcon* pTray = m_pWindow->GetTrayIcon();
        m_pWindow->hide();
        pTray->Blink(true);
        QTRY_VERIFY_WITH_TIMEOUT(IsBlank(pTray->icon()), 1000);
        emit pTray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!m_pWindow->isVisible());
        emit pTray->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(m_pWindow->isVisible());
        QVERIFY(!pTray->IsBlinking());
        QVERIFY(!IsBlank(pTray->icon()));
    }
    void trayRestart_data()
    {
        QTest::addColumn<bool>("starts");
        QTest::newRow("new copy starts") << true;
        QTest::newRow("program not executable") << false;
    }
    // A started copy gets this copy's link identity and ends it; when none starts, this copy goes on
    // serving as before: library started with the same channels, tray icon back, the user told.
    void trayRestart()
    {
        QFETCH(bool, starts);
        // The new copy is the recorder, in the program's place in the application folder.
        const QString qstrRecord = AppDir() + "restart.record";
        QFile::remove(qstrRecord);
        qputenv("LUMACAST_CHILD_RECORD", qstrRecord.toUtf8());
        QFile::remove(AppDir() + "Lumacast");
        QVERIFY(QFile::copy(QStringLiteral(LUMACAST_CHILD_RECORDER), AppDir() + "Lumacast"));
        QVERIFY(starts || QFile::setPermissions(AppDir() + "Lumacast", QFile::ReadOwner | QFile::WriteOwner));
        const QJsonObject qjsonIdentity{
            {"token", "tk"}, {"platform", "pf"}, {"communicationId", "ci"}, {"sendSocketID", "si"}};
        OrbApplication::Instance()->ParseStartParam({"Lumacast", "marker", JsonToString(qjsonIdentity)});
        const int iFailLines = ReadAppLog().count("!qProcess.startDetached");
        CB_State stBefore{};
        camera_business_inspect_state(&stBefore);
        CLS_BoxAnswerer answerer;
        const QString qstrName = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName("Lumacast");
        m_pWindow->GetTrayIcon()->contextMenu()->actions().at(1)->trigger();
        QCoreApplication::setApplicationName(qstrName);
        CB_State stAfter{};
        camera_business_inspect_state(&stAfter);
        QCOMPARE(stAfter.iCleanupCount, stBefore.iCleanupCount + 1);
        QCOMPARE(m_pWindow->GetTrayIcon()->isVisible(), !starts);
        QCOMPARE(ReadAppLog().count("!qProcess.startDetached"), iFailLines + (starts ? 0 : 1));
        if (starts) {
            QTRY_VERIFY(!RecordedArguments(qstrRecord).isEmpty());
            const QList<QByteArray> lstArgs = RecordedArguments(qstrRecord);
            QCOMPARE(lstArgs.mid(0, 2), (QList<QByteArray>{(AppDir() + "Lumacast").toUtf8(), "Lumacast"}));
            QJsonObject qjsonExpected = qjsonIdentity;
            qjsonExpected.insert("param", QJsonObject{{"restart", true}, {"tip", false}});
            QCOMPARE(QJsonDocument::fromJson(lstArgs.value(2)).object(), qjsonExpected);
            QVERIFY(answerer.m_qstrlstTexts.isEmpty());
            return;
        }
        QCOMPARE(answerer.m_qstrlstTexts, QStringList{"重启失败，程序继续运行"});
        QCOMPARE(stAfter.ucStarted, uint8_t(1));
        QCOMPARE(stAfter.iPort, stBefore.iPort);
        for (int i = 0; i < CAMERA_BUSINESS_MAX_CHANNELS; ++i) {
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(&stAfter.aChannels[i].block),
                                sizeof(STRUCT_ChanInfo)),
                     QByteArray(reinterpret_cast<const char*>(&stBefore.aChannels[i].block),
                                sizeof(STRUCT_ChanInfo)));
        }
    }

private:
    std::unique_ptr<CLS_WgtMainWindow> m_pWindow;
};

LUMACAST_TEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
