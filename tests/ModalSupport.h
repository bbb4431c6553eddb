// Modal windows block their caller in a nested event loop: these helpers act on them from a timer,
// the way a user's clicks reach them.
#pragma once

#include "widgets/CLS_MessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <utility>

// Runs _action once on the first visible modal window of class T.
template <typename T>
void WhenModal(std::function<void(T*)> _action)
{
    auto* pTimer = new QTimer(qApp);
    pTimer->setInterval(10);
    QObject::connect(pTimer, &QTimer::timeout, pTimer, [pTimer, _action]() {
        auto* pWindow = qobject_cast<T*>(QApplication::activeModalWidget());
        if (pWindow && pWindow->isVisible()) {
            pTimer->stop();
            pTimer->deleteLater();
            _action(pWindow);
        }
    });
    pTimer->start();
}

inline QPushButton* ButtonWithText(QWidget* _pWindow, const QString& _qstrText)
{
    const QList<QPushButton*> lstButtons = _pWindow->findChildren<QPushButton*>();
    for (QPushButton* pButton : lstButtons) {
        if (pButton->text() == _qstrText) {
            return pButton;
        }
    }
    return nullptr;
}

inline QString ShownText(CLS_MessageBox* _pBox)
{
    return _pBox->findChild<QLabel*>(QStringLiteral("label_Show"))->text();
}

// While it lives, answers every message box with the button _qstrButton and keeps each box's text.
class CLS_BoxAnswerer : public QObject
{
public:
    explicit CLS_BoxAnswerer(const QString& _qstrButton = QStringLiteral("确定")) : m_qstrButton(_qstrButton)
    {
        connect(&m_qtimer, &QTimer::timeout, this, [this]() {
            auto* pBox = qobject_cast<CLS_MessageBox*>(QApplication::activeModalWidget());
            // A box answered already may still be closing.
            if (pBox && pBox->isVisible() && !pBox->property("answered").toBool()) {
                pBox->setProperty("answered", true);
                m_qstrlstTexts.append(ShownText(pBox));
                if (QPushButton* pButton = ButtonWithText(pBox, m_qstrButton)) {
                    pButton->click();
                }
            }
        });
        m_qtimer.start(10);
    }

    // The texts shown since the last call.
    QStringList Take() { return std::exchange(m_qstrlstTexts, {}); }

    QStringList m_qstrlstTexts;

private:
    QString m_qstrButton;
    QTimer m_qtimer;
};
