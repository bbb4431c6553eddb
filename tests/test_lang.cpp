// The language table without an outside component: the built-in rows answer.
#include "lang/CLS_Lang.h"

#include <QtTest>

#include <atomic>
#include <thread>

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
    std::atomic<bool> blGo{false};
    CLS_Lang* apLang[2] = {nullptr, nullptr};
    QString aqstrText[2];
    auto ask = [&](int _iIndex) {
        while (!blGo) {
            std::this_thread::yield();
        }
        aqstrText[_iIndex] = GetLangText(QStringLiteral("IDS_Quorvane_Close"));
        apLang[_iIndex] = &CLS_Lang::Instance();
    };
    std::thread first(ask, 0);
    std::thread second(ask, 1);
    blGo = true;
    first.join();
    second.join();
    QVERIFY(apLang[0]);
    QCOMPARE(apLang[0], apLang[1]);
    QCOMPARE(aqstrText[0], QStringLiteral("关闭"));
    QCOMPARE(aqstrText[1], QStringLiteral("关闭"));
}

void TestLang::builtInTexts_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    auto row = [](const char* _pcTag, const char* _pcKey, const char* _pcText) {
        QTest::newRow(_pcTag) << QString::fromUtf8(_pcKey) << QString::fromUtf8(_pcText);
    };
    row("minimise", "IDS_Quorvane_Minimization", "最小化");
    row("maximise", "IDS_Quorvane_Maximization", "最大化");
    row("restore", "IDS_Quorvane_Recover", "还原");
    row("close", "IDS_Quorvane_Close", "关闭");
    row("unknown key", "IDS_Quorvane_NoSuchItem", "");
    row("empty key", "", "");
    row("key differs in case", "ids_quorvane_close", "");
    row("text is not a key", "关闭", "");
}

void TestLang::builtInTexts()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QCOMPARE(GetLangText(key), text);
}

QTEST_GUILESS_MAIN(TestLang)
#include "test_lang.moc"
