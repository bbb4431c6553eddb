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
    void skinReachesMessageBox();

private:
    static int CountCopies()
    {
        QList<quint32> lstPid;
        GetProcessIdsByName(QCoreApplication::applicationName(), lstPid);
        return lstPid.size();
    }

    QTemporaryDir m_qtmpDir;
    std::unique_ptr<QProcess> m_pCopy;
    std::unique_ptr<QTimer> m_pTimerWatch;
    // "title|text|buttons" of every notice shown, each answered with its main button.
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
    m_pTimerWatch = std::make_unique<QTimer>();
    m_pTimerWatch->setInterval(10);
    connect(m_pTimerWatch.get(), &QTimer::timeout, this, [this]() {
        auto* pBox = qobject_cast<CLS_MessageBox*>(QApplication::activeModalWidget());
        if (!pBox || !pBox->isVisible()) {
            return;
        }
        QStringList qstrlstButtons;
        for (const QPushButton* pButton : pBox->findChildren<QPushButton*>()) {
            qstrlstButtons << pButton->text();
        }
        m_qstrlstNotices << pBox->findChild<QLabel*>(QStringLiteral("label_Title"))->text() + '|' +
                                pBox->findChild<QLabel*>(QStringLiteral("label_Show"))->text() + '|' +
                                qstrlstButtons.join(',');
        QTest::mouseClick(pBox->findChild<QPushButton*>(QStringLiteral("pushButton_main")), Qt::LeftButton);
    });
    m_pTimerWatch->start();
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

void TestNotice::startWhileCopyRuns_data()
{
    QTest::addColumn<bool>("copyRuns");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("notice");
    QTest::addColumn<bool>("goOn");
    QTest::addColumn<bool>("copyEnded");

    const QString qstrExe = QCoreApplication::applicationFilePath();
    auto row = [qstrExe](const char* _pcTag, const char* _pcParam, bool _blNotice, bool _blGoOn,
                         bool _blCopyRuns = true) {
        QStringList qstrlstArgs{qstrExe, QStringLiteral("Lumacast"), QString::fromUtf8(_pcParam)};
        if (!_pcParam) {
            qstrlstArgs.removeLast();
        }
        // A restart ends the older copy; otherwise it is left running.
        QTest::newRow(_pcTag) << _blCopyRuns << qstrlstArgs << _blNotice << _blGoOn
                              << (_blCopyRuns && _blGoOn);
    };
    row("tip and restart absent", R"({"param":{}})", true, false);
    row("no param object", R"({"token":"t"})", true, false);
    row("tip true", R"({"param":{"tip":true}})", true, false);
    row("tip false", R"({"param":{"tip":false}})", false, false);
    row("restart", R"({"param":{"restart":true}})", true, true);
    row("restart, tip false", R"({"param":{"restart":true,"tip":false}})", false, true);
    row("start parameter not JSON", "lumacas", true, false);
    row("marker word only", nullptr, true, false);
    row("no copy running", R"({"param":{"tip":true}})", false, true, false);
    // Without arguments the single-instance guard decides; this test's process is the first
    // copy with a listener, so start-up goes on.
    QTest::newRow("no arguments") << true << QStringList{qstrExe} << false << true << false;
}

void TestNotice::startWhileCopyRuns()
{
    QFETCH(bool, copyRuns);
    QFETCH(QStringList, args);
    QFETCH(bool, notice);
    QFETCH(bool, goOn);
    QFETCH(bool, copyEnded);

    if (!copyRuns) {
        m_pCopy->kill();
        QVERIFY(m_pCopy->waitForFinished());
        QCOMPARE(CountCopies(), 1);
    }
    QCOMPARE(OrbApplication::Instance()->ParseStartParam(args), goOn);
    QCOMPARE(m_qstrlstNotices,
             notice ? QStringList{QStringLiteral("提示|当前程序已运行！|确定")} : QStringList{});
    if (copyEnded) {
        QTRY_COMPARE(m_pCopy->state(), QProcess::NotRunning);
    } else if (copyRuns) {
        QCOMPARE(m_pCopy->state(), QProcess::Running);
    }
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
