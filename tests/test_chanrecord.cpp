// Channel record <-> library block, default records and channel numbering.
#include "CLS_WgtChanSet/CLS_ChanRecord.h"

#include <QtTest>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The expected block, written field by field at the documented offsets.
class ExpectedBlock
{
public:
    ExpectedBlock& Int(int _iOffset, qint32 _iValue)
    {
        const quint32 uiValue = static_cast<quint32>(_iValue);
        for (int i = 0; i < 4; ++i) {
            m_acBytes[static_cast<std::size_t>(_iOffset + i)] =
                static_cast<char>((uiValue >> (8 * i)) & 0xFF);
        }
        return *this;
    }
    ExpectedBlock& Byte(int _iOffset, char _cValue)
    {
        m_acBytes[static_cast<std::size_t>(_iOffset)] = _cValue;
        return *this;
    }
    ExpectedBlock& Text(int _iOffset, const QByteArray& _qbaText)
    {
        std::copy(_qbaText.cbegin(), _qbaText.cend(), m_acBytes.begin() + _iOffset);
        return *this;
    }
    QByteArray Bytes() const { return QByteArray(m_acBytes.data(), static_cast<int>(m_acBytes.size())); }

private:
    std::array<char, 1152> m_acBytes{};
};

QByteArray BytesOf(const STRUCT_ChanInfo& _structChanInfo)
{
    return QByteArray(reinterpret_cast<const char*>(&_structChanInfo), sizeof(_structChanInfo));
}

QJsonArray Sizes(const QList<QSize>& _lstSize)
{
    QJsonArray qJsonArr;
    for (const QSize& qsize : _lstSize) {
        qJsonArr.append(QJsonObject{{"width", qsize.width()}, {"height", qsize.height()}});
    }
    return qJsonArr;
}

QJsonObject FullRecord()
{
    return QJsonObject{{"chNo", 5},
                       {"videoWidth", 1280},
                       {"videoHeight", 720},
                       {"videoQuality", 3},
                       {"videoIFrameInterval", 25},
                       {"videoFrameRate", 30},
                       {"videoBitRate", 4096},
                       {"videoEncodeType", 7},
                       {"audioSample", 48000},
                       {"audioBit", 16},
                       {"audioChs", 2},
                       {"collectDevType", 1},
                       {"audioEnctype", 9},
                       {"audioName", QString::fromUtf8("麦克风 USB")},
                       {"collectDevName", "HD Webcam"},
                       {"chName", QString::fromUtf8("前门")},
                       {"decodeType", 11},
                       {"collectType", 2},
                       {"handle", -1},
                       {"isCollectTrans", true},
                       {"deskPosX", -1920},
                       {"deskPosY", 40},
                       {"desktopIndex", 9}, // the block takes "chNo" instead
                       {"enable", true},
                       {"enableAudio", true},
                       {"devID", "/dev/v4l/by-id/usb-HD_Webcam-video-index0"},
                       {"resolutionRatio", Sizes({{640, 480}, {1280, 720}})}};
}

STRUCT_ChanInfo Garbage()
{
    STRUCT_ChanInfo structChanInfo;
    std::memset(&structChanInfo, 0xAB, sizeof(structChanInfo));
    return structChanInfo;
}

} // namespace

class TestChanRecord : public QObject
{
    Q_OBJECT
private slots:
    void jsonToChanInfo_matchesOffsetTableByteForByte();
    void jsonToChanInfo_captureSizeWalk_data();
    void jsonToChanInfo_captureSizeWalk();
    void jsonToChanInfo_flags_data();
    void jsonToChanInfo_flags();
    void jsonToChanInfo_textCutAtCharacterBoundary_data();
    void jsonToChanInfo_textCutAtCharacterBoundary();
    void chanInfoToJson_writesTheBlockKeys();
    void emptyChanInfoArray_zeroWithCollectTypeMinusOne();
    void makeDesktopChannel_defaults();
    void makeDesktopChannel_boundAudioInput();
    void makeUsbChannel_videoAndCaptureSize_data();
    void makeUsbChannel_videoAndCaptureSize();
    void makeUsbChannel_record();
    void freeCameraNumbers_data();
    void freeCameraNumbers();
    void takeDesktopRecords_byTypeOrNumber_data();
    void takeDesktopRecords_byTypeOrNumber();
    void disableRecords_everyRecordOfTheDevice();
};

