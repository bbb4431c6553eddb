// The streaming library stand-in: its state, its refusals, the journal text of channel blocks and
// its file, the callback and concurrent use.
#include "CameraBusinessTestSupport.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>

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

int AddBlock(int _iChNo, int _iCollectDevType = 0)
{
    STRUCT_ChanInfo stBlock = MakeBlock(_iChNo, "new");
    stBlock.iCollectDevType = _iCollectDevType;
    return camera_business_add_chan_info(&stBlock);
}

int Audio(int _iChannels, int _iBits, int _iRate, const char* _pcName = "mic", bool _blOn = true)
{
    return camera_business_set_audio_collect_info(6, _pcName, 1, _iChannels, _iBits, _iRate, _blOn);
}

int Register(int _iUserSize, int _iPasswordSize)
{
    const std::string strUser(std::max(_iUserSize, 0), 'u');
    const std::string strPassword(std::max(_iPasswordSize, 0), 'p');
    return camera_business_register_user(_iUserSize < 0 ? nullptr : strUser.c_str(),
                                         _iPasswordSize < 0 ? nullptr : strPassword.c_str());
}

// A row starts the library with the given capacity (0: not started) and an old block on channel 2.
void Row(const char* _pcName, int _iCapacity, const char* _pcRefused, const Call& _call)
{
    QTest::newRow(_pcName) << _iCapacity << _call << QString(_pcRefused);
}

// Four rows around an accepted range: each end, and one past it on each side.
void Edges(const char* _pcWhat, int _iCapacity, int _iMin, int _iMax, const char* _pcRefused,
           const std::function<int(int)>& _call)
{
    for (const int iValue : {_iMin - 1, _iMin, _iMax, _iMax + 1}) {
        const bool blInside = iValue >= _iMin && iValue <= _iMax;
        Row(qPrintable(QString("%1 %2").arg(_pcWhat).arg(iValue)), _iCapacity, blInside ? "" : _pcRefused,
            [_call, iValue] { return _call(iValue); });
    }
}

QByteArray Name(int _iChNo)
{
    return QByteArray(State().aChannels[_iChNo].block.szChName);
}

const int g_iMinInt = std::numeric_limits<int>::min();

const char g_acEarlierLine[] = "{\"earlier\":true}";

QString JournalPath()
{
    return QDir::current().filePath("camera_journal.jsonl");
}

// Every line ends with a line break, so the last piece is empty.
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
    void init();

    void testCall_data();
    void testCall();
    void testAcceptedValues_kept();
    void testLifecycle_startCleanupStartReset();
    void testBlocks_keptByNumberReplacedDisabledAndDeleted();
    void testBlockText_nulLessFieldCutAtItsEnd();
    void testConcurrentCalls_allJournaled();
    void testJournalFile_oneJsonLineEachKeptAcrossReset();
};

void TestCameraBusiness::init()
{
    camera_business_inspect_reset();
    g_vecReceived.clear();
}

