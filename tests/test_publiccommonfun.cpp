#include "TestSupport.h"
#include "common/PublicCommonFun.h"

#include <QJsonArray>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

enum EnumProcess
{
    PROCESS_COPY,
    PROCESS_ZOMBIE,
    PROCESS_OTHER_USER,
    PROCESS_OTHER_FILE,
    PROCESS_IGNORES_TERM
};

const char* const g_pcCopyName = "lumacopy";

// A process named g_pcCopyName: a fork of this program (so its own executable file) in the given
// state, or /bin/sleep started through a link of that name. Returns once it is in that state.
pid_t StartProcess(EnumProcess _enumKind, const QString& _qstrLinkDir)
{
    const QByteArray qbaLink = QFile::encodeName(_qstrLinkDir + QStringLiteral("/lumacopy"));
    int aiReady[2] = {-1, -1};
    if (!QFile::link(QStringLiteral("/bin/sleep"), QFile::decodeName(qbaLink)) ||
        pipe2(aiReady, O_CLOEXEC) != 0) {
        return -1;
    }
    const pid_t iPid = fork();
    if (iPid == 0) {
        // Only async-signal-safe calls from here on. Ready is one byte, or the end of the pipe.
        prctl(PR_SET_NAME, g_pcCopyName);
        if (_enumKind == PROCESS_OTHER_USER &&
            (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)) {
            _exit(1);
        }
        if (_enumKind == PROCESS_OTHER_FILE) {
            execl(qbaLink.constData(), g_pcCopyName, "30", static_cast<char*>(nullptr));
        }
        if (_enumKind == PROCESS_ZOMBIE) {
            _exit(0);
        }
        signal(SIGTERM, _enumKind == PROCESS_IGNORES_TERM ? SIG_IGN : SIG_DFL);
        if (write(aiReady[1], "r", 1) == 1) {
            pause();
        }
        _exit(0);
    }
    char cReady = 0;
    close(aiReady[1]);
    const bool blReady = read(aiReady[0], &cReady, 1) >= 0;
    close(aiReady[0]);
    QFile::remove(QFile::decodeName(qbaLink));
    return blReady ? iPid : -1;
}

bool IsZombie(pid_t _iPid)
{
    QFile qfileStatus(QStringLiteral("/proc/%1/status").arg(_iPid));
    return qfileStatus.open(QIODevice::ReadOnly) && qfileStatus.readAll().contains("\nState:\tZ");
}

} // namespace

