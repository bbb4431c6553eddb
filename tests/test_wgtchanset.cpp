// The channel page: its frame, the library start, loading and resetting the channel table.
#include "ChanSetTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>

#include <cstring>
#include <thread>

namespace {

// The library really listens on the service port: take one that is free, so that suites running
// side by side do not meet there.
int ServicePort()
{
    static const int s_iPort = [] {
        QTcpServer server;
        server.listen(QHostAddress::AnyIPv4);
        return int(server.serverPort());
    }();
    return s_iPort;
}

QJsonObject HostInfo()
{
    return {{"port", ServicePort()},
            {"user", QString(QByteArray("admin").toBase64())},
            {"password", QString(QByteArray("secret").toBase64())}};
}

// A stored table: desktop 0 edited by the user, camera "camA" at 6, an absent camera at 4.
QJsonObject StoredConfig()
{
    STRUCT_ChanInfo structChanInfo;
    QJsonObject qjsonDesk =
        CLS_ChanRecord::MakeDesktopChannel({0, QRect(0, 0, 800, 600), "old"}, {}, 0, structChanInfo);
    qjsonDesk.insert("videoBitRate", 4096);
    qjsonDesk.insert("audioName", "Mic A");
    qjsonDesk.insert("enableAudio", true);
    QJsonObject qjsonCamA = CLS_ChanRecord::MakeUsbChannel(Camera("camA").structUsb, {}, 6, structChanInfo);
    qjsonCamA.insert("videoFrameRate", 25);
    const QJsonObject qjsonGone =
        CLS_ChanRecord::MakeUsbChannel(Camera("camGone").structUsb, {}, 4, structChanInfo);
    return {{"hostInfo", HostInfo()}, {"chInfo", QJsonArray{qjsonGone, qjsonDesk, qjsonCamA}}};
}

} // namespace

class TestWgtChanSet : public ChanSetFixture
{
    Q_OBJECT
private slots:
    void init() { ResetWorld(); }

    void start_emptyTable_registersStartsTwiceAndBuildsDefaults()
    {
        WriteConfig({{"hostInfo", HostInfo()}, {"chInfo", QJsonArray()}, {"skin", "skinTwo"}});
        App()->SetScreenSource([] { return Screens(2); });
        m_cameras.m_vecCamera = {Camera("camA")};
        m_vecAudioInput = {{"Mic A", {44100}, {2}}};
        StartPage();
        QLineEdit* pName = m_pPage->findChild<QLineEdit*>("lineEdit_ChName");
        QVERIFY(!pName->isEnabled());
        QVERIFY(!m_pPage->isVisible());
        QCOMPARE(pName->text(), QString::fromUtf8("桌面1"));

        QCOMPARE(LibraryCalls(), (QStringList{"register_user", "set_mess_callback", "enable_send_stream",
                                              "startup", "cleanup", "startup", "set_chan_info"}));
        const CB_State stState = LibraryState();
        QCOMPARE(QByteArray(stState.szUser) + ':' + stState.szPassword, QByteArray("admin:secret"));
        QVERIFY(stState.iCallbackUser != 0);
        QCOMPARE(QList<int>({stState.iSendStreamEnabled, stState.iPort, stState.iCapacity}),
                 QList<int>({1, ServicePort(), 16}));
        QCOMPARE(stState.aChannels[0].block.iCollectDevType, 0);
        QCOMPARE(QByteArray(stState.aChannels[0].block.szAudioName), QByteArray("Mic A"));
        QCOMPARE(QByteArray(stState.aChannels[1].block.szDevID), QByteArray("HDMI-2"));
        QCOMPARE(QByteArray(stState.aChannels[4].block.szDevID), QByteArray("camA"));
        QCOMPARE(int(stState.aChannels[2].ucHasBlock), 0);

        const QJsonObject qjsonConfig = App()->ReadConfig();
        QCOMPARE(ChannelNumbers(qjsonConfig.value("chInfo").toArray()), (QList<int>{0, 1, 4}));
        QCOMPARE(qjsonConfig.value("skin").toString(), QString("skinTwo"));
        QCOMPARE(qjsonConfig.value("hostInfo").toObject(), HostInfo());
        QCOMPARE(ChooserTexts(), (QStringList{"1", "2", "5"}));
        QCOMPARE(m_pPage->GetChannelChooser()->currentIndex(), 0);

        // A second start would make a second watcher and start the library again.
        const int iCalls = camera_business_inspect_journal_size();
        QVERIFY(!m_pPage->InitChanSet());
        QCOMPARE(camera_business_inspect_journal_size(), iCalls);
        // The library's messages reach the page through the user value it registered; zero is a fault.
        // What they say of the chosen channel shows on the page, also when it comes from another thread.
        QLabel* pState = m_pPage->findChild<QLabel*>("label_ChState");
        QVERIFY(pState->isHidden());
        for (const int iMsg : {CAMERA_BUSINESS_MSG_CHANNEL_STARTED, CAMERA_BUSINESS_MSG_AUDIO_FAILED,
                               CAMERA_BUSINESS_MSG_CHANNEL_STARTED, CAMERA_BUSINESS_MSG_CHANNEL_FAILED}) {
            std::thread([iMsg] { camera_business_inspect_send_message(iMsg, 0, 0); }).join();
            QCoreApplication::processEvents();
        }
        QVERIFY(!pState->isHidden());
        QVERIFY2(pState->text().contains(QString::fromUtf8("设备无法采集")), qPrintable(pState->text()));
        m_pPage->GetChannelChooser()->setCurrentIndex(1);
        QVERIFY(pState->isHidden());
        QCOMPARE(camera_business_inspect_send_message(5, 6, 7), 0);
        QCOMPARE(CLS_WgtChanSet::MessCallback(1, 2, 3, 0), -1);
    }

