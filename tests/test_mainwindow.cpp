// The main window and its tray icon on real widgets (offscreen): pages, exit, blinking, restart;
// the installed style sheets: complete, and every page, dialog and menu rendered in both skins into
// <test folder>/looks, where each must stand apart from the unstyled render and from the other skin's.
#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "CLS_WgtChanSet/CLS_WgtVideoParamSet.h"
#include "CLS_WgtMainWindow.h"
#include "CLS_WgtSystemSet/CLS_WgtModifyPassword.h"
#include "CLS_WgtSystemSet/CLS_WgtSystemSet.h"
#include "CameraBusinessView.h"
#include "LinkTestSupport.h"
#include "ModalSupport.h"
#include "ProgramCopy.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QAbstractItemView>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>

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

// "none" names no installed skin: no style sheet at all. Start-up reads an unknown skin as
// "skinOne", so the look is set here as start-up sets it.
const QStringList g_qstrlstLooks{QStringLiteral("none"), QStringLiteral("skinOne"),
                                 QStringLiteral("skinTwo")};

void ApplyLook(const QString& _qstrSkin)
{
    QFile qfileSheet(AppDir() + "LumacastFile/Resource/" + _qstrSkin + "/qss/lumacast_style.qss");
    qApp->setStyleSheet(qfileSheet.open(QIODevice::ReadOnly) ? QString::fromUtf8(qfileSheet.readAll())
                                                             : QString());
    OrbApplication::Instance()->SetSkin(_qstrSkin);
    CLS_MessageBox::SetSkin(_qstrSkin);
}

// Share of the pixels (every other row and column) that differ; 1 for pictures of different sizes.
double Difference(const QImage& _qimageA, const QImage& _qimageB)
{
    if (_qimageA.size() != _qimageB.size() || _qimageA.isNull()) {
        return 1.0;
    }
    int iDiffer = 0, iAll = 0;
    for (int y = 0; y < _qimageA.height(); y += 2) {
        for (int x = 0; x < _qimageA.width(); x += 2, ++iAll) {
            iDiffer += _qimageA.pixel(x, y) != _qimageB.pixel(x, y);
        }
    }
    return double(iDiffer) / iAll;
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

// The picture of the first modal window of class T that _open brings up; it is closed again.
template <typename T>
QImage ModalPicture(const std::function<void()>& _open)
{
    QImage qimage;
    WhenModal<T>([&qimage](T* _pWindow) {
        qimage = _pWindow->grab().toImage();
        _pWindow->reject();
    });
    _open();
    return qimage;
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
    void trayRestart_data();
    void trayRestart();
    void installedData_isComplete_data() { skins_data(); }
    void installedData_isComplete();
    void maximiseButton_followsTheSheet_data() { skins_data(); }
    void maximiseButton_followsTheSheet();
    void looks();

private:
    void skins_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::newRow("skinOne") << "skinOne";
        QTest::newRow("skinTwo") << "skinTwo";
    }
    QAction* TrayAction(int _iIndex)
    {
        return m_pWindow->GetTrayIcon()->contextMenu()->actions().at(_iIndex);
    }
    QMap<QString, QImage> RenderViews();

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
}

void TestMainWindow::trayRestart_data()
{
    QTest::addColumn<bool>("starts");
    QTest::newRow("new copy starts") << true;
    QTest::newRow("program not executable") << false;
}

// A started copy gets this copy's link identity and ends it; when none starts, this copy goes on
// serving as before: library started with the same channels, tray icon back, the user told.
void TestMainWindow::trayRestart()
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
    TrayAction(1)->trigger();
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
        QCOMPARE(
            QByteArray(reinterpret_cast<const char*>(&stAfter.aChannels[i].block), sizeof(STRUCT_ChanInfo)),
            QByteArray(reinterpret_cast<const char*>(&stBefore.aChannels[i].block), sizeof(STRUCT_ChanInfo)));
    }
}

// Every picture a skin's sheet names, and the message box's kind pictures, are installed.
void TestMainWindow::installedData_isComplete()
{
    QFETCH(QString, skin);
    const QString qstrDir = qEnvironmentVariable("LUMACAST_APP_DIR") + '/';
    QFile qfileSheet(qstrDir + "LumacastFile/Resource/" + skin + "/qss/lumacast_style.qss");
    QVERIFY2(qfileSheet.open(QIODevice::ReadOnly), qPrintable(qfileSheet.fileName()));
    const QByteArray qbaSheet = qfileSheet.readAll();
    QCOMPARE(QString::fromUtf8(qbaSheet).toUtf8(), qbaSheet); // valid UTF-8
    // Pictures are looked up from the application folder, the program's current directory.
    const QRegularExpression regexUrl(QStringLiteral(R"(url\(\s*["']?([^"')]+?)["']?\s*\))"));
    QStringList qstrlstPictures{"MessageBox/Information.png", "MessageBox/Question.png",
                                "MessageBox/Warning.png", "MessageBox/Critical.png", "MessageBox/Alarm.png"};
    for (auto it = regexUrl.globalMatch(QString::fromUtf8(qbaSheet)); it.hasNext();) {
        qstrlstPictures.append(it.next().captured(1));
    }
    QVERIFY(qstrlstPictures.size() > 5);
    for (const QString& qstrPicture : qAsConst(qstrlstPictures)) {
        QVERIFY2(!QImage(qstrDir + qstrPicture).isNull(), qPrintable(qstrPicture));
    }
}