void TestCameraBusiness::testCall_data()
{
    QTest::addColumn<int>("iCapacity");
    QTest::addColumn<Call>("call");
    QTest::addColumn<QString>("qstrRefused");

    Row("quality before startup", 0, "not started", [] { return camera_business_set_video_quality(1, 1); });
    Row("frame rate before startup", 0, "not started", [] { return camera_business_set_frame_rate(1, 1); });
    Row("bit rate before startup", 0, "not started", [] { return camera_business_set_bit_rate(1, 1); });
    Row("video size before startup", 0, "not started",
        [] { return camera_business_set_video_size(1, 1, 1); });
    Row("camera size before startup", 0, "not started",
        [] { return camera_business_set_camera_size(1, 1, 1); });
    Row("collect type before startup", 0, "not started",
        [] { return camera_business_set_collect_type(1, 1); });
    Row("audio before startup", 0, "not started", [] { return Audio(2, 16, 44100); });
    Row("disable before startup", 0, "not started", [] { return camera_business_set_disable(1); });
    Row("delete collector before startup", 0, "not started", [] { return camera_delete_collector_fd(1); });
    Row("add block before startup", 0, "not started", [] { return AddBlock(1); });
    Row("set blocks before startup", 0, "not started", [] { return SetBlocks(1); });
    Row("cleanup before startup", 0, "not started", [] { return camera_business_cleanup(); });

    // Port 0 serves on a free port (the tests' default); accepted ports are really bound.
    Row("port -1", 0, "port out of range", [] { return camera_business_startup(-1, 16); });
    Row("port 65536", 0, "port out of range", [] { return camera_business_startup(65536, 16); });
    Edges("capacity", 0, 1, 16, "capacity out of range",
          [](int _i) { return camera_business_startup(0, _i); });
    Row("startup twice", 16, "already started", [] { return camera_business_startup(7000, 8); });

    Row("null user", 0, "null pointer", [] { return Register(-1, 2); });
    Row("null password", 0, "null pointer", [] { return Register(5, -1); });
    Row("user of 256 bytes", 0, "text too long", [] { return Register(256, 2); });
    Row("password of 256 bytes", 0, "text too long", [] { return Register(5, 256); });
    Row("255 bytes each", 0, "", [] { return Register(255, 255); });
    Row("empty, as without host info", 0, "", [] { return Register(0, 0); });

    Row("send switch -1", 16, "enable not 0 or 1", [] { return camera_business_enable_send_stream(-1); });
    Row("send switch 0", 16, "", [] { return camera_business_enable_send_stream(0); });
    Row("send switch 2", 16, "enable not 0 or 1", [] { return camera_business_enable_send_stream(2); });

    const char* pcSize = "size out of range";
    Edges("quality", 16, 0, 4, "quality out of range",
          [](int _i) { return camera_business_set_video_quality(0, _i); });
    Edges("frame rate", 16, 1, 60, "frame rate out of range",
          [](int _i) { return camera_business_set_frame_rate(3, _i); });
    Edges("bit rate", 16, 1, 16777215, "bit rate out of range",
          [](int _i) { return camera_business_set_bit_rate(5, _i); });
    Edges("video width", 16, 1, 8192, pcSize,
          [](int _i) { return camera_business_set_video_size(7, _i, 720); });
    Edges("video height", 16, 1, 8192, pcSize,
          [](int _i) { return camera_business_set_video_size(7, 1280, _i); });
    Edges("camera width", 16, 1, 8192, pcSize,
          [](int _i) { return camera_business_set_camera_size(9, _i, 720); });
    Edges("camera height", 16, 1, 8192, pcSize,
          [](int _i) { return camera_business_set_camera_size(9, 1280, _i); });
    Edges("collect type", 16, 0, 2, "collect type out of range",
          [](int _i) { return camera_business_set_collect_type(11, _i); });
    Edges("channel", 16, 0, 15, "channel out of range",
          [](int _i) { return camera_business_set_video_quality(_i, 2); });
    Edges("channel of capacity 4", 4, 0, 3, "channel out of range",
          [](int _i) { return camera_delete_collector_fd(_i); });
    Row("channel min int", 16, "channel out of range",
        [] { return camera_business_set_bit_rate(g_iMinInt, 2); });

    Edges("audio channels", 16, 1, 2, "audio channels out of range",
          [](int _i) { return Audio(_i, 16, 44100); });
    Edges("sample rate", 16, 8000, 192000, "sample rate out of range",
          [](int _i) { return Audio(2, 16, _i); });
    Row("audio bits 8", 16, "", [] { return Audio(2, 8, 44100); });
    Row("audio bits 12", 16, "audio bits not 8, 16, 24 or 32", [] { return Audio(2, 12, 44100); });
    Row("audio bits 24", 16, "", [] { return Audio(2, 24, 44100); });
    Row("audio bits 32", 16, "", [] { return Audio(2, 32, 44100); });
    Row("audio bits 33", 16, "audio bits not 8, 16, 24 or 32", [] { return Audio(2, 33, 44100); });
    Row("sound off without input", 16, "", [] { return Audio(2, 16, 0, "", false); });
    Row("null audio name", 16, "null pointer", [] { return Audio(2, 16, 44100, nullptr); });
    Row("audio name of 256 bytes", 16, "text too long",
        [] { return Audio(2, 16, 44100, std::string(256, 'n').c_str()); });
    Row("audio name of 255 bytes", 16, "", [] { return Audio(2, 16, 44100, std::string(255, 'n').c_str()); });

    Row("add null block", 16, "null pointer", [] { return camera_business_add_chan_info(nullptr); });
    Edges("added block number", 16, 0, 15, "channel out of range", [](int _i) { return AddBlock(_i); });
    Row("add empty slot", 16, "empty slot", [] { return AddBlock(3, -1); });
    Row("set null blocks", 8, "null pointer", [] { return camera_business_set_chan_info(nullptr, 1); });
    Row("block count 0", 8, "count out of range", [] { return SetBlocks(0); });
    Row("block count 17", 8, "count out of range", [] { return SetBlocks(17); });
    Row("block count -1", 8, "count out of range", [] { return SetBlocks(-1); });
    Edges("block number of capacity 8", 8, 0, 7, "channel out of range",
          [](int _i) { return SetBlocks(2, _i); });
    Row("block number 16", 16, "channel out of range", [] { return SetBlocks(2, 16); });
    Row("two blocks", 8, "", [] { return SetBlocks(2); });
    Edges("disabled channel", 16, 0, 15, "channel out of range",
          [](int _i) { return camera_business_set_disable(_i); });
    Row("cleanup", 16, "", [] { return camera_business_cleanup(); });
}

