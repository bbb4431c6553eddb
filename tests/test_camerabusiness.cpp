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
int SetBlocks(int _iCount, int _iSecondChNo = 1)
{
    STRUCT_ChanInfo astBlock[CAMERA_BUSINESS_MAX_CHANNELS + 1];
    for (int i = 0; i <= CAMERA_BUSINESS_MAX_CHANNELS; ++i) {
        astBlock[i] = MakeBlock(i, "new");
    }
    astBlock[1].iChNo = _iSecondChNo;
    return camera_business_set_chan_info(astBlock, _iCount);
}

// A row starts the library with the given capacity (0: not started) and an old block on channel 2.
void Row(const char* _pcName, int _iCapacity, const char* _pcRefused, const Call& _call)
{
    QTest::newRow(_pcName) << _iCapacity << _call << QString(_pcRefused);
}

QByteArray Name(int _iChNo)
{
    return QByteArray(State().aChannels[_iChNo].block.szChName);
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
    void testBlocks_keptByNumberReplacedDisabledAndDeleted();
    void testBlockText_nulLessFieldCutAtItsEnd();
    void testJournalFile_oneJsonLineEachKeptAcrossReset();
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
    g_vecReceived.clear();
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
    Row("block count 17", 8, "count out of range", [] { return SetBlocks(17); });
    Row("block number 8 of capacity 8", 8, "channel out of range", [] { return SetBlocks(2, 8); });
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
    const STRUCT_ChanInfo stBlock = MakeBlock(0, "desk");
    QCOMPARE(camera_business_set_chan_info(&stBlock, 1), 1);
    QCOMPARE(camera_business_cleanup(), 1);
    QCOMPARE(int(State().aChannels[0].ucHasBlock), 0);
    QCOMPARE(camera_business_startup(0, 16), 1);
    const CB_State stState = State();
    QCOMPARE(QByteArray(stState.szUser) + stState.szPassword, QByteArray("adminsecret"));
    QCOMPARE(Summary(stState), (QVector<int>{1, 1, 77, 1, 1, 0, 16, 2, 1}));
    QCOMPARE(camera_business_inspect_send_message(5, -6, 7), 31);
    QCOMPARE(g_vecReceived, (QVector<qint64>{5, -6, 7, 77}));
}

// Blocks go to the channel their own number names. Adding replaces one block and ends its disabled
// state; a new table replaces every block and disabled state but keeps what belongs to the channel
// number; its empty slots carry no channel.
void TestCameraBusiness::testBlocks_keptByNumberReplacedDisabledAndDeleted()
{
    StartLibrary();
    STRUCT_ChanInfo astBlock[CAMERA_BUSINESS_MAX_CHANNELS];
    for (int i = 0; i < CAMERA_BUSINESS_MAX_CHANNELS; ++i) {
        astBlock[i] = MakeBlock(CAMERA_BUSINESS_MAX_CHANNELS - 1 - i, QByteArray::number(15 - i).constData());
    }
    QCOMPARE(camera_business_set_chan_info(astBlock, CAMERA_BUSINESS_MAX_CHANNELS), 1);
    QCOMPARE(camera_business_set_disable(4), 1);
    const STRUCT_ChanInfo stNew = MakeBlock(4, "cam C");
    QCOMPARE(camera_business_add_chan_info(&stNew), 1);
    QCOMPARE(int(State().aChannels[4].ucDisabled), 0);
    QCOMPARE((QList<QByteArray>{Name(0), Name(3), Name(4), Name(15)}),
             (QList<QByteArray>{"0", "3", "cam C", "15"}));

    QCOMPARE(camera_business_set_disable(4) + camera_business_set_frame_rate(4, 25) +
                 camera_delete_collector_fd(4),
             3);
    for (STRUCT_ChanInfo& stBlock : astBlock) {
        std::memset(&stBlock, 0, sizeof(stBlock));
        stBlock.iCollectDevType = -1;
    }
    astBlock[5] = MakeBlock(3, "camera");
    QCOMPARE(camera_business_set_chan_info(astBlock, CAMERA_BUSINESS_MAX_CHANNELS), 1);
    const CB_State stState = State();
    for (int iChNo = 0; iChNo < CAMERA_BUSINESS_MAX_CHANNELS; ++iChNo) {
        QCOMPARE(int(stState.aChannels[iChNo].ucHasBlock), iChNo == 3 ? 1 : 0);
    }
    const CB_ChannelState& stCh = stState.aChannels[4];
    QCOMPARE((QVector<int>{stCh.ucDisabled, stCh.iFrameRate, stCh.iCollectorDeletes}),
             (QVector<int>{0, 25, 1}));
}

