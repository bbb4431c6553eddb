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
    void camerasReported_knownReenabledNewNumbered();
    void cameraUnplugged_disabledAudioFreedRecordKept();
    void cameraPluggedIn_watcherCycleBuildsChannel();
    void screenChange_desktopRecordsRebuilt_data();
    void screenChange_desktopRecordsRebuilt();
    void screenRemoved_channelDisabledAudioFreed();
    void destroyPage_whileWatcherCycleRuns();
};

void TestChanDevices::init()
{
    ResetWorld();
    WriteConfig({});
}

void TestChanDevices::camerasReported_knownReenabledNewNumbered()
{
    m_cameras.m_vecCamera = {Camera("camA"), Camera("camB")};
    StartPage();
    QCOMPARE(ChannelNumbers(StoredChannels()), (QList<int>{0, 4, 5}));
    QVERIFY(
        Invoke("SlotDeviceChanged", Q_ARG(QVariant, Cameras({})), Q_ARG(QStringList, QStringList{"camB"})));
    QCOMPARE(RecordOf(StoredChannels(), 5).value("enable").toBool(), false);
    const int iFrom = camera_business_inspect_journal_size();

    const QVector<STRUCT_Usb> vecReported{Camera("camB").structUsb, Camera("camC").structUsb};
    QVERIFY(Invoke("SlotDeviceChanged", Q_ARG(QVariant, Cameras(vecReported)),
                   Q_ARG(QStringList, QStringList())));

    QCOMPARE(LibraryCalls(iFrom), (QStringList{"add_chan_info(5)", "add_chan_info(6)"}));
    const CB_State stState = LibraryState();
    QCOMPARE(int(stState.aChannels[5].ucDisabled), 0);
    QCOMPARE(int(stState.aChannels[5].block.ucEnable), 1);
    QCOMPARE(QByteArray(stState.aChannels[6].block.szDevID), QByteArray("camC"));
    const QJsonArray qJsonArrChInfo = StoredChannels();
    QCOMPARE(ChannelNumbers(qJsonArrChInfo), (QList<int>{0, 4, 5, 6}));
    QCOMPARE(RecordOf(qJsonArrChInfo, 5).value("enable").toBool(), true);
    QCOMPARE(RecordOf(qJsonArrChInfo, 6).value("devID").toString(), QString("camC"));
    QCOMPARE(ChooserTexts(), (QStringList{"1", "5", "6", "7"}));
}

void TestChanDevices::cameraUnplugged_disabledAudioFreedRecordKept()
{
    m_cameras.m_vecCamera = {Camera("camA")};
    m_vecAudioInput = {{"Mic 1", {}, {2}}, {"Mic 2", {}, {2}}};
    StartPage();
    QCOMPARE(HeldBy(4).qstrName, QString("Mic 2"));
    const int iFrom = camera_business_inspect_journal_size();

    QVERIFY(
        Invoke("SlotDeviceChanged", Q_ARG(QVariant, Cameras({})), Q_ARG(QStringList, QStringList{"camA"})));

    QCOMPARE(LibraryCalls(iFrom), QStringList{"set_disable(4)"});
    QCOMPARE(int(LibraryState().aChannels[4].ucDisabled), 1);
    QVERIFY(HeldBy(4).qstrName.isEmpty());
    STRUCT_Audio structAudio;
    QVERIFY(App()->ClaimAudioDev(9, "Mic 2", false, structAudio));
    const QJsonObject qjsonRecord = RecordOf(StoredChannels(), 4);
    QCOMPARE(qjsonRecord.value("enable").toBool(true), false);
    QCOMPARE(qjsonRecord.value("devID").toString(), QString("camA"));
    QCOMPARE(ChooserTexts(), (QStringList{"1", "5"}));
    QCOMPARE(HeldBy(0).qstrName, QString("Mic 1"));
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
    QTest::newRow("X11 output names") << "HDMI-";
    QTest::newRow("Windows display names") << "\\\\.\\DISPLAY";
}

void TestChanDevices::screenChange_desktopRecordsRebuilt()
{
    QFETCH(QString, prefix);
    App()->SetScreenSource([prefix] { return Screens(1, prefix); });
    m_cameras.m_vecCamera = {Camera("camA")};
    StartPage();
    QJsonArray qJsonArrChInfo = StoredChannels();
    QJsonObject qjsonEdited = qJsonArrChInfo.at(0).toObject();
    qjsonEdited.insert("videoBitRate", 640);
    qJsonArrChInfo.replace(0, qjsonEdited);
    QVERIFY(Invoke("SlotVideoParamChanged", Q_ARG(QJsonArray&, qJsonArrChInfo), Q_ARG(int, 0)));
    const int iFrom = camera_business_inspect_journal_size();

    QVERIFY(Invoke("SlotScreenChanged", Q_ARG(QVariant, ScreenList(Screens(2, prefix)))));

    QCOMPARE(LibraryCalls(iFrom),
             (QStringList{"delete_collector_fd(0)", "add_chan_info(0)", "add_chan_info(1)"}));
    const QJsonArray qJsonArrAfter = StoredChannels();
    // Every desktop record goes and is built again, after the cameras.
    QCOMPARE(ChannelNumbers(qJsonArrAfter), (QList<int>{4, 0, 1}));
    QCOMPARE(RecordOf(qJsonArrAfter, 0).value("videoBitRate").toInt(), 2048);
    QCOMPARE(RecordOf(qJsonArrAfter, 1).value("devID").toString(), prefix + "2");
    const CB_State stState = LibraryState();
    QCOMPARE(QByteArray(stState.aChannels[1].block.szChName), QString::fromUtf8("桌面2").toUtf8());
    QCOMPARE(stState.aChannels[1].block.iDeskPosX, 1920);
    QCOMPARE(ChooserTexts(), (QStringList{"5", "1", "2"}));
}

void TestChanDevices::screenRemoved_channelDisabledAudioFreed()
{
    App()->SetScreenSource([] { return Screens(2); });
    m_vecAudioInput = {{"Mic 1", {}, {2}}, {"Mic 2", {}, {2}}};
    StartPage();
    QCOMPARE(HeldBy(1).qstrName, QString("Mic 2"));
    const int iFrom = camera_business_inspect_journal_size();

    QVERIFY(Invoke("SlotScreenChanged", Q_ARG(QVariant, ScreenList(Screens(1)))));

    QCOMPARE(LibraryCalls(iFrom), (QStringList{"delete_collector_fd(0)", "delete_collector_fd(1)",
                                               "add_chan_info(0)", "set_disable(1)"}));
    QCOMPARE(ChannelNumbers(StoredChannels()), QList<int>{0});
    QVERIFY(HeldBy(1).qstrName.isEmpty());
    // Desktop 0 keeps its input rather than taking a second one.
    QCOMPARE(HeldBy(0).qstrName, QString("Mic 1"));
    QCOMPARE(QByteArray(LibraryState().aChannels[0].block.szAudioName), QByteArray("Mic 1"));
    STRUCT_Audio structAudio;
    QVERIFY(App()->ClaimAudioDev(9, "Mic 2", false, structAudio));
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
