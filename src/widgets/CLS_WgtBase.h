// The base of the program's top-level windows: a frameless dialog with its own title bar
// (title, minimise, maximise/restore, close) that is moved by its title bar and resized by a
// band along its borders. Subclasses put their content into the centre widget.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QRect>

class CLS_QLabel;
class QToolButton;

class CLS_WgtBase : public QDialog
{
    Q_OBJECT
public:
    explicit CLS_WgtBase(QWidget* parent = nullptr);

    QWidget* GetCenterWidget() const { return m_pCenterWidget; }
    void SetTitle(const QString& _qstrTitle, Qt::Alignment _alignment = Qt::AlignCenter);
    void SetTitleButtonsVisible(bool _blMinimize, bool _blMaximize, bool _blClose);

public slots:
    // Fills the available area of the window's screen; a maximised window stays as it is
    // unless _blFlag forces it.
    void showMaximized(bool _blFlag = false);
    virtual void SlotShowMinimized();
    // Toggles between maximised and the geometry the window had before.
    virtual void SlotShowMaximized();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum EnumDragMode
    {
        DRAG_NONE = 0,
        DRAG_MOVE = 1,
        DRAG_RESIZE = 2
    };

    void BuildTitleBar();
    void Maximize();
    void SetMaximizeButtonState(const char* _pcState, const QString& _qstrToolTipKey);
    void HandleMouseMove(const QPoint& _qpointGlobal);
    void UpdateCursorShape(const QPoint& _qpointGlobal);

    QFrame* m_pTitleBar = nullptr;
    CLS_QLabel* m_pLabelTitle = nullptr;
    QToolButton* m_pBtnMinimize = nullptr;
    QToolButton* m_pBtnMaximize = nullptr;
    QToolButton* m_pBtnClose = nullptr;
    QFrame* m_pCenterWidget = nullptr;
    QPoint m_qpointPress;
    bool m_blLeftDown = false;
    bool m_blEdgeLeft = false;
    bool m_blEdgeRight = false;
    bool m_blEdgeBottom = false;
    bool m_blEdgeTop = false;
    int m_iDragMode = DRAG_NONE;
    bool m_blMaximized = false;
    QRect m_qrectNormal;
    bool m_blAltHeld = false;
};
