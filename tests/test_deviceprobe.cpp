// Pixel formats to collect types, a camera's lasting identity, and the audio input table.
#include "device/CLS_DeviceProbe.h"

#include <QTemporaryDir>
#include <QtTest>

class TestDeviceProbe : public QObject
{
    Q_OBJECT
private slots:
    void collectTypes_data();
    void collectTypes();
    void cameraIdentity_data();
    void cameraIdentity();
    void audioTable_newInputs_data();
    void audioTable_newInputs();
    void audioTable_firstOfSameNameNamelessLeftOut();
    void audioTable_knownInputKeptWithHolder();
};

using FormatList = QList<QVideoFrame::PixelFormat>;

void TestDeviceProbe::collectTypes_data()
{
    QTest::addColumn<FormatList>("formats");
    QTest::addColumn<QList<int>>("types");
    QTest::newRow("none") << FormatList() << QList<int>();
    QTest::newRow("YUV only") << FormatList{QVideoFrame::Format_YUYV, QVideoFrame::Format_NV12}
                              << QList<int>{1, 2};
    QTest::newRow("JPEG and YUV") << FormatList{QVideoFrame::Format_YUYV, QVideoFrame::Format_Jpeg}
                                  << QList<int>{0, 1, 2};
    QTest::newRow("RGB counts as MJPEG") << FormatList{QVideoFrame::Format_RGB24} << QList<int>{0};
    QTest::newRow("lowest RGB") << FormatList{QVideoFrame::Format_ARGB32} << QList<int>{0};
    QTest::newRow("highest RGB") << FormatList{QVideoFrame::Format_BGRA5658_Premultiplied} << QList<int>{0};
    QTest::newRow("lowest YUV") << FormatList{QVideoFrame::Format_AYUV444} << QList<int>{1, 2};
    QTest::newRow("highest YUV") << FormatList{QVideoFrame::Format_Y16} << QList<int>{1, 2};
    QTest::newRow("neither") << FormatList{QVideoFrame::Format_Invalid, QVideoFrame::Format_CameraRaw,
                                           QVideoFrame::Format_AdobeDng}
                             << QList<int>();
    QTest::newRow("repeats give each type once")
        << FormatList{QVideoFrame::Format_Jpeg, QVideoFrame::Format_Jpeg, QVideoFrame::Format_UYVY,
                      QVideoFrame::Format_YUV420P}
        << QList<int>{0, 1, 2};
}

void TestDeviceProbe::collectTypes()
{
    QFETCH(FormatList, formats);
    QFETCH(QList<int>, types);
    QCOMPARE(CLS_DeviceProbe::CollectTypesFromPixelFormats(formats), types);
}

void TestDeviceProbe::cameraIdentity_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("identity");
    QTest::newRow("linked device") << "dev/video0"
                                   << "by-id/usb-Acme_Cam_123-video-index0";
    QTest::newRow("second link of another node") << "dev/video2"
                                                 << "by-id/usb-Other_Cam-video-index0";
    QTest::newRow("device without link") << "dev/video4"
                                         << "dev/video4";
    QTest::newRow("device missing") << "dev/video9"
                                    << "dev/video9";
}

