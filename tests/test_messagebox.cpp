// The message box with real widgets: results, layout rules, both looks, countdown, skins.
#include "ModalSupport.h"
#include "widgets/CLS_MessageBox.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QtTest>

#include <limits>
#include <tuple>

namespace {

// The cell of _pWidget in the grid layout holding it, or (-1, -1); that grid in *_ppGrid.
QPoint GridCell(CLS_MessageBox* _pBox, QWidget* _pWidget, QGridLayout** _ppGrid = nullptr)
{
    int iRow = -1, iColumn = -1, iSpan = 0;
    for (QGridLayout* pGrid : _pBox->findChildren<QGridLayout*>()) {
        if (pGrid->indexOf(_pWidget) >= 0) {
            pGrid->getItemPosition(pGrid->indexOf(_pWidget), &iRow, &iColumn, &iSpan, &iSpan);
            if (_ppGrid) {
                *_ppGrid = pGrid;
            }
        }
    }
    return QPoint(iColumn, iRow);
}

const char* const g_pcLinks = "请选择<usrdata>{\"linkText\":{\"A\":7,\"B\":9}}";
const char* const g_apcSheets[] = {"MessageBox/MessageBox.qss", "MessageBox/MessageBox_custome.qss",
                                   "MessageBox_ZF/skinTwo/MessageBox.qss",
                                   "MessageBox_ZF/skinTwo/MessageBox_custome.qss"};

} // namespace

class TestMessageBox : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void results_data();
    void results();
    void customLookCountdown_ticksThenReturnsMinusTwo();
    void buttons_gridAndNaming_data();
    void buttons_gridAndNaming();
    // Links and button width from the text's "<usrdata>"; anything malformed gives the defaults.
    void userData_data();
    void userData();
    void customLook_frameSizeAndText();
    void escapeIgnored_draggingFollowsTheCursor();
    void icon_byKind();
    void styleSheet_followsSkin();
};

void TestMessageBox::initTestCase()
{
    // Each style sheet names itself, so a test sees which file a box loaded.
    for (const char* pcFile : g_apcSheets) {
        const QString qstrPath = QCoreApplication::applicationDirPath() + '/' + pcFile;
        QDir().mkpath(QFileInfo(qstrPath).path());
        QFile qfile(qstrPath);
        QVERIFY(qfile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        qfile.write(QByteArray("/* ") + pcFile + " 样式 */ #frame_Msg { border: 1px solid red; }");
    }
}

void TestMessageBox::init()
{
    CLS_MessageBox::SetSkin(QString());
}

void TestMessageBox::results_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("click"); // a button's text, "close" for the close button, "" for none
    QTest::addColumn<int>("result");

    const QStringList qstrlstOkCancel{QStringLiteral("确定"), QStringLiteral("取消")};
    auto row = [](const char* _pcTag, const char* _pcStyle, const char* _pcText, const QStringList& _qstrlst,
                  int _iSeconds, const char* _pcClick, int _iResult) {
        QTest::newRow(_pcTag) << QString(_pcStyle) << QString::fromUtf8(_pcText) << _qstrlst << _iSeconds
                              << QString::fromUtf8(_pcClick) << _iResult;
    };
    row("cancel", "default", "确定删除？", qstrlstOkCancel, 0, "取消", 1);
    row("close button", "default", "确定删除？", qstrlstOkCancel, 0, "close", CLS_MessageBox::RESULT_CLOSED);
    row("link B", "default", g_pcLinks, qstrlstOkCancel, 0, "B", 9);
    row("countdown runs out", "default", "稍后关闭", {QStringLiteral("确定")}, 1, "",
        CLS_MessageBox::RESULT_TIMED_OUT);
    // A number of seconds whose milliseconds do not fit an int must not time out at once.
    row("huge seconds wait for a click", "default", "x", {QStringLiteral("确定")},
        std::numeric_limits<int>::max(), "确定", 0);
    row("custom look, close button", "alarm", "{}", qstrlstOkCancel, 0, "close",
        CLS_MessageBox::RESULT_CLOSED);
}