// The button's "state" reaches the sheet: maximised it shows the restore look, restored the
// maximise look again.
void TestMainWindow::maximiseButton_followsTheSheet()
{
    QFETCH(QString, skin);
    ApplyLook(skin);
    CLS_WgtBase wgt;
    wgt.resize(760, 560);
    wgt.show();
    auto* pMaximize = wgt.findChild<QToolButton*>(QStringLiteral("pushButton_maximize"));
    const QImage qimageMaximizeLook = pMaximize->grab().toImage();
    wgt.SlotShowMaximized();
    QVERIFY(pMaximize->grab().toImage() != qimageMaximizeLook);
    wgt.SlotShowMaximized();
    QCOMPARE(pMaximize->grab().toImage(), qimageMaximizeLook);
    qApp->setStyleSheet(QString());
}

// Every page, dialog and menu of the settings windows as the user meets them.
QMap<QString, QImage> TestMainWindow::RenderViews()
{
    QMap<QString, QImage> mapViews;
    m_pWindow = std::make_unique<CLS_WgtMainWindow>();
    m_pWindow->show();
    mapViews["main_channels"] = m_pWindow->grab().toImage();
    auto* pTree = m_pWindow->findChild<QTreeWidget*>("treeWidget_ParamSet");
    QTest::mouseClick(pTree->viewport(), Qt::LeftButton, {},
                      pTree->visualItemRect(pTree->topLevelItem(1)).center());
    mapViews["output_audio"] = m_pWindow->grab().toImage();
    CLS_ComboBox* pChooser = m_pWindow->GetChanSet()->GetChannelChooser();
    pChooser->showPopup();
    mapViews["channel_popup"] = pChooser->view()->window()->grab().toImage();
    pChooser->hidePopup();
    QMenu* pMenu = m_pWindow->GetTrayIcon()->contextMenu();
    pMenu->popup(QPoint(20, 20));
    mapViews["tray_menu"] = pMenu->grab().toImage();
    pMenu->hide();
    m_pWindow->findChild<QPushButton*>("pushButton_DesktopNumDiscern")->click();
    for (QWidget* pWindow : QApplication::topLevelWidgets()) {
        if (pWindow->isVisible() && pWindow->testAttribute(Qt::WA_TranslucentBackground)) {
            mapViews["desktop_number"] = pWindow->grab().toImage();
        }
    }
    m_pWindow->findChild<QListWidget*>("listWidget_Set")->setCurrentRow(1);
    mapViews["main_system"] = m_pWindow->grab().toImage();
    mapViews["password"] = ModalPicture<CLS_WgtModifyPassword>(
        [this] { m_pWindow->findChild<QPushButton*>("pushButton_ModifyPwd")->click(); });
    mapViews["exit_question"] = ModalPicture<CLS_MessageBox>([this] { m_pWindow->SlotExit(); });
    // The other look of the message box, with its own sheet.
    CLS_MessageBox box(
        nullptr, QStringLiteral("报警"),
        QStringLiteral(R"({"width":40,"height":30,"content":{"one":[{"text":"检测到异常报警"}]}})"), 0,
        QStringLiteral("alarm"));
    box.setBtnList({QStringLiteral("知道了")}, {});
    box.SetIcon(4);
    box.show();
    mapViews["box_custom"] = box.grab().toImage();
    return mapViews;
}

void TestMainWindow::looks()
{
    QMap<QString, QMap<QString, QImage>> mapLooks;
    for (const QString& qstrLook : g_qstrlstLooks) {
        StartWith({{"skin", qstrLook}, {"hostInfo", QJsonObject{{"port", 8554}, {"password", "c2VjcmV0"}}}});
        ApplyLook(qstrLook);
        mapLooks[qstrLook] = RenderViews();
    }
    const QMap<QString, QImage>& mapNone = mapLooks["none"];
    QCOMPARE(mapNone.size(), 9);
    for (auto it = mapNone.cbegin(); it != mapNone.cend(); ++it) {
        const QImage& qimageOne = mapLooks["skinOne"][it.key()];
        const QImage& qimageTwo = mapLooks["skinTwo"][it.key()];
        QVERIFY(qimageOne.save(AppDir() + "looks/skinOne_" + it.key() + ".png"));
        QVERIFY(qimageTwo.save(AppDir() + "looks/skinTwo_" + it.key() + ".png"));
        QVERIFY2(Difference(qimageOne, it.value()) > 0.1 && Difference(qimageTwo, it.value()) > 0.1 &&
                     Difference(qimageOne, qimageTwo) > 0.1,
                 qPrintable(it.key()));
    }
    StartWith({});
}

LUMACAST_TEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
