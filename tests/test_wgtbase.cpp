// The frameless dialog base with real widgets: moving, resizing, cursors, maximise and restore,
// keys, Alt+F4, and the eliding title.
#include "widgets/CLS_QLabel.h"
#include "widgets/CLS_WgtBase.h"

#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

const QRect g_qrectStart(100, 100, 400, 300);
// Inside the title bar, clear of the resize band and the title buttons.
const QPoint g_qpointTitle(20, 10);

// A mouse move as the application sees it, at a global position.
void MoveTo(QWidget* _pWgt, const QPoint& _qpointGlobal, Qt::MouseButtons _buttons = Qt::NoButton)
{
    QMouseEvent qevent(QEvent::MouseMove, _pWgt->mapFromGlobal(_qpointGlobal), _qpointGlobal, Qt::NoButton,
                       _buttons, Qt::NoModifier);
    QApplication::sendEvent(_pWgt, &qevent);
}

} // namespace

class TestWgtBase : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void drag_data();
    void drag();
    void fixedSize_neverResizes_data() { drag_data(); }
    void fixedSize_neverResizes();
    void embeddedInLayout_showsNoResizeCursor();
    void maximizeThenRestore_returnsEarlierGeometry();
    void keysAndAltF4_doNotClose_closeButtonDoes();
    void longTitle_elidesAndReelidesOnResize();

private:
    // Hover, press, move by the delta, release and move on, as a user's drag arrives.
    void Drag(const QPoint& _qpointLocal, const QPoint& _qpointDelta);

    std::unique_ptr<CLS_WgtBase> m_pWgt;
};

void TestWgtBase::init()
{
    m_pWgt = std::make_unique<CLS_WgtBase>();
    m_pWgt->SetTitle(QStringLiteral("Lumacast"));
    m_pWgt->setGeometry(g_qrectStart);
    m_pWgt->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWgt.get()));
    QCOMPARE(m_pWgt->geometry(), g_qrectStart);
}

void TestWgtBase::Drag(const QPoint& _qpointLocal, const QPoint& _qpointDelta)
{
    const QPoint qpointGlobal = m_pWgt->mapToGlobal(_qpointLocal);
    MoveTo(m_pWgt.get(), qpointGlobal);
    QTest::mousePress(m_pWgt.get(), Qt::LeftButton, Qt::NoModifier, _qpointLocal);
    MoveTo(m_pWgt.get(), qpointGlobal + _qpointDelta / 2, Qt::LeftButton);
    MoveTo(m_pWgt.get(), qpointGlobal + _qpointDelta, Qt::LeftButton);
    QTest::mouseRelease(m_pWgt.get(), Qt::LeftButton, Qt::NoModifier,
                        m_pWgt->mapFromGlobal(qpointGlobal + _qpointDelta));
    // Released: a further move neither drags nor resizes.
    const QRect qrectAfter = m_pWgt->geometry();
    MoveTo(m_pWgt.get(), qpointGlobal + _qpointDelta + QPoint(50, 50));
    QCOMPARE(m_pWgt->geometry(), qrectAfter);
}

void TestWgtBase::drag_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");

    const QRect g = g_qrectStart;
    auto grown = [g](int _iLeft, int _iTop, int _iRight, int _iBottom) {
        return QRect(QPoint(g.left() + _iLeft, g.top() + _iTop),
                     QPoint(g.right() + _iRight, g.bottom() + _iBottom));
    };
    // The band is 6 pixels: 5 in grabs the border (bottom), 6 in does not. The cursor's position
    // becomes the new border. Each edge is reached through a corner, and each cursor shape once.
    auto row = [](const char* _pcTag, QPoint _qpointPress, Qt::CursorShape _cursor, QPoint _qpointDelta,
                  QRect _qrectExpected) {
        QTest::newRow(_pcTag) << _qpointPress << int(_cursor) << _qpointDelta << _qrectExpected;
    };
    row("left", {2, 150}, Qt::SizeHorCursor, {-20, 0}, grown(-18, 0, 0, 0));
    row("bottom", {200, 294}, Qt::SizeVerCursor, {0, 40}, grown(0, 0, 0, 35));
    row("top left", {1, 1}, Qt::SizeFDiagCursor, {-11, -11}, grown(-10, -10, 0, 0));
    row("top right", {399, 0}, Qt::SizeBDiagCursor, {15, -20}, grown(0, -20, 15, 0));
    row("6 pixels in", {6, 150}, Qt::ArrowCursor, {-20, 0}, g);
    row("title bar moves", g_qpointTitle, Qt::ArrowCursor, {30, -40}, g.translated(30, -40));
}

void TestWgtBase::drag()
{
    QFETCH(QPoint, press);
    QFETCH(int, cursor);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);

    MoveTo(m_pWgt.get(), m_pWgt->mapToGlobal(press));
    QCOMPARE(int(m_pWgt->cursor().shape()), cursor);
    Drag(press, delta);
    QCOMPARE(m_pWgt->geometry(), expected);
}