void TestMessageBox::results()
{
    QFETCH(QString, style);
    QFETCH(QString, text);
    QFETCH(QStringList, buttons);
    QFETCH(int, seconds);
    QFETCH(QString, click);
    QFETCH(int, result);

    bool blShown = false, blOnTop = false, blActive = false;
    WhenModal<CLS_MessageBox>([&](CLS_MessageBox* _pBox) {
        blShown = true;
        blActive = QTest::qWaitFor([_pBox]() { return _pBox->isActiveWindow(); });
        blOnTop = _pBox->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        QAbstractButton* pButton = click == QLatin1String("close")
                                       ? _pBox->findChild<QToolButton*>(QStringLiteral("pushButton_Close"))
                                       : static_cast<QAbstractButton*>(ButtonWithText(_pBox, click));
        if (pButton) {
            QTest::mouseClick(pButton, Qt::LeftButton);
        } else if (!click.isEmpty()) {
            _pBox->close(); // the button is missing; the result check reports it
        }
    });
    QCOMPARE(CLS_MessageBox::ShowMsgBox(0, nullptr, QStringLiteral("提示"), text, buttons, seconds, style),
             result);
    // Above all windows and in front, in either look.
    QVERIFY(blShown && blOnTop && blActive);
}

void TestMessageBox::customLookCountdown_ticksThenReturnsMinusTwo()
{
    const QString qstrDesc = QStringLiteral(
        R"({"content":{"one":[{"text":"关闭倒计时 ","fontColor":"default","fontSize":0},)"
        R"({"fontColor":"default","fontSize":0,"blCountdown":1}],"two":[{"text":"秒","fontColor":"#FF0000","fontSize":0}]}})");
    CLS_MessageBox box(nullptr, QStringLiteral("报警"), qstrDesc, 3, QStringLiteral("alarm"));
    box.show();
    const QString qstrRowTwo = QStringLiteral("<br><font color = #FF0000>秒</font>");
    QCOMPARE(ShownText(&box), QStringLiteral("关闭倒计时 3") + qstrRowTwo);
    QTRY_COMPARE(ShownText(&box), QStringLiteral("关闭倒计时 1") + qstrRowTwo);
    QTRY_VERIFY(!box.isVisible());
    QCOMPARE(box.GetResult(), CLS_MessageBox::RESULT_TIMED_OUT);
}

void TestMessageBox::buttons_gridAndNaming_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("mainIndexes");
    QTest::addColumn<QStringList>("names"); // empty: no buttons at all

    const QStringList qstrlstThree{"t0", "t1", "t2"};
    QTest::newRow("default look, four per row")
        << "default" << QStringList{"t0", "t1", "t2", "t3", "t4"} << QList<int>{}
        << QStringList{"pushButton_main", "1", "2", "3", "4"};
    QTest::newRow("default look, more mains") << "default" << qstrlstThree << QList<int>{2}
                                              << QStringList{"pushButton_main", "1", "pushButton_main"};
    QTest::newRow("custom look: only listed mains")
        << "alarm" << qstrlstThree << QList<int>{1} << QStringList{"0", "pushButton_main", "2"};
    QTest::newRow("no texts") << "default" << QStringList{} << QList<int>{} << QStringList{};
    QTest::newRow("first text empty") << "default" << QStringList{"", "x"} << QList<int>{} << QStringList{};
}

void TestMessageBox::buttons_gridAndNaming()
{
    QFETCH(QString, style);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, mainIndexes);
    QFETCH(QStringList, names);
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("{}"), 0, style);
    box.setBtnList(texts, mainIndexes);
    QCOMPARE(box.findChildren<QPushButton*>().size(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        QPushButton* pButton = ButtonWithText(&box, texts.at(i));
        QVERIFY(pButton);
        QCOMPARE(pButton->objectName(), names.at(i));
        QCOMPARE(GridCell(&box, pButton), QPoint(i % 4, i / 4));
    }
}

