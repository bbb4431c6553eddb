// The channel page's form: its widgets by object name, built in code; Qt parenthood owns them.
#pragma once

class CLS_ComboBox;
class CLS_WgtExportSet;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;

class CLS_UiChanSet
{
public:
    // Builds the widgets on the page and connects its on_<object>_<signal> slots by name.
    void setupUi(QWidget* _pPage);

    QFrame* frame_ChanSet = nullptr;
    QFrame* frame_ch = nullptr;
    QPushButton* pushButton_ResetAllChs = nullptr;
    QLabel* label_ChooseCh = nullptr;
    CLS_ComboBox* comboBox_ChooseCh = nullptr;
    QLabel* label_ChName = nullptr;
    QLineEdit* lineEdit_ChName = nullptr;
    QLabel* label_ChState = nullptr;
    QTabWidget* tabWidget_ChanSet = nullptr;
    CLS_WgtExportSet* tab = nullptr;
};
