#include "CLS_UiVideoParamSet.h"

#include "settings/CLS_Settings.h"
#include "widgets/CLS_ComboBox.h"
#include "widgets/FormRows.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace FormRows;

namespace {

QSpinBox* NewSpinBox(QWidget* _pParent, const QString& _qstrName, int _iMinimum, int _iMaximum)
{
    auto* pSpinBox = new QSpinBox(_pParent);
    pSpinBox->setObjectName(_qstrName);
    pSpinBox->setRange(_iMinimum, _iMaximum);
    return pSpinBox;
}

} // namespace

void CLS_UiVideoParamSet::setupUi(QWidget* _pPage)
{
    _pPage->setObjectName(QStringLiteral("CLS_WgtVideoParamSet"));
    _pPage->setWindowTitle(QStringLiteral("Form"));
    _pPage->resize(400, 300);
    QVBoxLayout* pColumn = NewColumn(_pPage);

    label_DesktopNum =
        NewNamed<QLabel>(_pPage, QStringLiteral("label_DesktopNum"), QStringLiteral("桌面编号"));
    comboBox_DesktopNum = NewPickBox(_pPage, QStringLiteral("comboBox_DesktopNum"));
    pushButton_DesktopNumDiscern = NewNamed<QPushButton>(
        _pPage, QStringLiteral("pushButton_DesktopNumDiscern"), QStringLiteral("识别桌面编号"));
    AddRow(pColumn, {label_DesktopNum, comboBox_DesktopNum, pushButton_DesktopNumDiscern});

    label_Equipment = NewNamed<QLabel>(_pPage, QStringLiteral("label_Equipment"), QStringLiteral("设备名称"));
    comboBox_Equipment = NewPickBox(_pPage, QStringLiteral("comboBox_Equipment"));
    AddRow(pColumn, {label_Equipment, comboBox_Equipment});

    label_VideoQuality =
        NewNamed<QLabel>(_pPage, QStringLiteral("label_VideoQuality"), QStringLiteral("视频质量"));
    comboBox_VideoQuality = NewPickBox(_pPage, QStringLiteral("comboBox_VideoQuality"));
    comboBox_VideoQuality->addItems({QStringLiteral("最好"), QStringLiteral("较好"), QStringLiteral("好"),
                                     QStringLiteral("一般"), QStringLiteral("较差")});
    AddRow(pColumn, {label_VideoQuality, comboBox_VideoQuality});

    label_FrameRate = NewNamed<QLabel>(_pPage, QStringLiteral("label_FrameRate"), QStringLiteral("帧率"));
    spinBox_FrameRate = NewSpinBox(_pPage, QStringLiteral("spinBox_FrameRate"),
                                   CLS_Settings::FIELD_FRAME_RATE.iMin, CLS_Settings::FIELD_FRAME_RATE.iMax);
    AddRow(pColumn, {label_FrameRate, spinBox_FrameRate});

    label_BitRate = NewNamed<QLabel>(_pPage, QStringLiteral("label_BitRate"), QStringLiteral("码率"));
    spinBox_BitRate = NewSpinBox(_pPage, QStringLiteral("spinBox_BitRate"), CLS_Settings::FIELD_BIT_RATE.iMin,
                                 CLS_Settings::FIELD_BIT_RATE.iMax);
    AddRow(pColumn, {label_BitRate, spinBox_BitRate});

    label_ResolutionRatio =
        NewNamed<QLabel>(_pPage, QStringLiteral("label_ResolutionRatio"), QStringLiteral("分辨率"));
    comboBox_ResolutionRatio = NewPickBox(_pPage, QStringLiteral("comboBox_ResolutionRatio"));
    AddRow(pColumn, {label_ResolutionRatio, comboBox_ResolutionRatio});

    label_CollectionFormat =
        NewNamed<QLabel>(_pPage, QStringLiteral("label_CollectionFormat"), QStringLiteral("采集格式"));
    comboBox_CollectionFormat = NewPickBox(_pPage, QStringLiteral("comboBox_CollectionFormat"));
    AddRow(pColumn, {label_CollectionFormat, comboBox_CollectionFormat});

    frame_VideoParamSave = NewPanel(_pPage, QStringLiteral("frame_VideoParamSave"));
    pushButton_SaveParam =
        NewNamed<QPushButton>(_pPage, QStringLiteral("pushButton_SaveParam"), QStringLiteral("保存"));
    frame_reset = NewPanel(_pPage, QStringLiteral("frame_reset"));
    pushButton_ResetCurCh = NewNamed<QPushButton>(_pPage, QStringLiteral("pushButton_ResetCurCh"),
                                                  QStringLiteral("重置当前通道"));
    AddRow(pColumn, {frame_VideoParamSave, pushButton_SaveParam, frame_reset, pushButton_ResetCurCh});

    QMetaObject::connectSlotsByName(_pPage);
}
