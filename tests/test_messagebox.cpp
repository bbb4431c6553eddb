// The message box with real widgets: results, layout rules, both looks, countdown, skins.
#include "widgets/CLS_MessageBox.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <limits>
#include <memory>

namespace {

using BoxAction = std::function<void(CLS_MessageBox*)>;

// Runs _action on the message box as soon as one is shown; the box is modal, so this is how a
// user's click reaches it while ShowMsgBox waits.
void WhenShown(BoxAction _action)
{
    auto* pTimer = new QTimer(qApp);
    pTimer->setInterval(10);
    QObject::connect(pTimer, &QTimer::timeout, pTimer, [pTimer, _action]() {
        auto* pBox = qobject_cast<CLS_MessageBox*>(QApplication::activeModalWidget());
        if (!pBox || !pBox->isVisible()) {
            return;
        }
        pTimer->stop();
        pTimer->deleteLater();
        _action(pBox);
    });
    pTimer->start();
}

QPushButton* ButtonWithText(CLS_MessageBox* _pBox, const QString& _qstrText)
{
    const QList<QPushButton*> lstButtons = _pBox->findChildren<QPushButton*>();
    for (QPushButton* pButton : lstButtons) {
        if (pButton->text() == _qstrText) {
            return pButton;
        }
    }
    return nullptr;
}

// The grid cell of _pWidget within the layouts under _pLayout, or (-1, -1).
QPoint GridCell(QLayout* _pLayout, QWidget* _pWidget)
{
    if (auto* pGrid = qobject_cast<QGridLayout*>(_pLayout)) {
        const int iIndex = pGrid->indexOf(_pWidget);
        if (iIndex >= 0) {
            int iRow = 0, iColumn = 0, iRowSpan = 0, iColumnSpan = 0;
            pGrid->getItemPosition(iIndex, &iRow, &iColumn, &iRowSpan, &iColumnSpan);
            return QPoint(iColumn, iRow);
        }
    }
    for (int i = 0; i < _pLayout->count(); ++i) {
        QLayout* pChild = _pLayout->itemAt(i)->layout();
        if (!pChild && _pLayout->itemAt(i)->widget() && _pLayout->itemAt(i)->widget()->layout()) {
            pChild = _pLayout->itemAt(i)->widget()->layout();
        }
        const QPoint qpointCell = pChild ? GridCell(pChild, _pWidget) : QPoint(-1, -1);
        if (qpointCell.x() >= 0) {
            return qpointCell;
        }
    }
    return QPoint(-1, -1);
}

void WriteFile(const QString& _qstrPath, const QByteArray& _qbaContent)
{
    QDir().mkpath(QFileInfo(_qstrPath).path());
    QFile qfile(_qstrPath);
    QVERIFY(qfile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    qfile.write(_qbaContent);
}

const char* const g_pcLinks = "请选择<usrdata>{\"linkText\":{\"A\":7,\"B\":9}}";

} // namespace

class TestMessageBox : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void results_data();
    void results();
    void defaultLookCountdown_returnsMinusTwo();
    void customLookCountdown_ticksThenReturnsMinusTwo();
    void buttonClick_stopsCountdown();
    void hugeSeconds_waitForAClick();
    void buttons_fourPerRow();
    void mainButtonNaming_data();
    void mainButtonNaming();
    void links_gridAndValues_data();
    void links_gridAndValues();
    void userData_badOrMissing_givesDefaults_data();
    void userData_badOrMissing_givesDefaults();
    void customLook_frameSizeAndText_data();
    void customLook_frameSizeAndText();
    void emptyButtonList_makesNoButtons();
    void escape_isIgnored();
    void dragging_followsTheCursor();
    void icon_byKind_data();
    void icon_byKind();
    void styleSheet_followsSkin_data();
    void styleSheet_followsSkin();
    void showMsgBox_staysOnTop();
};

void TestMessageBox::init()
{
    CLS_MessageBox::SetSkin(QString());
}

