// The message box with real widgets: results, button naming, text data, the custom look, skins.
#include "ModalSupport.h"
#include "widgets/CLS_MessageBox.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QtTest>

#include <limits>
#include <tuple>

namespace {

const char* const g_apcSheets[] = {"MessageBox/MessageBox.qss",
                                   "MessageBox_ZF/skinTwo/MessageBox_custome.qss"};

QStringList ButtonNames(CLS_MessageBox* _pBox, const QStringList& _qstrlstTexts)
{
    QStringList qstrlstNames;
    for (const QString& qstrText : _qstrlstTexts) {
        QPushButton* pButton = ButtonWithText(_pBox, qstrText);
        qstrlstNames.append(pButton ? pButton->objectName() : QStringLiteral("missing"));
    }
    return qstrlstNames;
}

} // namespace

class TestMessageBox : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { CLS_MessageBox::SetSkin(QString()); }

    void results_data();
    void results();
    void buttons_mainNaming();
    // Links and button width from the text's "<usrdata>"; anything malformed gives the defaults.
    void userData();
    void customLook_frameSizeAndText();
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

void TestMessageBox::results_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("click"); // a button's text, "close" for the close button, "" for none
    QTest::addColumn<int>("result");

    QTest::newRow("cancel") << "确定删除？" << 0 << "取消" << 1;
    QTest::newRow("close button") << "确定删除？" << 0 << "close" << int(CLS_MessageBox::RESULT_CLOSED);
    QTest::newRow("link B") << "请选择<usrdata>{\"linkText\":{\"A\":7,\"B\":9}}" << 0 << "B" << 9;
    QTest::newRow("countdown runs out") << "稍后关闭" << 1 << "" << int(CLS_MessageBox::RESULT_TIMED_OUT);
    // A number of seconds whose milliseconds do not fit an int must not time out at once.
    QTest::newRow("huge seconds wait for a click") << "x" << std::numeric_limits<int>::max() << "确定" << 0;
}

void TestMessageBox::results()
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
        QAbstractButton* pButton = click == QLatin1String("close")
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

void TestMessageBox::buttons_mainNaming()
{
    // Look, main indexes and the names of buttons "t0", "t1", "t2"; an empty first text gives none.
    const QList<std::tuple<QString, QList<int>, QStringList>> lstCases = {
        {"default", {2}, {"pushButton_main", "1", "pushButton_main"}},
        {"alarm", {1}, {"0", "pushButton_main", "2"}}};
    for (const auto& [qstrStyle, lstMains, qstrlstNames] : lstCases) {
        CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("{}"), 0, qstrStyle);
        box.setBtnList({"t0", "t1", "t2"}, lstMains);
        QCOMPARE(ButtonNames(&box, {"t0", "t1", "t2"}), qstrlstNames);
    }
    CLS_MessageBox box(nullptr, QStringLiteral("提示"), QStringLiteral("{}"), 0, QStringLiteral("default"));
    box.setBtnList({"", "x"}, {});
    QVERIFY(box.findChildren<QPushButton*>().isEmpty());
}

void TestMessageBox::userData()
{
    // Text, text shown, OK button's width, links.
    const QList<std::tuple<QString, QString, int, QStringList>> lstCases = {
        {R"(p<usrdata>{"linkText":{"c":3,"a":1,"b":2}})", "p", 80, {"a", "b", "c"}},
        {R"(p<usrdata>{"linkText":)", "p", 80, {}},
        {R"(p<usrdata>{"PushbtnWidth":120})", "p", 120, {}}};
    for (const auto& [qstrText, qstrShown, iWidth, qstrlstLinks] : lstCases) {
        CLS_MessageBox box(nullptr, QStringLiteral("提示"), qstrText, 0, QStringLiteral("default"));
        box.setBtnList({QStringLiteral("确定")}, {});
        QCOMPARE(ShownText(&box), qstrShown);
        QCOMPARE(ButtonWithText(&box, QStringLiteral("确定"))->minimumWidth(), iWidth);
        QCOMPARE(box.findChildren<QPushButton*>(QStringLiteral("MsgLinkText")).size(), qstrlstLinks.size());
        QCOMPARE(ButtonNames(&box, qstrlstLinks).filter("MsgLinkText").size(), qstrlstLinks.size());
    }
}

void TestMessageBox::customLook_frameSizeAndText()
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

void TestMessageBox::icon_byKind()
{
    CLS_MessageBox box(nullptr, QStringLiteral("报警"), QStringLiteral("{}"), 0, QStringLiteral("alarm"));
    auto* pPicture = box.findChild<QLabel*>(QStringLiteral("label_Pic"));
    box.SetIcon(2);
    QCOMPARE(pPicture->styleSheet(), "QLabel {background: transparent; border-image: url(" +
                                         QCoreApplication::applicationDirPath() +
                                         "/MessageBox/Warning.png);}");
    // A kind without a picture shows none, not the last one.
    box.SetIcon(5);
    QCOMPARE(pPicture->styleSheet(), QString());
}

void TestMessageBox::styleSheet_followsSkin()
{
    // Skin, look and the sheet loaded (none for a skin that is not there).
    const QList<QStringList> lstCases = {
        {"", "default", g_apcSheets[0]}, {"skinTwo", "alarm", g_apcSheets[1]}, {"skinNone", "default", ""}};
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
