// The output tab and its video and audio pages: what they show, and what a save leaves in the
// settings file, the streaming library and the audio registry.
#include "CLS_WgtChanSet/CLS_WgtAudioParamSet.h"
#include "CLS_WgtChanSet/CLS_WgtExportSet.h"
#include "CLS_WgtChanSet/CLS_WgtVideoParamSet.h"
#include "ChanSetTestSupport.h"
#include "ProgramCopy.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QTreeWidget>

namespace {

CLS_ComboBox* Box(QWidget* _pPage, const char* _pcName)
{
    return _pPage->findChild<CLS_ComboBox*>(_pcName);
}

QString FileText()
{
    return JsonToString(OrbApplication::Instance()->ReadConfig());
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

class TestParamSets : public ChanSetFixture
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
        ResetWorld();
        m_answerer.Take();
    }

    void show_data()
    {
        QTest::addColumn<QJsonObject>("before");
        QTest::addColumn<QJsonObject>("record");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("resolution");
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("cameraRows");

        const QJsonObject qjsonMatch{
            {"collectDevType", 1},
            {"videoWidth", 640},
            {"videoHeight", 480},
            {"resolutionRatio", CLS_ChanRecord::ResolutionArray({{640, 480}, {1280, 720}})}};
        const QJsonObject qjsonNoMatch{
            {"collectDevType", 1},
            {"videoWidth", 800},
            {"resolutionRatio", CLS_ChanRecord::ResolutionArray({{640, 480}, {1280, 720}})},
            {"videoFormat", QJsonArray{QJsonObject{{"type", 1}}, QJsonObject{{"type", 2}}}},
            {"collectType", 2}};
        const QStringList qstrlstAll{"MJPEG", "YUV", "H264"};
        QTest::newRow("camera at its size") << QJsonObject() << qjsonMatch << "USB摄像头"
                                            << "640*480" << qstrlstAll << "YUV" << true;
        QTest::newRow("camera size not listed, after one that was")
            << qjsonMatch << qjsonNoMatch << "USB摄像头"
            << "1280*720" << QStringList{"YUV", "H264"} << "H264" << true;
        QJsonObject qjsonDesktop = qjsonMatch;
        qjsonDesktop.insert("collectDevType", 0);
        QTest::newRow("desktop shows its last size") << qjsonMatch << qjsonDesktop << "桌面采集"
                                                     << "1280*720" << qstrlstAll << "YUV" << false;
        QJsonObject qjsonUnknown = qjsonMatch;
        qjsonUnknown.insert("collectDevType", 2);
        qjsonUnknown.insert("videoFormat", QJsonArray{QJsonObject{{"type", 7}}, QJsonObject{{"type", 0}}});
        qjsonUnknown.insert("collectType", 0);
        QTest::newRow("unknown kind keeps the rows, unknown format left out")
            << qjsonDesktop << qjsonUnknown << QString() << "1280*720" << QStringList{"MJPEG"} << "MJPEG"
            << false;
    }

    void show()
    {
        QFETCH(QJsonObject, before);
        QFETCH(QJsonObject, record);
        QFETCH(QString, mode);
        CLS_WgtExportSet page;
        page.SetChannelInfo(0, before);
        page.SetChannelInfo(1, record);

        QCOMPARE(ItemTexts(Box(&page, "comboBox_CollectionMode")),
                 mode.isEmpty() ? QStringList() : QStringList{mode});
        QTEST(Box(&page, "comboBox_ResolutionRatio")->currentText(), "resolution");
        QTEST(ItemTexts(Box(&page, "comboBox_CollectionFormat")), "formats");
        QTEST(Box(&page, "comboBox_CollectionFormat")->currentText(), "format");
        QFETCH(bool, cameraRows);
        QCOMPARE(Box(&page, "comboBox_Equipment")->isHidden(), !cameraRows);
        QCOMPARE(Box(&page, "comboBox_DesktopNum")->isHidden(), cameraRows);
    }

    // Hand-edited values the library would refuse show as their defaults.
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
        QCOMPARE(pTree->itemWidget(pAudio->child(0), 0)->objectName(), QString("widget_VideoParam"));
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
        auto* pIdentify = page.findChild<QPushButton*>("pushButton_DesktopNumDiscern");
        pIdentify->click();
        pIdentify->click();

