// The combo box of every settings page: reports the current item as text and data together,
// shows a hovered entry's full text as a tool tip, completes typed text, and can become a pure
// pick list.
#pragma once

#include "common/ComboBoxItem.h"

#include <QComboBox>
#include <QList>

class QCompleter;
class QLineEdit;
class QListView;

class CLS_ComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit CLS_ComboBox(QWidget* parent = nullptr);

    // Appends the items; the first call also fixes the completer's word list.
    void AddItems(const QList<STRUCT_ComboBoxItem>& _lstItems);
    QString GetCurrentText() const;
    QVariant GetCurrentData() const;
    // Shows a long text from position _iPos and takes the focus off the edit field.
    void SetCursorPosition(int _iPos);
    // False makes the box a pure pick list: nothing can be typed, and a click anywhere on it
    // opens the list.
    void SetEditEnabled(bool _blEnabled);

protected:
    bool eventFilter(QObject* _pWatched, QEvent* _pEvent) override;

signals:
    void SigCurrentIndexChanged(const STRUCT_ComboBoxItem& _Item);
    void SigTextEdited(const QString& text);

private slots:
    void SlotCurrentIndexChanged(int _iIndex);
    void SlotCurrentTextEdited(QString text);
    void SlotEntered(QModelIndex index);

private:
    QLineEdit* m_pLineEdit = nullptr;
    QCompleter* m_pCompleter = nullptr;
    QListView* m_pListView = nullptr;
};
