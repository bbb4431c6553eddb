#include "CLS_WgtSystemSet.h"

#include "CLS_WgtServerManage.h"
#include "widgets/FormRows.h"

#include <QFrame>
#include <QTabWidget>
#include <QVBoxLayout>

CLS_WgtSystemSet::CLS_WgtSystemSet(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CLS_WgtSystemSet"));
    setWindowTitle(QStringLiteral("Form"));
    resize(400, 300);
    auto* pLayoutPage = new QVBoxLayout(this);
    pLayoutPage->setObjectName(QStringLiteral("verticalLayout"));
    pLayoutPage->setSpacing(0);
    pLayoutPage->setContentsMargins(0, 0, 0, 0);
    QFrame* pFrame = FormRows::NewPanel(this, QStringLiteral("frame_SystemSet"));
    pLayoutPage->addWidget(pFrame);
    auto* pLayoutFrame = new QVBoxLayout(pFrame);
    pLayoutFrame->setObjectName(QStringLiteral("verticalLayout_2"));
    pLayoutFrame->setSpacing(0);
    pLayoutFrame->setContentsMargins(0, 0, 0, 0);
    auto* pTabs = new QTabWidget(pFrame);
    pTabs->setObjectName(QStringLiteral("tabWidget_SystemSet"));
    pLayoutFrame->addWidget(pTabs);

    m_pServerManage = new CLS_WgtServerManage(pTabs);
    m_pServerManage->setObjectName(QStringLiteral("tab_1"));
    pTabs->addTab(m_pServerManage, tr("服务设置"));
    pTabs->setCurrentIndex(0);
    connect(m_pServerManage, &CLS_WgtServerManage::SigRestart, this, &CLS_WgtSystemSet::SigRestart);
}
