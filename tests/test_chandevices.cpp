// The channel page and the device watcher together: cameras, screens and audio inputs that come
// and go, checked against the streaming library stand-in and the stored table.
#include "ChanSetTestSupport.h"

#include <QSemaphore>

#include <atomic>

namespace {

QVariant Cameras(const QVector<STRUCT_Usb>& _vecUsb)
{
    return QVariant::fromValue(_vecUsb);
}

QVariant ScreenList(const QVector<STRUCT_ScreenFacts>& _vecFacts)
{
    return QVariant::fromValue(OrbApplication::MakeScreenRecords(_vecFacts));
}

STRUCT_Audio HeldBy(int _iChNo)
{
    STRUCT_Audio structAudio;
    OrbApplication::Instance()->FindAudioDevByChannel(_iChNo, QString(), structAudio);
    return structAudio;
}

} // namespace

class TestChanDevices : public ChanSetFixture
{
    Q_OBJECT
private slots:
    void init();
    void cameraUnplugged_thenBackWithANewOne();
    void cameraPluggedIn_watcherCycleBuildsChannel();
    void screenChange_desktopRecordsRebuilt_data();
    void screenChange_desktopRecordsRebuilt();
    void destroyPage_whileWatcherCycleRuns();
};

void TestChanDevices::init()
{
    ResetWorld();
    WriteConfig({});
}

void TestChanDevices::cameraUnplugged_thenBackWithANewOne()
{
    m_cameras.m_vecCamera = {Camera("camA"), Camera("camB")};
    m_vecAudioInput = {{"Mic 1", {}, {2}}, {"Mic 2", {}, {2}}};
    StartPage();
    QCOMPARE(ChannelNumbers(StoredChannels()), (QList<int>{0, 4, 5}));
    QCOMPARE(HeldBy(4).qstrName, QString("Mic 2"));
    int iFrom = camera_business_inspect_journal_size();

    QVERIFY(
        Invoke("SlotDeviceChanged", Q_ARG(QVariant, Cameras({})), Q_ARG(QStringList, QStringList{"camA"})));

    // Disabled, its input free for others, its record kept for its return.
    QCOMPARE(LibraryCalls(iFrom), QStringList{"set_disable(4)"});
    QCOMPARE(int(LibraryState().aChannels[4].ucDisabled), 1);
    QVERIFY(HeldBy(4).qstrName.isEmpty());
    STRUCT_Audio structAudio;
    QVERIFY(App()->ClaimAudioDev(9, "Mic 2", false, structAudio));
    QCOMPARE(HeldBy(0).qstrName, QString("Mic 1"));
    QCOMPARE(RecordOf(StoredChannels(), 4).value("enable").toBool(true), false);
    QCOMPARE(RecordOf(StoredChannels(), 4).value("devID").toString(), QString("camA"));
    QCOMPARE(ChooserTexts(), (QStringList{"1", "5", "6"}));
    iFrom = camera_business_inspect_journal_size();

    // The known camera and a new one reported together.
    const QVector<STRUCT_Usb> vecReported{Camera("camA").structUsb, Camera("camC").structUsb};
    QVERIFY(Invoke("SlotDeviceChanged", Q_ARG(QVariant, Cameras(vecReported)),
                   Q_ARG(QStringList, QStringList())));

    QCOMPARE(LibraryCalls(iFrom), (QStringList{"add_chan_info(4)", "add_chan_info(6)"}));
    const CB_State stState = LibraryState();
    QCOMPARE(int(stState.aChannels[4].ucDisabled), 0);
    QCOMPARE(int(stState.aChannels[4].block.ucEnable), 1);
    QCOMPARE(QByteArray(stState.aChannels[6].block.szDevID), QByteArray("camC"));
    const QJsonArray qJsonArrChInfo = StoredChannels();
    QCOMPARE(ChannelNumbers(qJsonArrChInfo), (QList<int>{0, 4, 5, 6}));
    QCOMPARE(RecordOf(qJsonArrChInfo, 4).value("enable").toBool(), true);
    QCOMPARE(RecordOf(qJsonArrChInfo, 6).value("devID").toString(), QString("camC"));
    QCOMPARE(ChooserTexts(), (QStringList{"1", "5", "6", "7"}));
}

void TestChanDevices::cameraPluggedIn_watcherCycleBuildsChannel()
{
    m_cameras.m_vecCamera = {Camera("camA")};
    StartPage();
    CLS_ThreadCheckAddRemoveDev* pWatcher = m_pPage->GetDevWatcher();
    QCOMPARE(m_cameras.m_iProbes, 1);
    m_cameras.m_vecCamera.append(Camera("camB"));
    const int iFrom = camera_business_inspect_journal_size();

    // A cycle run here delivers its signals straight to the page. Its first request carries no
    // known cameras, so both are probed.
    pWatcher->RunCycle();

    QCOMPARE(m_cameras.m_iProbes, 3);
    QCOMPARE(LibraryCalls(iFrom), QStringList{"add_chan_info(5)"});
    const QJsonObject qjsonRecord = RecordOf(StoredChannels(), 5);
    QCOMPARE(qjsonRecord.value("devID").toString(), QString("camB"));
    QCOMPARE(qjsonRecord.value("videoFormat").toArray().size(), 3);
    QCOMPARE(App()->GetUsbDevs().size(), 2);

    // The next request hands back what was probed: nothing is probed again.
    m_cameras.m_vecCamera.removeFirst();
    pWatcher->RunCycle();
    QCOMPARE(m_cameras.m_iProbes, 3);
    QCOMPARE(LibraryCalls(iFrom).mid(1), QStringList{"set_disable(4)"});
}

