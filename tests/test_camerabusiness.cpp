// The streaming library stand-in: its state after each call and its refusals.
#include "CameraBusinessTestSupport.h"

#include <limits>

namespace {

enum EnumCall
{
    CALL_QUALITY,
    CALL_FRAME_RATE,
    CALL_BIT_RATE,
    CALL_VIDEO_SIZE,
    CALL_CAMERA_SIZE,
    CALL_COLLECT_TYPE,
    CALL_AUDIO,
    CALL_DISABLE,
    CALL_DELETE_COLLECTOR,
    CALL_ADD_CHAN_INFO,
    CALL_SET_CHAN_INFO,
    CALL_CLEANUP
};

// One call of the given kind with the given channel and value(s); the audio call varies its sample
// rate with _iValue.
int Invoke(EnumCall _eCall, int _iChNo, int _iValue = 1, int _iValue2 = 1)
{
    STRUCT_ChanInfo stBlock = MakeBlock(_iChNo, "block");
    switch (_eCall) {
    case CALL_QUALITY:
        return camera_business_set_video_quality(_iChNo, _iValue);
    case CALL_FRAME_RATE:
        return camera_business_set_frame_rate(_iChNo, _iValue);
    case CALL_BIT_RATE:
        return camera_business_set_bit_rate(_iChNo, _iValue);
    case CALL_VIDEO_SIZE:
        return camera_business_set_video_size(_iChNo, _iValue, _iValue2);
    case CALL_CAMERA_SIZE:
        return camera_business_set_camera_size(_iChNo, _iValue, _iValue2);
    case CALL_COLLECT_TYPE:
        return camera_business_set_collect_type(_iChNo, _iValue);
    case CALL_AUDIO:
        return camera_business_set_audio_collect_info(_iChNo, "mic", 1, 2, 16, _iValue, true);
    case CALL_DISABLE:
        return camera_business_set_disable(_iChNo);
    case CALL_DELETE_COLLECTOR:
        return camera_delete_collector_fd(_iChNo);
    case CALL_ADD_CHAN_INFO:
        return camera_business_add_chan_info(&stBlock);
    case CALL_SET_CHAN_INFO:
        return camera_business_set_chan_info(&stBlock, 1);
    case CALL_CLEANUP:
        return camera_business_cleanup();
    }
    return -100;
}

// The value the state keeps for a setter call (its first value), or -100 for a call that keeps none.
int Kept(EnumCall _eCall, int _iChNo)
{
    const CB_ChannelState stChannel = State().aChannels[_iChNo];
    switch (_eCall) {
    case CALL_QUALITY:
        return stChannel.iQuality;
    case CALL_FRAME_RATE:
        return stChannel.iFrameRate;
    case CALL_BIT_RATE:
        return stChannel.iBitRate;
    case CALL_VIDEO_SIZE:
        return stChannel.iVideoWidth;
    case CALL_CAMERA_SIZE:
        return stChannel.iCameraWidth;
    case CALL_COLLECT_TYPE:
        return stChannel.iCollectType;
    case CALL_AUDIO:
        return stChannel.audio.iSet != 0 ? stChannel.audio.iSampleRate : -1;
    default:
        return -100;
    }
}

} // namespace

Q_DECLARE_METATYPE(EnumCall)

class TestCameraBusiness : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void testReset_forgetsEverything();
    void testStart_keepsEachStepAndJournalsItInOrder();
    void testBeforeStartup_refused_data();
    void testBeforeStartup_refused();
    void testStartup_rangeEdges_data();
    void testStartup_rangeEdges();
    void testStartup_twiceWithoutCleanup_refused();
    void testSetter_rangeEdges_data();
    void testSetter_rangeEdges();
    void testAudio_rangeEdges_data();
    void testAudio_rangeEdges();
    void testAudio_soundOffWithoutRate_accepted();
    void testRegister_refusals_data();
    void testRegister_refusals();
    void testCallback_nullRefusedWithMinusOne();
    void testEnableSendStream_data();
    void testEnableSendStream();
    void testCleanup_keepsRegistrationAndStartsAgain();
};

