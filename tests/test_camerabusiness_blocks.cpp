// The streaming library stand-in: channel blocks, their journal text, messages and concurrent use.
#include "CameraBusinessTestSupport.h"

#include <QSet>

#include <memory>
#include <thread>

class TestCameraBusinessBlocks : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void testSetChanInfo_sixteenBlocksKeptByTheirNumber();
    void testSetChanInfo_emptySlotsCarryNoChannel();
    void testSetChanInfo_refusedTableLeavesOldOne_data();
    void testSetChanInfo_refusedTableLeavesOldOne();
    void testSetChanInfo_replacesWholeTable();
    void testAddChanInfo_replacesOneBlock();
    void testDisableThenAdd_clearsDisabled();
    void testDeleteCollector_counted();
    void testBlockText_nulLessFieldCutAtItsEnd_data();
    void testBlockText_nulLessFieldCutAtItsEnd();
    void testBlockText_escapedAsValidJson();
    void testMessage_deliveredWithRegisteredUserValue();
    void testJournalEntry_cutToBuffer();
    void testConcurrentCalls_allJournaled();
};

void TestCameraBusinessBlocks::init()
{
    camera_business_inspect_reset();
    g_stReceived = STRUCT_Received();
}

void TestCameraBusinessBlocks::testSetChanInfo_sixteenBlocksKeptByTheirNumber()
{
    StartLibrary();
    STRUCT_ChanInfo astBlock[CAMERA_BUSINESS_MAX_CHANNELS];
    for (int i = 0; i < CAMERA_BUSINESS_MAX_CHANNELS; ++i) {
        const int iChNo = CAMERA_BUSINESS_MAX_CHANNELS - 1 - i;
        astBlock[i] = MakeBlock(iChNo, QByteArray("channel " + QByteArray::number(iChNo)).constData());
        astBlock[i].iVideoBitRate = 1000 + iChNo;
    }
    QCOMPARE(camera_business_set_chan_info(astBlock, CAMERA_BUSINESS_MAX_CHANNELS), 1);

    const CB_State stState = State();
    for (int iChNo = 0; iChNo < CAMERA_BUSINESS_MAX_CHANNELS; ++iChNo) {
        const CB_ChannelState& stChannel = stState.aChannels[iChNo];
        QCOMPARE(int(stChannel.ucHasBlock), 1);
        QCOMPARE(stChannel.block.iChNo, iChNo);
        QCOMPARE(stChannel.block.iVideoBitRate, 1000 + iChNo);
        QCOMPARE(QByteArray(stChannel.block.szChName), QByteArray("channel " + QByteArray::number(iChNo)));
    }
    // Sixteen block lines, in array order, then the call line, all under one number.
    QCOMPARE(camera_business_inspect_journal_size(), 4 + CAMERA_BUSINESS_MAX_CHANNELS + 1);
    for (int i = 0; i < CAMERA_BUSINESS_MAX_CHANNELS; ++i) {
        const QJsonObject qJsonEntry = JournalEntry(4 + i);
        QCOMPARE(qJsonEntry.value("call").toString(), QString("camera_business_set_chan_info"));
        QCOMPARE(qJsonEntry.value("seq").toInt(), 5);
        QCOMPARE(qJsonEntry.value("index").toInt(), i);
        const QJsonObject qJsonBlock = qJsonEntry.value("block").toObject();
        QCOMPARE(qJsonBlock.value("chNo").toInt(), CAMERA_BUSINESS_MAX_CHANNELS - 1 - i);
        QCOMPARE(qJsonBlock.value("videoWidth").toInt(), 1920);
        QCOMPARE(qJsonBlock.value("chName").toString(),
                 QString("channel %1").arg(CAMERA_BUSINESS_MAX_CHANNELS - 1 - i));
        QCOMPARE(qJsonBlock.size(), 31);
    }
    QCOMPARE(LastEntry().value("seq").toInt(), 5);
    QCOMPARE(LastEntry().value("args").toObject().value("count").toInt(), 16);
}

