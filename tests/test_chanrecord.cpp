// Channel record <-> library block, and the default records.
#include "channels/CLS_ChanRecord.h"

#include <QJsonDocument>
#include <QtTest>

#include <cstring>

namespace {

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
    // Every field of the record reaches the block and comes back: a field left out would come back
    // as the garbage the block held.
    void jsonToChanInfo_andBack()
    {
        STRUCT_ChanInfo structChanInfo = Garbage();
        CLS_ChanRecord::JsonToChanInfo(g_qjsonFull, structChanInfo);
        QCOMPARE(QSize(structChanInfo.iCameraWidth, structChanInfo.iCameraHeight), QSize(1280, 720));
        QJsonObject qjsonBack;
        CLS_ChanRecord::ChanInfoToJson(structChanInfo, qjsonBack);
        QJsonObject qjsonExpected = g_qjsonFull;
        qjsonExpected.remove("resolutionRatio");
        // The desktop index is the channel number, whatever "desktopIndex" says.
        qjsonExpected.insert("desktopIndex", 5);
        QCOMPARE(qjsonBack, qjsonExpected); // flags come back as booleans: numbers would differ
    }

    // The capture width stays below 2000, whatever the order of the offered sizes.
    void jsonToChanInfo_captureSize_data()
    {
        QTest::addColumn<QSize>("video");
        QTest::addColumn<QJsonArray>("offered");
        QTest::addColumn<QSize>("capture");
        QTest::newRow("exactly 2000 steps")
            << QSize(2000, 1000) << Sizes({{800, 600}, {2000, 1000}}) << QSize(800, 600);
        QTest::newRow("largest first")
            << QSize(2560, 1440) << Sizes({{3840, 2160}, {2560, 1440}, {1920, 1080}, {1280, 720}})
            << QSize(1920, 1080);
    }
    void jsonToChanInfo_captureSize()
    {
        QFETCH(QSize, video);
        QFETCH(QJsonArray, offered);
        STRUCT_ChanInfo structChanInfo = Garbage();
        CLS_ChanRecord::JsonToChanInfo(
            {{"videoWidth", video.width()}, {"videoHeight", video.height()}, {"resolutionRatio", offered}},
            structChanInfo);
        QTEST(QSize(structChanInfo.iCameraWidth, structChanInfo.iCameraHeight), "capture");
        QCOMPARE(QSize(structChanInfo.iVideoWidth, structChanInfo.iVideoHeight), video);
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

    // The first size above 700 lines, in the format that gives it: raw where the camera gives that
    // size raw (or does not say), else MJPEG. The record and the block the library gets agree.
    void makeUsbChannel()
    {
        const QList<QSize> lstHd{{640, 480}, {1280, 720}, {1920, 1080}};
        for (const QList<QSize>& lstRaw : {QList<QSize>(), QList<QSize>{{640, 480}}}) {
            STRUCT_ChanInfo structChanInfo = Garbage();
            QJsonObject qjsonRecord = CLS_ChanRecord::MakeUsbChannel(
                {"摄像头", "usb-X", lstHd, {0, 1}, lstRaw}, STRUCT_Audio(), 6, structChanInfo);
            QCOMPARE(qjsonRecord.take("resolutionRatio").toArray(), Sizes(lstHd));
            QCOMPARE(qjsonRecord.take("videoFormat").toArray(),
                     (QJsonArray{QJsonObject{{"type", 0}}, QJsonObject{{"type", 1}}}));
            QJsonObject qjsonBlock;
            CLS_ChanRecord::ChanInfoToJson(structChanInfo, qjsonBlock);
            QCOMPARE(qjsonBlock, qjsonRecord);
            QCOMPARE(QSize(structChanInfo.iVideoWidth, structChanInfo.iVideoHeight), QSize(1280, 720));
            QCOMPARE(QSize(structChanInfo.iCameraWidth, structChanInfo.iCameraHeight), QSize(1280, 720));
            QCOMPARE(structChanInfo.iCollectType, lstRaw.isEmpty() ? 1 : 0);
        }
    }
};

QTEST_APPLESS_MAIN(TestChanRecord)
#include "test_chanrecord.moc"