    void load_storedAndUnknownRecords()
    {
        WriteConfig(StoredConfig());
        App()->SetScreenSource([] { return Screens(2); });
        m_cameras.m_vecCamera = {Camera("camNew"), Camera("camA")};
        m_vecAudioInput = {{"Mic B", {}, {2}}, {"Mic A", {}, {2}}};
        StartPage();

        QCOMPARE(LibraryCalls(), (QStringList{"register_user", "set_mess_callback", "enable_send_stream",
                                              "startup", "set_chan_info"}));
        const CB_State stState = LibraryState();
        // Desktop 0 keeps the user's values and its input, at the size of today's screen.
        QCOMPARE(stState.aChannels[0].block.iVideoBitRate, 4096);
        QCOMPARE(int(stState.aChannels[0].block.ucEnableAudio), 1);
        QCOMPARE(stState.aChannels[0].block.iCameraWidth, 1920);
        // Desktop 1 is new and takes the first free input.
        QCOMPARE(QByteArray(stState.aChannels[1].block.szAudioName), QByteArray("Mic B"));
        QCOMPARE(int(stState.aChannels[1].block.ucEnableAudio), 1);
        // The known camera keeps its number, the new one takes the lowest number no record uses.
        QCOMPARE(stState.aChannels[6].block.iVideoFrameRate, 25);
        QCOMPARE(QByteArray(stState.aChannels[5].block.szDevID), QByteArray("camNew"));
        QCOMPARE(int(stState.aChannels[5].block.ucEnableAudio), 0);
        QCOMPARE(int(stState.aChannels[4].ucHasBlock), 0);

        const QJsonArray qJsonArrChInfo = StoredChannels();
        QCOMPARE(ChannelNumbers(qJsonArrChInfo), (QList<int>{0, 1, 5, 6}));
        QCOMPARE(RecordOf(qJsonArrChInfo, 0).value("resolutionRatio").toArray(),
                 (QJsonArray{QJsonObject{{"width", 1920}, {"height", 1080}}}));
        QCOMPARE(RecordOf(qJsonArrChInfo, 6).value("videoFrameRate").toInt(), 25);
        QCOMPARE(ChooserTexts(), (QStringList{"1", "2", "6", "7"}));

        QCOMPARE(AudioHolders(), (QMap<int, QStringList>{{0, {"Mic A"}}, {1, {"Mic B"}}}));
    }

    void load_moreScreensThanDesktopNumbers()
    {
        WriteConfig({{"desktopNeedChNo", 2}});
        App()->SetScreenSource([] { return Screens(3); });
        m_cameras.m_vecCamera = {Camera("camA")};
        StartPage();
        QCOMPARE(ChannelNumbers(StoredChannels()), (QList<int>{0, 1, 2}));
        QCOMPARE(RecordOf(StoredChannels(), 2).value("devID").toString(), QString("camA"));

        WriteConfig({{"desktopNeedChNo", 2}, {"chInfo", StoredChannels()}});
        StartPage();
        QCOMPARE(ChannelNumbers(StoredChannels()), (QList<int>{0, 1, 2}));
    }

