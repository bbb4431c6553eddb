// The application object in this test's own application folder. Another real copy of this
// program holds the single-instance name when the tests begin, until a restart ends it.
#include "OrbApplication.h"
#include "common/PublicCommonFun.h"
#include "common/StartupEnv.h"
#include "widgets/CLS_MessageBox.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include <signal.h>

namespace {

qint64 g_iOtherCopyPid = 0;

// Ended copies may stay zombies here: nobody above them need reap.
bool OtherCopyRuns()
{
    QFile qfileStatus(QStringLiteral("/proc/%1/status").arg(g_iOtherCopyPid));
    return qfileStatus.open(QIODevice::ReadOnly) && !qfileStatus.readAll().contains("\nState:\tZ");
}

void WriteFile(const QString& _qstrPath, const QByteArray& _qbaContent)
{
    QDir().mkpath(QFileInfo(_qstrPath).path());
    QFile qfile(_qstrPath);
    QVERIFY(qfile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    qfile.write(_qbaContent);
}

} // namespace

class TestOrbApplication : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QFile::remove(App()->GetConfigPath());
        App()->SetSendSocketID(QString());
    }
    void cleanupTestCase() { ::kill(static_cast<pid_t>(g_iOtherCopyPid), SIGKILL); }
    // First: they meet the other copy, and the restart among them ends it.
    void startWhileCopyRuns_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("notice");
        QTest::addColumn<bool>("goOn");
        QTest::addColumn<bool>("copyRuns");
        const QString qstrMarker = QStringLiteral("Lumacast");
        QTest::newRow("no arguments") << QStringList() << false << false << true;
        QTest::newRow("tip absent") << QStringList{qstrMarker, R"({"param":{}})"} << true << false << true;
        QTest::newRow("restart") << QStringList{qstrMarker, R"({"param":{"restart":true}})"} << true << true
                                 << false;
    }
    void startWhileCopyRuns()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, notice);
        QFETCH(bool, goOn);
        QFETCH(bool, copyRuns);
        // The text of every notice shown, each answered with its main button.
        QStringList qstrlstNotices;
        QTimer qtimerWatch;
        connect(&qtimerWatch, &QTimer::timeout, this, [&qstrlstNotices]() {
            auto* pBox = qobject_cast<CLS_MessageBox*>(QApplication::activeModalWidget());
            if (pBox != nullptr && pBox->isVisible()) {
                qstrlstNotices << pBox->findChild<QLabel*>(QStringLiteral("label_Show"))->text();
                QTest::mouseClick(pBox->findChild<QPushButton*>(QStringLiteral("pushButton_main")),
                                  Qt::LeftButton);
            }
        });
        qtimerWatch.start(10);
        QCOMPARE(App()->ParseStartParam(QStringList{QCoreApplication::applicationFilePath()} + args), goOn);
        QCOMPARE(qstrlstNotices, notice ? QStringList{QStringLiteral("当前程序已运行！")} : QStringList{});
        QCOMPARE(OtherCopyRuns(), copyRuns);
        QCOMPARE(App()->isListening(), !copyRuns);
    }
    void startParam_data()
    {
        QTest::addColumn<QString>("param");
        // Token, platform, communication ID and send socket ID as read.
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("showMainWindow");
        QTest::newRow("every key")
            << R"({"token":"tk","platform":"pf","communicationId":"c9","sendSocketID":"s1","param":{"showMainWindow":false}})"
            << QStringList{"tk", "pf", "c9", "s1"} << false;
        QTest::newRow("wrong types read empty")
            << R"({"token":5,"platform":"pf","sendSocketID":7,"param":{"showMainWindow":0}})"
            << QStringList{"", "pf", "", ""} << true;
        QTest::newRow("user and password stored, other keys kept, defaultLogin too")
            << R"({"param":{"user":"dXNlcg==","password":"cHdk"}})" << QStringList{"", "", "", ""} << true;
        QTest::newRow("user and password not text: stored ones stay")
            << R"({"param":{"user":5,"password":null}})" << QStringList{"", "", "", ""} << true;
    }
    void startParam()
    {
        QFETCH(QString, param);
        QFETCH(QStringList, expected);
        QFETCH(bool, showMainWindow);
        const QByteArray qbaStored =
            R"({"hostInfo":{"port":8000,"user":"b2xk","supportModify":true,"defaultLogin":[1]},"x":[1]})";
        WriteFile(App()->GetConfigPath(), qbaStored);
        QVERIFY(App()->ParseStartParam({QStringLiteral("Lumacast"), QStringLiteral("Lumacast"), param}));
        QCOMPARE(App()->GetStartParam(), param);
        QCOMPARE((QStringList{App()->GetToken(), App()->GetPlatform(), App()->GetCommunicationId(),
                              App()->GetSendSocketID()}),
                 expected);
        QCOMPARE(App()->IsShowMainWindow(), showMainWindow);
        QFile qfileStored(App()->GetConfigPath());
        QVERIFY(qfileStored.open(QIODevice::ReadOnly));
        if (param.contains("dXNlcg==")) {
            QCOMPARE(ReadJsonFile(App()->GetConfigPath()),
                     ParseJson(R"({"hostInfo":{"port":8000,"user":"dXNlcg==","password":"cHdk",)"
                               R"("supportModify":false,"defaultLogin":[1]},"x":[1]})"));
        } else { // the settings file is not touched
            QCOMPARE(qfileStored.readAll(), qbaStored);
        }
    }
    void config_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("read"); // skin, the flags that are set, desktop channel count
        QTest::newRow("all keys")
            << QByteArray(
                   R"({"skin":"skinTwo","show_tray":false,"hidetasker":true,"minisize":true,"desktopNeedChNo":2})")
            << "skinTwo tasker mini 2";
        QTest::newRow("wrong types, empty skin, channel count out of range take defaults")
            << QByteArray(R"({"skin":"","show_tray":"no","hidetasker":1,"desktopNeedChNo":17})")
            << "skinOne tray 4";
    }
    void config()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, read);
        const QString qstrStyle = QStringLiteral("QLabel { color: #123456; } /* 蓝 */");
        WriteFile(App()->GetAppDir() + QStringLiteral("LumacastFile/Resource/skinTwo/qss/lumacast_style.qss"),
                  qstrStyle.toUtf8());
        WriteFile(App()->GetConfigPath(), config);
        // A skin without a style sheet leaves the look as it was.
        App()->setStyleSheet(QStringLiteral("QWidget {}"));
        QVERIFY(App()->ParseStartParam({QStringLiteral("Lumacast")}));
        QCOMPARE(QString("%1%2%3%4 %5")
                     .arg(App()->GetSkin(), App()->IsShowTray() ? " tray" : "",
                          App()->IsHideTasker() ? " tasker" : "", App()->IsMiniSize() ? " mini" : "")
                     .arg(App()->GetDesktopNeedChNo()),
                 read);
        QCOMPARE(CLS_MessageBox::GetSkin(), App()->GetSkin());
        QCOMPARE(App()->styleSheet(),
                 App()->GetSkin() == "skinTwo" ? qstrStyle : QStringLiteral("QWidget {}"));
    }
    void staleTemporaries_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("kept");
        QTest::newRow("write of this run") << "lumacast.json.Zz99Yy" << QByteArray("{\"sk") << -3600 << true;
        QTest::newRow("whole object of a cut write")
            << "lumacast.json.dA7xQe" << QByteArray("{}") << 3600 << false;
        QTest::newRow("kept unreadable file") << "lumacast.json.bad-1" << QByteArray("{,") << 3600 << true;
    }
    void staleTemporaries()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, ageSeconds);
        QFETCH(bool, kept);
        const QString qstrPath = QFileInfo(App()->GetConfigPath()).path() + QLatin1Char('/') + name;
        WriteFile(qstrPath, content);
        QFile qfile(qstrPath);
        QVERIFY(qfile.open(QIODevice::ReadWrite));
        QVERIFY(qfile.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                  QFileDevice::FileModificationTime));
        qfile.close();
        QVERIFY(App()->ParseStartParam({QStringLiteral("Lumacast")}));
        QCOMPARE(QFile::exists(qstrPath), kept);
        QFile::remove(qstrPath);
    }
    void highDpiRule()
    {
        QVERIFY(NeedHighDpiScaling(QSize(2560, 1440)));
        QVERIFY(!NeedHighDpiScaling(QSize(2560, 1080)));
    }

private:
    static OrbApplication* App() { return OrbApplication::Instance(); }
};

int main(int argc, char* argv[])
{
    const QString qstrSelf = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (qEnvironmentVariableIsSet("LUMACAST_OTHER_COPY")) {
        QSingleApplication app(argc, argv);
        QTimer::singleShot(120000, &app, &QCoreApplication::quit);
        return app.exec();
    }
    qputenv("LUMACAST_OTHER_COPY", "1");
    QProcess::startDetached(qstrSelf, {}, QString(), &g_iOtherCopyPid);
    qunsetenv("LUMACAST_OTHER_COPY");
    const QString qstrSocket = QDir::tempPath() + QLatin1Char('/') + QFileInfo(qstrSelf).fileName();
    for (int iWait = 0; iWait < 200 && !QFile::exists(qstrSocket); ++iWait) {
        QThread::msleep(50);
    }
    OrbApplication app(argc, argv);
    TestOrbApplication testObject;
    return QTest::qExec(&testObject, argc, argv);
}

#include "test_orbapplication.moc"
