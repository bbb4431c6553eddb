// The language table without an outside component: the built-in rows answer.
#include "lang/CLS_Lang.h"

#include <QtTest>

class TestLang : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/libcommbusi.so"));
    }
    void builtInTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("close") << "IDS_Quorvane_Close"
                               << "关闭";
        QTest::newRow("unknown key") << "IDS_Quorvane_NoSuchItem"
                                     << "";
        QTest::newRow("key differs in case") << "ids_quorvane_close"
                                             << "";
    }
    void builtInTexts()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QCOMPARE(GetLangText(key), text);
    }
};

QTEST_GUILESS_MAIN(TestLang)
#include "test_lang.moc"