        const QList<QWidget*> lstWindow = NumberWindows();
        QCOMPARE(lstWindow.size(), 4);
        for (QWidget* pWindow : lstWindow) {
            // The picture was found without a suffix: the window has its size, centred on its screen.
            QCOMPARE(pWindow->size(), QSize(300, 300));
            QVERIFY(pWindow->pos() == QPoint(810, 390) || pWindow->pos() == QPoint(2730, 390));
        }
        auto* pTimer = page.findChild<QTimer*>();
        QVERIFY(pTimer->isActive());
        QCOMPARE(pTimer->interval(), 1500);
        QVERIFY(QMetaObject::invokeMethod(pTimer, "timeout"));
        QCOMPARE(NumberWindows().size(), 0);
        QVERIFY(!pTimer->isActive());
    }

    void audioList_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("sample");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("rates");
        QTest::addColumn<QString>("rate");
        QTest::newRow("held by another under another name: left out")
            << "Mic A" << 16000 << QStringList{"Mic A", "Mic C"} << "Mic A" << QStringList{"8000", "16000"}
            << "16000";
        QTest::newRow("held by another under the channel's name: listed and chosen")
            << "Mic B" << 48000 << QStringList{"Mic A", "Mic B", "Mic C"} << "Mic B"
            << QStringList{"44100", "48000"} << "48000";
        QTest::newRow("own input gone: the first, at its first rate")
            << "Mic Z" << 44100 << QStringList{"Mic A", "Mic C"} << "Mic A" << QStringList{"8000", "16000"}
            << "8000";
    }

    void audioList()
    {
        QFETCH(QString, name);
        QFETCH(int, sample);
        App()->SetAudioDevs({{"Mic A", {}, 2, {8000, 16000}, 1, -1, 44100},
                             {"Mic B", {}, 2, {44100, 48000}, 1, 5, 44100},
                             {"Mic C", {}, 2, {44100}, 1, -1, 44100}});
        CLS_WgtAudioParamSet page;
        page.SetChannelInfo(0, {{"chNo", 0},
                                {"audioName", name},
                                {"enableAudio", true},
                                {"audioSample", sample},
                                {"audioEnctype", 1}});
        QTEST(ItemTexts(Box(&page, "comboBox_EquipmentAudio")), "listed");
        QTEST(Box(&page, "comboBox_EquipmentAudio")->currentText(), "selected");
        QTEST(Box(&page, "comboBox_EquipmentAudio")->toolTip(), "selected");
        QTEST(ItemTexts(Box(&page, "comboBox_AudioFrameRate")), "rates");
        QTEST(Box(&page, "comboBox_AudioFrameRate")->currentText(), "rate");
        QCOMPARE(Box(&page, "comboBox_AudioCodec")->currentText(), QString("G.711A"));
    }

    void videoSave_data()
    {
        QTest::addColumn<QList<QSize>>("resolutions"); // none: the desktop channel
        QTest::addColumn<QList<QVideoFrame::PixelFormat>>("formats");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QSize>("video");
        QTest::addColumn<QSize>("camera");
        QTest::addColumn<int>("collectType");

        QTest::newRow("desktop: no collection type call")
            << QList<QSize>() << QList<QVideoFrame::PixelFormat>() << "YUV" << QSize(1920, 1080)
            << QSize(1920, 1080) << -1;
        QTest::newRow("2560*1440 of four: captured one place earlier")
            << QList<QSize>{{640, 480}, {1280, 720}, {1920, 1080}, {2560, 1440}}
            << QList<QVideoFrame::PixelFormat>{QVideoFrame::Format_Jpeg, QVideoFrame::Format_YUYV} << "MJPEG"
            << QSize(2560, 1440) << QSize(1920, 1080) << 0;
        QTest::newRow("largest first: 2560*1440 captured at 1920*1080")
            << QList<QSize>{{3840, 2160}, {2560, 1440}, {1920, 1080}, {1280, 720}}
            << QList<QVideoFrame::PixelFormat>() << "YUV" << QSize(2560, 1440) << QSize(1920, 1080) << 1;
        QTest::newRow("only 3840*2160, no formats known")
            << QList<QSize>{{3840, 2160}} << QList<QVideoFrame::PixelFormat>() << "YUV" << QSize(3840, 2160)
            << QSize(3840, 2160) << 1;
    }

    void videoSave()
    {
        QFETCH(QList<QSize>, resolutions);
        QFETCH(QList<QVideoFrame::PixelFormat>, formats);
        QFETCH(QString, format);
        QFETCH(QSize, video);
        QFETCH(QSize, camera);
        QFETCH(int, collectType);
        if (!resolutions.isEmpty()) {
            m_cameras.m_vecCamera = {{{"Cam A", "camA", resolutions, {}}, formats}};
        }
        WriteConfig({});
        StartPage();
        const int iIndex = resolutions.isEmpty() ? 0 : 1;
        const int iChNo = iIndex * 4;
        m_pPage->GetChannelChooser()->setCurrentIndex(iIndex);
        CLS_WgtVideoParamSet* pVideo = Video();
        Box(pVideo, "comboBox_VideoQuality")->setCurrentIndex(3);
        pVideo->findChild<QSpinBox*>("spinBox_FrameRate")->setValue(25);
        pVideo->findChild<QSpinBox*>("spinBox_BitRate")->setValue(4096);
        Pick(Box(pVideo, "comboBox_ResolutionRatio"),
             QString("%1*%2").arg(video.width()).arg(video.height()));
        Pick(Box(pVideo, "comboBox_CollectionFormat"), format);
        const int iFrom = camera_business_inspect_journal_size();
        Save(pVideo);

        QCOMPARE(m_answerer.Take(), QStringList{"保存成功"});
        const QStringList qstrlstCall = QString("set_video_quality(%1) set_frame_rate(%1) set_bit_rate(%1) "
                                                "set_video_size(%1) set_camera_size(%1) set_collect_type(%1)")
                                            .arg(iChNo)
                                            .split(' ');
        QCOMPARE(LibraryCalls(iFrom), qstrlstCall.mid(0, collectType == -1 ? 5 : 6));
        const CB_ChannelState stChannel = LibraryState().aChannels[iChNo];
        QCOMPARE(QList<int>({stChannel.iQuality, stChannel.iFrameRate, stChannel.iBitRate}),
                 QList<int>({3, 25, 4096}));
        QCOMPARE(QSize(stChannel.iVideoWidth, stChannel.iVideoHeight), video);
        QCOMPARE(QSize(stChannel.iCameraWidth, stChannel.iCameraHeight), camera);
        QCOMPARE(stChannel.iCollectType, collectType);

        const QJsonObject qjsonRecord = RecordOf(StoredChannels(), iChNo);
        QCOMPARE(
            QList<int>({qjsonRecord.value("videoWidth").toInt(), qjsonRecord.value("videoHeight").toInt(),
                        qjsonRecord.value("videoQuality").toInt(),
                        qjsonRecord.value("videoFrameRate").toInt(),
                        qjsonRecord.value("videoBitRate").toInt(), qjsonRecord.value("collectType").toInt()}),
            QList<int>({video.width(), video.height(), 3, 25, 4096, collectType == -1 ? 1 : collectType}));
        // The channel page took the table: the same channel is chosen again and carries the record saved.
        QCOMPARE(m_pPage->GetChannelChooser()->currentIndex(), iIndex);
        QCOMPARE(m_pPage->GetChannelChooser()->GetCurrentData().toJsonObject(), qjsonRecord);
    }

    void audioSave_oneInputPerChannel()
    {
        m_vecAudioInput = {{"Mic A", {44100, 48000}, {2}},
                           {"Mic B", {44100, 48000}, {2}},
                           {"Mic C", {8000}, {1}},
                           {"Mic D", {4000}, {1}}};
        WriteConfig({});
        StartPage();
        QCOMPARE(AudioHolders(), (QMap<int, QStringList>{{0, {"Mic A"}}}));
        CLS_WgtAudioParamSet* pAudio = Audio();
        CLS_ComboBox* pInputs = Box(pAudio, "comboBox_EquipmentAudio");
        QCOMPARE(ItemTexts(pInputs), (QStringList{"Mic A", "Mic B", "Mic C", "Mic D"}));

        // Ten saves of another input: the channel moves to it and holds it alone.
        for (int i = 0; i < 10; ++i) {
            Pick(pInputs, "Mic B");
            Pick(Box(pAudio, "comboBox_AudioFrameRate"), "48000");
            Save(pAudio);
            QCOMPARE(AudioHolders(), (QMap<int, QStringList>{{0, {"Mic B"}}}));
        }
        QCOMPARE(m_answerer.Take(), QVector<QString>(10, "保存成功").toList());
        CB_AudioCollectInfo stAudio = LibraryState().aChannels[0].audio;
        QCOMPARE(QByteArray(stAudio.szName), QByteArray("Mic B"));
        QCOMPARE(QList<int>({stAudio.iEnctype, stAudio.iChannels, stAudio.iBits, stAudio.iSampleRate,
                             stAudio.ucEnableAudio}),
                 QList<int>({1, 2, 16, 48000, 1}));
        QJsonObject qjsonRecord = RecordOf(StoredChannels(), 0);
        QCOMPARE(qjsonRecord.value("audioName").toString(), QString("Mic B"));
        QCOMPARE(qjsonRecord.value("audioSample").toInt(), 48000);

        // Another channel took the chosen input since the list was shown: nothing is stored.
        STRUCT_Audio structAudio;
        QVERIFY(App()->ClaimAudioDev(7, "Mic C", true, structAudio));
        Pick(pInputs, "Mic C");
        // Only the rates of the chosen input are offered.
        QCOMPARE(ItemTexts(Box(pAudio, "comboBox_AudioFrameRate")), QStringList{"8000"});
        const QString qstrFile = FileText();
        int iFrom = camera_business_inspect_journal_size();
        Save(pAudio);
        QCOMPARE(m_answerer.Take(), QStringList{"所选音频设备已被其他通道占用，请重新选择"});
        QCOMPARE(LibraryCalls(iFrom), QStringList());
        QCOMPARE(FileText(), qstrFile);
        QCOMPARE(AudioHolders(), (QMap<int, QStringList>{{0, {"Mic B"}}, {7, {"Mic C"}}}));

        // A rate the library refuses is reported and neither stored nor bound.
        Pick(pInputs, "Mic D");
        Save(pAudio);
        QCOMPARE(m_answerer.Take(), QStringList{"保存失败：音频设备Mic D，采样率4000"});
        QCOMPARE(FileText(), qstrFile);
        QCOMPARE(AudioHolders(), (QMap<int, QStringList>{{0, {"Mic B"}}, {7, {"Mic C"}}}));

        // An input unplugged since the list was shown is named as gone.
        QVector<STRUCT_Audio> vecAudio = App()->GetAudioDevs();
        vecAudio.removeLast();
        App()->SetAudioDevs(vecAudio);
        Save(pAudio);
        QCOMPARE(m_answerer.Take(), QStringList{"所选音频设备已拔出，请重新选择"});

        // With only its own input left, the channel may switch sound off and on again.
        QVERIFY(App()->ClaimAudioDev(8, "Mic A", true, structAudio));
        Pick(pInputs, "Mic B");
        auto* pSound = pAudio->findChild<QCheckBox*>("checkBox_OpenAudio");
        pSound->click();
        pSound->click();
        QCOMPARE(m_answerer.Take(), QStringList());
        QVERIFY(pSound->isChecked());

        // Sound off frees the input.
        pSound->click();
        QVERIFY(!pSound->isChecked());
        Save(pAudio);
        QCOMPARE(m_answerer.Take(), QStringList{"保存成功"});
        QCOMPARE(AudioHolders(), (QMap<int, QStringList>{{7, {"Mic C"}}, {8, {"Mic A"}}}));
        QCOMPARE(RecordOf(StoredChannels(), 0).value("enableAudio").toBool(), false);
        QCOMPARE(int(LibraryState().aChannels[0].audio.ucEnableAudio), 0);

        // Sound on again is refused while no input is free.
        QVERIFY(App()->ClaimAudioDev(9, QString(), true, structAudio));
        pSound->click();
        QCOMPARE(m_answerer.Take(), QStringList{"没有可用音频设备，请释放设备或者新增设备"});
        QVERIFY(!pSound->isChecked());
    }

    // Nothing is stored that the library refused or that was checked and found wrong before.
    void save_refused_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("notice");
        for (bool blAudio : {false, true}) {
            const QString qstrPage = blAudio ? "audio: " : "video: ";
            QTest::newRow(qPrintable(qstrPage + "table changed under the page"))
                << blAudio << "moved"
                << "通道已变化，请重新选择通道";
            QTest::newRow(qPrintable(qstrPage + "settings file cannot be written"))
                << blAudio << "unwritable"
                << "保存失败，配置文件无法写入";
        }
        QTest::newRow("video: camera without resolutions") << false << "noResolution"
                                                           << "保存失败：分辨率0*0";
        QTest::newRow("video: size beyond the library") << false << "tooLarge"
                                                        << "保存失败：分辨率9000*5000";
    }

    void save_refused()
    {
        QFETCH(bool, audio);
        QFETCH(QString, situation);
        m_vecAudioInput = {{"Mic A", {44100}, {2}},
                           {"Mic B", {44100}, {2}},
                           {"Mic C", {44100}, {2}},
                           {"Mic D", {44100}, {2}}};
        App()->SetScreenSource([] { return Screens(2); });
        const bool blCamera = situation == "noResolution" || situation == "tooLarge";
        m_cameras.m_vecCamera = {
            {{"Cam A", "camA", situation == "noResolution" ? QList<QSize>() : QList<QSize>{{1280, 720}}, {}},
             {}}};
        WriteConfig({});
        StartPage();
        const int iChNo = blCamera ? 4 : 1;
        m_pPage->GetChannelChooser()->setCurrentIndex(blCamera ? 2 : 1);
        QWidget* pPage = audio ? static_cast<QWidget*>(Audio()) : Video();
        Pick(Box(Audio(), "comboBox_EquipmentAudio"), "Mic D");
        Video()->findChild<QSpinBox*>("spinBox_FrameRate")->setValue(25);
        if (situation == "moved") {
            // A device change reordered the table: position 1 now holds channel 0.
            const QJsonArray qJsonArrChInfo = StoredChannels();
            QJsonObject qjsonConfig = App()->ReadConfig();
            qjsonConfig.insert("chInfo", QJsonArray{qJsonArrChInfo.at(1), qJsonArrChInfo.at(0)});
            QVERIFY(WriteJsonFile(qjsonConfig, App()->GetConfigPath()));
        } else if (situation == "tooLarge") {
            Box(Video(), "comboBox_ResolutionRatio")->addItem("9000*5000");
            Pick(Box(Video(), "comboBox_ResolutionRatio"), "9000*5000");
        }
        QJsonObject qjsonRecord = RecordOf(StoredChannels(), iChNo);
        const QString qstrFile = FileText();
        const QMap<int, QStringList> mapHeld = AudioHolders();
        const int iFrom = camera_business_inspect_journal_size();
        {
            const auto pRefused = situation == "unwritable" ? std::make_unique<WritesRefused>() : nullptr;
            Save(pPage);
        }

        QTEST(m_answerer.Take().join('|'), "notice");
        QCOMPARE(AudioHolders(), mapHeld);
        if (situation != "tooLarge") {
            QCOMPARE(LibraryCalls(iFrom), QStringList());
            QCOMPARE(FileText(), qstrFile);
            return;
        }
        // What the library took is stored, the size it refused is not.
        QCOMPARE(LibraryCalls(iFrom).size(), 6);
        qjsonRecord.insert("videoFrameRate", 25);
        QCOMPARE(RecordOf(StoredChannels(), iChNo), qjsonRecord);
    }

private:
    CLS_WgtVideoParamSet* Video() const { return m_pPage->findChild<CLS_WgtVideoParamSet*>(); }
    CLS_WgtAudioParamSet* Audio() const { return m_pPage->findChild<CLS_WgtAudioParamSet*>(); }
    void Save(QWidget* _pPage) { _pPage->findChild<QPushButton*>("pushButton_SaveParam")->click(); }

    CLS_BoxAnswerer m_answerer;
};

LUMACAST_TEST_MAIN(TestParamSets)
#include "test_paramsets.moc"
