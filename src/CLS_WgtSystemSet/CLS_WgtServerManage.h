// The service settings page: start at power-on, the service port, the service password (changed
// through the password dialog only) and the skin, kept in the settings file.
#pragma once

#include "settings/CLS_Settings.h"

#include <QWidget>

class QCheckBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

class CLS_WgtServerManage : public QWidget
{
    Q_OBJECT
public:
    explicit CLS_WgtServerManage(QWidget* parent = nullptr);

signals:
    void SigRestart();

private slots:
    void on_pushButton_Save_clicked();
    void on_pushButton_SaveBootStrap_clicked();
    void on_pushButton_ModifyPwd_clicked();
    void on_pushButton_ShowPwd_clicked();

private:
    struct STRUCT_Form
    {
        QVBoxLayout* verticalLayout = nullptr;
        QCheckBox* checkBox_BootStrap = nullptr;
        QLineEdit* lineEdit_ServerPort = nullptr;
        QHBoxLayout* horizontalLayout_2 = nullptr;
        QLineEdit* lineEdit_ServerPwd = nullptr;
        QPushButton* pushButton_ShowPwd = nullptr;
        QHBoxLayout* horizontalLayout_3 = nullptr;
        QRadioButton* radioButton_SkinBlue = nullptr;
        QRadioButton* radioButton_SkinWhite = nullptr;
        QPushButton* pushButton_SaveBootStrap = nullptr;
    };

    void BuildForm();
    void Fill();
    // Shows the stored password afresh; hides its row once the platform owns it.
    void ShowPassword(const STRUCT_HostInfo& _structHost);
    void RefusePasswordChange(const STRUCT_HostInfo& _structHost);
    // Hides every widget of a row and takes the row out of the page.
    void RemoveRow(QHBoxLayout*& _pLayoutRow);

    STRUCT_Form m_form;
};