    void resetAll_rebuildsFromDefaults()
    {
        WriteConfig(StoredConfig());
        m_cameras.m_vecCamera = {Camera("camNew"), Camera("camA")};
        m_vecAudioInput = {{"Mic B", {}, {2}}};
        StartPage();
        // Desktop 0's stored input is missing: its sound is off, not moved to another input, and the
        // record keeps the user's wish, since the input may come back.
        QCOMPARE(int(LibraryState().aChannels[0].block.ucEnableAudio), 0);
        QCOMPARE(RecordOf(StoredChannels(), 0).value("enableAudio").toBool(), true);
        QVERIFY(!AudioHolders().contains(0));
        m_pPage->GetChannelChooser()->setCurrentIndex(2);
        const int iFrom = camera_business_inspect_journal_size();

        m_pPage->findChild<QPushButton*>("pushButton_ResetAllChs")->click();

        QCOMPARE(LibraryCalls(iFrom), (QStringList{"cleanup", "startup", "set_chan_info"}));
        const CB_State stState = LibraryState();
        QCOMPARE(stState.iPort, ServicePort());
        QCOMPARE(stState.aChannels[0].block.iVideoBitRate, 2048);
        QCOMPARE(QByteArray(stState.aChannels[4].block.szDevID) + ',' + stState.aChannels[5].block.szDevID,
                 QByteArray("camNew,camA"));
        QCOMPARE(int(stState.aChannels[6].ucHasBlock), 0);
        QCOMPARE(ChannelNumbers(StoredChannels()), (QList<int>{0, 4, 5}));
        QCOMPARE(RecordOf(StoredChannels(), 5).value("videoFrameRate").toInt(), 10);
        QCOMPARE(m_pPage->GetChannelChooser()->currentIndex(), 0);
    }

    void resetCurrent_backToDefaults_data()
    {
        QTest::addColumn<int>("screens");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("chNo");
        QTest::addColumn<QString>("key");
        QTest::newRow("last desktop stays a desktop") << 4 << QStringList() << 3 << 3 << "videoBitRate";
        // The camera keeps the input it holds ("Mic B"), not the first free one.
        QTest::newRow("camera") << 1 << QStringList{"Mic A", "Mic B"} << 1 << 4 << "videoQuality";
    }

    void resetCurrent_backToDefaults()
    {
        QFETCH(int, screens);
        QFETCH(QStringList, inputs);
        QFETCH(int, index);
        QFETCH(int, chNo);
        QFETCH(QString, key);
        WriteConfig({});
        App()->SetScreenSource([screens] { return Screens(screens); });
        m_cameras.m_vecCamera = {Camera("camA")};
        for (const QString& qstrInput : qAsConst(inputs)) {
            m_vecAudioInput.append({qstrInput, {}, {2}});
        }
        StartPage();
        const QJsonArray qJsonArrDefault = StoredChannels();
        const STRUCT_ChanInfo structDefault = LibraryState().aChannels[chNo].block;
        QVERIFY(EditStored(index, key, 5));
        const int iFrom = camera_business_inspect_journal_size();

        QVERIFY(Invoke("SlotResetCurCh"));

        QCOMPARE(LibraryCalls(iFrom), (QStringList{QString("delete_collector_fd(%1)").arg(chNo),
                                                   QString("add_chan_info(%1)").arg(chNo)}));
        const STRUCT_ChanInfo block = LibraryState().aChannels[chNo].block;
        QCOMPARE(block.iCollectDevType, chNo < 4 ? 0 : 1);
        QCOMPARE(std::memcmp(&block, &structDefault, sizeof(block)), 0);
        QCOMPARE(StoredChannels(), qJsonArrDefault);
        QCOMPARE(m_pPage->GetChannelChooser()->currentIndex(), index);
    }

