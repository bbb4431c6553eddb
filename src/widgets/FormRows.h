// The one kit the settings forms are built with: a page's column, its rows, named widgets and panels.
#pragma once

#include <QString>

#include <initializer_list>

class CLS_ComboBox;
class QBoxLayout;
class QFrame;
class QHBoxLayout;
class QVBoxLayout;
class QWidget;

namespace FormRows {

enum class ENUM_Align
{
    Left,
    Right
};

// The page's column "verticalLayout": spacing 0, margins 0.
QVBoxLayout* NewColumn(QWidget* _pPage);
// One row of the column, spacing 0: the widgets left to right and a 40-wide expanding spacer after
// them (before them for a row aligned right).
QHBoxLayout* AddRow(QBoxLayout* _pColumn, std::initializer_list<QWidget*> _lstWidgets,
                    const QString& _qstrName = QString(), ENUM_Align _enAlign = ENUM_Align::Left);
// A widget with its object name and, when given, its text.
template <typename T>
T* NewNamed(QWidget* _pParent, const QString& _qstrName, const QString& _qstrText = QString())
{
    auto* pWidget = new T(_pParent);
    pWidget->setObjectName(_qstrName);
    if (!_qstrText.isNull()) {
        pWidget->setText(_qstrText);
    }
    return pWidget;
}
// A pick list: its edit field is switched off.
CLS_ComboBox* NewPickBox(QWidget* _pParent, const QString& _qstrName);
// A styled, raised panel.
QFrame* NewPanel(QWidget* _pParent, const QString& _qstrName);

} // namespace FormRows
