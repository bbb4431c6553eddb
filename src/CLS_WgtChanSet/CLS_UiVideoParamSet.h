// The video parameter page's form: its widgets by object name; Qt parenthood owns them.
#pragma once

class CLS_ComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QSpinBox;
class QWidget;

class CLS_UiVideoParamSet
{
public:
    // Builds the eight rows on the page and connects its on_<object>_<signal> slots by name.
    void setupUi(QWidget* _pPage);

    QLabel* label_DesktopNum = nullptr;
    CLS_ComboBox* comboBox_DesktopNum = nullptr;
    QPushButton* pushButton_DesktopNumDiscern = nullptr;
    QLabel* label_Equipment = nullptr;
    CLS_ComboBox* comboBox_Equipment = nullptr;
    QLabel* label_VideoQuality = nullptr;
    CLS_ComboBox* comboBox_VideoQuality = nullptr;
    QLabel* label_FrameRate = nullptr;
    QSpinBox* spinBox_FrameRate = nullptr;
    QLabel* label_BitRate = nullptr;
    QSpinBox* spinBox_BitRate = nullptr;
    QLabel* label_ResolutionRatio = nullptr;
    CLS_ComboBox* comboBox_ResolutionRatio = nullptr;
    QLabel* label_CollectionFormat = nullptr;
    CLS_ComboBox* comboBox_CollectionFormat = nullptr;
    QFrame* frame_VideoParamSave = nullptr;
    QPushButton* pushButton_SaveParam = nullptr;
    QFrame* frame_reset = nullptr;
    QPushButton* pushButton_ResetCurCh = nullptr;
};
