// The widget kit's windows with the installed style sheets and icons: message boxes rendered in
// both skins into <test folder>/looks/*.png and told apart from unstyled ones, what the sheets do
// to title buttons and dialog rows, and whether the installation data is complete.
#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "CLS_WgtSystemSet/CLS_WgtModifyPassword.h"
#include "LookSupport.h"
#include "ProgramCopy.h"
#include "TestSupport.h"
#include "widgets/CLS_ComboBox.h"
#include "widgets/CLS_MessageBox.h"
#include "widgets/CLS_WgtBase.h"

#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

namespace {

QString AppDir()
{
    return QCoreApplication::applicationDirPath() + '/';
}

QString InstalledDir()
{
    return qEnvironmentVariable("LUMACAST_APP_DIR") + '/';
}

QString SheetPath(const QString& _qstrSkin)
{
    return "LumacastFile/Resource/" + _qstrSkin + "/qss/lumacast_style.qss";
}

QImage Shown(QWidget* _pWindow)
{
    _pWindow->show();
    QCoreApplication::processEvents();
    return _pWindow->grab().toImage();
}

// First and last row of _qrect that hold a pixel unlike _rgbGround: where something is painted.
QPair<int, int> PaintedRows(const QImage& _qimage, const QRect& _qrect, QRgb _rgbGround)
{
    QPair<int, int> pairRows(-1, -1);
    for (int y = _qrect.top(); y <= _qrect.bottom(); ++y) {
        for (int x = _qrect.left(); x <= _qrect.right(); ++x) {
            if (_qimage.pixel(x, y) != _rgbGround) {
                pairRows = {pairRows.first < 0 ? y : pairRows.first, y};
                break;
            }
        }
    }
    return pairRows;
}

// The main window's first page in a frameless window, as the user sees it after start: channels
// listed, the first chosen.
CLS_WgtChanSet* ShowChannelWindow(CLS_WgtBase& _wgt, const QSize& _qsize)
{
    _wgt.SetTitle(QStringLiteral("Lumacast"));
    _wgt.SetTitleButtonsVisible(true, true, true);
    auto* pLayout = new QHBoxLayout(_wgt.GetCenterWidget());
    pLayout->setContentsMargins(0, 0, 0, 0);
    auto* pPage = new CLS_WgtChanSet(_wgt.GetCenterWidget());
    pLayout->addWidget(pPage);
    pPage->GetChannelChooser()->AddItems(
        {{"1", QJsonObject{{"chNo", 0}}}, {"2", QJsonObject{{"chNo", 1}}}, {"5", QJsonObject{{"chNo", 4}}}});
    auto* pName = pPage->findChild<QLineEdit*>(QStringLiteral("lineEdit_ChName"));
    pName->setText(QStringLiteral("桌面1"));
    pName->setEnabled(false);
    _wgt.resize(_qsize);
    _wgt.show();
    return pPage;
}

} // namespace

