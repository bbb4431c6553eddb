// The channel page and its output tab as views of the channel table: what they show, and what the
// user reads after a save, a reset or a device change.
#include "CLS_WgtChanSet/CLS_ChannelNotice.h"
#include "CLS_WgtChanSet/CLS_WgtAudioParamSet.h"
#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "CLS_WgtChanSet/CLS_WgtExportSet.h"
#include "CLS_WgtChanSet/CLS_WgtVideoParamSet.h"
#include "ChannelTestSupport.h"
#include "ModalSupport.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"
#include "device/CLS_ThreadCheckAddRemoveDev.h"

#include <QCheckBox>
#include <QLabel>
#include <QSemaphore>
#include <QSpinBox>

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

// What the box or spin box named "comboBox_" + _qstrName (or "spinBox_") shows: its current text or
// value, with "[]" all its items; "-" when hidden.
QString Shown(QWidget* _pPage, QString _qstrName)
{
    const bool blItems = _qstrName.endsWith("[]");
    _qstrName.remove("[]");
    QWidget* pWidget =
        _pPage->findChildren<QWidget*>(QRegularExpression("^(comboBox|spinBox)_" + _qstrName + "$")).value(0);
    auto* pSpin = qobject_cast<QSpinBox*>(pWidget);
    auto* pBox = qobject_cast<QComboBox*>(pWidget);
    if (pWidget == nullptr || pWidget->isHidden()) {
        return pWidget == nullptr ? "no such box" : "-";
    }
    return pSpin != nullptr ? QString::number(pSpin->value())
           : blItems        ? ItemTexts(pBox).join(',')
                            : pBox->currentText();
}

} // namespace

class TestWgtChanSet : public QObject
{
    Q_OBJECT
private slots:
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

    // What the output tab shows of a camera record changed by "change", after a camera at its own size:
    // "Box=current text or value", "Box[]=all items", "Box=-" for a hidden row. Hand-edited values the
    // library would refuse show as their defaults; the audio list offers free inputs and the channel's own.
    void show_data()
    {
        QTest::addColumn<QByteArray>("change");
        QTest::addColumn<QString>("shown");
        QTest::newRow("camera at its size")
            << QByteArray("{}")
            << "CollectionMode[]=USB摄像头; ResolutionRatio=640*480; DesktopNum=-; "
               "CollectionFormat[]=MJPEG,YUV,H264; CollectionFormat=YUV";
        QTest::newRow("values the library refuses")
            << QByteArray(R"({"videoQuality":-3,"videoFrameRate":0,"videoBitRate":99999999999})")
            << "VideoQuality=最好; FrameRate=10; BitRate=2048";
        QTest::newRow("input held by another under another name: left out")
            << QByteArray(R"({"audioName":"Mic A","enableAudio":true,"audioSample":16000,"audioEnctype":1})")
            << "EquipmentAudio[]=Mic A,Mic C; EquipmentAudio=Mic A; AudioFrameRate[]=8000,16000; "
               "AudioFrameRate=16000; AudioCodec=G.711A";
    }
    void show()
    {
        QFETCH(QByteArray, change);
        QFETCH(QString, shown);
        App()->SetAudioDevs({{"Mic A", {}, 2, {8000, 16000}, 1, -1, 44100},
                             {"Mic B", {}, 2, {44100, 48000}, 1, 5, 44100},
                             {"Mic C", {}, 2, {44100}, 1, -1, 44100}});
        QJsonObject qjsonRecord{{"collectDevType", 1},
                                {"videoWidth", 640},
                                {"videoHeight", 480},
                                {"resolutionRatio", CLS_ChanRecord::ResolutionArray({{640, 480}})}};
        CLS_WgtExportSet page;
        page.SetChannelInfo(0, qjsonRecord);
        qjsonRecord.insert("resolutionRatio", CLS_ChanRecord::ResolutionArray({{640, 480}, {1280, 720}}));
        const QJsonObject qjsonChange = QJsonDocument::fromJson(change).object();
        for (auto it = qjsonChange.begin(); it != qjsonChange.end(); ++it) {
            qjsonRecord.insert(it.key(), it.value());
        }
        page.SetChannelInfo(1, qjsonRecord);
        for (const QString& qstrShown : shown.split("; ")) {
            QCOMPARE(qstrShown.section('=', 0, 0) + '=' + Shown(&page, qstrShown.section('=', 0, 0)),
                     qstrShown);
        }
        // The frame rate starts at 1: the library refuses 0. Only the rates of the chosen input can be saved.
        QCOMPARE(page.findChild<QSpinBox*>("spinBox_FrameRate")->minimum(), 1);
        auto* pInput = page.findChild<QComboBox*>("comboBox_EquipmentAudio");
        Pick(pInput, "Mic C");
        QCOMPARE(Shown(&page, "AudioFrameRate[]") + ' ' + pInput->toolTip(), QString("44100 Mic C"));
    }

