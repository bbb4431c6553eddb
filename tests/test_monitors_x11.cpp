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
    void monitors_eachAChannel_followedWhenResizedOrGone()
    {
        gst_init(nullptr, nullptr);
        // Red over the second monitor, in a window no window manager moves.
        Display* pDisplay = XOpenDisplay(nullptr);
        QVERIFY(pDisplay != nullptr);
        const auto closeDisplay = qScopeGuard([pDisplay] { XCloseDisplay(pDisplay); });
        XSetWindowAttributes attributes = {};
        attributes.override_redirect = True;
        attributes.background_pixel = 0xFF0000;
        const Window window =
            XCreateWindow(pDisplay, DefaultRootWindow(pDisplay), 1920, 0, 1280, 1024, 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(pDisplay, window);
        XSync(pDisplay, False);

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
};

QTEST_GUILESS_MAIN(TestMonitorsX11)
#include "test_monitors_x11.moc"