void TestMessageBox::results_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("click");
    QTest::addColumn<int>("result");

    const QStringList qstrlstOkCancel{QStringLiteral("确定"), QStringLiteral("取消")};
    QTest::newRow("cancel") << "default"
                            << "确定删除？" << qstrlstOkCancel << "取消" << 1;
    QTest::newRow("ok") << "default"
                        << "确定删除？" << qstrlstOkCancel << "确定" << 0;
    QTest::newRow("close button") << "default"
                                  << "确定删除？" << qstrlstOkCancel << "" << -1;
    QTest::newRow("link B") << "default" << g_pcLinks << qstrlstOkCancel << "B" << 9;
    QTest::newRow("link A") << "default" << g_pcLinks << QStringList{QStringLiteral("确定")} << "A" << 7;
    QTest::newRow("link with negative value")
        << "default"
        << "x<usrdata>{\"linkText\":{\"Back\":-5}}" << qstrlstOkCancel << "Back" << -5;
    QTest::newRow("custom look, third button")
        << "alarm"
        << "{}" << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")} << "c" << 2;
    QTest::newRow("custom look, close button") << "alarm"
                                               << "{}" << qstrlstOkCancel << "" << -1;
}

void TestMessageBox::results()
{
    QFETCH(QString, style);
    QFETCH(QString, text);
    QFETCH(QStringList, buttons);
    QFETCH(QString, click);
    QFETCH(int, result);

    bool blClicked = false;
    WhenShown([&](CLS_MessageBox* _pBox) {
        if (click.isEmpty()) {
            QTest::mouseClick(_pBox->findChild<QToolButton*>(QStringLiteral("pushButton_Close")),
                              Qt::LeftButton);
        } else if (QPushButton* pButton = ButtonWithText(_pBox, click)) {
            QTest::mouseClick(pButton, Qt::LeftButton);
        } else {
            _pBox->close();
            return;
        }
        blClicked = true;
    });
    QCOMPARE(CLS_MessageBox::ShowMsgBox(0, nullptr, QStringLiteral("提示"), text, buttons, 0, style), result);
    QVERIFY(blClicked);
}

void TestMessageBox::defaultLookCountdown_returnsMinusTwo()
{
    QCOMPARE(CLS_MessageBox::ShowMsgBox(0, nullptr, QStringLiteral("提示"), QStringLiteral("稍后关闭"),
                                        {QStringLiteral("确定")}, 1, QStringLiteral("default")),
             CLS_MessageBox::RESULT_TIMED_OUT);
}

void TestMessageBox::customLookCountdown_ticksThenReturnsMinusTwo()
{
    const QString qstrDesc = QStringLiteral(
        R"({"content":{"one":[{"text":"关闭倒计时 ","fontColor":"default","fontSize":0},)"
        R"({"fontColor":"default","fontSize":0,"blCountdown":1}],"two":[{"text":"秒","fontColor":"#FF0000","fontSize":0}]}})");
    CLS_MessageBox box(nullptr, QStringLiteral("报警"), qstrDesc, 3, QStringLiteral("alarm"));
    box.show();
    auto* pLabel = box.findChild<QLabel*>(QStringLiteral("label_Show"));
    const QString qstrRowTwo = QStringLiteral("<br><font color = #FF0000>秒</font>");
    QCOMPARE(pLabel->text(), QStringLiteral("关闭倒计时 3") + qstrRowTwo);
    QTRY_COMPARE(pLabel->text(), QStringLiteral("关闭倒计时 2") + qstrRowTwo);
    QTRY_COMPARE(pLabel->text(), QStringLiteral("关闭倒计时 1") + qstrRowTwo);
    QTRY_VERIFY(!box.isVisible());
    QCOMPARE(box.GetResult(), CLS_MessageBox::RESULT_TIMED_OUT);
}

void TestMessageBox::buttonClick_stopsCountdown()
{
    WhenShown([](CLS_MessageBox* _pBox) {
        QTest::mouseClick(ButtonWithText(_pBox, QStringLiteral("取消")), Qt::LeftButton);
    });
    QCOMPARE(CLS_MessageBox::ShowMsgBox(0, nullptr, QStringLiteral("提示"), QStringLiteral("x"),
                                        {QStringLiteral("确定"), QStringLiteral("取消")}, 1,
                                        QStringLiteral("default")),
             1);
}

void TestMessageBox::hugeSeconds_waitForAClick()
{
    WhenShown([](CLS_MessageBox* _pBox) {
        QTest::mouseClick(ButtonWithText(_pBox, QStringLiteral("确定")), Qt::LeftButton);
    });
    QCOMPARE(CLS_MessageBox::ShowMsgBox(0, nullptr, QStringLiteral("提示"), QStringLiteral("x"),
                                        {QStringLiteral("确定")}, std::numeric_limits<int>::max(),
                                        QStringLiteral("default")),
             0);
}

void TestMessageBox::buttons_fourPerRow()
{
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("x"), 0, QStringLiteral("default"));
    const QStringList qstrlstTexts{"b0", "b1", "b2", "b3", "b4"};
    box.setBtnList(qstrlstTexts, {});
    for (int i = 0; i < qstrlstTexts.size(); ++i) {
        QPushButton* pButton = ButtonWithText(&box, qstrlstTexts.at(i));
        QVERIFY(pButton);
        QCOMPARE(GridCell(box.layout(), pButton), QPoint(i % 4, i / 4));
        QCOMPARE(pButton->property("btnIndex").toInt(), i);
        QCOMPARE(pButton->minimumWidth(), 80);
        QCOMPARE(pButton->minimumHeight(), 30);
        QCOMPARE(pButton->focusPolicy(), Qt::NoFocus);
    }
}

