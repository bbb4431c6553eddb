// Start-up while another copy runs: the "already running" notice and the decision to go on.
// The other copy is a process of this test's own image name: a link named like this program
// that starts /bin/sleep.
#include "TestSupport.h"

#include "common/PublicCommonFun.h"
#include "widgets/CLS_MessageBox.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

class TestNotice : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startWhileCopyRuns_data();
    void startWhileCopyRuns();
    void noCopyRunning_goesOnWithoutNotice();
    void skinReachesMessageBox();

private:
    // Clicks "确定" on every notice shown while the test waits in ParseStartParam.
    void WatchForNotice();
    int CountCopies() const;

    QTemporaryDir m_qtmpDir;
    std::unique_ptr<QProcess> m_pCopy;
    std::unique_ptr<QTimer> m_pTimerWatch;
    QStringList m_qstrlstNotices;
};

void TestNotice::init()
{
    QVERIFY(m_qtmpDir.isValid());
    const QString qstrLink = m_qtmpDir.filePath(QCoreApplication::applicationName());
    QFile::remove(qstrLink);
    QVERIFY(QFile::link(QStringLiteral("/bin/sleep"), qstrLink));
    m_pCopy = std::make_unique<QProcess>();
    m_pCopy->start(qstrLink, {QStringLiteral("120")});
    QVERIFY(m_pCopy->waitForStarted());
    QCOMPARE(CountCopies(), 2);
    m_qstrlstNotices.clear();
    WatchForNotice();
}

void TestNotice::cleanup()
{
    m_pTimerWatch.reset();
    if (m_pCopy->state() != QProcess::NotRunning) {
        m_pCopy->kill();
        m_pCopy->waitForFinished();
    }
    m_pCopy.reset();
}

int TestNotice::CountCopies() const
{
    QList<quint32> lstPid;
    GetProcessIdsByName(QCoreApplication::applicationName(), lstPid);
    return lstPid.size();
}

void TestNotice::WatchForNotice()
{
    m_pTimerWatch = std::make_unique<QTimer>();
    m_pTimerWatch->setInterval(10);
    connect(m_pTimerWatch.get(), &QTimer::timeout, this, [this]() {
        auto* pBox = qobject_cast<CLS_MessageBox*>(QApplication::activeModalWidget());
        if (!pBox || !pBox->isVisible()) {
            return;
        }
        QStringList qstrlstButtons;
        const QList<QPushButton*> lstButtons = pBox->findChildren<QPushButton*>();
        for (const QPushButton* pButton : lstButtons) {
            qstrlstButtons << pButton->text();
        }
        m_qstrlstNotices << pBox->findChild<QLabel*>(QStringLiteral("label_Title"))->text() + '|' +
                                pBox->findChild<QLabel*>(QStringLiteral("label_Show"))->text() + '|' +
                                qstrlstButtons.join(',');
        QTest::mouseClick(pBox->findChild<QPushButton*>(QStringLiteral("pushButton_main")), Qt::LeftButton);
    });
    m_pTimerWatch->start();
}

void TestNotice::startWhileCopyRuns_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("notice");
    QTest::addColumn<bool>("goOn");

    const QString qstrExe = QCoreApplication::applicationFilePath();
    auto withParam = [qstrExe](const char* _pcParam) {
        return QStringList{qstrExe, QStringLiteral("Lumacast"), QString::fromUtf8(_pcParam)};
    };
    QTest::newRow("tip and restart absent") << withParam(R"({"param":{}})") << true << false;
    QTest::newRow("no param object") << withParam(R"({"token":"t"})") << true << false;
    QTest::newRow("tip true") << withParam(R"({"param":{"tip":true}})") << true << false;
    QTest::newRow("tip false") << withParam(R"({"param":{"tip":false}})") << false << false;
    QTest::newRow("restart") << withParam(R"({"param":{"restart":true}})") << true << true;
    QTest::newRow("restart, tip false")
        << withParam(R"({"param":{"restart":true,"tip":false}})") << false << true;
    QTest::newRow("start parameter not JSON") << withParam("lumacas") << true << false;
    QTest::newRow("marker word only") << QStringList{qstrExe, QStringLiteral("Lumacast")} << true << false;
    // Without arguments the single-instance guard decides; this test's process is the first
    // copy with a listener, so start-up goes on.
    QTest::newRow("no arguments") << QStringList{qstrExe} << false << true;
}

void TestNotice::startWhileCopyRuns()
{
    QFETCH(QStringList, args);
    QFETCH(bool, notice);
    QFETCH(bool, goOn);

    QCOMPARE(OrbApplication::Instance()->ParseStartParam(args), goOn);
    const QStringList qstrlstExpected =
        notice ? QStringList{QStringLiteral("提示|当前程序已运行！|确定")} : QStringList{};
    QCOMPARE(m_qstrlstNotices, qstrlstExpected);
    // A restart ends the older copy; otherwise it is left running.
    const bool blRestart = args.size() > 2 && args.at(2).contains(QLatin1String("\"restart\":true"));
    if (blRestart) {
        QTRY_COMPARE(m_pCopy->state(), QProcess::NotRunning);
    } else {
        QCOMPARE(m_pCopy->state(), QProcess::Running);
    }
}

void TestNotice::noCopyRunning_goesOnWithoutNotice()
{
    m_pCopy->kill();
    QVERIFY(m_pCopy->waitForFinished());
    QCOMPARE(CountCopies(), 1);
    const QStringList qstrlstArgs{QCoreApplication::applicationFilePath(), QStringLiteral("Lumacast"),
                                  QStringLiteral(R"({"param":{"tip":true}})")};
    QVERIFY(OrbApplication::Instance()->ParseStartParam(qstrlstArgs));
    QVERIFY(m_qstrlstNotices.isEmpty());
}

void TestNotice::skinReachesMessageBox()
{
    const QString qstrConfig = OrbApplication::Instance()->GetConfigPath();
    QDir().mkpath(QFileInfo(qstrConfig).path());
    QVERIFY(WriteJsonFile({{QStringLiteral("skin"), QStringLiteral("skinTwo")}}, qstrConfig));
    QVERIFY(OrbApplication::Instance()->ParseStartParam({QCoreApplication::applicationFilePath()}));
    QCOMPARE(CLS_MessageBox::GetSkin(), QStringLiteral("skinTwo"));
    QVERIFY(QFile::remove(qstrConfig));
    QVERIFY(OrbApplication::Instance()->ParseStartParam({QCoreApplication::applicationFilePath()}));
    QCOMPARE(CLS_MessageBox::GetSkin(), QStringLiteral("skinOne"));
}

LUMACAST_TEST_MAIN(TestNotice)
#include "test_notice.moc"
