#include "CLS_WgtModifyPassword.h"

#include "OrbApplication.h"
#include "ServicePassword.h"
#include "widgets/CLS_MessageBox.h"
#include "widgets/FormRows.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegExpValidator>
#include <QVBoxLayout>

namespace {

QLineEdit* NewPasswordRow(const char* _pcRow, const char* _pcLabel, const QString& _qstrLabel,
                          const char* _pcEdit, QWidget* _pForm, QVBoxLayout* _pLayoutOuter)
{
    auto* pEdit = FormRows::NewNamed<QLineEdit>(_pForm, QLatin1String(_pcEdit));
    pEdit->setEchoMode(QLineEdit::Password);
    pEdit->setPlaceholderText(QObject::tr("请输入内容"));
    pEdit->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("[a-zA-Z0-9]+$")), pEdit));
    FormRows::AddRow(_pLayoutOuter,
                     {FormRows::NewNamed<QLabel>(_pForm, QLatin1String(_pcLabel), _qstrLabel), pEdit},
                     QLatin1String(_pcRow));
    return pEdit;
}

} // namespace

CLS_WgtModifyPassword::CLS_WgtModifyPassword(QWidget* parent) : CLS_WgtBase(parent)
{
    BuildForm();
    connect(m_form.pushButton_Confirm, &QPushButton::clicked, this,
            &CLS_WgtModifyPassword::on_pushButton_Confirm_clicked);
    connect(m_form.pushButton_Cancel, &QPushButton::clicked, this,
            &CLS_WgtModifyPassword::on_pushButton_Cancel_clicked);
}

void CLS_WgtModifyPassword::BuildForm()
{
    QWidget* pForm = GetCenterWidget();
    pForm->setWindowTitle(QStringLiteral("Form"));
    pForm->resize(400, 300);
    QVBoxLayout* pLayoutOuter = FormRows::NewColumn(pForm);
    m_form.lineEdit_UsedPwd = NewPasswordRow("horizontalLayout", "label_UsedPwd", tr("旧密码"),
                                             "lineEdit_UsedPwd", pForm, pLayoutOuter);
    m_form.lineEdit_NewPwd = NewPasswordRow("horizontalLayout_2", "label_NewPwd", tr("新密码"),
                                            "lineEdit_NewPwd", pForm, pLayoutOuter);
    m_form.lineEdit_ConfirmPwd = NewPasswordRow("horizontalLayout_3", "label_ConfirmPwd", tr("确认密码"),
                                                "lineEdit_ConfirmPwd", pForm, pLayoutOuter);

    m_form.pushButton_Confirm =
        FormRows::NewNamed<QPushButton>(pForm, QStringLiteral("pushButton_Confirm"), tr("确认"));
    m_form.pushButton_Cancel =
        FormRows::NewNamed<QPushButton>(pForm, QStringLiteral("pushButton_Cancel"), tr("取消"));
    FormRows::AddRow(pLayoutOuter,
                     {m_form.pushButton_Confirm, FormRows::NewPanel(pForm, QStringLiteral("frame_Confirm")),
                      m_form.pushButton_Cancel},
                     QStringLiteral("horizontalLayout_4"), FormRows::ENUM_Align::Right);
}

void CLS_WgtModifyPassword::on_pushButton_Cancel_clicked()
{
    reject();
}

void CLS_WgtModifyPassword::on_pushButton_Confirm_clicked()
{
    const OrbApplication* pApp = OrbApplication::Instance();
    const STRUCT_HostInfo structHost = CLS_Settings::HostInfo(pApp ? pApp->ReadConfig() : QJsonObject());
    if (!structHost.blSupportModify) {
        CLS_MessageBox::Notice(tr("服务密码由平台管理，不能在本地修改"));
        reject();
        return;
    }
    QString qstrStored;
    // A stored password the dialog cannot read matches no input: an empty field must not pass.
    const bool blStoredRead = ReadServicePassword(structHost.qstrPassword, qstrStored);
    const QString qstrOld = m_form.lineEdit_UsedPwd->text();
    const QString qstrNew = m_form.lineEdit_NewPwd->text();
    const QString qstrConfirm = m_form.lineEdit_ConfirmPwd->text();
    if (!blStoredRead || qstrOld != qstrStored) {
        CLS_MessageBox::Notice(tr("旧密码输入不正确！"));
        return;
    }
    if (qstrConfirm != qstrNew) {
        CLS_MessageBox::Notice(tr("新密码和确认密码输入不一致"));
        return;
    }
    if (qstrNew == qstrOld) {
        CLS_MessageBox::Notice(tr("新密码和旧密码相同"));
        return;
    }
    if (qstrConfirm.size() > g_iMaxServicePassword) {
        CLS_MessageBox::Notice(tr("新密码不能超过%1个字符").arg(g_iMaxServicePassword));
        return;
    }
    // The page says whether the change was stored.
    m_qstrNewPassword = qstrConfirm;
    accept();
}
