// The modal dialog in which the user changes the service password: the old one is checked
// against the stored one, the new one against its confirmation. It never stores anything.
#pragma once

#include "widgets/CLS_WgtBase.h"

class QLineEdit;
class QPushButton;

class CLS_WgtModifyPassword : public CLS_WgtBase
{
    Q_OBJECT
public:
    explicit CLS_WgtModifyPassword(QWidget* parent = nullptr);

    // The accepted new password; empty before a change was accepted.
    QString GetNewPassword() const { return m_qstrNewPassword; }

private slots:
    void on_pushButton_Cancel_clicked();
    void on_pushButton_Confirm_clicked();

private:
    struct STRUCT_Form
    {
        QLineEdit* lineEdit_UsedPwd = nullptr;
        QLineEdit* lineEdit_NewPwd = nullptr;
        QLineEdit* lineEdit_ConfirmPwd = nullptr;
        QPushButton* pushButton_Confirm = nullptr;
        QPushButton* pushButton_Cancel = nullptr;
    };

    void BuildForm();

    STRUCT_Form m_form;
    QString m_qstrNewPassword;
};