    // What the user reads of each answer of the table.
    void saveText_data()
    {
        QTest::addColumn<EnumChannelOutcome>("outcome");
        QTest::addColumn<QList<STRUCT_Refusal>>("refused");
        QTest::addColumn<QString>("text");
        using E = EnumChannelOutcome;
        const QList<STRUCT_Refusal> lstNone;
        QTest::newRow("moved") << E::MOVED << lstNone << "通道已变化，请重新选择通道";
        QTest::newRow("not written") << E::NOT_WRITTEN << lstNone << "保存失败，配置文件无法写入";
        QTest::newRow("gone") << E::INPUT_GONE << lstNone << "所选音频设备已拔出，请重新选择";
        QTest::newRow("no input") << E::NO_INPUT << lstNone << "没有可用音频设备，请释放设备或者新增设备";
        QTest::newRow("refused, a value naming a place holder")
            << E::REFUSED
            << QList<STRUCT_Refusal>{{"camera_business_set_frame_rate", {"0"}},
                                     {"camera_business_set_video_size", {"9000", "5000"}},
                                     {"camera_business_set_audio_collect_info", {"Mic %2", "4000"}}}
            << "保存失败：帧率0，分辨率9000*5000，音频设备Mic %2，采样率4000";
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

    // The page shows the table and the chosen channel's state, hands the user's choice to the table
    // and shows its answer; a stored change is shown in the chooser, the same channel chosen again.
    void page_showsTheTableAndSavesThroughIt()
    {
        WriteConfig();
        App()->SetScreenSource([] { return Screens(2); });
        m_cameras.m_vecCamera = {Camera("camA", {{1280, 720}, {1920, 1080}})};
        m_audio.m_vecInput = {{"Mic A", {44100}, {2}}, {"Mic B", {44100}, {2}}, {"Mic C", {48000}, {2}}};
        StartPage();
        QCOMPARE(ChooserTexts(), (QStringList{"1", "2", "5"}));

        // What the library says of the chosen channel shows on the page, also from another thread.
        QLabel* pState = m_pPage->findChild<QLabel*>("label_ChState");
        std::thread([] {
            camera_business_inspect_send_message(CAMERA_BUSINESS_MSG_CHANNEL_FAILED, 0, 0);
        }).join();
        QTRY_VERIFY(!pState->isHidden());
        QVERIFY2(pState->text().contains(QString::fromUtf8("设备无法采集")), qPrintable(pState->text()));
        m_pPage->GetChannelChooser()->setCurrentIndex(2);
        QVERIFY(pState->isHidden());

        auto* pVideo = m_pPage->findChild<CLS_WgtVideoParamSet*>();
        pVideo->findChild<QSpinBox*>("spinBox_FrameRate")->setValue(25);
        Pick(pVideo->findChild<QComboBox*>("comboBox_ResolutionRatio"), "1920*1080");
        pVideo->findChild<QPushButton*>("pushButton_SaveParam")->click();
        QCOMPARE(m_answerer.Take(), QStringList{"保存成功"});
        const QJsonObject qjsonRecord = RecordOf(StoredChannels(), 4);
        QCOMPARE(qjsonRecord.value("videoWidth").toInt() + qjsonRecord.value("videoFrameRate").toInt(),
                 1920 + 25);
        QCOMPARE(m_pPage->GetChannelChooser()->GetCurrentData().toJsonObject(), qjsonRecord);

        // Un-ticking and ticking sound again with only the channel's own input free.
        auto* pAudio = m_pPage->findChild<CLS_WgtAudioParamSet*>();
        auto* pSound = pAudio->findChild<QCheckBox*>("checkBox_OpenAudio");
        pAudio->findChild<QPushButton*>("pushButton_SaveParam")->click();
        pSound->click();
        pSound->click();
        QVERIFY(pSound->isChecked());
        QCOMPARE(m_answerer.Take(), QStringList{"保存成功"});
        QCOMPARE(AudioHolders(*App()).value(4), QStringList{"Mic C"});

        // Reset of the current channel when the settings file cannot be written.
        const QJsonArray qJsonArrBefore = StoredChannels();
        {
            WritesRefused refused;
            pVideo->findChild<QPushButton*>("pushButton_ResetCurCh")->click();
        }
        QCOMPARE(m_answerer.Take(), QStringList{"重置失败，配置文件无法写入"});
        QCOMPARE(StoredChannels(), qJsonArrBefore);

        // A camera plugged in is published and listed.
        m_cameras.m_vecCamera.append(Camera("camB"));
        const int iFrom = camera_business_inspect_journal_size();
        m_pPage->GetDevWatcher()->RunCycle();
        QCOMPARE(LibraryCalls(iFrom), QStringList{"add_chan_info(5)"});
        QCOMPARE(ChooserTexts(), (QStringList{"1", "2", "5", "6"}));
    }

    void destroyPage_whileWatcherCycleRuns()
    {
        QSemaphore semCycleRunning;
        std::atomic<bool> blStopSeenInCycle{false};
        // Holds the watcher's first cycle until the page's destructor asks it to stop.
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
    void WriteConfig()
    {
        QVERIFY(WriteJsonFile({}, App()->GetConfigPath()));
        QVERIFY(App()->ParseStartParam()); // takes the desktop count from the file
    }

    QJsonArray StoredChannels() const { return App()->ReadConfig().value("chInfo").toArray(); }

    void NewPage()
    {
        m_pPage = std::make_unique<CLS_WgtChanSet>();
        m_pPage->SetCameraSource(&m_cameras);
        m_pPage->SetAudioSource(&m_audio);
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
