// One entry of a pick list as the rest of the program hands it over: no widgets needed.
#pragma once

#include <QString>
#include <QVariant>

struct STRUCT_ComboBoxItem
{
    QString qstrText;
    QVariant variantData; // Qt::UserRole
};
