#include "CLS_WgtExportSet.h"

#include "CameraBusiness.h"

#include "CLS_UiExportSet.h"
#include "CLS_WgtAudioParamSet.h"
#include "CLS_WgtVideoParamSet.h"

#include "widgets/CLS_ComboBox.h"

#include <QEvent>
#include <QLabel>
#include <QTreeWidget>

namespace {

// A section's title band: tall enough to be hit easily.
const int g_iSectionTitleHeight = 36;

} // namespace

CLS_WgtExportSet::CLS_WgtExportSet(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<CLS_UiExportSet>()),
      m_pWgtVideoParam(new CLS_WgtVideoParamSet(this)), m_pWgtAudioParam(new CLS_WgtAudioParamSet(this))
{
    ui->setupUi(this);
    // Both pages carry the same name: the style sheets dress them alike.
    m_pWgtVideoParam->setObjectName(QStringLiteral("widget_VideoParam"));
    m_pWgtAudioParam->setObjectName(QStringLiteral("widget_VideoParam"));
    AddSection(QStringLiteral("视频参数"), m_pWgtVideoParam, true);
    AddSection(QStringLiteral("音频参数"), m_pWgtAudioParam, false);
    connect(m_pWgtVideoParam, &CLS_WgtVideoParamSet::SigVideoParamChanged, this,
            &CLS_WgtExportSet::SigVideoParamChanged);
    connect(m_pWgtVideoParam, &CLS_WgtVideoParamSet::SigResetCurCh, this, &CLS_WgtExportSet::SigResetCurCh);
    connect(m_pWgtAudioParam, &CLS_WgtAudioParamSet::SigVideoParamChanged, this,
            &CLS_WgtExportSet::SigVideoParamChanged);
    ui->comboBox_CollectionMode->SetEditEnabled(false);
    ui->label_CollectionMode->setText(tr("采集方式"));
}

CLS_WgtExportSet::~CLS_WgtExportSet() = default;

void CLS_WgtExportSet::AddSection(const QString& _qstrTitle, QWidget* _pPage, bool _blExpanded)
{
    auto* pTop = new QTreeWidgetItem(ui->treeWidget_ParamSet, {_qstrTitle});
    pTop->setSizeHint(0, QSize(0, g_iSectionTitleHeight));
    auto* pRow = new QTreeWidgetItem(pTop);
    pRow->setDisabled(true);
    ui->treeWidget_ParamSet->setItemWidget(pRow, 0, _pPage);
    pTop->setExpanded(_blExpanded);
    _pPage->installEventFilter(this);
}

bool CLS_WgtExportSet::eventFilter(QObject* _pWatched, QEvent* _pEvent)
{
    // Not at the page's polish, which comes before the style sheet reaches it and its rows: a
    // closed section would open at its unstyled height.
    if (_pEvent->type() == QEvent::LayoutRequest || _pEvent->type() == QEvent::Show) {
        FitSectionRow(static_cast<QWidget*>(_pWatched));
    }
    return QWidget::eventFilter(_pWatched, _pEvent);
}

void CLS_WgtExportSet::FitSectionRow(QWidget* _pPage)
{
    QTreeWidget* pTree = ui->treeWidget_ParamSet;
    for (int i = 0; i < pTree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* pRow = pTree->topLevelItem(i)->child(0);
        if (pTree->itemWidget(pRow, 0) == _pPage && pRow->sizeHint(0) != _pPage->sizeHint()) {
            pRow->setSizeHint(0, _pPage->sizeHint());
            // The tree keeps the row heights it laid out; a new hint alone only repaints the row.
            QMetaObject::invokeMethod(pTree, &QAbstractItemView::doItemsLayout, Qt::QueuedConnection);
        }
    }
}

void CLS_WgtExportSet::SetChannelTable(CLS_ChannelTable* _pTable)
{
    m_pWgtVideoParam->SetChannelTable(_pTable);
    m_pWgtAudioParam->SetChannelTable(_pTable);
}

void CLS_WgtExportSet::SetChannelInfo(int _iIndex, const QJsonObject& _qjsonChInfo)
{
    ui->comboBox_CollectionMode->clear();
    const int iCollectDevType =
        _qjsonChInfo.value(QStringLiteral("collectDevType")).toInt(CAMERA_BUSINESS_DEVICE_DESKTOP);
    if (iCollectDevType == CAMERA_BUSINESS_DEVICE_DESKTOP) {
        ui->comboBox_CollectionMode->addItem(tr("桌面采集"));
    } else if (iCollectDevType == CAMERA_BUSINESS_DEVICE_CAMERA) {
        ui->comboBox_CollectionMode->addItem(tr("USB摄像头"));
    }
    m_pWgtVideoParam->SetCollectMode(iCollectDevType);
    m_pWgtVideoParam->SetChannelInfo(_iIndex, _qjsonChInfo);
    m_pWgtAudioParam->SetChannelInfo(_iIndex, _qjsonChInfo);
}

void CLS_WgtExportSet::on_treeWidget_ParamSet_itemClicked(QTreeWidgetItem* item, int)
{
    if (item == nullptr || item->childCount() == 0) {
        return;
    }
    if (item->isExpanded()) {
        item->setExpanded(false);
        return;
    }
    for (int i = 0; i < ui->treeWidget_ParamSet->topLevelItemCount(); ++i) {
        QTreeWidgetItem* pTop = ui->treeWidget_ParamSet->topLevelItem(i);
        pTop->setExpanded(pTop == item);
    }
}
