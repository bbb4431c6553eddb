// The publishing back end under hostile and heavy clients: the X display and the other
// channels keep going, memory and descriptors come back, and nothing is given away without the
// password. Desktops are the X screens of DISPLAY (the test runs on an Xvfb of its own with two).
#include "RtspClient.h"
#include "RtspProbe.h"

#include <QFile>

#include <X11/Xlib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

namespace {

const int g_iAnswerMs = 5000;

// True when the X server answers a new client (open, round trip) within _iMs. The probe runs on a
// thread of its own, left behind if the server never answers.
bool DisplayAnswers(int _iMs = 3000)
{
    auto pDone = std::make_shared<std::promise<bool>>();
    std::future<bool> future = pDone->get_future();
    std::thread([pDone] {
        Display* pDisplay = XOpenDisplay(nullptr);
        if (pDisplay != nullptr) {
            XSync(pDisplay, False);
            XCloseDisplay(pDisplay);
        }
        pDone->set_value(pDisplay != nullptr);
    }).detach();
    return future.wait_for(std::chrono::milliseconds(_iMs)) == std::future_status::ready && future.get();
}

// Runs camera_business_cleanup; false when it has not returned within 15 s (then it is left).
bool CleanupReturns()
{
    auto pTask = std::make_shared<std::packaged_task<int()>>([] { return camera_business_cleanup(); });
    std::future<int> future = pTask->get_future();
    std::thread([pTask] { (*pTask)(); }).detach();
    return future.wait_for(std::chrono::seconds(15)) == std::future_status::ready;
}

// Shared-memory segments mapped into this process (the X capture's, among others).
int SharedSegments()
{
    QFile qfile(QStringLiteral("/proc/self/maps"));
    return qfile.open(QIODevice::ReadOnly) ? qfile.readAll().count("/SYSV") : -1;
}

qint64 ResidentKiB()
{
    QFile qfile(QStringLiteral("/proc/self/status"));
    qfile.open(QIODevice::ReadOnly);
    const QRegularExpressionMatch qmatch =
        QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(qfile.readAll());
    return qmatch.captured(1).toLongLong();
}

// The local address the server listens on, as /proc/net/tcp writes it ("0100007F": 127.0.0.1).
QByteArray ListeningAddress(int _iPort)
{
    QFile qfile(QStringLiteral("/proc/net/tcp"));
    qfile.open(QIODevice::ReadOnly);
    const QByteArray qbaPort = ':' + QByteArray::number(_iPort, 16).toUpper().rightJustified(4, '0') + ' ';
    for (const QByteArray& qbaLine : qfile.readAll().split('\n')) {
        const QList<QByteArray> qlistField = qbaLine.simplified().split(' ');
        if (qlistField.size() > 3 && qlistField[1].endsWith(qbaPort.trimmed()) && qlistField[3] == "0A") {
            return qlistField[1].left(8);
        }
    }
    return {};
}

} // namespace

class TestCameraBusinessGuard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void testTwoDesktops_describeChurnAndFastChanges_displayAndChannelsGoOn();
    void testDesktopSessions_leaveNoSegmentNorMemory();
    void testIdleConnections_boundedClosedAndNoSpin();
    void testOutOfDescriptors_noSpin();
    void testHugeBody_refusedBeforeAuthentication();
    void testEmptyPassword_loopbackOnly();
    void testAuthentication_beforeLookup_uriChecked_failuresBarred();
};

void TestCameraBusinessGuard::initTestCase()
{
    gst_init(nullptr, nullptr);
    qputenv("CAMERA_BUSINESS_DEFAULT_PORT", "0");
    qputenv("CAMERA_BUSINESS_CAMERA_SOURCE", "videotestsrc pattern=ball");
}

void TestCameraBusinessGuard::cleanup()
{
    QVERIFY(CleanupReturns());
    camera_business_inspect_reset();
}

