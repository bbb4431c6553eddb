#include "CLS_WgtBase.h"

#include "CLS_QLabel.h"
#include "lang/CLS_Lang.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdlib>

namespace {

// Width of the band along each border where a press starts a resize.
const int g_iBorderBand = 6;

bool InBand(int _iDistance)
{
    return std::abs(_iDistance) < g_iBorderBand;
}

QToolButton* MakeTitleButton(const char* _pcObjectName, const char* _pcToolTipKey, QWidget* _pParent)
{
    auto* pButton = new QToolButton(_pParent);
    pButton->setObjectName(QLatin1String(_pcObjectName));
    pButton->setFocusPolicy(Qt::NoFocus);
    pButton->setToolTip(GetLangText(QLatin1String(_pcToolTipKey)));
    return pButton;
}

} // namespace

CLS_WgtBase::CLS_WgtBase(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("widget_base"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* pFrameBase = new QFrame(this);
    pFrameBase->setObjectName(QStringLiteral("frame_wgtBase"));
    auto* pLayoutDialog = new QHBoxLayout(this);
    pLayoutDialog->setContentsMargins(0, 0, 0, 0);
    pLayoutDialog->addWidget(pFrameBase);

    m_pTitleBar = new QFrame(pFrameBase);
    m_pTitleBar->setObjectName(QStringLiteral("widget_titleBar"));
    BuildTitleBar();

    m_pCenterWidget = new QFrame(pFrameBase);
    m_pCenterWidget->setObjectName(QStringLiteral("widget_centerWidget"));

    auto* pLayoutFrame = new QVBoxLayout(pFrameBase);
    pLayoutFrame->setContentsMargins(0, 0, 0, 0);
    pLayoutFrame->setSpacing(0);
    pLayoutFrame->addWidget(m_pTitleBar, 0);
    pLayoutFrame->addWidget(m_pCenterWidget, 1);

    qApp->installEventFilter(this);
    m_qrectNormal = geometry();

    connect(m_pBtnClose, &QToolButton::clicked, this, &QWidget::close);
    connect(m_pBtnMinimize, &QToolButton::clicked, this, &CLS_WgtBase::SlotShowMinimized);
    connect(m_pBtnMaximize, &QToolButton::clicked, this, &CLS_WgtBase::SlotShowMaximized);
}

void CLS_WgtBase::BuildTitleBar()
{
    m_pLabelTitle = new CLS_QLabel(m_pTitleBar);
    m_pLabelTitle->setObjectName(QStringLiteral("label_title"));
    m_pLabelTitle->setAlignment(Qt::AlignCenter);
    m_pBtnMinimize = MakeTitleButton("pushButton_minimize", "IDS_Quorvane_Minimization", m_pTitleBar);
    m_pBtnMaximize = MakeTitleButton("pushButton_maximize", "IDS_Quorvane_Maximization", m_pTitleBar);
    m_pBtnClose = MakeTitleButton("pushButton_close", "IDS_Quorvane_Close", m_pTitleBar);

    auto* pLayoutTitle = new QHBoxLayout(m_pTitleBar);
    pLayoutTitle->setContentsMargins(0, 0, 0, 0);
    pLayoutTitle->setSpacing(0);
    pLayoutTitle->addWidget(m_pLabelTitle);
    pLayoutTitle->addWidget(m_pBtnMinimize);
    pLayoutTitle->addWidget(m_pBtnMaximize);
    pLayoutTitle->addWidget(m_pBtnClose);
}

void CLS_WgtBase::SetTitle(const QString& _qstrTitle, Qt::Alignment _alignment)
{
    m_pLabelTitle->setAlignment(_alignment);
    m_pLabelTitle->SetFullText(_qstrTitle);
    m_pLabelTitle->repaint();
    // The task bar and the window switcher show the system's title, not the drawn one.
    setWindowTitle(_qstrTitle);
}

void CLS_WgtBase::SetTitleButtonsVisible(bool _blMinimize, bool _blMaximize, bool _blClose)
{
    m_pBtnMinimize->setVisible(_blMinimize);
    m_pBtnMaximize->setVisible(_blMaximize);
    m_pBtnClose->setVisible(_blClose);
}

void CLS_WgtBase::showMaximized(bool _blFlag)
{
    if (isHidden()) {
        show();
    }
    if (m_blMaximized && !_blFlag) {
        return;
    }
    Maximize();
}

void CLS_WgtBase::SlotShowMinimized()
{
    showMinimized();
}

void CLS_WgtBase::SlotShowMaximized()
{
    if (isMaximized()) {
        setWindowState(windowState() & ~Qt::WindowMaximized);
    }
    if (!m_blMaximized) {
        if (isHidden()) {
            show();
        }
        Maximize();
        return;
    }
    setGeometry(m_qrectNormal);
    m_blMaximized = false;
    SetMaximizeButtonState("max", QStringLiteral("IDS_Quorvane_Maximization"));
}

void CLS_WgtBase::Maximize()
{
    m_qrectNormal = geometry();
    const QScreen* pScreen = screen() ? screen() : QGuiApplication::primaryScreen();
    if (pScreen) {
        setGeometry(pScreen->availableGeometry());
    }
    m_blMaximized = true;
    SetMaximizeButtonState("recover", QStringLiteral("IDS_Quorvane_Recover"));
}

void CLS_WgtBase::SetMaximizeButtonState(const char* _pcState, const QString& _qstrToolTipKey)
{
    m_pBtnMaximize->setProperty("state", QLatin1String(_pcState));
    m_pBtnMaximize->style()->unpolish(m_pBtnMaximize);
    m_pBtnMaximize->style()->polish(m_pBtnMaximize);
    m_pBtnMaximize->setToolTip(GetLangText(_qstrToolTipKey));
}

bool CLS_WgtBase::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
        HandleMouseMove(static_cast<QMouseEvent*>(event)->globalPos());
        break;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt) {
            m_blAltHeld = true;
        }
        break;
    case QEvent::KeyRelease:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt) {
            m_blAltHeld = false;
        }
        break;
    case QEvent::WindowDeactivate:
        m_blAltHeld = false;
        break;
    case QEvent::Close:
        // Alt+F4 must not close the window; its close button still does.
        if (m_blAltHeld && watched->objectName() == objectName()) {
            event->ignore();
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void CLS_WgtBase::HandleMouseMove(const QPoint& _qpointGlobal)
{
    if (m_blMaximized || isMinimized()) {
        return;
    }
    if (m_iDragMode == DRAG_MOVE && m_blLeftDown) {
        setGeometry(geometry().translated(mapFromGlobal(_qpointGlobal) - m_qpointPress));
        return;
    }
    if (m_iDragMode == DRAG_RESIZE && m_blLeftDown) {
        QRect qrectGeometry = geometry();
        if (m_blEdgeLeft) {
            const int iWidth = qrectGeometry.right() - _qpointGlobal.x();
            if (iWidth > minimumWidth() && iWidth < maximumWidth()) {
                qrectGeometry.setLeft(_qpointGlobal.x());
            }
        }
        if (m_blEdgeRight) {
            qrectGeometry.setRight(_qpointGlobal.x());
        }
        if (m_blEdgeBottom) {
            qrectGeometry.setBottom(_qpointGlobal.y());
        }
        if (m_blEdgeTop) {
            const int iHeight = qrectGeometry.bottom() - _qpointGlobal.y();
            if (iHeight > minimumHeight() && iHeight < maximumHeight()) {
                qrectGeometry.setTop(_qpointGlobal.y());
            }
        }
        setGeometry(qrectGeometry);
        return;
    }
    if (m_iDragMode == DRAG_NONE) {
        UpdateCursorShape(_qpointGlobal);
    }
}

void CLS_WgtBase::UpdateCursorShape(const QPoint& _qpointGlobal)
{
    // An embedded window is placed by its parent's layout, not by the user.
    if (parentWidget() && parentWidget()->layout()) {
        return;
    }
    const QPoint qpointPos = mapFromGlobal(_qpointGlobal);
    const QRect qrect = rect();
    const bool blHeightFree = minimumHeight() != maximumHeight();
    const bool blWidthFree = minimumWidth() != maximumWidth();
    const bool blTop = blHeightFree && InBand(qpointPos.y() - qrect.top());
    const bool blBottom = blHeightFree && InBand(qpointPos.y() - qrect.bottom());
    const bool blLeft = blWidthFree && InBand(qpointPos.x() - qrect.left());
    const bool blRight = blWidthFree && InBand(qpointPos.x() - qrect.right());

    Qt::CursorShape shape = Qt::ArrowCursor;
    if ((blBottom && blLeft) || (blRight && blTop)) {
        shape = Qt::SizeBDiagCursor;
    } else if ((blBottom && blRight) || (blLeft && blTop)) {
        shape = Qt::SizeFDiagCursor;
    } else if (blLeft || blRight) {
        shape = Qt::SizeHorCursor;
    } else if (blTop || blBottom) {
        shape = Qt::SizeVerCursor;
    }
    if (cursor().shape() != shape) {
        setCursor(shape);
    }
}

void CLS_WgtBase::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_blLeftDown = true;
        m_qpointPress = event->pos();
        const QRect qrect = rect();
        if (cursor().shape() != Qt::ArrowCursor) {
            m_iDragMode = DRAG_RESIZE;
            m_blEdgeLeft = InBand(m_qpointPress.x() - qrect.left());
            m_blEdgeRight = InBand(m_qpointPress.x() - qrect.right());
            m_blEdgeBottom = InBand(m_qpointPress.y() - qrect.bottom());
            m_blEdgeTop = InBand(m_qpointPress.y() - qrect.top());
        } else if (m_pTitleBar->isVisible() &&
                   m_pTitleBar->rect().contains(m_pTitleBar->mapFrom(this, m_qpointPress))) {
            m_iDragMode = DRAG_MOVE;
        } else {
            m_iDragMode = DRAG_NONE;
        }
    }
    QDialog::mousePressEvent(event);
}

void CLS_WgtBase::mouseReleaseEvent(QMouseEvent* event)
{
    m_blLeftDown = false;
    m_iDragMode = DRAG_NONE;
    QDialog::mouseReleaseEvent(event);
}

void CLS_WgtBase::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CLS_WgtBase::changeEvent(QEvent* event)
{
    // Without this a window restored from minimised stays blank until something repaints it.
    if (event->type() == QEvent::WindowStateChange && !(windowState() & Qt::WindowMinimized)) {
        setAttribute(Qt::WA_Mapped);
    }
    QDialog::changeEvent(event);
}
