// The output settings tab of the channel page: the channel's collection mode and the video and
// audio parameter pages as two folding sections, one open at a time.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QWidget>

#include <memory>

class CLS_ChannelTable;
class CLS_UiExportSet;
class CLS_WgtAudioParamSet;
class CLS_WgtVideoParamSet;
class QTreeWidgetItem;

class CLS_WgtExportSet : public QWidget
{
    Q_OBJECT
public:
    explicit CLS_WgtExportSet(QWidget* parent = nullptr);
    ~CLS_WgtExportSet() override;

    // Shows the channel at position _iIndex of the stored table on both pages.
    void SetChannelInfo(int _iIndex, const QJsonObject& _qjsonChInfo);
    // The table both pages save into.
    void SetChannelTable(CLS_ChannelTable* _pTable);

signals:
    // Passed on from either page.
    void SigVideoParamChanged(QJsonArray& _qJsonArrChInfo, int _iChNo);
    // Passed on from the video page.
    void SigResetCurCh();

protected:
    // Keeps each page's row as tall as the page wants, also after the style sheet changed it.
    bool eventFilter(QObject* _pWatched, QEvent* _pEvent) override;

private slots:
    void on_treeWidget_ParamSet_itemClicked(QTreeWidgetItem* item, int column);

private:
    // A top item holding _pPage in its one disabled child row.
    void AddSection(const QString& _qstrTitle, QWidget* _pPage, bool _blExpanded);
    // Makes the row that holds _pPage as tall as the page wants.
    void FitSectionRow(QWidget* _pPage);

    std::unique_ptr<CLS_UiExportSet> ui;
    CLS_WgtVideoParamSet* m_pWgtVideoParam = nullptr;
    CLS_WgtAudioParamSet* m_pWgtAudioParam = nullptr;
};
