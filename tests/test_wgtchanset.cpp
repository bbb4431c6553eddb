// The channel page and its output tab as views of the channel table: what they show, and what the
// user reads after a save, a reset or a device change.
#include "CLS_WgtChanSet/CLS_ChannelNotice.h"
#include "CLS_WgtChanSet/CLS_WgtAudioParamSet.h"
#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "CLS_WgtChanSet/CLS_WgtExportSet.h"
#include "CLS_WgtChanSet/CLS_WgtVideoParamSet.h"
#include "ChannelTestSupport.h"
#include "ModalSupport.h"
#include "ProgramCopy.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"
#include "device/CLS_ThreadCheckAddRemoveDev.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSemaphore>
#include <QSpinBox>
#include <QTreeWidget>

#include <atomic>
#include <thread>

Q_DECLARE_METATYPE(EnumChannelOutcome)
Q_DECLARE_METATYPE(STRUCT_Refusal)

namespace {

QVector<STRUCT_ScreenFacts> Screens(int _iCount)
{
    QVector<STRUCT_ScreenFacts> vecFacts;
    for (int i = 0; i < _iCount; ++i) {
        vecFacts.append({QRect(i * 1920, 0, 1920, 1080), 1.0, "HDMI-" + QString::number(i + 1), i == 0});
    }
    return vecFacts;
}

QStringList ItemTexts(const QComboBox* _pBox)
{
    QStringList qstrlstText;
    for (int i = 0; i < _pBox->count(); ++i) {
        qstrlstText.append(_pBox->itemText(i));
    }
    return qstrlstText;
}

// The user picks the entry with that text.
void Pick(QComboBox* _pBox, const QString& _qstrText)
{
    QVERIFY(_pBox->findText(_qstrText) >= 0);
    _pBox->setCurrentIndex(_pBox->findText(_qstrText));
}

CLS_ComboBox* Box(QWidget* _pPage, const char* _pcName)
{
    return _pPage->findChild<CLS_ComboBox*>(_pcName);
}

void Save(QWidget* _pPage)
{
    _pPage->findChild<QPushButton*>("pushButton_SaveParam")->click();
}

QList<QWidget*> NumberWindows()
{
    QList<QWidget*> lstWindow;
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (pWidget->isVisible() && pWidget->testAttribute(Qt::WA_TranslucentBackground) &&
            pWidget->windowFlags().testFlag(Qt::FramelessWindowHint)) {
            lstWindow.append(pWidget);
        }
    }
    return lstWindow;
}

} // namespace

