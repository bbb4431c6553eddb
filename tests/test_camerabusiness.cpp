// The streaming library stand-in: its state, its refusals, the journal text of channel blocks and
// its file, and the callback.
#include "CameraBusinessTestSupport.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <memory>
#include <string>

namespace {

using Call = std::function<int()>;

// Room for more blocks than any count asks, so that a wrong count is refused, not read past.
STRUCT_ChanInfo g_astBlock[CAMERA_BUSINESS_MAX_CHANNELS + 1] = {MakeBlock(0, "a"), MakeBlock(8, "b")};

// A row starts the library with the given capacity (0: not started) and an old block on channel 2.
void Row(const char* _pcName, int _iCapacity, const char* _pcRefused, const Call& _call)
{
    QTest::newRow(_pcName) << _iCapacity << _call << QString(_pcRefused);
}

QString JournalPath()
{
    return QDir::current().filePath("camera_journal.jsonl");
}

QList<QByteArray> FileLines()
{
    QFile file(JournalPath());
    QList<QByteArray> lstLine =
        file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
    lstLine.removeAll(QByteArray());
    return lstLine;
}

} // namespace

Q_DECLARE_METATYPE(Call)

class TestCameraBusiness : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void testRefusedCall_data();
    void testRefusedCall();
    void testLifecycle_cleanupKeepsRegistration();
    void testBlocks_disabledEndedSettingsKept();
    void testJournal_blockTextSafeFileAppended();
};

// The library reads the variable at its first call.
void TestCameraBusiness::initTestCase()
{
    QFile::remove(JournalPath());
    qputenv("CAMERA_BUSINESS_JOURNAL", QFile::encodeName(JournalPath()));
}

void TestCameraBusiness::init()
{
    camera_business_inspect_reset();
}

void TestCameraBusiness::testRefusedCall_data()
{
    QTest::addColumn<int>("iCapacity");
    QTest::addColumn<Call>("call");
    QTest::addColumn<QString>("qstrRefused");

    Row("setter before startup", 0, "not started", [] { return camera_business_set_frame_rate(1, 1); });
    Row("capacity 17", 0, "capacity out of range", [] { return camera_business_startup(0, 17); });
    Row("null user", 0, "null pointer", [] { return camera_business_register_user(nullptr, "p"); });
    Row("user of 256 bytes", 0, "text too long",
        [] { return camera_business_register_user(std::string(256, 'u').c_str(), "p"); });
    Row("frame rate 61", 16, "frame rate out of range", [] { return camera_business_set_frame_rate(3, 61); });
    Row("video width 8193", 16, "size out of range",
        [] { return camera_business_set_video_size(7, 8193, 720); });
    Row("channel -1", 16, "channel out of range", [] { return camera_business_set_video_quality(-1, 2); });
    Row("channel 4 of capacity 4", 4, "channel out of range", [] { return camera_delete_collector_fd(4); });
    Row("audio name of 256 bytes", 16, "text too long", [] {
        return camera_business_set_audio_collect_info(6, std::string(256, 'n').c_str(), 1, 2, 16, 8000, true);
    });
    Row("add null block", 16, "null pointer", [] { return camera_business_add_chan_info(nullptr); });
    Row("block count 17", 8, "count out of range",
        [] { return camera_business_set_chan_info(g_astBlock, 17); });
    Row("block number 8 of capacity 8", 8, "channel out of range",
        [] { return camera_business_set_chan_info(g_astBlock, 2); });
}

// A refused call answers 0, journals its reason and changes nothing.
void TestCameraBusiness::testRefusedCall()
{
    QFETCH(int, iCapacity);
    QFETCH(Call, call);
    QFETCH(QString, qstrRefused);
    if (iCapacity > 0) {
        StartLibrary(iCapacity);
        const STRUCT_ChanInfo stOld = MakeBlock(2, "old");
        QCOMPARE(camera_business_set_chan_info(&stOld, 1), 1);
    }
    const CB_State stBefore = State();
    QCOMPARE(call(), 0);
    QCOMPARE(LastEntry().value("result").toInt(), 0);
    QCOMPARE(LastEntry().value("refused").toString(), qstrRefused);
    const CB_State stAfter = State();
    QCOMPARE(std::memcmp(&stBefore, &stAfter, sizeof(CB_State)), 0);
}

