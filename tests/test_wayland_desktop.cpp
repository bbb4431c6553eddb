// Desktop channels of a Wayland session, in a real headless one (scripts/wayland-session.sh): sway,
// PipeWire, the ScreenCast portal and a chooser that stands in for the user. The test draws on the
// output with a window of its own and plays the channel from the library over RTSP.
#include "LogReader.h"
#include "ProgramCopy.h"
#include "RtspClient.h"
#include "common/PublicCommonFun.h"
#include "win32_libos.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QWidget>

namespace {

const QColor g_qcolorMark(230, 20, 30);
const char g_acTokenKey[] = "screenCastRestoreToken";

// Its left half a fixed mark, its right half a grey that changes five times a second and comes
// back to a level only after five seconds.
class CLS_MovingWindow : public QWidget
{
public:
    CLS_MovingWindow() { startTimer(200); }

protected:
    void timerEvent(QTimerEvent*) override
    {
        m_iLevel = (m_iLevel + 40) % 250;
        update();
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(0, 0, width() / 2, height(), g_qcolorMark);
        painter.fillRect(width() / 2, 0, width() - width() / 2, height(),
                         QColor(m_iLevel, m_iLevel, m_iLevel));
    }

private:
    int m_iLevel = 0;
};

QString SettingsPath()
{
    return QCoreApplication::applicationDirPath() +
           QStringLiteral("/LumacastFile/Resource/config/lumacast.json");
}

QJsonObject Settings()
{
    return ReadJsonFile(SettingsPath());
}

void WriteSettings(const QJsonObject& _qjsonSettings)
{
    QDir().mkpath(QFileInfo(SettingsPath()).absolutePath());
    QVERIFY(WriteJsonFile(_qjsonSettings, SettingsPath()));
}

int ChooserRuns()
{
    QFile qfile(qEnvironmentVariable("LUMACAST_WAYLAND_LOGS") + QStringLiteral("/chooser.log"));
    qfile.open(QIODevice::ReadOnly);
    return qfile.readAll().count('\n');
}

// Desktop channel 0 of the whole 1920 x 1080 output, sent at 640 x 360; desktop channel 1 of a
// screen to its right that the portal does not give; camera channel 4.
void StartWithDesktop()
{
    StartLibrary();
    STRUCT_ChanInfo astBlock[3] = {MakeBlock(0, "desktop"), MakeBlock(1, "other desktop"),
                                   MakeBlock(4, "camera")};
    for (int i = 0; i < 2; ++i) {
        astBlock[i].iCameraWidth = 1920;
        astBlock[i].iCameraHeight = 1080;
        astBlock[i].iDeskPosX = 1920 * i;
    }
    astBlock[2].iCollectType = 1;
    for (STRUCT_ChanInfo& stBlock : astBlock) {
        stBlock.iVideoWidth = 640;
        stBlock.iVideoHeight = 360;
        stBlock.ucEnable = 1;
    }
    QCOMPARE(camera_business_set_chan_info(astBlock, 3), 1);
}

} // namespace

class TestWaylandDesktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void testCast_playsWhatIsOnTheScreen();
    void testSecondStart_presentsStoredChoice();
    void testUnknownToken_askedAgain_data();
    void testUnknownToken_askedAgain();
    void testNoCast_otherChannelsServedAndSaidOnce_data();
    void testNoCast_otherChannelsServedAndSaidOnce();
    void testProgram_onQtWaylandPlatform();

private:
    CLS_MovingWindow m_window;
};

void TestWaylandDesktop::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        QSKIP("needs a Wayland session (scripts/wayland-session.sh)");
    }
    gst_init(nullptr, nullptr);
    qputenv("CAMERA_BUSINESS_CAMERA_SOURCE", "videotestsrc");
    log_set_path(qPrintable(QCoreApplication::applicationDirPath() + QStringLiteral("/Log/") +
                            QCoreApplication::applicationName()));
    m_window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_window));
    // Settings the program wrote before: they stay as they are.
    WriteSettings({{"hostInfo", QJsonObject{{"port", 0}, {"user", "YWRtaW4="}}}, {"chInfo", QJsonArray()}});
}

void TestWaylandDesktop::cleanup()
{
    camera_business_cleanup();
}

void TestWaylandDesktop::testCast_playsWhatIsOnTheScreen()
{
    const int iLogStart = ReadAppLog().size();
    StartWithDesktop();
    // Served once the portal has answered.
    QTRY_VERIFY(ReadAppLog().mid(iLogStart).contains("channel 0 served"));
    CLS_RtspClient player(0, CLS_RtspClient::DECODE_LATEST);
    const QImage imageFirst = player.Frame(15000);
    QVERIFY(!imageFirst.isNull());
    QCOMPARE(imageFirst.size(), QSize(640, 360));
    QVERIFY2(NearColour(imageFirst.pixelColor(100, 180), g_qcolorMark),
             qPrintable(imageFirst.pixelColor(100, 180).name()));
    QTest::qWait(1000);
    const QImage imageLater = player.Frame(15000);
    QVERIFY(!imageLater.isNull());
    QVERIFY(imageFirst.pixelColor(500, 180) != imageLater.pixelColor(500, 180));
    // At most the channel's rate (10): pipewiresrc's clock leaps, and a rate adapter timed by it
    // filled the leap with copies at full speed.
    const int iFramesBefore = player.Frames();
    QTest::qWait(2000);
    QVERIFY2(player.Frames() - iFramesBefore <= 25,
             qPrintable(QString::number(player.Frames() - iFramesBefore)));

    QCOMPARE(ReadAppLog().mid(iLogStart).count(
                 "channel 1 not served: the screen 1920x1080 at 1920,0 was not shared"),
             1);
    const QJsonObject qjsonSettings = Settings();
    QVERIFY(!qjsonSettings.value(g_acTokenKey).toString().isEmpty());
    QCOMPARE(qjsonSettings.value("hostInfo").toObject().value("user").toString(), QStringLiteral("YWRtaW4="));
    QCOMPARE(ChooserRuns(), 1);
}

