#include "TestSupport.h"
#include "common/PublicCommonFun.h"
#include "common/StartupEnv.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QScreen>
#include <QThread>

#include <atomic>

class TestOrbApplication : public QObject
{
    Q_OBJECT
private slots:
    void init();
    // First: the start parameter is read once per process, so later cases would leave theirs.
    void startParam_withoutArgumentsKeepsDefaults();
    void startParam_data();
    void startParam();
    void startParam_userAndPasswordStoredKeepingOtherKeys();
    void config_data();
    void config();
    void styleSheetOfTheSkinIsApplied();
    void highDpiRule_data();
    void highDpiRule();
    void screenIndexRule_data();
    void screenIndexRule();
    void screenList_readsTheSourceAndAppends();
    void audioRegistry_claimFindRelease();
    void audioRegistry_concurrentClaimsNeverShareAnInput();

private:
    static OrbApplication* App() { return OrbApplication::Instance(); }
    static void WriteConfig(const QByteArray& _qbaJson);
    static QVector<STRUCT_Audio> ThreeInputs();
};

void TestOrbApplication::WriteConfig(const QByteArray& _qbaJson)
{
    QDir().mkpath(QFileInfo(App()->GetConfigPath()).path());
    QFile qfile(App()->GetConfigPath());
    QVERIFY(qfile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    qfile.write(_qbaJson);
}

QVector<STRUCT_Audio> TestOrbApplication::ThreeInputs()
{
    QVector<STRUCT_Audio> vecAudio(3);
    vecAudio[0].qstrName = QStringLiteral("mic A");
    vecAudio[1].qstrName = QStringLiteral("mic B");
    vecAudio[2].qstrName = QStringLiteral("mic A");
    vecAudio[2].iSampleRate = 48000;
    return vecAudio;
}

void TestOrbApplication::init()
{
    QFile::remove(App()->GetConfigPath());
    QDir(App()->GetAppDir() + QStringLiteral("LumacastFile/Resource/skinTwo")).removeRecursively();
    App()->setStyleSheet(QString());
    App()->SetAudioDevs({});
    App()->SetSendSocketID(QString());
}

void TestOrbApplication::startParam_data()
{
    QTest::addColumn<QString>("param");
    // Token, platform, communication ID and send socket ID as read.
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("showMainWindow");
    QTest::newRow("every key")
        << R"({"token":"tk","platform":"pf","communicationId":"c9","sendSocketID":"s1","param":{"tip":false}})"
        << QStringList{"tk", "pf", "c9", "s1"} << true;
    QTest::newRow("sendSocketID a number is ignored")
        << R"({"token":"tk","sendSocketID":7})" << QStringList{"tk", "", "", ""} << true;
    QTest::newRow("token a number reads empty")
        << R"({"token":5,"platform":"pf"})" << QStringList{"", "pf", "", ""} << true;
    QTest::newRow("param not an object")
        << R"({"param":"x","platform":"p"})" << QStringList{"", "p", "", ""} << true;
    QTest::newRow("not JSON") << "lumacast please" << QStringList{"", "", "", ""} << true;
    QTest::newRow("JSON array") << R"(["token"])" << QStringList{"", "", "", ""} << true;
    QTest::newRow("non-ASCII kept") << R"({"token":"令牌","platform":"平台"})"
                                    << QStringList{"令牌", "平台", "", ""} << true;
    QTest::newRow("main window hidden")
        << R"({"param":{"showMainWindow":false}})" << QStringList{"", "", "", ""} << false;
    QTest::newRow("main window shown")
        << R"({"param":{"showMainWindow":true}})" << QStringList{"", "", "", ""} << true;
    QTest::newRow("main window not a bool")
        << R"({"param":{"showMainWindow":0}})" << QStringList{"", "", "", ""} << true;
}

void TestOrbApplication::startParam()
{
    QFETCH(QString, param);
    QFETCH(QStringList, expected);
    QFETCH(bool, showMainWindow);
    QVERIFY(App()->ParseStartParam({QStringLiteral("Lumacast"), QStringLiteral("Lumacast"), param}));
    QCOMPARE(App()->GetStartParam(), param);
    QCOMPARE((QStringList{App()->GetToken(), App()->GetPlatform(), App()->GetCommunicationId(),
                          App()->GetSendSocketID()}),
             expected);
    QCOMPARE(App()->IsShowMainWindow(), showMainWindow);
    // Without "user" and "password" the settings file is not touched.
    QVERIFY(!QFile::exists(App()->GetConfigPath()));
}

void TestOrbApplication::startParam_userAndPasswordStoredKeepingOtherKeys()
{
    WriteConfig(R"({"hostInfo":{"port":8000,"user":"b2xk","supportModify":true},"skin":"skinOne","x":[1]})");
    QVERIFY(App()->ParseStartParam({QStringLiteral("Lumacast"), QStringLiteral("Lumacast"),
                                    QStringLiteral(R"({"param":{"user":"dXNlcg==","password":"cHdk"}})")}));
    const QJsonObject qjsonConfig = ReadJsonFile(App()->GetConfigPath());
    const QJsonObject qjsonHost = qjsonConfig.value(QStringLiteral("hostInfo")).toObject();
    QCOMPARE(qjsonHost.value(QStringLiteral("user")).toString(), QStringLiteral("dXNlcg=="));
    QCOMPARE(qjsonHost.value(QStringLiteral("password")).toString(), QStringLiteral("cHdk"));
    QCOMPARE(qjsonHost.value(QStringLiteral("supportModify")), QJsonValue(false));
    QCOMPARE(qjsonHost.value(QStringLiteral("port")).toInt(), 8000);
    QCOMPARE(qjsonConfig.value(QStringLiteral("x")).toArray().size(), 1);
    QCOMPARE(qjsonConfig.value(QStringLiteral("skin")).toString(), QStringLiteral("skinOne"));
}

void TestOrbApplication::startParam_withoutArgumentsKeepsDefaults()
{
    QVERIFY(App()->ParseStartParam({QStringLiteral("Lumacast")}));
    QCOMPARE(App()->GetStartParam(), QStringLiteral("lumacas"));
    QCOMPARE(App()->GetPlatform(), QStringLiteral("platform"));
    QVERIFY(App()->IsShowMainWindow());
}

void TestOrbApplication::config_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("skin");
    QTest::addColumn<bool>("showTray");
    QTest::addColumn<bool>("hideTasker");
    QTest::addColumn<bool>("miniSize");
    QTest::addColumn<int>("desktopNeedChNo");
    QTest::newRow("no file") << QByteArray() << "skinOne" << true << false << false << 4;
    QTest::newRow("malformed") << QByteArray("{\"skin\":") << "skinOne" << true << false << false << 4;
    QTest::newRow("all keys")
        << QByteArray(
               R"({"skin":"skinTwo","show_tray":false,"hidetasker":true,"minisize":true,"desktopNeedChNo":2})")
        << "skinTwo" << false << true << true << 2;
    QTest::newRow("wrong types take defaults")
        << QByteArray(R"({"skin":3,"show_tray":"no","hidetasker":1,"desktopNeedChNo":"2"})") << "skinOne"
        << true << false << false << 4;
}

