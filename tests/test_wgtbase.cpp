// The frameless dialog base with real widgets: moving, resizing, maximising, cursors, keys and Alt+F4.
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
    void init()
    {
        m_pWgt = std::make_unique<CLS_WgtBase>();
        m_pWgt->SetTitle(QStringLiteral("Lumacast"));
        m_pWgt->setGeometry(g_qrectStart);
        m_pWgt->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWgt.get()));
        QCOMPARE(m_pWgt->geometry(), g_qrectStart);
    }

    void drag_data()
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
        QTest::newRow("6 pixels in") << false << QPoint(6, 150) << int(Qt::ArrowCursor) << QPoint(-20, 0)
                                     << g;
        QTest::newRow("title bar moves")
            << false << g_qpointTitle << int(Qt::ArrowCursor) << QPoint(30, -40) << g.translated(30, -40);
        QTest::newRow("fixed size never resizes")
            << true << QPoint(2, 150) << int(Qt::ArrowCursor) << QPoint(-20, 0) << g;
    }
    void drag()
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
    void keysAndAltF4_doNotClose_closeButtonDoes()
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
    // Maximised, a title drag changes nothing; restoring returns the earlier geometry.
    void maximizeThenRestore()
    {
        QToolButton* pBtnMax = m_pWgt->findChild<QToolButton*>("pushButton_maximize");
        QTest::mouseClick(pBtnMax, Qt::LeftButton);
        QCOMPARE(m_pWgt->geometry(), m_pWgt->screen()->availableGeometry());
        QCOMPARE(pBtnMax->property("state").toString() + pBtnMax->toolTip(), QStringLiteral("recover还原"));
        Drag(g_qpointTitle, QPoint(40, 40));
        QCOMPARE(m_pWgt->geometry(), m_pWgt->screen()->availableGeometry());
        QTest::mouseClick(pBtnMax, Qt::LeftButton);
        QCOMPARE(m_pWgt->geometry(), g_qrectStart);
        QCOMPARE(pBtnMax->property("state").toString() + pBtnMax->toolTip(), QStringLiteral("max最大化"));
    }

private:
    // Hover, press, move by the delta, release and move on, as a user's drag arrives.
    void Drag(const QPoint& _qpointLocal, const QPoint& _qpointDelta)
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

    std::unique_ptr<CLS_WgtBase> m_pWgt;
};

QTEST_MAIN(TestWgtBase)
#include "test_wgtbase.moc"
