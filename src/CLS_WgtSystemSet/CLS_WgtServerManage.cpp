#include "CLS_WgtServerManage.h"

#include "CLS_ProcessServer.h"
#include "CLS_WgtModifyPassword.h"
#include "OrbApplication.h"
#include "ServicePassword.h"
#include "SettingsForm.h"
#include "common/AutoStartEntry.h"
#include "common/Log.h"
#include "common/PublicCommonFun.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegExpValidator>
#include <QVBoxLayout>

namespace {

QJsonObject ReadConfig()
{
    const OrbApplication* pApp = OrbApplication::Instance();
    return pApp ? pApp->ReadConfig() : QJsonObject();
}

bool WriteConfig(const QJsonObject& _qjsonConfig)
{
    const OrbApplication* pApp = OrbApplication::Instance();
    return pApp && WriteJsonFile(_qjsonConfig, pApp->GetConfigPath());
}

template <typename T>
T* NewWidget(const char* _pcName, QWidget* _pParent, const QString& _qstrText = QString())
{
    auto* pWidget = new T(_pParent);
    pWidget->setObjectName(QLatin1String(_pcName));
    if (!_qstrText.isNull()) {
        pWidget->setText(_qstrText);
    }
    return pWidget;
}

} // namespace

CLS_WgtServerManage::CLS_WgtServerManage(QWidget* parent) : QWidget(parent)
{
    BuildForm();
    QMetaObject::connectSlotsByName(this);
    Fill();
}

void CLS_WgtServerManage::BuildForm()
{
    setWindowTitle(QStringLiteral("Form"));
    resize(400, 300);
    m_form.verticalLayout = new QVBoxLayout(this);
    m_form.verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    m_form.verticalLayout->setSpacing(0);
    m_form.verticalLayout->setContentsMargins(0, 0, 0, 0);

    m_form.checkBox_BootStrap = NewWidget<QCheckBox>("checkBox_BootStrap", this, tr("开机自启"));
    m_form.verticalLayout->addWidget(m_form.checkBox_BootStrap);

    QHBoxLayout* pLayoutPort = NewFormRow("horizontalLayout", m_form.verticalLayout);
    pLayoutPort->addWidget(NewWidget<QLabel>("label_ServerPort", this, tr("服务端口")));
    m_form.lineEdit_ServerPort = NewWidget<QLineEdit>("lineEdit_ServerPort", this);
    pLayoutPort->addWidget(m_form.lineEdit_ServerPort);
    pLayoutPort->addWidget(NewWidget<QLabel>("label_RestartTakeEffect", this, tr("(重启后生效)")));
    pLayoutPort->addItem(NewRowSpacer());

    m_form.horizontalLayout_2 = NewFormRow("horizontalLayout_2", m_form.verticalLayout);
    m_form.horizontalLayout_2->addWidget(NewWidget<QLabel>("label_ServerPwd", this, tr("服务密码")));
    QFrame* pFramePwd = NewFormPanel("frame_pwd", this);
    pFramePwd->setMinimumSize(0, 0);
    auto* pLayoutPwd = new QHBoxLayout(pFramePwd);
    pLayoutPwd->setObjectName(QStringLiteral("horizontalLayout_5"));
    pLayoutPwd->setSpacing(0);
    pLayoutPwd->setContentsMargins(0, 0, 0, 0);
    m_form.lineEdit_ServerPwd = NewWidget<QLineEdit>("lineEdit_ServerPwd", pFramePwd);
    m_form.lineEdit_ServerPwd->setEchoMode(QLineEdit::Password);
    m_form.lineEdit_ServerPwd->setContextMenuPolicy(Qt::NoContextMenu);
    m_form.pushButton_ShowPwd = NewWidget<QPushButton>("pushButton_ShowPwd", pFramePwd);
    m_form.pushButton_ShowPwd->setCheckable(true);
    pLayoutPwd->addWidget(m_form.lineEdit_ServerPwd);
    pLayoutPwd->addWidget(m_form.pushButton_ShowPwd);
    m_form.horizontalLayout_2->addWidget(pFramePwd);
    m_form.horizontalLayout_2->addWidget(
        NewWidget<QPushButton>("pushButton_ModifyPwd", this, tr("修改密码")));
    m_form.horizontalLayout_2->addItem(NewRowSpacer());

    m_form.horizontalLayout_3 = NewFormRow("horizontalLayout_3", m_form.verticalLayout);
    m_form.horizontalLayout_3->addWidget(NewWidget<QLabel>("label_Skin", this, tr("皮肤")));
    m_form.radioButton_SkinBlue = NewWidget<QRadioButton>("radioButton_SkinBlue", this, tr("蓝色"));
    m_form.radioButton_SkinWhite = NewWidget<QRadioButton>("radioButton_SkinWhite", this, tr("白色"));
    m_form.horizontalLayout_3->addWidget(m_form.radioButton_SkinBlue);
    m_form.horizontalLayout_3->addWidget(m_form.radioButton_SkinWhite);
    m_form.horizontalLayout_3->addWidget(
        NewWidget<QLabel>("label_RestartTakeEffect_2", this, tr("(重启后生效)")));

    QHBoxLayout* pLayoutButtons = NewFormRow("horizontalLayout_4", m_form.verticalLayout);
    QFrame* pFrameSave = NewFormPanel("frame_save", this);
    (new QHBoxLayout(pFrameSave))
        ->addWidget(NewWidget<QPushButton>("pushButton_Save", pFrameSave, tr("保存")));
    QFrame* pFrameSave2 = NewFormPanel("frame_save2", this);
    m_form.pushButton_SaveBootStrap =
        NewWidget<QPushButton>("pushButton_SaveBootStrap", pFrameSave2, tr("保存并重启"));
    (new QHBoxLayout(pFrameSave2))->addWidget(m_form.pushButton_SaveBootStrap);
    pLayoutButtons->addWidget(pFrameSave);
    pLayoutButtons->addWidget(pFrameSave2);
    pLayoutButtons->addItem(NewRowSpacer());
    m_form.verticalLayout->addItem(new QSpacerItem(20, 191, QSizePolicy::Minimum, QSizePolicy::Expanding));
}

