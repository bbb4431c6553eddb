// The publishing back end under hostile and heavy clients: the X display and the other
// channels keep going, memory and descriptors come back, and nothing is given away without the
// password. Desktops are the X screens of DISPLAY (the test runs on an Xvfb of its own with two).
#include "RtspClient.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTcpSocket>

#include <X11/Xlib.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ctime>
#include <future>
#include <memory>
#include <thread>

namespace {

// One RTSP connection to 127.0.0.1, requests written by hand.
class CLS_RtspProbe
{
public:
    explicit CLS_RtspProbe(int _iPort) : m_iPort(_iPort)
    {
        m_qsocket.connectToHost(QStringLiteral("127.0.0.1"), quint16(_iPort));
        m_qsocket.waitForConnected(3000);
    }

    QByteArray Url(const QString& _qstrPath) const
    {
        return QStringLiteral("rtsp://127.0.0.1:%1%2").arg(m_iPort).arg(_qstrPath).toUtf8();
    }
    // Bodies are not read: after an answer with one, the next request needs a connection of its own.
    QByteArray Ask(const QByteArray& _qbaMethod, const QString& _qstrPath, const QByteArray& _qbaHeaders = {})
    {
        m_qsocket.write(_qbaMethod + ' ' + Url(_qstrPath) +
                        " RTSP/1.0\r\nCSeq: " + QByteArray::number(++m_iSeq) + "\r\n" + _qbaHeaders + "\r\n");
        return Answer();
    }
    // The head of the next answer, empty when none comes within 5 s.
    QByteArray Answer()
    {
        while (!m_qbaBuffer.contains("\r\n\r\n") && m_qsocket.waitForReadyRead(5000)) {
            m_qbaBuffer += m_qsocket.readAll();
        }
        const int iEnd = m_qbaBuffer.indexOf("\r\n\r\n");
        const QByteArray qbaHead = iEnd < 0 ? QByteArray() : m_qbaBuffer.left(iEnd + 4);
        m_qbaBuffer.remove(0, qbaHead.size());
        return qbaHead;
    }
    // Digest credentials of "admin" for a DESCRIBE of _qstrUriPath, with the nonce of _qbaChallenge.
    QByteArray Digest(const QByteArray& _qbaChallenge, const QString& _qstrUriPath,
                      const QByteArray& _qbaPassword) const
    {
        auto Field = [&_qbaChallenge](const QString& _qstrName) {
            return QRegularExpression(_qstrName + QStringLiteral("=\"([^\"]*)\""))
                .match(_qbaChallenge)
                .captured(1)
                .toLatin1();
        };
        auto Md5 = [](const QByteArray& _qbaText) {
            return QCryptographicHash::hash(_qbaText, QCryptographicHash::Md5).toHex();
        };
        const QByteArray qbaResponse = Md5(Md5("admin:" + Field("realm") + ':' + _qbaPassword) + ':' +
                                           Field("nonce") + ':' + Md5("DESCRIBE:" + Url(_qstrUriPath)));
        return "Authorization: Digest username=\"admin\", realm=\"" + Field("realm") + "\", nonce=\"" +
               Field("nonce") + "\", uri=\"" + Url(_qstrUriPath) + "\", response=\"" + qbaResponse + "\"\r\n";
    }
    QTcpSocket& Socket() { return m_qsocket; }

    static int Code(const QByteArray& _qbaHead) { return _qbaHead.mid(9, 3).toInt(); }

private:
    int m_iPort;
    int m_iSeq = 0;
    QTcpSocket m_qsocket;
    QByteArray m_qbaBuffer;
};

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

QString ReadFile(const QString& _qstrPath)
{
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::ReadOnly) ? QString::fromLatin1(qfile.readAll()) : QString();
}

qint64 ResidentKiB()
{
    return QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)"))
        .match(ReadFile(QStringLiteral("/proc/self/status")))
        .captured(1)
        .toLongLong();
}

// The local address the server listens on, as /proc/net/tcp writes it ("0100007F": 127.0.0.1).
QString ListeningAddress(int _iPort)
{
    const QString qstrPattern = QStringLiteral(" ([0-9A-F]{8}):%1 [0-9A-F:]+ 0A ");
    return QRegularExpression(qstrPattern.arg(_iPort, 4, 16, QChar('0')).toUpper())
        .match(ReadFile(QStringLiteral("/proc/net/tcp")))
        .captured(1);
}

// Starts the library with a camera channel (4, a test picture); the port it serves on.
int StartCamera()
{
    StartLibrary();
    const STRUCT_ChanInfo stCamera = SmallChannel(4, 1);
    camera_business_add_chan_info(&stCamera);
    return State().iServedPort;
}

} // namespace

class TestCameraBusinessGuard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void testTwoDesktops_describeChurnAndFastChanges_displayAndChannelsGoOn();
    void testDesktopSessions_leaveNoSegment();
    void testIdleConnectionsWithoutDescriptors_noSpinClosed();
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