void TestChanRecord::jsonToChanInfo_matchesOffsetTableByteForByte()
{
    STRUCT_ChanInfo structChanInfo = Garbage();
    CLS_ChanRecord::JsonToChanInfo(FullRecord(), structChanInfo);

    ExpectedBlock expected;
    expected.Int(0, 5).Int(4, 1280).Int(8, 720).Int(12, 3).Int(16, 25).Int(20, 30).Int(24, 4096).Int(28, 7);
    expected.Int(32, 48000).Int(36, 16).Int(40, 2).Int(44, 1).Int(48, 9);
    expected.Text(52, QString::fromUtf8("麦克风 USB").toUtf8());
    expected.Int(308, 48000).Int(312, 16).Int(316, 2);
    expected.Text(320, "HD Webcam").Text(576, QString::fromUtf8("前门").toUtf8());
    expected.Int(832, 11).Int(836, 2).Int(840, -1).Byte(844, 1);
    expected.Int(848, -1920).Int(852, 40).Int(856, 5).Byte(860, 1).Byte(861, 1);
    expected.Text(862, "/dev/v4l/by-id/usb-HD_Webcam-video-index0");
    expected.Int(1120, 1280).Int(1124, 720);
    QCOMPARE(BytesOf(structChanInfo).toHex(), expected.Bytes().toHex());
}

void TestChanRecord::jsonToChanInfo_captureSizeWalk_data()
{
    QTest::addColumn<QSize>("video");
    QTest::addColumn<QJsonArray>("offered");
    QTest::addColumn<QSize>("capture");
    const QJsonArray qJsonArrThree = Sizes({{1280, 720}, {1920, 1080}, {2560, 1440}});
    QTest::newRow("2560 steps down to 1920") << QSize(2560, 1440) << qJsonArrThree << QSize(1920, 1080);
    QTest::newRow("below 2000 untouched") << QSize(1920, 1080) << qJsonArrThree << QSize(1920, 1080);
    QTest::newRow("exactly 2000 steps")
        << QSize(2000, 1000) << Sizes({{800, 600}, {2000, 1000}}) << QSize(800, 600);
    QTest::newRow("all wide: last one tried wins")
        << QSize(4096, 2160) << Sizes({{3840, 2160}, {2560, 1440}}) << QSize(3840, 2160);
    QTest::newRow("no list keeps video size") << QSize(3840, 2160) << QJsonArray() << QSize(3840, 2160);
}

void TestChanRecord::jsonToChanInfo_captureSizeWalk()
{
    QFETCH(QSize, video);
    QFETCH(QJsonArray, offered);
    QFETCH(QSize, capture);
    const QJsonObject qjsonRecord{
        {"videoWidth", video.width()}, {"videoHeight", video.height()}, {"resolutionRatio", offered}};
    STRUCT_ChanInfo structChanInfo;
    CLS_ChanRecord::JsonToChanInfo(qjsonRecord, structChanInfo);
    QCOMPARE(QSize(structChanInfo.iCameraWidth, structChanInfo.iCameraHeight), capture);
    QCOMPARE(QSize(structChanInfo.iVideoWidth, structChanInfo.iVideoHeight), video);
}

void TestChanRecord::jsonToChanInfo_flags_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<int>("stored");
    QTest::newRow("true") << QJsonValue(true) << 1;
    QTest::newRow("false") << QJsonValue(false) << 0;
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << 0;
    QTest::newRow("number is not a flag") << QJsonValue(1) << 0;
    QTest::newRow("text is not a flag") << QJsonValue("true") << 0;
}