// A refused call answers 0, journals its reason and changes nothing; an accepted one answers 1.
void TestCameraBusiness::testCall()
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
    const int iExpected = qstrRefused.isEmpty() ? 1 : 0;
    QCOMPARE(call(), iExpected);
    QCOMPARE(LastEntry().value("result").toInt(), iExpected);
    QCOMPARE(LastEntry().contains("refused"), iExpected == 0);
    QCOMPARE(LastEntry().value("refused").toString(), qstrRefused);
    const CB_State stAfter = State();
    QCOMPARE(std::memcmp(&stBefore, &stAfter, sizeof(CB_State)) == 0, iExpected == 0);
}

void TestCameraBusiness::testAcceptedValues_kept()
{
    StartLibrary();
    QCOMPARE(camera_business_set_video_quality(1, 3), 1);
    QCOMPARE(camera_business_set_frame_rate(1, 25), 1);
    QCOMPARE(camera_business_set_bit_rate(1, 2048), 1);
    QCOMPARE(camera_business_set_video_size(1, 1280, 720), 1);
    QCOMPARE(camera_business_set_camera_size(1, 1920, 1080), 1);
    QCOMPARE(camera_business_set_collect_type(1, 2), 1);
    QCOMPARE(camera_business_set_audio_collect_info(1, "USB 麦克风", 1, 2, 16, 44100, true), 1);
    QCOMPARE(LastEntry().value("args").toObject().value("audioName").toString(), QString("USB 麦克风"));
    const CB_ChannelState stCh = State().aChannels[1];
    QCOMPARE((QVector<int>{stCh.iQuality, stCh.iFrameRate, stCh.iBitRate, stCh.iVideoWidth, stCh.iVideoHeight,
                           stCh.iCameraWidth, stCh.iCameraHeight, stCh.iCollectType}),
             (QVector<int>{3, 25, 2048, 1280, 720, 1920, 1080, 2}));
    QCOMPARE(QString::fromUtf8(stCh.audio.szName), QString("USB 麦克风"));
    QCOMPARE((QVector<int>{stCh.audio.iEnctype, stCh.audio.iChannels, stCh.audio.iBits,
                           stCh.audio.iSampleRate, stCh.audio.ucEnableAudio}),
             (QVector<int>{1, 2, 16, 44100, 1}));
}

// Clean-up keeps registration, callback and send switch, so that the library starts again at once;
// a reset forgets everything, as after loading the library.
void TestCameraBusiness::testLifecycle_startCleanupStartReset()
{
    const CB_State stFresh = State();
    StartLibrary();
    CB_State stState = State();
    QCOMPARE(QByteArray(stState.szUser) + stState.szPassword, QByteArray("adminsecret"));
    QCOMPARE(Summary(stState), (QVector<int>{1, 1, 77, 1, 1, 0, 16, 1, 0}));
    QVERIFY(stState.iServedPort > 0);
    QCOMPARE(JournalEntry(0).value("args").toObject().value("user").toString(), QString("admin"));
    QVERIFY(!JournalText(0).contains("secret"));

    const STRUCT_ChanInfo stBlock = MakeBlock(0, "desk");
    QCOMPARE(camera_business_set_chan_info(&stBlock, 1), 1);
    QCOMPARE(camera_business_set_frame_rate(0, 25), 1);
    QCOMPARE(camera_business_cleanup(), 1);
    stState = State();
    QCOMPARE(Summary(stState), (QVector<int>{1, 1, 77, 1, 0, 0, 0, 1, 1}));
    QCOMPARE((QVector<int>{stState.aChannels[0].ucHasBlock, stState.aChannels[0].iFrameRate}),
             (QVector<int>{0, -1}));
    QCOMPARE(camera_business_set_frame_rate(0, 25), 0);

    QCOMPARE(camera_business_startup(0, 16), 1);
    QCOMPARE(Summary(State()), (QVector<int>{1, 1, 77, 1, 1, 0, 16, 2, 1}));
    QCOMPARE(camera_business_inspect_send_message(5, -6, 7), 31);
    QCOMPARE(g_vecReceived, (QVector<qint64>{5, -6, 7, 77}));

    camera_business_inspect_reset();
    stState = State();
    QCOMPARE(std::memcmp(&stState, &stFresh, sizeof(CB_State)), 0);
    QCOMPARE(camera_business_inspect_journal_size(), 0);
    QCOMPARE(camera_business_set_mess_callback(nullptr, 5), -1);
    QCOMPARE(int(State().ucHasCallback), 0);
    QCOMPARE(camera_business_inspect_send_message(1, 2, 3), -2);
}

