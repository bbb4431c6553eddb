// Small pieces shared by the forms of the settings pages, built in code.
#pragma once

#include <QString>

class QFrame;
class QHBoxLayout;
class QSpacerItem;
class QVBoxLayout;
class QWidget;

// The notice every settings page gives: kind Information, title "提示", one button "确定".
void SettingsNotice(const QString& _qstrText);

// A row of the page's column: named, with spacing 0.
QHBoxLayout* NewFormRow(const char* _pcName, QVBoxLayout* _pLayoutColumn);

// A styled, raised panel.
QFrame* NewFormPanel(const char* _pcName, QWidget* _pParent);

// The 40 x 20 expanding spacer that closes a row.
QSpacerItem* NewRowSpacer();
