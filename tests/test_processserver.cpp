// Starting a program of the application folder (a real child process that records its
// arguments) and the auto-start file of the terminal service.
#include "CLS_ProcessServer.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"

#include <QTemporaryDir>

class TestProcessServer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_qstrRecordFile = m_tempDir.filePath(QStringLiteral("child-arguments"));
        qputenv("LUMACAST_CHILD_RECORD", QFile::encodeName(m_qstrRecordFile));
        m_qstrChildPath = QCoreApplication::applicationDirPath() + QStringLiteral("/recorder");
        QFile::remove(m_qstrChildPath);
        QVERIFY(QFile::copy(QStringLiteral(LUMACAST_CHILD_RECORDER), m_qstrChildPath));
    }
    void init() { QFile::remove(m_qstrRecordFile); }
    void testWinStartUp_data()
    {
        QTest::addColumn<QByteArray>("qbaType");  // null: no type given
        QTest::addColumn<QByteArray>("qbaParam"); // null: no param given
        QTest::addColumn<bool>("blStarted");
        QTest::addColumn<QString>("qstrLog");
        const QString qstrStarted =
            QStringLiteral("WinStartUp::program = ") + m_qstrChildPath + QLatin1Char('\n');
        QTest::newRow("non-ASCII, quotes and shell characters")
            << QByteArray("recorder")
            << QByteArray("{\"param\":{\"skin\":\"皮肤\",\"lang\":\"ü€😀\"},\"token\":\"'$(touch x)' \\\"; "
                          "rm -rf /\\\" `id` | &\"}")
            << true << qstrStarted;
        QTest::newRow("no param") << QByteArray("recorder") << QByteArray() << false
                                  << QStringLiteral("[CLS_ProcessServer::WinStartUp]:NULL == _pcParam");
        QTest::newRow("no type") << QByteArray() << QByteArray("{}") << false
                                 << QStringLiteral("[CLS_ProcessServer::WinStartUp]:NULL == _pcType");
        QTest::newRow("no such program")
            << QByteArray("missing") << QByteArray("{}") << false
            << QCoreApplication::applicationDirPath() + QStringLiteral("/missing");
        QTest::newRow("outside the folder")
            << QByteArray("../test_processserver/recorder") << QByteArray("{}") << false
            << QStringLiteral("not a program of the application folder");
    }
    void testWinStartUp()
    {
        QFETCH(QByteArray, qbaType);
        QFETCH(QByteArray, qbaParam);
        QFETCH(bool, blStarted);
        QFETCH(QString, qstrLog);
        const LogTail logTail;
        QCOMPARE(CLS_ProcessServer::WinStartUp(qbaType.isNull() ? nullptr : qbaType.constData(),
                                               qbaParam.isNull() ? nullptr : qbaParam.constData()),
                 blStarted);
        QVERIFY2(logTail.NewText().contains(qstrLog), qPrintable(logTail.NewText()));
        if (blStarted) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_qstrRecordFile), 10000);
            QCOMPARE(RecordedArguments(m_qstrRecordFile),
                     (QList<QByteArray>{QFile::encodeName(m_qstrChildPath), qbaType, qbaParam}));
        }
    }
    // A started copy that held the log file open would keep a rotated log alive and write into it.
    void testWinStartUp_childGetsNoLogFile()
    {
        QFile qfileScript(QCoreApplication::applicationDirPath() + QStringLiteral("/fdlist"));
        QVERIFY(qfileScript.open(QIODevice::WriteOnly));
        qfileScript.write("#!/bin/sh\nls -l /proc/$$/fd > \"$LUMACAST_CHILD_RECORD.part\"\n"
                          "mv \"$LUMACAST_CHILD_RECORD.part\" \"$LUMACAST_CHILD_RECORD\"\n");
        qfileScript.close();
        QVERIFY(qfileScript.setPermissions(qfileScript.permissions() | QFileDevice::ExeOwner));
        QVERIFY(!ReadAppLog().isEmpty());
        QVERIFY(CLS_ProcessServer::WinStartUp("fdlist", "{}"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_qstrRecordFile), 10000);
        QFile qfileRecord(m_qstrRecordFile);
        QVERIFY(qfileRecord.open(QIODevice::ReadOnly));
        const QByteArray qbaFds = qfileRecord.readAll();
        QVERIFY(qbaFds.contains("fdlist"));
        QVERIFY2(!qbaFds.contains("/Log/"), qbaFds.constData());
    }
    void testWriteAutoStartCfg_data()
    {
        QTest::addColumn<QByteArray>("qbaBefore"); // null: no folder
        QTest::addColumn<bool>("blAutoStart");
        QTest::addColumn<QByteArray>("qbaAfter");
        QTest::newRow("no folder") << QByteArray() << true
                                   << QByteArray("[Lumacast]\nautoStart=true\nexeName=Lumacast\n");
        QTest::newRow("only the value changes")
            << QByteArray("; terminal service\r\n[Lumacast]\r\nexeName=Lumacast\r\nautoStart = "
                          "true\r\n\r\n[Other]\r\nx=1")
            << false
            << QByteArray("; terminal service\r\n[Lumacast]\r\nexeName=Lumacast\r\nautoStart = "
                          "false\r\n\r\n[Other]\r\nx=1");
        QTest::newRow("other groups byte for byte")
            << QByteArray("# kept\n[Paths]\nhome=C:\\Program "
                          "Files\\Orb\\\n%E5%A4%A7=1\n大小=2\n[Lumacast]\nexeName=Old")
            << true
            << QByteArray("# kept\n[Paths]\nhome=C:\\Program "
                          "Files\\Orb\\\n%E5%A4%A7=1\n大小=2\n[Lumacast]\nexeName=Lumacast\n"
                          "autoStart=true\n");
        QTest::newRow("group added after the last line")
            << QByteArray("[Other]\n;autoStart=false\nautoStart=false") << true
            << QByteArray("[Other]\n;autoStart=false\nautoStart=false\n[Lumacast]\nautoStart=true\nexeName="
                          "Lumacast\n");
        QTest::newRow("unchanged file untouched")
            << QByteArray("[Lumacast]\nautoStart=true\nexeName=Lumacast") << true
            << QByteArray("[Lumacast]\nautoStart=true\nexeName=Lumacast");
    }
    void testWriteAutoStartCfg()
    {
        QFETCH(QByteArray, qbaBefore);
        QFETCH(bool, blAutoStart);
        QFETCH(QByteArray, qbaAfter);
        const QString qstrIni =
            QCoreApplication::applicationDirPath() + QStringLiteral("/TerminalServerFile/AutoStartCfg.ini");
        QDir(QFileInfo(qstrIni).absolutePath()).removeRecursively();
        QFile qfileIni(qstrIni);
        if (!qbaBefore.isNull()) {
            QVERIFY(QDir().mkpath(QFileInfo(qstrIni).absolutePath()));
            QVERIFY(qfileIni.open(QIODevice::WriteOnly));
            qfileIni.write(qbaBefore);
            qfileIni.close();
        }
        QCOMPARE(CLS_ProcessServer::WriteAutoStartCfg(blAutoStart), 0);
        QVERIFY(qfileIni.open(QIODevice::ReadOnly));
        QCOMPARE(qfileIni.readAll(), qbaAfter);
    }

private:
    QTemporaryDir m_tempDir;
    QString m_qstrRecordFile;
    QString m_qstrChildPath;
};

LUMACAST_TEST_MAIN(TestProcessServer)
#include "test_processserver.moc"