void TestChanRecord::jsonToChanInfo_flags()
{
    QFETCH(QJsonValue, value);
    QFETCH(int, stored);
    QJsonObject qjsonRecord;
    if (!value.isUndefined()) {
        qjsonRecord = {{"isCollectTrans", value}, {"enable", value}, {"enableAudio", value}};
    }
    STRUCT_ChanInfo structChanInfo = Garbage();
    CLS_ChanRecord::JsonToChanInfo(qjsonRecord, structChanInfo);
    QCOMPARE(int(structChanInfo.ucIsCollectTrans), stored);
    QCOMPARE(int(structChanInfo.ucEnable), stored);
    QCOMPARE(int(structChanInfo.ucEnableAudio), stored);
}

void TestChanRecord::jsonToChanInfo_textCutAtCharacterBoundary_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::newRow("255 ASCII kept whole") << QString(255, 'a') << QString(255, 'a');
    QTest::newRow("300 ASCII cut to 255") << QString(300, 'b') << QString(255, 'b');
    // 2-byte characters: 127 fit (254 bytes); the 128th would straddle byte 255.
    QTest::newRow("two-byte letters") << QString(200, QChar(0x00E9)) << QString(127, QChar(0x00E9));
    // 3-byte characters: exactly 85 fill 255 bytes.
    QTest::newRow("three-byte letters") << QString(100, QChar(0x4E2D)) << QString(85, QChar(0x4E2D));
    const QString qstrEmoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    QString qstrMixed = QString(252, 'x') + qstrEmoji + qstrEmoji;
    QTest::newRow("four-byte after 252 ASCII") << qstrMixed << QString(252, 'x');
    QTest::newRow("empty") << QString() << QString();
}

void TestChanRecord::jsonToChanInfo_textCutAtCharacterBoundary()
{
    QFETCH(QString, text);
    QFETCH(QString, kept);
    const QJsonObject qjsonRecord{
        {"chName", text}, {"audioName", text}, {"collectDevName", text}, {"devID", text}};
    STRUCT_ChanInfo structChanInfo = Garbage();
    CLS_ChanRecord::JsonToChanInfo(qjsonRecord, structChanInfo);
    for (const char* pcField : {structChanInfo.szChName, structChanInfo.szAudioName,
                                structChanInfo.szCollectDevName, structChanInfo.szDevID}) {
        const QByteArray qbaField(pcField, static_cast<int>(strnlen(pcField, 256)));
        QCOMPARE(qbaField, kept.toUtf8());
    }
    // The rest of each field is zero.
    const QByteArray qbaName = QByteArray(structChanInfo.szChName, 256);
    QCOMPARE(qbaName.mid(kept.toUtf8().size()), QByteArray(256 - kept.toUtf8().size(), '\0'));
}

void TestChanRecord::chanInfoToJson_writesTheBlockKeys()
{
    STRUCT_ChanInfo structChanInfo;
    CLS_ChanRecord::JsonToChanInfo(FullRecord(), structChanInfo);
    QJsonObject qjsonRecord;
    CLS_ChanRecord::ChanInfoToJson(structChanInfo, qjsonRecord);

    // The flags come back as JSON booleans: a number would not compare equal.
    QCOMPARE(qjsonRecord.size(), 25);
    QJsonObject qjsonExpected = FullRecord();
    qjsonExpected.remove("devID");
    qjsonExpected.remove("resolutionRatio");
    qjsonExpected.insert("desktopIndex", 5); // the block carries the channel number there
    QCOMPARE(qjsonRecord, qjsonExpected);
}

void TestChanRecord::emptyChanInfoArray_zeroWithCollectTypeMinusOne()
{
    const ChanInfoArray arrChanInfo = CLS_ChanRecord::EmptyChanInfoArray();
    QCOMPARE(int(arrChanInfo.size()), 16);
    const QByteArray qbaExpected = ExpectedBlock().Int(44, -1).Bytes();
    for (const STRUCT_ChanInfo& structChanInfo : arrChanInfo) {
        QCOMPARE(BytesOf(structChanInfo), qbaExpected);
    }
}

