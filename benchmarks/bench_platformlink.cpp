// Round trips through the platform link from a loopback peer: 1,000 set-user requests (each
// rewrites the settings file) and 1,000 start requests matching the stored block (answered at
// once). Run with "-median 5" for a stable figure.
#include "CLS_WebSocketWidget.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QEventLoop>
#include <QTimer>

#include <cstring>

class BenchPlatformLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void benchSetUserRoundTrips();
    void benchMatchingStartRoundTrips();

private:
    // Sends each request and waits for its answer before the next one; false when one never came.
    bool RoundTrips(const QString& _qstrRequest, int _iCount);

    LinkFixture m_fixture;
};

void BenchPlatformLink::initTestCase()
{
    OrbApplication* pApp = OrbApplication::Instance();
    QVERIFY(QDir().mkpath(QFileInfo(pApp->GetConfigPath()).absolutePath()));
    QVERIFY(WriteJsonFile(JsonOf(QStringLiteral("{\"hostInfo\":{\"port\":8000},\"skin\":\"skinOne\"}")),
                          pApp->GetConfigPath()));
    STRUCT_StartRequest structStored;
    std::strcpy(structStored.aszField[1], "skinOne");
    std::strcpy(structStored.aszField[2], "zh_CN");
    std::strcpy(structStored.aszField[3], "1");
    std::strcpy(structStored.aszField[4], "token");
    pApp->SetStartRequest(structStored);
    QVERIFY(m_fixture.Open());
}

void BenchPlatformLink::cleanupTestCase()
{
    m_fixture.Close();
}

bool BenchPlatformLink::RoundTrips(const QString& _qstrRequest, int _iCount)
{
    QWebSocket* pPeer = m_fixture.Peer().Socket();
    QEventLoop eventLoop;
    QTimer timerGiveUp;
    timerGiveUp.setSingleShot(true);
    connect(&timerGiveUp, &QTimer::timeout, &eventLoop, [&eventLoop]() { eventLoop.exit(1); });
    const QMetaObject::Connection connection =
        connect(pPeer, &QWebSocket::textMessageReceived, &eventLoop, &QEventLoop::quit);
    bool blAnswered = true;
    for (int i = 0; i < _iCount && blAnswered; ++i) {
        pPeer->sendTextMessage(_qstrRequest);
        timerGiveUp.start(5000);
        blAnswered = eventLoop.exec() == 0;
    }
    disconnect(connection);
    return blAnswered;
}

void BenchPlatformLink::benchSetUserRoundTrips()
{
    const QString qstrRequest =
        QStringLiteral("{\"cmd\":2003,\"platform\":\"p\",\"token\":\"t\","
                       "\"param\":{\"user\":\"dXNlcg==\",\"password\":\"cGFzcw==\"}}");
    QBENCHMARK
    {
        QVERIFY(RoundTrips(qstrRequest, 1000));
    }
    m_fixture.Peer().Frames().clear();
}

void BenchPlatformLink::benchMatchingStartRoundTrips()
{
    const QString qstrRequest = QStringLiteral(
        "{\"cmd\":101,\"token\":\"token\",\"platform\":\"p\",\"communicationId\":\"c\","
        "\"sendSocketID\":\"s\",\"param\":{\"skin\":\"skinOne\",\"lang\":\"zh_CN\",\"layout\":\"1\"}}");
    QBENCHMARK
    {
        QVERIFY(RoundTrips(qstrRequest, 1000));
    }
    m_fixture.Peer().Frames().clear();
}

LUMACAST_TEST_MAIN(BenchPlatformLink)
#include "bench_platformlink.moc"
