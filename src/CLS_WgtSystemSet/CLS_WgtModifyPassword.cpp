#include "CLS_WgtModifyPassword.h"

#include "OrbApplication.h"
#include "ServicePassword.h"
#include "SettingsForm.h"

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
    QHBoxLayout* pLayoutRow = NewFormRow(_pcRow, _pLayoutOuter);
    auto* pLabel = new QLabel(_qstrLabel, _pForm);
    pLabel->setObjectName(QLatin1String(_pcLabel));
    auto* pEdit = new QLineEdit(_pForm);
    pEdit->setObjectName(QLatin1String(_pcEdit));
    pEdit->setEchoMode(QLineEdit::Password);
    pEdit->setPlaceholderText(QObject::tr("请输入内容"));
    pEdit->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("[a-zA-Z0-9]+$")), pEdit));
    pLayoutRow->addWidget(pLabel);
    pLayoutRow->addWidget(pEdit);
    pLayoutRow->addItem(NewRowSpacer());
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
    auto* pLayoutOuter = new QVBoxLayout(pForm);
    pLayoutOuter->setObjectName(QStringLiteral("verticalLayout"));
    pLayoutOuter->setSpacing(0);
    pLayoutOuter->setContentsMargins(0, 0, 0, 0);
    m_form.lineEdit_UsedPwd = NewPasswordRow("horizontalLayout", "label_UsedPwd", tr("旧密码"),
                                             "lineEdit_UsedPwd", pForm, pLayoutOuter);
    m_form.lineEdit_NewPwd = NewPasswordRow("horizontalLayout_2", "label_NewPwd", tr("新密码"),
                                            "lineEdit_NewPwd", pForm, pLayoutOuter);
    m_form.lineEdit_ConfirmPwd = NewPasswordRow("horizontalLayout_3", "label_ConfirmPwd", tr("确认密码"),
                                                "lineEdit_ConfirmPwd", pForm, pLayoutOuter);

    QHBoxLayout* pLayoutButtons = NewFormRow("horizontalLayout_4", pLayoutOuter);
    pLayoutButtons->addItem(NewRowSpacer());
    m_form.pushButton_Confirm = new QPushButton(tr("确认"), pForm);
    m_form.pushButton_Confirm->setObjectName(QStringLiteral("pushButton_Confirm"));
    QFrame* pFrameConfirm = NewFormPanel("frame_Confirm", pForm);
    m_form.pushButton_Cancel = new QPushButton(tr("取消"), pForm);
    m_form.pushButton_Cancel->setObjectName(QStringLiteral("pushButton_Cancel"));
    pLayoutButtons->addWidget(m_form.pushButton_Confirm);
    pLayoutButtons->addWidget(pFrameConfirm);
    pLayoutButtons->addWidget(m_form.pushButton_Cancel);
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
        SettingsNotice(tr("服务密码由平台管理，不能在本地修改"));
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
        SettingsNotice(tr("旧密码输入不正确！"));
        return;
    }
    if (qstrConfirm != qstrNew) {
        SettingsNotice(tr("新密码和确认密码输入不一致"));
        return;
    }
    if (qstrNew == qstrOld) {
        SettingsNotice(tr("新密码和旧密码相同"));
        return;
    }
    if (qstrConfirm.size() > g_iMaxServicePassword) {
        SettingsNotice(tr("新密码不能超过%1个字符").arg(g_iMaxServicePassword));
        return;
    }
    // The page says whether the change was stored.
    m_qstrNewPassword = qstrConfirm;
    accept();
}
