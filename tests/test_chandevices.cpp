// The channel page and the device watcher together: cameras, screens and audio inputs that come
// and go, checked against the streaming library stand-in and the stored table.
#include "ChanSetTestSupport.h"
#include "LogReader.h"

#include <QSemaphore>

#include <atomic>

Q_DECLARE_METATYPE(QVector<STRUCT_ScreenFacts>)

namespace {

QVariant Reported(const QVector<STRUCT_Usb>& _vecUsb)
{
    return QVariant::fromValue(_vecUsb);
}

} // namespace

class TestChanDevices : public ChanSetFixture
{
    Q_OBJECT
private slots:
    void init()
    {
        ResetWorld();
        WriteConfig({});
    }

    void cameraUnplugged_thenBackWithItsInput_andANewOne()
    {
        m_cameras.m_vecCamera = {Camera("camA"), Camera("camB")};
        m_vecAudioInput = {{"Mic 1", {}, {2}}, {"Mic 2", {}, {2}}};
        StartPage();
        QCOMPARE(AudioHolders().value(4), QStringList{"Mic 2"});
        int iFrom = camera_business_inspect_journal_size();
        QVERIFY(Invoke("SlotDeviceChanged", Q_ARG(QVariant, Reported({})), Q_ARG(QStringList, {"camA"})));
        // Disabled, its input free for others, its record kept for its return.
        QCOMPARE(LibraryCalls(iFrom), QStringList{"set_disable(4)"});
        QVERIFY(!AudioHolders().contains(4));
        QCOMPARE(RecordOf(StoredChannels(), 4).value("enable").toBool(true), false);
        // Only the listed channels can be chosen: a typed number is no channel.
        QTest::keyClicks(m_pPage->GetChannelChooser(), "9");
        QTest::keyClick(m_pPage->GetChannelChooser(), Qt::Key_Return);
        QCOMPARE(ChooserTexts(), (QStringList{"1", "5", "6"}));

        iFrom = camera_business_inspect_journal_size();
        QVERIFY(Invoke("SlotDeviceChanged",
                       Q_ARG(QVariant, Reported({Camera("camA").structUsb, Camera("camC").structUsb})),
                       Q_ARG(QStringList, {})));
        QCOMPARE(LibraryCalls(iFrom), (QStringList{"add_chan_info(4)", "add_chan_info(6)"}));
        const CB_State stState = LibraryState();
        QCOMPARE(stState.aChannels[4].ucDisabled + 2 * stState.aChannels[4].block.ucEnableAudio, 2);
        QCOMPARE(AudioHolders().value(4), QStringList{"Mic 2"});
        QCOMPARE(ChannelNumbers(StoredChannels()), (QList<int>{0, 4, 5, 6}));
        QCOMPARE(RecordOf(StoredChannels(), 4).value("enable").toBool(), true);
    }