void TestChanDevices::screenChange_desktopRecordsRebuilt_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("after");
    QTest::addColumn<QStringList>("calls");
    // From one screen to two and from two to one. Every desktop record goes and is built again,
    // after the camera; while there is one screen the camera holds the second input.
    const QStringList qstrlstAdded{"delete_collector_fd(0)", "add_chan_info(0)", "add_chan_info(1)"};
    QTest::newRow("added, X11 output names") << "HDMI-" << 2 << qstrlstAdded;
    QTest::newRow("added, Windows display names") << "\\\\.\\DISPLAY" << 2 << qstrlstAdded;
    QTest::newRow("removed, X11 output names")
        << "HDMI-" << 1
        << QStringList{"delete_collector_fd(0)", "delete_collector_fd(1)", "add_chan_info(0)",
                       "set_disable(1)"};
}

void TestChanDevices::screenChange_desktopRecordsRebuilt()
{
    QFETCH(QString, prefix);
    QFETCH(int, after);
    QFETCH(QStringList, calls);
    App()->SetScreenSource([prefix, after] { return Screens(3 - after, prefix); });
    m_cameras.m_vecCamera = {Camera("camA")};
    m_vecAudioInput = {{"Mic 1", {}, {2}}, {"Mic 2", {}, {2}}};
    StartPage();
    QVERIFY(EditStored(0, "videoBitRate", 640));
    const int iFrom = camera_business_inspect_journal_size();

    QVERIFY(Invoke("SlotScreenChanged", Q_ARG(QVariant, ScreenList(Screens(after, prefix)))));

    QCOMPARE(LibraryCalls(iFrom), calls);
    const QJsonArray qJsonArrAfter = StoredChannels();
    QCOMPARE(ChannelNumbers(qJsonArrAfter), after == 2 ? (QList<int>{4, 0, 1}) : (QList<int>{4, 0}));
    QCOMPARE(ChooserTexts(), after == 2 ? (QStringList{"5", "1", "2"}) : (QStringList{"5", "1"}));
    QCOMPARE(RecordOf(qJsonArrAfter, 0).value("videoBitRate").toInt(), 2048);
    const int iLast = after - 1;
    QCOMPARE(RecordOf(qJsonArrAfter, iLast).value("devID").toString(), prefix + QString::number(after));
    const CB_State stState = LibraryState();
    QCOMPARE(QByteArray(stState.aChannels[iLast].block.szChName),
             QString::fromUtf8("桌面%1").arg(after).toUtf8());
    QCOMPARE(stState.aChannels[iLast].block.iDeskPosX, iLast * 1920);
    // Desktop 0 keeps its input rather than taking a second one; a removed desktop frees its own.
    QCOMPARE(HeldBy(0).qstrName, QString("Mic 1"));
    QCOMPARE(QByteArray(stState.aChannels[0].block.szAudioName), QByteArray("Mic 1"));
    QVERIFY(HeldBy(1).qstrName.isEmpty());
    STRUCT_Audio structAudio;
    QCOMPARE(App()->ClaimAudioDev(9, "Mic 2", false, structAudio), after == 1);
}

void TestChanDevices::destroyPage_whileWatcherCycleRuns()
{
    QSemaphore semCycleRunning;
    std::atomic<bool> blStopSeenInCycle{false};
    // The hook is connected once the watcher exists and before its thread starts; it holds the
    // first cycle until the page's destructor asks the watcher to stop.
    m_cameras.m_onList = [this, &semCycleRunning, &blStopSeenInCycle] {
        CLS_ThreadCheckAddRemoveDev* pWatcher = m_pPage->GetDevWatcher();
        if (pWatcher == nullptr || pWatcher->isRunning() || pWatcher->property("hooked").toBool()) {
            return;
        }
        pWatcher->setProperty("hooked", true);
        connect(
            pWatcher, &CLS_ThreadCheckAddRemoveDev::SigGetUsbInfo, pWatcher,
            [pWatcher, &semCycleRunning, &blStopSeenInCycle] {
                semCycleRunning.release();
                QDeadlineTimer deadline(10000);
                while (!pWatcher->IsStopRequested() && !deadline.hasExpired()) {
                    QThread::yieldCurrentThread();
                }
                blStopSeenInCycle = pWatcher->IsStopRequested();
            },
            Qt::DirectConnection);
    };
    m_cameras.m_vecCamera = {Camera("camA")};
    App()->SetScreenSource([] { return Screens(2); });
    NewPage();
    QVERIFY(m_pPage->InitChanSet());
    QVERIFY(semCycleRunning.tryAcquire(1, 10000));

    m_pPage.reset();

    QVERIFY(blStopSeenInCycle);
    // Whatever the cycle queued for the page went with it.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
}

LUMACAST_TEST_MAIN(TestChanDevices)
#include "test_chandevices.moc"
