// The channel table and the device watcher without widgets: a real settings file in a temporary
// application folder, the real streaming library stand-in, prepared cameras, audio inputs and screens.
#include "ChannelTestSupport.h"
#include "common/PublicCommonFun.h"
#include "device/CLS_ThreadCheckAddRemoveDev.h"

#include <QTcpServer>
#include <QTemporaryDir>

#include <cstring>
#include <memory>
#include <thread>

Q_DECLARE_METATYPE(EnumChannelOutcome)

using E = EnumChannelOutcome;

class TestChannelTable : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        camera_business_inspect_reset();
        m_pDir = std::make_unique<QTemporaryDir>();
        m_qstrPath = CLS_Settings::PathIn(m_pDir->path());
        QVERIFY(QDir().mkpath(QFileInfo(m_qstrPath).path()));
        m_pTable.reset();
        m_registry.SetAudioDevs({});
        m_registry.SetUsbDevs({});
        m_registry.m_iDesktops = 4;
        m_registry.m_vecScreen = ScreenList(1);
        m_cameras = FakeCameras();
        m_audio = FakeAudio();
    }

    void start_publishesDefaults_resetAllRebuildsThem()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::AnyIPv4));
        const int iPort = server.serverPort();
        server.close();
        // A password longer than the library's 63 bytes is registered empty, never cut.
        QVERIFY(
            WriteJsonFile({{"hostInfo", QJsonObject{{"port", iPort},
                                                    {"user", QString(QByteArray("admin").toBase64())},
                                                    {"password", QString(QByteArray(64, 'p').toBase64())}}}},
                          m_qstrPath));
        m_registry.m_vecScreen = ScreenList(2);
        CLS_ChannelTable& table = Started({Camera("camA")}, {"Mic A"});
        CB_State stState = LibraryState();
        QCOMPARE(QByteArray(stState.szUser) + ':' + stState.szPassword, QByteArray("admin:"));
        QCOMPARE(stState.iPort, iPort);
        QCOMPARE(QByteArray(stState.aChannels[0].block.szAudioName), QByteArray("Mic A"));
        QCOMPARE(QByteArray(stState.aChannels[1].block.szDevID) + stState.aChannels[4].block.szDevID,
                 QByteArray("HDMI-2camA"));

        Edit(table, 2, "chNo", 9);
        QCOMPARE(table.ResetAll().eOutcome, E::DONE);
        QCOMPARE(ChannelNumbers(table.Records()), (QList<int>{0, 1, 4}));

        // Library messages reach the table from the library's thread through the user value it
        // registered; zero is a fault. A failed audio input marks a running channel until it is back.
        QSignalSpy spyState(&table, &CLS_ChannelTable::SigChannelState);
        for (int iMsg : {CAMERA_BUSINESS_MSG_CHANNEL_STARTED, CAMERA_BUSINESS_MSG_AUDIO_FAILED,
                         CAMERA_BUSINESS_MSG_CHANNEL_STARTED}) {
            std::thread([iMsg] { camera_business_inspect_send_message(iMsg, 4, 0); }).join();
        }
        QTRY_COMPARE(spyState.count(), 2);
        QCOMPARE(table.StateOf(4), int(CAMERA_BUSINESS_MSG_AUDIO_FAILED));
        QCOMPARE(CLS_ChannelTable::MessCallback(1, 2, 3, 0), -1);
    }

    // Stored records are taken whatever they said of the device's presence.
    void load()
    {
        STRUCT_ChanInfo structChanInfo;
        // The desktop was edited and its screen has another size now; camA is known, camGone absent.
        QJsonObject qjsonDesk =
            CLS_ChanRecord::MakeDesktopChannel({0, QRect(0, 0, 800, 600), "old"}, {}, 0, structChanInfo);
        qjsonDesk.insert("videoBitRate", 4096);
        qjsonDesk.insert("audioName", "Mic A");
        qjsonDesk.insert("enableAudio", true);
        QJsonObject qjsonCamA = CLS_ChanRecord::MakeUsbChannel(Camera("camA"), {}, 6, structChanInfo);
        qjsonCamA.insert("enable", false);
        qjsonCamA.insert("videoFrameRate", 25);
        const QJsonObject qjsonGone =
            CLS_ChanRecord::MakeUsbChannel(Camera("camGone"), {}, 8, structChanInfo);
        QVERIFY(WriteJsonFile({{"chInfo", QJsonArray{qjsonGone, qjsonDesk, qjsonCamA}}}, m_qstrPath));
        m_cameras.m_vecCamera = {Camera("camA"), Camera("camNew")};
        m_audio.m_vecInput = {{"Mic B", {}, {2}}, {"Mic A", {}, {2}}};
        CLS_ChannelTable& table = Table();
        QVERIFY(table.Start());
        QCOMPARE(table.Load().eOutcome, E::DONE);

        QCOMPARE(ChannelNumbers(table.Records()), (QList<int>{0, 6, 4}));
        const CB_State stState = LibraryState();
        // Desktop 0 keeps the user's values and its input, at the size of today's screen.
        QCOMPARE(stState.aChannels[0].block.iVideoBitRate + stState.aChannels[0].block.iCameraWidth,
                 4096 + 1920);
        QCOMPARE(AudioHolders(m_registry).value(0), QStringList{"Mic A"});
        // The known camera is published enabled, with its values.
        const STRUCT_ChanInfo& block = stState.aChannels[6].block;
        QCOMPARE(QByteArray(block.szDevID) + char('0' + block.ucEnable), QByteArray("camA1"));
        QCOMPARE(block.iVideoFrameRate, 25);
    }

    // Back to its defaults, keeping its input; a desktop number without a screen stays as it was.
    void resetChannel()
    {
        CLS_ChannelTable& table = Started({Camera("camA")}, {"Mic A", "Mic B"});
        const STRUCT_ChanInfo structDefault = LibraryState().aChannels[4].block;
        Edit(table, 1, "videoQuality", 3);
        Edit(table, 0, "videoQuality", 3);
        int iFrom = camera_business_inspect_journal_size();
        QCOMPARE(table.ResetChannel(1, 4).eOutcome, E::DONE);
        QCOMPARE(LibraryCalls(iFrom), (QStringList{"delete_collector_fd(4)", "add_chan_info(4)"}));
        const STRUCT_ChanInfo block = LibraryState().aChannels[4].block;
        QCOMPARE(std::memcmp(&block, &structDefault, sizeof(block)), 0);
        QCOMPARE(RecordOf(table.Records(), 4).value("videoQuality").toInt(), 0);

        table.ScreensChanged({});
        const QJsonArray qJsonArrBefore = table.Records();
        iFrom = camera_business_inspect_journal_size();
        QCOMPARE(table.ResetChannel(0, 0).eOutcome, E::NO_TARGET);
        QCOMPARE(LibraryCalls(iFrom), QStringList());
        QCOMPARE(table.Records(), qJsonArrBefore);
    }

    void devices_cameraGoneThenBackWithItsInput()
    {
        CLS_ChannelTable& table = Started({Camera("camA"), Camera("camB")}, {"Mic 1", "Mic 2"});
        QCOMPARE(AudioHolders(m_registry).value(4), QStringList{"Mic 2"});
        int iFrom = camera_business_inspect_journal_size();
        // Disabled, its input free for others, its record kept for its return.
        QCOMPARE(table.DevicesChanged({}, {"camA"}).eOutcome, E::DONE);
        QCOMPARE(LibraryCalls(iFrom), QStringList{"set_disable(4)"});
        QVERIFY(!AudioHolders(m_registry).contains(4));

        iFrom = camera_business_inspect_journal_size();
        table.DevicesChanged({Camera("camA"), Camera("camC")}, {});
        QCOMPARE(LibraryCalls(iFrom), (QStringList{"add_chan_info(4)", "add_chan_info(6)"}));
        QCOMPARE(LibraryState().aChannels[4].block.ucEnableAudio, 1);
        QCOMPARE(AudioHolders(m_registry).value(4), QStringList{"Mic 2"});
    }

    // Desktop records follow their screens and keep the user's values; the library hears only of
    // the screen that changed, so the viewers of the others stay.
    void screens_followedOneByOne()
    {
        CLS_ChannelTable& table = Started({Camera("camA")}, {"Mic 1", "Mic 2", "Mic 3"});
        Edit(table, 0, "videoBitRate", 640);
        int iFrom = camera_business_inspect_journal_size();
        table.ScreensChanged(ScreenList(2));
        QCOMPARE(LibraryCalls(iFrom), QStringList{"add_chan_info(1)"});
        QVector<STRUCT_Screen> vecResized = ScreenList(2);
        vecResized[1].rect = QRect(1920, 0, 1280, 1024);
        iFrom = camera_business_inspect_journal_size();
        table.ScreensChanged(vecResized);
        QCOMPARE(LibraryCalls(iFrom), (QStringList{"delete_collector_fd(1)", "add_chan_info(1)"}));
        QCOMPARE(RecordOf(table.Records(), 0).value("videoBitRate").toInt(), 640);
        const QJsonObject qjsonSecond = RecordOf(table.Records(), 1);
        QCOMPARE(QRect(qjsonSecond.value("deskPosX").toInt(), 0, qjsonSecond.value("videoWidth").toInt(),
                       qjsonSecond.value("videoHeight").toInt()),
                 vecResized[1].rect);
        // Desktop 0 keeps its input rather than taking another.
        QCOMPARE(AudioHolders(m_registry).value(0), QStringList{"Mic 1"});
    }

    // Nothing is stored that the library refused or that was checked and found wrong before.
    void saveVideo_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QSize>("video");
        QTest::addColumn<QList<QSize>>("offered");
        QTest::addColumn<E>("outcome");
        QTest::addColumn<QString>("refused");
        const QList<QSize> lstFour{{2560, 1440}, {1920, 1080}, {1280, 720}, {640, 480}};
        QTest::newRow("camera, 2560*1440 captured at 1920*1080")
            << "" << QSize(2560, 1440) << lstFour << E::DONE << " ";
        QTest::newRow("camera without resolutions")
            << "" << QSize(0, 0) << QList<QSize>() << E::INVALID << "camera_business_set_video_size 0 0";
        QTest::newRow("size beyond the library") << "" << QSize(9000, 5000) << QList<QSize>{{1280, 720}}
                                                 << E::REFUSED << "camera_business_set_video_size 9000 5000";
        QTest::newRow("table changed under the page")
            << "moved" << QSize(1280, 720) << lstFour << E::MOVED << " ";
        QTest::newRow("settings file cannot be written")
            << "unwritable" << QSize(1280, 720) << lstFour << E::NOT_WRITTEN << " ";
    }
    void saveVideo()
    {
        QFETCH(QString, situation);
        QFETCH(QSize, video);
        QFETCH(QList<QSize>, offered);
        QFETCH(E, outcome);
        CLS_ChannelTable& table = Started({Camera("camA", offered)}, {});
        if (situation == "moved") {
            table.Store({table.Records().at(1), table.Records().at(0)});
        }
        const QJsonObject qjsonBefore = RecordOf(table.Records(), 4);
        const QByteArray qbaFile = ReadFile();
        const int iFrom = camera_business_inspect_journal_size();
        STRUCT_ChannelAnswer structAnswer;
        {
            const auto pRefused = situation == "unwritable" ? std::make_unique<WritesRefused>() : nullptr;
            structAnswer = table.SaveVideo(1, 4, {0, 3, 25, 4096, video, offered, "dev"});
        }
        QCOMPARE(structAnswer.eOutcome, outcome);
        const STRUCT_Refusal structRefusal = structAnswer.lstRefusal.value(0);
        QTEST(QString(structRefusal.qstrCall + ' ' + structRefusal.qstrlstValue.join(' ')), "refused");
        if (outcome != E::DONE && outcome != E::REFUSED) {
            QCOMPARE(LibraryCalls(iFrom), QStringList());
            QCOMPARE(ReadFile(), qbaFile);
            return;
        }
        const CB_ChannelState stChannel = LibraryState().aChannels[4];
        QCOMPARE(QList<int>(
                     {stChannel.iQuality, stChannel.iFrameRate, stChannel.iBitRate, stChannel.iCameraWidth}),
                 QList<int>({3, 25, 4096, CLS_ChanRecord::CaptureSize(video, offered).width()}));
        // What the library took is stored, a size it refused is not.
        const QJsonObject qjsonAfter = RecordOf(table.Records(), 4);
        QCOMPARE(qjsonAfter.value("videoFrameRate").toInt(), 25);
        QCOMPARE(qjsonAfter.value("videoWidth"),
                 outcome == E::DONE ? QJsonValue(video.width()) : qjsonBefore.value("videoWidth"));
        QCOMPARE(structAnswer.qJsonArrChInfo, table.Records());
    }

    void saveAudio_oneInputPerChannel()
    {
        m_audio.m_vecInput = {{"Mic A", {44100}, {2}}, {"Mic B", {48000}, {2}}, {"Mic C", {8000}, {1}}};
        CLS_ChannelTable& table = Table();
        table.ResetAll();
        auto save = [&](const QString& _qstrName, int _iRate, bool _blOn = true) {
            return table.SaveAudio(0, 0, {1, _qstrName, _iRate, _blOn});
        };
        // Repeated saves of another input: the channel moves to it and holds it alone.
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(save("Mic B", 48000).eOutcome, E::DONE);
            QCOMPARE(AudioHolders(m_registry), (QMap<int, QStringList>{{0, {"Mic B"}}}));
        }
        const CB_AudioCollectInfo stAudio = LibraryState().aChannels[0].audio;
        QCOMPARE(QByteArray(stAudio.szName) + QByteArray::number(stAudio.iSampleRate),
                 QByteArray("Mic B48000"));
        QCOMPARE(RecordOf(table.Records(), 0).value("audioSample").toInt(), 48000);

        // Taken by another channel since the list was shown, unplugged: nothing is stored and the
        // registry stays.
        STRUCT_Audio structAudio;
        QVERIFY(m_registry.ClaimAudioDev(7, "Mic C", true, structAudio));
        const QByteArray qbaFile = ReadFile();
        QCOMPARE(save("Mic C", 8000).eOutcome, E::INPUT_TAKEN);
        QCOMPARE(save("Mic Z", 44100).eOutcome, E::INPUT_GONE);
        QCOMPARE(ReadFile(), qbaFile);
        QCOMPARE(AudioHolders(m_registry), (QMap<int, QStringList>{{0, {"Mic B"}}, {7, {"Mic C"}}}));

        // With only its own input left, the channel may switch sound on; sound off frees the input.
        QVERIFY(m_registry.ClaimAudioDev(8, "Mic A", true, structAudio));
        QVERIFY(table.CanTurnSoundOn(0));
        QCOMPARE(save("Mic B", 48000, false).eOutcome, E::DONE);
        QVERIFY(m_registry.ClaimAudioDev(9, "Mic B", true, structAudio));
        QVERIFY(!table.CanTurnSoundOn(0));
        QCOMPARE(save("", 44100).eOutcome, E::NO_INPUT);
    }

    // The seeded watcher reports each change once, cameras and inputs alike, and a monitor that
    // changes size with the count unchanged.
    void watcher_reportsEachChangeOnce()
    {
        CLS_ThreadCheckAddRemoveDev watcher(m_registry);
        watcher.InitUsbDevIDs({"A", "B"});
        watcher.InitAudioDevNames({"A", "B"});
        watcher.InitScreenInfo(m_registry.m_vecScreen);
        QSignalSpy spyUsb(&watcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged);
        QSignalSpy spyAudio(&watcher, &CLS_ThreadCheckAddRemoveDev::SigAudioDeviceChanged);
        QSignalSpy spyScreen(&watcher, &CLS_ThreadCheckAddRemoveDev::SigScreenChanged);
        const QStringList qstrlstPresent{"A,B", "A", "A", "Z,A,C"};
        for (int i = 0; i < qstrlstPresent.size(); ++i) {
            QVector<STRUCT_Usb> vecUsb;
            QVector<STRUCT_Audio> vecAudio;
            for (const QString& qstrId : qstrlstPresent.at(i).split(',')) {
                vecUsb.append({"Camera", qstrId, {}, {}});
                vecAudio.append({qstrId, {}, 2, {}, 1, -1, 44100});
            }
            m_registry.SetUsbDevs(vecUsb);
            m_registry.SetAudioDevs(vecAudio);
            m_registry.m_vecScreen = ScreenList(1, i < 3 ? 1920 : 1280);
            watcher.RunCycle();
        }
        QCOMPARE(spyUsb.count(), 2);
        QCOMPARE(spyUsb.at(0).at(1).toStringList(), QStringList{"B"});
        QCOMPARE(spyAudio.count(), 2);
        QCOMPARE(spyScreen.count(), 1);
    }

