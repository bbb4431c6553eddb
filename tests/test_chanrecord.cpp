// Channel record <-> library block, and the default records.
#include "channels/CLS_ChanRecord.h"

#include <QJsonDocument>
#include <QtTest>

#include <cstring>

namespace {

// The expected block, written field by field at the documented offsets.
class ExpectedBlock
{
public:
    ExpectedBlock& Int(int _iOffset, qint32 _iValue)
    {
        for (int i = 0; i < 4; ++i) {
            m_qbaBytes[_iOffset + i] = static_cast<char>((static_cast<quint32>(_iValue) >> (8 * i)) & 0xFF);
        }
        return *this;
    }
    ExpectedBlock& Text(int _iOffset, const QByteArray& _qbaText)
    {
        m_qbaBytes.replace(_iOffset, _qbaText.size(), _qbaText);
        return *this;
    }
    QByteArray m_qbaBytes = QByteArray(1152, '\0');
};

QByteArray BytesOf(const STRUCT_ChanInfo& _structChanInfo)
{
    return QByteArray(reinterpret_cast<const char*>(&_structChanInfo), sizeof(_structChanInfo)).toHex();
}

const auto Sizes = &CLS_ChanRecord::ResolutionArray;

// Builders must zero the block themselves.
STRUCT_ChanInfo Garbage()
{
    STRUCT_ChanInfo structChanInfo;
    std::memset(&structChanInfo, 0xAB, sizeof(structChanInfo));
    return structChanInfo;
}

const QJsonObject g_qjsonFull = QJsonDocument::fromJson(R"({"chNo":5,"videoWidth":1280,"videoHeight":720,
    "videoQuality":3,"videoIFrameInterval":25,"videoFrameRate":30,"videoBitRate":4096,"videoEncodeType":7,
    "audioSample":48000,"audioBit":16,"audioChs":2,"collectDevType":1,"audioEnctype":9,"audioName":"麦克风 USB",
    "collectDevName":"HD Webcam","chName":"前门","decodeType":11,"collectType":2,"handle":-1,"isCollectTrans":true,
    "deskPosX":-1920,"deskPosY":40,"desktopIndex":9,"enable":true,"enableAudio":true,"devID":"usb-HD",
    "resolutionRatio":[{"width":640,"height":480},{"width":1280,"height":720}]})")
                                    .object();

} // namespace

class TestChanRecord : public QObject
{
    Q_OBJECT
private slots:
    void jsonToChanInfo_byteForByte_andBack()
    {
        STRUCT_ChanInfo structChanInfo = Garbage();
        CLS_ChanRecord::JsonToChanInfo(g_qjsonFull, structChanInfo);
        ExpectedBlock expected;
        expected.Int(0, 5).Int(4, 1280).Int(8, 720).Int(12, 3).Int(16, 25).Int(20, 30).Int(24, 4096);
        expected.Int(28, 7).Int(32, 48000).Int(36, 16).Int(40, 2).Int(44, 1).Int(48, 9);
        expected.Text(52, "麦克风 USB")
            .Int(308, 48000)
            .Int(312, 16)
            .Int(316, 2)
            .Text(320, "HD Webcam")
            .Text(576, "前门");
        expected.Int(832, 11).Int(836, 2).Int(840, -1).Text(844, "\1").Int(848, -1920).Int(852, 40);
        // The desktop index is the channel number, whatever "desktopIndex" says.
        expected.Int(856, 5).Text(860, "\1\1").Text(862, "usb-HD").Int(1120, 1280).Int(1124, 720);
        QCOMPARE(BytesOf(structChanInfo), expected.m_qbaBytes.toHex());

        QJsonObject qjsonBack;
        CLS_ChanRecord::ChanInfoToJson(structChanInfo, qjsonBack);
        QJsonObject qjsonExpected = g_qjsonFull;
        qjsonExpected.remove("resolutionRatio");
        qjsonExpected.insert("desktopIndex", 5);
        QCOMPARE(qjsonBack, qjsonExpected); // flags come back as booleans: numbers would differ
    }

