// The audio parameter page: sound on or off, the audio input, codec and sample rate of the
// channel shown; keeps the application's audio registry in step when they are saved.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QWidget>

#include <memory>

class CLS_ChannelTable;
class CLS_UiAudioParamSet;

class CLS_WgtAudioParamSet : public QWidget
{
    Q_OBJECT
public:
    explicit CLS_WgtAudioParamSet(QWidget* parent = nullptr);
    ~CLS_WgtAudioParamSet() override;

    // Fills the widgets from the record at position _iIndex of the stored table; lists the free
    // inputs and those carrying the channel's own input name.
    void SetChannelInfo(int _iIndex, const QJsonObject& _qjsonChInfo);
    // The table a save goes to; none: a save does nothing.
    void SetChannelTable(CLS_ChannelTable* _pTable) { m_pTable = _pTable; }

signals:
    // After a save: the whole table with the changed record in place, and its position.
    void SigVideoParamChanged(QJsonArray& _qJsonArrChInfo, int _iChNo);

private slots:
    void on_pushButton_SaveParam_clicked();
    void on_checkBox_OpenAudio_clicked();
    void on_comboBox_EquipmentAudio_currentTextChanged(QString arg1);

private:
    // The rates of _qstrInput, _iPreferred chosen where it has it, else its first.
    void FillSampleRates(const QString& _qstrInput, int _iPreferred);
    std::unique_ptr<CLS_UiAudioParamSet> ui;
    int m_iSampleRate = 0;
    int m_iIndex = 0;
    int m_iChNo = -1;
    int m_iEncType = 0;
    CLS_ChannelTable* m_pTable = nullptr;
};