    // A stored camera record is taken whatever it said of the camera's presence; one whose number
    // is unusable gives way to the lowest free number, as for a new camera. A stored user name
    // too long for the library's 63 bytes is registered empty, and logged as the failure it is.
    void load_storedCamera_data()
    {
        QTest::addColumn<int>("desktops");
        QTest::addColumn<int>("screens");
        QTest::addColumn<QJsonObject>("stored");
        QTest::addColumn<int>("chNo");
        QTest::newRow("stored disabled") << 4 << 1 << QJsonObject{{"chNo", 6}, {"enable", false}} << 6;
        QTest::newRow("number out of range") << 4 << 1 << QJsonObject{{"chNo", 20}, {"enable", true}} << 4;
        QTest::newRow("number a desktop's") << 4 << 1 << QJsonObject{{"chNo", 0}, {"enable", true}} << 4;
        QTest::newRow("below a raised desktop count")
            << 6 << 2 << QJsonObject{{"chNo", 4}, {"enable", true}} << 4;
    }
    void load_storedCamera()
    {
        QFETCH(int, desktops);
        QFETCH(int, screens);
        QFETCH(QJsonObject, stored);
        QFETCH(int, chNo);
        App()->SetScreenSource([screens] { return Screens(screens); });
        STRUCT_ChanInfo structChanInfo;
        QJsonObject qjsonRecord =
            CLS_ChanRecord::MakeUsbChannel(Camera("camA").structUsb, {}, 4, structChanInfo);
        for (auto it = stored.constBegin(); it != stored.constEnd(); ++it) {
            qjsonRecord.insert(it.key(), it.value());
        }
        const QString qstrUser = QString::fromLatin1(QByteArray(59 + desktops, 'u').toBase64());
        WriteConfig({{"desktopNeedChNo", desktops},
                     {"chInfo", QJsonArray{qjsonRecord}},
                     {"hostInfo", QJsonObject{{"user", qstrUser}}}});
        m_cameras.m_vecCamera = {Camera("camA")};
        const int iLogStart = ReadAppLog().size();
        StartPage();
        QCOMPARE(QByteArray(LibraryState().szUser), desktops == 4 ? QByteArray(63, 'u') : QByteArray());
        QCOMPARE(ReadAppLog().mid(iLogStart).contains(
                     QRegularExpression("L4 CLS_WgtChanSet.cpp:\\d+ stored user")),
                 desktops != 4); // 65 bytes
        const QJsonObject qjsonLoaded = RecordOf(StoredChannels(), chNo);
        QCOMPARE(qjsonLoaded.value("devID").toString(), QString("camA"));
        QCOMPARE(qjsonLoaded.value("enable").toBool(), true);
        QCOMPARE(qjsonLoaded.value("resolutionRatio").toArray().size(), 2); // not taken for a screen
        QCOMPARE(QByteArray(LibraryState().aChannels[chNo].block.szDevID) +
                     char('0' + LibraryState().aChannels[chNo].block.ucEnable),
                 QByteArray("camA1"));
        QCOMPARE(StoredChannels().size(), qMin(screens, desktops) + 1);
        // The watcher was seeded with it: its first cycle reports nothing.
        QSignalSpy spyDevice(m_pPage->GetDevWatcher(), &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged);
        m_pPage->GetDevWatcher()->RunCycle();
        QCOMPARE(spyDevice.count(), 0);
    }

    void cameraPluggedIn_probedOnce()
    {
        m_cameras.m_vecCamera = {Camera("camA")};
        StartPage();
        QCOMPARE(m_cameras.m_iProbes, 1);
        m_cameras.m_vecCamera.append(Camera("camB"));
        const int iFrom = camera_business_inspect_journal_size();
        // The watcher's first request carries no cameras: those of the start are known all the same.
        m_pPage->GetDevWatcher()->RunCycle();
        QCOMPARE(m_cameras.m_iProbes, 2);
        QCOMPARE(LibraryCalls(iFrom), QStringList{"add_chan_info(5)"});
        QCOMPARE(RecordOf(StoredChannels(), 5).value("videoFormat").toArray().size(), 2);
        m_cameras.m_vecCamera.removeFirst();
        m_pPage->GetDevWatcher()->RunCycle();
        QCOMPARE(m_cameras.m_iProbes, 2);
        QCOMPARE(LibraryCalls(iFrom).mid(1), QStringList{"set_disable(4)"});
    }

    // An input's rates are asked once, when it appears; an unchanged listing changes nothing.
    void audioInputs_probedWhenNew()
    {
        m_vecAudioInput = {{"Mic", {48000}, {1, 2}}, {"", {}, {}}, {"Line", {}, {1}}, {"Mic", {8000}, {1}}};
        StartPage();
        QCOMPARE(m_audio.m_qstrlstProbed, (QStringList{"Mic", "Line"}));
        QVector<STRUCT_Audio> vecAudio = App()->GetAudioDevs();
        QCOMPARE(vecAudio.size(), 2);
        QCOMPARE(vecAudio.at(0).lstSampleRate, QList<int>{48000});
        QCOMPARE(vecAudio.at(0).iChannels * 10 + vecAudio.at(1).iChannels, 21);

        const int iLogStart = ReadAppLog().size();
        m_pPage->GetDevWatcher()->RunCycle();
        QVERIFY2(!ReadAppLog().mid(iLogStart).contains("audio"), qPrintable(ReadAppLog().mid(iLogStart)));
        m_vecAudioInput.append({"USB", {16000}, {2}});
        m_vecAudioInput.removeAt(2);
        m_pPage->GetDevWatcher()->RunCycle();
        QCOMPARE(m_audio.m_qstrlstProbed, (QStringList{"Mic", "Line", "USB"}));
        vecAudio = App()->GetAudioDevs();
        QCOMPARE(vecAudio.size(), 2);
        QCOMPARE(vecAudio.at(1).qstrName, QString("USB"));
        QCOMPARE(vecAudio.at(0).iHolderChNo * 10 + vecAudio.at(1).iHolderChNo, -1); // Mic kept by 0
    }