class TestKitLook : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { qApp->setStyleSheet(QString()); }
    void appSheet_isComplete_data() { skins_data(); }
    void titleButtons_followTheSheet_data() { skins_data(); }
    void passwordDialog_labelsLevelWithFields_data() { skins_data(); }
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("LUMACAST_APP_DIR"), "names the built application folder");
        QVERIFY(CopyInstalledData(qEnvironmentVariable("LUMACAST_APP_DIR"),
                                  QCoreApplication::applicationDirPath()));
        QDir().mkpath(AppDir() + "looks");
    }

    void kindIcons_areInstalled()
    {
        for (const char* pcKind : {"Information", "Question", "Warning", "Critical", "Alarm"}) {
            const QImage qimage(AppDir() + "MessageBox/" + pcKind + ".png");
            // A round mark on a transparent ground.
            QVERIFY2(qimage.size() == QSize(80, 80) && qAlpha(qimage.pixel(0, 0)) == 0 &&
                         qAlpha(qimage.pixel(40, 40)) == 255,
                     pcKind);
        }
    }

    // Raw strings confuse moc inside the class body.
    void messageBox_looks_data();
    void messageBox_looks()
    {
        QFETCH(QString, style);
        QFETCH(QString, text);
        QFETCH(QStringList, buttons);
        QFETCH(int, kind);
        QFETCH(int, seconds);
        QMap<QString, QImage> mapImages;
        for (const QString& qstrSkin : g_qstrlstLooks + QStringList{QString()}) {
            CLS_MessageBox::SetSkin(qstrSkin);
            CLS_MessageBox box(nullptr, style == "default" ? QStringLiteral("提示") : QStringLiteral("报警"),
                               text, seconds, style);
            box.setBtnList(buttons, {});
            box.SetIcon(kind);
            // Every skin, and none named, has its sheet installed.
            QVERIFY2(qstrSkin == "none" || !box.styleSheet().isEmpty(), qPrintable(qstrSkin));
            mapImages[qstrSkin] = Shown(&box);
            // Rounded corners: the translucent window's corner pixel stays transparent.
            QCOMPARE(qAlpha(mapImages[qstrSkin].pixel(0, 0)), 0);
        }
        QVERIFY(StandApart(QTest::currentDataTag(), mapImages["none"], mapImages["skinOne"],
                           mapImages["skinTwo"]));
        QVERIFY(Difference(mapImages[QString()], mapImages["none"]) > 0.1);
    }

    void skins_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::newRow("skinOne") << "skinOne";
        QTest::newRow("skinTwo") << "skinTwo";
    }

    void appSheet_isComplete();

    // Maximised, the button shows the restore look; restored, the maximise look again. The close
    // button turns red under the mouse.
    void titleButtons_followTheSheet()
    {
        QFETCH(QString, skin);
        ApplyLook(skin);
        CLS_WgtBase wgt;
        ShowChannelWindow(wgt, QSize(760, 560));
        auto* pMaximize = wgt.findChild<QToolButton*>(QStringLiteral("pushButton_maximize"));
        const QImage qimageMaximizeLook = pMaximize->grab().toImage();
        wgt.SlotShowMaximized();
        const QImage qimageRestoreLook = pMaximize->grab().toImage();
        wgt.SlotShowMaximized();
        QVERIFY(qimageRestoreLook != qimageMaximizeLook);
        QCOMPARE(pMaximize->grab().toImage(), qimageMaximizeLook);

        auto* pTitleBar = wgt.findChild<QWidget*>(QStringLiteral("widget_titleBar"));
        const QImage qimageRest = pTitleBar->grab().toImage();
        wgt.findChild<QToolButton*>(QStringLiteral("pushButton_close"))->setAttribute(Qt::WA_UnderMouse);
        QVERIFY(pTitleBar->grab().toImage() != qimageRest);
    }

    // Each label's text sits level with the box of its field, and the dialog carries its title.
    void passwordDialog_labelsLevelWithFields()
    {
        QFETCH(QString, skin);
        ApplyLook(skin);
        CLS_WgtModifyPassword dialog;
        dialog.setObjectName(QStringLiteral("widget_ModifyPassword"));
        const QImage qimage = Shown(&dialog);
        const QWidget* pCenter = dialog.GetCenterWidget();
        const QRgb rgbGround = qimage.pixel(pCenter->mapTo(&dialog, QPoint(4, 4)));
        for (const char* pcRow : {"UsedPwd", "NewPwd", "ConfirmPwd"}) {
            const auto* pLabel = dialog.findChild<QLabel*>(QStringLiteral("label_") + pcRow);
            const auto* pField = dialog.findChild<QLineEdit*>(QStringLiteral("lineEdit_") + pcRow);
            const QPair<int, int> pairLabel =
                PaintedRows(qimage, QRect(pLabel->mapTo(&dialog, QPoint()), pLabel->size()), rgbGround);
            const QPair<int, int> pairField =
                PaintedRows(qimage, QRect(pField->mapTo(&dialog, QPoint()), pField->size()), rgbGround);
            QVERIFY2(pairLabel.first >= 0 && pairField.first >= 0, pcRow);
            QVERIFY2(qAbs(pairLabel.first + pairLabel.second - pairField.first - pairField.second) <= 4,
                     qPrintable(QStringLiteral("%1: text rows %2-%3, field rows %4-%5")
                                    .arg(pcRow)
                                    .arg(pairLabel.first)
                                    .arg(pairLabel.second)
                                    .arg(pairField.first)
                                    .arg(pairField.second)));
        }
    }
};

