// The running program killed at random moments while the platform streams set-user requests to
// it: every settings file left behind is whole, with the old or the new value.
#include "LinkTestSupport.h"
#include "ProgramCopy.h"
#include "common/PublicCommonFun.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QThread>

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
    qjsonConfig.remove(QStringLiteral("chInfo"));
    QRandomGenerator rng(QRandomGenerator::global()->generate());
    int iSent = 0;
    int iWritten = 0;
    int iLastUser = 0;
    // A burst of 20 takes the copy about 20 ms: the kill comes at a random moment of it, or just
    // before or after it. The user in the file tells how many of the burst were written.
    while (iWritten < 1000) {
        QProcess* pCopy = copies.Start();
        QWebSocket* pOldSocket = peer.Socket();
        QVERIFY(QTest::qWaitFor([&] { return peer.Socket() != pOldSocket; }, 15000));
        // Answers of the killed copy still being read must not count for this one.
        if (pOldSocket != nullptr) {
            pOldSocket->disconnect();
        }
        peer.Frames().clear();
        const int iFirst = iSent;
        for (int i = 0; i < 20; ++i) {
            ++iSent;
            peer.Send(QStringLiteral(R"({"cmd":2003,"param":{"user":"u%1","password":"p%1"}})").arg(iSent));
        }
        peer.Socket()->flush();
        QThread::usleep(rng.bounded(0, 40000));
        pCopy->kill();
        QVERIFY(pCopy->waitForFinished(10000));
        QTRY_VERIFY(peer.Socket()->state() != QAbstractSocket::ConnectedState);
        const int iRoundAnswers = peer.Frames().filter(QStringLiteral("\"cmd\":12003")).size();

        // Old or new: at least every answered write, at most every sent one.
        // The channel page writes its own table at start.
        QJsonObject qjsonRead = ReadJsonFile(qstrConfig);
        QVERIFY(qjsonRead.take(QStringLiteral("chInfo")).isArray());
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
        if (iUser > 0) {
            qjsonConfig.insert(QStringLiteral("hostInfo"),
                               QJsonObject{{"port", 8554},
                                           {"user", QStringLiteral("u%1").arg(iUser)},
                                           {"password", QStringLiteral("p%1").arg(iUser)},
                                           {"supportModify", false}});
        }
        QCOMPARE(qjsonRead, qjsonConfig);
        iWritten += std::max(0, iUser - iFirst);
        iLastUser = iUser;
        copies.KillAll();
    }
    // The next start clears what the kills cut off.
    copies.Start();
    const QDir qdirConfig = QFileInfo(qstrConfig).dir();
    QTRY_COMPARE_WITH_TIMEOUT(qdirConfig.entryList({QStringLiteral("lumacast.json.*")}, QDir::Files),
                              QStringList(), 15000);
}

QTEST_GUILESS_MAIN(TestSettingsKill)
#include "test_settingskill.moc"