// Fault 1. A viewer on desktop 0; a DESCRIBE of desktop 1 every 0.5 s (each builds a capture for
// its answer); desktop 2 disabled, enabled and resized every 0.3 s through the library with a
// viewer that joins it each time. The X server, the viewer of desktop 0 and the server's answers
// must go on for 55 s (the freeze came within 55 s, mostly far sooner), and clean-up must return.
void TestCameraBusinessGuard::testTwoDesktops_describeChurnAndFastChanges_displayAndChannelsGoOn()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !DisplayAnswers()) {
        QSKIP("needs an X server (DISPLAY)");
    }
    StartLibrary(16, "");
    const STRUCT_ChanInfo astBlock[3] = {SmallChannel(0, 0), SmallChannel(1, 0, 320),
                                         SmallChannel(2, 0, 100, 400, 300)};
    QCOMPARE(camera_business_set_chan_info(astBlock, 3), 1);
    CLS_RtspClient viewer(0, CLS_RtspClient::DECODE_NONE, nullptr);
    QVERIFY(viewer.Plays());
    std::unique_ptr<CLS_RtspClient> pViewer2;
    QElapsedTimer qtimer;
    qtimer.start();
    qint64 iNextDescribe = 0, iNextChange = 0, iNextCheck = 3000;
    int iChanges = 0, iLastBuffers = 0;
    while (qtimer.elapsed() < 55000) {
        const QString qstrAt = QString::number(qtimer.elapsed());
        if (qtimer.elapsed() >= iNextDescribe) {
            iNextDescribe += 500;
            const QByteArray qbaAnswer =
                CLS_RtspProbe(State().iServedPort).Ask("DESCRIBE", "/ch1", "Accept: application/sdp\r\n");
            QVERIFY2(CLS_RtspProbe::Code(qbaAnswer) == 200, qPrintable(qstrAt));
        }
        if (qtimer.elapsed() >= iNextChange) {
            iNextChange += 300;
            if (iChanges++ % 3 == 0) {
                pViewer2.reset();
                QCOMPARE(camera_business_set_disable(2), 1);
            } else {
                QCOMPARE(iChanges % 3 == 2
                             ? camera_business_add_chan_info(&astBlock[2])
                             : camera_business_set_video_size(2, iChanges % 2 == 0 ? 160 : 320, 240),
                         1);
                pViewer2 = std::make_unique<CLS_RtspClient>(2, CLS_RtspClient::DECODE_NONE, nullptr);
            }
        }
        if (qtimer.elapsed() >= iNextCheck) {
            iNextCheck += 3000;
            // A still screen still sends a frame every 500 ms.
            QVERIFY2(DisplayAnswers() && viewer.Buffers() > iLastBuffers, qPrintable(qstrAt));
            iLastBuffers = viewer.Buffers();
        }
        QTest::qWait(20);
    }
}

// Fault 2. Sessions of a desktop channel, one after the other: no shared-memory segment stays
// mapped once the last client has gone (each build kept one, and a frame with it).
void TestCameraBusinessGuard::testDesktopSessions_leaveNoSegment()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !DisplayAnswers()) {
        QSKIP("needs an X server (DISPLAY)");
    }
    StartLibrary();
    STRUCT_ChanInfo stDesk = SmallChannel(0, 0, 0, 1280, 720);
    QCOMPARE(camera_business_add_chan_info(&stDesk), 1);
    for (int i = 0; i < 5; ++i) {
        QVERIFY(CLS_RtspClient(0, CLS_RtspClient::DECODE_NONE).Plays(20000));
        QTRY_COMPARE_WITH_TIMEOUT(ReadFile(QStringLiteral("/proc/self/maps")).count("/SYSV"), 0, 10000);
    }
}

// Fault 3. Idle connections from 127.0.0.2 while no descriptor is left: accepting pauses instead of
// spinning. Once descriptors are free again a client plays, and the idle ones are closed (those
// over the per-address limit at once, the others after 5 s without a request).
void TestCameraBusinessGuard::testIdleConnectionsWithoutDescriptors_noSpinClosed()
{
    const int iPort = StartCamera();
    sockaddr_in stFrom{};
    stFrom.sin_family = AF_INET;
    stFrom.sin_addr.s_addr = htonl(0x7F000002);
    sockaddr_in stTo = stFrom;
    stTo.sin_port = htons(quint16(iPort));
    stTo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    rlimit stOld{};
    getrlimit(RLIMIT_NOFILE, &stOld);
    const int iFd = dup(0);
    close(iFd);
    rlimit stLow = stOld;
    stLow.rlim_cur = rlim_t(iFd + 64);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &stLow), 0);
    std::vector<int> vecIdle;
    for (int iSocket = socket(AF_INET, SOCK_STREAM, 0); iSocket >= 0;
         iSocket = socket(AF_INET, SOCK_STREAM, 0)) {
        vecIdle.push_back(iSocket);
        bind(iSocket, reinterpret_cast<sockaddr*>(&stFrom), sizeof(stFrom));
        ::connect(iSocket, reinterpret_cast<sockaddr*>(&stTo), sizeof(stTo));
    }
    // The process's CPU time, all threads.
    const std::clock_t iCpuBefore = std::clock();
    QTest::qWait(2000);
    const double dCpu = double(std::clock() - iCpuBefore) / CLOCKS_PER_SEC;
    setrlimit(RLIMIT_NOFILE, &stOld);
    QVERIFY2(dCpu < 0.5, qPrintable(QString("%1 s of CPU in 2 s").arg(dCpu)));
    QVERIFY(CLS_RtspClient(4, CLS_RtspClient::DECODE_NONE).Plays());
    QTest::qWait(6000);
    char cByte = 0;
    const auto iClosed = std::count_if(vecIdle.begin(), vecIdle.end(), [&cByte](int _iSocket) {
        return recv(_iSocket, &cByte, 1, MSG_DONTWAIT) == 0;
    });
    for (const int iSocket : vecIdle) {
        close(iSocket);
    }
    QVERIFY2(vecIdle.size() > 32 && size_t(iClosed) == vecIdle.size(),
             qPrintable(QString("%1 of %2 closed").arg(iClosed).arg(vecIdle.size())));
}