void TestCameraBusinessBlocks::testSetChanInfo_emptySlotsCarryNoChannel()
{
    StartLibrary();
    STRUCT_ChanInfo astBlock[CAMERA_BUSINESS_MAX_CHANNELS];
    std::memset(astBlock, 0, sizeof(astBlock));
    for (STRUCT_ChanInfo& stBlock : astBlock) {
        stBlock.iCollectDevType = -1;
    }
    astBlock[0] = MakeBlock(0, "desk 1");
    astBlock[5] = MakeBlock(4, "camera");
    QCOMPARE(camera_business_set_chan_info(astBlock, CAMERA_BUSINESS_MAX_CHANNELS), 1);

    const CB_State stState = State();
    QCOMPARE(QByteArray(stState.aChannels[0].block.szChName), QByteArray("desk 1"));
    QCOMPARE(QByteArray(stState.aChannels[4].block.szChName), QByteArray("camera"));
    for (int iChNo = 0; iChNo < CAMERA_BUSINESS_MAX_CHANNELS; ++iChNo) {
        QCOMPARE(int(stState.aChannels[iChNo].ucHasBlock), iChNo == 0 || iChNo == 4 ? 1 : 0);
    }
    const STRUCT_ChanInfo stEmpty = astBlock[1];
    QCOMPARE(camera_business_add_chan_info(&stEmpty), 0);
    QCOMPARE(QByteArray(State().aChannels[0].block.szChName), QByteArray("desk 1"));
}

void TestCameraBusinessBlocks::testSetChanInfo_refusedTableLeavesOldOne_data()
{
    QTest::addColumn<int>("iCount");
    QTest::addColumn<int>("iBadChNo");
    QTest::addColumn<bool>("blNull");
    QTest::newRow("null array") << 1 << 1 << true;
    QTest::newRow("count 0") << 0 << 1 << false;
    QTest::newRow("count 17") << 17 << 1 << false;
    QTest::newRow("count -1") << -1 << 1 << false;
    QTest::newRow("block number 16") << 2 << 16 << false;
    QTest::newRow("block number -1") << 2 << -1 << false;
    QTest::newRow("block number past capacity 8") << 2 << 8 << false;
}

void TestCameraBusinessBlocks::testSetChanInfo_refusedTableLeavesOldOne()
{
    QFETCH(int, iCount);
    QFETCH(int, iBadChNo);
    QFETCH(bool, blNull);
    StartLibrary(8);
    const STRUCT_ChanInfo stOld = MakeBlock(2, "old");
    QCOMPARE(camera_business_set_chan_info(&stOld, 1), 1);

    // Room for more blocks than the count asks, so that a wrong count is refused, not read past.
    STRUCT_ChanInfo astBlock[CAMERA_BUSINESS_MAX_CHANNELS + 1];
    for (int i = 0; i <= CAMERA_BUSINESS_MAX_CHANNELS; ++i) {
        astBlock[i] = MakeBlock(i % 8, "new");
    }
    astBlock[1].iChNo = iBadChNo;
    QCOMPARE(camera_business_set_chan_info(blNull ? nullptr : astBlock, iCount), 0);

    const CB_State stState = State();
    QCOMPARE(QByteArray(stState.aChannels[2].block.szChName), QByteArray("old"));
    QCOMPARE(int(stState.aChannels[0].ucHasBlock), 0);
    QVERIFY(LastEntry().contains("refused"));
}

