// The streaming library publishes for real: a GStreamer client in the test plays its channels over
// RTSP on a loopback port. Cameras and audio inputs are stood in for by test sources.
#include "ProgramCopy.h"
#include "RtspClient.h"

#include <QProcess>
#include <QTcpServer>
#include <QtEndian>

#include <array>
#include <atomic>
#include <cmath>
#include <utility>

namespace {

// Messages about channel 4 by number, from the library's thread.
std::array<std::atomic<int>, 8> g_aiMessages;

int MessageCallback(intptr_t _iMsg, intptr_t _iParam1, intptr_t, intptr_t)
{
    if (_iParam1 == 4 && _iMsg >= 0 && _iMsg < 8) {
        ++g_aiMessages[static_cast<size_t>(_iMsg)];
    }
    return 0;
}

// Power of _dFrequency in about a second of the client's 8 kHz audio, as a share of all its power
// (Goertzel).
double ToneShare(CLS_RtspClient& _client, double _dFrequency)
{
    const double dCoefficient = 2 * std::cos(2 * M_PI * _dFrequency / 8000);
    double dPrevious = 0, dBefore = 0, dEnergy = 0;
    int iSamples = 0;
    QByteArray baData;
    while (iSamples < 8000 && !_client.Next("a", &baData).isEmpty()) {
        for (int i = 0; i + 1 < baData.size(); i += 2, ++iSamples) {
            const double dSample = qFromLittleEndian<qint16>(baData.constData() + i);
            dBefore = std::exchange(dPrevious, dSample + dCoefficient * dPrevious - dBefore);
            dEnergy += dSample * dSample;
        }
    }
    const double dTone = dPrevious * dPrevious + dBefore * dBefore - dCoefficient * dPrevious * dBefore;
    return dEnergy > 0 ? 2 * dTone / (iSamples * dEnergy) : 0;
}

} // namespace

class TestCameraBusinessPublish : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void testAudio_failingInputLeavesVideo();
    void testAudio_inputComesBack();
    void testListen_portInUseRefused();
    void testProgram_servesDesktopAndSoundToStoredUser();
};

void TestCameraBusinessPublish::initTestCase()
{
    gst_init(nullptr, nullptr);
    // A journal file that cannot be opened: every call still works (the library reads this at its
    // first call).
    qputenv("CAMERA_BUSINESS_JOURNAL", "no_such_folder/camera_journal.jsonl");
    qputenv("CAMERA_BUSINESS_DEFAULT_PORT", "0");
    qputenv("CAMERA_BUSINESS_CAMERA_SOURCE", "videotestsrc pattern=snow");
}

// Started on any free port with a user; channels 4 and 5 are cameras.
void TestCameraBusinessPublish::init()
{
    camera_business_inspect_reset();
    for (std::atomic<int>& iCount : g_aiMessages) {
        iCount = 0;
    }
    qputenv("CAMERA_BUSINESS_AUDIO_SOURCE", "audiotestsrc");
    QCOMPARE(camera_business_register_user("admin", "secret"), 1);
    QCOMPARE(camera_business_set_mess_callback(MessageCallback, 1), 0);
    QCOMPARE(camera_business_enable_send_stream(1), 1);
    QCOMPARE(camera_business_startup(0, 16), 1);
    const STRUCT_ChanInfo astBlock[2] = {SmallChannel(4, 1), SmallChannel(5, 1)};
    QCOMPARE(camera_business_set_chan_info(astBlock, 2), 1);
}

void TestCameraBusinessPublish::cleanup()
{
    camera_business_cleanup();
}

// Restarts the library with camera channel 4 capturing the input _pcInput.
static void RestartWithAudio(const char* _pcInput)
{
    camera_business_cleanup();
    QCOMPARE(camera_business_startup(0, 16), 1);
    const STRUCT_ChanInfo stCamera = SmallChannel(4, 1);
    QCOMPARE(camera_business_add_chan_info(&stCamera), 1);
    QCOMPARE(camera_business_set_audio_collect_info(4, _pcInput, 1, 2, 16, 44100, true), 1);
}