void TestMessageBox::userData_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("buttonWidth");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QList<QPoint>>("cells");
    QTest::addColumn<int>("leftMargin"); // of the link row: a single link is centred
    auto row = [](const char* _pcTag, const char* _pcText, const char* _pcShown, int _iWidth,
                  const QStringList& _qstrlstLinks = {}, const QList<QPoint>& _lstCells = {},
                  int _iMargin = 0) {
        QTest::newRow(_pcTag) << QString(_pcText) << QString(_pcShown) << _iWidth << _qstrlstLinks
                              << _lstCells << _iMargin;
    };
    row("two links, one row", g_pcLinks, "请选择", 80, {"A", "B"}, {{0, 0}, {1, 0}}, 85);
    row("three links, two rows", "p<usrdata>{\"linkText\":{\"c\":3,\"a\":1,\"b\":2}}", "p", 80,
        {"a", "b", "c"}, {{0, 0}, {1, 0}, {0, 1}}, 85);
    row("one link, centred", "p<usrdata>{\"linkText\":{\"only\":4}}", "p", 80, {"only"}, {{0, 0}}, 0);
    row("no marker", "plain {\"linkText\":{\"A\":1}}", "plain {\"linkText\":{\"A\":1}}", 80);
    row("not JSON", "p<usrdata>{\"linkText\":", "p", 80);
    row("button width", "p<usrdata>{\"PushbtnWidth\":120}", "p", 120);
    row("button width as text", "p<usrdata>{\"PushbtnWidth\":\"120\"}", "p", 80);
}

void TestMessageBox::userData()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(int, buttonWidth);
    QFETCH(QStringList, links);
    QFETCH(QList<QPoint>, cells);
    QFETCH(int, leftMargin);
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), text, 0, QStringLiteral("default"));
    box.setBtnList({QStringLiteral("确定")}, {});
    QCOMPARE(ShownText(&box), shown);
    QCOMPARE(ButtonWithText(&box, QStringLiteral("确定"))->minimumWidth(), buttonWidth);
    QCOMPARE(box.findChildren<QPushButton*>(QStringLiteral("MsgLinkText")).size(), links.size());
    QGridLayout* pGrid = nullptr;
    for (int i = 0; i < links.size(); ++i) {
        QPushButton* pLink = ButtonWithText(&box, links.at(i));
        QVERIFY(pLink);
        QCOMPARE(pLink->objectName(), QStringLiteral("MsgLinkText"));
        QCOMPARE(GridCell(&box, pLink, &pGrid), cells.at(i));
    }
    if (pGrid) {
        QCOMPARE(qobject_cast<QLayout*>(pGrid->parent())->contentsMargins().left(), leftMargin);
    }
}

void TestMessageBox::customLook_frameSizeAndText()
{
    // Description, frame size in percent of the screen's available area, text shown.
    const QList<std::tuple<QString, QSize, QString>> lstCases = {
        {R"({"width":50,"height":40,"content":{"one":[{"text":"A","fontColor":"default","fontSize":0}]}})",
         QSize(50, 40), "A"},
        {R"({"content":{"one":[{}]}})", QSize(37, 37), "<font color = #FFFFFF size = 20>异常报警</font>"},
        {R"({"content":{"one":[{"text":"A","fontColor":"red","fontSize":0}],)"
         R"("two":[{"text":"B","fontColor":"default","fontSize":3},{"text":"C","fontColor":"default","fontSize":0}]}})",
         QSize(37, 37), "<font color = red>A</font><br><font size = 3>B</font>C"},
        // Percentages outside 1..100 are held to that range.
        {R"({"width":400,"height":-5})", QSize(100, 1), ""}};
    const QRect qrectAvailable = QGuiApplication::primaryScreen()->availableGeometry();
    for (const auto& [qstrDesc, qsizePercent, qstrText] : lstCases) {
        CLS_MessageBox box(nullptr, QStringLiteral("报警"), qstrDesc, 0, QStringLiteral("alarm"));
        QCOMPARE(box.findChild<QFrame*>(QStringLiteral("frame_Msg"))->size(),
                 QSize(qrectAvailable.width() * qsizePercent.width() / 100,
                       qrectAvailable.height() * qsizePercent.height() / 100));
        QCOMPARE(ShownText(&box), qstrText);
    }
}