// Fault 1. Two viewers on desktop 0; a DESCRIBE of desktop 1 every 0.5 s (each builds a capture for
// its answer); desktop 2 disabled, enabled and resized every 0.3 s through the library with a
// viewer that joins it each time. The X server, the viewers of desktop 0 and the server's answers
// must go on for 55 s (the freeze came within 55 s, mostly far sooner), and clean-up must return.
void TestCameraBusinessGuard::testTwoDesktops_describeChurnAndFastChanges_displayAndChannelsGoOn()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !DisplayAnswers()) {
        QSKIP("needs an X server (DISPLAY)");
    }
    QCOMPARE(camera_business_register_user("", ""), 1);
    QCOMPARE(camera_business_enable_send_stream(1), 1);
    QCOMPARE(camera_business_startup(0, 16), 1);
    const STRUCT_ChanInfo astBlock[3] = {SmallChannel(0, 0), SmallChannel(1, 0, 320),
                                         SmallChannel(2, 0, 100, 400, 300)};
    QCOMPARE(camera_business_set_chan_info(astBlock, 3), 1);
    CLS_RtspClient viewerA(0, CLS_RtspClient::DECODE_NONE, nullptr);
    CLS_RtspClient viewerB(0, CLS_RtspClient::DECODE_NONE, nullptr);
    QVERIFY(viewerA.Plays() && viewerB.Plays());
    std::unique_ptr<CLS_RtspClient> pViewer2;
    QElapsedTimer qtimer;
    qtimer.start();
    qint64 iNextDescribe = 0, iNextChange = 0, iNextCheck = 3000;
    int iDescribes = 0, iChanges = 0, iChecks = 0, iLastA = 0, iLastB = 0;
    while (qtimer.elapsed() < 55000) {
        if (qtimer.elapsed() >= iNextDescribe) {
            iNextDescribe += 500;
            CLS_RtspProbe probe(State().iServedPort);
            const QByteArray qbaAnswer =
                probe.Ask("DESCRIBE", "/ch1", "Accept: application/sdp\r\n", g_iAnswerMs);
            QVERIFY2(CLS_RtspProbe::Code(qbaAnswer) == 200, qPrintable(QString("DESCRIBE %1 at %2 ms: %3")
                                                                           .arg(iDescribes)
                                                                           .arg(qtimer.elapsed())
                                                                           .arg(QString(qbaAnswer))));
            ++iDescribes;
        }
        if (qtimer.elapsed() >= iNextChange) {
            iNextChange += 300;
            switch (iChanges++ % 3) {
            case 0:
                pViewer2.reset();
                QCOMPARE(camera_business_set_disable(2), 1);
                break;
            case 1:
                QCOMPARE(camera_business_add_chan_info(&astBlock[2]), 1);
                pViewer2 = std::make_unique<CLS_RtspClient>(2, CLS_RtspClient::DECODE_NONE, nullptr);
                break;
            default:
                QCOMPARE(camera_business_set_video_size(2, iChanges % 2 == 0 ? 160 : 320, 240), 1);
                pViewer2 = std::make_unique<CLS_RtspClient>(2, CLS_RtspClient::DECODE_NONE, nullptr);
                break;
            }
        }
        if (qtimer.elapsed() >= iNextCheck) {
            iNextCheck += 3000;
            QVERIFY2(DisplayAnswers(), qPrintable(QString("X server silent at %1 ms").arg(qtimer.elapsed())));
            // A still screen still sends a frame every 500 ms.
            QVERIFY2(viewerA.Buffers() > iLastA && viewerB.Buffers() > iLastB,
                     qPrintable(QString("desktop 0 stopped at %1 ms").arg(qtimer.elapsed())));
            iLastA = viewerA.Buffers();
            iLastB = viewerB.Buffers();
            ++iChecks;
        }
        QTest::qWait(20);
    }
    pViewer2.reset();
    qInfo("%d DESCRIBEs, %d changes, %d checks of the display and desktop 0", iDescribes, iChanges, iChecks);
    QVERIFY(CleanupReturns());
}

// Fault 2. Sessions of a desktop channel, one after the other: no shared-memory segment stays
// mapped, and after five sessions to settle, twenty more cost on average less than a quarter of one
// frame each (the fault kept a whole frame per session; the test's own clients count too, so the
// strict figure is the hostile-client script's, measured outside).
void TestCameraBusinessGuard::testDesktopSessions_leaveNoSegmentNorMemory()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !DisplayAnswers()) {
        QSKIP("needs an X server (DISPLAY)");
    }
    StartLibrary();
    STRUCT_ChanInfo stDesk = SmallChannel(0, 0, 0, 1280, 720);
    QCOMPARE(camera_business_add_chan_info(&stDesk), 1);
    const qint64 iFrameKiB = 1280 * 720 * 4 / 1024;
    qint64 iSettledKiB = 0;
    for (int i = 0; i < 25; ++i) {
        {
            CLS_RtspClient viewer(0, CLS_RtspClient::DECODE_NONE);
            QVERIFY2(viewer.Plays(20000), qPrintable(QString("session %1").arg(i)));
        }
        // The pipeline stops once its last client has gone.
        QTRY_COMPARE_WITH_TIMEOUT(SharedSegments(), 0, 10000);
        if (i == 4) {
            // The heap is trimmed a few seconds after clients have gone.
            QTest::qWait(6000);
            iSettledKiB = ResidentKiB();
        }
    }
    QTest::qWait(6000);
    const qint64 iGrowthKiB = ResidentKiB() - iSettledKiB;
    qInfo("resident memory after 20 more sessions: %lld KiB more (one frame: %lld KiB)", iGrowthKiB,
          iFrameKiB);