    // Desktop records follow their screens and keep the user's values; the library hears only of
    // the screens that changed, so the viewers of the others stay.
    void screenChange_followedScreenByScreen_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QVector<STRUCT_ScreenFacts>>("after");
        QTest::addColumn<int>("desktops");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QList<int>>("enabled");
        QTest::newRow("added") << 1 << Screens(2) << 4 << QStringList{"add_chan_info(1)"}
                               << QList<int>{0, 4, 1};
        // Raised from 4 to 6 after the camera took 4: it stays a camera.
        QTest::newRow("added, desktop count raised")
            << 1 << Screens(2) << 6 << QStringList{"add_chan_info(1)"} << QList<int>{0, 4, 1};
        QTest::newRow("removed") << 2 << Screens(1) << 4 << QStringList{"set_disable(1)"} << QList<int>{0, 4};
        QVector<STRUCT_ScreenFacts> vecResized = Screens(2);
        vecResized[1].geometry = QRect(1920, 0, 1280, 1024);
        QTest::newRow("second resized")
            << 2 << vecResized << 4 << QStringList{"delete_collector_fd(1)", "add_chan_info(1)"}
            << QList<int>{0, 1, 4};
    }
    void screenChange_followedScreenByScreen()
    {
        QFETCH(int, before);
        QFETCH(QVector<STRUCT_ScreenFacts>, after);
        QFETCH(int, desktops);
        QFETCH(QStringList, calls);
        QFETCH(QList<int>, enabled);
        App()->SetScreenSource([before] { return Screens(before); });
        m_cameras.m_vecCamera = {Camera("camA")};
        m_vecAudioInput = {{"Mic 1", {}, {2}}, {"Mic 2", {}, {2}}, {"Mic 3", {}, {2}}};
        StartPage();
        QVERIFY(EditStored(0, "videoBitRate", 640));
        QVERIFY(EditStored(before - 1, "videoFrameRate", 25));
        WriteConfig({{"desktopNeedChNo", desktops}, {"chInfo", StoredChannels()}});
        const int iFrom = camera_business_inspect_journal_size();
        const QVector<STRUCT_Screen> vecAfter = OrbApplication::MakeScreenRecords(after);
        QVERIFY(Invoke("SlotScreenChanged", Q_ARG(QVariant, QVariant::fromValue(vecAfter))));
        QCOMPARE(LibraryCalls(iFrom), calls);
        const QJsonArray qJsonArrAfter = StoredChannels();
        QList<int> lstEnabled;
        for (const QJsonValue& qjsonValue : qJsonArrAfter) {
            if (qjsonValue.toObject().value("enable").toBool()) {
                lstEnabled.append(qjsonValue.toObject().value("chNo").toInt());
            }
        }
        QCOMPARE(lstEnabled, enabled);
        QCOMPARE(RecordOf(qJsonArrAfter, 0).value("videoBitRate").toInt(), 640);
        QCOMPARE(RecordOf(qJsonArrAfter, before - 1).value("videoFrameRate").toInt(), 25);
        const QJsonObject qjsonLast = RecordOf(qJsonArrAfter, after.size() - 1);
        QCOMPARE(QRect(qjsonLast.value("deskPosX").toInt(), 0, qjsonLast.value("videoWidth").toInt(),
                       qjsonLast.value("videoHeight").toInt()),
                 vecAfter.last().rect);
        // Desktop 0 keeps its input rather than taking another; a removed desktop frees its own.
        QCOMPARE(AudioHolders().value(0), QStringList{"Mic 1"});
        STRUCT_Audio structAudio;
        QCOMPARE(App()->ClaimAudioDev(9, "Mic 2", false, structAudio), after.size() < before);
    }

    void destroyPage_whileWatcherCycleRuns()
    {
        QSemaphore semCycleRunning;
        std::atomic<bool> blStopSeenInCycle{false};
        // Connected once the watcher exists and before its thread starts; it holds the first
        // cycle until the page's destructor asks the watcher to stop.
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
        NewPage();
        QVERIFY(m_pPage->InitChanSet());
        QVERIFY(semCycleRunning.tryAcquire(1, 10000));
        m_pPage.reset();
        QVERIFY(blStopSeenInCycle);
        QCoreApplication::sendPostedEvents(); // what the cycle queued for the page went with it
    }
};

LUMACAST_TEST_MAIN(TestChanDevices)
#include "test_chandevices.moc"
