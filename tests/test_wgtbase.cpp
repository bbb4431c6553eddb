// The frameless dialog base with real widgets: moving, resizing, cursors, maximise and restore,
// keys, Alt+F4, and the eliding title.
#include "widgets/CLS_QLabel.h"
#include "widgets/CLS_WgtBase.h"

#include <QScreen>
#include <QToolButton>
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
    QTest::addColumn<bool>("fixedSize");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");

    const QRect g = g_qrectStart;
    // The band is 6 pixels: 5 in grabs the border, 6 in does not. The cursor's position becomes
    // the new border.
    QTest::newRow("bottom") << false << QPoint(200, 294) << int(Qt::SizeVerCursor) << QPoint(0, 40)
                            << g.adjusted(0, 0, 0, 35);
    QTest::newRow("top left") << false << QPoint(1, 1) << int(Qt::SizeFDiagCursor) << QPoint(-11, -11)
                              << g.adjusted(-10, -10, 0, 0);
    QTest::newRow("6 pixels in") << false << QPoint(6, 150) << int(Qt::ArrowCursor) << QPoint(-20, 0) << g;
    QTest::newRow("title bar moves") << false << g_qpointTitle << int(Qt::ArrowCursor) << QPoint(30, -40)
                                     << g.translated(30, -40);
    QTest::newRow("fixed size never resizes")
        << true << QPoint(2, 150) << int(Qt::ArrowCursor) << QPoint(-20, 0) << g;
}

void TestWgtBase::drag()
{
    QFETCH(bool, fixedSize);
    QFETCH(QPoint, press);
    QFETCH(int, cursor);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);

    if (fixedSize) {
        m_pWgt->setFixedSize(g_qrectStart.size());
    }
    MoveTo(m_pWgt.get(), m_pWgt->mapToGlobal(press));
    QCOMPARE(int(m_pWgt->cursor().shape()), cursor);
    Drag(press, delta);
    QCOMPARE(m_pWgt->geometry(), expected);
}

void TestWgtBase::maximizeThenRestore_returnsEarlierGeometry()
{
    QToolButton* pBtnMax = m_pWgt->findChild<QToolButton*>("pushButton_maximize");
    QTest::mouseClick(pBtnMax, Qt::LeftButton);
    const QRect qrectMax = m_pWgt->screen()->availableGeometry();
    QCOMPARE(m_pWgt->geometry(), qrectMax);
    QCOMPARE(pBtnMax->property("state").toString(), QStringLiteral("recover"));
    QCOMPARE(pBtnMax->toolTip(), QStringLiteral("还原"));
    // Maximised, the window neither moves nor resizes.
    Drag(g_qpointTitle, QPoint(40, 40));
    Drag(QPoint(m_pWgt->width() - 2, m_pWgt->height() / 2), QPoint(-50, 0));
    QCOMPARE(m_pWgt->geometry(), qrectMax);

    QTest::mouseClick(pBtnMax, Qt::LeftButton);
    QCOMPARE(m_pWgt->geometry(), g_qrectStart);
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
    m_pWgt->setGeometry(QRect(100, 100, 260, 200));
    m_pWgt->grab();
    QVERIFY2(pLabel->text().endsWith(QChar(0x2026)), qPrintable(pLabel->text()));
    QCOMPARE(pLabel->toolTip(), qstrTitle);
    m_pWgt->setGeometry(QRect(0, 0, 790, 200));
    m_pWgt->grab();
    QCOMPARE(pLabel->text(), qstrTitle);
    QVERIFY(pLabel->toolTip().isEmpty());
}

QTEST_MAIN(TestWgtBase)
#include "test_wgtbase.moc"
