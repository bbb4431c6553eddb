// A channel edited through the channel table survives a restart of the real program: the settings
// file keeps it and the streaming library receives it again when the new copy starts.
#include "ChannelTestSupport.h"
#include "ProgramCopy.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

namespace {

// The block for desktop 0 that a copy handed the library in one call at start-up, as its journal
// recorded it; empty until then.
QJsonObject StartupBlock(const QString& _qstrJournal)
{
    QFile qfile(_qstrJournal);
    for (const QByteArray& qbaLine :
         qfile.open(QIODevice::ReadOnly) ? qfile.readAll().split('\n') : QList<QByteArray>()) {
        const QJsonObject qjsonEntry = QJsonDocument::fromJson(qbaLine).object();
        if (qjsonEntry.value("call") == "camera_business_set_chan_info" && qjsonEntry.contains("block") &&
            qjsonEntry.value("index").toInt(-1) == 0) {
            return qjsonEntry.value("block").toObject();
        }
    }
    return {};
}

} // namespace

class TestChanSetRestart : public QObject
{
    Q_OBJECT
private slots:
    void editedChannel_survivesRestart()
    {
        OrbApplication* pApp = OrbApplication::Instance();
        QVERIFY(QDir().mkpath(QFileInfo(pApp->GetConfigPath()).path()));
        TestRegistry registry;
        registry.m_vecScreen = ScreenList(1);
        FakeAudio audio;
        CLS_ChannelTable table(pApp->Settings(), registry);
        table.SetAudioSource(&audio);
        QVERIFY(table.Start());
        table.ResetAll();
        QCOMPARE(table.SaveVideo(0, 0, {1, 0, 15, 3072, {1920, 1080}, {{1920, 1080}}, "桌面1"}).eOutcome,
                 EnumChannelOutcome::DONE);

        // The program runs on that settings file, then restarts.
        ProgramCopies copies;
        QVERIFY(copies.Prepare());
        const QString qstrConfig = copies.Path("LumacastFile/Resource/config/lumacast.json");
        QVERIFY(QFile::copy(pApp->GetConfigPath(), qstrConfig));
        auto start = [&copies](const QStringList& _qstrlstArgs, const char* _pcJournal) {
            QProcessEnvironment qenv = ProgramCopies::Environment();
            qenv.insert("CAMERA_BUSINESS_JOURNAL", copies.Path(_pcJournal));
            return copies.Start(_qstrlstArgs, qenv);
        };
        auto handedOver = [&copies](const char* _pcJournal) {
            return QTest::qWaitFor([&] { return !StartupBlock(copies.Path(_pcJournal)).isEmpty(); }, 20000);
        };
        QProcess* pFirst = start({}, "journal1");
        QVERIFY(handedOver("journal1"));
        start({"Lumacast", R"({"param":{"restart":true,"tip":false}})"}, "journal2");
        QVERIFY(pFirst->waitForFinished(20000));
        QVERIFY(handedOver("journal2"));

        for (const QJsonObject& qjsonRecord :
             {StartupBlock(copies.Path("journal1")), StartupBlock(copies.Path("journal2")),
              RecordOf(ReadJsonFile(qstrConfig).value("chInfo").toArray(), 0)}) {
            QCOMPARE(qjsonRecord.value("videoBitRate").toInt(), 3072);
            QCOMPARE(qjsonRecord.value("videoFrameRate").toInt(), 15);
        }
    }
};

LUMACAST_TEST_MAIN(TestChanSetRestart)
#include "test_chanset_restart.moc"