void TestChanRecord::makeDesktopChannel_defaults()
{
    const STRUCT_Screen structScreen{0, QRect(-1920, 0, 1920, 1080), "HDMI-1"};
    STRUCT_ChanInfo structChanInfo = Garbage();
    const QJsonObject qjsonRecord =
        CLS_ChanRecord::MakeDesktopChannel(structScreen, STRUCT_Audio(), 0, structChanInfo);

    ExpectedBlock expected;
    expected.Int(0, 0).Int(4, 1920).Int(8, 1080).Int(16, 10).Int(20, 10).Int(24, 2048);
    expected.Int(32, 44100).Int(36, 16).Int(40, 2).Int(44, 0).Int(48, 1).Text(52, "mic");
    const QByteArray qbaName = QString::fromUtf8("桌面1").toUtf8();
    expected.Text(320, qbaName).Text(576, qbaName).Int(836, 1).Int(840, -1);
    expected.Int(848, -1920).Int(852, 0).Int(856, 0).Byte(860, 1).Text(862, "HDMI-1");
    expected.Int(1120, 1920).Int(1124, 1080);
    QCOMPARE(BytesOf(structChanInfo).toHex(), expected.Bytes().toHex());

    QCOMPARE(qjsonRecord.size(), 27);
    QCOMPARE(qjsonRecord.value("chName").toString(), QString::fromUtf8("桌面1"));
    QCOMPARE(qjsonRecord.value("collectDevName").toString(), QString::fromUtf8("桌面1"));
    QCOMPARE(qjsonRecord.value("devID").toString(), QString("HDMI-1"));
    QCOMPARE(qjsonRecord.value("handle").toInt(), -1);
    QCOMPARE(qjsonRecord.value("enableAudio").toBool(true), false);
    QCOMPARE(qjsonRecord.value("resolutionRatio").toArray(), Sizes({{1920, 1080}}));
    QVERIFY(!qjsonRecord.contains("videoFormat"));
}

void TestChanRecord::makeDesktopChannel_boundAudioInput()
{
    const STRUCT_Audio structAudio{"Line In", {}, 1, {}, 3, -1, 16000};
    STRUCT_ChanInfo structChanInfo = Garbage();
    const QJsonObject qjsonRecord =
        CLS_ChanRecord::MakeDesktopChannel({1, QRect(0, 0, 800, 600), "B"}, structAudio, 2, structChanInfo);
    QCOMPARE(qjsonRecord.value("chName").toString(), QString::fromUtf8("桌面3"));
    QCOMPARE(qjsonRecord.value("audioName").toString(), QString("Line In"));
    QCOMPARE(qjsonRecord.value("audioChs").toInt(), 1);
    QCOMPARE(qjsonRecord.value("audioEnctype").toInt(), 3);
    QCOMPARE(qjsonRecord.value("audioSample").toInt(), 16000);
    QCOMPARE(qjsonRecord.value("audioBit").toInt(), 16);
    QCOMPARE(qjsonRecord.value("enableAudio").toBool(), true);
    // Only the first audio copy is filled by the builders.
    QCOMPARE(structChanInfo.iAudioSample2 | structChanInfo.iAudioBit2 | structChanInfo.iAudioChs2, 0);
}

