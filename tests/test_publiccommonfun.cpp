#include "LogReader.h"
#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <vector>

class TestPublicCommonFun : public QObject
{
    Q_OBJECT
private slots:
    void base64_allBytesMatchQt();
    void base64Decode_invalidCharacterCountsAsZeroAndIsLogged();
    void base64_boundedOutput_data();
    void base64_boundedOutput();
    void readJsonFile_data();
    void readJsonFile();
    void writeJsonFile_keysKeptIndentedAndRoundTrip();
    void writeJsonFile_failedWriteLeavesOldFileWhole();
    void writeJsonFile_missingFolderReportsFailure();
    void jsonToStringAndParseJson_data();
    void jsonToStringAndParseJson();
    void createLogDir_isUnderApplicationFolder();
    void getProcessIdsByName_exactImageName();
    void killProcess_endsProcessThatIgnoresTerm();

private:
    QString WriteTempFile(const QByteArray& _qbaContent);
    QString StartNamedSleeper(const QString& _qstrName, QProcess& _qprocess);

    QTemporaryDir m_qtempDir;
};

// Every byte value 1..255 in every position of a group (so with each padding), both directions,
// checked against Qt's encoder.
void TestPublicCommonFun::base64_allBytesMatchQt()
{
    QByteArray qbaAll;
    for (int i = 1; i < 256; ++i) {
        qbaAll.append(static_cast<char>(i));
    }
    for (int iShift = 0; iShift < 3; ++iShift) {
        const QByteArray qbaInput = qbaAll.mid(iShift);
        std::vector<char> vecOut(static_cast<std::size_t>(qbaInput.size()) * 2 + 8);
        QVERIFY(Base64Encode(qbaInput.constData(), vecOut.data(), vecOut.size()));
        QCOMPARE(QByteArray(vecOut.data()), qbaInput.toBase64());

        std::vector<char> vecBack(static_cast<std::size_t>(qbaInput.size()) + 1);
        QVERIFY(Base64Decode(vecOut.data(), vecBack.data(), vecBack.size()));
        QCOMPARE(QByteArray(vecBack.data()), qbaInput);
    }
}

void TestPublicCommonFun::base64Decode_invalidCharacterCountsAsZeroAndIsLogged()
{
    char acWithInvalid[16] = {};
    char acWithA[16] = {};
    QVERIFY(Base64Decode("Y$I=", acWithInvalid, sizeof(acWithInvalid)));
    QVERIFY(Base64Decode("YAI=", acWithA, sizeof(acWithA)));
    QCOMPARE(QByteArray(acWithInvalid, 2), QByteArray(acWithA, 2));
    QVERIFY(ReadAppLog().contains(QStringLiteral("$:Not a valid base64 string")));
}

void TestPublicCommonFun::base64_boundedOutput_data()
{
    QTest::addColumn<bool>("encode");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("outSize");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("encode exact fit") << true << QByteArray("abcd") << 9 << true << QByteArray("YWJjZA==");
    QTest::newRow("encode one short") << true << QByteArray("abcd") << 8 << false << QByteArray();
    QTest::newRow("encode into one byte") << true << QByteArray("a") << 1 << false << QByteArray();
    QTest::newRow("encode empty into one byte") << true << QByteArray("") << 1 << true << QByteArray();
    QTest::newRow("encode utf-8 user name")
        << true << QString::fromUtf8("管理员").toUtf8() << 13 << true << QByteArray("566h55CG5ZGY");
    QTest::newRow("decode empty into one byte") << false << QByteArray("") << 1 << true << QByteArray();
    QTest::newRow("decode padding as second character")
        << false << QByteArray("Y===") << 4 << true << QByteArray();
    QTest::newRow("decode two groups") << false << QByteArray("YWJjZGU=") << 6 << true << QByteArray("abcde");
    QTest::newRow("decode exact fit") << false << QByteArray("YWJjZA==") << 5 << true << QByteArray("abcd");
    QTest::newRow("decode one short") << false << QByteArray("YWJjZA==") << 4 << false << QByteArray();
    QTest::newRow("decode long name into 64") << false << QByteArray(120, 'Q') << 64 << false << QByteArray();
}

void TestPublicCommonFun::base64_boundedOutput()
{
    QFETCH(bool, encode);
    QFETCH(QByteArray, input);
    QFETCH(int, outSize);
    QFETCH(bool, fits);
    QFETCH(QByteArray, expected);
    // A canary after the buffer shows that nothing is written past its size.
    std::vector<char> vecBuffer(static_cast<std::size_t>(outSize) + 16, '#');
    const bool blResult =
        encode ? Base64Encode(input.constData(), vecBuffer.data(), static_cast<std::size_t>(outSize))
               : Base64Decode(input.constData(), vecBuffer.data(), static_cast<std::size_t>(outSize));
    QCOMPARE(blResult, fits);
    QCOMPARE(QByteArray(vecBuffer.data()), expected);
    for (std::size_t i = static_cast<std::size_t>(outSize); i < vecBuffer.size(); ++i) {
        QCOMPARE(vecBuffer[i], '#');
    }
}

