#include "FormRows.h"

#include "widgets/CLS_ComboBox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace FormRows {

QVBoxLayout* NewColumn(QWidget* _pPage)
{
    auto* pColumn = new QVBoxLayout(_pPage);
    pColumn->setSpacing(0);
    pColumn->setContentsMargins(0, 0, 0, 0);
    return pColumn;
}

QHBoxLayout* AddRow(QBoxLayout* _pColumn, std::initializer_list<QWidget*> _lstWidgets)
{
    auto* pRow = new QHBoxLayout();
    pRow->setSpacing(0);
    for (QWidget* pWidget : _lstWidgets) {
        pRow->addWidget(pWidget);
    }
    // No height of its own: a row whose widgets are hidden takes no room.
    pRow->addItem(new QSpacerItem(40, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    _pColumn->addLayout(pRow);
    return pRow;
}

QLabel* NewLabel(QWidget* _pParent, const QString& _qstrName, const QString& _qstrText)
{
    auto* pLabel = new QLabel(_qstrText, _pParent);
    pLabel->setObjectName(_qstrName);
    return pLabel;
}

CLS_ComboBox* NewPickBox(QWidget* _pParent, const QString& _qstrName)
{
    auto* pBox = new CLS_ComboBox(_pParent);
    pBox->setObjectName(_qstrName);
    pBox->SetEditEnabled(false);
    return pBox;
}

QPushButton* NewButton(QWidget* _pParent, const QString& _qstrName, const QString& _qstrText)
{
    auto* pButton = new QPushButton(_qstrText, _pParent);
    pButton->setObjectName(_qstrName);
    return pButton;
}

QFrame* NewPanel(QWidget* _pParent, const QString& _qstrName)
{
    auto* pFrame = new QFrame(_pParent);
    pFrame->setObjectName(_qstrName);
    pFrame->setFrameShape(QFrame::StyledPanel);
    pFrame->setFrameShadow(QFrame::Raised);
    return pFrame;
}

} // namespace FormRows