void TestCameraBusiness::init()
{
    camera_business_inspect_reset();
    g_stReceived = STRUCT_Received();
}

void TestCameraBusiness::testReset_forgetsEverything()
{
    StartLibrary();
    const STRUCT_ChanInfo stBlock = MakeBlock(2, "desk");
    QCOMPARE(camera_business_add_chan_info(&stBlock), 1);
    camera_business_inspect_reset();

    const CB_State stState = State();
    QCOMPARE(int(stState.ucRegistered), 0);
    QCOMPARE(int(stState.ucHasCallback), 0);
    QCOMPARE(int(stState.ucStarted), 0);
    QCOMPARE(stState.iStartupCount, 0);
    QCOMPARE(int(stState.aChannels[2].ucHasBlock), 0);
    QCOMPARE(stState.aChannels[2].iQuality, -1);
    QCOMPARE(stState.aChannels[2].audio.iSet, 0);
    QCOMPARE(camera_business_inspect_journal_size(), 0);
    QCOMPARE(camera_business_inspect_send_message(1, 2, 3), -2);
}

void TestCameraBusiness::testStart_keepsEachStepAndJournalsItInOrder()
{
    QCOMPARE(camera_business_register_user("admin", "secret"), 1);
    CB_State stState = State();
    QCOMPARE(int(stState.ucRegistered), 1);
    QCOMPARE(QByteArray(stState.szUser), QByteArray("admin"));
    QCOMPARE(QByteArray(stState.szPassword), QByteArray("secret"));
    QCOMPARE(int(stState.ucStarted), 0);

    QCOMPARE(camera_business_set_mess_callback(RecordingCallback, 77), 0);
    stState = State();
    QCOMPARE(int(stState.ucHasCallback), 1);
    QCOMPARE(stState.iCallbackUser, 77);

    QCOMPARE(camera_business_enable_send_stream(1), 1);
    QCOMPARE(State().iSendStreamEnabled, 1);

    QCOMPARE(camera_business_startup(6000, 16), 1);
    stState = State();
    QCOMPARE(int(stState.ucStarted), 1);
    QCOMPARE(stState.iPort, 6000);
    QCOMPARE(stState.iCapacity, 16);
    QCOMPARE(stState.iStartupCount, 1);

    const QStringList qstrlstExpected{"camera_business_register_user", "camera_business_set_mess_callback",
                                      "camera_business_enable_send_stream", "camera_business_startup"};
    QCOMPARE(camera_business_inspect_journal_size(), qstrlstExpected.size());
    for (int i = 0; i < qstrlstExpected.size(); ++i) {
        const QJsonObject qJsonEntry = JournalEntry(i);
        QCOMPARE(qJsonEntry.value("call").toString(), qstrlstExpected.at(i));
        QCOMPARE(qJsonEntry.value("seq").toInt(), i + 1);
        QVERIFY(!qJsonEntry.contains("refused"));
    }
    QCOMPARE(JournalEntry(1).value("result").toInt(), 0);
    QCOMPARE(JournalEntry(3).value("args").toObject().value("port").toInt(), 6000);
    QCOMPARE(JournalEntry(0).value("args").toObject().value("user").toString(), QString("admin"));
    QVERIFY(!JournalText(0).contains("secret"));
}

void TestCameraBusiness::testBeforeStartup_refused_data()
{
    QTest::addColumn<EnumCall>("eCall");
    QTest::newRow("quality") << CALL_QUALITY;
    QTest::newRow("frame rate") << CALL_FRAME_RATE;
    QTest::newRow("bit rate") << CALL_BIT_RATE;
    QTest::newRow("video size") << CALL_VIDEO_SIZE;
    QTest::newRow("camera size") << CALL_CAMERA_SIZE;
    QTest::newRow("collect type") << CALL_COLLECT_TYPE;
    QTest::newRow("audio") << CALL_AUDIO;
    QTest::newRow("disable") << CALL_DISABLE;
    QTest::newRow("delete collector") << CALL_DELETE_COLLECTOR;
    QTest::newRow("add block") << CALL_ADD_CHAN_INFO;
    QTest::newRow("set blocks") << CALL_SET_CHAN_INFO;
    QTest::newRow("cleanup") << CALL_CLEANUP;
}