// Blocks go to the channel their own number names, journaled one line each under the call's
// number. Adding replaces one block and ends its disabled state; a new table replaces every block
// and disabled state but keeps what belongs to the channel number; its empty slots carry no channel.
void TestCameraBusiness::testBlocks_keptByNumberReplacedDisabledAndDeleted()
{
    StartLibrary();
    STRUCT_ChanInfo astBlock[CAMERA_BUSINESS_MAX_CHANNELS];
    for (int i = 0; i < CAMERA_BUSINESS_MAX_CHANNELS; ++i) {
        astBlock[i] = MakeBlock(CAMERA_BUSINESS_MAX_CHANNELS - 1 - i, QByteArray::number(15 - i).constData());
    }
    QCOMPARE(camera_business_set_chan_info(astBlock, CAMERA_BUSINESS_MAX_CHANNELS), 1);
    QCOMPARE(camera_business_inspect_journal_size(), 4 + CAMERA_BUSINESS_MAX_CHANNELS + 1);
    for (int i = 0; i < CAMERA_BUSINESS_MAX_CHANNELS; ++i) {
        QCOMPARE(Name(i), QByteArray::number(i));
        const QJsonObject qJsonEntry = JournalEntry(4 + i);
        QCOMPARE((QVector<int>{qJsonEntry.value("seq").toInt(), qJsonEntry.value("index").toInt(),
                               qJsonEntry.value("block").toObject().value("chNo").toInt(),
                               qJsonEntry.value("block").toObject().size()}),
                 (QVector<int>{5, i, 15 - i, 31}));
    }
    QCOMPARE(LastEntry().value("seq").toInt(), 5);

    QCOMPARE(camera_business_set_disable(4), 1);
    QCOMPARE(int(State().aChannels[4].ucDisabled), 1);
    STRUCT_ChanInfo stNew = MakeBlock(4, "cam C");
    stNew.iVideoFrameRate = 25;
    QCOMPARE(camera_business_add_chan_info(&stNew), 1);
    QCOMPARE(int(State().aChannels[4].ucDisabled), 0);
    QCOMPARE(State().aChannels[4].block.iVideoFrameRate, 25);
    QCOMPARE((QList<QByteArray>{Name(3), Name(4), Name(5)}), (QList<QByteArray>{"3", "cam C", "5"}));
    QCOMPARE(LastEntry().value("args").toObject().value("chNo").toInt(), 4);

    QCOMPARE(camera_business_set_disable(4), 1);
    QCOMPARE(camera_business_set_frame_rate(4, 25), 1);
    QCOMPARE(camera_delete_collector_fd(4), 1);
    QCOMPARE(camera_delete_collector_fd(4), 1);
    for (STRUCT_ChanInfo& stBlock : astBlock) {
        std::memset(&stBlock, 0, sizeof(stBlock));
        stBlock.iCollectDevType = -1;
    }
    astBlock[0] = MakeBlock(1, "c");
    astBlock[5] = MakeBlock(3, "camera");
    QCOMPARE(camera_business_set_chan_info(astBlock, CAMERA_BUSINESS_MAX_CHANNELS), 1);
    const CB_State stState = State();
    for (int iChNo = 0; iChNo < CAMERA_BUSINESS_MAX_CHANNELS; ++iChNo) {
        QCOMPARE(int(stState.aChannels[iChNo].ucHasBlock), iChNo == 1 || iChNo == 3 ? 1 : 0);
    }
    const CB_ChannelState& stCh = stState.aChannels[4];
    QCOMPARE((QVector<int>{stCh.ucDisabled, stCh.iFrameRate, stCh.iCollectorDeletes}),
             (QVector<int>{0, 25, 2}));
    QCOMPARE((QList<QByteArray>{Name(1), Name(3)}), (QList<QByteArray>{"c", "camera"}));
}