void TestChanRecord::makeUsbChannel_videoAndCaptureSize_data()
{
    QTest::addColumn<QList<QSize>>("offered");
    QTest::addColumn<QSize>("video");
    QTest::addColumn<QSize>("capture");
    QTest::newRow("first above 700") << QList<QSize>{{640, 480}, {1280, 720}, {1920, 1080}}
                                     << QSize(1280, 720) << QSize(1280, 720);
    QTest::newRow("none above 700: first")
        << QList<QSize>{{320, 240}, {640, 480}} << QSize(320, 240) << QSize(320, 240);
    QTest::newRow("3840x2160 only") << QList<QSize>{{3840, 2160}} << QSize(3840, 2160) << QSize(3840, 2160);
    QTest::newRow("wide video, earlier capture")
        << QList<QSize>{{640, 480}, {1600, 600}, {3840, 2160}} << QSize(3840, 2160) << QSize(1600, 600);
    QTest::newRow("first above 700 before wide ones")
        << QList<QSize>{{1280, 720}, {2048, 600}, {2560, 1440}} << QSize(1280, 720) << QSize(1280, 720);
    QTest::newRow("walks two back") << QList<QSize>{{800, 600}, {2048, 400}, {2560, 1440}}
                                    << QSize(2560, 1440) << QSize(800, 600);
    QTest::newRow("no resolutions") << QList<QSize>() << QSize(0, 0) << QSize(0, 0);
}

void TestChanRecord::makeUsbChannel_videoAndCaptureSize()
{
    QFETCH(QList<QSize>, offered);
    QFETCH(QSize, video);
    QFETCH(QSize, capture);
    const STRUCT_Usb structUsb{"Cam", "/dev/video0", offered, {}};
    STRUCT_ChanInfo structChanInfo = Garbage();
    const QJsonObject qjsonRecord =
        CLS_ChanRecord::MakeUsbChannel(structUsb, STRUCT_Audio(), 4, structChanInfo);
    QCOMPARE(QSize(structChanInfo.iVideoWidth, structChanInfo.iVideoHeight), video);
    QCOMPARE(QSize(structChanInfo.iCameraWidth, structChanInfo.iCameraHeight), capture);
    QCOMPARE(QSize(qjsonRecord.value("videoWidth").toInt(), qjsonRecord.value("videoHeight").toInt()), video);
    QCOMPARE(qjsonRecord.value("resolutionRatio").toArray(), Sizes(offered));
}

void TestChanRecord::makeUsbChannel_record()
{
    const STRUCT_Usb structUsb{
        QString::fromUtf8("摄像头"), "/dev/v4l/by-id/usb-X-video-index0", {{640, 480}, {1280, 720}}, {1, 2}};
    STRUCT_ChanInfo structChanInfo = Garbage();
    const QJsonObject qjsonRecord =
        CLS_ChanRecord::MakeUsbChannel(structUsb, STRUCT_Audio(), 6, structChanInfo);

    ExpectedBlock expected;
    expected.Int(0, 6).Int(4, 1280).Int(8, 720).Int(16, 10).Int(20, 10).Int(24, 2048);
    expected.Int(32, 44100).Int(36, 16).Int(40, 2).Int(44, 1).Int(48, 1).Text(52, "mic");
    const QByteArray qbaName = QString::fromUtf8("摄像头").toUtf8();
    expected.Text(320, qbaName).Text(576, qbaName).Int(836, 1).Byte(860, 1);
    expected.Text(862, "/dev/v4l/by-id/usb-X-video-index0").Int(1120, 1280).Int(1124, 720);
    QCOMPARE(BytesOf(structChanInfo).toHex(), expected.Bytes().toHex());

    QCOMPARE(qjsonRecord.size(), 28);
    QCOMPARE(qjsonRecord.value("collectDevType").toInt(), 1);
    QCOMPARE(qjsonRecord.value("handle").toInt(-1), 0);
    QCOMPARE(qjsonRecord.value("desktopIndex").toInt(-1), 0);
    QCOMPARE(qjsonRecord.value("devID").toString(), structUsb.qstrDevID);
    QCOMPARE(qjsonRecord.value("videoFormat").toArray(),
             (QJsonArray{QJsonObject{{"type", 1}}, QJsonObject{{"type", 2}}}));
}

