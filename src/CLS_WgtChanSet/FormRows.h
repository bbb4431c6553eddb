// Small builders shared by the parameter pages' forms: named widgets and the pages' rows.
#pragma once

#include <initializer_list>

class CLS_ComboBox;
class QBoxLayout;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QString;
class QVBoxLayout;
class QWidget;

namespace FormRows {

// The page's column: spacing 0, margins 0.
QVBoxLayout* NewColumn(QWidget* _pPage);
// One row of the column: the widgets left to right, then a 40-wide expanding spacer.
QHBoxLayout* AddRow(QBoxLayout* _pColumn, std::initializer_list<QWidget*> _lstWidgets);
QLabel* NewLabel(QWidget* _pParent, const QString& _qstrName, const QString& _qstrText);
// A pick list: its edit field is switched off.
CLS_ComboBox* NewPickBox(QWidget* _pParent, const QString& _qstrName);
QPushButton* NewButton(QWidget* _pParent, const QString& _qstrName, const QString& _qstrText);
// A styled, raised panel.
QFrame* NewPanel(QWidget* _pParent, const QString& _qstrName);

} // namespace FormRows
