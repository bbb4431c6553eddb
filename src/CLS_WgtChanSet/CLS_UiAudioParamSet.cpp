#include "CLS_UiAudioParamSet.h"

#include "widgets/CLS_ComboBox.h"
#include "widgets/FormRows.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace FormRows;

namespace {

// The value stored as "audioEnctype" for G.711A.
const int g_iEncG711A = 1;

} // namespace

void CLS_UiAudioParamSet::setupUi(QWidget* _pPage)
{
    _pPage->setObjectName(QStringLiteral("CLS_WgtAudioParamSet"));
    _pPage->setWindowTitle(QStringLiteral("Form"));
    _pPage->resize(400, 300);
    QVBoxLayout* pColumn = NewColumn(_pPage);

    checkBox_OpenAudio = new QCheckBox(QStringLiteral("开启声音"), _pPage);
    checkBox_OpenAudio->setObjectName(QStringLiteral("checkBox_OpenAudio"));
    AddRow(pColumn, {checkBox_OpenAudio});

    label_Equipment = NewNamed<QLabel>(_pPage, QStringLiteral("label_Equipment"), QStringLiteral("设备名称"));
    comboBox_EquipmentAudio = NewPickBox(_pPage, QStringLiteral("comboBox_EquipmentAudio"));
    AddRow(pColumn, {label_Equipment, comboBox_EquipmentAudio});

    label_AudioCodec =
        NewNamed<QLabel>(_pPage, QStringLiteral("label_AudioCodec"), QStringLiteral("音频编码"));
    comboBox_AudioCodec = NewPickBox(_pPage, QStringLiteral("comboBox_AudioCodec"));
    comboBox_AudioCodec->addItem(QStringLiteral("G.711A"), g_iEncG711A);
    AddRow(pColumn, {label_AudioCodec, comboBox_AudioCodec});

    label_AudioFrameRate =
        NewNamed<QLabel>(_pPage, QStringLiteral("label_AudioFrameRate"), QStringLiteral("采样率"));
    comboBox_AudioFrameRate = NewPickBox(_pPage, QStringLiteral("comboBox_AudioFrameRate"));
    AddRow(pColumn, {label_AudioFrameRate, comboBox_AudioFrameRate})
        ->setAlignment(comboBox_AudioFrameRate, Qt::AlignRight);

    frame_VideoParamSave = NewPanel(_pPage, QStringLiteral("frame_VideoParamSave"));
    pushButton_SaveParam =
        NewNamed<QPushButton>(_pPage, QStringLiteral("pushButton_SaveParam"), QStringLiteral("保存"));
    frame_reset = NewPanel(_pPage, QStringLiteral("frame_reset"));
    AddRow(pColumn, {frame_VideoParamSave, pushButton_SaveParam, frame_reset});

    QMetaObject::connectSlotsByName(_pPage);
}
