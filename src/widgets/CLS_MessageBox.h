// The program's own modal message box: frameless, translucent, with its own title bar. The
// style "default" shows a title, a centred text, optional link buttons and a row of buttons;
// any other style reads the text as a JSON description of a sized box with an icon and two
// rows of formatted text, one item of which may count down.
#pragma once

#include <QDialog>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QVector>

class QFrame;
class QHBoxLayout;
class QJsonArray;
class QJsonObject;
class QLabel;
class QToolButton;

class CLS_MessageBox : public QDialog
{
    Q_OBJECT
public:
    // Icon kinds.
    enum EnumKind
    {
        KIND_INFORMATION = 0,
        KIND_QUESTION = 1,
        KIND_WARNING = 2,
        KIND_CRITICAL = 3,
        KIND_ALARM = 4
    };

    // Results other than a button index or a link value.
    static constexpr int RESULT_CLOSED = -1;
    static constexpr int RESULT_TIMED_OUT = -2;

    CLS_MessageBox(QWidget* parent, const QString& _qstrTitle, const QString& _qstrText, int _iSeconds,
                   const QString& _qstrStyle);

    // Shows a box above all windows, waits for it and returns the clicked button's index, the
    // clicked link's value, RESULT_CLOSED or RESULT_TIMED_OUT.
    static int ShowMsgBox(int _iKind, QWidget* parent, const QString& _qstrTitle, const QString& _qstrText,
                          const QStringList& _qstrlstButtons, int _iSeconds, const QString& _qstrStyle);
    // The program's notice: kind information, title "提示", one button "确定".
    static void Notice(const QString& _qstrText);
    // The program's question: title "提示", buttons "确定" and "取消"; true for "确定".
    static bool Confirm(const QString& _qstrText);
    // The skin whose style sheets later boxes use; empty selects the plain ones.
    static void SetSkin(const QString& _qstrSkin);
    static QString GetSkin();

    // One button per text, four to a row; the first button of the default look and those in
    // _lstMainIndexes are the main ones.
    void setBtnList(const QStringList& _qstrlstTexts, const QList<int>& _lstMainIndexes);
    void SetIcon(int _iKind);
    int GetResult() const { return m_iResult; }

public slots:
    void OnButtonClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct STRUCT_RowItem
    {
        int iFontSize = 20;
        QString qstrFontColor;
        QString qstrText;
        bool blCountdown = false;
    };

    void BuildDefaultLook(QFrame* _pFrameMsg, QWidget* _pTitleFrame, const QString& _qstrText, int _iSeconds);
    void BuildCustomLook(QFrame* _pFrameMsg, QWidget* _pTitleFrame, const QString& _qstrText, int _iSeconds);
    void LoadStyleSheet(const QString& _qstrFileName);
    QWidget* BuildTitleFrame(const QString& _qstrTitle);
    QLayout* BuildLinkRow(const QJsonObject& _qjsonLinks);
    QVector<STRUCT_RowItem> ReadRow(const QJsonArray& _qjsonArrRow, int _iSeconds);
    QString RenderRows() const;

    int m_iResult = RESULT_CLOSED;
    QLabel* m_pLabelTitle = nullptr;
    QLabel* m_pLabelIcon = nullptr;
    QLabel* m_pLabelText = nullptr;
    QToolButton* m_pBtnClose = nullptr;
    QHBoxLayout* m_pLayoutButtons = nullptr;
    QPoint m_qpointDrag;
    bool m_blDragging = false;
    QMap<QString, int> m_mapLinkValue;
    int m_iTimerId = 0;
    int m_iBtnWidth = 0;
    QVector<STRUCT_RowItem> m_vecRowOne;
    QVector<STRUCT_RowItem> m_vecRowTwo;
    bool m_blCountdownShown = false;
    int m_iSecondsLeft = 0;
    QString m_qstrStyle;
};
