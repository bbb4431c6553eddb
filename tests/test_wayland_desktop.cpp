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
    void timerEvent(QTimerEvent*) override { update(); }
    void paintEvent(QPaintEvent*) override
    {
        const int iLevel = QTime::currentTime().msecsSinceStartOfDay() / 200 % 25 * 10;
        QPainter painter(this);
        painter.fillRect(rect(), QColor(iLevel, iLevel, iLevel));
        painter.fillRect(0, 0, width() / 2, height(), g_qcolorMark);
    }
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

void WriteToken(const QString& _qstrToken)
{
    QJsonObject qjsonSettings = Settings();
    qjsonSettings.insert(g_acTokenKey, _qstrToken);
    QVERIFY(WriteJsonFile(qjsonSettings, SettingsPath()));
}

int ChooserRuns()
{
    QFile qfile(qEnvironmentVariable("LUMACAST_WAYLAND_LOGS") + QStringLiteral("/chooser.log"));
    qfile.open(QIODevice::ReadOnly);
    return qfile.readAll().count('\n');
}

// Desktop channel 0 of the whole 1920 x 1080 output, sent at 640 x 360, and desktop channel 1 of a
// screen to its right that the portal does not give. Waits up to 5 s for channel 0 to be served;
// where the log stood before, -1 when it is not.
int StartWithDesktop()
{
    const int iLogStart = ReadAppLog().size();
    StartLibrary();
    STRUCT_ChanInfo astBlock[2] = {MakeBlock(0, "desktop"), MakeBlock(1, "other desktop")};
    for (int i = 0; i < 2; ++i) {
        astBlock[i].iCameraWidth = 1920;
        astBlock[i].iCameraHeight = 1080;
        astBlock[i].iDeskPosX = 1920 * i;
        astBlock[i].iVideoWidth = 640;
        astBlock[i].iVideoHeight = 360;
        astBlock[i].ucEnable = 1;
    }
    camera_business_set_chan_info(astBlock, 2);
    return QTest::qWaitFor([&] { return ReadAppLog().mid(iLogStart).contains("channel 0 served"); })
               ? iLogStart
               : -1;
}

} // namespace

class TestWaylandDesktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void testCast_playsWhatIsOnTheScreen_askedOnce();
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
    log_set_path(qPrintable(QCoreApplication::applicationDirPath() + QStringLiteral("/Log/") +
                            QCoreApplication::applicationName()));
    m_window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_window));
    // Settings the program wrote before: they stay as they are.
    QDir().mkpath(QFileInfo(SettingsPath()).absolutePath());
    QVERIFY(WriteJsonFile(
        {{"hostInfo", QJsonObject{{"port", 0}, {"user", "YWRtaW4="}}}, {"chInfo", QJsonArray()}},
        SettingsPath()));
}

void TestWaylandDesktop::cleanup()
{
    camera_business_cleanup();
}

void TestWaylandDesktop::testCast_playsWhatIsOnTheScreen_askedOnce()
{
    const int iLogStart = StartWithDesktop();
    QVERIFY(iLogStart >= 0);
    CLS_RtspClient player(0);
    const QImage imageFirst = player.Frame(15000);
    QCOMPARE(imageFirst.size(), QSize(640, 360));
    QVERIFY2(NearColour(imageFirst.pixelColor(100, 180), g_qcolorMark),
             qPrintable(imageFirst.pixelColor(100, 180).name()));
    QTest::qWait(1000);
    const QImage imageLater = player.Frame(15000);
    QVERIFY(!imageLater.isNull() && imageFirst.pixelColor(500, 180) != imageLater.pixelColor(500, 180));
    // At most the channel's rate (10): pipewiresrc's clock leaps, and a rate adapter timed by it
    // filled the leap with copies at full speed.
    const int iFramesBefore = player.Frames();
    QTest::qWait(2000);
    QVERIFY2(player.Frames() - iFramesBefore <= 25,
             qPrintable(QString::number(player.Frames() - iFramesBefore)));

    QCOMPARE(ReadAppLog().mid(iLogStart).count("channel 1 not served"), 1);
    const QJsonObject qjsonSettings = Settings();
    QVERIFY(!qjsonSettings.value(g_acTokenKey).toString().isEmpty());
    QCOMPARE(qjsonSettings.value("hostInfo").toObject().value("user").toString(), QStringLiteral("YWRtaW4="));
    QCOMPARE(ChooserRuns(), 1);
    camera_business_cleanup();
    QVERIFY(StartWithDesktop() >= 0);
    QCOMPARE(ChooserRuns(), 1);
    // A token the portal refuses (not one it could have made): asked again, the new one kept.
    camera_business_cleanup();
    WriteToken(QStringLiteral("no-such-token"));
    QVERIFY(StartWithDesktop() >= 0);
    QCOMPARE(ChooserRuns(), 2);
    const QString qstrStored = Settings().value(g_acTokenKey).toString();
    QVERIFY2(!qstrStored.isEmpty() && qstrStored != QLatin1String("no-such-token"), qPrintable(qstrStored));
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
        !CLS_RtspClient(0, CLS_RtspClient::DECODE_VIDEO, "admin", "secret", iPort).Frame(15000).isNull();
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
