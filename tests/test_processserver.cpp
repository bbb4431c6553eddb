// Starting a program of the application folder (a real child process that records its
// arguments) and the auto-start file of the terminal service.
#include "CLS_ProcessServer.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"

#include <QSettings>
#include <QTemporaryDir>

class TestProcessServer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void testWinStartUp_data();
    void testWinStartUp();
    void testWriteAutoStartCfg_data();
    void testWriteAutoStartCfg();

private:
    QTemporaryDir m_tempDir;
    QString m_qstrRecordFile;
    QString m_qstrChildPath;
};

void TestProcessServer::initTestCase()
{
    QVERIFY(m_tempDir.isValid());
    m_qstrRecordFile = m_tempDir.filePath(QStringLiteral("child-arguments"));
    qputenv("LUMACAST_CHILD_RECORD", QFile::encodeName(m_qstrRecordFile));
    m_qstrChildPath = QCoreApplication::applicationDirPath() + QStringLiteral("/recorder");
    QFile::remove(m_qstrChildPath);
    QVERIFY(QFile::copy(QStringLiteral(LUMACAST_CHILD_RECORDER), m_qstrChildPath));
}

void TestProcessServer::init()
{
    QFile::remove(m_qstrRecordFile);
}

void TestProcessServer::testWinStartUp_data()
{
    QTest::addColumn<QByteArray>("qbaType");  // null: no type given
    QTest::addColumn<QByteArray>("qbaParam"); // null: no param given
    QTest::addColumn<bool>("blStarted");
    QTest::addColumn<QString>("qstrLog");
    const QByteArray qbaRecorder("recorder");
    const QString qstrStarted =
        QStringLiteral("WinStartUp::program = ") + m_qstrChildPath + QLatin1Char('\n');
    QTest::newRow("JSON with non-ASCII")
        << qbaRecorder << QByteArray("{\"param\":{\"skin\":\"皮肤\",\"lang\":\"ü€😀\"},\"token\":\"a b\"}")
        << true << qstrStarted;
    QTest::newRow("quotes and shell characters")
        << qbaRecorder << QByteArray("'$(touch x)' \"; rm -rf /\" `id` | &") << true << qstrStarted;
    QTest::newRow("empty param") << qbaRecorder << QByteArray("") << true << qstrStarted;
    QTest::newRow("no param") << qbaRecorder << QByteArray() << false
                              << QStringLiteral("[CLS_ProcessServer::WinStartUp]:NULL == _pcParam");
    QTest::newRow("no type") << QByteArray() << QByteArray("{}") << false
                             << QStringLiteral("[CLS_ProcessServer::WinStartUp]:NULL == _pcType");
    QTest::newRow("no such program") << QByteArray("missing") << QByteArray("{}") << false
                                     << QStringLiteral("WinStartUp::program = ") +
                                            QCoreApplication::applicationDirPath() +
                                            QStringLiteral("/missing");
    QTest::newRow("outside the folder") << QByteArray("../test_processserver/recorder") << QByteArray("{}")
                                        << false << QStringLiteral("not a program of the application folder");
    QTest::newRow("empty type") << QByteArray("") << QByteArray("{}") << false
                                << QStringLiteral("not a program of the application folder");
}

void TestProcessServer::testWinStartUp()
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

void TestProcessServer::testWriteAutoStartCfg_data()
{
    QTest::addColumn<QByteArray>("qbaBefore");
    QTest::addColumn<bool>("blAutoStart");
    QTest::addColumn<QVariantMap>("mapOther");
    QTest::newRow("no folder") << QByteArray() << true << QVariantMap();
    QTest::newRow("other group kept") << QByteArray("[Other]\nname=Größe\ncount=3\n") << true
                                      << QVariantMap{{QStringLiteral("Other/name"), QStringLiteral("Größe")},
                                                     {QStringLiteral("Other/count"), 3}};
    QTest::newRow("own group replaced, off")
        << QByteArray("[Lumacast]\nautoStart=true\nexeName=Old\n[Other]\nx=1\n") << false
        << QVariantMap{{QStringLiteral("Other/x"), 1}};
}

void TestProcessServer::testWriteAutoStartCfg()
{
    QFETCH(QByteArray, qbaBefore);
    QFETCH(bool, blAutoStart);
    QFETCH(QVariantMap, mapOther);
    const QString qstrIni =
        QCoreApplication::applicationDirPath() + QStringLiteral("/TerminalServerFile/AutoStartCfg.ini");
    QDir(QFileInfo(qstrIni).absolutePath()).removeRecursively();
    if (!qbaBefore.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(qstrIni).absolutePath()));
        QFile qfileIni(qstrIni);
        QVERIFY(qfileIni.open(QIODevice::WriteOnly));
        qfileIni.write(qbaBefore);
    }
    QCOMPARE(CLS_ProcessServer::WriteAutoStartCfg(blAutoStart), 0);

    QSettings qsettingsAfter(qstrIni, QSettings::IniFormat);
    qsettingsAfter.setIniCodec("UTF-8");
    qsettingsAfter.beginGroup(QStringLiteral("Lumacast"));
    QCOMPARE(qsettingsAfter.childKeys(),
             (QStringList{QStringLiteral("autoStart"), QStringLiteral("exeName")}));
    QCOMPARE(qsettingsAfter.value(QStringLiteral("exeName")).toString(), QStringLiteral("Lumacast"));
    QCOMPARE(qsettingsAfter.value(QStringLiteral("autoStart")).toString(),
             blAutoStart ? QStringLiteral("true") : QStringLiteral("false"));
    qsettingsAfter.endGroup();
    for (auto it = mapOther.cbegin(); it != mapOther.cend(); ++it) {
        QCOMPARE(qsettingsAfter.value(it.key()).toString(), it.value().toString());
    }
}

LUMACAST_TEST_MAIN(TestProcessServer)
#include "test_processserver.moc"