void TestMessageBox::mainButtonNaming_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QList<int>>("mainIndexes");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("default look") << "default" << QList<int>{} << QStringList{"pushButton_main", "1", "2"};
    QTest::newRow("default look, more mains")
        << "default" << QList<int>{2} << QStringList{"pushButton_main", "1", "pushButton_main"};
    QTest::newRow("custom look") << "alarm" << QList<int>{} << QStringList{"0", "1", "2"};
    QTest::newRow("custom look, main listed")
        << "alarm" << QList<int>{1} << QStringList{"0", "pushButton_main", "2"};
}

void TestMessageBox::mainButtonNaming()
{
    QFETCH(QString, style);
    QFETCH(QList<int>, mainIndexes);
    QFETCH(QStringList, names);
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("{}"), 0, style);
    box.setBtnList({"t0", "t1", "t2"}, mainIndexes);
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(ButtonWithText(&box, QStringLiteral("t%1").arg(i))->objectName(), names.at(i));
    }
}

void TestMessageBox::links_gridAndValues_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QList<QPoint>>("cells");
    QTest::addColumn<int>("leftMargin");
    QTest::newRow("two links, one row")
        << g_pcLinks << QStringList{"A", "B"} << QList<QPoint>{{0, 0}, {1, 0}} << 85;
    QTest::newRow("three links, two rows")
        << "p<usrdata>{\"linkText\":{\"c\":3,\"a\":1,\"b\":2}}" << QStringList{"a", "b", "c"}
        << QList<QPoint>{{0, 0}, {1, 0}, {0, 1}} << 85;
    QTest::newRow("one link, centred")
        << "p<usrdata>{\"linkText\":{\"only\":4}}" << QStringList{"only"} << QList<QPoint>{{0, 0}} << 0;
}

void TestMessageBox::links_gridAndValues()
{
    QFETCH(QString, text);
    QFETCH(QStringList, links);
    QFETCH(QList<QPoint>, cells);
    QFETCH(int, leftMargin);
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), text, 0, QStringLiteral("default"));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("label_Show"))->text(),
             text.left(text.indexOf("<usrdata>")));
    const QList<QPushButton*> lstLinks = box.findChildren<QPushButton*>(QStringLiteral("MsgLinkText"));
    QCOMPARE(lstLinks.size(), links.size());
    for (int i = 0; i < links.size(); ++i) {
        QPushButton* pLink = ButtonWithText(&box, links.at(i));
        QVERIFY(pLink);
        QCOMPARE(pLink->objectName(), QStringLiteral("MsgLinkText"));
        QCOMPARE(GridCell(box.layout(), pLink), cells.at(i));
        QCOMPARE(pLink->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(pLink->focusPolicy(), Qt::NoFocus);
    }
    const auto* pGridParent = box.findChild<QFrame*>(QStringLiteral("frame_Msg"))->layout();
    bool blFound = false;
    for (int i = 0; i < pGridParent->count(); ++i) {
        QLayout* pRow = pGridParent->itemAt(i)->layout();
        if (pRow && GridCell(pRow, lstLinks.first()).x() >= 0) {
            QCOMPARE(pRow->contentsMargins().left(), leftMargin);
            blFound = true;
        }
    }
    QVERIFY(blFound);
}

