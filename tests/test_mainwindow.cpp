// The main window and its tray icon on real widgets (offscreen): pages, exit, blinking, restart;
// renders of both skins into <test folder>/looks for review.
#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "CLS_WgtMainWindow.h"
#include "CLS_WgtSystemSet/CLS_WgtModifyPassword.h"
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

// Start-up's reading of the settings file and the skin, with _qjsonConfig as the file.
void StartWith(const QJsonObject& _qjsonConfig)
{
    QDir().mkpath(AppDir() + "LumacastFile/Resource/config");
    WriteJsonFile(_qjsonConfig, OrbApplication::Instance()->GetConfigPath());
    OrbApplication::Instance()->ParseStartParam({QStringLiteral("Lumacast")});
}

bool IsBlank(const QIcon& _qicon)
{
    return qAlpha(_qicon.pixmap(11, 11).toImage().pixel(5, 5)) == 0;
}

// Sampled pixels that differ from the centre one: a painted picture is not blank.
int Variety(const QImage& _qimage)
{
    int iCount = 0;
    for (int i = 0; i < _qimage.width() * _qimage.height(); i += 4) {
        iCount +=
            _qimage.pixel(i % _qimage.width(), i / _qimage.width()) != _qimage.pixel(_qimage.rect().center());
    }
    return iCount;
}

// Saves the window's picture for review; whether it is painted (not blank).
bool Render(QWidget* _pWindow, const QString& _qstrName)
{
    const QImage qimage = _pWindow->grab().toImage();
    return qimage.save(AppDir() + "looks/" + _qstrName + ".png") && Variety(qimage) > qimage.width();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pageList_switchesPagesAndPictures();
    void exit_data();
    void exit();
    void trayBlink_doubleClickStopsItAndShowsTheWindow();
    void trayRestart_hidesTrayCleansUpAndStartsANewCopy();
    void looks_data();
    void looks();

private:
    QAction* TrayAction(int _iIndex)
    {
        return m_pWindow->GetTrayIcon()->contextMenu()->actions().at(_iIndex);
    }

    std::unique_ptr<CLS_WgtMainWindow> m_pWindow;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(
        CopyInstalledData(qEnvironmentVariable("LUMACAST_APP_DIR"), QCoreApplication::applicationDirPath()));
    QDir().mkpath(AppDir() + "looks");
    StartWith({});
}

void TestMainWindow::init()
{
    m_pWindow = std::make_unique<CLS_WgtMainWindow>();
    m_pWindow->show();
}

void TestMainWindow::cleanup()
{
    m_pWindow.reset();
}

void TestMainWindow::pageList_switchesPagesAndPictures()
{
    auto* pList = m_pWindow->findChild<QListWidget*>("listWidget_Set");
    auto* pStack = m_pWindow->findChild<QStackedWidget*>();
    QCOMPARE(pList->count(), 2);
    QCOMPARE(pList->item(0)->text(), QStringLiteral("通道设置"));
    QCOMPARE(pList->item(1)->text(), QStringLiteral("系统设置"));
    QVERIFY(!m_pWindow->findChild<QToolButton*>("pushButton_maximize")->isVisible());
    QVERIFY(!m_pWindow->windowIcon().isNull());
    QVERIFY(!m_pWindow->GetTrayIcon()->icon().isNull());

    const char* const apcLabels[] = {"labelChanSetImageStart", "labelChanSetImageEnd",
                                     "labelSystemImageStart", "labelSystemImageEnd"};
    const char* const apcPictures[2][4] = {{"chanSet_Slect", "listWidget_Slect", "systemSet", "listWidget"},
                                           {"chanSet", "listWidget", "systemSet_Slect", "listWidget_Slect"}};
    for (const int iRow : {1, 0}) {
        pList->setCurrentRow(iRow);
        QCOMPARE(pStack->currentWidget(),
                 iRow == 0 ? static_cast<QWidget*>(m_pWindow->GetChanSet()) : m_pWindow->GetSystemSet());
        for (int i = 0; i < 4; ++i) {
            const QString qstrPicture =
                "./LumacastFile/Resource/skinOne/images/" + QLatin1String(apcPictures[iRow][i]);
            auto* pLabel = m_pWindow->findChild<QLabel*>(apcLabels[i]);
            QCOMPARE(pLabel->styleSheet(), "QLabel{ border-image: url(" + qstrPicture + ")}");
            // Named without a suffix, the picture is found by the image reader.
            QVERIFY2(!QPixmap(qstrPicture).isNull(), qPrintable(qstrPicture));
            QVERIFY(Variety(pLabel->grab().toImage()) > 0);
        }
    }
}

void TestMainWindow::exit_data()
{
    QTest::addColumn<bool>("fromTray");
    QTest::addColumn<QString>("answer");
    QTest::newRow("close button, cancel") << false << "取消";
    QTest::newRow("tray exit, cancel") << true << "取消";
    QTest::newRow("close button, OK") << false << "确定";
    QTest::newRow("tray exit, OK") << true << "确定";
}