private:
    CLS_ChannelTable& Table()
    {
        m_pTable = std::make_unique<CLS_ChannelTable>(CLS_Settings(m_qstrPath), m_registry);
        m_pTable->SetCameraSource(&m_cameras);
        m_pTable->SetAudioSource(&m_audio);
        return *m_pTable;
    }
    // A started library with the default channels of these cameras and inputs.
    CLS_ChannelTable& Started(const QVector<STRUCT_Usb>& _vecCamera, const QStringList& _qstrlstInput)
    {
        m_cameras.m_vecCamera = _vecCamera;
        for (const QString& qstrInput : _qstrlstInput) {
            m_audio.m_vecInput.append({qstrInput, {44100}, {2}});
        }
        CLS_ChannelTable& table = Table();
        table.Start();
        table.ResetAll();
        return table;
    }
    // The user's change of one value of the record at _iIndex, stored.
    static void Edit(CLS_ChannelTable& _table, int _iIndex, const QString& _qstrKey, int _iValue)
    {
        QJsonArray qJsonArrChInfo = _table.Records();
        QJsonObject qjsonRecord = qJsonArrChInfo.at(_iIndex).toObject();
        qjsonRecord.insert(_qstrKey, _iValue);
        qJsonArrChInfo.replace(_iIndex, qjsonRecord);
        QVERIFY(_table.Store(qJsonArrChInfo).Written());
    }
    QByteArray ReadFile() const
    {
        QFile qfile(m_qstrPath);
        return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray();
    }

    std::unique_ptr<QTemporaryDir> m_pDir;
    QString m_qstrPath;
    TestRegistry m_registry;
    FakeCameras m_cameras;
    FakeAudio m_audio;
    std::unique_ptr<CLS_ChannelTable> m_pTable;
};

QTEST_GUILESS_MAIN(TestChannelTable)
#include "test_channeltable.moc"
