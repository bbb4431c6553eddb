// The message box with real widgets: results and the custom look.
#include "ModalSupport.h"
#include "widgets/CLS_MessageBox.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QtTest>

#include <limits>
#include <tuple>

class TestMessageBox : public QObject
{
    Q_OBJECT
private slots:
    void results_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("click"); // a button's text, "close" for the close button, "" for none
        QTest::addColumn<int>("result");

        QTest::newRow("cancel") << "确定删除？" << 0 << "取消" << 1;
        QTest::newRow("close button") << "确定删除？" << 0 << "close" << int(CLS_MessageBox::RESULT_CLOSED);
        QTest::newRow("malformed data, OK") << "p<usrdata>{\"linkText\":" << 0 << "确定" << 0;
        QTest::newRow("link B") << "请选择<usrdata>{\"linkText\":{\"A\":7,\"B\":9}}" << 0 << "B" << 9;
        QTest::newRow("countdown runs out") << "稍后关闭" << 1 << "" << int(CLS_MessageBox::RESULT_TIMED_OUT);
        // A number of seconds whose milliseconds do not fit an int must not time out at once.
        QTest::newRow("huge seconds wait for a click")
            << "x" << std::numeric_limits<int>::max() << "确定" << 0;
    }
    void results()
    {
        QFETCH(QString, text);
        QFETCH(int, seconds);
        QFETCH(QString, click);
        QFETCH(int, result);

        bool blOnTop = false, blActive = false, blEscapeIgnored = false;
        WhenModal<CLS_MessageBox>([&](CLS_MessageBox* _pBox) {
            blActive = QTest::qWaitFor([_pBox]() { return _pBox->isActiveWindow(); });
            blOnTop = _pBox->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            QTest::keyClick(_pBox, Qt::Key_Escape);
            blEscapeIgnored = _pBox->isVisible();
            QAbstractButton* pButton =
                click == QLatin1String("close")
                    ? _pBox->findChild<QToolButton*>(QStringLiteral("pushButton_Close"))
                    : static_cast<QAbstractButton*>(ButtonWithText(_pBox, click));
            if (pButton) {
                QTest::mouseClick(pButton, Qt::LeftButton);
            } else if (!click.isEmpty()) {
                _pBox->close(); // the button is missing; the result check reports it
            }
        });
        QCOMPARE(CLS_MessageBox::ShowMsgBox(0, nullptr, QStringLiteral("提示"), text,
                                            {QStringLiteral("确定"), QStringLiteral("取消")}, seconds,
                                            QStringLiteral("default")),
                 result);
        // Above all windows and in front.
        QVERIFY(blOnTop && blActive && blEscapeIgnored);
    }
    void customLook_frameSizeAndText()
    {
        // Description, frame size in percent of the screen's available area, text shown.
        const QList<std::tuple<QString, QSize, QString>> lstCases = {
            {R"({"width":50,"height":40,"content":{"one":[{"text":"A","fontColor":"red","fontSize":0}],)"
             R"("two":[{"text":"B","fontColor":"default","fontSize":3},{"text":"C","fontColor":"default","fontSize":0}]}})",
             QSize(50, 40), "<font color = red>A</font><br><font size = 3>B</font>C"},
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
};

QTEST_MAIN(TestMessageBox)
#include "test_messagebox.moc"
