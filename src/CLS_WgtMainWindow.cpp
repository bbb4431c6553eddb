#include "CLS_WgtMainWindow.h"

#include "CLS_WebSocketWidget.h"
#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "CLS_WgtSystemSet/CLS_WgtSystemSet.h"
#include "OrbApplication.h"
#include "common/Log.h"
#include "widgets/CLS_MessageBox.h"

#include "CameraBusiness.h"
#include "common/PublicCommonFun.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QStackedWidget>

namespace {

const QSize g_qsizeCenter(727, 626);

QLabel* NewImageLabel(const char* _pcName, QWidget* _pParent)
{
    auto* pLabel = new QLabel(_pParent);
    pLabel->setObjectName(QLatin1String(_pcName));
    return pLabel;
}

QString Skin()
{
    const OrbApplication* pApp = OrbApplication::Instance();
    return pApp ? pApp->GetSkin() : QStringLiteral("skinOne");
}

} // namespace

CLS_WgtMainWindow::CLS_WgtMainWindow(QWidget* parent) : CLS_WgtBase(parent)
{
    setObjectName(QStringLiteral("widget_MainWindow"));
    SetTitleButtonsVisible(true, false, true);
    SetTitle(tr("Lumacast参数设置"), Qt::AlignLeft | Qt::AlignVCenter);
    const OrbApplication* pApp = OrbApplication::Instance();
    const QIcon qicon(ResourcePath(Skin() + QStringLiteral("/images/lumacas")));
    setWindowIcon(qicon);

    QWidget* pCenter = GetCenterWidget();
    auto* pList = new QListWidget(pCenter);
    pList->setObjectName(QStringLiteral("listWidget_Set"));
    pList->viewport()->setFocusPolicy(Qt::NoFocus);
    BuildPageList(pList);
    m_pStack = new QStackedWidget(pCenter);
    m_pChanSet = new CLS_WgtChanSet(m_pStack);
    m_pChanSet->InitChanSet();
    m_pSystemSet = new CLS_WgtSystemSet(m_pStack);
    m_pStack->addWidget(m_pChanSet);
    m_pStack->addWidget(m_pSystemSet);
    auto* pLayoutCenter = new QHBoxLayout(pCenter);
    pLayoutCenter->setContentsMargins(0, 0, 0, 0);
    pLayoutCenter->setSpacing(0);
    pLayoutCenter->addWidget(pList, 0);
    pLayoutCenter->addWidget(m_pStack, 1);
    pCenter->setMinimumSize(500, 500);

    connect(m_pSystemSet, &CLS_WgtSystemSet::SigRestart, this, &CLS_WgtMainWindow::SlotRestart);
    connect(pList, &QListWidget::currentRowChanged, m_pStack, &QStackedWidget::setCurrentIndex);
    connect(pList, &QListWidget::currentRowChanged, this, &CLS_WgtMainWindow::slotCurrentRow);
    pList->setCurrentRow(0);
    slotCurrentRow(0);

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        LOG_EX(LOG_TRACE, "no system tray available: the minimise button minimises the window");
    }
    if (pApp && pApp->IsShowTray()) {
        BuildTray(qicon);
    }
    if (pApp && pApp->GetPlatformLink()) {
        connect(pApp->GetPlatformLink(), &CLS_WebSocketWidget::SignLoginSuccess, this,
                &CLS_WgtMainWindow::SlotLoginSuccess);
    }
    if (pApp && pApp->IsHideTasker()) {
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    }
    ensurePolished();
    resize(sizeHint());
    if (pApp) {
        connect(pApp, &QSingleApplication::SigMessageReceived, this,
                &CLS_WgtMainWindow::SlotRecMsgFromSingleApp);
    }
}

void CLS_WgtMainWindow::BuildPageList(QListWidget* _pList)
{
    const struct
    {
        QString qstrText;
        QLabel** ppStart;
        const char* pcStart;
        QLabel** ppEnd;
        const char* pcEnd;
    } aRows[] = {{tr("通道设置"), &m_pLabelChanSetImageStart, "labelChanSetImageStart",
                  &m_pLabelChanSetImageEnd, "labelChanSetImageEnd"},
                 {tr("系统设置"), &m_pLabelSystemImageStart, "labelSystemImageStart", &m_pLabelSystemImageEnd,
                  "labelSystemImageEnd"}};
    for (const auto& row : aRows) {
        auto* pItem = new QListWidgetItem(row.qstrText, _pList);
        pItem->setTextAlignment(Qt::AlignCenter);
        auto* pItemWidget = new QWidget(_pList);
        auto* pLayoutItem = new QHBoxLayout(pItemWidget);
        *row.ppStart = NewImageLabel(row.pcStart, pItemWidget);
        *row.ppEnd = NewImageLabel(row.pcEnd, pItemWidget);
        pLayoutItem->addWidget(*row.ppStart);
        pLayoutItem->addStretch(1);
        pLayoutItem->addWidget(*row.ppEnd);
        _pList->setItemWidget(pItem, pItemWidget);
    }
}