void TestCameraBusiness::testBeforeStartup_refused()
{
    QFETCH(EnumCall, eCall);
    QCOMPARE(camera_business_register_user("admin", "secret"), 1);
    const int iValue = eCall == CALL_AUDIO ? 44100 : 1;
    QCOMPARE(Invoke(eCall, 1, iValue, 1), 0);

    const CB_State stState = State();
    QCOMPARE(int(stState.aChannels[1].ucHasBlock), 0);
    QCOMPARE(int(stState.aChannels[1].ucDisabled), 0);
    QCOMPARE(stState.aChannels[1].iCollectorDeletes, 0);
    QCOMPARE(stState.iCleanupCount, 0);
    if (Kept(eCall, 1) != -100) {
        QCOMPARE(Kept(eCall, 1), -1);
    }
    QCOMPARE(LastEntry().value("refused").toString(), QString("not started"));
    QCOMPARE(LastEntry().value("result").toInt(), 0);
}

void TestCameraBusiness::testStartup_rangeEdges_data()
{
    QTest::addColumn<int>("iPort");
    QTest::addColumn<int>("iCapacity");
    QTest::addColumn<int>("iExpected");
    QTest::newRow("port -1") << -1 << 16 << 0;
    QTest::newRow("port 0") << 0 << 16 << 1;
    QTest::newRow("port 65535") << 65535 << 16 << 1;
    QTest::newRow("port 65536") << 65536 << 16 << 0;
    QTest::newRow("capacity 0") << 6000 << 0 << 0;
    QTest::newRow("capacity 1") << 6000 << 1 << 1;
    QTest::newRow("capacity 16") << 6000 << 16 << 1;
    QTest::newRow("capacity 17") << 6000 << 17 << 0;
}

void TestCameraBusiness::testStartup_rangeEdges()
{
    QFETCH(int, iPort);
    QFETCH(int, iCapacity);
    QFETCH(int, iExpected);
    QCOMPARE(camera_business_startup(iPort, iCapacity), iExpected);
    const CB_State stState = State();
    QCOMPARE(int(stState.ucStarted), iExpected);
    QCOMPARE(stState.iStartupCount, iExpected);
    QCOMPARE(stState.iPort, iExpected == 1 ? iPort : 0);
    QCOMPARE(stState.iCapacity, iExpected == 1 ? iCapacity : 0);
}

void TestCameraBusiness::testStartup_twiceWithoutCleanup_refused()
{
    StartLibrary();
    QCOMPARE(camera_business_startup(7000, 8), 0);
    const CB_State stState = State();
    QCOMPARE(stState.iPort, 6000);
    QCOMPARE(stState.iCapacity, 16);
    QCOMPARE(stState.iStartupCount, 1);
    QCOMPARE(LastEntry().value("refused").toString(), QString("already started"));
}

