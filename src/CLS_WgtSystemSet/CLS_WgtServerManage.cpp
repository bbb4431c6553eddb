#include "CLS_WgtServerManage.h"

#include "CLS_ProcessServer.h"
#include "CLS_WebSocketWidget.h"
#include "CLS_WgtModifyPassword.h"
#include "OrbApplication.h"
#include "ServicePassword.h"
#include "common/AutoStartEntry.h"
#include "common/Log.h"
#include "common/PublicCommonFun.h"
#include "widgets/CLS_MessageBox.h"
#include "widgets/FormRows.h"

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

// Every page of a test may run without the application object.
QJsonObject ReadConfig()
{
    const OrbApplication* pApp = OrbApplication::Instance();
    return pApp ? pApp->ReadConfig() : QJsonObject();
}

bool ChangeConfig(const std::function<bool(QJsonObject&)>& _fnChange)
{
    const OrbApplication* pApp = OrbApplication::Instance();
    return pApp && pApp->Settings().Change(_fnChange);
}

QString Key(const char* _pcKey)
{
    return QString::fromLatin1(_pcKey);
}

} // namespace

using namespace FormRows;

CLS_WgtServerManage::CLS_WgtServerManage(QWidget* parent) : QWidget(parent)
{
    BuildForm();
    QMetaObject::connectSlotsByName(this);
    Fill();
    if (const OrbApplication* pApp = OrbApplication::Instance()) {
        if (CLS_WebSocketWidget* pLink = pApp->GetPlatformLink()) {
            connect(pLink, &CLS_WebSocketWidget::SignUserChanged, this,
                    [this] { ShowPassword(CLS_Settings::HostInfo(ReadConfig())); });
        }
    }
}

