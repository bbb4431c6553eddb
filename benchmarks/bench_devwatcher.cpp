// CPU cost of one device watcher cycle with many devices: copy the application's lists, compare
// them with the known ones, and read the screens.
#include "TestSupport.h"
#include "device/CLS_ThreadCheckAddRemoveDev.h"

namespace {

QtMessageHandler g_pPreviousHandler = nullptr;

void DropDebugMessages(QtMsgType _eType, const QMessageLogContext& _context, const QString& _qstrMessage)
{
    if (_eType != QtDebugMsg) {
        g_pPreviousHandler(_eType, _context, _qstrMessage);
    }
}

} // namespace

class BenchDevWatcher : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cycle_data();
    void cycle();
};

void BenchDevWatcher::initTestCase()
{
    // The screen list writes a debug line per screen; the terminal is not what is measured.
    g_pPreviousHandler = qInstallMessageHandler(DropDebugMessages);
}

void BenchDevWatcher::cycle_data()
{
    QTest::addColumn<int>("cameras");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("screens");
    QTest::newRow("16 cameras, 1 screen") << 16 << 0 << 1;
    QTest::newRow("16 cameras, 16 audio inputs, 4 screens") << 16 << 16 << 4;
}

void BenchDevWatcher::cycle()
{
    QFETCH(int, cameras);
    QFETCH(int, inputs);
    QFETCH(int, screens);
    OrbApplication* pApp = OrbApplication::Instance();
    QVector<STRUCT_Usb> vecUsb;
    for (int i = 0; i < cameras; ++i) {
        vecUsb.append({QString("USB Camera %1").arg(i),
                       QString("/dev/v4l/by-id/usb-Vendor_Camera_%1-video-index0").arg(i),
                       {QSize(640, 480), QSize(1280, 720), QSize(1920, 1080), QSize(3840, 2160)},
                       {0, 1, 2}});
    }
    QVector<STRUCT_Audio> vecAudio;
    for (int i = 0; i < inputs; ++i) {
        STRUCT_Audio structAudio;
        structAudio.qstrName = QString("alsa_input.usb-Vendor_Microphone_%1.analog-stereo").arg(i);
        structAudio.lstSampleRate = {8000, 16000, 44100, 48000};
        vecAudio.append(structAudio);
    }
    pApp->SetUsbDevs(vecUsb);
    pApp->SetAudioDevs(vecAudio);
    pApp->SetScreenSource([screens] {
        QVector<STRUCT_ScreenFacts> vecFacts;
        for (int i = 0; i < screens; ++i) {
            vecFacts.append({QRect(i * 1920, 0, 1920, 1080), 1.0, QString("HDMI-%1").arg(i + 1), i == 0});
        }
        return vecFacts;
    });
    CLS_ThreadCheckAddRemoveDev watcher(*pApp);
    watcher.RunCycle(); // learns the devices: later cycles find no change, as when idle

    // The cycle runs on the calling thread and never waits: its wall time is its CPU time.
    QBENCHMARK
    {
        watcher.RunCycle();
    }
}

LUMACAST_TEST_MAIN(BenchDevWatcher)
#include "bench_devwatcher.moc"