class TestWgtChanSet : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The desktop number pictures as installed, in this test's application folder.
        QVERIFY(CopyInstalledData(qEnvironmentVariable("LUMACAST_APP_DIR"), App()->GetAppDir()));
    }

    void init()
    {
        camera_business_inspect_reset();
        QFile::remove(App()->GetConfigPath());
        QDir().mkpath(QFileInfo(App()->GetConfigPath()).path());
        m_cameras = FakeCameras();
        m_audio = FakeAudio();
        App()->SetUsbDevs({});
        App()->SetAudioDevs({});
        App()->SetScreenSource([] { return Screens(1); });
        m_pPage.reset();
        m_answerer.Take();
    }

    void start_showsTheTableAndTheChannelState()
    {
        WriteConfig({});
        App()->SetScreenSource([] { return Screens(2); });
        m_cameras.m_vecCamera = {Camera("camA")};
        StartPage();
        QLineEdit* pName = m_pPage->findChild<QLineEdit*>("lineEdit_ChName");
        QVERIFY(!pName->isEnabled());
        QCOMPARE(pName->text(), QString::fromUtf8("桌面1"));
        QCOMPARE(ChooserTexts(), (QStringList{"1", "2", "5"}));
        // Only the listed channels can be chosen: a typed number is no channel.
        QTest::keyClicks(m_pPage->GetChannelChooser(), "9");
        QTest::keyClick(m_pPage->GetChannelChooser(), Qt::Key_Return);
        QCOMPARE(ChooserTexts(), (QStringList{"1", "2", "5"}));
        // A second start would make a second watcher and start the library again.
        const int iCalls = camera_business_inspect_journal_size();
        QVERIFY(!m_pPage->InitChanSet());
        QCOMPARE(camera_business_inspect_journal_size(), iCalls);
        // The watcher was seeded with what the page found: its first cycle reports nothing.
        QSignalSpy spyDevice(m_pPage->GetDevWatcher(), &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged);
        m_pPage->GetDevWatcher()->RunCycle();
        QCOMPARE(spyDevice.count(), 0);

        // What the library says of the chosen channel shows on the page, also from another thread.
        QLabel* pState = m_pPage->findChild<QLabel*>("label_ChState");
        QVERIFY(pState->isHidden());
        std::thread([] {
            camera_business_inspect_send_message(CAMERA_BUSINESS_MSG_CHANNEL_FAILED, 0, 0);
        }).join();
        QTRY_VERIFY(!pState->isHidden());
        QVERIFY2(pState->text().contains(QString::fromUtf8("设备无法采集")), qPrintable(pState->text()));
        m_pPage->GetChannelChooser()->setCurrentIndex(1);
        QVERIFY(pState->isHidden());

        // A camera plugged in is probed once, published and listed.
        m_cameras.m_vecCamera.append(Camera("camB"));
        const int iFrom = camera_business_inspect_journal_size();
        m_pPage->GetDevWatcher()->RunCycle();
        QCOMPARE(m_cameras.m_iProbes, 2);
        QCOMPARE(LibraryCalls(iFrom), QStringList{"add_chan_info(5)"});
        QCOMPARE(ChooserTexts(), (QStringList{"1", "2", "5", "6"}));
    }

    void chosenChannel_nameShown()
    {
        WriteConfig({});
        StartPage();
        const QString qstrLong = "Front door of the eastern warehouse, loading bay three, camera on the left";
        QJsonArray qJsonArrChInfo{QJsonObject{{"chNo", 0}, {"chName", qstrLong}}, QJsonObject{{"chNo", 1}},
                                  QJsonObject{{"chNo", 4}, {"chName", "Yard"}}};
        QVERIFY(QMetaObject::invokeMethod(m_pPage.get(), "SlotVideoParamChanged",
                                          Q_ARG(QJsonArray&, qJsonArrChInfo), Q_ARG(int, 2)));
        QCOMPARE(StoredChannels(), qJsonArrChInfo);
        QLineEdit* pName = m_pPage->findChild<QLineEdit*>("lineEdit_ChName");
        QCOMPARE(pName->text(), QString("Yard"));
        m_pPage->GetChannelChooser()->setCurrentIndex(1);
        QCOMPARE(pName->text(), QString());
        m_pPage->GetChannelChooser()->setCurrentIndex(0);
        QCOMPARE(pName->text(), qstrLong);
        QCOMPARE(pName->cursorPosition(), 0); // a long name shows its beginning
        // Item data that is a map rather than a JSON object is read all the same; anything else is empty.
        for (const QVariant& variantData :
             {QVariant(QVariantMap{{"chName", "Gate"}}), QVariant("not a record")}) {
            const STRUCT_ComboBoxItem structItem{"3", variantData};
            QVERIFY(QMetaObject::invokeMethod(m_pPage.get(), "SlotChInfoChanged",
                                              Q_ARG(STRUCT_ComboBoxItem, structItem)));
            QCOMPARE(pName->text(), variantData.userType() == QMetaType::QVariantMap ? "Gate" : QString());
        }
    }

    void show_data()
    {
        QTest::addColumn<QJsonObject>("record");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("resolution");
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<QString>("format");
        const QJsonObject qjsonCamera{
            {"collectDevType", 1},
            {"videoWidth", 640},
            {"videoHeight", 480},
            {"resolutionRatio", CLS_ChanRecord::ResolutionArray({{640, 480}, {1280, 720}})}};
        const QStringList qstrlstAll{"MJPEG", "YUV", "H264"};
        QTest::newRow("camera at its size") << qjsonCamera << "USB摄像头"
                                            << "640*480" << qstrlstAll << "YUV";
        QJsonObject qjsonOther = qjsonCamera;
        qjsonOther.insert("videoWidth", 800);
        qjsonOther.insert("videoFormat", QJsonArray{QJsonObject{{"type", 1}}, QJsonObject{{"type", 2}}});
        qjsonOther.insert("collectType", 2);
        QTest::newRow("size not listed") << qjsonOther << "USB摄像头"
                                         << "1280*720" << QStringList{"YUV", "H264"} << "H264";
        QJsonObject qjsonDesktop = qjsonCamera;
        qjsonDesktop.insert("collectDevType", 0);
        QTest::newRow("desktop shows its last size") << qjsonDesktop << "桌面采集"
                                                     << "1280*720" << qstrlstAll << "YUV";
        qjsonOther.insert("collectDevType", 2);
        qjsonOther.insert("videoFormat", QJsonArray{QJsonObject{{"type", 7}}, QJsonObject{{"type", 0}}});
        qjsonOther.insert("collectType", 0);
        QTest::newRow("unknown kind, unknown format left out")
            << qjsonOther << QString() << "1280*720" << QStringList{"MJPEG"} << "MJPEG";
    }
    void show()
    {
        QFETCH(QJsonObject, record);
        QFETCH(QString, mode);
        CLS_WgtExportSet page;
        page.SetChannelInfo(0, QJsonObject{{"collectDevType", 1}});
        page.SetChannelInfo(1, record);
        QCOMPARE(ItemTexts(Box(&page, "comboBox_CollectionMode")),
                 mode.isEmpty() ? QStringList() : QStringList{mode});
        QTEST(Box(&page, "comboBox_ResolutionRatio")->currentText(), "resolution");
        QTEST(ItemTexts(Box(&page, "comboBox_CollectionFormat")), "formats");
        QTEST(Box(&page, "comboBox_CollectionFormat")->currentText(), "format");
        // An unknown kind keeps the rows of the camera shown before.
        const bool blCameraRows = record.value("collectDevType").toInt() != 0;
        QCOMPARE(Box(&page, "comboBox_Equipment")->isHidden(), !blCameraRows);
        QCOMPARE(Box(&page, "comboBox_DesktopNum")->isHidden(), blCameraRows);
    }

    // Hand-edited values the library would refuse show as their defaults; the frame rate starts at 1.
    void show_refusedValuesAsDefaults_data()
    {
        QTest::addColumn<QJsonObject>("record");
        QTest::newRow("too high") << QJsonObject{
            {"videoQuality", 9}, {"videoFrameRate", 31}, {"videoBitRate", 99999999999.0}};
        QTest::newRow("too low") << QJsonObject{
            {"videoQuality", -3}, {"videoFrameRate", 0}, {"videoBitRate", 0}};
    }
    void show_refusedValuesAsDefaults()
    {
        QFETCH(QJsonObject, record);
        CLS_WgtVideoParamSet page;
        page.SetChannelInfo(0, record);
        auto* pFrameRate = page.findChild<QSpinBox*>("spinBox_FrameRate");
        QCOMPARE((QList<int>{Box(&page, "comboBox_VideoQuality")->currentIndex(), pFrameRate->value(),
                             page.findChild<QSpinBox*>("spinBox_BitRate")->value()}),
                 (QList<int>{0, 10, 2048}));
        pFrameRate->setValue(0);
        QCOMPARE(pFrameRate->value(), 1);
    }

    void tree_oneSectionOpen()
    {
        CLS_WgtExportSet page;
        page.resize(600, 800);
        page.show();
        auto* pTree = page.findChild<QTreeWidget*>("treeWidget_ParamSet");
        QTreeWidgetItem* pVideo = pTree->topLevelItem(0);
        QTreeWidgetItem* pAudio = pTree->topLevelItem(1);
        auto click = [pTree](QTreeWidgetItem* _pItem) {
            QTest::mouseClick(pTree->viewport(), Qt::LeftButton, {}, pTree->visualItemRect(_pItem).center());
        };
        auto open = [&] { return QList<bool>{pVideo->isExpanded(), pAudio->isExpanded()}; };
        QCOMPARE(open(), (QList<bool>{true, false}));
        click(pAudio);
        QCOMPARE(open(), (QList<bool>{false, true}));
        click(pAudio);
        QCOMPARE(open(), (QList<bool>{false, false}));
        click(pVideo);
        click(pVideo->child(0));
        QCOMPARE(open(), (QList<bool>{true, false}));
    }

    void desktopNumbers_onEveryScreenUntilTimeout()
    {
        App()->SetScreenSource([] { return Screens(2); });
        CLS_WgtVideoParamSet page;
        page.findChild<QPushButton*>("pushButton_DesktopNumDiscern")->click();
        const QList<QWidget*> lstWindow = NumberWindows();
        QCOMPARE(lstWindow.size(), 2);
        for (QWidget* pWindow : lstWindow) {
            // The picture was found without a suffix: the window has its size, centred on its screen.
            QCOMPARE(pWindow->size(), QSize(300, 300));
            QVERIFY(pWindow->pos() == QPoint(810, 390) || pWindow->pos() == QPoint(2730, 390));
        }
        auto* pTimer = page.findChild<QTimer*>();
        QCOMPARE(pTimer->interval(), 1500);
        QVERIFY(QMetaObject::invokeMethod(pTimer, "timeout"));
        QCOMPARE(NumberWindows().size(), 0);
    }

    void audioList_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("rates");
        QTest::addColumn<QString>("rate");
        QTest::newRow("held by another under another name: left out")
            << "Mic A" << QStringList{"Mic A", "Mic C"} << "Mic A" << QStringList{"8000", "16000"} << "16000";
        QTest::newRow("held by another under the channel's name: listed and chosen")
            << "Mic B" << QStringList{"Mic A", "Mic B", "Mic C"} << "Mic B" << QStringList{"44100", "48000"}
            << "48000";
        QTest::newRow("own input gone: the first, at its first rate")
            << "Mic Z" << QStringList{"Mic A", "Mic C"} << "Mic A" << QStringList{"8000", "16000"} << "8000";
    }
    void audioList()
    {
        QFETCH(QString, name);
        App()->SetAudioDevs({{"Mic A", {}, 2, {8000, 16000}, 1, -1, 44100},
                             {"Mic B", {}, 2, {44100, 48000}, 1, 5, 44100},
                             {"Mic C", {}, 2, {44100}, 1, -1, 44100}});
        CLS_WgtAudioParamSet page;
        page.SetChannelInfo(0, {{"chNo", 0},
                                {"audioName", name},
                                {"enableAudio", true},
                                {"audioSample", name == "Mic A" ? 16000 : 48000},
                                {"audioEnctype", 1}});
        QTEST(ItemTexts(Box(&page, "comboBox_EquipmentAudio")), "listed");
        QTEST(Box(&page, "comboBox_EquipmentAudio")->currentText(), "selected");
        QTEST(Box(&page, "comboBox_EquipmentAudio")->toolTip(), "selected");
        QTEST(ItemTexts(Box(&page, "comboBox_AudioFrameRate")), "rates");
        QTEST(Box(&page, "comboBox_AudioFrameRate")->currentText(), "rate");
        QCOMPARE(Box(&page, "comboBox_AudioCodec")->currentText(), QString("G.711A"));
        // Only the rates of the chosen input can be saved.
        Pick(Box(&page, "comboBox_EquipmentAudio"), "Mic C");
        QCOMPARE(ItemTexts(Box(&page, "comboBox_AudioFrameRate")), QStringList{"44100"});
    }

    // What the user reads of each answer of the table.
    void saveText_data()
    {
        QTest::addColumn<EnumChannelOutcome>("outcome");
        QTest::addColumn<QList<STRUCT_Refusal>>("refused");
        QTest::addColumn<QString>("text");
        using E = EnumChannelOutcome;
        QTest::newRow("done") << E::DONE << QList<STRUCT_Refusal>() << "保存成功";
        QTest::newRow("moved") << E::MOVED << QList<STRUCT_Refusal>() << "通道已变化，请重新选择通道";
        QTest::newRow("not written") << E::NOT_WRITTEN << QList<STRUCT_Refusal>()
                                     << "保存失败，配置文件无法写入";
        QTest::newRow("taken") << E::INPUT_TAKEN << QList<STRUCT_Refusal>()
                               << "所选音频设备已被其他通道占用，请重新选择";
        QTest::newRow("gone") << E::INPUT_GONE << QList<STRUCT_Refusal>() << "所选音频设备已拔出，请重新选择";
        QTest::newRow("no input") << E::NO_INPUT << QList<STRUCT_Refusal>()
                                  << "没有可用音频设备，请释放设备或者新增设备";
        QTest::newRow("refused, a value naming a place holder")
            << E::REFUSED
            << QList<STRUCT_Refusal>{{"camera_business_set_frame_rate", {"0"}},
                                     {"camera_business_set_audio_collect_info", {"Mic %2", "4000"}}}
            << "保存失败：帧率0，音频设备Mic %2，采样率4000";
    }
    void saveText()
    {
        QFETCH(EnumChannelOutcome, outcome);
        QFETCH(QList<STRUCT_Refusal>, refused);
        STRUCT_ChannelAnswer structAnswer;
        structAnswer.eOutcome = outcome;
        structAnswer.lstRefusal = refused;
        QTEST(CLS_ChannelNotice::SaveText(structAnswer), "text");
    }

    // The pages hand the user's choice to the table and show its answer; a stored change is shown
    // in the chooser, the same channel chosen again.
    void saves_throughThePages()
    {
        m_cameras.m_vecCamera = {Camera("camA", {{1280, 720}, {1920, 1080}})};
        m_audio.m_vecInput = {{"Mic A", {44100}, {2}}, {"Mic B", {8000, 48000}, {2}}};
        WriteConfig({});
        StartPage();
        m_pPage->GetChannelChooser()->setCurrentIndex(1);
        auto* pVideo = m_pPage->findChild<CLS_WgtVideoParamSet*>();
        Box(pVideo, "comboBox_VideoQuality")->setCurrentIndex(3);
        pVideo->findChild<QSpinBox*>("spinBox_FrameRate")->setValue(25);
        Pick(Box(pVideo, "comboBox_ResolutionRatio"), "1920*1080");
        Pick(Box(pVideo, "comboBox_CollectionFormat"), "MJPEG");
        Save(pVideo);
        QCOMPARE(m_answerer.Take(), QStringList{"保存成功"});
        const QJsonObject qjsonRecord = RecordOf(StoredChannels(), 4);
        QCOMPARE(QList<int>(
                     {qjsonRecord.value("videoWidth").toInt(), qjsonRecord.value("videoQuality").toInt(),
                      qjsonRecord.value("videoFrameRate").toInt(), qjsonRecord.value("collectType").toInt()}),
                 QList<int>({1920, 3, 25, 0}));
        QCOMPARE(m_pPage->GetChannelChooser()->currentIndex(), 1);
        QCOMPARE(m_pPage->GetChannelChooser()->GetCurrentData().toJsonObject(), qjsonRecord);
        Box(pVideo, "comboBox_ResolutionRatio")->addItem("9000*5000");
        Pick(Box(pVideo, "comboBox_ResolutionRatio"), "9000*5000");
        Save(pVideo);
        QCOMPARE(m_answerer.Take(), QStringList{"保存失败：分辨率9000*5000"});
        QCOMPARE(RecordOf(StoredChannels(), 4).value("videoWidth").toInt(), 1920);

        // Un-ticking and ticking sound again with only the channel's own input free; none free.
        auto* pAudio = m_pPage->findChild<CLS_WgtAudioParamSet*>();
        auto* pSound = pAudio->findChild<QCheckBox*>("checkBox_OpenAudio");
        Pick(Box(pAudio, "comboBox_EquipmentAudio"), "Mic B");
        Pick(Box(pAudio, "comboBox_AudioFrameRate"), "48000");
        Save(pAudio);
        QCOMPARE(m_answerer.Take(), QStringList{"保存成功"});
        QCOMPARE(AudioHolders(*App()).value(4), QStringList{"Mic B"});
        pSound->click();
        pSound->click();
        QVERIFY(pSound->isChecked());
        pSound->click();
        Save(pAudio);
        STRUCT_Audio structAudio;
        QVERIFY(App()->ClaimAudioDev(9, "Mic B", true, structAudio));
        pSound->click();
        QCOMPARE(m_answerer.Take(), (QStringList{"保存成功", "没有可用音频设备，请释放设备或者新增设备"}));
        QVERIFY(!pSound->isChecked());

        // Reset of the current channel when the settings file cannot be written.
        const QJsonArray qJsonArrBefore = StoredChannels();
        {
            WritesRefused refused;
            pVideo->findChild<QPushButton*>("pushButton_ResetCurCh")->click();
        }
        QCOMPARE(m_answerer.Take(), QStringList{"重置失败，配置文件无法写入"});
        QCOMPARE(StoredChannels(), qJsonArrBefore);
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

private:
    OrbApplication* App() const { return OrbApplication::Instance(); }
    void WriteConfig(const QJsonObject& _qjsonConfig)
    {
        QVERIFY(WriteJsonFile(_qjsonConfig, App()->GetConfigPath()));
        QVERIFY(App()->ParseStartParam()); // takes the desktop count from the file
    }

    QJsonArray StoredChannels() const { return App()->ReadConfig().value("chInfo").toArray(); }

    CLS_WgtChanSet* NewPage()
    {
        m_pPage = std::make_unique<CLS_WgtChanSet>();
        m_pPage->SetCameraSource(&m_cameras);
        m_pPage->SetAudioSource(&m_audio);
        return m_pPage.get();
    }

    // Starts the page with its watcher stopped before the thread starts (the page lists cameras
    // while the watcher exists but does not run yet), so that only the test drives device changes.
    void StartPage()
    {
        NewPage();
        m_cameras.m_onList = [this] {
            if (CLS_ThreadCheckAddRemoveDev* pWatcher = m_pPage->GetDevWatcher()) {
                pWatcher->Stop();
            }
        };
        QVERIFY(m_pPage->InitChanSet());
        QVERIFY(m_pPage->GetDevWatcher()->wait(5000));
        m_cameras.m_onList = nullptr;
    }

    QStringList ChooserTexts() const { return ItemTexts(m_pPage->GetChannelChooser()); }

    FakeCameras m_cameras;
    FakeAudio m_audio;
    std::unique_ptr<CLS_WgtChanSet> m_pPage;
    CLS_BoxAnswerer m_answerer;
};

LUMACAST_TEST_MAIN(TestWgtChanSet)
#include "test_wgtchanset.moc"