#ifndef LUMACAST_SANITIZED
    // (AddressSanitizer keeps freed memory in quarantine: there the figure says nothing.)
    QVERIFY2(iGrowthKiB < 20 * iFrameKiB / 4, qPrintable(QString::number(iGrowthKiB)));
#endif
}

// Fault 3. 300 idle connections from one address (127.0.0.2): the server spins on nothing, a client
// from another address plays meanwhile, and the idle ones it took are closed within a few seconds.
void TestCameraBusinessGuard::testIdleConnections_boundedClosedAndNoSpin()
{
    StartLibrary();
    const STRUCT_ChanInfo stCamera = SmallChannel(4, 1);
    QCOMPARE(camera_business_add_chan_info(&stCamera), 1);
    std::vector<std::unique_ptr<QTcpSocket>> vecIdle;
    for (int i = 0; i < 300; ++i) {
        vecIdle.push_back(std::make_unique<QTcpSocket>());
        QVERIFY(vecIdle.back()->bind(QHostAddress(QStringLiteral("127.0.0.2"))));
        vecIdle.back()->connectToHost(QStringLiteral("127.0.0.1"), quint16(State().iServedPort));
    }
    const double dCpuBefore = CpuSeconds();
    QTest::qWait(2000);
    const double dCpu = CpuSeconds() - dCpuBefore;
    QVERIFY2(dCpu < 0.5, qPrintable(QString("%1 s of CPU in 2 s").arg(dCpu)));
    QVERIFY(CLS_RtspClient(4, CLS_RtspClient::DECODE_NONE).Plays());
    // Those over the limit are closed at once, those taken after 5 s without a request.
    QTest::qWait(6000);
    const auto iClosed =
        std::count_if(vecIdle.begin(), vecIdle.end(), [](const std::unique_ptr<QTcpSocket>& _pSocket) {
            return _pSocket->state() == QAbstractSocket::UnconnectedState;
        });
    qInfo("%d of 300 idle connections closed by the server after 8 s", int(iClosed));
    QVERIFY(iClosed > 2 * 32);
}

// Fault 3. Out of descriptors, with connections waiting: accepting pauses instead of spinning, and
// goes on once descriptors are free.
void TestCameraBusinessGuard::testOutOfDescriptors_noSpin()
{
    StartLibrary();
    const STRUCT_ChanInfo stCamera = SmallChannel(4, 1);
    QCOMPARE(camera_business_add_chan_info(&stCamera), 1);
    rlimit stOld{};
    getrlimit(RLIMIT_NOFILE, &stOld);
    std::vector<int> vecSocket;
    sockaddr_in stAddress{};
    stAddress.sin_family = AF_INET;
    stAddress.sin_port = htons(quint16(State().iServedPort));
    stAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    rlimit stLow = stOld;
    stLow.rlim_cur = 0;
    // Room for 64 more descriptors, taken by connections the server cannot accept.
    for (int iFd = dup(0); iFd >= 0; iFd = -1) {
        stLow.rlim_cur = rlim_t(iFd + 64);
        close(iFd);
    }
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &stLow), 0);
    for (int iSocket = socket(AF_INET, SOCK_STREAM, 0); iSocket >= 0;
         iSocket = socket(AF_INET, SOCK_STREAM, 0)) {
        vecSocket.push_back(iSocket);
        ::connect(iSocket, reinterpret_cast<sockaddr*>(&stAddress), sizeof(stAddress));
    }
    const double dCpuBefore = CpuSeconds();
    QTest::qWait(2000);
    const double dCpu = CpuSeconds() - dCpuBefore;
    for (const int iSocket : vecSocket) {
        close(iSocket);
    }
    setrlimit(RLIMIT_NOFILE, &stOld);
    qInfo("%zu connections held, %.2f s of CPU in 2 s", vecSocket.size(), dCpu);
    QVERIFY2(dCpu < 0.5, qPrintable(QString("%1 s of CPU in 2 s").arg(dCpu)));
    QVERIFY(CLS_RtspClient(4, CLS_RtspClient::DECODE_NONE).Plays());
}

// Fault 4. A body of 200 MB announced before authentication: refused before it is read; memory
// stays where it was.
void TestCameraBusinessGuard::testHugeBody_refusedBeforeAuthentication()
{
    StartLibrary();
    const qint64 iBeforeKiB = ResidentKiB();
    CLS_RtspProbe probe(State().iServedPort);
    probe.Socket().write(
        "SET_PARAMETER " + probe.Url("/ch4").toUtf8() +
        " RTSP/1.0\r\nCSeq: 1\r\nContent-Type: text/parameters\r\nContent-Length: 209715200\r\n\r\n");
    const QByteArray qbaChunk(1 << 20, 'x');
    for (int i = 0; i < 64 && probe.Socket().state() == QAbstractSocket::ConnectedState; ++i) {
        probe.Socket().write(qbaChunk);
        probe.Socket().waitForBytesWritten(200);
    }
    const QByteArray qbaAnswer = probe.Answer(3000);
    QTRY_VERIFY_WITH_TIMEOUT(
        probe.Socket().state() != QAbstractSocket::ConnectedState || !qbaAnswer.isEmpty(), 5000);
    QVERIFY2(qbaAnswer.isEmpty() || CLS_RtspProbe::Code(qbaAnswer) == 413 ||
                 CLS_RtspProbe::Code(qbaAnswer) == 400,
             qbaAnswer);
    const qint64 iGrowthKiB = ResidentKiB() - iBeforeKiB;
    QVERIFY2(iGrowthKiB < 16 * 1024, qPrintable(QString::number(iGrowthKiB)));
}

