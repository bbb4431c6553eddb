// The title label: shows its full text elided at the right end to fit its width.
#pragma once

#include <QLabel>

class CLS_QLabel : public QLabel
{
    Q_OBJECT
public:
    explicit CLS_QLabel(QWidget* parent = nullptr);

    // The text to show; elided on the next paint.
    void SetFullText(const QString& _qstrText);
    QString GetFullText() const { return m_qstrFullText; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_qstrFullText;
    int m_iElidedWidth = -1;
};
