// The device watcher: what one poll reports against what it knew, and how the thread stops; a
// camera's lasting identity.
#include "ChannelTestSupport.h"
#include "device/CLS_ThreadCheckAddRemoveDev.h"

#include <QTemporaryDir>

class TestDevWatcher : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_registry.SetUsbDevs({});
        m_registry.SetAudioDevs({});
        m_registry.m_vecScreen = ScreenList(1);
    }

    // Each cycle polls the devices of one entry of "present" (cameras and audio inputs alike, the
    // screen one pixel wider each time); each change is written "added|removed".
    void cycles_data()
    {
        QTest::addColumn<QStringList>("seeded");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("reported");
        QTest::newRow("seeded, nothing to report")
            << QStringList{"A", "B"} << QStringList{"A,B", "A,B"} << QStringList();
        QTest::newRow("unplugged: reported once")
            << QStringList{"A", "B"} << QStringList{"A,B", "A", "A"} << QStringList{"|B"};
        QTest::newRow("two added, list order")
            << QStringList{"M"} << QStringList{"Z,M,A"} << QStringList{"Z,A|"};
    }
    void cycles()
    {
        QFETCH(QStringList, seeded);
        QFETCH(QStringList, present);
        QFETCH(QStringList, reported);
        CLS_ThreadCheckAddRemoveDev watcher(m_registry);
        watcher.InitUsbDevIDs(seeded);
        watcher.InitAudioDevNames(seeded);
        watcher.InitScreenInfo(m_registry.m_vecScreen);
        QSignalSpy spyUsb(&watcher, &CLS_ThreadCheckAddRemoveDev::SigDeviceChanged);
        QSignalSpy spyAudio(&watcher, &CLS_ThreadCheckAddRemoveDev::SigAudioDeviceChanged);
        QSignalSpy spyScreen(&watcher, &CLS_ThreadCheckAddRemoveDev::SigScreenChanged);
        for (int i = 0; i < present.size(); ++i) {
            QVector<STRUCT_Usb> vecUsb;
            QVector<STRUCT_Audio> vecAudio;
            for (const QString& qstrId : present.at(i).split(',', Qt::SkipEmptyParts)) {
                vecUsb.append({"Camera", qstrId, {}, {}});
                vecAudio.append({qstrId, {}, 2, {}, 1, -1, 44100});
            }
            m_registry.SetUsbDevs(vecUsb);
            m_registry.SetAudioDevs(vecAudio);
            m_registry.m_vecScreen = ScreenList(1, 1920 + i);
            watcher.RunCycle();
        }
        QStringList qstrlstUsb;
        for (const QList<QVariant>& lstArgs : qAsConst(spyUsb)) {
            QStringList qstrlstAdded;
            for (const STRUCT_Usb& structUsb : lstArgs.at(0).value<QVariant>().value<QVector<STRUCT_Usb>>()) {
                qstrlstAdded.append(structUsb.qstrDevID);
            }
            qstrlstUsb.append(qstrlstAdded.join(',') + "|" + lstArgs.at(1).toStringList().join(','));
        }
        QCOMPARE(qstrlstUsb, reported);
        QCOMPARE(spyAudio.count(), reported.size());
        // A monitor that changes size with the count unchanged is reported too.
        QCOMPARE(spyScreen.count(), present.size() - 1);
    }

    // The link under by-id that points to the camera's node, so that it keeps its channel across
    // ports and restarts; its device name when no link does.
    void cameraIdentity()
    {
        QTemporaryDir qtempDir;
        const QString qstrRoot = qtempDir.path() + "/";
        QVERIFY(QDir(qstrRoot).mkpath("dev") && QDir(qstrRoot).mkpath("by-id"));
        for (const char* pcNode : {"dev/video0", "dev/video1", "dev/video4"}) {
            QFile qfileNode(qstrRoot + pcNode);
            QVERIFY(qfileNode.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link("../dev/video1", qstrRoot + "by-id/usb-Acme-video-index1"));
        QVERIFY(QFile::link("../dev/video0", qstrRoot + "by-id/usb-Acme-video-index0"));
        QCOMPARE(CLS_DeviceProbe::CameraIdentity(qstrRoot + "dev/video0", qstrRoot + "by-id"),
                 qstrRoot + "by-id/usb-Acme-video-index0");
        QCOMPARE(CLS_DeviceProbe::CameraIdentity(qstrRoot + "dev/video4", qstrRoot + "by-id"),
                 qstrRoot + "dev/video4");
    }

    // A stop while the thread sleeps ends it at once.
    void stop()
    {
        CLS_ThreadCheckAddRemoveDev watcher(m_registry);
        QObject receiver; // delivered on this thread, as the channel page receives them
        int iGetAudio = 0;
        connect(&watcher, &CLS_ThreadCheckAddRemoveDev::SigGetAudioInfo, &receiver,
                [&iGetAudio] { ++iGetAudio; });
        watcher.start();
        QTRY_COMPARE(iGetAudio, 1); // the last signal of a cycle: it sleeps next
        watcher.Stop();
        QVERIFY(watcher.wait(100));
        QCoreApplication::processEvents();
        QCOMPARE(iGetAudio, 1);
    }

private:
    TestRegistry m_registry;
};

QTEST_GUILESS_MAIN(TestDevWatcher)
#include "test_devwatcher.moc"
