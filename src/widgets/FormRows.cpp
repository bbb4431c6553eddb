#include "FormRows.h"

#include "widgets/CLS_ComboBox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace FormRows {

QVBoxLayout* NewColumn(QWidget* _pPage)
{
    auto* pColumn = new QVBoxLayout(_pPage);
    pColumn->setObjectName(QStringLiteral("verticalLayout"));
    pColumn->setSpacing(0);
    pColumn->setContentsMargins(0, 0, 0, 0);
    return pColumn;
}

QHBoxLayout* AddRow(QBoxLayout* _pColumn, std::initializer_list<QWidget*> _lstWidgets,
                    const QString& _qstrName, ENUM_Align _enAlign)
{
    auto* pRow = new QHBoxLayout();
    pRow->setObjectName(_qstrName);
    pRow->setSpacing(0);
    for (QWidget* pWidget : _lstWidgets) {
        pRow->addWidget(pWidget);
    }
    // No height of its own: a row whose widgets are hidden takes no room.
    auto* pSpacer = new QSpacerItem(40, 0, QSizePolicy::Expanding, QSizePolicy::Minimum);
    if (_enAlign == ENUM_Align::Right) {
        pRow->insertItem(0, pSpacer);
    } else {
        pRow->addItem(pSpacer);
    }
    _pColumn->addLayout(pRow);
    return pRow;
}

CLS_ComboBox* NewPickBox(QWidget* _pParent, const QString& _qstrName)
{
    auto* pBox = new CLS_ComboBox(_pParent);
    pBox->setObjectName(_qstrName);
    pBox->SetEditEnabled(false);
    return pBox;
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
