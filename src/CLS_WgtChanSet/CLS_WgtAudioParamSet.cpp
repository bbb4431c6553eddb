#include "CLS_WgtAudioParamSet.h"

#include "CLS_ChannelNotice.h"
#include "CLS_UiAudioParamSet.h"

#include "OrbApplication.h"
#include "common/Log.h"
#include "widgets/CLS_ComboBox.h"
#include "widgets/CLS_MessageBox.h"

#include <QCheckBox>
#include <QCoreApplication>

#include <algorithm>

namespace {

OrbApplication* App()
{
    return OrbApplication::Instance();
}

} // namespace

CLS_WgtAudioParamSet::CLS_WgtAudioParamSet(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<CLS_UiAudioParamSet>())
{
    ui->setupUi(this);
}

CLS_WgtAudioParamSet::~CLS_WgtAudioParamSet() = default;

void CLS_WgtAudioParamSet::SetChannelInfo(int _iIndex, const QJsonObject& _qjsonChInfo)
{
    const QString qstrName = _qjsonChInfo.value(QStringLiteral("audioName")).toString();
    const bool blOn = _qjsonChInfo.value(QStringLiteral("enableAudio")).toBool(false);
    ui->checkBox_OpenAudio->setChecked(blOn);
    m_iIndex = _iIndex;
    m_iChNo = _qjsonChInfo.value(QStringLiteral("chNo")).toInt(0);
    m_iEncType = _qjsonChInfo.value(QStringLiteral("audioEnctype")).toInt(0);
    m_iSampleRate = _qjsonChInfo.value(QStringLiteral("audioSample")).toInt(0);
    ui->comboBox_EquipmentAudio->clear();
    ui->comboBox_AudioFrameRate->clear();

    const QVector<STRUCT_Audio> vecAudio = App()->GetAudioDevs();
    const bool blFound = blOn && std::any_of(vecAudio.cbegin(), vecAudio.cend(),
                                             [&](const STRUCT_Audio& _a) { return _a.qstrName == qstrName; });
    int iPos = 0;
    for (const STRUCT_Audio& structAudio : vecAudio) {
        if (structAudio.iHolderChNo != -1 && structAudio.qstrName != qstrName) {
            continue;
        }
        ui->comboBox_EquipmentAudio->insertItem(iPos, structAudio.qstrName);
        if (blFound ? structAudio.qstrName == qstrName : iPos == 0) {
            ui->comboBox_EquipmentAudio->setCurrentIndex(iPos);
            ui->comboBox_EquipmentAudio->SetCursorPosition(0);
            FillSampleRates(structAudio.qstrName, m_iSampleRate);
            const int iCodec = ui->comboBox_AudioCodec->findData(m_iEncType);
            if (iCodec >= 0) {
                ui->comboBox_AudioCodec->setCurrentIndex(iCodec);
            }
        }
        ++iPos;
    }
}

void CLS_WgtAudioParamSet::on_comboBox_EquipmentAudio_currentTextChanged(QString arg1)
{
    ui->comboBox_EquipmentAudio->setToolTip(arg1);
    // Only rates the chosen input offers can be saved; the rate shown stays where it can.
    const int iShown = ui->comboBox_AudioFrameRate->currentText().toInt();
    FillSampleRates(arg1, iShown > 0 ? iShown : m_iSampleRate);
}

void CLS_WgtAudioParamSet::FillSampleRates(const QString& _qstrInput, int _iPreferred)
{
    ui->comboBox_AudioFrameRate->clear();
    const QVector<STRUCT_Audio> vecAudio = App()->GetAudioDevs();
    const auto itInput = std::find_if(vecAudio.cbegin(), vecAudio.cend(),
                                      [&](const STRUCT_Audio& _a) { return _a.qstrName == _qstrInput; });
    if (itInput == vecAudio.cend()) {
        return;
    }
    for (int iRate : itInput->lstSampleRate) {
        ui->comboBox_AudioFrameRate->addItem(QString::number(iRate));
    }
    ui->comboBox_AudioFrameRate->setCurrentIndex(qMax(itInput->lstSampleRate.lastIndexOf(_iPreferred), 0));
}

void CLS_WgtAudioParamSet::on_checkBox_OpenAudio_clicked()
{
    if (ui->checkBox_OpenAudio->isChecked() && m_pTable != nullptr && !m_pTable->CanTurnSoundOn(m_iChNo)) {
        ui->checkBox_OpenAudio->setChecked(false);
        CLS_MessageBox::Notice(CLS_ChannelNotice::SaveText({EnumChannelOutcome::NO_INPUT, {}, {}}));
    }
}

void CLS_WgtAudioParamSet::on_pushButton_SaveParam_clicked()
{
    if (m_pTable == nullptr) {
        LOG_EX(LOG_TRACE, "audio page of channel %d: no channel table to save into", m_iChNo);
        return;
    }
    STRUCT_AudioChoice structChoice;
    structChoice.iEncType = ui->comboBox_AudioCodec->currentData().toInt();
    structChoice.qstrName = ui->comboBox_EquipmentAudio->currentText();
    structChoice.iSampleRate = ui->comboBox_AudioFrameRate->currentText().toInt();
    structChoice.blOn = ui->checkBox_OpenAudio->isChecked();
    STRUCT_ChannelAnswer structAnswer = m_pTable->SaveAudio(m_iIndex, m_iChNo, structChoice);
    if (structAnswer.eOutcome == EnumChannelOutcome::DONE) {
        m_iSampleRate = structChoice.iSampleRate;
        m_iEncType = structChoice.iEncType;
        emit SigVideoParamChanged(structAnswer.qJsonArrChInfo, m_iIndex);
    }
    CLS_MessageBox::Notice(CLS_ChannelNotice::SaveText(structAnswer));
}