    void resetCurrent_withoutTarget_changesNothing_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("empty chooser") << "empty";
        QTest::newRow("desktop number without a screen") << "noScreen";
        QTest::newRow("camera unplugged") << "cameraGone";
        QTest::newRow("chooser out of step with the file") << "stale";
        QTest::newRow("settings file not writable") << "unwritable";
    }

    void resetCurrent_withoutTarget_changesNothing()
    {
        QFETCH(QString, situation);
        WriteConfig({});
        m_cameras.m_vecCamera = {Camera("camA")};
        StartPage();
        QJsonArray qJsonArrChInfo = StoredChannels();
        int iSelect = 0;
        if (situation == "empty") {
            qJsonArrChInfo = QJsonArray();
        } else if (situation == "noScreen") {
            STRUCT_ChanInfo structChanInfo;
            qJsonArrChInfo.append(CLS_ChanRecord::MakeDesktopChannel({2, QRect(0, 0, 640, 480), "HDMI-3"}, {},
                                                                     2, structChanInfo));
            iSelect = 2;
        } else if (situation == "cameraGone") {
            QVERIFY(Invoke("SlotDeviceChanged", Q_ARG(QVariant, QVariant::fromValue(QVector<STRUCT_Usb>())),
                           Q_ARG(QStringList, QStringList{"camA"})));
            qJsonArrChInfo = StoredChannels();
            iSelect = 1;
        }
        QVERIFY(Invoke("SlotVideoParamChanged", Q_ARG(QJsonArray&, qJsonArrChInfo), Q_ARG(int, iSelect)));
        if (situation == "stale") {
            // Another save shortened the table behind the chooser's back.
            QJsonObject qjsonConfig = App()->ReadConfig();
            qjsonConfig.insert("chInfo", QJsonArray{qJsonArrChInfo.at(1)});
            QVERIFY(WriteJsonFile(qjsonConfig, App()->GetConfigPath()));
            m_pPage->GetChannelChooser()->setCurrentIndex(1);
            iSelect = 1;
        }
        const QByteArray qbaFile = JsonToString(App()->ReadConfig()).toUtf8();
        const int iFrom = camera_business_inspect_journal_size();
        CLS_BoxAnswerer answerer;
        {
            const auto pRefused = situation == "unwritable" ? std::make_unique<WritesRefused>() : nullptr;
            QVERIFY(Invoke("SlotResetCurCh"));
        }
        QCOMPARE(answerer.Take(),
                 situation == "unwritable" ? QStringList{"重置失败，配置文件无法写入"} : QStringList());
        QCOMPARE(LibraryCalls(iFrom), QStringList());
        QCOMPARE(JsonToString(App()->ReadConfig()).toUtf8(), qbaFile);
        QCOMPARE(m_pPage->GetChannelChooser()->currentIndex(), situation == "empty" ? -1 : iSelect);
    }

    void videoParamChanged_storedReselectedNameShown()
    {
        WriteConfig({});
        StartPage();
        const QString qstrLong = "Front door of the eastern warehouse, loading bay three, camera on the left";
        QJsonArray qJsonArrChInfo{QJsonObject{{"chNo", 0}, {"chName", qstrLong}}, QJsonObject{{"chNo", 1}},
                                  QJsonObject{{"chNo", 4}, {"chName", "Yard"}}};
        QVERIFY(Invoke("SlotVideoParamChanged", Q_ARG(QJsonArray&, qJsonArrChInfo), Q_ARG(int, 2)));
        QLineEdit* pName = m_pPage->findChild<QLineEdit*>("lineEdit_ChName");
        QCOMPARE(pName->text(), QString("Yard"));
        m_pPage->GetChannelChooser()->setCurrentIndex(1);
        QCOMPARE(pName->text(), QString());
        m_pPage->GetChannelChooser()->setCurrentIndex(0);
        QCOMPARE(pName->text(), qstrLong);
        // A long name shows its beginning.
        QCOMPARE(pName->cursorPosition(), 0);

        // Item data that is a map rather than a JSON object is read all the same; anything else is empty.
        const STRUCT_ComboBoxItem structMap{"3", QVariantMap{{"chNo", 2}, {"chName", "Gate"}}};
        QVERIFY(Invoke("SlotChInfoChanged", Q_ARG(STRUCT_ComboBoxItem, structMap)));
        QCOMPARE(pName->text(), QString("Gate"));
        const STRUCT_ComboBoxItem structText{"4", QString("not a record")};
        QVERIFY(Invoke("SlotChInfoChanged", Q_ARG(STRUCT_ComboBoxItem, structText)));
        QCOMPARE(pName->text(), QString());
    }
};

LUMACAST_TEST_MAIN(TestWgtChanSet)
#include "test_wgtchanset.moc"
