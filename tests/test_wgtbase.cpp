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

} // namespace

class TestWgtBase : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void titleBar_dragMovesWindow();
    void outsideTitleBar_dragDoesNothing();
    void edges_showCursorAndResize_data();
    void edges_showCursorAndResize();
    void interior_showsArrow();
    void embeddedInLayout_showsNoResizeCursor();
    void fixedSize_neverResizes_data();
    void fixedSize_neverResizes();
    void maximizeThenRestore_returnsEarlierGeometry();
    void maximized_cannotBeMovedOrResized();
    void showMaximizedTwice_changesNothing();
    void keys_escapeAndReturn_doNothing_data();
    void keys_escapeAndReturn_doNothing();
    void altF4_doesNotClose_closeButtonDoes();
    void longTitle_elidesAndReelidesOnResize();
    void tooltips_comeFromLanguageTable();
    void titleButtons_canBeHidden();

private:
    // A mouse move as the application sees it, at a global position.
    void MoveTo(const QPoint& _qpointGlobal, Qt::MouseButtons _buttons = Qt::NoButton);
    void Drag(const QPoint& _qpointLocal, const QPoint& _qpointDelta);
    QPoint TitleBarPoint() const;

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

void TestWgtBase::cleanup()
{
    m_pWgt.reset();
}

void TestWgtBase::MoveTo(const QPoint& _qpointGlobal, Qt::MouseButtons _buttons)
{
    QMouseEvent qevent(QEvent::MouseMove, m_pWgt->mapFromGlobal(_qpointGlobal), _qpointGlobal, Qt::NoButton,
                       _buttons, Qt::NoModifier);
    QApplication::sendEvent(m_pWgt.get(), &qevent);
}

// Hover, press, move by the delta and release, as a user's drag arrives.
void TestWgtBase::Drag(const QPoint& _qpointLocal, const QPoint& _qpointDelta)
{
    const QPoint qpointGlobal = m_pWgt->mapToGlobal(_qpointLocal);
    MoveTo(qpointGlobal);
    QTest::mousePress(m_pWgt.get(), Qt::LeftButton, Qt::NoModifier, _qpointLocal);
    MoveTo(qpointGlobal + _qpointDelta / 2, Qt::LeftButton);
    MoveTo(qpointGlobal + _qpointDelta, Qt::LeftButton);
    QTest::mouseRelease(m_pWgt.get(), Qt::LeftButton, Qt::NoModifier,
                        m_pWgt->mapFromGlobal(qpointGlobal + _qpointDelta));
}

QPoint TestWgtBase::TitleBarPoint() const
{
    const auto* pTitleBar = m_pWgt->findChild<QFrame*>(QStringLiteral("widget_titleBar"));
    return pTitleBar->mapTo(m_pWgt.get(), QPoint(20, pTitleBar->height() / 2));
}

void TestWgtBase::titleBar_dragMovesWindow()
{
    Drag(TitleBarPoint(), QPoint(30, -40));
    QCOMPARE(m_pWgt->geometry(), g_qrectStart.translated(30, -40));
    // Released: a further move does not drag.
    MoveTo(m_pWgt->mapToGlobal(TitleBarPoint()) + QPoint(50, 50));
    QCOMPARE(m_pWgt->geometry(), g_qrectStart.translated(30, -40));
}

void TestWgtBase::outsideTitleBar_dragDoesNothing()
{
    Drag(m_pWgt->rect().center(), QPoint(30, 40));
    QCOMPARE(m_pWgt->geometry(), g_qrectStart);
}

void TestWgtBase::edges_showCursorAndResize_data()
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
    // The band is 6 pixels: a press 5 pixels in still grabs the border, the cursor's position
    // becomes the new border.
    QTest::newRow("left") << QPoint(2, 150) << int(Qt::SizeHorCursor) << QPoint(-20, 0)
                          << grown(-18, 0, 0, 0);
    QTest::newRow("right") << QPoint(397, 150) << int(Qt::SizeHorCursor) << QPoint(25, 0)
                           << grown(0, 0, 23, 0);
    QTest::newRow("top") << QPoint(200, 1) << int(Qt::SizeVerCursor) << QPoint(0, -30) << grown(0, -29, 0, 0);
    QTest::newRow("bottom") << QPoint(200, 294) << int(Qt::SizeVerCursor) << QPoint(0, 40)
                            << grown(0, 0, 0, 35);
    QTest::newRow("top left") << QPoint(1, 1) << int(Qt::SizeFDiagCursor) << QPoint(-11, -11)
                              << grown(-10, -10, 0, 0);
    QTest::newRow("bottom right") << QPoint(399, 299) << int(Qt::SizeFDiagCursor) << QPoint(15, 20)
                                  << grown(0, 0, 15, 20);
    QTest::newRow("top right") << QPoint(399, 0) << int(Qt::SizeBDiagCursor) << QPoint(15, -20)
                               << grown(0, -20, 15, 0);
    QTest::newRow("bottom left") << QPoint(0, 299) << int(Qt::SizeBDiagCursor) << QPoint(-15, 20)
                                 << grown(-15, 0, 0, 20);
    QTest::newRow("left, shrinking") << QPoint(3, 150) << int(Qt::SizeHorCursor) << QPoint(50, 0)
                                     << grown(53, 0, 0, 0);
}