void TestCameraBusiness::testBlockText_nulLessFieldCutAtItsEnd()
{
    StartLibrary();
    const QList<QPair<int, QString>> lstFields = {{int(offsetof(STRUCT_ChanInfo, szAudioName)), "audioName"},
                                                  {int(offsetof(STRUCT_ChanInfo, szDevID)), "devID"}};
    for (const auto& [iOffset, qstrKey] : lstFields) {
        // A block of its exact size on the heap, so a read past its end is caught by the sanitizer;
        // every byte after the field is printable, so a read past the field shows in the text.
        auto pBlock = std::make_unique<STRUCT_ChanInfo>();
        std::memset(pBlock.get(), 'y', sizeof(STRUCT_ChanInfo));
        pBlock->iChNo = 1;
        pBlock->iCollectDevType = 0;
        std::memset(reinterpret_cast<char*>(pBlock.get()) + iOffset, 'x', CAMERA_BUSINESS_TEXT_SIZE);
        QCOMPARE(camera_business_add_chan_info(pBlock.get()), 1);
        const QJsonObject qJsonBlock =
            JournalEntry(camera_business_inspect_journal_size() - 2).value("block").toObject();
        QCOMPARE(qJsonBlock.value(qstrKey).toString(), QString(CAMERA_BUSINESS_TEXT_SIZE, 'x'));
    }
}

// The file is appended to, one JSON line per entry, the same text as in memory, even for quotes,
// control bytes and broken UTF-8; a reset keeps it.
void TestCameraBusiness::testJournalFile_oneJsonLineEachKeptAcrossReset()
{
    StartLibrary();
    STRUCT_ChanInfo stBlock = MakeBlock(0, "a\"b\\c\nd\x01"
                                           "\xff"
                                           "e 桌面\xed\xa0\x80"
                                           "f\xc0\xaf"
                                           "g\xe6\xa1");
    std::strcpy(stBlock.szDevID, "\xf0\x9f\x8e\xa5 \xf4\x90\x80\x80");
    QCOMPARE(camera_business_set_chan_info(&stBlock, 1), 1);
    const QList<QByteArray> lstLine = FileLines();
    QCOMPARE(lstLine.last(), JournalText(camera_business_inspect_journal_size() - 1));
    const QChar qcBad(0xFFFD);
    const QJsonObject qJsonBlock = JournalEntry(4).value("block").toObject();
    QCOMPARE(qJsonBlock.value("chName").toString(), QString("a\"b\\c\nd\x01") + qcBad + "e 桌面" +
                                                        QString(3, qcBad) + "f" + QString(2, qcBad) + "g" +
                                                        QString(2, qcBad));
    QCOMPARE(qJsonBlock.value("devID").toString(),
             QString::fromUtf8("\xf0\x9f\x8e\xa5 ") + QString(4, qcBad));

    camera_business_inspect_reset();
    QCOMPARE(camera_business_enable_send_stream(0), 1);
    QCOMPARE(FileLines().size(), lstLine.size() + 1);
    QCOMPARE(FileLines().last(), JournalText(0));
}

QTEST_GUILESS_MAIN(TestCameraBusiness)
#include "test_camerabusiness.moc"
