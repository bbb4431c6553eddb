// The program's settings window: a page list (channel settings, system settings) beside the
// pages, and the tray icon with its menu. Closing it ends the program once confirmed.
#pragma once

#include "widgets/CLS_SystemTrayIcon.h"
#include "widgets/CLS_WgtBase.h"

class CLS_WgtChanSet;
class CLS_WgtSystemSet;
class QLabel;
class QListWidget;
class QStackedWidget;

class CLS_WgtMainWindow : public CLS_WgtBase
{
    Q_OBJECT
public:
    explicit CLS_WgtMainWindow(QWidget* parent = nullptr);

    // The size the window opens with and returns to from the tray.
    QSize sizeHint() const override;

    // Start-up's decision: a window shown at start opens minimised when the settings ask for it;
    // a window that start-up hides is never mapped, so nothing of it shows.
    void ShowAtStart(bool _blShow);

    CLS_SystemTrayIcon* GetTrayIcon() { return &m_trayIcon; }
    CLS_WgtChanSet* GetChanSet() const { return m_pChanSet; }
    CLS_WgtSystemSet* GetSystemSet() const { return m_pSystemSet; }

public slots:
    void slotCurrentRow(int _iRow);
    // Hides the window into the tray icon; without one it minimises, so it stays reachable.
    void SlotShowMinimized() override;
    void SlotSystemTrayClicked(QSystemTrayIcon::ActivationReason _action);
    // Asks, then ends the event loop with 0; false when the user declined.
    bool SlotExit();
    // Starts a new copy of the program, which ends this one. When none starts, the library and
    // the tray icon are brought back and the user is told.
    void SlotRestart();
    void SlotShowSystemSet();
    void SlotLoginSuccess(QString _qstrMsg);
    void SlotRecMsgFromSingleApp(QString _qstrMsg);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildPageList(QListWidget* _pList);
    void BuildTray(const QIcon& _qicon);

    QLabel* m_pLabelChanSetImageStart = nullptr;
    QLabel* m_pLabelChanSetImageEnd = nullptr;
    QLabel* m_pLabelSystemImageStart = nullptr;
    QLabel* m_pLabelSystemImageEnd = nullptr;
    CLS_SystemTrayIcon m_trayIcon;
    QStackedWidget* m_pStack = nullptr;
    CLS_WgtChanSet* m_pChanSet = nullptr;
    CLS_WgtSystemSet* m_pSystemSet = nullptr;
};
