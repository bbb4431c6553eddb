// A channel edited through its page survives a restart of the real program: the settings file
// keeps it and the streaming library receives it again when the new copy starts.
#include "CLS_WgtChanSet/CLS_WgtVideoParamSet.h"
#include "ChanSetTestSupport.h"
#include "ProgramCopy.h"

#include <QSpinBox>

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

class TestChanSetRestart : public ChanSetFixture
{
    Q_OBJECT
private slots:
    void editedChannel_survivesRestart()
    {
        // The user edits desktop 1 through its page.
        CLS_BoxAnswerer answerer;
        ResetWorld();
        WriteConfig({});
        StartPage();
        auto* pVideo = m_pPage->findChild<CLS_WgtVideoParamSet*>();
        pVideo->findChild<QSpinBox*>("spinBox_BitRate")->setValue(3072);
        pVideo->findChild<QSpinBox*>("spinBox_FrameRate")->setValue(15);
        pVideo->findChild<QPushButton*>("pushButton_SaveParam")->click();
        QCOMPARE(answerer.Take(), QStringList{"保存成功"});
        m_pPage.reset();

        // The program runs on that settings file, then restarts.
        ProgramCopies copies;
        QVERIFY(copies.Prepare());
        const QString qstrConfig = copies.Path("LumacastFile/Resource/config/lumacast.json");
        QVERIFY(QFile::copy(App()->GetConfigPath(), qstrConfig));
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