void TestCameraBusiness::testSetter_rangeEdges_data()
{
    QTest::addColumn<EnumCall>("eCall");
    QTest::addColumn<int>("iChNo");
    QTest::addColumn<int>("iValue");
    QTest::addColumn<int>("iValue2");
    QTest::addColumn<int>("iExpected");
    QTest::newRow("quality -1") << CALL_QUALITY << 0 << -1 << 0 << 0;
    QTest::newRow("quality 0") << CALL_QUALITY << 0 << 0 << 0 << 1;
    QTest::newRow("quality 4") << CALL_QUALITY << 0 << 4 << 0 << 1;
    QTest::newRow("quality 5") << CALL_QUALITY << 0 << 5 << 0 << 0;
    QTest::newRow("frame rate 0") << CALL_FRAME_RATE << 3 << 0 << 0 << 0;
    QTest::newRow("frame rate 1") << CALL_FRAME_RATE << 3 << 1 << 0 << 1;
    QTest::newRow("frame rate 60") << CALL_FRAME_RATE << 3 << 60 << 0 << 1;
    QTest::newRow("frame rate 61") << CALL_FRAME_RATE << 3 << 61 << 0 << 0;
    QTest::newRow("bit rate 0") << CALL_BIT_RATE << 5 << 0 << 0 << 0;
    QTest::newRow("bit rate 1") << CALL_BIT_RATE << 5 << 1 << 0 << 1;
    QTest::newRow("bit rate 16777215") << CALL_BIT_RATE << 5 << 16777215 << 0 << 1;
    QTest::newRow("bit rate 16777216") << CALL_BIT_RATE << 5 << 16777216 << 0 << 0;
    QTest::newRow("video width 0") << CALL_VIDEO_SIZE << 7 << 0 << 720 << 0;
    QTest::newRow("video 1x1") << CALL_VIDEO_SIZE << 7 << 1 << 1 << 1;
    QTest::newRow("video 8192x8192") << CALL_VIDEO_SIZE << 7 << 8192 << 8192 << 1;
    QTest::newRow("video width 8193") << CALL_VIDEO_SIZE << 7 << 8193 << 720 << 0;
    QTest::newRow("video height 0") << CALL_VIDEO_SIZE << 7 << 1280 << 0 << 0;
    QTest::newRow("video height 8193") << CALL_VIDEO_SIZE << 7 << 1280 << 8193 << 0;
    QTest::newRow("camera width 0") << CALL_CAMERA_SIZE << 9 << 0 << 720 << 0;
    QTest::newRow("camera 8192x1") << CALL_CAMERA_SIZE << 9 << 8192 << 1 << 1;
    QTest::newRow("camera width 8193") << CALL_CAMERA_SIZE << 9 << 8193 << 720 << 0;
    QTest::newRow("camera height -1") << CALL_CAMERA_SIZE << 9 << 1280 << -1 << 0;
    QTest::newRow("camera height 8193") << CALL_CAMERA_SIZE << 9 << 1280 << 8193 << 0;
    QTest::newRow("collect type -1") << CALL_COLLECT_TYPE << 11 << -1 << 0 << 0;
    QTest::newRow("collect type 0") << CALL_COLLECT_TYPE << 11 << 0 << 0 << 1;
    QTest::newRow("collect type 2") << CALL_COLLECT_TYPE << 11 << 2 << 0 << 1;
    QTest::newRow("collect type 3") << CALL_COLLECT_TYPE << 11 << 3 << 0 << 0;
    QTest::newRow("chNo -1") << CALL_QUALITY << -1 << 2 << 0 << 0;
    QTest::newRow("chNo 15") << CALL_QUALITY << 15 << 2 << 0 << 1;
    QTest::newRow("chNo 16") << CALL_FRAME_RATE << 16 << 25 << 0 << 0;
    QTest::newRow("chNo min int") << CALL_BIT_RATE << std::numeric_limits<int>::min() << 2 << 0 << 0;
}

void TestCameraBusiness::testSetter_rangeEdges()
{
    QFETCH(EnumCall, eCall);
    QFETCH(int, iChNo);
    QFETCH(int, iValue);
    QFETCH(int, iValue2);
    QFETCH(int, iExpected);
    StartLibrary();
    QCOMPARE(Invoke(eCall, iChNo, iValue, iValue2), iExpected);
    QCOMPARE(LastEntry().value("result").toInt(), iExpected);
    QCOMPARE(LastEntry().contains("refused"), iExpected == 0);
    if (iChNo >= 0 && iChNo < CAMERA_BUSINESS_MAX_CHANNELS) {
        QCOMPARE(Kept(eCall, iChNo), iExpected == 1 ? iValue : -1);
    }
    if (eCall == CALL_VIDEO_SIZE && iExpected == 1) {
        QCOMPARE(State().aChannels[iChNo].iVideoHeight, iValue2);
    }
    if (eCall == CALL_CAMERA_SIZE && iExpected == 1) {
        QCOMPARE(State().aChannels[iChNo].iCameraHeight, iValue2);
    }
}