void TestWgtBase::fixedSize_neverResizes()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, delta);
    m_pWgt->setFixedSize(g_qrectStart.size());
    MoveTo(m_pWgt.get(), m_pWgt->mapToGlobal(press));
    QCOMPARE(m_pWgt->cursor().shape(), Qt::ArrowCursor);
    Drag(press, delta);
    QCOMPARE(m_pWgt->size(), g_qrectStart.size());
}

void TestWgtBase::embeddedInLayout_showsNoResizeCursor()
{
    QWidget qwgtHost;
    auto* pEmbedded = new CLS_WgtBase(&qwgtHost);
    pEmbedded->setWindowFlags(Qt::Widget);
    (new QVBoxLayout(&qwgtHost))->addWidget(pEmbedded);
    qwgtHost.setGeometry(g_qrectStart);
    qwgtHost.show();
    QVERIFY(QTest::qWaitForWindowExposed(&qwgtHost));
    MoveTo(pEmbedded, pEmbedded->mapToGlobal(QPoint(1, pEmbedded->height() / 2)));
    QCOMPARE(pEmbedded->cursor().shape(), Qt::ArrowCursor);
}

void TestWgtBase::maximizeThenRestore_returnsEarlierGeometry()
{
    QToolButton* pBtnMax = m_pWgt->findChild<QToolButton*>("pushButton_maximize");
    QVERIFY(!pBtnMax->property("state").isValid());
    m_pWgt->setGeometry(QRect(123, 87, 411, 287));
    const QRect qrectBefore = m_pWgt->geometry();

    QTest::mouseClick(pBtnMax, Qt::LeftButton);
    const QRect qrectMax = m_pWgt->screen()->availableGeometry();
    QCOMPARE(m_pWgt->geometry(), qrectMax);
    QCOMPARE(pBtnMax->property("state").toString(), QStringLiteral("recover"));
    QCOMPARE(pBtnMax->toolTip(), QStringLiteral("还原"));
    QVERIFY(!m_pWgt->isMaximized());
    // Maximised: a second showMaximized(), a title bar drag and an edge drag change nothing.
    m_pWgt->showMaximized();
    QCOMPARE(m_pWgt->geometry(), qrectMax);
    Drag(g_qpointTitle, QPoint(40, 40));
    QCOMPARE(m_pWgt->geometry(), qrectMax);
    Drag(QPoint(m_pWgt->width() - 2, m_pWgt->height() / 2), QPoint(-50, 0));
    QCOMPARE(m_pWgt->geometry(), qrectMax);

    QTest::mouseClick(pBtnMax, Qt::LeftButton);
    QCOMPARE(m_pWgt->geometry(), qrectBefore);
    QCOMPARE(pBtnMax->property("state").toString(), QStringLiteral("max"));
    QCOMPARE(pBtnMax->toolTip(), QStringLiteral("最大化"));
}

void TestWgtBase::keysAndAltF4_doNotClose_closeButtonDoes()
{
    QSignalSpy spyFinished(m_pWgt.get(), &QDialog::finished);
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(m_pWgt.get(), key);
    }
    QTest::keyPress(m_pWgt.get(), Qt::Key_Alt, Qt::AltModifier);
    QVERIFY(!m_pWgt->close());
    QCloseEvent qevent;
    QApplication::sendEvent(m_pWgt.get(), &qevent);
    QVERIFY(m_pWgt->isVisible());
    QCOMPARE(spyFinished.count(), 0);

    QTest::keyRelease(m_pWgt.get(), Qt::Key_Alt);
    QTest::mouseClick(m_pWgt->findChild<QToolButton*>("pushButton_close"), Qt::LeftButton);
    QVERIFY(!m_pWgt->isVisible());
}

void TestWgtBase::longTitle_elidesAndReelidesOnResize()
{
    const QString qstrTitle =
        QStringLiteral("A rather long window title that cannot fit into a narrow title bar at all");
    m_pWgt->SetTitle(qstrTitle);
    auto* pLabel = m_pWgt->findChild<CLS_QLabel*>(QStringLiteral("label_title"));
    QString qstrPrevious;
    for (const int iWidth : {260, 360}) {
        m_pWgt->setGeometry(QRect(100, 100, iWidth, 200));
        m_pWgt->grab();
        const QString qstrShown = pLabel->text();
        QVERIFY2(qstrShown.endsWith(QChar(0x2026)), qPrintable(qstrShown));
        QVERIFY(qstrShown.size() < qstrTitle.size());
        QVERIFY(qstrShown.size() > qstrPrevious.size());
        QCOMPARE(pLabel->toolTip(), qstrTitle);
        qstrPrevious = qstrShown;
    }
    m_pWgt->setGeometry(QRect(0, 0, 790, 200));
    m_pWgt->grab();
    QCOMPARE(pLabel->text(), qstrTitle);
    QVERIFY(pLabel->toolTip().isEmpty());
}

QTEST_MAIN(TestWgtBase)
#include "test_wgtbase.moc"
