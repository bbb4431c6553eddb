// The service settings page and the password dialog on real widgets, against the settings file,
// the auto-start file and the autostart entry of the test's own folders.
#include "CLS_WebSocketWidget.h"
#include "CLS_WgtSystemSet/CLS_WgtModifyPassword.h"
#include "CLS_WgtSystemSet/CLS_WgtServerManage.h"
#include "ModalSupport.h"
#include "TestSupport.h"
#include "common/AutoStartEntry.h"
#include "common/PublicCommonFun.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QValidator>

#include <memory>

namespace {

QString B64(const QByteArray& _qba)
{
    return QString::fromLatin1(_qba.toBase64());
}

QJsonObject Json(const char* _pcJson)
{
    return QJsonDocument::fromJson(_pcJson).object();
}

// Puts a file where the folder was, so that writes into it fail, until the last copy goes.
std::shared_ptr<void> BlockFolder(const QString& _qstrFolder)
{
    QDir().rename(_qstrFolder, _qstrFolder + ".aside");
    QFile(_qstrFolder).open(QIODevice::WriteOnly);
    return std::shared_ptr<void>(nullptr, [_qstrFolder](void*) {
        QFile::remove(_qstrFolder);
        QDir().rename(_qstrFolder + ".aside", _qstrFolder);
    });
}

} // namespace

class TestSystemSet : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void fill_data();
    void fill();
    void portValidator_takesOneTo65535();
    void save_data();
    void save();
    void passwordChange_data();
    void passwordChange();
    void passwordFields_takeLettersAndDigitsOnly();
    void platformOwnsPassword_localChangeRefused();

private:
    template <typename T>
    T* Child(const char* _pcName) const
    {
        return m_pPage->findChild<T*>(QLatin1String(_pcName));
    }
    void WriteConfig(const QJsonObject& _qjsonConfig) const
    {
        QVERIFY(WriteJsonFile(_qjsonConfig, ConfigPath()));
    }
    QString ConfigPath() const { return OrbApplication::Instance()->GetConfigPath(); }
    QJsonObject Config() const { return OrbApplication::Instance()->ReadConfig(); }

    QTemporaryDir m_qtempHome;
    std::unique_ptr<CLS_WgtServerManage> m_pPage;
};

void TestSystemSet::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", m_qtempHome.path().toUtf8());
    QDir().mkpath(QFileInfo(ConfigPath()).path());
}

void TestSystemSet::init()
{
    m_pPage.reset();
    QFile::remove(ConfigPath());
    QFile::remove(AutoStartEntryPath());
}

void TestSystemSet::fill_data()
{
    QTest::addColumn<QJsonObject>("config");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("autoStart");
    QTest::addColumn<bool>("blueChecked"); // else white: an empty or unknown skin reads as "skinOne"
    QTest::addColumn<bool>("passwordRow");

    auto row = [](const char* _pcTag, const QJsonObject& _qjson, const char* _pcPort = "0",
                  const QString& _qstrPassword = "", bool _blAuto = false, bool _blBlue = false,
                  bool _blRow = true) {
        QTest::newRow(_pcTag) << _qjson << _pcPort << _qstrPassword << _blAuto << _blBlue << _blRow;
    };
    auto host = [](const QJsonObject& _qjson) { return QJsonObject{{"hostInfo", _qjson}}; };
    const QString qstr63(63, 'p');
    row("no hostInfo", {});
    row("all set, autoRun 1, blue",
        {{"autoRun", 1},
         {"skin", "skinTwo"},
         {"hostInfo", QJsonObject{{"port", 8554}, {"password", B64("abc123")}}}},
        "8554", "abc123", true, true);
    row("empty skin", {{"skin", ""}});
    row("supportModify false hides the row", host({{"supportModify", false}}), "0", "", false, false, false);
    row("supportModify not a bool keeps it", host({{"supportModify", "no"}}));
    row("port out of range", host({{"port", 70000}}));
    row("63 bytes fit", host({{"password", B64(qstr63.toUtf8())}}), "0", qstr63);
    row("64 bytes shown empty", host({{"password", B64(QByteArray(64, 'p'))}}));
}