// An input that cannot be opened: the picture plays to every client, the audio track carries
// silence, and the host hears of it once, not at every new try.
void TestCameraBusinessPublish::testAudio_failingInputLeavesVideo()
{
    qunsetenv("CAMERA_BUSINESS_AUDIO_SOURCE");
    RestartWithAudio("no-such-input");
    CLS_RtspClient client(4, CLS_RtspClient::DECODE_VIDEO_AUDIO);
    const QByteArray baCaps = client.Next("a");
    QVERIFY2(baCaps.contains("rate=(int)8000") && baCaps.contains("channels=(int)1"), baCaps);
    QTRY_COMPARE(g_aiMessages[CAMERA_BUSINESS_MSG_AUDIO_FAILED].load(), 1);
    QTest::qWait(4000);
    QCOMPARE(g_aiMessages[CAMERA_BUSINESS_MSG_AUDIO_FAILED].load(), 1);
    QVERIFY(!CLS_RtspClient(4).Next().isEmpty());
}

// An input that appears while the channel is watched is taken up without a new client.
void TestCameraBusinessPublish::testAudio_inputComesBack()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        QSKIP("needs a PulseAudio server (scripts/with_pulseaudio.sh)");
    }
    qputenv("CAMERA_BUSINESS_AUDIO_SOURCE", "pulsesrc");
    RestartWithAudio("late.monitor");
    CLS_RtspClient client(4, CLS_RtspClient::DECODE_VIDEO_AUDIO);
    QTRY_COMPARE(g_aiMessages[CAMERA_BUSINESS_MSG_AUDIO_FAILED].load(), 1);
    QProcess qprocess;
    qprocess.start("pactl", {"load-module", "module-null-sink", "sink_name=late"});
    QVERIFY(qprocess.waitForFinished() && qprocess.exitCode() == 0);
    QTRY_COMPARE_WITH_TIMEOUT(g_aiMessages[CAMERA_BUSINESS_MSG_AUDIO_RESTORED].load(), 1, 10000);
    QProcess::execute("pactl",
                      {"unload-module", QString::fromLatin1(qprocess.readAllStandardOutput()).trimmed()});
}

// Clean-up frees the port at once; a port in use fails start-up.
void TestCameraBusinessPublish::testListen_portInUseRefused()
{
    const int iPort = State().iServedPort;
    QCOMPARE(camera_business_cleanup(), 1);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, iPort));
    QCOMPARE(camera_business_startup(iPort, 16), 0);
    QCOMPARE(LastEntry().value("refused").toString(), QString("cannot listen"));
}

// The whole program on a fresh channel table: its first desktop plays with the stored user and
// password, at the address its log names: its audio carries what the default input hears.
void TestCameraBusinessPublish::testProgram_servesDesktopAndSoundToStoredUser()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        QSKIP("needs an X server and a PulseAudio server playing a 1 kHz tone (scripts/with_pulseaudio.sh)");
    }
    QTemporaryDir qtempApp;
    QProcess qprocess;
    qunsetenv("CAMERA_BUSINESS_AUDIO_SOURCE");
    const int iPort = StartServingCopy(qtempApp, qprocess);
    QVERIFY(iPort > 0);
    CLS_RtspClient client(0, CLS_RtspClient::DECODE_VIDEO_AUDIO, "admin", "secret", iPort);
    // The first second may still be the silence before the input opened.
    const double dShare = (ToneShare(client, 1000), ToneShare(client, 1000));
    qprocess.kill();
    qprocess.waitForFinished();
    QVERIFY2(dShare > 0.5, qPrintable(QString::number(dShare)));
}

QTEST_GUILESS_MAIN(TestCameraBusinessPublish)
#include "test_camerabusiness_publish.moc"
