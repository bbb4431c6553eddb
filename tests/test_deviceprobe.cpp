// Pixel formats to collect types, and a camera's lasting identity.
#include "device/CLS_DeviceProbe.h"

#include <QTemporaryDir>
#include <QtTest>

using FormatList = QList<QVideoFrame::PixelFormat>;

class TestDeviceProbe : public QObject
{
    Q_OBJECT
private slots:
    void collectTypes_data()
    {
        QTest::addColumn<FormatList>("formats");
        QTest::addColumn<QList<int>>("types");
        QTest::newRow("none") << FormatList() << QList<int>();
        QTest::newRow("YUV bounds") << FormatList{QVideoFrame::Format_AYUV444, QVideoFrame::Format_Y16}
                                    << QList<int>{1, 2};
        QTest::newRow("RGB bounds count as MJPEG")
            << FormatList{QVideoFrame::Format_ARGB32, QVideoFrame::Format_BGRA5658_Premultiplied}
            << QList<int>{0};
        QTest::newRow("JPEG and YUV, repeated")
            << FormatList{QVideoFrame::Format_YUYV, QVideoFrame::Format_Jpeg, QVideoFrame::Format_Jpeg}
            << QList<int>{0, 1, 2};
        QTest::newRow("neither") << FormatList{QVideoFrame::Format_Invalid, QVideoFrame::Format_CameraRaw}
                                 << QList<int>();
    }
    void collectTypes()
    {
        QFETCH(FormatList, formats);
        QFETCH(QList<int>, types);
        QCOMPARE(CLS_DeviceProbe::CollectTypesFromPixelFormats(formats), types);
    }

    void cameraIdentity_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("identity");
        QTest::newRow("linked") << "dev/video0"
                                << "by-id/usb-Acme-video-index0";
        QTest::newRow("no link, plain file beside") << "dev/video4"
                                                    << "dev/video4";
        QTest::newRow("missing, dangling link to it") << "dev/video7"
                                                      << "dev/video7";
    }
    void cameraIdentity()
    {
        QFETCH(QString, device);
        QFETCH(QString, identity);
        QTemporaryDir qtempDir;
        const QString qstrRoot = qtempDir.path() + "/";
        QVERIFY(QDir(qstrRoot).mkpath("dev") && QDir(qstrRoot).mkpath("by-id"));
        for (const char* pcNode : {"dev/video0", "dev/video1", "dev/video4", "by-id/plain-video4"}) {
            QFile qfileNode(qstrRoot + pcNode);
            QVERIFY(qfileNode.open(QIODevice::WriteOnly));
        }
        // Relative links as udev makes them.
        QVERIFY(QFile::link("../dev/video1", qstrRoot + "by-id/usb-Acme-video-index1"));
        QVERIFY(QFile::link("../dev/video0", qstrRoot + "by-id/usb-Acme-video-index0"));
        QVERIFY(QFile::link("../dev/video7", qstrRoot + "by-id/usb-Gone-video-index0"));
        QCOMPARE(CLS_DeviceProbe::CameraIdentity(qstrRoot + device, qstrRoot + "by-id"), qstrRoot + identity);
    }
};

QTEST_APPLESS_MAIN(TestDeviceProbe)
#include "test_deviceprobe.moc"