void TestSystemSet::fill()
{
    QFETCH(QJsonObject, config);
    QFETCH(QString, port);
    QFETCH(QString, password);
    QFETCH(bool, autoStart);
    QFETCH(bool, blueChecked);
    QFETCH(bool, passwordRow);
    WriteConfig(config);
    m_pPage = std::make_unique<CLS_WgtServerManage>();
    m_pPage->show();
    QCOMPARE(Child<QLineEdit>("lineEdit_ServerPort")->text(), port);
    auto* pField = Child<QLineEdit>("lineEdit_ServerPwd");
    QVERIFY(!pField->isEnabled());
    // The show button toggles the echo, never the text.
    for (const QLineEdit::EchoMode mode : {QLineEdit::Password, QLineEdit::Normal, QLineEdit::Password}) {
        QCOMPARE(pField->echoMode(), mode);
        QCOMPARE(pField->text(), password);
        Child<QPushButton>("pushButton_ShowPwd")->click();
    }
    QCOMPARE(Child<QCheckBox>("checkBox_BootStrap")->isChecked(), autoStart);
    QCOMPARE(Child<QRadioButton>("radioButton_SkinWhite")->isChecked(), !blueChecked);
    QCOMPARE(Child<QRadioButton>("radioButton_SkinBlue")->isChecked(), blueChecked);
    // The skin row and the save-and-restart button are never shown.
    QVERIFY(!Child<QRadioButton>("radioButton_SkinWhite")->isVisible());
    QVERIFY(!Child<QWidget>("pushButton_SaveBootStrap")->isVisible());
    for (const char* pcName :
         {"label_ServerPwd", "lineEdit_ServerPwd", "pushButton_ShowPwd", "pushButton_ModifyPwd"}) {
        QVERIFY2(Child<QWidget>(pcName)->isVisible() == passwordRow, pcName);
    }
}

void TestSystemSet::portValidator_takesOneTo65535()
{
    m_pPage = std::make_unique<CLS_WgtServerManage>();
    const QValidator* pValidator = Child<QLineEdit>("lineEdit_ServerPort")->validator();
    for (QString qstrText : {"1", "65535", "0", "65536", "007", "8a"}) {
        int iPos = 0;
        const bool blPort = qstrText.toInt() >= 1 && qstrText.toInt() <= 65535 && !qstrText.startsWith('0');
        QVERIFY2(pValidator->validate(qstrText, iPos) ==
                     (blPort ? QValidator::Acceptable : QValidator::Invalid),
                 qPrintable(qstrText));
    }
}

void TestSystemSet::save_data()
{
    QTest::addColumn<QJsonObject>("config");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("autoStartClicks");
    QTest::addColumn<QString>("broken"); // a folder made a file, so that its write fails
    QTest::addColumn<QString>("message");
    QTest::addColumn<QJsonObject>("written"); // empty: the file stays as it was

    const QJsonObject qjsonFull = Json(R"({"autoRun":1,"skin":"skinTwo","chInfo":[{"chNo":0}],)"
                                       R"("hostInfo":{"port":554,"user":"dQ==","supportModify":false}})");
    auto row = [](const char* _pcTag, const QJsonObject& _qjson, const char* _pcPort, int _iClicks,
                  const char* _pcBroken, const char* _pcMessage, const char* _pcWritten) {
        QTest::newRow(_pcTag) << _qjson << _pcPort << _iClicks << _pcBroken << _pcMessage << Json(_pcWritten);
    };
    row("autoRun 1 written back as 2, other keys kept", qjsonFull, "8554", 0, "", "保存成功",
        R"({"autoRun":2,"skin":"skinTwo","chInfo":[{"chNo":0}],)"
        R"("hostInfo":{"port":8554,"user":"dQ==","supportModify":false}})");
    // A skin the user did not choose is never written: no empty one, and a hand-edited one stays.
    row("unchecked, unknown skin kept", Json(R"({"autoRun":2,"skin":"x"})"), "9000", 1, "", "保存成功",
        R"({"autoRun":0,"skin":"x","hostInfo":{"port":9000}})");
    row("no hostInfo, no skin: port 0", {}, "0", 1, "", "保存成功", R"({"autoRun":2,"hostInfo":{"port":0}})");
    row("empty port", qjsonFull, "", 0, "", "请输入服务端口", "");
    row("port out of range", qjsonFull, "70000", 0, "", "保存失败：服务端口70000超出范围", "");
    row("settings not writable", qjsonFull, "8554", 0, "config", "保存失败", "");
    row("autostart entry not writable", {}, "1", 1, "autostart",
        "服务端口和开机自启已保存，但系统的自启动项无法写入", R"({"autoRun":2,"hostInfo":{"port":1}})");
}

