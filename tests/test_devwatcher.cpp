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

} // namespace

// Receives the watcher's signals across threads, the way the channel page does.
class SignalLog : public QObject
{
    Q_OBJECT
public:
    int m_iGetUsb = 0;
    int m_iGetAudio = 0;
    int m_iChanged = 0;
public slots:
    void OnGetUsb(QVariant) { ++m_iGetUsb; }
    void OnGetAudio(QVariant) { ++m_iGetAudio; }
    void OnChanged() { ++m_iChanged; }
};

class TestDevWatcher : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void seededMaps_reportNothing();
    void firstRequest_carriesEmptyList_thenPreviousCycle();
    void unpluggedCamera_reportedOnce();
    void twoAdded_oneSignalInListOrder();
    void removedIds_inKeyOrder();
    void duplicateIds_secondReportedEveryCycle();
    void screenCountChange_onlyCountMatters();
    void audioInputs_addedAndRemoved();
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

void TestDevWatcher::seededMaps_reportNothing()
{
    m_pApp->SetUsbDevs({Camera("A"), Camera("B")});
    m_pApp->SetAudioDevs({Input("Mic")});
    CLS_ThreadCheckAddRemoveDev watcher;
    watcher.InitUsbDevIDs({"A", "B"});
    watcher.InitAudioDevNames({"Mic"});
    QVector<STRUCT_Screen> vecScreen;
    m_pApp->GetScreenList(vecScreen);
    watcher.InitScreenInfo(vecScreen);
    QSignalSpy spyDevice(&watcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged);
    QSignalSpy spyScreen(&watcher, &CLS_ThreadCheckAddRemoveDev::SigScreenChanged);
    QSignalSpy spyAudio(&watcher, &CLS_ThreadCheckAddRemoveDev::SigAudioDeviceChanged);
    QSignalSpy spyGetAudio(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetAudioInfo);

    watcher.RunCycle();
    watcher.RunCycle();

    QCOMPARE(spyDevice.count(), 0);
    QCOMPARE(spyScreen.count(), 0);
    QCOMPARE(spyAudio.count(), 0);
    QCOMPARE(spyGetAudio.count(), 2);
    QVERIFY(!spyGetAudio.at(0).at(0).value<QVariant>().isValid());
}

void TestDevWatcher::firstRequest_carriesEmptyList_thenPreviousCycle()
{
    m_pApp->SetUsbDevs({Camera("A")});
    CLS_ThreadCheckAddRemoveDev watcher;
    watcher.InitUsbDevIDs({"A"});
    QSignalSpy spyGetUsb(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetUsbInfo);

    watcher.RunCycle();
    m_pApp->SetUsbDevs({Camera("A"), Camera("B")});
    watcher.RunCycle();

    QCOMPARE(spyGetUsb.count(), 2);
    QCOMPARE(DevIDs(spyGetUsb.at(0).at(0).value<QVariant>()), QStringList());
    QCOMPARE(DevIDs(spyGetUsb.at(1).at(0).value<QVariant>()), QStringList{"A"});
    const QVector<STRUCT_Usb> vecHanded =
        spyGetUsb.at(1).at(0).value<QVariant>().value<QVector<STRUCT_Usb>>();
    QCOMPARE(vecHanded.at(0).lstResolution, QList<QSize>{QSize(640, 480)});
}

void TestDevWatcher::unpluggedCamera_reportedOnce()
{
    m_pApp->SetUsbDevs({Camera("A"), Camera("B")});
    CLS_ThreadCheckAddRemoveDev watcher;
    watcher.InitUsbDevIDs({"A", "B"});
    QSignalSpy spyDevice(&watcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged);

    watcher.RunCycle();
    m_pApp->SetUsbDevs({Camera("A")});
    watcher.RunCycle();
    watcher.RunCycle();

    QCOMPARE(spyDevice.count(), 1);
    QCOMPARE(DevIDs(spyDevice.at(0).at(0).value<QVariant>()), QStringList());
    QCOMPARE(spyDevice.at(0).at(1).toStringList(), QStringList{"B"});
}

void TestDevWatcher::twoAdded_oneSignalInListOrder()
{
    CLS_ThreadCheckAddRemoveDev watcher;
    watcher.InitUsbDevIDs({"M"});
    m_pApp->SetUsbDevs({Camera("Z"), Camera("M"), Camera("A")});
    QSignalSpy spyDevice(&watcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged);

    watcher.RunCycle();
    watcher.RunCycle();

    QCOMPARE(spyDevice.count(), 1);
    QCOMPARE(DevIDs(spyDevice.at(0).at(0).value<QVariant>()), (QStringList{"Z", "A"}));
    QCOMPARE(spyDevice.at(0).at(1).toStringList(), QStringList());
}

void TestDevWatcher::removedIds_inKeyOrder()
{
    CLS_ThreadCheckAddRemoveDev watcher;
    watcher.InitUsbDevIDs({"C", "A", "B"});
    QSignalSpy spyDevice(&watcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged);

    watcher.RunCycle();

    QCOMPARE(spyDevice.count(), 1);
    QCOMPARE(spyDevice.at(0).at(1).toStringList(), (QStringList{"A", "B", "C"}));
}

void TestDevWatcher::duplicateIds_secondReportedEveryCycle()
{
    m_pApp->SetUsbDevs({Camera("A"), Camera("A")});
    CLS_ThreadCheckAddRemoveDev watcher;
    watcher.InitUsbDevIDs({"A"});
    QSignalSpy spyDevice(&watcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged);

    watcher.RunCycle();
    watcher.RunCycle();

    QCOMPARE(spyDevice.count(), 2);
    for (const QList<QVariant>& lstArgs : qAsConst(spyDevice)) {
        QCOMPARE(DevIDs(lstArgs.at(0).value<QVariant>()), QStringList{"A"});
        QCOMPARE(lstArgs.at(1).toStringList(), QStringList());
    }
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

void TestDevWatcher::audioInputs_addedAndRemoved()
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
    SignalLog signalLog;
    connect(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetAudioInfo, &signalLog, &SignalLog::OnGetAudio);
    watcher.start();
    // The audio request is the last signal of a cycle: the thread is then about to sleep.
    QTRY_COMPARE(signalLog.m_iGetAudio, 1);
    watcher.Stop();
    QVERIFY(watcher.wait(100));
    QCoreApplication::processEvents();
    QCOMPARE(signalLog.m_iGetAudio, 1);
}

void TestDevWatcher::stopBeforeStart_emitsNothing()
{
    m_pApp->SetUsbDevs({Camera("A")});
    CLS_ThreadCheckAddRemoveDev watcher;
    SignalLog signalLog;
    connect(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetUsbInfo, &signalLog, &SignalLog::OnGetUsb);
    connect(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetAudioInfo, &signalLog, &SignalLog::OnGetAudio);
    connect(&watcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged, &signalLog, &SignalLog::OnChanged);
    watcher.Stop();
    watcher.start();
    QVERIFY(watcher.wait(5000));
    QCoreApplication::processEvents();
    QCOMPARE(signalLog.m_iGetUsb, 0);
    QCOMPARE(signalLog.m_iGetAudio, 0);
    QCOMPARE(signalLog.m_iChanged, 0);
}

LUMACAST_TEST_MAIN(TestDevWatcher)
#include "test_devwatcher.moc"