void TestCameraBusiness::testAudio_rangeEdges_data()
{
    QTest::addColumn<int>("iChannels");
    QTest::addColumn<int>("iBits");
    QTest::addColumn<int>("iRate");
    QTest::addColumn<int>("iExpected");
    QTest::newRow("as the program sends") << 2 << 16 << 44100 << 1;
    QTest::newRow("channels 0") << 0 << 16 << 44100 << 0;
    QTest::newRow("channels 1") << 1 << 16 << 44100 << 1;
    QTest::newRow("channels 3") << 3 << 16 << 44100 << 0;
    QTest::newRow("bits 8") << 2 << 8 << 44100 << 1;
    QTest::newRow("bits 12") << 2 << 12 << 44100 << 0;
    QTest::newRow("bits 24") << 2 << 24 << 44100 << 1;
    QTest::newRow("bits 32") << 2 << 32 << 44100 << 1;
    QTest::newRow("bits 33") << 2 << 33 << 44100 << 0;
    QTest::newRow("rate 7999") << 2 << 16 << 7999 << 0;
    QTest::newRow("rate 8000") << 2 << 16 << 8000 << 1;
    QTest::newRow("rate 192000") << 2 << 16 << 192000 << 1;
    QTest::newRow("rate 192001") << 2 << 16 << 192001 << 0;
}

void TestCameraBusiness::testAudio_rangeEdges()
{
    QFETCH(int, iChannels);
    QFETCH(int, iBits);
    QFETCH(int, iRate);
    QFETCH(int, iExpected);
    StartLibrary();
    QCOMPARE(camera_business_set_audio_collect_info(6, "USB 麦克风", 1, iChannels, iBits, iRate, true),
             iExpected);
    const CB_AudioCollectInfo stAudio = State().aChannels[6].audio;
    QCOMPARE(stAudio.iSet, iExpected);
    if (iExpected == 1) {
        QCOMPARE(QString::fromUtf8(stAudio.szName), QString("USB 麦克风"));
        QCOMPARE(stAudio.iEnctype, 1);
        QCOMPARE(stAudio.iChannels, iChannels);
        QCOMPARE(stAudio.iBits, iBits);
        QCOMPARE(stAudio.iSampleRate, iRate);
        QCOMPARE(int(stAudio.ucEnableAudio), 1);
        QCOMPARE(LastEntry().value("args").toObject().value("audioName").toString(), QString("USB 麦克风"));
    }
}

void TestCameraBusiness::testAudio_soundOffWithoutRate_accepted()
{
    StartLibrary();
    QCOMPARE(camera_business_set_audio_collect_info(4, "mic", 1, 2, 16, 44100, true), 1);
    QCOMPARE(camera_business_set_audio_collect_info(4, "", 1, 2, 16, 0, false), 1);
    CB_AudioCollectInfo stAudio = State().aChannels[4].audio;
    QCOMPARE(int(stAudio.ucEnableAudio), 0);
    QCOMPARE(stAudio.iSampleRate, 0);

    QCOMPARE(camera_business_set_audio_collect_info(4, nullptr, 1, 2, 16, 44100, true), 0);
    std::string strLong(CAMERA_BUSINESS_TEXT_SIZE, 'n');
    QCOMPARE(camera_business_set_audio_collect_info(4, strLong.c_str(), 1, 2, 16, 44100, true), 0);
    strLong.pop_back();
    QCOMPARE(camera_business_set_audio_collect_info(4, strLong.c_str(), 1, 2, 16, 48000, true), 1);
    stAudio = State().aChannels[4].audio;
    QCOMPARE(QByteArray(stAudio.szName), QByteArray(strLong.c_str()));
    QCOMPARE(stAudio.iSampleRate, 48000);
}

void TestCameraBusiness::testRegister_refusals_data()
{
    QTest::addColumn<QByteArray>("baUser");
    QTest::addColumn<QByteArray>("baPassword");
    QTest::addColumn<bool>("blUserNull");
    QTest::addColumn<bool>("blPasswordNull");
    QTest::addColumn<int>("iExpected");
    QTest::newRow("null user") << QByteArray() << QByteArray("pw") << true << false << 0;
    QTest::newRow("null password") << QByteArray("admin") << QByteArray() << false << true << 0;
    QTest::newRow("user of 256 bytes") << QByteArray(256, 'u') << QByteArray("pw") << false << false << 0;
    QTest::newRow("password of 256 bytes")
        << QByteArray("admin") << QByteArray(256, 'p') << false << false << 0;
    QTest::newRow("255 bytes each") << QByteArray(255, 'u') << QByteArray(255, 'p') << false << false << 1;
    QTest::newRow("empty, as without host info") << QByteArray("") << QByteArray("") << false << false << 1;
}