// Clean-up keeps registration, callback and send switch, so that the library starts again at once.
void TestCameraBusiness::testLifecycle_cleanupKeepsRegistration()
{
    StartLibrary();
    QVERIFY(!JournalText(0).contains("secret"));
    QCOMPARE(camera_business_cleanup(), 1);
    QCOMPARE(camera_business_startup(0, 16), 1);
    const CB_State stState = State();
    QCOMPARE(QByteArray(stState.szUser) + stState.szPassword, QByteArray("adminsecret"));
    QCOMPARE((QVector<int>{stState.ucHasCallback, stState.iCallbackUser, stState.iSendStreamEnabled,
                           stState.iStartupCount, stState.iCleanupCount}),
             (QVector<int>{1, 77, 1, 2, 1}));
}

// Adding a block ends its channel's disabled state; a new table replaces every block and disabled
// state but keeps what belongs to the channel number; its empty slots carry no channel.
void TestCameraBusiness::testBlocks_disabledEndedSettingsKept()
{
    StartLibrary();
    const STRUCT_ChanInfo stBlock = MakeBlock(4, "cam C");
    QCOMPARE(camera_business_set_disable(4) + camera_business_add_chan_info(&stBlock), 2);
    QCOMPARE(int(State().aChannels[4].ucDisabled), 0);
    QCOMPARE(camera_business_set_disable(4) + camera_business_set_frame_rate(4, 25), 2);
    STRUCT_ChanInfo astBlock[CAMERA_BUSINESS_MAX_CHANNELS] = {};
    for (STRUCT_ChanInfo& stEmpty : astBlock) {
        stEmpty.iCollectDevType = -1;
    }
    astBlock[5] = MakeBlock(3, "camera");
    QCOMPARE(camera_business_set_chan_info(astBlock, CAMERA_BUSINESS_MAX_CHANNELS), 1);
    const CB_State stState = State();
    for (int iChNo = 0; iChNo < CAMERA_BUSINESS_MAX_CHANNELS; ++iChNo) {
        QCOMPARE(int(stState.aChannels[iChNo].ucHasBlock), iChNo == 3 ? 1 : 0);
    }
    QCOMPARE((QVector<int>{stState.aChannels[4].ucDisabled, stState.aChannels[4].iFrameRate}),
             (QVector<int>{0, 25}));
}

// Each block goes to the file as one JSON line, the same text as in memory, even for quotes,
// control bytes and broken UTF-8, with a text that fills its field cut at the field's end; the file
// is appended to, also across a reset.
void TestCameraBusiness::testJournal_blockTextSafeFileAppended()
{
    StartLibrary();
    // A block of its exact size on the heap, so a read past its end is caught by the sanitizer; the
    // bytes after the device field are printable, so a read past the field shows in the text.
    auto pBlock = std::make_unique<STRUCT_ChanInfo>(MakeBlock(1, "a\"b\\c\nd\x01"
                                                                 "\xff"
                                                                 "e 桌面\xed\xa0\x80"
                                                                 "f\xc0\xaf"
                                                                 "g\xe6\xa1"));
    std::memset(pBlock->szDevID, 'x', CAMERA_BUSINESS_TEXT_SIZE);
    std::memset(pBlock->aucPad2, 'y', sizeof(pBlock->aucPad2));
    QCOMPARE(camera_business_add_chan_info(pBlock.get()), 1);
    const int iSize = camera_business_inspect_journal_size();
    const QList<QByteArray> lstLine = FileLines();
    QCOMPARE(lstLine.last(), JournalText(iSize - 1));
    const QChar qcBad(0xFFFD);
    const QJsonObject qJsonBlock = JournalEntry(iSize - 2).value("block").toObject();
    QCOMPARE(qJsonBlock.value("chName").toString(), QString("a\"b\\c\nd\x01") + qcBad + "e 桌面" +
                                                        QString(3, qcBad) + "f" + QString(2, qcBad) + "g" +
                                                        QString(2, qcBad));
    QCOMPARE(qJsonBlock.value("devID").toString(), QString(CAMERA_BUSINESS_TEXT_SIZE, 'x'));

    camera_business_inspect_reset();
    QCOMPARE(camera_business_enable_send_stream(0), 1);
    QCOMPARE(FileLines().size(), lstLine.size() + 1);
    QCOMPARE(FileLines().last(), JournalText(0));
}

QTEST_GUILESS_MAIN(TestCameraBusiness)
#include "test_camerabusiness.moc"