void CLS_WgtServerManage::RemoveRow(QHBoxLayout*& _pLayoutRow)
{
    for (int i = 0; i < _pLayoutRow->count(); ++i) {
        if (QWidget* pWidget = _pLayoutRow->itemAt(i)->widget()) {
            pWidget->hide();
        }
    }
    // A layout taken out of its parent has no owner any more; its widgets stay the page's.
    m_form.verticalLayout->removeItem(_pLayoutRow);
    delete _pLayoutRow;
    _pLayoutRow = nullptr;
}

void CLS_WgtServerManage::Fill()
{
    // The skin is chosen by the platform's look settings, not here.
    RemoveRow(m_form.horizontalLayout_3);
    m_form.pushButton_SaveBootStrap->hide();
    m_form.lineEdit_ServerPwd->setEnabled(false);
    m_form.lineEdit_ServerPort->setValidator(new QRegExpValidator(
        QRegExp(QStringLiteral(
            R"((([1-9]\d{0,3})|([1-5]\d{4})|(6[0-4]\d{3})|(65[0-4]\d{2})|(655[0-2]\d)|(6553[0-5]))$)")),
        m_form.lineEdit_ServerPort));

    const QJsonObject qjsonConfig = ReadConfig();
    m_form.checkBox_BootStrap->setChecked(qjsonConfig.value(QStringLiteral("autoRun")).toInt(0) != 0);
    const QString qstrSkin = qjsonConfig.value(QStringLiteral("skin")).toString();
    m_form.radioButton_SkinWhite->setChecked(qstrSkin == QLatin1String("skinOne"));
    m_form.radioButton_SkinBlue->setChecked(qstrSkin == QLatin1String("skinTwo"));

    const QJsonObject qjsonHost = qjsonConfig.value(QStringLiteral("hostInfo")).toObject();
    m_form.lineEdit_ServerPort->setText(QString::number(qjsonHost.value(QStringLiteral("port")).toInt(0)));
    QString qstrPassword;
    ReadServicePassword(qjsonHost, qstrPassword);
    m_form.lineEdit_ServerPwd->setText(qstrPassword);
    if (!qjsonHost.value(QStringLiteral("supportModify")).toBool(true)) {
        RemoveRow(m_form.horizontalLayout_2);
    }
}