void CLS_WgtServerManage::BuildForm()
{
    setWindowTitle(QStringLiteral("Form"));
    resize(400, 300);
    m_form.verticalLayout = NewColumn(this);
    m_form.checkBox_BootStrap =
        NewNamed<QCheckBox>(this, QStringLiteral("checkBox_BootStrap"), tr("开机自启"));
    m_form.verticalLayout->addWidget(m_form.checkBox_BootStrap);

    m_form.lineEdit_ServerPort = NewNamed<QLineEdit>(this, QStringLiteral("lineEdit_ServerPort"));
    AddRow(m_form.verticalLayout,
           {NewNamed<QLabel>(this, QStringLiteral("label_ServerPort"), tr("服务端口")),
            m_form.lineEdit_ServerPort,
            NewNamed<QLabel>(this, QStringLiteral("label_RestartTakeEffect"), tr("(重启后生效)"))},
           QStringLiteral("horizontalLayout"));

    QFrame* pFramePwd = NewPanel(this, QStringLiteral("frame_pwd"));
    pFramePwd->setMinimumSize(0, 0);
    auto* pLayoutPwd = new QHBoxLayout(pFramePwd);
    pLayoutPwd->setObjectName(QStringLiteral("horizontalLayout_5"));
    pLayoutPwd->setSpacing(0);
    pLayoutPwd->setContentsMargins(0, 0, 0, 0);
    m_form.lineEdit_ServerPwd = NewNamed<QLineEdit>(pFramePwd, QStringLiteral("lineEdit_ServerPwd"));
    m_form.lineEdit_ServerPwd->setEchoMode(QLineEdit::Password);
    m_form.lineEdit_ServerPwd->setContextMenuPolicy(Qt::NoContextMenu);
    m_form.pushButton_ShowPwd = NewNamed<QPushButton>(pFramePwd, QStringLiteral("pushButton_ShowPwd"));
    m_form.pushButton_ShowPwd->setCheckable(true);
    pLayoutPwd->addWidget(m_form.lineEdit_ServerPwd);
    pLayoutPwd->addWidget(m_form.pushButton_ShowPwd);
    m_form.horizontalLayout_2 =
        AddRow(m_form.verticalLayout,
               {NewNamed<QLabel>(this, QStringLiteral("label_ServerPwd"), tr("服务密码")), pFramePwd,
                NewNamed<QPushButton>(this, QStringLiteral("pushButton_ModifyPwd"), tr("修改密码"))},
               QStringLiteral("horizontalLayout_2"));

    m_form.radioButton_SkinBlue =
        NewNamed<QRadioButton>(this, QStringLiteral("radioButton_SkinBlue"), tr("蓝色"));
    m_form.radioButton_SkinWhite =
        NewNamed<QRadioButton>(this, QStringLiteral("radioButton_SkinWhite"), tr("白色"));
    m_form.horizontalLayout_3 =
        AddRow(m_form.verticalLayout,
               {NewNamed<QLabel>(this, QStringLiteral("label_Skin"), tr("皮肤")), m_form.radioButton_SkinBlue,
                m_form.radioButton_SkinWhite,
                NewNamed<QLabel>(this, QStringLiteral("label_RestartTakeEffect_2"), tr("(重启后生效)"))},
               QStringLiteral("horizontalLayout_3"));

    QFrame* pFrameSave = NewPanel(this, QStringLiteral("frame_save"));
    (new QHBoxLayout(pFrameSave))
        ->addWidget(NewNamed<QPushButton>(pFrameSave, QStringLiteral("pushButton_Save"), tr("保存")));
    QFrame* pFrameSave2 = NewPanel(this, QStringLiteral("frame_save2"));
    m_form.pushButton_SaveBootStrap =
        NewNamed<QPushButton>(pFrameSave2, QStringLiteral("pushButton_SaveBootStrap"), tr("保存并重启"));
    (new QHBoxLayout(pFrameSave2))->addWidget(m_form.pushButton_SaveBootStrap);
    AddRow(m_form.verticalLayout, {pFrameSave, pFrameSave2}, QStringLiteral("horizontalLayout_4"));
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
    m_form.checkBox_BootStrap->setChecked(CLS_Settings::AutoRun(qjsonConfig));
    const QString qstrSkin = CLS_Settings::Skin(qjsonConfig);
    m_form.radioButton_SkinWhite->setChecked(qstrSkin == Key(CLS_Settings::SKIN_ONE));
    m_form.radioButton_SkinBlue->setChecked(qstrSkin == Key(CLS_Settings::SKIN_TWO));
    const STRUCT_HostInfo structHost = CLS_Settings::HostInfo(qjsonConfig);
    m_form.lineEdit_ServerPort->setText(QString::number(structHost.iPort));
    ShowPassword(structHost);
}

void CLS_WgtServerManage::ShowPassword(const STRUCT_HostInfo& _structHost)
{
    QString qstrPassword;
    ReadServicePassword(_structHost.qstrPassword, qstrPassword);
    m_form.lineEdit_ServerPwd->setText(qstrPassword);
    // Once the platform has handed in a password it stays the platform's.
    if (!_structHost.blSupportModify && m_form.horizontalLayout_2 != nullptr) {
        RemoveRow(m_form.horizontalLayout_2);
    }
}

