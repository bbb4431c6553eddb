// The output page's form: the collection-mode row and the folding tree; Qt parenthood owns them.
#pragma once

class CLS_ComboBox;
class QLabel;
class QTreeWidget;
class QWidget;

class CLS_UiExportSet
{
public:
    // Builds the widgets on the page and connects its on_<object>_<signal> slots by name.
    void setupUi(QWidget* _pPage);

    QLabel* label_CollectionMode = nullptr;
    CLS_ComboBox* comboBox_CollectionMode = nullptr;
    QTreeWidget* treeWidget_ParamSet = nullptr;
};