void TestWaylandDesktop::testSecondStart_presentsStoredChoice()
{
    const int iLogStart = ReadAppLog().size();
    StartWithDesktop();
    QTRY_VERIFY(ReadAppLog().mid(iLogStart).contains("channel 0 served"));
    QVERIFY(!CLS_RtspClient(0, CLS_RtspClient::DECODE_LATEST).Frame(15000).isNull());
    QCOMPARE(ChooserRuns(), 1);
    QVERIFY(!Settings().value(g_acTokenKey).toString().isEmpty());
}

// A token the portal does not know (revoked, or from another desktop): the user is asked again
// and the new choice is kept.
void TestWaylandDesktop::testUnknownToken_askedAgain_data()
{
    QTest::addColumn<QString>("qstrToken");
    QTest::newRow("unknown") << "0f60b819-190a-4589-bd79-57f856ad30ad";
    QTest::newRow("refused as no token at all") << "no-such-token";
}

void TestWaylandDesktop::testUnknownToken_askedAgain()
{
    QFETCH(QString, qstrToken);
    QJsonObject qjsonSettings = Settings();
    qjsonSettings.insert(g_acTokenKey, qstrToken);
    WriteSettings(qjsonSettings);
    const int iChooserRuns = ChooserRuns();
    const int iLogStart = ReadAppLog().size();
    StartWithDesktop();
    QTRY_VERIFY(ReadAppLog().mid(iLogStart).contains("channel 0 served"));
    QCOMPARE(ChooserRuns(), iChooserRuns + 1);
    const QString qstrStored = Settings().value(g_acTokenKey).toString();
    QVERIFY2(!qstrStored.isEmpty() && qstrStored != qstrToken, qPrintable(qstrStored));
}

void TestWaylandDesktop::testNoCast_otherChannelsServedAndSaidOnce_data()
{
    QTest::addColumn<bool>("blCancel");
    QTest::newRow("the user cancels") << true;
    QTest::newRow("no portal to ask") << false;
}

void TestWaylandDesktop::testNoCast_otherChannelsServedAndSaidOnce()
{
    QFETCH(bool, blCancel);
    QJsonObject qjsonSettings = Settings();
    qjsonSettings.remove(g_acTokenKey);
    WriteSettings(qjsonSettings);
    const QString qstrCancel = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/chooser-cancel");
    QFile(qstrCancel).open(QIODevice::WriteOnly);
    const QByteArray baBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!blCancel) {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(qstrCancel) + ".no-bus");
    }
    const int iChooserRuns = ChooserRuns();
    const int iLogStart = ReadAppLog().size();
    StartWithDesktop();
    QTRY_VERIFY(ReadAppLog().mid(iLogStart).contains("desktop channels not served"));
    QVERIFY(!CLS_RtspClient(4, CLS_RtspClient::DECODE_LATEST).Frame(15000).isNull());
    QCOMPARE(ReadAppLog().mid(iLogStart).count("desktop channels not served"), 1);
    QCOMPARE(ChooserRuns(), iChooserRuns + (blCancel ? 1 : 0));
    QFile::remove(qstrCancel);
    qputenv("DBUS_SESSION_BUS_ADDRESS", baBus);
}

// The program itself, its window on Qt's Wayland platform and no X display at all. Last: its
// window covers the test's.
void TestWaylandDesktop::testProgram_onQtWaylandPlatform()
{
    QTemporaryDir qtempApp;
    QProcess qprocess;
    const int iPort = StartServingCopy(qtempApp, qprocess);
    QVERIFY(iPort > 0);
    const bool blPlayed =
        !CLS_RtspClient(0, CLS_RtspClient::DECODE_LATEST, "admin", "secret", iPort).Frame(15000).isNull();
    qprocess.kill();
    qprocess.waitForFinished();
    QVERIFY(blPlayed);
    const QJsonObject qjsonSettings =
        ReadJsonFile(qtempApp.filePath("LumacastFile/Resource/config/lumacast.json"));
    QVERIFY(!qjsonSettings.value(g_acTokenKey).toString().isEmpty());
    QCOMPARE(qjsonSettings.value("chInfo").toArray().first().toObject().value("collectDevType").toInt(-1), 0);
}

QTEST_MAIN(TestWaylandDesktop)
#include "test_wayland_desktop.moc"