void TestMessageBox::userData_badOrMissing_givesDefaults_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("buttonWidth");
    QTest::newRow("no marker") << "plain {\"linkText\":{\"A\":1}}"
                               << "plain {\"linkText\":{\"A\":1}}" << 80;
    QTest::newRow("not JSON") << "p<usrdata>{\"linkText\":"
                              << "p" << 80;
    QTest::newRow("JSON array") << "p<usrdata>[1,2]"
                                << "p" << 80;
    QTest::newRow("linkText not an object") << "p<usrdata>{\"linkText\":[\"A\"]}"
                                            << "p" << 80;
    QTest::newRow("empty linkText") << "p<usrdata>{\"linkText\":{}}"
                                    << "p" << 80;
    QTest::newRow("button width") << "p<usrdata>{\"PushbtnWidth\":120}"
                                  << "p" << 120;
    QTest::newRow("button width as text") << "p<usrdata>{\"PushbtnWidth\":\"120\"}"
                                          << "p" << 80;
    QTest::newRow("button width zero") << "p<usrdata>{\"PushbtnWidth\":0}"
                                       << "p" << 80;
    QTest::newRow("second marker kept in data") << "p<usrdata><usrdata>{}"
                                                << "p" << 80;
}

void TestMessageBox::userData_badOrMissing_givesDefaults()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(int, buttonWidth);
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), text, 0, QStringLiteral("default"));
    box.setBtnList({QStringLiteral("确定")}, {});
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("label_Show"))->text(), shown);
    QVERIFY(box.findChildren<QPushButton*>(QStringLiteral("MsgLinkText")).isEmpty());
    QCOMPARE(ButtonWithText(&box, QStringLiteral("确定"))->minimumWidth(), buttonWidth);
}

void TestMessageBox::customLook_frameSizeAndText_data()
{
    QTest::addColumn<QString>("desc");
    QTest::addColumn<QSize>("percent");
    QTest::addColumn<QString>("text");
    QTest::newRow("bare item")
        << R"({"width":50,"height":40,"content":{"one":[{"text":"A","fontColor":"default","fontSize":0}]}})"
        << QSize(50, 40) << "A";
    QTest::newRow("item defaults") << R"({"content":{"one":[{}]}})" << QSize(37, 37)
                                   << "<font color = #FFFFFF size = 20>异常报警</font>";
    QTest::newRow("two rows")
        << R"({"content":{"one":[{"text":"A","fontColor":"red","fontSize":0}],)"
           R"("two":[{"text":"B","fontColor":"default","fontSize":3},{"text":"C","fontColor":"default","fontSize":0}]}})"
        << QSize(37, 37) << "<font color = red>A</font><br><font size = 3>B</font>C";
    QTest::newRow("not JSON") << "alarm!" << QSize(37, 37) << "";
    QTest::newRow("content not an object") << R"({"width":20,"content":[1]})" << QSize(20, 37) << "";
    QTest::newRow("percent out of range") << R"({"width":400,"height":-5})" << QSize(100, 1) << "";
}

void TestMessageBox::customLook_frameSizeAndText()
{
    QFETCH(QString, desc);
    QFETCH(QSize, percent);
    QFETCH(QString, text);
    CLS_MessageBox box(nullptr, QStringLiteral("报警"), desc, 0, QStringLiteral("alarm"));
    const QRect qrectAvailable = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize qsizeExpected(qrectAvailable.width() * percent.width() / 100,
                              qrectAvailable.height() * percent.height() / 100);
    QCOMPARE(box.findChild<QFrame*>(QStringLiteral("frame_Msg"))->size(), qsizeExpected);
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("label_Show"))->text(), text);
    QVERIFY(box.findChild<QLabel*>(QStringLiteral("label_Pic")));
    QVERIFY(!box.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void TestMessageBox::emptyButtonList_makesNoButtons()
{
    for (const QStringList& qstrlstButtons : {QStringList{}, QStringList{QString(), QStringLiteral("x")}}) {
        CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("x"), 0,
                           QStringLiteral("default"));
        box.setBtnList(qstrlstButtons, {});
        QVERIFY(box.findChildren<QPushButton*>().isEmpty());
    }
}

void TestMessageBox::escape_isIgnored()
{
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("x"), 0, QStringLiteral("default"));
    box.setBtnList({QStringLiteral("确定")}, {});
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::keyClick(&box, Qt::Key_Escape);
    QVERIFY(box.isVisible());
    QCOMPARE(box.GetResult(), CLS_MessageBox::RESULT_CLOSED);
}