class TestPublicCommonFun : public QObject
{
    Q_OBJECT
private slots:
    void base64_boundedOutput_data()
    {
        QTest::addColumn<bool>("encode");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("outSize");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("encode exact fit")
            << true << QByteArray("abcd") << 9 << true << QByteArray("YWJjZA==");
        QTest::newRow("encode one short") << true << QByteArray("abcd") << 8 << false << QByteArray();
        QTest::newRow("decode exact fit")
            << false << QByteArray("YWJjZA==") << 5 << true << QByteArray("abcd");
        QTest::newRow("decode one short") << false << QByteArray("YWJjZA==") << 4 << false << QByteArray();
    }
    void base64_boundedOutput()
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
        QCOMPARE(QByteArray(vecBuffer.data() + outSize, 16), QByteArray(16, '#'));
    }
    void writeJsonFile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("keptAside");
        QTest::newRow("object replaced")
            << QByteArray(R"({"unknownKey":[1,{"a":true}],"skin":"skinOne"})") << false;
        QTest::newRow("trailing comma kept") << QByteArray("{\"hostInfo\":{\"port\":8000},}\n") << true;
    }
    // A file that is not a JSON object is someone's settings with a typo: it is kept beside itself
    // before the first write replaces it.
    void writeJsonFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, keptAside);
        const QString qstrPath = WriteTempFile(before);
        const QJsonObject qjsonNew{{QStringLiteral("skin"), QStringLiteral("skinTwo")},
                                   {QStringLiteral("hostInfo"), QJsonObject{{QStringLiteral("port"), 9}}}};
        QVERIFY(WriteJsonFile(qjsonNew, qstrPath) && WriteJsonFile(qjsonNew, qstrPath));
        QCOMPARE(ReadJsonFile(qstrPath), qjsonNew);
        const QDir qdir = QFileInfo(qstrPath).dir();
        const QStringList qstrlstBeside = qdir.entryList({QStringLiteral("lumacast.json.*")}, QDir::Files);
        QCOMPARE(qstrlstBeside.size(), keptAside ? 1 : 0);
        if (keptAside) {
            QVERIFY(qstrlstBeside.first().startsWith(QStringLiteral("lumacast.json.bad-")));
            QFile qfileAside(qdir.filePath(qstrlstBeside.first()));
            QVERIFY(qfileAside.open(QIODevice::ReadOnly));
            QCOMPARE(qfileAside.readAll(), before);
        }
    }
    void writeJsonFile_failedWriteLeavesOldFileWhole()
    {
        const QByteArray qbaOld = R"({"hostInfo":{"port":8000,"user":"dXNlcg=="},"skin":"skinTwo"})";
        const QString qstrPath = WriteTempFile(qbaOld);
        QJsonArray qjsonArrBig;
        for (int i = 0; i < 200; ++i) {
            qjsonArrBig.append(QString(50, QLatin1Char('x')));
        }
        // A file size limit makes the write fail half-way, as a full disk would.
        rlimit limitOld = {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &limitOld), 0);
        void (*pOldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limitSmall = limitOld;
        limitSmall.rlim_cur = 512;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limitSmall), 0);
        const bool blWritten = WriteJsonFile({{QStringLiteral("chInfo"), qjsonArrBig}}, qstrPath);
        setrlimit(RLIMIT_FSIZE, &limitOld);
        std::signal(SIGXFSZ, pOldHandler);

        QVERIFY(!blWritten);
        QFile qfile(qstrPath);
        QVERIFY(qfile.open(QIODevice::ReadOnly));
        QCOMPARE(qfile.readAll(), qbaOld);
    }
    void processes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("counted");
        QTest::addColumn<bool>("endedByKill");
        QTest::newRow("copy of this program") << int(PROCESS_COPY) << true << true;
        QTest::newRow("copy that ignores TERM") << int(PROCESS_IGNORES_TERM) << true << true;
        QTest::newRow("zombie") << int(PROCESS_ZOMBIE) << false << true;
        QTest::newRow("another file of that name") << int(PROCESS_OTHER_FILE) << false << true;
        QTest::newRow("another user's copy") << int(PROCESS_OTHER_USER) << false << false;
    }
    // Only this user's processes of this very file are copies; another user's cannot be ended.
    void processes()
    {
        QFETCH(int, kind);
        QFETCH(bool, counted);
        QFETCH(bool, endedByKill);
        if (kind == PROCESS_OTHER_USER && geteuid() != 0) {
            QSKIP("only root can start another user's process here");
        }
        const pid_t iPid = StartProcess(static_cast<EnumProcess>(kind), m_qtempDir.path());
        QVERIFY(iPid > 0);
        const auto reap = qScopeGuard([iPid] {
            ::kill(iPid, SIGKILL);
            waitpid(iPid, nullptr, 0);
        });
        QTRY_VERIFY((kind == PROCESS_ZOMBIE) == IsZombie(iPid));
        QList<quint32> lstPid;
        QCOMPARE(GetProcessIdsByName(QLatin1String(g_pcCopyName), lstPid), 0);
        QCOMPARE(lstPid.contains(static_cast<quint32>(iPid)), counted);

        // As another user, so that even root meets a process it may not signal.
        const bool blAsOther = kind == PROCESS_OTHER_USER;
        QVERIFY(!blAsOther || seteuid(12345) == 0);
        QCOMPARE(KillProcess(static_cast<quint32>(iPid)), 0);
        QVERIFY(!blAsOther || seteuid(0) == 0);
        int iStatus = 0;
        const bool blEnded = kind == PROCESS_ZOMBIE || waitpid(iPid, &iStatus, WNOHANG) == iPid;
        QCOMPARE(blEnded, endedByKill);
    }

private:
    QString WriteTempFile(const QByteArray& _qbaContent)
    {
        static int s_iCounter = 0;
        const QString qstrPath = m_qtempDir.filePath(QString("file%1/lumacast.json").arg(++s_iCounter));
        QDir().mkpath(QFileInfo(qstrPath).path());
        QFile qfile(qstrPath);
        if (!qfile.open(QIODevice::WriteOnly) || qfile.write(_qbaContent) != _qbaContent.size()) {
            return QString();
        }
        return qstrPath;
    }

    QTemporaryDir m_qtempDir;
};

LUMACAST_TEST_MAIN(TestPublicCommonFun)
#include "test_publiccommonfun.moc"