void TestWgtBase::edges_showCursorAndResize()
{
    QFETCH(QPoint, press);
    QFETCH(int, cursor);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);

    MoveTo(m_pWgt->mapToGlobal(press));
    QCOMPARE(int(m_pWgt->cursor().shape()), cursor);
    Drag(press, delta);
    QCOMPARE(m_pWgt->geometry(), expected);
}

void TestWgtBase::interior_showsArrow()
{
    MoveTo(m_pWgt->mapToGlobal(QPoint(2, 150)));
    QCOMPARE(m_pWgt->cursor().shape(), Qt::SizeHorCursor);
    MoveTo(m_pWgt->mapToGlobal(QPoint(6, 150)));
    QCOMPARE(m_pWgt->cursor().shape(), Qt::ArrowCursor);
    MoveTo(m_pWgt->mapToGlobal(QPoint(200, 150)));
    QCOMPARE(m_pWgt->cursor().shape(), Qt::ArrowCursor);
}

void TestWgtBase::embeddedInLayout_showsNoResizeCursor()
{
    QWidget qwgtHost;
    auto* pLayout = new QVBoxLayout(&qwgtHost);
    auto* pEmbedded = new CLS_WgtBase(&qwgtHost);
    pEmbedded->setWindowFlags(Qt::Widget);
    pLayout->addWidget(pEmbedded);
    qwgtHost.setGeometry(g_qrectStart);
    qwgtHost.show();
    QVERIFY(QTest::qWaitForWindowExposed(&qwgtHost));
    const QPoint qpointEdge = pEmbedded->mapToGlobal(QPoint(1, pEmbedded->height() / 2));
    QMouseEvent qevent(QEvent::MouseMove, pEmbedded->mapFromGlobal(qpointEdge), qpointEdge, Qt::NoButton,
                       Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pEmbedded, &qevent);
    QCOMPARE(pEmbedded->cursor().shape(), Qt::ArrowCursor);
}

void TestWgtBase::fixedSize_neverResizes_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("delta");
    QTest::newRow("left") << QPoint(2, 150) << QPoint(-20, 0);
    QTest::newRow("right") << QPoint(397, 150) << QPoint(20, 0);
    QTest::newRow("top") << QPoint(200, 1) << QPoint(0, -20);
    QTest::newRow("bottom") << QPoint(200, 298) << QPoint(0, 20);
    QTest::newRow("top left") << QPoint(1, 1) << QPoint(-20, -20);
    QTest::newRow("bottom right") << QPoint(399, 299) << QPoint(20, 20);
}

void TestWgtBase::fixedSize_neverResizes()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, delta);
    m_pWgt->setFixedSize(g_qrectStart.size());
    MoveTo(m_pWgt->mapToGlobal(press));
    QCOMPARE(m_pWgt->cursor().shape(), Qt::ArrowCursor);
    Drag(press, delta);
    QCOMPARE(m_pWgt->size(), g_qrectStart.size());
}

void TestWgtBase::maximizeThenRestore_returnsEarlierGeometry()
{
    auto* pBtnMax = m_pWgt->findChild<QToolButton*>(QStringLiteral("pushButton_maximize"));
    QVERIFY(!pBtnMax->property("state").isValid());
    m_pWgt->setGeometry(QRect(123, 87, 411, 287));
    const QRect qrectBefore = m_pWgt->geometry();

    QTest::mouseClick(pBtnMax, Qt::LeftButton);
    QCOMPARE(m_pWgt->geometry(), m_pWgt->screen()->availableGeometry());
    QCOMPARE(pBtnMax->property("state").toString(), QStringLiteral("recover"));
    QCOMPARE(pBtnMax->toolTip(), QStringLiteral("还原"));
    QVERIFY(!m_pWgt->isMaximized());

    QTest::mouseClick(pBtnMax, Qt::LeftButton);
    QCOMPARE(m_pWgt->geometry(), qrectBefore);
    QCOMPARE(pBtnMax->property("state").toString(), QStringLiteral("max"));
    QCOMPARE(pBtnMax->toolTip(), QStringLiteral("最大化"));
}