QString TestPublicCommonFun::WriteTempFile(const QByteArray& _qbaContent)
{
    static int s_iCounter = 0;
    const QString qstrPath = m_qtempDir.filePath(QStringLiteral("file%1.json").arg(++s_iCounter));
    QFile qfile(qstrPath);
    if (!qfile.open(QIODevice::WriteOnly) || qfile.write(_qbaContent) != _qbaContent.size()) {
        return QString();
    }
    return qstrPath;
}

void TestPublicCommonFun::readJsonFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("object") << QByteArray(R"({"skin":"skinTwo","hostInfo":{"port":8000}})") << false
                            << QByteArray(R"({"hostInfo":{"port":8000},"skin":"skinTwo"})");
    QTest::newRow("array gives empty object") << QByteArray("[1,2,3]") << false << QByteArray("{}");
    QTest::newRow("bad JSON gives empty object") << QByteArray(R"({"skin": )") << false << QByteArray("{}");
    QTest::newRow("empty file") << QByteArray() << false << QByteArray("{}");
    QTest::newRow("missing file") << QByteArray() << true << QByteArray("{}");
    QTest::newRow("utf-8 text kept") << QByteArray(R"({"chName":"桌面1"})") << false
                                     << QByteArray(R"({"chName":"桌面1"})");
}

void TestPublicCommonFun::readJsonFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, missing);
    QFETCH(QByteArray, expected);
    const QString qstrPath =
        missing ? m_qtempDir.filePath(QStringLiteral("absent.json")) : WriteTempFile(content);
    QVERIFY(!qstrPath.isEmpty());
    QCOMPARE(QJsonDocument(ReadJsonFile(qstrPath)).toJson(QJsonDocument::Compact), expected);
}

void TestPublicCommonFun::writeJsonFile_keysKeptIndentedAndRoundTrip()
{
    const QString qstrPath = WriteTempFile(R"({"unknownKey":[1,{"a":true}],"skin":"skinOne"})");
    QJsonObject qjsonConfig = ReadJsonFile(qstrPath);
    qjsonConfig.insert(QStringLiteral("skin"), QStringLiteral("skinTwo"));
    QVERIFY(WriteJsonFile(qjsonConfig, qstrPath));

    QFile qfile(qstrPath);
    QVERIFY(qfile.open(QIODevice::ReadOnly));
    const QByteArray qbaWritten = qfile.readAll();
    QVERIFY(qbaWritten.contains("\n    \"skin\": \"skinTwo\""));
    const QJsonObject qjsonBack = ReadJsonFile(qstrPath);
    QCOMPARE(qjsonBack.value(QStringLiteral("unknownKey")).toArray().size(), 2);
    QCOMPARE(qjsonBack, qjsonConfig);
    QCOMPARE(QDir(m_qtempDir.path())
                 .entryList({QStringLiteral("*.json*")}, QDir::Files)
                 .filter(QStringLiteral("tmp")),
             QStringList());
}

void TestPublicCommonFun::writeJsonFile_failedWriteLeavesOldFileWhole()
{
    const QByteArray qbaOld = R"({"hostInfo":{"port":8000,"user":"dXNlcg=="},"skin":"skinTwo"})";
    const QString qstrPath = WriteTempFile(qbaOld);
    QJsonArray qjsonArrBig;
    for (int i = 0; i < 200; ++i) {
        qjsonArrBig.append(QString(50, QLatin1Char('x')));
    }
    const QJsonObject qjsonBig{{QStringLiteral("chInfo"), qjsonArrBig}};

    // A file size limit makes the write fail half-way, as a full disk would.
    rlimit limitOld = {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &limitOld), 0);
    void (*pOldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limitSmall = limitOld;
    limitSmall.rlim_cur = 512;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limitSmall), 0);
    const bool blWritten = WriteJsonFile(qjsonBig, qstrPath);
    setrlimit(RLIMIT_FSIZE, &limitOld);
    std::signal(SIGXFSZ, pOldHandler);

    QVERIFY(!blWritten);
    QFile qfile(qstrPath);
    QVERIFY(qfile.open(QIODevice::ReadOnly));
    QCOMPARE(qfile.readAll(), qbaOld);
}

