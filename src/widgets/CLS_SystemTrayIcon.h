// The program's tray icon: a system tray icon that can blink between its icon and nothing.
#pragma once

#include <QIcon>
#include <QSystemTrayIcon>

class CLS_SystemTrayIcon : public QSystemTrayIcon
{
    Q_OBJECT
public:
    explicit CLS_SystemTrayIcon(QObject* parent = nullptr);

    // Keeps _qicon as the normal icon and shows it.
    void SetIcon(const QIcon& _qicon);
    // True starts blinking unless it already blinks; false stops it and shows the normal icon.
    void Blink(bool _blBlink);
    bool IsBlinking() const { return m_iTimerId != 0; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QIcon m_qiconNormal;
    int m_iBlinkMs = 400;
    int m_iBlinkCount = 0;
    int m_iTimerId = 0;
};