void TestSystemSet::save()
{
    QFETCH(QJsonObject, config);
    QFETCH(QString, port);
    QFETCH(int, autoStartClicks);
    QFETCH(QString, broken);
    QFETCH(QString, message);
    QFETCH(QJsonObject, written);
    WriteConfig(config);
    const QString qstrIni = QCoreApplication::applicationDirPath() + "/TerminalServerFile/AutoStartCfg.ini";
    QFile::remove(qstrIni);
    QSettings(qstrIni, QSettings::IniFormat).setValue("Other/key", "kept");
    m_pPage = std::make_unique<CLS_WgtServerManage>();
    auto* pBox = Child<QCheckBox>("checkBox_BootStrap");
    for (int i = 0; i < autoStartClicks; ++i) {
        pBox->click();
    }
    Child<QLineEdit>("lineEdit_ServerPort")->setText(port);

    CLS_BoxAnswerer answerer;
    {
        const QString qstrFile = broken == "config" ? ConfigPath() : AutoStartEntryPath();
        const auto pBlocked = broken.isEmpty() ? nullptr : BlockFolder(QFileInfo(qstrFile).path());
        QTest::mouseClick(Child<QPushButton>("pushButton_Save"), Qt::LeftButton);
    }
    QCOMPARE(answerer.m_qstrlstTexts, QStringList{message});
    QCOMPARE(Config(), written.isEmpty() ? config : written);
    QSettings qsettings(qstrIni, QSettings::IniFormat);
    if (message.startsWith("请输入") || message.contains("超出范围")) {
        QVERIFY(!qsettings.contains("Lumacast/autoStart"));
        return;
    }
    QCOMPARE(qsettings.value("Lumacast/exeName").toString(), QStringLiteral("Lumacast"));
    QCOMPARE(qsettings.value("Lumacast/autoStart").toString(), pBox->isChecked() ? "true" : "false");
    QCOMPARE(qsettings.value("Other/key").toString(), QStringLiteral("kept"));
    if (broken == "autostart") {
        return;
    }
    QFile qfileEntry(AutoStartEntryPath());
    QCOMPARE(qfileEntry.open(QIODevice::ReadOnly), pBox->isChecked());
    if (pBox->isChecked()) {
        const QString qstrEntry = QString::fromUtf8(qfileEntry.readAll());
        QVERIFY(qstrEntry.startsWith("[Desktop Entry]\n"));
        QVERIFY(qstrEntry.contains("\nExec=\"" + QCoreApplication::applicationFilePath() + "\"\n"));
    }
}

void TestSystemSet::passwordChange_data()
{
    QTest::addColumn<QByteArray>("stored"); // empty: no password stored
    QTest::addColumn<QStringList>("typed"); // old, new, confirmation [, "unwritable": the write fails]
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("result"); // the password stored and shown afterwards

    auto row = [](const char* _pcTag, const QByteArray& _qbaStored, const QStringList& _qstrlstTyped,
                  const QStringList& _qstrlstMessages, const QString& _qstrResult) {
        QTest::newRow(_pcTag) << _qbaStored << _qstrlstTyped << _qstrlstMessages << _qstrResult;
    };
    const QString qstr45(45, 'n');
    const QString qstrWrongOld = "旧密码输入不正确！";
    row("none stored, empty old", {}, {"", "abc", "abc"}, {"修改成功"}, "abc");
    row("none stored, any old", {}, {"x", "abc", "abc"}, {qstrWrongOld}, "");
    row("wrong old and mismatch: first check only", "old1", {"old2", "a", "b"}, {qstrWrongOld}, "old1");
    row("mismatch", "old1", {"old1", "a", "b"}, {"新密码和确认密码输入不一致"}, "old1");
    row("unchanged", "old1", {"old1", "old1", "old1"}, {"新密码和旧密码相同"}, "old1");
    row("empty new accepted", "old1", {"old1", "", ""}, {"修改成功"}, "");
    row("45 characters", "old1", {"old1", qstr45, qstr45}, {"修改成功"}, qstr45);
    row("46 characters refused", "old1", {"old1", qstr45 + "n", qstr45 + "n"}, {"新密码不能超过45个字符"},
        "old1");
    // One message, the true one: the dialog does not say the change was made before it is stored.
    row("settings not writable", "old1", {"old1", "new2", "new2", "unwritable"}, {"密码保存失败"}, "old1");
    // An unreadable stored password must not let an empty old password through.
    row("stored too long", QByteArray(64, 'p'), {"", "abc", "abc"}, {qstrWrongOld}, "");
}