void TestDeviceProbe::cameraIdentity()
{
    QFETCH(QString, device);
    QFETCH(QString, identity);
    QTemporaryDir qtempDir;
    QVERIFY(qtempDir.isValid());
    const QString qstrRoot = qtempDir.path() + "/";
    QVERIFY(QDir(qstrRoot).mkpath("dev") && QDir(qstrRoot).mkpath("by-id"));
    for (const char* pcNode : {"dev/video0", "dev/video1", "dev/video2", "dev/video4"}) {
        QFile qfileNode(qstrRoot + pcNode);
        QVERIFY(qfileNode.open(QIODevice::WriteOnly));
    }
    // Relative links as udev makes them; a plain file and a dangling link must not match.
    QVERIFY(QFile::link("../dev/video0", qstrRoot + "by-id/usb-Acme_Cam_123-video-index0"));
    QVERIFY(QFile::link("../dev/video1", qstrRoot + "by-id/usb-Acme_Cam_123-video-index1"));
    QVERIFY(QFile::link("../dev/video2", qstrRoot + "by-id/usb-Other_Cam-video-index0"));
    QVERIFY(QFile::link("../dev/video7", qstrRoot + "by-id/usb-Gone_Cam-video-index0"));
    QFile qfilePlain(qstrRoot + "by-id/plain-video4");
    QVERIFY(qfilePlain.open(QIODevice::WriteOnly));

    QCOMPARE(CLS_DeviceProbe::CameraIdentity(qstrRoot + device, qstrRoot + "by-id"), qstrRoot + identity);
}

void TestDeviceProbe::audioTable_newInputs_data()
{
    QTest::addColumn<QList<int>>("channelCounts");
    QTest::addColumn<int>("channels");
    QTest::newRow("stereo offered") << QList<int>{1, 2} << 2;
    QTest::newRow("mono only") << QList<int>{1} << 1;
    QTest::newRow("nothing reported") << QList<int>() << 1;
    QTest::newRow("four but not two") << QList<int>{4} << 1;
}

void TestDeviceProbe::audioTable_newInputs()
{
    QFETCH(QList<int>, channelCounts);
    QFETCH(int, channels);
    const QVector<STRUCT_Audio> vecAudio =
        CLS_DeviceProbe::BuildAudioTable({{"Mic", {8000, 44100}, channelCounts}}, {});
    QCOMPARE(vecAudio.size(), 1);
    QCOMPARE(vecAudio.at(0).qstrName, QString("Mic"));
    QCOMPARE(vecAudio.at(0).iChannels, channels);
    QCOMPARE(vecAudio.at(0).lstSampleRate, (QList<int>{8000, 44100}));
    QCOMPARE(vecAudio.at(0).iHolderChNo, -1);
    QCOMPARE(vecAudio.at(0).iExtra, 1);
    QCOMPARE(vecAudio.at(0).iSampleRate, 44100);
    QVERIFY(vecAudio.at(0).qstrExtra.isEmpty());
}

void TestDeviceProbe::audioTable_firstOfSameNameNamelessLeftOut()
{
    const QVector<STRUCT_Audio> vecAudio = CLS_DeviceProbe::BuildAudioTable(
        {{"Mic", {48000}, {2}}, {"", {44100}, {2}}, {"Line", {44100}, {1}}, {"Mic", {8000}, {1}}}, {});
    QCOMPARE(vecAudio.size(), 2);
    QCOMPARE(vecAudio.at(0).qstrName, QString("Mic"));
    QCOMPARE(vecAudio.at(0).lstSampleRate, QList<int>{48000});
    QCOMPARE(vecAudio.at(1).qstrName, QString("Line"));
}

void TestDeviceProbe::audioTable_knownInputKeptWithHolder()
{
    const STRUCT_Audio structKnown{"Mic", {}, 1, {}, 1, 5, 16000};
    const STRUCT_Audio structGone{"Unplugged", {}, 0, {}, 1, 2};
    const QVector<STRUCT_Audio> vecAudio = CLS_DeviceProbe::BuildAudioTable(
        {{"New", {}, {2}}, {"Mic", {44100}, {2}}}, {structGone, structKnown});
    QCOMPARE(vecAudio.size(), 2);
    QCOMPARE(vecAudio.at(0).qstrName, QString("New"));
    QCOMPARE(vecAudio.at(0).iHolderChNo, -1);
    QCOMPARE(vecAudio.at(1).iHolderChNo, 5);
    QCOMPARE(vecAudio.at(1).iChannels, 1);
    QCOMPARE(vecAudio.at(1).iSampleRate, 16000);
}

QTEST_APPLESS_MAIN(TestDeviceProbe)
#include "test_deviceprobe.moc"