void TestCameraBusinessBlocks::testSetChanInfo_replacesWholeTable()
{
    StartLibrary();
    const STRUCT_ChanInfo astFirst[2] = {MakeBlock(0, "a"), MakeBlock(4, "b")};
    QCOMPARE(camera_business_set_chan_info(astFirst, 2), 1);
    QCOMPARE(camera_business_set_disable(4), 1);
    QCOMPARE(camera_business_set_frame_rate(4, 25), 1);
    QCOMPARE(camera_delete_collector_fd(4), 1);

    const STRUCT_ChanInfo stSecond = MakeBlock(1, "c");
    QCOMPARE(camera_business_set_chan_info(&stSecond, 1), 1);
    const CB_State stState = State();
    QCOMPARE(int(stState.aChannels[0].ucHasBlock), 0);
    QCOMPARE(int(stState.aChannels[4].ucHasBlock), 0);
    QCOMPARE(int(stState.aChannels[4].ucDisabled), 0);
    QCOMPARE(stState.aChannels[4].iFrameRate, 25);
    QCOMPARE(stState.aChannels[4].iCollectorDeletes, 1);
    QCOMPARE(QByteArray(stState.aChannels[1].block.szChName), QByteArray("c"));
}

void TestCameraBusinessBlocks::testAddChanInfo_replacesOneBlock()
{
    StartLibrary();
    const STRUCT_ChanInfo astFirst[3] = {MakeBlock(0, "desk"), MakeBlock(4, "cam A"), MakeBlock(5, "cam B")};
    QCOMPARE(camera_business_set_chan_info(astFirst, 3), 1);
    STRUCT_ChanInfo stNew = MakeBlock(4, "cam C");
    stNew.iVideoFrameRate = 25;
    QCOMPARE(camera_business_add_chan_info(&stNew), 1);

    const CB_State stState = State();
    QCOMPARE(QByteArray(stState.aChannels[4].block.szChName), QByteArray("cam C"));
    QCOMPARE(stState.aChannels[4].block.iVideoFrameRate, 25);
    QCOMPARE(QByteArray(stState.aChannels[0].block.szChName), QByteArray("desk"));
    QCOMPARE(QByteArray(stState.aChannels[5].block.szChName), QByteArray("cam B"));
    QCOMPARE(
        JournalEntry(camera_business_inspect_journal_size() - 2).value("block").toObject().value("chName"),
        QJsonValue("cam C"));
    QCOMPARE(LastEntry().value("args").toObject().value("chNo").toInt(), 4);

    STRUCT_ChanInfo stOutside = MakeBlock(16, "outside");
    QCOMPARE(camera_business_add_chan_info(&stOutside), 0);
    QCOMPARE(camera_business_add_chan_info(nullptr), 0);
}

void TestCameraBusinessBlocks::testDisableThenAdd_clearsDisabled()
{
    StartLibrary();
    const STRUCT_ChanInfo stBlock = MakeBlock(6, "cam");
    QCOMPARE(camera_business_add_chan_info(&stBlock), 1);
    QCOMPARE(camera_business_set_disable(6), 1);
    CB_State stState = State();
    QCOMPARE(int(stState.aChannels[6].ucDisabled), 1);
    QCOMPARE(int(stState.aChannels[6].ucHasBlock), 1);
    QCOMPARE(QByteArray(stState.aChannels[6].block.szChName), QByteArray("cam"));

    QCOMPARE(camera_business_add_chan_info(&stBlock), 1);
    QCOMPARE(int(State().aChannels[6].ucDisabled), 0);
    QCOMPARE(camera_business_set_disable(16), 0);
    QCOMPARE(camera_business_set_disable(-1), 0);
}

void TestCameraBusinessBlocks::testDeleteCollector_counted()
{
    StartLibrary(4);
    QCOMPARE(camera_delete_collector_fd(3), 1);
    QCOMPARE(camera_delete_collector_fd(3), 1);
    QCOMPARE(camera_delete_collector_fd(4), 0);
    const CB_State stState = State();
    QCOMPARE(stState.aChannels[3].iCollectorDeletes, 2);
    QCOMPARE(stState.aChannels[0].iCollectorDeletes, 0);
}