void TestKitLook::messageBox_looks_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("seconds");

    const QStringList qstrlstTwo{QStringLiteral("确定"), QStringLiteral("取消")};
    const QString qstrLinks = QStringLiteral(
        "摄像头已断开，请选择处理方式。<usrdata>{\"linkText\":{\"查看日志\":7,\"重新连接\":9}}");
    const QString qstrCountdown = QStringLiteral(
        R"({"width":40,"height":45,"content":{"one":[{"text":"检测到异常报警","fontColor":"#FFFFFF","fontSize":5}],)"
        R"("two":[{"text":"窗口将在 ","fontColor":"#C9D3E3","fontSize":3},)"
        R"({"fontColor":"#FFB547","fontSize":4,"blCountdown":1},{"text":" 秒后关闭","fontColor":"#C9D3E3","fontSize":3}]}})");
    const QString qstrIconLeft = QStringLiteral(
        R"({"width":40,"height":30,"iconPos":1,"content":{"one":[{"text":"磁盘空间不足","fontColor":"#FFFFFF","fontSize":4}],)"
        R"("two":[{"text":"请清理后重试","fontColor":"#C9D3E3","fontSize":3}]}})");
    auto row = [&](const char* _pcName, const char* _pcStyle, const QString& _qstrText,
                   const QStringList& _qstrlstButtons, int _iKind, int _iSeconds) {
        QTest::newRow(_pcName) << _pcStyle << _qstrText << _qstrlstButtons << _iKind << _iSeconds;
    };
    row("box_confirm", "default", QStringLiteral("确定要退出程序吗？"), qstrlstTwo, 0, 0);
    row("box_notice", "default", QStringLiteral("当前程序已运行！"), {QStringLiteral("确定")}, 0, 0);
    row("box_links", "default", qstrLinks, qstrlstTwo, 0, 0);
    row("box_custom_countdown", "alarm", qstrCountdown, {QStringLiteral("知道了")}, 4, 30);
    row("box_custom_icon_left", "alarm", qstrIconLeft, qstrlstTwo, 2, 0);
}

void TestKitLook::appSheet_isComplete()
{
    QFETCH(QString, skin);
    QFile qfileSheet(InstalledDir() + SheetPath(skin));
    QVERIFY2(qfileSheet.open(QIODevice::ReadOnly), qPrintable(qfileSheet.fileName()));
    const QByteArray qbaSheet = qfileSheet.readAll();
    const QString qstrSheet = QString::fromUtf8(qbaSheet);
    QVERIFY(!qstrSheet.trimmed().isEmpty());
    QCOMPARE(qstrSheet.toUtf8(), qbaSheet); // valid UTF-8

    // Images are looked up from the application folder, the program's current directory.
    const QRegularExpression regexUrl(QStringLiteral(R"(url\(\s*["']?([^"')]+?)["']?\s*\))"));
    int iUrls = 0;
    for (auto it = regexUrl.globalMatch(qstrSheet); it.hasNext(); ++iUrls) {
        const QString qstrPath = it.next().captured(1);
        QVERIFY2(!QImage(InstalledDir() + qstrPath).isNull(), qPrintable(qstrPath));
    }
    QVERIFY(iUrls > 0);
}

LUMACAST_TEST_MAIN(TestKitLook)
#include "test_kit_look.moc"
