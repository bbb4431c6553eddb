// The video parameter page: quality, frame rate, bit rate, resolution and a camera's collection
// format of the channel shown; saves them into its record and hands them to the streaming library.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QWidget>

#include <memory>
#include <vector>

class CLS_ChannelTable;
class CLS_UiVideoParamSet;
class QTimer;

class CLS_WgtVideoParamSet : public QWidget
{
    Q_OBJECT
public:
    explicit CLS_WgtVideoParamSet(QWidget* parent = nullptr);
    ~CLS_WgtVideoParamSet() override;

    // Shows the rows that fit the device kind, desktop or camera; others change nothing.
    void SetCollectMode(int _iCollectDevType);
    // Fills the widgets from the record at position _iIndex of the stored table.
    void SetChannelInfo(int _iIndex, const QJsonObject& _qjsonChInfo);
    // The table a save goes to; none: a save does nothing.
    void SetChannelTable(CLS_ChannelTable* _pTable) { m_pTable = _pTable; }

signals:
    // After a save: the whole table with the changed record in place, and its position.
    void SigVideoParamChanged(QJsonArray& _qJsonArrChInfo, int _iChNo);
    void SigResetCurCh();

private slots:
    void on_pushButton_DesktopNumDiscern_clicked();
    void on_pushButton_SaveParam_clicked();
    void SlotHideDesktopNum();
    void on_pushButton_ResetCurCh_clicked();

private:
    std::unique_ptr<CLS_UiVideoParamSet> ui;
    int m_iCollectDevType = 0;
    int m_iChNo = 0;
    std::vector<std::unique_ptr<QWidget>> m_vecDesktopNum;
    QTimer* m_pTimerHide = nullptr;
    int m_iResolutionIndex = -1;
    int m_iIndex = 0;
    CLS_ChannelTable* m_pTable = nullptr;
};