void TestOrbApplication::config()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, skin);
    QFETCH(bool, showTray);
    QFETCH(bool, hideTasker);
    QFETCH(bool, miniSize);
    QFETCH(int, desktopNeedChNo);
    if (!config.isEmpty()) {
        WriteConfig(config);
    }
    QVERIFY(App()->ParseStartParam({QStringLiteral("Lumacast")}));
    QCOMPARE(App()->GetSkin(), skin);
    QCOMPARE(App()->IsShowTray(), showTray);
    QCOMPARE(App()->IsHideTasker(), hideTasker);
    QCOMPARE(App()->IsMiniSize(), miniSize);
    QCOMPARE(App()->GetDesktopNeedChNo(), desktopNeedChNo);
}

void TestOrbApplication::styleSheetOfTheSkinIsApplied()
{
    const QString qstrQssDir = App()->GetAppDir() + QStringLiteral("LumacastFile/Resource/skinTwo/qss");
    QVERIFY(QDir().mkpath(qstrQssDir));
    QFile qfileQss(qstrQssDir + QStringLiteral("/lumacast_style.qss"));
    QVERIFY(qfileQss.open(QIODevice::WriteOnly));
    qfileQss.write(QStringLiteral("QLabel { color: #123456; } /* 蓝 */").toUtf8());
    qfileQss.close();
    WriteConfig(R"({"skin":"skinTwo"})");
    QVERIFY(App()->ParseStartParam({QStringLiteral("Lumacast")}));
    QCOMPARE(App()->styleSheet(), QStringLiteral("QLabel { color: #123456; } /* 蓝 */"));

    WriteConfig(R"({"skin":"noSuchSkin"})");
    QVERIFY(App()->ParseStartParam({QStringLiteral("Lumacast")}));
    QCOMPARE(App()->styleSheet(), QStringLiteral("QLabel { color: #123456; } /* 蓝 */"));
}

