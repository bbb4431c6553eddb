// The running program killed at random moments while the platform streams set-user requests to
// it: every settings file left behind is whole, with the old or the new value.
#include "LinkTestSupport.h"
#include "ProgramCopy.h"
#include "common/PublicCommonFun.h"

#include <QJsonArray>
#include <QRandomGenerator>

class TestSettingsKill : public QObject
{
    Q_OBJECT
private slots:
    void killedWhileWritingLeavesAWholeFile();
};

void TestSettingsKill::killedWhileWritingLeavesAWholeFile()
{
    TestPeer peer(10588);
    QVERIFY2(peer.IsListening(), "the platform service's port 10588 is taken");
    ProgramCopies copies;
    QVERIFY(copies.Prepare());
    const QString qstrConfig = copies.Path(QStringLiteral("LumacastFile/Resource/config/lumacast.json"));
    QJsonObject qjsonConfig = ParseJson(QStringLiteral(
        R"({"skin":"skinTwo","autoRun":2,"chInfo":[{"chNo":4,"chName":"摄像头"}],"hostInfo":{"port":8554}})"));
    QVERIFY(WriteJsonFile(qjsonConfig, qstrConfig));
    QRandomGenerator rng(QRandomGenerator::global()->generate());
    int iSent = 0;
    int iAnswered = 0;
    int iCutShort = 0;
    int iKills = 0;
    int iLastUser = 0;
    while (iSent < 1000) {
        QProcess* pCopy = copies.Start();
        QWebSocket* pOldSocket = peer.Socket();
        QVERIFY(QTest::qWaitFor([&] { return peer.Socket() != pOldSocket; }, 15000));
        peer.Frames().clear();
        const int iFirst = iSent;
        const int iBurst = std::min(1000 - iSent, static_cast<int>(rng.bounded(1, 60)));
        for (int i = 0; i < iBurst; ++i) {
            ++iSent;
            peer.Send(QStringLiteral(R"({"cmd":2003,"param":{"user":"u%1","password":"p%1"}})").arg(iSent));
        }
        QTest::qWait(static_cast<int>(rng.bounded(0, 60)));
        pCopy->kill();
        QVERIFY(pCopy->waitForFinished(10000));
        QTRY_VERIFY(peer.Socket()->state() != QAbstractSocket::ConnectedState);
        ++iKills;
        const int iRoundAnswers = peer.Frames().filter(QStringLiteral("\"cmd\":12003")).size();
        iCutShort += iRoundAnswers < iBurst ? 1 : 0;
        iAnswered += iRoundAnswers;

        // Old or new: at least every answered write, at most every sent one.
        const QJsonObject qjsonRead = ReadJsonFile(qstrConfig);
        const int iUser = qjsonRead.value(QStringLiteral("hostInfo"))
                              .toObject()
                              .value(QStringLiteral("user"))
                              .toString(QStringLiteral("u0"))
                              .mid(1)
                              .toInt();
        QVERIFY2(iUser >= std::max(iLastUser, iRoundAnswers > 0 ? iFirst + iRoundAnswers : 0) &&
                     iUser <= iSent,
                 qPrintable(
                     QStringLiteral("user u%1 after requests %2..%3").arg(iUser).arg(iFirst + 1).arg(iSent)));
        QJsonObject qjsonHost = qjsonConfig.value(QStringLiteral("hostInfo")).toObject();
        if (iUser > 0) {
            qjsonHost.insert(QStringLiteral("user"), QStringLiteral("u%1").arg(iUser));
            qjsonHost.insert(QStringLiteral("password"), QStringLiteral("p%1").arg(iUser));
            qjsonHost.insert(QStringLiteral("supportModify"), false);
        }
        qjsonConfig.insert(QStringLiteral("hostInfo"), qjsonHost);
        QCOMPARE(qjsonRead, qjsonConfig);
        iLastUser = iUser;
        copies.KillAll();
    }
    // The next start clears what the kills cut off.
    copies.Start();
    QTRY_VERIFY_WITH_TIMEOUT(copies.Log().count(QStringLiteral("start: pid=")) > iKills, 15000);
    const QStringList qstrlstBeside =
        QDir(QFileInfo(qstrConfig).path()).entryList(QDir::Files).filter(QStringLiteral("lumacast.json."));
    QVERIFY2(qstrlstBeside.isEmpty(), qPrintable(qstrlstBeside.join(QLatin1Char(' '))));
    qInfo("%d settings writes sent, %d answered, %d kills (%d cut a burst short): every file whole", iSent,
          iAnswered, iKills, iCutShort);
}

QTEST_GUILESS_MAIN(TestSettingsKill)
#include "test_settingskill.moc"