void TestMainWindow::exit()
{
    QFETCH(bool, fromTray);
    QFETCH(QString, answer);
    CLS_BoxAnswerer answerer(answer);
    QTimer::singleShot(0, this, [this, fromTray]() {
        if (fromTray) {
            TrayAction(2)->trigger();
        } else {
            QTest::mouseClick(m_pWindow->findChild<QToolButton*>("pushButton_close"), Qt::LeftButton);
        }
    });
    // Ends the loop if the window does not; its context dies with this test.
    QObject qobjGiveUp;
    QTimer::singleShot(1000, &qobjGiveUp, []() { QCoreApplication::exit(-7); });
    const bool blOk = answer == "确定";
    QCOMPARE(QCoreApplication::exec(), blOk ? 0 : -7);
    QCOMPARE(answerer.m_qstrlstTexts, QStringList{"确定退出吗？"});
    QCOMPARE(m_pWindow->GetTrayIcon()->isVisible(), !blOk);
    QCOMPARE(m_pWindow->isVisible(), !blOk || fromTray);
}

void TestMainWindow::trayBlink_doubleClickStopsItAndShowsTheWindow()
{
    CLS_SystemTrayIcon* pTray = m_pWindow->GetTrayIcon();
    m_pWindow->hide();
    pTray->Blink(true);
    for (const bool blBlank : {true, false, true}) {
        QTRY_COMPARE_WITH_TIMEOUT(IsBlank(pTray->icon()), blBlank, 1000);
    }
    emit pTray->activated(QSystemTrayIcon::Trigger);
    QVERIFY(!m_pWindow->isVisible());
    m_pWindow->resize(900, 760);
    emit pTray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(m_pWindow->isVisible());
    QCOMPARE(m_pWindow->size(), m_pWindow->sizeHint());
    QVERIFY(!pTray->IsBlinking());
    QVERIFY(!IsBlank(pTray->icon()));
    QTest::qWait(500);
    QVERIFY(!IsBlank(pTray->icon()));
}

void TestMainWindow::trayRestart_hidesTrayCleansUpAndStartsANewCopy()
{
    // The new copy is the recorder, in the program's place in the application folder.
    const QString qstrRecord = AppDir() + "restart.record";
    qputenv("LUMACAST_CHILD_RECORD", qstrRecord.toUtf8());
    QFile::remove(AppDir() + "Lumacast");
    QVERIFY(QFile::copy(QStringLiteral(LUMACAST_CHILD_RECORDER), AppDir() + "Lumacast"));
    const QString qstrName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("Lumacast");
    CB_State stState{};
    camera_business_inspect_state(&stState);
    const int iCleanups = stState.iCleanupCount;
    TrayAction(1)->trigger();
    QCoreApplication::setApplicationName(qstrName);
    QVERIFY(!m_pWindow->GetTrayIcon()->isVisible());
    camera_business_inspect_state(&stState);
    QCOMPARE(stState.iCleanupCount, iCleanups + 1);
    QTRY_COMPARE(RecordedArguments(qstrRecord),
                 (QList<QByteArray>{(AppDir() + "Lumacast").toUtf8(), "Lumacast",
                                    R"({"param":{"restart":true,"tip":false}})"}));
}

void TestMainWindow::looks_data()
{
    QTest::addColumn<QString>("skin");
    for (const char* pcSkin : {"skinOne", "skinTwo"}) {
        QTest::newRow(pcSkin) << pcSkin;
    }
}

void TestMainWindow::looks()
{
    QFETCH(QString, skin);
    StartWith({{"skin", skin}, {"hostInfo", QJsonObject{{"port", 8554}, {"password", "c2VjcmV0"}}}});
    m_pWindow = std::make_unique<CLS_WgtMainWindow>();
    m_pWindow->show();
    auto* pList = m_pWindow->findChild<QListWidget*>("listWidget_Set");
    QCOMPARE(m_pWindow->size(), m_pWindow->sizeHint());
    for (const int iRow : {0, 1}) {
        pList->setCurrentRow(iRow);
        QVERIFY(Render(m_pWindow.get(), skin + (iRow == 0 ? "_main_channels" : "_main_system")));
    }
    bool blDialog = false, blExit = false;
    WhenModal<CLS_WgtModifyPassword>([&](CLS_WgtModifyPassword* _pDialog) {
        blDialog = Render(_pDialog, skin + "_password");
        _pDialog->reject();
    });
    QTest::mouseClick(m_pWindow->findChild<QPushButton*>("pushButton_ModifyPwd"), Qt::LeftButton);
    WhenModal<CLS_MessageBox>([&](CLS_MessageBox* _pBox) {
        blExit = Render(_pBox, skin + "_exit_question");
        ButtonWithText(_pBox, "取消")->click();
    });
    QVERIFY(!m_pWindow->SlotExit());
    QVERIFY(blDialog && blExit);
    StartWith({});
}

LUMACAST_TEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