void TestPublicCommonFun::writeJsonFile_missingFolderReportsFailure()
{
    const QString qstrPath = m_qtempDir.filePath(QStringLiteral("no/such/folder/lumacast.json"));
    QVERIFY(!WriteJsonFile(QJsonObject{{QStringLiteral("a"), 1}}, qstrPath));
    QVERIFY(!QFile::exists(qstrPath));
    QVERIFY(ReadAppLog().contains(QStringLiteral("File open failed!")));
}

void TestPublicCommonFun::jsonToStringAndParseJson_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expectedCompact");
    QTest::newRow("object") << QStringLiteral(R"({ "b": 1, "a": {"x": "y"} })")
                            << QStringLiteral(R"({"a":{"x":"y"},"b":1})");
    QTest::newRow("array") << QStringLiteral("[1]") << QStringLiteral("{}");
    QTest::newRow("not JSON") << QStringLiteral("lumacas") << QStringLiteral("{}");
    QTest::newRow("empty") << QString() << QStringLiteral("{}");
    QTest::newRow("number") << QStringLiteral("5") << QStringLiteral("{}");
    QTest::newRow("non-ASCII") << QStringLiteral(R"({"t":"提示"})") << QStringLiteral(R"({"t":"提示"})");
}

void TestPublicCommonFun::jsonToStringAndParseJson()
{
    QFETCH(QString, text);
    QFETCH(QString, expectedCompact);
    QCOMPARE(JsonToString(ParseJson(text)), expectedCompact);
}

void TestPublicCommonFun::createLogDir_isUnderApplicationFolder()
{
    QByteArray qbaPath;
    QVERIFY(CreateLogDir(qbaPath));
    QCOMPARE(QString::fromUtf8(qbaPath), QCoreApplication::applicationDirPath() + QStringLiteral("/Log/") +
                                             QCoreApplication::applicationName() + QStringLiteral("/"));
    QVERIFY(QDir(QString::fromUtf8(qbaPath)).exists());
}

QString TestPublicCommonFun::StartNamedSleeper(const QString& _qstrName, QProcess& _qprocess)
{
    // The kernel names a process after the file it was started from, so a link named like the
    // program gives a real process of that name.
    const QString qstrLink = m_qtempDir.filePath(_qstrName);
    QFile::remove(qstrLink);
    if (!QFile::link(QStringLiteral("/bin/sleep"), qstrLink)) {
        return QString();
    }
    _qprocess.start(qstrLink, {QStringLiteral("30")});
    return _qprocess.waitForStarted() ? qstrLink : QString();
}

void TestPublicCommonFun::getProcessIdsByName_exactImageName()
{
    QProcess qprocessPlain;
    QProcess qprocessExe;
    QVERIFY(!StartNamedSleeper(QStringLiteral("Lumacast"), qprocessPlain).isEmpty());
    QVERIFY(!StartNamedSleeper(QStringLiteral("Lumacast.exe"), qprocessExe).isEmpty());
    const quint32 uiPlain = static_cast<quint32>(qprocessPlain.processId());
    const quint32 uiExe = static_cast<quint32>(qprocessExe.processId());

    auto found = [](const QString& _qstrName) {
        QList<quint32> lstFound;
        return GetProcessIdsByName(_qstrName, lstFound) == 0 ? lstFound : QList<quint32>();
    };
    QVERIFY(found(QStringLiteral("Lumacast")).contains(uiPlain));
    QVERIFY(found(QStringLiteral("Lumacast")).contains(uiExe));
    QVERIFY(!found(QStringLiteral("lumacast")).contains(uiPlain));
    QVERIFY(!found(QStringLiteral("lumacast")).contains(uiExe));
    QVERIFY(!found(QStringLiteral("Lumaca")).contains(uiPlain));
    QVERIFY(found(QCoreApplication::applicationName())
                .contains(static_cast<quint32>(QCoreApplication::applicationPid())));
    // The sleepers end with their QProcess objects.
}

void TestPublicCommonFun::killProcess_endsProcessThatIgnoresTerm()
{
    QProcess qprocess;
    qprocess.start(QStringLiteral("/bin/sh"),
                   {QStringLiteral("-c"), QStringLiteral("trap '' TERM; echo ready; "
                                                         "while :; do sleep 1; done")});
    QVERIFY(qprocess.waitForReadyRead(5000));
    QCOMPARE(KillProcess(static_cast<quint32>(qprocess.processId())), 0);
    QVERIFY(qprocess.waitForFinished(5000));
    QCOMPARE(qprocess.exitStatus(), QProcess::CrashExit);
    QCOMPARE(KillProcess(999999999u), 0);
}

LUMACAST_TEST_MAIN(TestPublicCommonFun)
#include "test_publiccommonfun.moc"
