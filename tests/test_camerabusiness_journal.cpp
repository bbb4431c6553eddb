// The streaming library stand-in's journal file: named by CAMERA_BUSINESS_JOURNAL before the
// library's first call, appended to, one JSON line per entry, the same text as in memory.
#include "CameraBusinessTestSupport.h"

#include <QDir>
#include <QFile>

namespace {

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

class TestCameraBusinessJournal : public QObject
{
    Q_OBJECT

private slots:
    void testFile_holdsEveryEntryAsOneJsonLine();
    void testFile_keptAcrossReset();
};

void TestCameraBusinessJournal::testFile_holdsEveryEntryAsOneJsonLine()
{
    StartLibrary();
    // Quotes, control bytes and broken UTF-8 still give one valid JSON line each.
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

    // Flushed per line: readable while the library still holds the file open.
    const QList<QByteArray> lstLine = FileLines();
    const int iSize = camera_business_inspect_journal_size();
    QCOMPARE(iSize, 4 + 2 + 1 + 2);
    QCOMPARE(lstLine.size(), 1 + iSize);
    QCOMPARE(lstLine.first(), QByteArray(g_acEarlierLine));
    for (int i = 0; i < iSize; ++i) {
        QCOMPARE(lstLine.at(i + 1), JournalText(i));
        QVERIFY(QJsonDocument::fromJson(lstLine.at(i + 1)).isObject());
    }
    const QChar qcBad(0xFFFD);
    const QJsonObject qJsonBlock = JournalEntry(4).value("block").toObject();
    QCOMPARE(qJsonBlock.value("chName").toString(), QString("a\"b\\c\nd\x01\x7f") + qcBad + "e 桌面" +
                                                        QString(3, qcBad) + "f" + QString(2, qcBad) + "g" +
                                                        QString(2, qcBad));
    QCOMPARE(qJsonBlock.value("devID").toString(),
             QString::fromUtf8("\xf0\x9f\x8e\xa5 ") + QString(4, qcBad));
    QCOMPARE(LastEntry().value("call").toString(), QString("camera_business_cleanup"));
}

void TestCameraBusinessJournal::testFile_keptAcrossReset()
{
    const int iLinesBefore = FileLines().size();
    QVERIFY(iLinesBefore > 1);
    camera_business_inspect_reset();
    QCOMPARE(camera_business_enable_send_stream(0), 1);

    const QList<QByteArray> lstLine = FileLines();
    QCOMPARE(lstLine.size(), iLinesBefore + 1);
    QCOMPARE(lstLine.last(), JournalText(0));
    QCOMPARE(QJsonDocument::fromJson(lstLine.last()).object().value("seq").toInt(), 1);
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
    TestCameraBusinessJournal testObject;
    return QTest::qExec(&testObject, argc, argv);
}

#include "test_camerabusiness_journal.moc"
