// The real program on a desktop of two monitors, RandR outputs VNC-0 (1920x1080) and VNC-1
// (1280x1024) of an X server of its own: each monitor is a channel showing that monitor, and a
// monitor that changes size or goes away is followed while the other channel plays on. No sound
// server runs here, as on many desktops.
#include "ProgramCopy.h"
#include "RtspClient.h"

#include <X11/Xlib.h>

namespace {

bool Xrandr(const QStringList& _qstrlstArgs)
{
    return QProcess::execute(QStringLiteral("xrandr"), QStringList{"--output", "VNC-1"} + _qstrlstArgs) == 0;
}

} // namespace

class TestMonitorsX11 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        gst_init(nullptr, nullptr);
        // Red over the second monitor, in a window no window manager moves.
        QVERIFY(m_pDisplay != nullptr);
        XSetWindowAttributes attributes = {};
        attributes.override_redirect = True;
        attributes.background_pixel = 0xFF0000;
        XMapRaised(m_pDisplay.get(),
                   XCreateWindow(m_pDisplay.get(), DefaultRootWindow(m_pDisplay.get()), 1920, 0, 1280, 1024,
                                 0, CopyFromParent, InputOutput, CopyFromParent,
                                 CWOverrideRedirect | CWBackPixel, &attributes));
        XSync(m_pDisplay.get(), False);
    }
    // The library itself, given a rectangle past the right edge of the X screen: held to the screen,
    // the capture shows the red right end; taking the whole screen, it would show black mid-frame.
    void desktop_pastTheEdge_staysOnTheScreen()
    {
        StartLibrary();
        const STRUCT_ChanInfo stDesk = SmallChannel(0, 0, 2560, 1280, 720);
        QCOMPARE(camera_business_add_chan_info(&stDesk), 1);
        const QImage image = CLS_RtspClient(0).Frame();
        camera_business_cleanup();
        QVERIFY2(!image.isNull() && NearColour(image.pixelColor(160, 120), Qt::red),
                 qPrintable(image.pixelColor(160, 120).name()));
    }
    void monitors_eachAChannel_followedWhenResizedOrGone()
    {
        QTemporaryDir qtempApp;
        QProcess qprocess;
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        qprocess.setProcessEnvironment(qenv);
        const int iPort = StartServingCopy(qtempApp, qprocess);
        const auto stop = qScopeGuard([&qprocess] {
            qprocess.kill();
            qprocess.waitForFinished();
        });
        QVERIFY(iPort > 0);
        auto frameOf = [iPort](int _iChNo) {
            return CLS_RtspClient(_iChNo, CLS_RtspClient::DECODE_VIDEO, "admin", "secret", iPort).Frame();
        };
        const QImage qimageSecond = frameOf(1);
        QCOMPARE(qimageSecond.size(), QSize(1280, 1024));
        QVERIFY(NearColour(qimageSecond.pixelColor(640, 512), Qt::red));
        const QImage qimageFirst = frameOf(0);
        QCOMPARE(qimageFirst.size(), QSize(1920, 1080));
        QVERIFY(!NearColour(qimageFirst.pixelColor(960, 540), Qt::red));

        // The watcher looks every 10 s.
        QVERIFY(Xrandr({"--mode", "1024x768"}));
        QTRY_COMPARE_WITH_TIMEOUT(frameOf(1).size(), QSize(1024, 768), 40000);

        CLS_RtspClient viewerFirst(0, CLS_RtspClient::DECODE_NONE, "admin", "secret", iPort);
        QVERIFY(viewerFirst.Plays());
        QVERIFY(Xrandr({"--off"}));
        QTRY_VERIFY_WITH_TIMEOUT(
            !CLS_RtspClient(1, CLS_RtspClient::DECODE_NONE, "admin", "secret", iPort).Plays(3000), 40000);
        QVERIFY(viewerFirst.Plays());
    }

private:
    std::unique_ptr<Display, int (*)(Display*)> m_pDisplay{XOpenDisplay(nullptr), XCloseDisplay};
};

QTEST_GUILESS_MAIN(TestMonitorsX11)
#include "test_monitors_x11.moc"
