// The device watcher: what one poll reports against what it knew, and how the thread stops.
#include "TestSupport.h"
#include "device/CLS_ThreadCheckAddRemoveDev.h"

namespace {

STRUCT_Usb Camera(const QString& _qstrDevID)
{
    return STRUCT_Usb{"Camera " + _qstrDevID, _qstrDevID, {QSize(640, 480)}, {1, 2}};
}

STRUCT_Audio Input(const QString& _qstrName)
{
    STRUCT_Audio structAudio;
    structAudio.qstrName = _qstrName;
    return structAudio;
}

QVector<STRUCT_ScreenFacts> Screens(int _iCount, int _iWidth = 1920)
{
    QVector<STRUCT_ScreenFacts> vecFacts;
    for (int i = 0; i < _iCount; ++i) {
        vecFacts.append({QRect(i * _iWidth, 0, _iWidth, 1080), 1.0, QString("SCREEN-%1").arg(i), i == 0});
    }
    return vecFacts;
}

QStringList DevIDs(const QVariant& _variantData)
{
    QStringList qstrlstDevID;
    const QVector<STRUCT_Usb> vecUsb = _variantData.value<QVector<STRUCT_Usb>>();
    for (const STRUCT_Usb& structUsb : vecUsb) {
        qstrlstDevID.append(structUsb.qstrDevID);
    }
    return qstrlstDevID;
}

QVector<STRUCT_Usb> Cameras(const QStringList& _qstrlstDevID)
{
    QVector<STRUCT_Usb> vecUsb;
    for (const QString& qstrDevID : _qstrlstDevID) {
        vecUsb.append(Camera(qstrDevID));
    }
    return vecUsb;
}

} // namespace

class TestDevWatcher : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cameraCycles_data();
    void cameraCycles();
    void requests_firstEmptyThenPreviousCycle();
    void screenCountChange_onlyCountMatters();
    void audioInputs_seededAddedAndRemoved();
    void stopWhileSleeping_returnsWithin100ms();
    void stopBeforeStart_emitsNothing();

private:
    OrbApplication* m_pApp = nullptr;
};

void TestDevWatcher::init()
{
    m_pApp = OrbApplication::Instance();
    m_pApp->SetUsbDevs({});
    m_pApp->SetAudioDevs({});
    m_pApp->SetScreenSource([] { return Screens(1); });
}

void TestDevWatcher::cameraCycles_data()
{
    // Each cycle polls the cameras of one entry of "present"; every change signal is written as
    // "added IDs|removed IDs".
    QTest::addColumn<QStringList>("seeded");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("reported");
    QTest::newRow("seeded maps report nothing")
        << QStringList{"A", "B"} << QStringList{"A,B", "A,B"} << QStringList();
    QTest::newRow("unplugged camera reported once")
        << QStringList{"A", "B"} << QStringList{"A,B", "A", "A"} << QStringList{"|B"};
    QTest::newRow("two added together in list order")
        << QStringList{"M"} << QStringList{"Z,M,A", "Z,M,A"} << QStringList{"Z,A|"};
    QTest::newRow("removed in key order")
        << QStringList{"C", "A", "B"} << QStringList{""} << QStringList{"|A,B,C"};
    QTest::newRow("duplicate ID reported every cycle")
        << QStringList{"A"} << QStringList{"A,A", "A,A"} << QStringList{"A|", "A|"};
}

void TestDevWatcher::cameraCycles()
{
    QFETCH(QStringList, seeded);
    QFETCH(QStringList, present);
    QFETCH(QStringList, reported);
    CLS_ThreadCheckAddRemoveDev watcher;
    watcher.InitUsbDevIDs(seeded);
    QVector<STRUCT_Screen> vecScreen;
    m_pApp->GetScreenList(vecScreen);
    watcher.InitScreenInfo(vecScreen);
    QSignalSpy spyDevice(&watcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged);
    QSignalSpy spyScreen(&watcher, &CLS_ThreadCheckAddRemoveDev::SigScreenChanged);
    QSignalSpy spyAudio(&watcher, &CLS_ThreadCheckAddRemoveDev::SigAudioDeviceChanged);

    for (const QString& qstrPresent : qAsConst(present)) {
        m_pApp->SetUsbDevs(Cameras(qstrPresent.split(',', Qt::SkipEmptyParts)));
        watcher.RunCycle();
    }

    QStringList qstrlstReported;
    for (const QList<QVariant>& lstArgs : qAsConst(spyDevice)) {
        qstrlstReported.append(DevIDs(lstArgs.at(0).value<QVariant>()).join(',') + "|" +
                               lstArgs.at(1).toStringList().join(','));
    }
    QCOMPARE(qstrlstReported, reported);
    QCOMPARE(spyScreen.count(), 0);
    QCOMPARE(spyAudio.count(), 0);
}

