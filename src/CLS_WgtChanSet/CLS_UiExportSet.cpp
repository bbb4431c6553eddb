#include "CLS_UiExportSet.h"

#include "widgets/CLS_ComboBox.h"
#include "widgets/FormRows.h"

#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace FormRows;

void CLS_UiExportSet::setupUi(QWidget* _pPage)
{
    _pPage->setObjectName(QStringLiteral("CLS_WgtExportSet"));
    _pPage->setWindowTitle(QStringLiteral("Form"));
    _pPage->resize(400, 300);
    QVBoxLayout* pColumn = NewColumn(_pPage);

    label_CollectionMode =
        NewNamed<QLabel>(_pPage, QStringLiteral("label_CollectionMode"), QStringLiteral("采集方式"));
    comboBox_CollectionMode = NewPickBox(_pPage, QStringLiteral("comboBox_CollectionMode"));
    AddRow(pColumn, {label_CollectionMode, comboBox_CollectionMode});

    treeWidget_ParamSet = new QTreeWidget(_pPage);
    treeWidget_ParamSet->setObjectName(QStringLiteral("treeWidget_ParamSet"));
    treeWidget_ParamSet->headerItem()->setText(0, QStringLiteral("1"));
    treeWidget_ParamSet->setHeaderHidden(true);
    treeWidget_ParamSet->setFrameShape(QFrame::NoFrame);
    treeWidget_ParamSet->setIndentation(0);
    treeWidget_ParamSet->setAutoExpandDelay(0);
    treeWidget_ParamSet->viewport()->setFocusPolicy(Qt::NoFocus);
    treeWidget_ParamSet->setSelectionBehavior(QAbstractItemView::SelectItems);
    treeWidget_ParamSet->setExpandsOnDoubleClick(false);
    pColumn->addWidget(treeWidget_ParamSet);

    QMetaObject::connectSlotsByName(_pPage);
}
