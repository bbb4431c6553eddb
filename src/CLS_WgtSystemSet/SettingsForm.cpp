#include "SettingsForm.h"

#include "widgets/CLS_MessageBox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QSpacerItem>
#include <QVBoxLayout>

void SettingsNotice(const QString& _qstrText)
{
    CLS_MessageBox::ShowMsgBox(CLS_MessageBox::KIND_INFORMATION, nullptr, QObject::tr("提示"), _qstrText,
                               {QObject::tr("确定")}, 0, QStringLiteral("default"));
}

QHBoxLayout* NewFormRow(const char* _pcName, QVBoxLayout* _pLayoutColumn)
{
    auto* pLayoutRow = new QHBoxLayout();
    pLayoutRow->setObjectName(QLatin1String(_pcName));
    pLayoutRow->setSpacing(0);
    _pLayoutColumn->addLayout(pLayoutRow);
    return pLayoutRow;
}

QFrame* NewFormPanel(const char* _pcName, QWidget* _pParent)
{
    auto* pFrame = new QFrame(_pParent);
    pFrame->setObjectName(QLatin1String(_pcName));
    pFrame->setFrameShape(QFrame::StyledPanel);
    pFrame->setFrameShadow(QFrame::Raised);
    return pFrame;
}

QSpacerItem* NewRowSpacer()
{
    return new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
}
