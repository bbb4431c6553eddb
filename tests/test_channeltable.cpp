// The channel table without widgets: a real settings file in a temporary application folder, the
// real streaming library stand-in, prepared cameras, audio inputs and screens.
#include "ChannelTestSupport.h"
#include "common/PublicCommonFun.h"

#include <QTcpServer>
#include <QTemporaryDir>

#include <cstring>
#include <memory>
#include <thread>

Q_DECLARE_METATYPE(EnumChannelOutcome)

namespace {

// Screens and the desktop count, which this machine cannot vary; the rest is the real registry.
class TestRegistry : public CLS_DeviceRegistry
{
public:
    void GetScreenList(QVector<STRUCT_Screen>& _vecScreen) const override { _vecScreen += m_vecScreen; }
    int GetDesktopNeedChNo() const override { return m_iDesktops; }
    QVector<STRUCT_Screen> m_vecScreen;
    int m_iDesktops = 4;
};

QVector<STRUCT_Screen> Screens(int _iCount)
{
    QVector<STRUCT_Screen> vecScreen;
    for (int i = 0; i < _iCount; ++i) {
        vecScreen.append({i, QRect(i * 1920, 0, 1920, 1080), QString("HDMI-%1").arg(i + 1)});
    }
    return vecScreen;
}

STRUCT_VideoChoice Video(const QSize& _qsize, const QList<QSize>& _lstOffered, int _iCollectType = 1)
{
    return {_iCollectType, 3, 25, 4096, _qsize, _lstOffered, "dev"};
}

} // namespace

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
        m_registry = std::make_unique<TestRegistry>();
        m_registry->m_vecScreen = Screens(1);
        m_cameras = FakeCameras();
        m_audio = FakeAudio();
    }

    void start_emptyTable_publishesDefaults()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::AnyIPv4));
        const int iPort = server.serverPort();
        server.close();
        WriteConfig({{"hostInfo", QJsonObject{{"port", iPort},
                                              {"user", QString(QByteArray("admin").toBase64())},
                                              {"password", QString(QByteArray(64, 'p').toBase64())}}}});
        m_registry->m_vecScreen = Screens(2);
        m_cameras.m_vecCamera = {Camera("camA")};
        m_audio.Set({"Mic A"});
        CLS_ChannelTable& table = Table();
        QVERIFY(table.Start());
        QVERIFY(table.Records().isEmpty());
        QCOMPARE(table.ResetAll().eOutcome, EnumChannelOutcome::DONE);

        QCOMPARE(LibraryCalls(), (QStringList{"register_user", "set_mess_callback", "enable_send_stream",
                                              "startup", "cleanup", "startup", "set_chan_info"}));
        const CB_State stState = LibraryState();
        // A password longer than the library's 63 bytes is registered empty, never cut.
        QCOMPARE(QByteArray(stState.szUser) + ':' + stState.szPassword, QByteArray("admin:"));
        QCOMPARE(QList<int>({stState.iSendStreamEnabled, stState.iPort, stState.iCapacity}),
                 QList<int>({1, iPort, 16}));
        QCOMPARE(stState.aChannels[0].block.iCollectDevType, int(CAMERA_BUSINESS_DEVICE_DESKTOP));
        QCOMPARE(QByteArray(stState.aChannels[0].block.szAudioName), QByteArray("Mic A"));
        QCOMPARE(QByteArray(stState.aChannels[1].block.szDevID), QByteArray("HDMI-2"));
        QCOMPARE(QByteArray(stState.aChannels[4].block.szDevID), QByteArray("camA"));
        QCOMPARE(int(stState.aChannels[2].ucHasBlock), 0);
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

    // Stored records are taken whatever they said of the device's presence; a camera whose number
    // is unusable gives way to the lowest free number, as a new camera does.
    void load_data()
    {
        QTest::addColumn<int>("desktops");
        QTest::addColumn<int>("screens");
        QTest::addColumn<QJsonObject>("stored");
        QTest::addColumn<QList<int>>("numbers");
        QTest::newRow("stored disabled")
            << 4 << 1 << QJsonObject{{"chNo", 6}, {"enable", false}} << QList<int>{0, 6, 4};
        QTest::newRow("number out of range") << 4 << 1 << QJsonObject{{"chNo", 20}} << QList<int>{0, 4, 5};
        QTest::newRow("number a desktop's") << 4 << 1 << QJsonObject{{"chNo", 0}} << QList<int>{0, 4, 5};
        QTest::newRow("below a raised desktop count")
            << 6 << 2 << QJsonObject{{"chNo", 4}} << QList<int>{0, 1, 4, 6};
        QTest::newRow("more screens than desktop numbers")
            << 2 << 3 << QJsonObject{{"chNo", 2}} << QList<int>{0, 1, 2, 3};
    }
    void load()
    {
        QFETCH(int, desktops);
        QFETCH(int, screens);
        QFETCH(QJsonObject, stored);
        m_registry->m_iDesktops = desktops;
        m_registry->m_vecScreen = Screens(screens);
        STRUCT_ChanInfo structChanInfo;
        // The desktop was edited and its screen has another size now; camA is known, camGone absent.
        QJsonObject qjsonDesk =
            CLS_ChanRecord::MakeDesktopChannel({0, QRect(0, 0, 800, 600), "old"}, {}, 0, structChanInfo);
        qjsonDesk.insert("videoBitRate", 4096);
        qjsonDesk.insert("audioName", "Mic A");
        qjsonDesk.insert("enableAudio", true);
        QJsonObject qjsonCamA = CLS_ChanRecord::MakeUsbChannel(Camera("camA"), {}, 4, structChanInfo);
        for (auto it = stored.constBegin(); it != stored.constEnd(); ++it) {
            qjsonCamA.insert(it.key(), it.value());
        }
        qjsonCamA.insert("videoFrameRate", 25);
        const QJsonObject qjsonGone =
            CLS_ChanRecord::MakeUsbChannel(Camera("camGone"), {}, 8, structChanInfo);
        WriteConfig({{"chInfo", QJsonArray{qjsonGone, qjsonDesk, qjsonCamA}}});
        m_cameras.m_vecCamera = {Camera("camA"), Camera("camNew")};
        m_audio.Set({"Mic B", "Mic A"});
        CLS_ChannelTable& table = Table();
        QVERIFY(table.Start());
        QCOMPARE(table.Load().eOutcome, EnumChannelOutcome::DONE);

        const QJsonArray qJsonArrChInfo = table.Records();
        QTEST(ChannelNumbers(qJsonArrChInfo), "numbers");
        const CB_State stState = LibraryState();
        // Desktop 0 keeps the user's values and its input, at the size of today's screen.
        QCOMPARE(stState.aChannels[0].block.iVideoBitRate, 4096);
        QCOMPARE(stState.aChannels[0].block.iCameraWidth, 1920);
        QCOMPARE(RecordOf(qJsonArrChInfo, 0).value("resolutionRatio").toArray().size(), 1);
        QCOMPARE(AudioHolders(*m_registry).value(0), QStringList{"Mic A"});
        // The known camera is published enabled wherever it lands.
        const int iCamA = ChannelNumbers(qJsonArrChInfo).at(qMin(screens, desktops));
        QCOMPARE(RecordOf(qJsonArrChInfo, iCamA).value("devID").toString(), QString("camA"));
        QCOMPARE(RecordOf(qJsonArrChInfo, iCamA).value("enable").toBool(), true);
        QCOMPARE(QByteArray(stState.aChannels[iCamA].block.szDevID) +
                     char('0' + stState.aChannels[iCamA].block.ucEnable),
                 QByteArray("camA1"));
        if (iCamA == stored.value("chNo").toInt()) {
            QCOMPARE(stState.aChannels[iCamA].block.iVideoFrameRate, 25); // the user's value, kept
        }
        QVERIFY(!ChannelNumbers(qJsonArrChInfo).contains(8));
        QCOMPARE(table.Cameras().size(), 2);
    }

    void resetAll_rebuildsFromDefaults()
    {
        m_cameras.m_vecCamera = {Camera("camA"), Camera("camB")};
        CLS_ChannelTable& table = Table();
        QVERIFY(table.Start());
        table.ResetAll();
        QJsonArray qJsonArrChInfo = table.Records();
        QJsonObject qjsonEdited = qJsonArrChInfo.at(1).toObject();
        qjsonEdited.insert("chNo", 9);
        qJsonArrChInfo.replace(1, qjsonEdited);
        QVERIFY(table.Store(qJsonArrChInfo).blWritten);
        const int iFrom = camera_business_inspect_journal_size();
        QCOMPARE(table.ResetAll().eOutcome, EnumChannelOutcome::DONE);
        QCOMPARE(LibraryCalls(iFrom), (QStringList{"cleanup", "startup", "set_chan_info"}));
        QCOMPARE(ChannelNumbers(table.Records()), (QList<int>{0, 4, 5}));
        QCOMPARE(int(LibraryState().aChannels[9].ucHasBlock), 0);
    }

    void resetChannel_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("index");
        QTest::addColumn<EnumChannelOutcome>("outcome");
        QTest::newRow("desktop back to defaults") << "" << 0 << EnumChannelOutcome::DONE;
        QTest::newRow("camera back to defaults, keeps its input") << "" << 1 << EnumChannelOutcome::DONE;
        QTest::newRow("position holds another channel") << "stale" << 1 << EnumChannelOutcome::NO_TARGET;
        QTest::newRow("desktop number without a screen") << "noScreen" << 0 << EnumChannelOutcome::NO_TARGET;
        QTest::newRow("camera unplugged") << "cameraGone" << 1 << EnumChannelOutcome::NO_TARGET;
        QTest::newRow("settings file not writable") << "unwritable" << 1 << EnumChannelOutcome::NOT_WRITTEN;
    }
    void resetChannel()
    {
        QFETCH(QString, situation);
        QFETCH(int, index);
        QFETCH(EnumChannelOutcome, outcome);
        m_cameras.m_vecCamera = {Camera("camA")};
        m_audio.Set({"Mic A", "Mic B"});
        CLS_ChannelTable& table = Table();
        QVERIFY(table.Start());
        table.ResetAll();
        const int iChNo = index == 0 ? 0 : 4;
        const STRUCT_ChanInfo structDefault = LibraryState().aChannels[iChNo].block;
        QJsonArray qJsonArrChInfo = table.Records();
        QJsonObject qjsonEdited = qJsonArrChInfo.at(index).toObject();
        qjsonEdited.insert("videoQuality", 3);
        qJsonArrChInfo.replace(index, qjsonEdited);
        if (situation == "stale") {
            qJsonArrChInfo = QJsonArray{qJsonArrChInfo.at(1), qJsonArrChInfo.at(0)};
        } else if (situation == "noScreen") {
            table.ScreensChanged({});
        } else if (situation == "cameraGone") {
            table.DevicesChanged({}, {"camA"});
            qJsonArrChInfo = table.Records();
        }
        QVERIFY(table.Store(qJsonArrChInfo).blWritten);
        const QJsonArray qJsonArrBefore = table.Records();
        const int iFrom = camera_business_inspect_journal_size();
        STRUCT_ChannelAnswer structAnswer;
        {
            const auto pRefused = situation == "unwritable" ? std::make_unique<WritesRefused>() : nullptr;
            structAnswer = table.ResetChannel(index, iChNo);
        }
        QCOMPARE(structAnswer.eOutcome, outcome);
        if (outcome != EnumChannelOutcome::DONE) {
            QCOMPARE(LibraryCalls(iFrom), QStringList());
            QCOMPARE(table.Records(), qJsonArrBefore);
            return;
        }
        QCOMPARE(LibraryCalls(iFrom), (QStringList{QString("delete_collector_fd(%1)").arg(iChNo),
                                                   QString("add_chan_info(%1)").arg(iChNo)}));
        const STRUCT_ChanInfo block = LibraryState().aChannels[iChNo].block;
        QCOMPARE(std::memcmp(&block, &structDefault, sizeof(block)), 0);
        QCOMPARE(RecordOf(table.Records(), iChNo).value("videoQuality").toInt(), 0);
        QCOMPARE(structAnswer.qJsonArrChInfo, table.Records());
    }

    void devices_cameraGoneThenBackWithItsInput()
    {
        m_cameras.m_vecCamera = {Camera("camA"), Camera("camB")};
        m_audio.Set({"Mic 1", "Mic 2"});
        CLS_ChannelTable& table = Table();
        QVERIFY(table.Start());
        table.ResetAll();
        QCOMPARE(AudioHolders(*m_registry).value(4), QStringList{"Mic 2"});
        int iFrom = camera_business_inspect_journal_size();
        QCOMPARE(table.DevicesChanged({}, {"camA"}).eOutcome, EnumChannelOutcome::DONE);
        // Disabled, its input free for others, its record kept for its return.
        QCOMPARE(LibraryCalls(iFrom), QStringList{"set_disable(4)"});
        QVERIFY(!AudioHolders(*m_registry).contains(4));
        QCOMPARE(RecordOf(table.Records(), 4).value("enable").toBool(true), false);

        iFrom = camera_business_inspect_journal_size();
        table.DevicesChanged({Camera("camA"), Camera("camC")}, {});
        QCOMPARE(LibraryCalls(iFrom), (QStringList{"add_chan_info(4)", "add_chan_info(6)"}));
        QCOMPARE(LibraryState().aChannels[4].block.ucEnableAudio, 1);
        QCOMPARE(AudioHolders(*m_registry).value(4), QStringList{"Mic 2"});
        QCOMPARE(ChannelNumbers(table.Records()), (QList<int>{0, 4, 5, 6}));
        QCOMPARE(RecordOf(table.Records(), 4).value("enable").toBool(), true);
    }

    // Desktop records follow their screens and keep the user's values; the library hears only of
    // the screens that changed, so the viewers of the others stay.
    void screens_followedOneByOne_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QVector<STRUCT_Screen>>("after");
        QTest::addColumn<int>("desktops");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QList<int>>("enabled");
        QTest::newRow("added") << 1 << Screens(2) << 4 << QStringList{"add_chan_info(1)"}
                               << QList<int>{0, 4, 1};
        // Raised from 4 to 6 after the camera took 4: it stays a camera.
        QTest::newRow("added, desktop count raised")
            << 1 << Screens(2) << 6 << QStringList{"add_chan_info(1)"} << QList<int>{0, 4, 1};
        QTest::newRow("removed") << 2 << Screens(1) << 4 << QStringList{"set_disable(1)"} << QList<int>{0, 4};
        QVector<STRUCT_Screen> vecResized = Screens(2);
        vecResized[1].rect = QRect(1920, 0, 1280, 1024);
        QTest::newRow("second resized")
            << 2 << vecResized << 4 << QStringList{"delete_collector_fd(1)", "add_chan_info(1)"}
            << QList<int>{0, 1, 4};
    }
    void screens_followedOneByOne()
    {
        QFETCH(int, before);
        QFETCH(QVector<STRUCT_Screen>, after);
        m_registry->m_vecScreen = Screens(before);
        m_cameras.m_vecCamera = {Camera("camA")};
        m_audio.Set({"Mic 1", "Mic 2", "Mic 3"});
        CLS_ChannelTable& table = Table();
        QVERIFY(table.Start());
        table.ResetAll();
        QJsonArray qJsonArrChInfo = table.Records();
        QJsonObject qjsonDesk = qJsonArrChInfo.at(0).toObject();
        qjsonDesk.insert("videoBitRate", 640);
        qJsonArrChInfo.replace(0, qjsonDesk);
        table.Store(qJsonArrChInfo);
        QFETCH(int, desktops);
        m_registry->m_iDesktops = desktops;
        const int iFrom = camera_business_inspect_journal_size();
        table.ScreensChanged(after);
        QTEST(LibraryCalls(iFrom), "calls");
        QList<int> lstEnabled;
        for (const QJsonValue& qjsonValue : table.Records()) {
            if (qjsonValue.toObject().value("enable").toBool()) {
                lstEnabled.append(qjsonValue.toObject().value("chNo").toInt());
            }
        }
        QTEST(lstEnabled, "enabled");
        QCOMPARE(RecordOf(table.Records(), 0).value("videoBitRate").toInt(), 640);
        const QJsonObject qjsonLast = RecordOf(table.Records(), after.size() - 1);
        QCOMPARE(QRect(qjsonLast.value("deskPosX").toInt(), 0, qjsonLast.value("videoWidth").toInt(),
                       qjsonLast.value("videoHeight").toInt()),
                 after.last().rect);
        // Desktop 0 keeps its input rather than taking another; a removed desktop frees its own.
        QCOMPARE(AudioHolders(*m_registry).value(0), QStringList{"Mic 1"});
        STRUCT_Audio structAudio;
        QCOMPARE(m_registry->ClaimAudioDev(9, "Mic 2", false, structAudio), after.size() < before);
    }

    // Cameras are probed once, when they first appear; inputs too, and an unchanged listing of
    // inputs changes nothing.
    void refresh_probesNewDevicesOnly()
    {
        m_cameras.m_vecCamera = {Camera("camA")};
        m_audio.m_vecInput = {
            {"Mic", {48000}, {1, 2}}, {"", {}, {}}, {"Line", {}, {1}}, {"Mic", {8000}, {1}}};
        CLS_ChannelTable& table = Table();
        table.ResetAll();
        QCOMPARE(m_cameras.m_iProbes, 1);
        QCOMPARE(m_audio.m_qstrlstProbed, (QStringList{"Mic", "Line"}));
        QCOMPARE(m_registry->GetAudioDevs().at(0).lstSampleRate, QList<int>{48000});
        m_cameras.m_vecCamera.append(Camera("camB"));
        table.RefreshCameras({});
        QCOMPARE(m_cameras.m_iProbes, 2);
        QCOMPARE(m_registry->GetUsbDevs().at(1).lstCollectType, Camera("camB").lstCollectType);
        m_audio.m_vecInput.append({"USB", {16000}, {2}});
        m_audio.m_vecInput.removeAt(2);
        table.RefreshAudio();
        table.RefreshAudio();
        QCOMPARE(m_audio.m_qstrlstProbed, (QStringList{"Mic", "Line", "USB"}));
        const QVector<STRUCT_Audio> vecAudio = m_registry->GetAudioDevs();
        QCOMPARE(vecAudio.size(), 2);
        QCOMPARE(vecAudio.at(0).iHolderChNo * 10 + vecAudio.at(1).iHolderChNo, -1); // Mic kept by 0
    }

    // Nothing is stored that the library refused or that was checked and found wrong before.
    void saveVideo_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QSize>("video");
        QTest::addColumn<QList<QSize>>("offered");
        QTest::addColumn<QSize>("camera");
        QTest::addColumn<EnumChannelOutcome>("outcome");
        QTest::addColumn<QStringList>("refused");
        const QList<QSize> lstFour{{640, 480}, {1280, 720}, {1920, 1080}, {2560, 1440}};
        QTest::newRow("2560*1440 captured at 1920*1080")
            << "" << QSize(2560, 1440) << lstFour << QSize(1920, 1080) << EnumChannelOutcome::DONE
            << QStringList();
        QTest::newRow("largest first, the same")
            << "" << QSize(2560, 1440) << QList<QSize>{lstFour.rbegin(), lstFour.rend()} << QSize(1920, 1080)
            << EnumChannelOutcome::DONE << QStringList();
        QTest::newRow("camera without resolutions")
            << "" << QSize(0, 0) << QList<QSize>() << QSize() << EnumChannelOutcome::INVALID
            << QStringList{"camera_business_set_video_size 0 0"};
        QTest::newRow("size beyond the library")
            << "" << QSize(9000, 5000) << QList<QSize>{{1280, 720}} << QSize(1280, 720)
            << EnumChannelOutcome::REFUSED << QStringList{"camera_business_set_video_size 9000 5000"};
        QTest::newRow("desktop: no collect type")
            << "desktop" << QSize(1920, 1080) << QList<QSize>{{1920, 1080}} << QSize(1920, 1080)
            << EnumChannelOutcome::DONE << QStringList();
        QTest::newRow("table changed under the page") << "moved" << QSize(1280, 720) << lstFour << QSize()
                                                      << EnumChannelOutcome::MOVED << QStringList();
        QTest::newRow("settings file cannot be written")
            << "unwritable" << QSize(1280, 720) << lstFour << QSize() << EnumChannelOutcome::NOT_WRITTEN
            << QStringList();
    }
    void saveVideo()
    {
        QFETCH(QString, situation);
        QFETCH(QSize, video);
        QFETCH(QList<QSize>, offered);
        QFETCH(QSize, camera);
        QFETCH(EnumChannelOutcome, outcome);
        m_cameras.m_vecCamera = {Camera("camA", offered)};
        CLS_ChannelTable& table = Table();
        QVERIFY(table.Start());
        table.ResetAll();
        if (situation == "moved") {
            const QJsonArray qJsonArrChInfo = table.Records();
            table.Store(QJsonArray{qJsonArrChInfo.at(1), qJsonArrChInfo.at(0)});
        }
        const bool blDesktop = situation == "desktop";
        const int iIndex = blDesktop ? 0 : 1;
        const int iChNo = blDesktop ? 0 : 4;
        const QJsonObject qjsonBefore = RecordOf(table.Records(), iChNo);
        const QByteArray qbaFile = ReadFile();
        const int iFrom = camera_business_inspect_journal_size();
        STRUCT_ChannelAnswer structAnswer;
        {
            const auto pRefused = situation == "unwritable" ? std::make_unique<WritesRefused>() : nullptr;
            structAnswer =
                table.SaveVideo(iIndex, iChNo, Video(video, offered, CAMERA_BUSINESS_COLLECT_MJPEG));
        }
        QCOMPARE(structAnswer.eOutcome, outcome);
        QStringList qstrlstRefused;
        for (const STRUCT_Refusal& structRefusal : qAsConst(structAnswer.lstRefusal)) {
            qstrlstRefused.append(structRefusal.qstrCall + ' ' + structRefusal.qstrlstValue.join(' '));
        }
        QTEST(qstrlstRefused, "refused");
        if (outcome != EnumChannelOutcome::DONE && outcome != EnumChannelOutcome::REFUSED) {
            QCOMPARE(LibraryCalls(iFrom), QStringList());
            QCOMPARE(ReadFile(), qbaFile);
            return;
        }
        QCOMPARE(LibraryCalls(iFrom).size(), blDesktop ? 5 : 6);
        const CB_ChannelState stChannel = LibraryState().aChannels[iChNo];
        QCOMPARE(QList<int>(
                     {stChannel.iQuality, stChannel.iFrameRate, stChannel.iBitRate, stChannel.iCollectType}),
                 QList<int>({3, 25, 4096, blDesktop ? -1 : CAMERA_BUSINESS_COLLECT_MJPEG}));
        QCOMPARE(QSize(stChannel.iCameraWidth, stChannel.iCameraHeight), camera);
        // What the library took is stored, a size it refused is not.
        QJsonObject qjsonExpected = qjsonBefore;
        qjsonExpected.insert("videoQuality", 3);
        qjsonExpected.insert("videoFrameRate", 25);
        qjsonExpected.insert("videoBitRate", 4096);
        qjsonExpected.insert("collectType", CAMERA_BUSINESS_COLLECT_MJPEG);
        qjsonExpected.insert("collectDevName", "dev");
        if (outcome == EnumChannelOutcome::DONE) {
            qjsonExpected.insert("videoWidth", video.width());
            qjsonExpected.insert("videoHeight", video.height());
        }
        QCOMPARE(RecordOf(table.Records(), iChNo), qjsonExpected);
        QCOMPARE(structAnswer.qJsonArrChInfo, table.Records());
    }

    void saveAudio_oneInputPerChannel()
    {
        m_audio.m_vecInput = {
            {"Mic A", {44100}, {2}}, {"Mic B", {48000}, {2}}, {"Mic C", {8000}, {1}}, {"Mic D", {4000}, {1}}};
        CLS_ChannelTable& table = Table();
        QVERIFY(table.Start());
        table.ResetAll();
        auto save = [&](const QString& _qstrName, int _iRate, bool _blOn = true) {
            return table.SaveAudio(0, 0, {1, _qstrName, _iRate, _blOn}).eOutcome;
        };
        // Repeated saves of another input: the channel moves to it and holds it alone.
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(save("Mic B", 48000), EnumChannelOutcome::DONE);
            QCOMPARE(AudioHolders(*m_registry), (QMap<int, QStringList>{{0, {"Mic B"}}}));
        }
        const CB_AudioCollectInfo stAudio = LibraryState().aChannels[0].audio;
        QCOMPARE(QByteArray(stAudio.szName) + QByteArray::number(stAudio.iSampleRate),
                 QByteArray("Mic B48000"));
        QCOMPARE(QList<int>({stAudio.iEnctype, stAudio.iChannels, stAudio.iBits}), QList<int>({1, 2, 16}));
        QCOMPARE(RecordOf(table.Records(), 0).value("audioSample").toInt(), 48000);

        // Taken by another channel since the list was shown, refused by the library, unplugged:
        // nothing is stored and the registry stays.
        STRUCT_Audio structAudio;
        QVERIFY(m_registry->ClaimAudioDev(7, "Mic C", true, structAudio));
        const QByteArray qbaFile = ReadFile();
        const QMap<int, QStringList> mapHeld = AudioHolders(*m_registry);
        QCOMPARE(save("Mic C", 8000), EnumChannelOutcome::INPUT_TAKEN);
        const STRUCT_ChannelAnswer structRefused = table.SaveAudio(0, 0, {1, "Mic D", 4000, true});
        QCOMPARE(structRefused.eOutcome, EnumChannelOutcome::REFUSED);
        QCOMPARE(structRefused.lstRefusal.at(0).qstrlstValue, (QStringList{"Mic D", "4000"}));
        QCOMPARE(save("Mic Z", 44100), EnumChannelOutcome::INPUT_GONE);
        QCOMPARE(ReadFile(), qbaFile);
        QCOMPARE(AudioHolders(*m_registry), mapHeld);

        // With only its own input left, the channel may switch sound on; sound off frees the input.
        QVERIFY(m_registry->ClaimAudioDev(8, "Mic A", true, structAudio));
        QVERIFY(table.CanTurnSoundOn(0));
        QCOMPARE(save("Mic B", 48000, false), EnumChannelOutcome::DONE);
        QCOMPARE(AudioHolders(*m_registry), (QMap<int, QStringList>{{7, {"Mic C"}}, {8, {"Mic A"}}}));
        QCOMPARE(int(LibraryState().aChannels[0].audio.ucEnableAudio), 0);
        QVERIFY(m_registry->ClaimAudioDev(9, QString(), true, structAudio));
        QVERIFY(m_registry->ClaimAudioDev(10, QString(), true, structAudio));
        QVERIFY(!table.CanTurnSoundOn(0));
        QCOMPARE(save("", 44100), EnumChannelOutcome::NO_INPUT);
    }

private:
    CLS_ChannelTable& Table()
    {
        m_pTable = std::make_unique<CLS_ChannelTable>(CLS_Settings(m_qstrPath), *m_registry);
        m_pTable->SetCameraSource(&m_cameras);
        m_pTable->SetAudioSource(&m_audio);
        return *m_pTable;
    }
    void WriteConfig(const QJsonObject& _qjsonConfig) { QVERIFY(WriteJsonFile(_qjsonConfig, m_qstrPath)); }
    QByteArray ReadFile() const
    {
        QFile qfile(m_qstrPath);
        return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray();
    }

    std::unique_ptr<QTemporaryDir> m_pDir;
    QString m_qstrPath;
    std::unique_ptr<TestRegistry> m_registry;
    FakeCameras m_cameras;
    FakeAudio m_audio;
    std::unique_ptr<CLS_ChannelTable> m_pTable;
};

QTEST_GUILESS_MAIN(TestChannelTable)
#include "test_channeltable.moc"