void TestChanRecord::freeCameraNumbers_data()
{
    QTest::addColumn<QList<int>>("used");
    QTest::addColumn<int>("desktops");
    QTest::addColumn<QList<int>>("free");
    QTest::newRow("empty table") << QList<int>() << 4 << QList<int>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    QTest::newRow("gaps reused lowest first")
        << QList<int>{0, 1, 4, 6, 15} << 4 << QList<int>{5, 7, 8, 9, 10, 11, 12, 13, 14};
    QTest::newRow("desktop numbers never free") << QList<int>{} << 14 << QList<int>{14, 15};
    QTest::newRow("no camera numbers") << QList<int>{} << 16 << QList<int>();
    QTest::newRow("desktop count beyond 16") << QList<int>{} << 20 << QList<int>();
    QTest::newRow("all used") << QList<int>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15} << 4 << QList<int>();
}

void TestChanRecord::freeCameraNumbers()
{
    QFETCH(QList<int>, used);
    QFETCH(int, desktops);
    QFETCH(QList<int>, free);
    QJsonArray qJsonArrChInfo;
    for (int iChNo : used) {
        qJsonArrChInfo.append(QJsonObject{{"chNo", iChNo}});
    }
    QCOMPARE(CLS_ChanRecord::FreeCameraNumbers(qJsonArrChInfo, desktops), free);
}

void TestChanRecord::takeDesktopRecords_byTypeOrNumber_data()
{
    QTest::addColumn<QJsonObject>("record");
    QTest::addColumn<bool>("desktop");
    QTest::newRow("X11 screen name") << QJsonObject{{"chNo", 0}, {"collectDevType", 0}, {"devID", "HDMI-1"}}
                                     << true;
    QTest::newRow("Windows screen name")
        << QJsonObject{{"chNo", 1}, {"collectDevType", 0}, {"devID", "\\\\.\\DISPLAY2"}} << true;
    QTest::newRow("desktop type above the desktop numbers")
        << QJsonObject{{"chNo", 6}, {"collectDevType", 0}, {"devID", ""}} << true;
    QTest::newRow("desktop number without type") << QJsonObject{{"chNo", 3}} << true;
    QTest::newRow("camera") << QJsonObject{{"chNo", 4}, {"collectDevType", 1}, {"devID", "DISPLAY cam"}}
                            << false;
}

void TestChanRecord::takeDesktopRecords_byTypeOrNumber()
{
    QFETCH(QJsonObject, record);
    QFETCH(bool, desktop);
    const QJsonObject qjsonCamera{{"chNo", 9}, {"collectDevType", 1}, {"devID", "cam9"}};
    QList<int> lstDesktopChNo;
    const QJsonArray qJsonArrOther =
        CLS_ChanRecord::TakeDesktopRecords(QJsonArray{qjsonCamera, record}, 4, lstDesktopChNo);
    QCOMPARE(qJsonArrOther.size(), desktop ? 1 : 2);
    QCOMPARE(qJsonArrOther.at(0).toObject(), qjsonCamera);
    QCOMPARE(lstDesktopChNo, desktop ? QList<int>{record.value("chNo").toInt()} : QList<int>());
}

void TestChanRecord::disableRecords_everyRecordOfTheDevice()
{
    QJsonArray qJsonArrChInfo{QJsonObject{{"chNo", 4}, {"devID", "a"}, {"enable", true}},
                              QJsonObject{{"chNo", 5}, {"devID", "b"}, {"enable", true}},
                              QJsonObject{{"chNo", 7}, {"devID", "a"}, {"enable", true}}};
    QCOMPARE(CLS_ChanRecord::DisableRecords(qJsonArrChInfo, "a"), (QList<int>{4, 7}));
    QCOMPARE(qJsonArrChInfo.at(0).toObject().value("enable").toBool(true), false);
    QCOMPARE(qJsonArrChInfo.at(1).toObject().value("enable").toBool(false), true);
    QCOMPARE(qJsonArrChInfo.at(2).toObject().value("enable").toBool(true), false);
    QCOMPARE(CLS_ChanRecord::DisableRecords(qJsonArrChInfo, "gone"), QList<int>());
}

QTEST_APPLESS_MAIN(TestChanRecord)
#include "test_chanrecord.moc"
