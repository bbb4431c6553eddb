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
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_qtempHome.path().toUtf8());
        QDir().mkpath(QFileInfo(ConfigPath()).path());
    }
    void init()
    {
        m_pPage.reset();
        QFile::remove(ConfigPath());
        QFile::remove(AutoStartEntryPath());
    }

    void fill_data()
    {
        QTest::addColumn<QJsonObject>("config");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("autoStart");
        QTest::addColumn<bool>("blueChecked"); // else white: an empty or unknown skin reads as "skinOne"
        QTest::addColumn<bool>("passwordRow");

        QTest::newRow("all set, autoRun 1")
            << Json(R"({"autoRun":1,"skin":"skinTwo","hostInfo":{"port":8554,"password":"YWJjMTIz"}})")
            << "8554"
            << "abc123" << true << true << true;
        QTest::newRow("empty skin") << Json(R"({"skin":""})") << "0"
                                    << "" << false << false << true;
        QTest::newRow("supportModify false hides the row")
            << Json(R"({"hostInfo":{"supportModify":false}})") << "0"
            << "" << false << false << false;
        QTest::newRow("port out of range") << Json(R"({"hostInfo":{"port":70000}})") << "0"
                                           << "" << false << false << true;
    }
    void fill()
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
        QCOMPARE(pField->echoMode(), QLineEdit::Password);
        // The show button toggles the echo, never the text.
        Child<QPushButton>("pushButton_ShowPwd")->click();
        QCOMPARE(pField->echoMode(), QLineEdit::Normal);
        QCOMPARE(pField->text(), password);
        QCOMPARE(Child<QCheckBox>("checkBox_BootStrap")->isChecked(), autoStart);
        QCOMPARE(Child<QRadioButton>("radioButton_SkinBlue")->isChecked(), blueChecked);
        QCOMPARE(Child<QRadioButton>("radioButton_SkinWhite")->isChecked(), !blueChecked);
        QCOMPARE(Child<QWidget>("pushButton_ModifyPwd")->isVisible(), passwordRow);
        QCOMPARE(pField->isVisible(), passwordRow);
    }
    void save_data()
    {
        QTest::addColumn<QJsonObject>("config");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("clickAutoStart");
        QTest::addColumn<QString>("broken"); // a folder made a file, so that its write fails
        QTest::addColumn<QString>("message");
        QTest::addColumn<QJsonObject>("written"); // empty: the file stays as it was

        const QJsonObject qjsonFull = Json(R"({"autoRun":1,"skin":"skinTwo","chInfo":[{"chNo":0}],)"
                                           R"("hostInfo":{"port":554,"user":"dQ==","supportModify":false}})");
        auto row = [](const char* _pcTag, const QJsonObject& _qjson, const char* _pcPort, bool _blClick,
                      const char* _pcBroken, const char* _pcMessage, const char* _pcWritten) {
            QTest::newRow(_pcTag) << _qjson << _pcPort << _blClick << _pcBroken << _pcMessage
                                  << Json(_pcWritten);
        };
        row("autoRun 1 written back as 2, other keys kept", qjsonFull, "8554", false, "", "保存成功",
            R"({"autoRun":2,"skin":"skinTwo","chInfo":[{"chNo":0}],)"
            R"("hostInfo":{"port":8554,"user":"dQ==","supportModify":false}})");
        // A skin the user did not choose is never written: no empty one, and a hand-edited one stays.
        row("fresh installation", {}, "0", true, "", "保存成功", R"({"autoRun":2,"hostInfo":{"port":0}})");
        row("unchecked, unknown skin kept", Json(R"({"autoRun":2,"skin":"x"})"), "9000", true, "", "保存成功",
            R"({"autoRun":0,"skin":"x","hostInfo":{"port":9000}})");
        row("empty port", qjsonFull, "", false, "", "请输入服务端口", "");
        row("port out of range", qjsonFull, "70000", false, "", "保存失败：服务端口70000超出范围", "");
        row("settings not writable", qjsonFull, "8554", false, "config", "保存失败", "");
        row("autostart entry not writable", {}, "1", true, "autostart",
            "服务端口和开机自启已保存，但系统的自启动项无法写入", R"({"autoRun":2,"hostInfo":{"port":1}})");
    }
    void save()
    {
        QFETCH(QJsonObject, config);
        QFETCH(QString, port);
        QFETCH(bool, clickAutoStart);
        QFETCH(QString, broken);
        QFETCH(QString, message);
        QFETCH(QJsonObject, written);
        WriteConfig(config);
        const QString qstrIni =
            QCoreApplication::applicationDirPath() + "/TerminalServerFile/AutoStartCfg.ini";
        QFile::remove(qstrIni);
        m_pPage = std::make_unique<CLS_WgtServerManage>();
        auto* pBox = Child<QCheckBox>("checkBox_BootStrap");
        if (clickAutoStart) {
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
        const bool blRefused = message.startsWith("请输入") || message.contains("超出范围");
        QCOMPARE(QSettings(qstrIni, QSettings::IniFormat).value("Lumacast/autoStart").toString(),
                 blRefused ? QString() : QVariant(pBox->isChecked()).toString());
        if (blRefused || broken == "autostart") {
            return;
        }
        QFile qfileEntry(AutoStartEntryPath());
        QCOMPARE(qfileEntry.open(QIODevice::ReadOnly), pBox->isChecked());
        QVERIFY(!pBox->isChecked() ||
                qfileEntry.readAll().contains("\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() +
                                              "\"\n"));
    }
    void passwordChange_data()
    {
        QTest::addColumn<QByteArray>("stored"); // empty: no password stored
        QTest::addColumn<QStringList>("typed"); // old, new, confirmation [, "unwritable": the write fails]
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("result"); // the password stored and shown afterwards

        auto row = [](const char* _pcTag, const QByteArray& _qbaStored, const QStringList& _qstrlstTyped,
                      const char* _pcMessage, const QString& _qstrResult) {
            QTest::newRow(_pcTag) << _qbaStored << _qstrlstTyped << QStringList{_pcMessage} << _qstrResult;
        };
        const QString qstr46(46, 'n');
        row("none stored, empty old", {}, {"", "abc", "abc"}, "修改成功", "abc");
        row("wrong old", "old1", {"old2", "a", "a"}, "旧密码输入不正确！", "old1");
        row("mismatch", "old1", {"old1", "a", "b"}, "新密码和确认密码输入不一致", "old1");
        row("unchanged", "old1", {"old1", "old1", "old1"}, "新密码和旧密码相同", "old1");
        row("46 characters refused", "old1", {"old1", qstr46, qstr46}, "新密码不能超过45个字符", "old1");
        // One message, the true one: the dialog does not say the change was made before it is stored.
        row("settings not writable", "old1", {"old1", "new2", "new2", "unwritable"}, "密码保存失败", "old1");
        // An unreadable stored password must not let an empty old password through.
        row("stored too long", QByteArray(64, 'p'), {"", "abc", "abc"}, "旧密码输入不正确！", "");
    }
    void passwordChange()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QStringList, typed);
        QFETCH(QStringList, messages);
        QFETCH(QString, result);
        WriteConfig({{"hostInfo", QJsonObject{{"port", 554}, {"password", B64(stored)}}}});
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
        QCOMPARE(qstrTitle, QStringLiteral("修改密码"));
        QCOMPARE(blStayedOpen, typed.size() == 3 && messages.first() != "修改成功");
        const QJsonObject qjsonHost = Config().value("hostInfo").toObject();
        QCOMPARE(qjsonHost.value("password").toString(),
                 result == QString::fromUtf8(stored) || blStayedOpen ? B64(stored) : B64(result.toUtf8()));
        QCOMPARE(qjsonHost.value("port").toInt(), 554);
        QCOMPARE(Child<QLineEdit>("lineEdit_ServerPwd")->text(), result);
    }
    // The platform hands in its user while the page is open, then while the dialog is open.
    void platformOwnsPassword_localChangeRefused()
    {
        const QJsonObject qjsonOwn{{"hostInfo", QJsonObject{{"password", B64("old1")}}}};
        WriteConfig(qjsonOwn);
        m_pPage = std::make_unique<CLS_WgtServerManage>();
        m_pPage->show();
        const CLS_Settings settings = OrbApplication::Instance()->Settings();
        QVERIFY(settings.StoreUser("dQ==", B64("plat"), true));
        emit OrbApplication::Instance()->GetPlatformLink()->SignUserChanged();
        QCOMPARE(Child<QLineEdit>("lineEdit_ServerPwd")->text(), QStringLiteral("plat"));
        QVERIFY(!Child<QWidget>("pushButton_ModifyPwd")->isVisible());

        WriteConfig(qjsonOwn);
        m_pPage = std::make_unique<CLS_WgtServerManage>();
        CLS_BoxAnswerer answerer;
        bool blRejected = false;
        WhenModal<CLS_WgtModifyPassword>([&](CLS_WgtModifyPassword* _pDialog) {
            QVERIFY(settings.StoreUser("dQ==", B64("plat"), true));
            _pDialog->findChild<QLineEdit*>("lineEdit_UsedPwd")->setText("plat");
            _pDialog->findChild<QLineEdit*>("lineEdit_NewPwd")->setText("mine");
            _pDialog->findChild<QLineEdit*>("lineEdit_ConfirmPwd")->setText("mine");
            ButtonWithText(_pDialog, "确认")->click();
            blRejected = !_pDialog->isVisible() && _pDialog->result() == QDialog::Rejected;
        });
        Child<QPushButton>("pushButton_ModifyPwd")->click();
        QVERIFY(blRejected);
        QCOMPARE(answerer.m_qstrlstTexts, QStringList{"服务密码由平台管理，不能在本地修改"});
        QCOMPARE(Config().value("hostInfo").toObject().value("password").toString(), B64("plat"));
    }

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

LUMACAST_TEST_MAIN(TestSystemSet)
#include "test_systemset.moc"