void TestMessageBox::dragging_followsTheCursor()
{
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("x"), 0, QStringLiteral("default"));
    box.move(50, 60);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QPoint qpointGrab(12, 8);
    QTest::mousePress(&box, Qt::LeftButton, Qt::NoModifier, qpointGrab);
    QMouseEvent qeventMove(QEvent::MouseMove, qpointGrab, QPoint(300, 200), Qt::NoButton, Qt::LeftButton,
                           Qt::NoModifier);
    QApplication::sendEvent(&box, &qeventMove);
    QCOMPARE(box.pos(), QPoint(300, 200) - qpointGrab);
    QTest::mouseRelease(&box, Qt::LeftButton, Qt::NoModifier, qpointGrab);
    QMouseEvent qeventAfter(QEvent::MouseMove, qpointGrab, QPoint(10, 10), Qt::NoButton, Qt::NoButton,
                            Qt::NoModifier);
    QApplication::sendEvent(&box, &qeventAfter);
    QCOMPARE(box.pos(), QPoint(300, 200) - qpointGrab);
}

void TestMessageBox::icon_byKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("image");
    QTest::newRow("information") << 0 << "Information";
    QTest::newRow("question") << 1 << "Question";
    QTest::newRow("warning") << 2 << "Warning";
    QTest::newRow("critical") << 3 << "Critical";
    QTest::newRow("alarm") << 4 << "Alarm";
    QTest::newRow("unknown") << 5 << "";
    QTest::newRow("negative") << -1 << "";
}

void TestMessageBox::icon_byKind()
{
    QFETCH(int, kind);
    QFETCH(QString, image);
    CLS_MessageBox box(nullptr, QStringLiteral("报警"), QStringLiteral("{}"), 0, QStringLiteral("alarm"));
    box.SetIcon(kind);
    const QString qstrSheet = box.findChild<QLabel*>(QStringLiteral("label_Pic"))->styleSheet();
    if (image.isEmpty()) {
        QVERIFY(qstrSheet.isEmpty());
    } else {
        QCOMPARE(qstrSheet, "QLabel {background: transparent; border-image: url(" +
                                QCoreApplication::applicationDirPath() + "/MessageBox/" + image + ".png);}");
    }
}

void TestMessageBox::styleSheet_followsSkin_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("file");
    QTest::newRow("no skin, default") << ""
                                      << "default"
                                      << "MessageBox/MessageBox.qss";
    QTest::newRow("no skin, custom") << ""
                                     << "alarm"
                                     << "MessageBox/MessageBox_custome.qss";
    QTest::newRow("skinTwo, default") << "skinTwo"
                                      << "default"
                                      << "MessageBox_ZF/skinTwo/MessageBox.qss";
    QTest::newRow("skinTwo, custom") << "skinTwo"
                                     << "alarm"
                                     << "MessageBox_ZF/skinTwo/MessageBox_custome.qss";
    QTest::newRow("missing skin") << "skinNone"
                                  << "default"
                                  << "";
}

void TestMessageBox::styleSheet_followsSkin()
{
    QFETCH(QString, skin);
    QFETCH(QString, style);
    QFETCH(QString, file);
    const QString qstrAppDir = QCoreApplication::applicationDirPath() + '/';
    for (const char* pcFile :
         {"MessageBox/MessageBox.qss", "MessageBox/MessageBox_custome.qss",
          "MessageBox_ZF/skinTwo/MessageBox.qss", "MessageBox_ZF/skinTwo/MessageBox_custome.qss"}) {
        WriteFile(qstrAppDir + pcFile,
                  QByteArray("/* ") + pcFile + " 样式 */ #frame_Msg { border: 1px solid red; }");
    }
    CLS_MessageBox::SetSkin(skin);
    QCOMPARE(CLS_MessageBox::GetSkin(), skin);
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("x"), 0, style);
    if (file.isEmpty()) {
        QVERIFY(box.styleSheet().isEmpty());
    } else {
        QCOMPARE(box.styleSheet(), "/* " + file + " 样式 */ #frame_Msg { border: 1px solid red; }");
    }
}

void TestMessageBox::showMsgBox_staysOnTop()
{
    for (const char* pcStyle : {"default", "alarm"}) {
        bool blOnTop = false;
        bool blActive = false;
        WhenShown([&](CLS_MessageBox* _pBox) {
            blOnTop = _pBox->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            blActive = _pBox->isActiveWindow();
            _pBox->close();
        });
        CLS_MessageBox::ShowMsgBox(0, nullptr, QStringLiteral("提示"), QStringLiteral("{}"),
                                   {QStringLiteral("确定")}, 0, QLatin1String(pcStyle));
        QVERIFY(blOnTop);
        QVERIFY(blActive);
    }
}

QTEST_MAIN(TestMessageBox)
#include "test_messagebox.moc"