void TestCameraBusiness::testRegister_refusals()
{
    QFETCH(QByteArray, baUser);
    QFETCH(QByteArray, baPassword);
    QFETCH(bool, blUserNull);
    QFETCH(bool, blPasswordNull);
    QFETCH(int, iExpected);
    QCOMPARE(camera_business_register_user(blUserNull ? nullptr : baUser.constData(),
                                           blPasswordNull ? nullptr : baPassword.constData()),
             iExpected);
    const CB_State stState = State();
    QCOMPARE(int(stState.ucRegistered), iExpected);
    QCOMPARE(QByteArray(stState.szUser), iExpected == 1 ? baUser : QByteArray());
    QCOMPARE(QByteArray(stState.szPassword), iExpected == 1 ? baPassword : QByteArray());
    QVERIFY(QJsonDocument::fromJson(JournalText(0)).isObject());
}

void TestCameraBusiness::testCallback_nullRefusedWithMinusOne()
{
    QCOMPARE(camera_business_set_mess_callback(nullptr, 5), -1);
    QCOMPARE(int(State().ucHasCallback), 0);
    QCOMPARE(LastEntry().value("result").toInt(), -1);
    QCOMPARE(camera_business_inspect_send_message(1, 0, 0), -2);
}

void TestCameraBusiness::testEnableSendStream_data()
{
    QTest::addColumn<int>("iEnable");
    QTest::addColumn<int>("iExpected");
    QTest::newRow("-1") << -1 << 0;
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("2") << 2 << 0;
}

void TestCameraBusiness::testEnableSendStream()
{
    QFETCH(int, iEnable);
    QFETCH(int, iExpected);
    QCOMPARE(camera_business_enable_send_stream(1), 1);
    QCOMPARE(camera_business_enable_send_stream(iEnable), iExpected);
    QCOMPARE(State().iSendStreamEnabled, iExpected == 1 ? iEnable : 1);
}

void TestCameraBusiness::testCleanup_keepsRegistrationAndStartsAgain()
{
    StartLibrary();
    const STRUCT_ChanInfo stBlock = MakeBlock(0, "desk");
    QCOMPARE(camera_business_set_chan_info(&stBlock, 1), 1);
    QCOMPARE(camera_business_set_frame_rate(0, 25), 1);

    QCOMPARE(camera_business_cleanup(), 1);
    CB_State stState = State();
    QCOMPARE(int(stState.ucStarted), 0);
    QCOMPARE(stState.iCleanupCount, 1);
    QCOMPARE(int(stState.ucRegistered), 1);
    QCOMPARE(int(stState.ucHasCallback), 1);
    QCOMPARE(stState.iCallbackUser, 77);
    QCOMPARE(stState.iSendStreamEnabled, 1);
    QCOMPARE(int(stState.aChannels[0].ucHasBlock), 0);
    QCOMPARE(stState.aChannels[0].iFrameRate, -1);
    QCOMPARE(camera_business_set_frame_rate(0, 25), 0);
    QCOMPARE(camera_business_cleanup(), 0);
    QCOMPARE(State().iCleanupCount, 1);

    QCOMPARE(camera_business_startup(6001, 16), 1);
    QCOMPARE(camera_business_set_chan_info(&stBlock, 1), 1);
    stState = State();
    QCOMPARE(int(stState.ucStarted), 1);
    QCOMPARE(stState.iPort, 6001);
    QCOMPARE(stState.iStartupCount, 2);
    QCOMPARE(int(stState.aChannels[0].ucHasBlock), 1);
    QCOMPARE(camera_business_inspect_send_message(5, 6, 7), 31);
    QCOMPARE(g_stReceived.iUser, intptr_t(77));
}

QTEST_GUILESS_MAIN(TestCameraBusiness)
#include "test_camerabusiness.moc"