// Fault 4. A body of 200 MB announced before authentication: refused before it is read; memory
// stays where it was.
void TestCameraBusinessGuard::testHugeBody_refusedBeforeAuthentication()
{
    StartLibrary();
    const qint64 iBeforeKiB = ResidentKiB();
    CLS_RtspProbe probe(State().iServedPort);
    probe.Socket().write(
        "SET_PARAMETER " + probe.Url("/ch4") +
        " RTSP/1.0\r\nCSeq: 1\r\nContent-Type: text/parameters\r\nContent-Length: 209715200\r\n\r\n");
    const QByteArray qbaChunk(1 << 20, 'x');
    for (int i = 0; i < 64 && probe.Socket().state() == QAbstractSocket::ConnectedState; ++i) {
        probe.Socket().write(qbaChunk);
        probe.Socket().waitForBytesWritten(200);
    }
    const QByteArray qbaAnswer = probe.Answer();
    QTRY_VERIFY_WITH_TIMEOUT(
        probe.Socket().state() != QAbstractSocket::ConnectedState || !qbaAnswer.isEmpty(), 5000);
    QVERIFY2(QList<int>({0, 400, 413}).contains(CLS_RtspProbe::Code(qbaAnswer)), qbaAnswer);
    QVERIFY(ResidentKiB() - iBeforeKiB < 16 * 1024);
}

// Fault 5. A user with an empty password: served on 127.0.0.1 only, as without a user, at start
// and when the user changes to it.
void TestCameraBusinessGuard::testEmptyPassword_loopbackOnly()
{
    StartLibrary(16, "");
    QCOMPARE(ListeningAddress(State().iServedPort), QString("0100007F"));
    QCOMPARE(camera_business_register_user("admin", "secret"), 1);
    QTRY_COMPARE(ListeningAddress(State().iServedPort), QString("00000000"));
    QCOMPARE(camera_business_register_user("admin", ""), 1);
    QTRY_COMPARE(ListeningAddress(State().iServedPort), QString("0100007F"));
    const STRUCT_ChanInfo stCamera = SmallChannel(4, 1);
    QCOMPARE(camera_business_add_chan_info(&stCamera), 1);
    QVERIFY(CLS_RtspClient(4, CLS_RtspClient::DECODE_NONE, nullptr).Plays());
}

// Fault 7. Without credentials an absent channel answers as a present one; a Digest answer made for
// another path is refused; after repeated failures even the right password waits.
void TestCameraBusinessGuard::testAuthentication_beforeLookup_uriChecked_failuresBarred()
{
    const int iPort = StartCamera();
    // A DESCRIBE of _qstrPath answering a fresh challenge with credentials computed for _qstrUri.
    auto Code = [iPort](const QString& _qstrPath, const QString& _qstrUri, const QByteArray& _qbaPassword) {
        CLS_RtspProbe probe(iPort);
        const QByteArray qbaChallenge = probe.Ask("DESCRIBE", _qstrPath);
        return CLS_RtspProbe::Code(
            probe.Ask("DESCRIBE", _qstrPath, probe.Digest(qbaChallenge, _qstrUri, _qbaPassword)));
    };
    QCOMPARE(CLS_RtspProbe::Code(CLS_RtspProbe(iPort).Ask("DESCRIBE", "/ch9")), 401);
    QCOMPARE(Code("/ch4", "/other", "secret"), 401);
    QCOMPARE(Code("/ch4", "/ch4", "secret"), 200);
    QCOMPARE(Code("/ch9", "/ch9", "secret"), 404);
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(Code("/ch4", "/ch4", "wrong"), 401);
    }
    QVERIFY(Code("/ch4", "/ch4", "secret") != 200);
    QTRY_COMPARE_WITH_TIMEOUT(Code("/ch4", "/ch4", "secret"), 200, 10000);
}

QTEST_GUILESS_MAIN(TestCameraBusinessGuard)
#include "test_camerabusiness_guard.moc"
