// Renders the widget kit's windows with the installed style sheets and icons into
// <test folder>/looks/*.png for review, and checks that the installation data is complete.
#include "widgets/CLS_MessageBox.h"
#include "widgets/CLS_WgtBase.h"

#include <QDirIterator>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

namespace {

QString AppDir()
{
    return QCoreApplication::applicationDirPath() + '/';
}

bool CopyTree(const QString& _qstrFrom, const QString& _qstrTo)
{
    QDirIterator it(_qstrFrom, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString qstrSource = it.next();
        const QString qstrTarget = _qstrTo + qstrSource.mid(_qstrFrom.size());
        QDir().mkpath(QFileInfo(qstrTarget).path());
        QFile::remove(qstrTarget);
        if (!QFile::copy(qstrSource, qstrTarget)) {
            return false;
        }
    }
    return true;
}

// Saves the window as it would appear and returns the image.
QImage Render(QWidget* _pWindow, const QString& _qstrName)
{
    _pWindow->show();
    QCoreApplication::processEvents();
    const QImage qimage = _pWindow->grab().toImage();
    qimage.save(AppDir() + "looks/" + _qstrName + ".png");
    return qimage;
}

// The number of pixels (every other one) that differ from the centre one: a styled window is not blank.
int Variety(const QImage& _qimage)
{
    int iCount = 0;
    const QRgb rgbFirst = _qimage.pixel(_qimage.width() / 2, _qimage.height() / 2);
    for (int y = 0; y < _qimage.height(); y += 2) {
        for (int x = 0; x < _qimage.width(); x += 2) {
            iCount += _qimage.pixel(x, y) != rgbFirst;
        }
    }
    return iCount;
}

} // namespace

class TestKitLook : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void kindIcons_areInstalled();
    void frameless_base();
    void messageBox_looks_data();
    void messageBox_looks();
};

void TestKitLook::initTestCase()
{
    const QString qstrInstalled = qEnvironmentVariable("LUMACAST_APP_DIR");
    QVERIFY2(!qstrInstalled.isEmpty(), "LUMACAST_APP_DIR names the built application folder");
    for (const char* pcFolder : {"MessageBox", "MessageBox_ZF"}) {
        QVERIFY(CopyTree(qstrInstalled + '/' + pcFolder, AppDir() + pcFolder));
    }
    QDir().mkpath(AppDir() + "looks");
}

void TestKitLook::kindIcons_areInstalled()
{
    for (const char* pcKind : {"Information", "Question", "Warning", "Critical", "Alarm"}) {
        const QImage qimage(AppDir() + "MessageBox/" + pcKind + ".png");
        QVERIFY2(qimage.size() == QSize(80, 80), pcKind);
        QVERIFY2(qimage.hasAlphaChannel(), pcKind);
        // A round mark on a transparent ground.
        QCOMPARE(qAlpha(qimage.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(qimage.pixel(40, 40)), 255);
    }
}

void TestKitLook::frameless_base()
{
    // The base takes its look from the application style sheet of the skin, when installed.
    const QString qstrSheet =
        qEnvironmentVariable("LUMACAST_APP_DIR") + "/LumacastFile/Resource/skinOne/qss/lumacast_style.qss";
    QFile qfileSheet(qstrSheet);
    if (qfileSheet.open(QIODevice::ReadOnly)) {
        qApp->setStyleSheet(QString::fromUtf8(qfileSheet.readAll()));
    }
    CLS_WgtBase wgt;
    wgt.SetTitle(QStringLiteral("Lumacast 设置"));
    (new QVBoxLayout(wgt.GetCenterWidget()))->addWidget(new QLabel(QStringLiteral("内容区域")));
    wgt.resize(480, 320);
    const QImage qimage = Render(&wgt, "wgtbase");
    QCOMPARE(qimage.size(), QSize(480, 320));
    QVERIFY(Variety(qimage) > 0);
    qApp->setStyleSheet(QString());
}

void TestKitLook::messageBox_looks_data()
{
    QTest::addColumn<QString>("skin");
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
    for (const char* pcSkin : {"", "skinOne", "skinTwo"}) {
        const QString qstrPrefix = QString(*pcSkin ? pcSkin : "plain") + '_';
        auto row = [&](const char* _pcName, const char* _pcStyle, const QString& _qstrText,
                       const QStringList& _qstrlstButtons, int _iKind, int _iSeconds) {
            QTest::newRow(qPrintable(qstrPrefix + _pcName))
                << pcSkin << _pcStyle << _qstrText << _qstrlstButtons << _iKind << _iSeconds;
        };
        row("confirm", "default", QStringLiteral("确定要退出程序吗？"), qstrlstTwo, 0, 0);
        row("notice", "default", QStringLiteral("当前程序已运行！"), {QStringLiteral("确定")}, 0, 0);
        row("links", "default", qstrLinks, qstrlstTwo, 0, 0);
        row("custom_countdown", "alarm", qstrCountdown, {QStringLiteral("知道了")}, 4, 30);
        row("custom_icon_left", "alarm", qstrIconLeft, qstrlstTwo, 2, 0);
    }
}

void TestKitLook::messageBox_looks()
{
    QFETCH(QString, skin);
    QFETCH(QString, style);
    QFETCH(QString, text);
    QFETCH(QStringList, buttons);
    QFETCH(int, kind);
    QFETCH(int, seconds);

    CLS_MessageBox::SetSkin(skin);
    CLS_MessageBox box(nullptr, style == "default" ? QStringLiteral("提示") : QStringLiteral("报警"), text,
                       seconds, style);
    box.setBtnList(buttons, {});
    box.SetIcon(kind);
    QVERIFY2(!box.styleSheet().isEmpty(), "the look's style sheet is installed");
    const QImage qimage = Render(&box, QString(QTest::currentDataTag()));
    QVERIFY(Variety(qimage) > qimage.width());
    // Rounded corners: the translucent window's corner pixel stays transparent.
    QCOMPARE(qAlpha(qimage.pixel(0, 0)), 0);
}

QTEST_MAIN(TestKitLook)
#include "test_kit_look.moc"