void CLS_WgtServerManage::on_pushButton_Save_clicked()
{
    if (m_form.lineEdit_ServerPort->text().isEmpty()) {
        CLS_MessageBox::Notice(tr("请输入服务端口"));
        return;
    }
    bool blNumber = false;
    const QString qstrPort = m_form.lineEdit_ServerPort->text();
    const int iPort = qstrPort.toInt(&blNumber);
    if (blNumber && (iPort < 0 || iPort > CLS_Settings::MAX_PORT)) {
        CLS_MessageBox::Notice(tr("保存失败：服务端口%1超出范围").arg(qstrPort));
        return;
    }
    const bool blAutoStart = m_form.checkBox_BootStrap->isChecked();
    CLS_ProcessServer::WriteAutoStartCfg(blAutoStart);
    const bool blEntryWritten = WriteAutoStartEntry(blAutoStart);
    QString qstrSkin;
    if (m_form.radioButton_SkinWhite->isChecked()) {
        qstrSkin = Key(CLS_Settings::SKIN_ONE);
    }
    if (m_form.radioButton_SkinBlue->isChecked()) {
        qstrSkin = Key(CLS_Settings::SKIN_TWO);
    }
    const bool blConfigWritten = ChangeConfig([&](QJsonObject& _qjsonConfig) {
        _qjsonConfig.insert(Key(CLS_Settings::KEY_AUTO_RUN),
                            static_cast<int>(m_form.checkBox_BootStrap->checkState()));
        // Only a skin the user chose is written: an empty one would leave the next start unstyled.
        if (!qstrSkin.isEmpty() && qstrSkin != CLS_Settings::Skin(_qjsonConfig)) {
            _qjsonConfig.insert(Key(CLS_Settings::KEY_SKIN), qstrSkin);
        }
        QJsonObject qjsonHost = _qjsonConfig.value(Key(CLS_Settings::KEY_HOST_INFO)).toObject();
        qjsonHost.insert(Key(CLS_Settings::KEY_PORT), iPort);
        _qjsonConfig.insert(Key(CLS_Settings::KEY_HOST_INFO), qjsonHost);
        return true;
    });
    if (!blConfigWritten) {
        CLS_MessageBox::Notice(tr("保存失败"));
    } else if (!blEntryWritten) {
        CLS_MessageBox::Notice(tr("服务端口和开机自启已保存，但系统的自启动项无法写入"));
    } else {
        CLS_MessageBox::Notice(tr("保存成功"));
    }
}

void CLS_WgtServerManage::on_pushButton_SaveBootStrap_clicked()
{
    on_pushButton_Save_clicked();
    emit SigRestart();
}

void CLS_WgtServerManage::on_pushButton_ModifyPwd_clicked()
{
    const STRUCT_HostInfo structHost = CLS_Settings::HostInfo(ReadConfig());
    if (!structHost.blSupportModify) {
        RefusePasswordChange(structHost);
        return;
    }
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
        CLS_MessageBox::Notice(tr("密码保存失败"));
        return;
    }
    STRUCT_HostInfo structStored;
    const bool blWritten = ChangeConfig([&](QJsonObject& _qjsonConfig) {
        // The platform may have handed in its password while the dialog was open.
        structStored = CLS_Settings::HostInfo(_qjsonConfig);
        QJsonObject qjsonHost = _qjsonConfig.value(Key(CLS_Settings::KEY_HOST_INFO)).toObject();
        qjsonHost.insert(Key(CLS_Settings::KEY_PASSWORD), qstrBase64);
        _qjsonConfig.insert(Key(CLS_Settings::KEY_HOST_INFO), qjsonHost);
        return structStored.blSupportModify;
    });
    if (!structStored.blSupportModify) {
        RefusePasswordChange(structStored);
        return;
    }
    if (!blWritten) {
        LOG_EX(LOG_FILE, "the changed service password was not stored");
        CLS_MessageBox::Notice(tr("密码保存失败"));
        return;
    }
    m_form.lineEdit_ServerPwd->setText(qstrPassword);
    CLS_MessageBox::Notice(tr("修改成功"));
}

void CLS_WgtServerManage::RefusePasswordChange(const STRUCT_HostInfo& _structHost)
{
    LOG_EX(LOG_TRACE, "local password change refused: the platform owns the service password");
    ShowPassword(_structHost);
    CLS_MessageBox::Notice(tr("服务密码由平台管理，不能在本地修改"));
}

void CLS_WgtServerManage::on_pushButton_ShowPwd_clicked()
{
    m_form.lineEdit_ServerPwd->setEchoMode(m_form.pushButton_ShowPwd->isChecked() ? QLineEdit::Normal
                                                                                  : QLineEdit::Password);
}
