#include "CLS_QLabel.h"

#include <QFontMetrics>

namespace {
// Room kept free beside the text so it never touches the title buttons.
const int g_iElideRoom = 20;
} // namespace

CLS_QLabel::CLS_QLabel(QWidget* parent) : QLabel(parent)
{
    // The elided text must not dictate the title bar's width.
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
}

void CLS_QLabel::SetFullText(const QString& _qstrText)
{
    m_qstrFullText = _qstrText;
    m_iElidedWidth = -1;
    update();
}

void CLS_QLabel::paintEvent(QPaintEvent* event)
{
    if (width() != m_iElidedWidth) {
        const QString qstrShown =
            fontMetrics().elidedText(m_qstrFullText, Qt::ElideRight, width() - g_iElideRoom);
        setText(qstrShown);
        // A cut title can still be read in full.
        setToolTip(qstrShown == m_qstrFullText ? QString() : m_qstrFullText);
        m_iElidedWidth = width();
    }
    QLabel::paintEvent(event);
}