void TestDevWatcher::requests_firstEmptyThenPreviousCycle()
{
    m_pApp->SetUsbDevs({Camera("A")});
    CLS_ThreadCheckAddRemoveDev watcher;
    watcher.InitUsbDevIDs({"A"});
    QSignalSpy spyGetUsb(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetUsbInfo);
    QSignalSpy spyGetAudio(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetAudioInfo);

    watcher.RunCycle();
    m_pApp->SetUsbDevs({Camera("A"), Camera("B")});
    watcher.RunCycle();

    QCOMPARE(spyGetUsb.count(), 2);
    QCOMPARE(DevIDs(spyGetUsb.at(0).at(0).value<QVariant>()), QStringList());
    const QVector<STRUCT_Usb> vecHanded =
        spyGetUsb.at(1).at(0).value<QVariant>().value<QVector<STRUCT_Usb>>();
    QCOMPARE(vecHanded.size(), 1);
    QCOMPARE(vecHanded.at(0).qstrDevID, QString("A"));
    QCOMPARE(vecHanded.at(0).lstResolution, QList<QSize>{QSize(640, 480)});
    // The audio request goes out every cycle and carries nothing.
    QCOMPARE(spyGetAudio.count(), 2);
    QVERIFY(!spyGetAudio.at(0).at(0).value<QVariant>().isValid());
}

void TestDevWatcher::screenCountChange_onlyCountMatters()
{
    CLS_ThreadCheckAddRemoveDev watcher;
    QVector<STRUCT_Screen> vecScreen;
    m_pApp->GetScreenList(vecScreen);
    watcher.InitScreenInfo(vecScreen);
    QSignalSpy spyScreen(&watcher, &CLS_ThreadCheckAddRemoveDev::SigScreenChanged);

    m_pApp->SetScreenSource([] { return Screens(1, 2560); });
    watcher.RunCycle();
    QCOMPARE(spyScreen.count(), 0);

    m_pApp->SetScreenSource([] { return Screens(2); });
    watcher.RunCycle();
    QCOMPARE(spyScreen.count(), 1);
    const QVector<STRUCT_Screen> vecReported =
        spyScreen.at(0).at(0).value<QVariant>().value<QVector<STRUCT_Screen>>();
    QCOMPARE(vecReported.size(), 2);
    QCOMPARE(vecReported.at(1).qstrName, QString("SCREEN-1"));
    QCOMPARE(vecReported.at(1).rect, QRect(1920, 0, 1920, 1080));

    watcher.RunCycle();
    QCOMPARE(spyScreen.count(), 1);
}

void TestDevWatcher::audioInputs_seededAddedAndRemoved()
{
    m_pApp->SetAudioDevs({Input("Line"), Input("USB Mic")});
    CLS_ThreadCheckAddRemoveDev watcher;
    watcher.InitAudioDevNames({"Line", "Headset"});
    QSignalSpy spyAudio(&watcher, &CLS_ThreadCheckAddRemoveDev::SigAudioDeviceChanged);

    watcher.RunCycle();
    watcher.RunCycle();

    QCOMPARE(spyAudio.count(), 1);
    const QVector<STRUCT_Audio> vecAdded =
        spyAudio.at(0).at(0).value<QVariant>().value<QVector<STRUCT_Audio>>();
    QCOMPARE(vecAdded.size(), 1);
    QCOMPARE(vecAdded.at(0).qstrName, QString("USB Mic"));
    QCOMPARE(spyAudio.at(0).at(1).toStringList(), QStringList{"Headset"});
}

void TestDevWatcher::stopWhileSleeping_returnsWithin100ms()
{
    CLS_ThreadCheckAddRemoveDev watcher;
    // Delivered on this thread, the way the channel page receives them.
    QObject receiver;
    int iGetAudio = 0;
    connect(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetAudioInfo, &receiver,
            [&iGetAudio] { ++iGetAudio; });
    watcher.start();
    // The audio request is the last signal of a cycle: the thread is then about to sleep.
    QTRY_COMPARE(iGetAudio, 1);
    watcher.Stop();
    QVERIFY(watcher.wait(100));
    QCoreApplication::processEvents();
    QCOMPARE(iGetAudio, 1);
}

void TestDevWatcher::stopBeforeStart_emitsNothing()
{
    m_pApp->SetUsbDevs({Camera("A")});
    CLS_ThreadCheckAddRemoveDev watcher;
    QObject receiver;
    int iSignals = 0;
    const auto count = [&iSignals] { ++iSignals; };
    connect(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetUsbInfo, &receiver, count);
    connect(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetAudioInfo, &receiver, count);
    connect(&watcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged, &receiver, count);
    watcher.Stop();
    watcher.start();
    QVERIFY(watcher.wait(5000));
    QCoreApplication::processEvents();
    QCOMPARE(iSignals, 0);
}

LUMACAST_TEST_MAIN(TestDevWatcher)
#include "test_devwatcher.moc"
