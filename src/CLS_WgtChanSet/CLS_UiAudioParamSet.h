// The audio parameter page's form: its widgets by object name; Qt parenthood owns them.
#pragma once

class CLS_ComboBox;
class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QWidget;

class CLS_UiAudioParamSet
{
public:
    // Builds the five rows on the page and connects its on_<object>_<signal> slots by name.
    void setupUi(QWidget* _pPage);

    QCheckBox* checkBox_OpenAudio = nullptr;
    QLabel* label_Equipment = nullptr;
    CLS_ComboBox* comboBox_EquipmentAudio = nullptr;
    QLabel* label_AudioCodec = nullptr;
    CLS_ComboBox* comboBox_AudioCodec = nullptr;
    QLabel* label_AudioFrameRate = nullptr;
    CLS_ComboBox* comboBox_AudioFrameRate = nullptr;
    QFrame* frame_VideoParamSave = nullptr;
    QPushButton* pushButton_SaveParam = nullptr;
    QFrame* frame_reset = nullptr;
};