void TestMessageBox::escapeIgnored_draggingFollowsTheCursor()
{
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("x"), 0, QStringLiteral("default"));
    box.setBtnList({QStringLiteral("确定")}, {});
    box.move(50, 60);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::keyClick(&box, Qt::Key_Escape);
    QVERIFY(box.isVisible());
    QCOMPARE(box.GetResult(), CLS_MessageBox::RESULT_CLOSED);

    const QPoint qpointGrab(12, 8);
    auto moveTo = [&box, qpointGrab](const QPoint& _qpointGlobal, Qt::MouseButtons _buttons) {
        QMouseEvent qevent(QEvent::MouseMove, qpointGrab, _qpointGlobal, Qt::NoButton, _buttons,
                           Qt::NoModifier);
        QApplication::sendEvent(&box, &qevent);
    };
    QTest::mousePress(&box, Qt::LeftButton, Qt::NoModifier, qpointGrab);
    moveTo(QPoint(300, 200), Qt::LeftButton);
    QCOMPARE(box.pos(), QPoint(300, 200) - qpointGrab);
    QTest::mouseRelease(&box, Qt::LeftButton, Qt::NoModifier, qpointGrab);
    moveTo(QPoint(10, 10), Qt::NoButton);
    QCOMPARE(box.pos(), QPoint(300, 200) - qpointGrab);
}

void TestMessageBox::icon_byKind()
{
    CLS_MessageBox box(nullptr, QStringLiteral("报警"), QStringLiteral("{}"), 0, QStringLiteral("alarm"));
    const QString qstrFolder = QCoreApplication::applicationDirPath() + "/MessageBox/";
    // Kinds without a picture come first and last, so that a kept picture shows.
    const QList<QPair<int, QString>> lstKinds = {{-1, ""},        {5, ""},        {0, "Information"},
                                                 {1, "Question"}, {2, "Warning"}, {3, "Critical"},
                                                 {4, "Alarm"},    {-1, ""}};
    for (const auto& [iKind, qstrImage] : lstKinds) {
        box.SetIcon(iKind);
        QCOMPARE(box.findChild<QLabel*>(QStringLiteral("label_Pic"))->styleSheet(),
                 qstrImage.isEmpty() ? QString()
                                     : "QLabel {background: transparent; border-image: url(" + qstrFolder +
                                           qstrImage + ".png);}");
    }
}

void TestMessageBox::styleSheet_followsSkin()
{
    // Skin, look and the sheet loaded (none for a skin that is not there).
    const QList<QStringList> lstCases = {{"", "default", g_apcSheets[0]},
                                         {"", "alarm", g_apcSheets[1]},
                                         {"skinTwo", "default", g_apcSheets[2]},
                                         {"skinTwo", "alarm", g_apcSheets[3]},
                                         {"skinNone", "default", ""}};
    for (const QStringList& qstrlstCase : lstCases) {
        CLS_MessageBox::SetSkin(qstrlstCase[0]);
        CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("x"), 0, qstrlstCase[1]);
        QCOMPARE(box.styleSheet(),
                 qstrlstCase[2].isEmpty()
                     ? QString()
                     : "/* " + qstrlstCase[2] + " 样式 */ #frame_Msg { border: 1px solid red; }");
    }
}

QTEST_MAIN(TestMessageBox)
#include "test_messagebox.moc"