void CLS_WgtServerManage::on_pushButton_Save_clicked()
{
    if (m_form.lineEdit_ServerPort->text().isEmpty()) {
        SettingsNotice(tr("请输入服务端口"));
        return;
    }
    QJsonObject qjsonConfig = ReadConfig();
    const bool blAutoStart = m_form.checkBox_BootStrap->isChecked();
    qjsonConfig.insert(QStringLiteral("autoRun"), static_cast<int>(m_form.checkBox_BootStrap->checkState()));
    CLS_ProcessServer::WriteAutoStartCfg(blAutoStart);
    const bool blEntryWritten = WriteAutoStartEntry(blAutoStart);
    QString qstrSkin;
    if (m_form.radioButton_SkinWhite->isChecked()) {
        qstrSkin = QStringLiteral("skinOne");
    }
    if (m_form.radioButton_SkinBlue->isChecked()) {
        qstrSkin = QStringLiteral("skinTwo");
    }
    qjsonConfig.insert(QStringLiteral("skin"), qstrSkin);
    QJsonObject qjsonHost = qjsonConfig.value(QStringLiteral("hostInfo")).toObject();
    qjsonHost.insert(QStringLiteral("port"), m_form.lineEdit_ServerPort->text().toInt());
    qjsonConfig.insert(QStringLiteral("hostInfo"), qjsonHost);
    const bool blConfigWritten = WriteConfig(qjsonConfig);
    SettingsNotice(blConfigWritten && blEntryWritten ? tr("保存成功") : tr("保存失败"));
}

void CLS_WgtServerManage::on_pushButton_SaveBootStrap_clicked()
{
    on_pushButton_Save_clicked();
    emit SigRestart();
}

void CLS_WgtServerManage::on_pushButton_ModifyPwd_clicked()
{
    CLS_WgtModifyPassword dlgPassword;
    dlgPassword.setObjectName(QStringLiteral("widget_ModifyPassword"));
    dlgPassword.SetTitle(tr("修改密码"), Qt::AlignLeft | Qt::AlignVCenter);
    dlgPassword.SetTitleButtonsVisible(false, false, true);
    if (dlgPassword.exec() != QDialog::Accepted) {
        return;
    }
    const QString qstrPassword = dlgPassword.GetNewPassword();
    QString qstrBase64;
    if (!EncodeServicePassword(qstrPassword, qstrBase64)) {
        SettingsNotice(tr("密码保存失败"));
        return;
    }
    QJsonObject qjsonConfig = ReadConfig();
    QJsonObject qjsonHost = qjsonConfig.value(QStringLiteral("hostInfo")).toObject();
    qjsonHost.insert(QStringLiteral("password"), qstrBase64);
    qjsonConfig.insert(QStringLiteral("hostInfo"), qjsonHost);
    if (!WriteConfig(qjsonConfig)) {
        LOG_EX(LOG_FILE, "the changed service password was not stored");
        SettingsNotice(tr("密码保存失败"));
        return;
    }
    m_form.lineEdit_ServerPwd->setText(qstrPassword);
}

void CLS_WgtServerManage::on_pushButton_ShowPwd_clicked()
{
    m_form.lineEdit_ServerPwd->setEchoMode(m_form.pushButton_ShowPwd->isChecked() ? QLineEdit::Normal
                                                                                  : QLineEdit::Password);
}