void TestOrbApplication::highDpiRule_data()
{
    QTest::addColumn<QSize>("display");
    QTest::addColumn<bool>("scale");
    QTest::newRow("2560x1440") << QSize(2560, 1440) << true;
    QTest::newRow("1920x1080") << QSize(1920, 1080) << false;
    QTest::newRow("2560x1080") << QSize(2560, 1080) << false;
    QTest::newRow("1920x1440") << QSize(1920, 1440) << false;
    QTest::newRow("1921x1081") << QSize(1921, 1081) << true;
    QTest::newRow("no display") << QSize(0, 0) << false;
}

void TestOrbApplication::highDpiRule()
{
    QFETCH(QSize, display);
    QFETCH(bool, scale);
    QCOMPARE(NeedHighDpiScaling(display), scale);
}

void TestOrbApplication::screenIndexRule_data()
{
    QTest::addColumn<QVector<STRUCT_ScreenFacts>>("facts");
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<QList<QRect>>("rects");
    const QRect qrectA(0, 0, 1920, 1080);
    const QRect qrectB(1920, 0, 1366, 768);
    const QRect qrectC(-1280, 100, 1280, 1024);
    QTest::newRow("one primary") << QVector<STRUCT_ScreenFacts>{{qrectA, 1.0, "A", true}} << QList<int>{0}
                                 << QList<QRect>{qrectA};
    QTest::newRow("primary listed second")
        << QVector<STRUCT_ScreenFacts>{{qrectA, 1.0, "A", false}, {qrectB, 1.0, "B", true}}
        << QList<int>{1, 0} << QList<QRect>{qrectA, qrectB};
    QTest::newRow("primary in the middle of three")
        << QVector<STRUCT_ScreenFacts>{{qrectA, 1.0, "A", false},
                                       {qrectB, 1.0, "B", true},
                                       {qrectC, 1.0, "C", false}}
        << QList<int>{1, 0, 2} << QList<QRect>{qrectA, qrectB, qrectC};
    QTest::newRow("ratio scales size, truncated, position kept")
        << QVector<STRUCT_ScreenFacts>{{qrectB, 1.25, "B", true}} << QList<int>{0}
        << QList<QRect>{QRect(1920, 0, 1707, 960)};
    QTest::newRow("no screens") << QVector<STRUCT_ScreenFacts>{} << QList<int>{} << QList<QRect>{};
}

void TestOrbApplication::screenIndexRule()
{
    QFETCH(QVector<STRUCT_ScreenFacts>, facts);
    QFETCH(QList<int>, indexes);
    QFETCH(QList<QRect>, rects);
    const QVector<STRUCT_Screen> vecScreen = OrbApplication::MakeScreenRecords(facts);
    QCOMPARE(vecScreen.size(), indexes.size());
    for (int i = 0; i < vecScreen.size(); ++i) {
        QCOMPARE(vecScreen[i].iIndex, indexes[i]);
        QCOMPARE(vecScreen[i].rect, rects[i]);
        QCOMPARE(vecScreen[i].qstrName, facts[i].qstrName);
    }
}

void TestOrbApplication::screenList_readsTheSourceAndAppends()
{
    const QRect qrectPrimary = QGuiApplication::primaryScreen()->geometry();
    QVector<STRUCT_Screen> vecQt;
    App()->GetScreenList(vecQt);
    QCOMPARE(vecQt.size(), QGuiApplication::screens().size());
    QCOMPARE(vecQt.first().rect.topLeft(), qrectPrimary.topLeft());

    App()->SetScreenSource([] {
        return QVector<STRUCT_ScreenFacts>{{QRect(0, 0, 800, 600), 2.0, QStringLiteral("left"), false},
                                           {QRect(800, 0, 1024, 768), 1.0, QStringLiteral("right"), true}};
    });
    QVector<STRUCT_Screen> vecScreen(1);
    App()->GetScreenList(vecScreen);
    QCOMPARE(vecScreen.size(), 3);
    QCOMPARE(vecScreen[1].rect, QRect(0, 0, 1600, 1200));
    QCOMPARE(vecScreen[1].iIndex, 1);
    QCOMPARE(vecScreen[2].qstrName, QStringLiteral("right"));
    QCOMPARE(vecScreen[2].iIndex, 0);
}