void TestWgtBase::maximized_cannotBeMovedOrResized()
{
    m_pWgt->showMaximized();
    const QRect qrectMax = m_pWgt->geometry();
    Drag(TitleBarPoint(), QPoint(40, 40));
    QCOMPARE(m_pWgt->geometry(), qrectMax);
    const QPoint qpointRight(m_pWgt->width() - 2, m_pWgt->height() / 2);
    MoveTo(m_pWgt->mapToGlobal(qpointRight));
    Drag(qpointRight, QPoint(-50, 0));
    QCOMPARE(m_pWgt->geometry(), qrectMax);
    m_pWgt->SlotShowMaximized();
    QCOMPARE(m_pWgt->geometry(), g_qrectStart);
}

void TestWgtBase::showMaximizedTwice_changesNothing()
{
    m_pWgt->showMaximized();
    const QRect qrectMax = m_pWgt->geometry();
    m_pWgt->showMaximized();
    QCOMPARE(m_pWgt->geometry(), qrectMax);
    // The earlier geometry is still the one a restore returns to.
    m_pWgt->SlotShowMaximized();
    QCOMPARE(m_pWgt->geometry(), g_qrectStart);
}

void TestWgtBase::keys_escapeAndReturn_doNothing_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("escape") << int(Qt::Key_Escape);
    QTest::newRow("return") << int(Qt::Key_Return);
    QTest::newRow("enter") << int(Qt::Key_Enter);
}

void TestWgtBase::keys_escapeAndReturn_doNothing()
{
    QFETCH(int, key);
    QSignalSpy spyFinished(m_pWgt.get(), &QDialog::finished);
    QTest::keyClick(m_pWgt.get(), Qt::Key(key));
    QVERIFY(m_pWgt->isVisible());
    QCOMPARE(spyFinished.count(), 0);
}

void TestWgtBase::altF4_doesNotClose_closeButtonDoes()
{
    QTest::keyPress(m_pWgt.get(), Qt::Key_Alt, Qt::AltModifier);
    QVERIFY(!m_pWgt->close());
    QCloseEvent qevent;
    QApplication::sendEvent(m_pWgt.get(), &qevent);
    QVERIFY(m_pWgt->isVisible());

    QTest::keyRelease(m_pWgt.get(), Qt::Key_Alt);
    QTest::mouseClick(m_pWgt->findChild<QToolButton*>(QStringLiteral("pushButton_close")), Qt::LeftButton);
    QVERIFY(!m_pWgt->isVisible());
}

void TestWgtBase::longTitle_elidesAndReelidesOnResize()
{
    const QString qstrTitle =
        QStringLiteral("A rather long window title that cannot fit into a narrow title bar at all");
    m_pWgt->SetTitle(qstrTitle);
    m_pWgt->setGeometry(QRect(100, 100, 260, 200));
    m_pWgt->grab();
    auto* pLabel = m_pWgt->findChild<CLS_QLabel*>(QStringLiteral("label_title"));
    const QString qstrNarrow = pLabel->text();
    QVERIFY2(qstrNarrow.endsWith(QChar(0x2026)), qPrintable(qstrNarrow));
    QVERIFY(qstrNarrow.size() < qstrTitle.size());
    QCOMPARE(pLabel->toolTip(), qstrTitle);

    m_pWgt->setGeometry(QRect(100, 100, 360, 200));
    m_pWgt->grab();
    const QString qstrWider = pLabel->text();
    QVERIFY2(qstrWider.endsWith(QChar(0x2026)), qPrintable(qstrWider));
    QVERIFY(qstrWider.size() > qstrNarrow.size());

    m_pWgt->setGeometry(QRect(0, 0, 790, 200));
    m_pWgt->grab();
    QCOMPARE(pLabel->text(), qstrTitle);
    QVERIFY(pLabel->toolTip().isEmpty());
}

void TestWgtBase::tooltips_comeFromLanguageTable()
{
    QCOMPARE(m_pWgt->findChild<QToolButton*>(QStringLiteral("pushButton_minimize"))->toolTip(),
             QStringLiteral("最小化"));
    QCOMPARE(m_pWgt->findChild<QToolButton*>(QStringLiteral("pushButton_maximize"))->toolTip(),
             QStringLiteral("最大化"));
    QCOMPARE(m_pWgt->findChild<QToolButton*>(QStringLiteral("pushButton_close"))->toolTip(),
             QStringLiteral("关闭"));
}

void TestWgtBase::titleButtons_canBeHidden()
{
    m_pWgt->SetTitleButtonsVisible(true, false, true);
    QVERIFY(m_pWgt->findChild<QToolButton*>(QStringLiteral("pushButton_minimize"))->isVisible());
    QVERIFY(!m_pWgt->findChild<QToolButton*>(QStringLiteral("pushButton_maximize"))->isVisible());
    QVERIFY(m_pWgt->findChild<QToolButton*>(QStringLiteral("pushButton_close"))->isVisible());
    for (QToolButton* pButton : m_pWgt->findChildren<QToolButton*>()) {
        QCOMPARE(pButton->focusPolicy(), Qt::NoFocus);
    }
}

QTEST_MAIN(TestWgtBase)
#include "test_wgtbase.moc"
