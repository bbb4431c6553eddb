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

    void testWinStartUp_program_startedWithTypeAndParam_data();
    void testWinStartUp_program_startedWithTypeAndParam();
    void testWinStartUp_refused_data();
    void testWinStartUp_refused();
    void testWriteAutoStartCfg_data();
    void testWriteAutoStartCfg();

private:
    static QString IniPath()
    {
        return QCoreApplication::applicationDirPath() +
               QStringLiteral("/TerminalServerFile/AutoStartCfg.ini");
    }

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

void TestProcessServer::testWinStartUp_program_startedWithTypeAndParam_data()
{
    QTest::addColumn<QByteArray>("qbaParam");
    QTest::newRow("JSON with non-ASCII")
        << QByteArray("{\"param\":{\"skin\":\"皮肤\",\"lang\":\"ü€😀\"},\"token\":\"a b\"}");
    QTest::newRow("quotes and shell characters") << QByteArray("'$(touch x)' \"; rm -rf /\" `id` | &");
    QTest::newRow("empty") << QByteArray("");
}

void TestProcessServer::testWinStartUp_program_startedWithTypeAndParam()
{
    QFETCH(QByteArray, qbaParam);
    const LogTail logTail;
    QVERIFY(CLS_ProcessServer::WinStartUp("recorder", qbaParam.constData()));
    QVERIFY(logTail.NewText().contains(QStringLiteral("WinStartUp::program = ") + m_qstrChildPath +
                                       QLatin1Char('\n')));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_qstrRecordFile), 10000);
    const QList<QByteArray> lstArgs = RecordedArguments(m_qstrRecordFile);
    QCOMPARE(lstArgs.size(), 3);
    QCOMPARE(lstArgs.at(0), QFile::encodeName(m_qstrChildPath));
    QCOMPARE(lstArgs.at(1), QByteArray("recorder"));
    QCOMPARE(lstArgs.at(2), qbaParam);
}

void TestProcessServer::testWinStartUp_refused_data()
{
    QTest::addColumn<QByteArray>("qbaType");
    QTest::addColumn<bool>("blNullType");
    QTest::addColumn<bool>("blNullParam");
    QTest::addColumn<QString>("qstrLog");
    QTest::newRow("no param") << QByteArray("recorder") << false << true
                              << QStringLiteral("[CLS_ProcessServer::WinStartUp]:NULL == _pcParam");
    QTest::newRow("no type") << QByteArray() << true << false
                             << QStringLiteral("[CLS_ProcessServer::WinStartUp]:NULL == _pcType");
    QTest::newRow("no such program") << QByteArray("missing") << false << false
                                     << QStringLiteral("WinStartUp::program = ") +
                                            QCoreApplication::applicationDirPath() +
                                            QStringLiteral("/missing");
    QTest::newRow("outside the folder") << QByteArray("../test_processserver/recorder") << false << false
                                        << QStringLiteral("not a program of the application folder");
    QTest::newRow("empty type") << QByteArray("") << false << false
                                << QStringLiteral("not a program of the application folder");
}

void TestProcessServer::testWinStartUp_refused()
{
    QFETCH(QByteArray, qbaType);
    QFETCH(bool, blNullType);
    QFETCH(bool, blNullParam);
    QFETCH(QString, qstrLog);
    const LogTail logTail;
    QVERIFY(!CLS_ProcessServer::WinStartUp(blNullType ? nullptr : qbaType.constData(),
                                           blNullParam ? nullptr : "{}"));
    QVERIFY2(logTail.NewText().contains(qstrLog), qPrintable(logTail.NewText()));
}

void TestProcessServer::testWriteAutoStartCfg_data()
{
    QTest::addColumn<QByteArray>("qbaBefore");
    QTest::addColumn<bool>("blAutoStart");
    QTest::addColumn<QVariantMap>("mapOther");
    QTest::newRow("no folder, on") << QByteArray() << true << QVariantMap();
    QTest::newRow("no folder, off") << QByteArray() << false << QVariantMap();
    QTest::newRow("other group kept, on")
        << QByteArray("[Other]\nname=Größe\ncount=3\n") << true
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
    QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/TerminalServerFile")).removeRecursively();
    if (!qbaBefore.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(IniPath()).absolutePath()));
        QFile qfileIni(IniPath());
        QVERIFY(qfileIni.open(QIODevice::WriteOnly));
        qfileIni.write(qbaBefore);
    }
    QCOMPARE(CLS_ProcessServer::WriteAutoStartCfg(blAutoStart), 0);

    QFile qfileIni(IniPath());
    QVERIFY(qfileIni.open(QIODevice::ReadOnly));
    const QString qstrIni = QString::fromUtf8(qfileIni.readAll());
    QVERIFY2(qstrIni.contains(QStringLiteral("[Lumacast]\n")), qPrintable(qstrIni));
    QVERIFY(qstrIni.contains(QStringLiteral("\nexeName=Lumacast\n")));
    QVERIFY(qstrIni.contains(blAutoStart ? QStringLiteral("\nautoStart=true\n")
                                         : QStringLiteral("\nautoStart=false\n")));

    QSettings qsettingsAfter(IniPath(), QSettings::IniFormat);
    qsettingsAfter.setIniCodec("UTF-8");
    qsettingsAfter.beginGroup(QStringLiteral("Lumacast"));
    QCOMPARE(qsettingsAfter.childKeys(),
             (QStringList{QStringLiteral("autoStart"), QStringLiteral("exeName")}));
    qsettingsAfter.endGroup();
    for (auto it = mapOther.cbegin(); it != mapOther.cend(); ++it) {
        QCOMPARE(qsettingsAfter.value(it.key()).toString(), it.value().toString());
    }
}

LUMACAST_TEST_MAIN(TestProcessServer)
#include "test_processserver.moc"