void CLS_WgtMainWindow::BuildTray(const QIcon& _qicon)
{
    m_trayIcon.setToolTip(tr("PC桌面采集服务"));
    m_trayIcon.SetIcon(_qicon);
    auto* pMenu = new QMenu(this);
    connect(pMenu->addAction(tr("设置")), &QAction::triggered, this, &CLS_WgtMainWindow::SlotShowSystemSet);
    connect(pMenu->addAction(tr("重启")), &QAction::triggered, this, &CLS_WgtMainWindow::SlotRestart);
    connect(pMenu->addAction(tr("退出")), &QAction::triggered, this, &CLS_WgtMainWindow::SlotExit);
    m_trayIcon.setContextMenu(pMenu);
    connect(&m_trayIcon, &QSystemTrayIcon::activated, this, &CLS_WgtMainWindow::SlotSystemTrayClicked);
    m_trayIcon.show();
}

void CLS_WgtMainWindow::ShowAtStart(bool _blShow)
{
    if (!_blShow) {
        return;
    }
    const OrbApplication* pApp = OrbApplication::Instance();
    if (pApp && pApp->IsMiniSize()) {
        showMinimized();
    } else {
        show();
    }
}

QSize CLS_WgtMainWindow::sizeHint() const
{
    // The pages' own hints are smaller than the room they are meant to have.
    const QSize qsizeMissing = (g_qsizeCenter - GetCenterWidget()->sizeHint()).expandedTo(QSize(0, 0));
    return CLS_WgtBase::sizeHint() + qsizeMissing;
}

void CLS_WgtMainWindow::slotCurrentRow(int _iRow)
{
    if (_iRow != 0 && _iRow != 1) {
        return;
    }
    const QString qstrPrefix = QStringLiteral("QLabel{ border-image: url(./") + ResourceFolder() + Skin();
    const bool blChanSet = _iRow == 0;
    m_pLabelChanSetImageStart->setStyleSheet(qstrPrefix + (blChanSet
                                                               ? QStringLiteral("/images/chanSet_Slect)}")
                                                               : QStringLiteral("/images/chanSet)}")));
    m_pLabelChanSetImageEnd->setStyleSheet(qstrPrefix + (blChanSet
                                                             ? QStringLiteral("/images/listWidget_Slect)}")
                                                             : QStringLiteral("/images/listWidget)}")));
    m_pLabelSystemImageStart->setStyleSheet(qstrPrefix + (blChanSet
                                                              ? QStringLiteral("/images/systemSet)}")
                                                              : QStringLiteral("/images/systemSet_Slect)}")));
    m_pLabelSystemImageEnd->setStyleSheet(qstrPrefix + (blChanSet
                                                            ? QStringLiteral("/images/listWidget)}")
                                                            : QStringLiteral("/images/listWidget_Slect)}")));
}

void CLS_WgtMainWindow::SlotShowMinimized()
{
    if (QSystemTrayIcon::isSystemTrayAvailable() && m_trayIcon.isVisible()) {
        hide();
    } else {
        showMinimized();
    }
}

void CLS_WgtMainWindow::SlotSystemTrayClicked(QSystemTrayIcon::ActivationReason _action)
{
    if (_action != QSystemTrayIcon::DoubleClick) {
        return;
    }
    showNormal();
    if (!isActiveWindow()) {
        activateWindow();
    }
    resize(sizeHint());
    m_trayIcon.Blink(false);
}

bool CLS_WgtMainWindow::SlotExit()
{
    if (!CLS_MessageBox::Confirm(tr("确定退出吗？"))) {
        return false;
    }
    m_trayIcon.hide();
    QCoreApplication::exit(0);
    return true;
}

void CLS_WgtMainWindow::closeEvent(QCloseEvent* event)
{
    if (SlotExit()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void CLS_WgtMainWindow::SlotRestart()
{
    OrbApplication* pApp = OrbApplication::Instance();
    const bool blTray = m_trayIcon.isVisible();
    m_trayIcon.hide();
    camera_business_cleanup();
    if (!pApp || pApp->Restart()) {
        return;
    }
    // Nothing will end this copy: it must go on serving as before.
    const bool blResumed = m_pChanSet->ResumeChannels();
    m_trayIcon.setVisible(blTray);
    CLS_MessageBox::Notice(blResumed ? tr("重启失败，程序继续运行") : tr("重启失败，视频服务未能恢复"));
}

void CLS_WgtMainWindow::SlotShowSystemSet()
{
    showNormal();
}

void CLS_WgtMainWindow::SlotLoginSuccess(QString _qstrMsg)
{
    const OrbApplication* pApp = OrbApplication::Instance();
    if (pApp && pApp->GetPlatformLink()) {
        pApp->GetPlatformLink()->RespondStartRequest(0, _qstrMsg);
    }
}

void CLS_WgtMainWindow::SlotRecMsgFromSingleApp(QString _qstrMsg)
{
    if (_qstrMsg != QLatin1String("showNormal")) {
        return;
    }
    // A second start is the user asking for the window: bring it to the front too.
    showNormal();
    raise();
    activateWindow();
}