void TestCameraBusiness::testBlockText_nulLessFieldCutAtItsEnd()
{
    StartLibrary();
    const QList<QPair<int, QString>> lstFields = {
        {int(offsetof(STRUCT_ChanInfo, szAudioName)), "audioName"},
        {int(offsetof(STRUCT_ChanInfo, szCollectDevName)), "collectDevName"},
        {int(offsetof(STRUCT_ChanInfo, szChName)), "chName"},
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
        const CB_State stState = State();
        QCOMPARE(std::memcmp(&stState.aChannels[1].block, pBlock.get(), sizeof(STRUCT_ChanInfo)), 0);
    }
}

void TestCameraBusiness::testConcurrentCalls_allJournaled()
{
    StartLibrary();
    const int iCalls = 2000;
    auto work = [iCalls](int _iChNo) {
        for (int i = 0; i < iCalls; ++i) {
            camera_business_set_frame_rate(_iChNo, 1 + i % 60);
        }
    };
    std::thread threadA(work, 1);
    std::thread threadB(work, 2);
    threadA.join();
    threadB.join();

    const int iSize = camera_business_inspect_journal_size();
    QCOMPARE(iSize, 4 + 2 * iCalls);
    QSet<int> setSeq;
    for (int i = 0; i < iSize; ++i) {
        setSeq.insert(JournalEntry(i).value("seq").toInt());
    }
    QCOMPARE(setSeq.size(), iSize);
    QCOMPARE(State().aChannels[1].iFrameRate, 1 + (iCalls - 1) % 60);
}

// The file is appended to, one JSON line per entry, the same text as in memory, even for quotes,
// control bytes and broken UTF-8; it is flushed per line, and a reset keeps it.
void TestCameraBusiness::testJournalFile_oneJsonLineEachKeptAcrossReset()
{
    StartLibrary();
    STRUCT_ChanInfo astBlock[2] = {MakeBlock(0, "a\"b\\c\nd\x01\x7f"
                                                "\xff"
                                                "e 桌面\xed\xa0\x80"
                                                "f\xc0\xaf"
                                                "g\xe6\xa1"),
                                   MakeBlock(4, "camera")};
    std::strcpy(astBlock[0].szDevID, "\xf0\x9f\x8e\xa5 \xf4\x90\x80\x80");
    QCOMPARE(camera_business_set_chan_info(astBlock, 2), 1);
    QCOMPARE(camera_business_set_frame_rate(4, 99), 0);
    QCOMPARE(camera_business_cleanup(), 1);
    QCOMPARE(LastEntry().value("call").toString(), QString("camera_business_cleanup"));
    const QList<QByteArray> lstLine = FileLines();
    const int iSize = camera_business_inspect_journal_size();
    QCOMPARE(iSize, 4 + 2 + 1 + 2);
    QCOMPARE(lstLine.first(), QByteArray(g_acEarlierLine));
    for (int i = 0; i < iSize; ++i) {
        QCOMPARE(lstLine.at(lstLine.size() - iSize + i), JournalText(i));
        QVERIFY(QJsonDocument::fromJson(JournalText(i)).isObject());
    }
    const QChar qcBad(0xFFFD);
    const QJsonObject qJsonBlock = JournalEntry(4).value("block").toObject();
    QCOMPARE(qJsonBlock.value("chName").toString(), QString("a\"b\\c\nd\x01\x7f") + qcBad + "e 桌面" +
                                                        QString(3, qcBad) + "f" + QString(2, qcBad) + "g" +
                                                        QString(2, qcBad));
    QCOMPARE(qJsonBlock.value("devID").toString(),
             QString::fromUtf8("\xf0\x9f\x8e\xa5 ") + QString(4, qcBad));

    camera_business_inspect_reset();
    QCOMPARE(camera_business_enable_send_stream(0), 1);
    const QList<QByteArray> lstAfter = FileLines();
    QCOMPARE(lstAfter.size(), lstLine.size() + 1);
    QCOMPARE(lstAfter.last(), JournalText(0));
    QCOMPARE(JournalEntry(0).value("seq").toInt(), 1);
}

// The library reads the variable at its first call, so it is set before any test runs; the file
// starts with a line of its own to show that the library appends.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QFile file(JournalPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QByteArray(g_acEarlierLine) + '\n') < 0) {
        return 1;
    }
    file.close();
    qputenv("CAMERA_BUSINESS_JOURNAL", QFile::encodeName(JournalPath()));
    TestCameraBusiness testObject;
    return QTest::qExec(&testObject, argc, argv);
}
#include "test_camerabusiness.moc"
