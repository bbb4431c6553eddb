// The language table without an outside component: the built-in rows answer.
#include "lang_component/LangTestSupport.h"

#include <QtTest>

class TestLang : public QObject
{
    Q_OBJECT
private slots:
    // Must run first: it makes the process's instance.
    void concurrentFirstCalls_makeOneInstance();
    void builtInTexts_data();
    void builtInTexts();
};

void TestLang::concurrentFirstCalls_makeOneInstance()
{
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/libcommbusi.so"));
    const STRUCT_TwoLookups structLookups = LookUpTwiceAtOnce(QStringLiteral("IDS_Quorvane_Close"));
    QVERIFY(structLookups.apLang[0] != nullptr && structLookups.apLang[0] == structLookups.apLang[1]);
    QCOMPARE(structLookups.aqstrText[0], QStringLiteral("关闭"));
    QCOMPARE(structLookups.aqstrText[1], QStringLiteral("关闭"));
}

void TestLang::builtInTexts_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("minimise") << "IDS_Quorvane_Minimization"
                              << "最小化";
    QTest::newRow("maximise") << "IDS_Quorvane_Maximization"
                              << "最大化";
    QTest::newRow("restore") << "IDS_Quorvane_Recover"
                             << "还原";
    QTest::newRow("unknown key") << "IDS_Quorvane_NoSuchItem"
                                 << "";
    QTest::newRow("empty key") << ""
                               << "";
    QTest::newRow("key differs in case") << "ids_quorvane_close"
                                         << "";
}

void TestLang::builtInTexts()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QCOMPARE(GetLangText(key), text);
}

QTEST_GUILESS_MAIN(TestLang)
#include "test_lang.moc"
