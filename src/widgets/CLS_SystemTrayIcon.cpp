#include "CLS_SystemTrayIcon.h"

#include <QPixmap>
#include <QTimerEvent>

CLS_SystemTrayIcon::CLS_SystemTrayIcon(QObject* parent) : QSystemTrayIcon(parent) {}

void CLS_SystemTrayIcon::SetIcon(const QIcon& _qicon)
{
    m_qiconNormal = _qicon;
    setIcon(m_qiconNormal);
}

void CLS_SystemTrayIcon::Blink(bool _blBlink)
{
    if (_blBlink) {
        if (m_iTimerId == 0) {
            m_iTimerId = startTimer(m_iBlinkMs, Qt::CoarseTimer);
        }
        return;
    }
    if (m_iTimerId != 0) {
        killTimer(m_iTimerId);
    }
    m_iTimerId = 0;
    m_iBlinkCount = 0;
    setIcon(m_qiconNormal);
}

void CLS_SystemTrayIcon::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_iTimerId) {
        QSystemTrayIcon::timerEvent(event);
        return;
    }
    if (m_iBlinkCount % 2 == 0) {
        QPixmap qpixmapBlank(11, 11);
        qpixmapBlank.fill(Qt::transparent);
        setIcon(QIcon(qpixmapBlank));
    } else {
        setIcon(m_qiconNormal);
    }
    ++m_iBlinkCount;
}