void TestCameraBusinessBlocks::testBlockText_nulLessFieldCutAtItsEnd_data()
{
    QTest::addColumn<int>("iOffset");
    QTest::addColumn<QString>("qstrKey");
    QTest::newRow("audio name") << int(offsetof(STRUCT_ChanInfo, szAudioName)) << "audioName";
    QTest::newRow("collect device name")
        << int(offsetof(STRUCT_ChanInfo, szCollectDevName)) << "collectDevName";
    QTest::newRow("channel name") << int(offsetof(STRUCT_ChanInfo, szChName)) << "chName";
    QTest::newRow("device identity") << int(offsetof(STRUCT_ChanInfo, szDevID)) << "devID";
}

void TestCameraBusinessBlocks::testBlockText_nulLessFieldCutAtItsEnd()
{
    QFETCH(int, iOffset);
    QFETCH(QString, qstrKey);
    StartLibrary();
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

void TestCameraBusinessBlocks::testBlockText_escapedAsValidJson()
{
    StartLibrary();
    STRUCT_ChanInfo stBlock = MakeBlock(2, "a\"b\\c\nd\x01\x7f"
                                           "\xff"
                                           "e 桌面\xed\xa0\x80"
                                           "f\xc0\xaf"
                                           "g\xe6\xa1");
    std::strcpy(stBlock.szDevID, "\xf0\x9f\x8e\xa5 \xf4\x90\x80\x80");
    QCOMPARE(camera_business_add_chan_info(&stBlock), 1);

    QJsonParseError error;
    const QJsonDocument qJsonDoc =
        QJsonDocument::fromJson(JournalText(camera_business_inspect_journal_size() - 2), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject qJsonBlock = qJsonDoc.object().value("block").toObject();
    const QChar qcReplace(0xFFFD);
    const QString qstrName = QString("a\"b\\c\nd\x01\x7f") + qcReplace + "e 桌面" + QString(3, qcReplace) +
                             "f" + QString(2, qcReplace) + "g" + QString(2, qcReplace);
    QCOMPARE(qJsonBlock.value("chName").toString(), qstrName);
    const QString qstrDevID = QString::fromUtf8("\xf0\x9f\x8e\xa5 ") + QString(4, qcReplace);
    QCOMPARE(qJsonBlock.value("devID").toString(), qstrDevID);
    QVERIFY(!JournalText(camera_business_inspect_journal_size() - 2).contains('\n'));
}

void TestCameraBusinessBlocks::testMessage_deliveredWithRegisteredUserValue()
{
    QCOMPARE(camera_business_inspect_send_message(1, 2, 3), -2);
    QCOMPARE(camera_business_set_mess_callback(RecordingCallback, -123456), 0);
    QCOMPARE(camera_business_inspect_send_message(11, 22, 33), 31);
    QCOMPARE(g_stReceived.iMsg, intptr_t(11));
    QCOMPARE(g_stReceived.iParam1, intptr_t(22));
    QCOMPARE(g_stReceived.iParam2, intptr_t(33));
    QCOMPARE(g_stReceived.iUser, intptr_t(-123456));
}

void TestCameraBusinessBlocks::testJournalEntry_cutToBuffer()
{
    QCOMPARE(camera_business_startup(6000, 16), 1);
    const QByteArray baFull = JournalText(0);
    QVERIFY(baFull.size() > 20);
    char acBuffer[11];
    std::memset(acBuffer, '#', sizeof(acBuffer));
    QCOMPARE(camera_business_inspect_journal_entry(0, acBuffer, 10), baFull.size());
    QCOMPARE(QByteArray(acBuffer), baFull.left(9));
    QCOMPARE(acBuffer[10], '#');
    QCOMPARE(camera_business_inspect_journal_entry(1, acBuffer, 10), -1);
    QCOMPARE(camera_business_inspect_journal_entry(-1, acBuffer, 10), -1);
    QCOMPARE(camera_business_inspect_state(nullptr), 0);
}

void TestCameraBusinessBlocks::testConcurrentCalls_allJournaled()
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

QTEST_GUILESS_MAIN(TestCameraBusinessBlocks)
#include "test_camerabusiness_blocks.moc"
