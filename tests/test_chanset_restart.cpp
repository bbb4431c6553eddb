// A channel edited through its page survives a restart of the real program: the settings file
// keeps it and the streaming library receives it again when the new copy starts.
#include "CLS_WgtChanSet/CLS_WgtVideoParamSet.h"
#include "ChanSetTestSupport.h"
#include "ProgramCopy.h"

#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>

namespace {

// The block for channel _iChNo that a copy handed the library in one call at start-up, as its
// journal recorded it; empty until then.
QJsonObject StartupBlock(const QString& _qstrJournal, int _iChNo)
{
    QFile qfile(_qstrJournal);
    if (!qfile.open(QIODevice::ReadOnly)) {
        return {};
    }
    for (const QByteArray& qbaLine : qfile.readAll().split('\n')) {
        const QJsonObject qjsonEntry = QJsonDocument::fromJson(qbaLine).object();
        if (qjsonEntry.value("call") == "camera_business_set_chan_info" && qjsonEntry.contains("block") &&
            qjsonEntry.value("index").toInt(-1) == _iChNo) {
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
    void cleanup();
    void editedChannel_survivesRestart();

private:
    QProcess* Start(const QStringList& _qstrlstArgs, const QString& _qstrJournal);

    QTemporaryDir m_qtempApp;
    QTemporaryDir m_qtempSockets;
    std::vector<std::unique_ptr<QProcess>> m_vecProcess;
    BoxAnswerer m_answerer;
};

void TestChanSetRestart::cleanup()
{
    for (auto& pProcess : m_vecProcess) {
        pProcess->kill();
        pProcess->waitForFinished();
    }
    m_vecProcess.clear();
}

QProcess* TestChanSetRestart::Start(const QStringList& _qstrlstArgs, const QString& _qstrJournal)
{
    auto pProcess = std::make_unique<QProcess>();
    QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
    qenv.insert("TMPDIR", m_qtempSockets.path());
    qenv.insert("QT_QPA_PLATFORM", "offscreen");
    qenv.insert("CAMERA_BUSINESS_JOURNAL", m_qtempApp.filePath(_qstrJournal));
    pProcess->setProcessEnvironment(qenv);
    pProcess->setWorkingDirectory(m_qtempApp.path());
    pProcess->start(m_qtempApp.filePath("Lumacast"), _qstrlstArgs);
    pProcess->waitForStarted();
    m_vecProcess.push_back(std::move(pProcess));
    return m_vecProcess.back().get();
}

void TestChanSetRestart::editedChannel_survivesRestart()
{
    // The user edits desktop 1 through its page.
    ResetWorld();
    WriteConfig({});
    StartPage();
    auto* pVideo = m_pPage->findChild<CLS_WgtVideoParamSet*>();
    pVideo->findChild<QSpinBox*>("spinBox_BitRate")->setValue(3072);
    pVideo->findChild<QSpinBox*>("spinBox_FrameRate")->setValue(15);
    pVideo->findChild<QPushButton*>("pushButton_SaveParam")->click();
    QCOMPARE(m_answerer.Take(), QStringList{"保存成功"});
    m_pPage.reset();

    // The program runs on that settings file, then restarts.
    QVERIFY(CopyBuiltProgram(qEnvironmentVariable("LUMACAST_APP_DIR"), m_qtempApp.path()));
    const QString qstrConfig = m_qtempApp.filePath("LumacastFile/Resource/config/lumacast.json");
    QVERIFY(QFile::copy(App()->GetConfigPath(), qstrConfig));
    QProcess* pFirst = Start({}, "journal1");
    QVERIFY(QTest::qWaitFor([this] { return !StartupBlock(m_qtempApp.filePath("journal1"), 0).isEmpty(); },
                            20000));
    Start({"Lumacast", R"({"param":{"restart":true,"tip":false}})"}, "journal2");
    QVERIFY(pFirst->waitForFinished(20000));
    QVERIFY(QTest::qWaitFor([this] { return !StartupBlock(m_qtempApp.filePath("journal2"), 0).isEmpty(); },
                            20000));

    for (const char* pcJournal : {"journal1", "journal2"}) {
        const QJsonObject qjsonBlock = StartupBlock(m_qtempApp.filePath(pcJournal), 0);
        QCOMPARE(qjsonBlock.value("videoBitRate").toInt(), 3072);
        QCOMPARE(qjsonBlock.value("videoFrameRate").toInt(), 15);
    }
    const QJsonObject qjsonRecord = RecordOf(ReadJsonFile(qstrConfig).value("chInfo").toArray(), 0);
    QCOMPARE(qjsonRecord.value("videoBitRate").toInt(), 3072);
    QCOMPARE(qjsonRecord.value("videoFrameRate").toInt(), 15);
}

LUMACAST_TEST_MAIN(TestChanSetRestart)
#include "test_chanset_restart.moc"
