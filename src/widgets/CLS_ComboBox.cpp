#include "CLS_ComboBox.h"

#include <QCompleter>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionComboBox>

CLS_ComboBox::CLS_ComboBox(QWidget* parent)
    : QComboBox(parent), m_pLineEdit(new QLineEdit(this)), m_pListView(new QListView(this))
{
    setLineEdit(m_pLineEdit);
    setView(m_pListView);
    m_pListView->setMouseTracking(true);
    m_pLineEdit->installEventFilter(this);
    connect(m_pLineEdit, &QLineEdit::textEdited, this, &CLS_ComboBox::SlotCurrentTextEdited);
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CLS_ComboBox::SlotCurrentIndexChanged);
    connect(m_pListView, &QListView::entered, this, &CLS_ComboBox::SlotEntered);
}

void CLS_ComboBox::AddItems(const QList<STRUCT_ComboBoxItem>& _lstItems)
{
    QStringList qstrlstTexts;
    for (const STRUCT_ComboBoxItem& structItem : _lstItems) {
        addItem(structItem.qstrText, structItem.variantData);
        qstrlstTexts.append(structItem.qstrText);
    }
    if (m_pCompleter == nullptr) {
        m_pCompleter = new QCompleter(qstrlstTexts, this);
    }
    m_pCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    m_pLineEdit->setCompleter(m_pCompleter);
    setCompleter(m_pCompleter);
}

QString CLS_ComboBox::GetCurrentText() const
{
    return currentText();
}

QVariant CLS_ComboBox::GetCurrentData() const
{
    return currentData(Qt::UserRole);
}

void CLS_ComboBox::SetCursorPosition(int _iPos)
{
    m_pLineEdit->setCursorPosition(_iPos);
    m_pLineEdit->clearFocus();
}

void CLS_ComboBox::SetEditEnabled(bool _blEnabled)
{
    m_pLineEdit->setEnabled(_blEnabled);
    m_pLineEdit->setFocusPolicy(Qt::NoFocus);
}

bool CLS_ComboBox::eventFilter(QObject* _pWatched, QEvent* _pEvent)
{
    // The text covers most of the box; a box that takes no typing would only open from its arrow.
    // The press is handed on as one on the arrow: opened that way, the list stays open when this
    // very click's release reaches it.
    if (_pWatched == m_pLineEdit && !m_pLineEdit->isEnabled() &&
        _pEvent->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(_pEvent)->button() == Qt::LeftButton && isEnabled()) {
        QStyleOptionComboBox qoption;
        initStyleOption(&qoption);
        const QPoint qptArrow =
            style()->subControlRect(QStyle::CC_ComboBox, &qoption, QStyle::SC_ComboBoxArrow, this).center();
        QMouseEvent qeventArrow(QEvent::MouseButtonPress, qptArrow, mapToGlobal(qptArrow), Qt::LeftButton,
                                Qt::LeftButton, static_cast<QMouseEvent*>(_pEvent)->modifiers());
        mousePressEvent(&qeventArrow);
        return true;
    }
    return QComboBox::eventFilter(_pWatched, _pEvent);
}

void CLS_ComboBox::SlotCurrentIndexChanged(int)
{
    emit SigCurrentIndexChanged({currentText(), currentData(Qt::UserRole)});
}

void CLS_ComboBox::SlotCurrentTextEdited(QString text)
{
    emit SigTextEdited(text);
}

void CLS_ComboBox::SlotEntered(QModelIndex index)
{
    m_pListView->setToolTip(index.data(Qt::DisplayRole).toString());
}