    // A flag that is not a JSON boolean reads as false. The capture width stays below 2000, whatever
    // the order of the offered sizes.
    void jsonToChanInfo_captureSizeAndFlags_data()
    {
        QTest::addColumn<QSize>("video");
        QTest::addColumn<QJsonArray>("offered");
        QTest::addColumn<QJsonValue>("flag");
        QTest::addColumn<QSize>("capture");
        QTest::newRow("exactly 2000 steps, number as flag")
            << QSize(2000, 1000) << Sizes({{800, 600}, {2000, 1000}}) << QJsonValue(1) << QSize(800, 600);
        QTest::newRow("largest first, boolean flag")
            << QSize(2560, 1440) << Sizes({{3840, 2160}, {2560, 1440}, {1920, 1080}, {1280, 720}})
            << QJsonValue(true) << QSize(1920, 1080);
    }
    void jsonToChanInfo_captureSizeAndFlags()
    {
        QFETCH(QSize, video);
        QFETCH(QJsonArray, offered);
        QFETCH(QJsonValue, flag);
        QFETCH(QSize, capture);
        QJsonObject qjsonRecord{
            {"videoWidth", video.width()}, {"videoHeight", video.height()}, {"resolutionRatio", offered}};
        for (const char* pcKey : {"isCollectTrans", "enable", "enableAudio"}) {
            qjsonRecord.insert(pcKey, flag);
        }
        STRUCT_ChanInfo structChanInfo = Garbage();
        CLS_ChanRecord::JsonToChanInfo(qjsonRecord, structChanInfo);
        QCOMPARE(QSize(structChanInfo.iCameraWidth, structChanInfo.iCameraHeight), capture);
        QCOMPARE(QSize(structChanInfo.iVideoWidth, structChanInfo.iVideoHeight), video);
        const int iFlag = flag.isBool() ? 1 : 0;
        QCOMPARE(structChanInfo.ucIsCollectTrans + structChanInfo.ucEnable + structChanInfo.ucEnableAudio,
                 3 * iFlag);
    }

    // The 128th two-byte character straddles the 255-byte limit: it goes whole.
    void jsonToChanInfo_textCutAtCharacterBoundary()
    {
        const QString qstrText(200, QChar(0xE9));
        const QString qstrKept(127, QChar(0xE9));
        STRUCT_ChanInfo structChanInfo = Garbage();
        CLS_ChanRecord::JsonToChanInfo({{"chName", qstrText},
                                        {"audioName", qstrText},
                                        {"collectDevName", qstrText},
                                        {"devID", qstrText}},
                                       structChanInfo);
        for (const char* pcField : {structChanInfo.szChName, structChanInfo.szAudioName,
                                    structChanInfo.szCollectDevName, structChanInfo.szDevID}) {
            QCOMPARE(QByteArray(pcField, 256),
                     qstrKept.toUtf8() + QByteArray(256 - qstrKept.toUtf8().size(), '\0'));
        }
    }

    // The size first, then the format that gives it: raw where the camera gives the size raw (or
    // did not say), else MJPEG where it has MJPEG.
    void makeUsbChannel_data()
    {
        QTest::addColumn<QList<QSize>>("offered");
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<QList<QSize>>("raw");
        QTest::addColumn<QSize>("video");
        QTest::addColumn<QSize>("capture");
        QTest::addColumn<int>("collect");
        const QList<QSize> lstHd{{640, 480}, {1280, 720}, {1920, 1080}};
        QTest::newRow("first above 700")
            << lstHd << QList<int>{0, 1} << QList<QSize>() << QSize(1280, 720) << QSize(1280, 720) << 1;
        QTest::newRow("none above 700") << QList<QSize>{{640, 480}} << QList<int>{1} << QList<QSize>()
                                        << QSize(640, 480) << QSize(640, 480) << 1;
        QTest::newRow("raw stops at 640x480") << lstHd << QList<int>{0, 1} << QList<QSize>{{640, 480}}
                                              << QSize(1280, 720) << QSize(1280, 720) << 0;
        QTest::newRow("MJPEG only") << lstHd << QList<int>{0} << QList<QSize>() << QSize(1280, 720)
                                    << QSize(1280, 720) << 0;
    }
    void makeUsbChannel()
    {
        QFETCH(QList<QSize>, offered);
        QFETCH(QList<int>, types);
        QFETCH(QList<QSize>, raw);
        QFETCH(QSize, video);
        QFETCH(QSize, capture);
        QFETCH(int, collect);
        STRUCT_ChanInfo structChanInfo = Garbage();
        const QJsonObject qjsonRecord = CLS_ChanRecord::MakeUsbChannel(
            {"摄像头", "usb-X", offered, types, raw}, STRUCT_Audio(), 6, structChanInfo);
        ExpectedBlock expected;
        expected.Int(0, 6).Int(4, video.width()).Int(8, video.height()).Int(16, 10).Int(20, 10).Int(24, 2048);
        expected.Int(32, 44100).Int(36, 16).Int(40, 2).Int(44, 1).Int(48, 1).Text(52, "mic");
        expected.Text(320, "摄像头").Text(576, "摄像头").Int(836, collect).Text(860, "\1").Text(862, "usb-X");
        expected.Int(1120, capture.width()).Int(1124, capture.height());
        QCOMPARE(BytesOf(structChanInfo), expected.m_qbaBytes.toHex());
        QCOMPARE(qjsonRecord.size(), 28);
        QCOMPARE(qjsonRecord.value("resolutionRatio").toArray(), Sizes(offered));
        QJsonArray qJsonArrFormat;
        for (int iType : types) {
            qJsonArrFormat.append(QJsonObject{{"type", iType}});
        }
        QCOMPARE(qjsonRecord.value("videoFormat").toArray(), qJsonArrFormat);
    }
};

QTEST_APPLESS_MAIN(TestChanRecord)
#include "test_chanrecord.moc"