// Fault 5. A user with an empty password: served on 127.0.0.1 only, as without a user, at start
// and when the user changes to it.
void TestCameraBusinessGuard::testEmptyPassword_loopbackOnly()
{
    QCOMPARE(camera_business_register_user("admin", ""), 1);
    QCOMPARE(camera_business_enable_send_stream(1), 1);
    QCOMPARE(camera_business_startup(0, 16), 1);
    QCOMPARE(ListeningAddress(State().iServedPort), QByteArray("0100007F"));
    QCOMPARE(camera_business_register_user("admin", "secret"), 1);
    QTRY_COMPARE(ListeningAddress(State().iServedPort), QByteArray("00000000"));
    QCOMPARE(camera_business_register_user("admin", ""), 1);
    QTRY_COMPARE(ListeningAddress(State().iServedPort), QByteArray("0100007F"));
    const STRUCT_ChanInfo stCamera = SmallChannel(4, 1);
    QCOMPARE(camera_business_add_chan_info(&stCamera), 1);
    QVERIFY(CLS_RtspClient(4, CLS_RtspClient::DECODE_NONE, nullptr).Plays());
}

// Fault 7. Without credentials an absent channel answers as a present one; a Digest answer made for
// another path is refused; after repeated failures even the right password waits.
void TestCameraBusinessGuard::testAuthentication_beforeLookup_uriChecked_failuresBarred()
{
    StartLibrary();
    const STRUCT_ChanInfo stCamera = SmallChannel(4, 1);
    QCOMPARE(camera_business_add_chan_info(&stCamera), 1);
    CLS_RtspProbe probe(State().iServedPort);
    const QByteArray qbaAbsent = probe.Ask("DESCRIBE", "/ch9");
    QCOMPARE(CLS_RtspProbe::Code(qbaAbsent), 401);
    QCOMPARE(CLS_RtspProbe::Code(probe.Ask("DESCRIBE", "/ch4")), 401);
    // Right password, but the answer computed for /other.
    const QByteArray qbaOther = probe.Digest(qbaAbsent, "DESCRIBE", "/other", "admin", "secret");
    QCOMPARE(CLS_RtspProbe::Code(probe.Ask("DESCRIBE", "/ch4", qbaOther)), 401);
    const QByteArray qbaChallenge = probe.Ask("DESCRIBE", "/ch4");
    QCOMPARE(CLS_RtspProbe::Code(probe.Ask(
                 "DESCRIBE", "/ch4", probe.Digest(qbaChallenge, "DESCRIBE", "/ch4", "admin", "secret"))),
             200);
    QCOMPARE(CLS_RtspProbe::Code(probe.Ask(
                 "DESCRIBE", "/ch9", probe.Digest(qbaChallenge, "DESCRIBE", "/ch9", "admin", "secret"))),
             404);
    // Twelve wrong passwords (the /other one counted): the address waits 4 s, the right password too.
    for (int i = 0; i < 12; ++i) {
        const QByteArray qbaNonce = probe.Ask("DESCRIBE", "/ch4");
        QCOMPARE(CLS_RtspProbe::Code(probe.Ask("DESCRIBE", "/ch4",
                                               probe.Digest(qbaNonce, "DESCRIBE", "/ch4", "admin", "wrong"))),
                 401);
    }
    QElapsedTimer qtimer;
    qtimer.start();
    auto RightPasswordTaken = [&probe] {
        const QByteArray qbaNonce = probe.Ask("DESCRIBE", "/ch4");
        return CLS_RtspProbe::Code(probe.Ask(
                   "DESCRIBE", "/ch4", probe.Digest(qbaNonce, "DESCRIBE", "/ch4", "admin", "secret"))) == 200;
    };
    QVERIFY(!RightPasswordTaken());
    QTRY_VERIFY_WITH_TIMEOUT(RightPasswordTaken(), 10000);
    qInfo("right password taken again after %lld ms", qtimer.elapsed());
    QVERIFY(qtimer.elapsed() > 1000);
}

QTEST_GUILESS_MAIN(TestCameraBusinessGuard)
#include "test_camerabusiness_guard.moc"