void TestOrbApplication::audioRegistry_claimFindRelease()
{
    App()->SetAudioDevs(ThreeInputs());
    // Without binding it only asks: nothing is claimed, nothing handed back.
    STRUCT_Audio structAudio;
    structAudio.qstrName = QStringLiteral("untouched");
    QVERIFY(App()->ClaimAudioDev(2, QStringLiteral("mic B"), false, structAudio));
    QCOMPARE(structAudio.qstrName, QStringLiteral("untouched"));
    QCOMPARE(App()->GetAudioDevs().at(1).iHolderChNo, -1);

    QVERIFY(App()->ClaimAudioDev(3, QStringLiteral("mic A"), true, structAudio));
    QCOMPARE(structAudio.qstrName, QStringLiteral("mic A"));
    QCOMPARE(structAudio.iHolderChNo, 3);
    QCOMPARE(structAudio.iSampleRate, 44100);

    // The second input of the same name is the next free one.
    QVERIFY(App()->ClaimAudioDev(4, QStringLiteral("mic A"), true, structAudio));
    QCOMPARE(structAudio.iSampleRate, 48000);
    QVERIFY(!App()->ClaimAudioDev(5, QStringLiteral("mic A"), true, structAudio));
    QVERIFY(!App()->ClaimAudioDev(5, QStringLiteral("no such mic"), true, structAudio));

    // An empty name takes any free input.
    QVERIFY(App()->ClaimAudioDev(5, QString(), true, structAudio));
    QCOMPARE(structAudio.qstrName, QStringLiteral("mic B"));
    QVERIFY(!App()->ClaimAudioDev(6, QString(), true, structAudio));

    STRUCT_Audio structFound;
    QVERIFY(App()->FindAudioDevByChannel(4, QString(), structFound));
    QCOMPARE(structFound.iSampleRate, 48000);
    QVERIFY(App()->FindAudioDevByChannel(5, QStringLiteral("mic B"), structFound));
    QVERIFY(!App()->FindAudioDevByChannel(5, QStringLiteral("mic A"), structFound));
    QVERIFY(!App()->FindAudioDevByChannel(9, QString(), structFound));

    QVERIFY(App()->ReleaseAudioDevByChannel(3));
    QVERIFY(!App()->ReleaseAudioDevByChannel(3));
    QVERIFY(!App()->FindAudioDevByChannel(3, QString(), structFound));
    QVERIFY(App()->ClaimAudioDev(7, QString(), true, structAudio));
    QCOMPARE(structAudio.qstrName, QStringLiteral("mic A"));
    QCOMPARE(App()->GetAudioDevs().at(0).iHolderChNo, 7);
}

void TestOrbApplication::audioRegistry_concurrentClaimsNeverShareAnInput()
{
    const int iInputs = 400;
    QVector<STRUCT_Audio> vecAudio(iInputs);
    for (int i = 0; i < iInputs; ++i) {
        vecAudio[i].qstrName = QStringLiteral("input %1").arg(i % 7);
    }
    App()->SetAudioDevs(vecAudio);

    std::atomic<int> iClaimed{0};
    auto claimAll = [&iClaimed](int _iChNo) {
        STRUCT_Audio structAudio;
        while (OrbApplication::Instance()->ClaimAudioDev(_iChNo, QString(), true, structAudio)) {
            ++iClaimed;
            // Reading copies while the other thread writes must stay consistent.
            OrbApplication::Instance()->GetAudioDevs();
        }
    };
    std::unique_ptr<QThread> pThreadA(QThread::create(claimAll, 1));
    std::unique_ptr<QThread> pThreadB(QThread::create(claimAll, 2));
    pThreadA->start();
    pThreadB->start();
    QVERIFY(pThreadA->wait(30000));
    QVERIFY(pThreadB->wait(30000));

    QCOMPARE(iClaimed.load(), iInputs);
    int iHeldByOne = 0;
    int iHeldByTwo = 0;
    for (const STRUCT_Audio& structEntry : App()->GetAudioDevs()) {
        QVERIFY(structEntry.iHolderChNo == 1 || structEntry.iHolderChNo == 2);
        (structEntry.iHolderChNo == 1 ? iHeldByOne : iHeldByTwo)++;
    }
    QCOMPARE(iHeldByOne + iHeldByTwo, iInputs);
}

LUMACAST_TEST_MAIN(TestOrbApplication)
#include "test_orbapplication.moc"