void TestSystemSet::passwordChange()
{
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, messages);
    QFETCH(QString, result);
    const QJsonObject qjsonHost{{"port", 554}, {"password", B64(stored)}};
    WriteConfig({{"hostInfo", qjsonHost}});
    m_pPage = std::make_unique<CLS_WgtServerManage>();

    CLS_BoxAnswerer answerer;
    std::shared_ptr<void> pBlocked;
    bool blStayedOpen = false;
    QString qstrTitle;
    WhenModal<CLS_WgtModifyPassword>([&](CLS_WgtModifyPassword* _pDialog) {
        QCOMPARE(_pDialog->objectName(), QStringLiteral("widget_ModifyPassword"));
        qstrTitle = _pDialog->windowTitle();
        const char* const apcFields[] = {"lineEdit_UsedPwd", "lineEdit_NewPwd", "lineEdit_ConfirmPwd"};
        for (int i = 0; i < 3; ++i) {
            _pDialog->findChild<QLineEdit*>(apcFields[i])->setText(typed.at(i));
        }
        ButtonWithText(_pDialog, "确认")->click();
        if (typed.size() > 3) {
            pBlocked = BlockFolder(QFileInfo(ConfigPath()).path());
        }
        // After a refusal the dialog stays open with what was typed; the user cancels.
        blStayedOpen =
            _pDialog->isVisible() && _pDialog->findChild<QLineEdit*>(apcFields[2])->text() == typed.at(2);
        if (_pDialog->isVisible()) {
            ButtonWithText(_pDialog, "取消")->click();
        }
    });
    Child<QPushButton>("pushButton_ModifyPwd")->click();
    pBlocked.reset();

    QCOMPARE(answerer.m_qstrlstTexts, messages);
    // The system's title, which task bars and window switchers show.
    QCOMPARE(qstrTitle, QStringLiteral("修改密码"));
    QCOMPARE(blStayedOpen, typed.size() == 3 && messages.first() != "修改成功");
    const QString qstrStored = Config().value("hostInfo").toObject().value("password").toString();
    QCOMPARE(qstrStored,
             result == QString::fromUtf8(stored) || blStayedOpen ? B64(stored) : B64(result.toUtf8()));
    QCOMPARE(Config().value("hostInfo").toObject().value("port").toInt(), 554);
    QCOMPARE(Child<QLineEdit>("lineEdit_ServerPwd")->text(), result);
}

void TestSystemSet::passwordFields_takeLettersAndDigitsOnly()
{
    CLS_WgtModifyPassword dlgPassword;
    for (QLineEdit* pField : dlgPassword.findChildren<QLineEdit*>()) {
        QTest::keyClicks(pField, QStringLiteral("a-b c_9"));
        QCOMPARE(pField->text(), QStringLiteral("abc9"));
        QCOMPARE(pField->echoMode(), QLineEdit::Password);
    }
}

// The platform hands in its user while the page is open, then while the dialog is open.
void TestSystemSet::platformOwnsPassword_localChangeRefused()
{
    WriteConfig({{"hostInfo", QJsonObject{{"password", B64("old1")}}}});
    m_pPage = std::make_unique<CLS_WgtServerManage>();
    m_pPage->show();
    const CLS_Settings settings = OrbApplication::Instance()->Settings();
    QVERIFY(settings.StoreUser("dQ==", B64("plat")));
    emit OrbApplication::Instance()->GetPlatformLink()->SignUserChanged();
    QCOMPARE(Child<QLineEdit>("lineEdit_ServerPwd")->text(), QStringLiteral("plat"));
    QVERIFY(!Child<QWidget>("pushButton_ModifyPwd")->isVisible());

    CLS_BoxAnswerer answerer;
    const QString qstrRefused = "服务密码由平台管理，不能在本地修改";
    Child<QPushButton>("pushButton_ModifyPwd")->click();
    QCOMPARE(answerer.m_qstrlstTexts, QStringList{qstrRefused});

    // The platform takes over while the dialog is open.
    WriteConfig({{"hostInfo", QJsonObject{{"password", B64("old1")}}}});
    m_pPage = std::make_unique<CLS_WgtServerManage>();
    bool blRejected = false;
    WhenModal<CLS_WgtModifyPassword>([&](CLS_WgtModifyPassword* _pDialog) {
        QVERIFY(settings.StoreUser("dQ==", B64("plat")));
        _pDialog->findChild<QLineEdit*>("lineEdit_UsedPwd")->setText("plat");
        _pDialog->findChild<QLineEdit*>("lineEdit_NewPwd")->setText("mine");
        _pDialog->findChild<QLineEdit*>("lineEdit_ConfirmPwd")->setText("mine");
        ButtonWithText(_pDialog, "确认")->click();
        blRejected = !_pDialog->isVisible() && _pDialog->result() == QDialog::Rejected;
    });
    Child<QPushButton>("pushButton_ModifyPwd")->click();
    QVERIFY(blRejected);
    QCOMPARE(answerer.m_qstrlstTexts, (QStringList{qstrRefused, qstrRefused}));
    QCOMPARE(Config().value("hostInfo").toObject().value("password").toString(), B64("plat"));
}

LUMACAST_TEST_MAIN(TestSystemSet)
#include "test_systemset.moc"
