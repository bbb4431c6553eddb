// The streaming library stand-in when CAMERA_BUSINESS_JOURNAL names a file that cannot be opened:
// every call still works and is journaled in memory.
#include "CameraBusinessTestSupport.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString UnwritablePath()
{
    return QDir::current().filePath("no_such_folder/camera_journal.jsonl");
}

} // namespace

class TestCameraBusinessNoJournal : public QObject
{
    Q_OBJECT

private slots:
    void testUnopenableFile_callsStillWork();
};

void TestCameraBusinessNoJournal::testUnopenableFile_callsStillWork()
{
    StartLibrary();
    const STRUCT_ChanInfo stBlock = MakeBlock(0, "desk");
    QCOMPARE(camera_business_add_chan_info(&stBlock), 1);
    QCOMPARE(camera_business_inspect_journal_size(), 6);
    QCOMPARE(LastEntry().value("call").toString(), QString("camera_business_add_chan_info"));
    QCOMPARE(int(State().aChannels[0].ucHasBlock), 1);
    QVERIFY(!QFileInfo::exists(UnwritablePath()));
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    qputenv("CAMERA_BUSINESS_JOURNAL", QFile::encodeName(UnwritablePath()));
    TestCameraBusinessNoJournal testObject;
    return QTest::qExec(&testObject, argc, argv);
}

#include "test_camerabusiness_nojournal.moc"
