// The language table through the outside component: the test component libraries sit in this
// test's own folder, which is the program folder the table looks in.
#include "lang/CLS_Lang.h"

#include <QtTest>

#include <atomic>
#include <thread>

namespace {

int CallCounter(const char* _pcLibrary, const char* _pcFunction)
{
    using PFN_Counter = int (*)();
    const auto pfnCounter = reinterpret_cast<PFN_Counter>(
        QLibrary::resolve(QCoreApplication::applicationDirPath() + "/" + _pcLibrary, _pcFunction));
    return pfnCounter ? pfnCounter() : -1000;
}

} // namespace

class TestLangComponent : public QObject
{
    Q_OBJECT
private slots:
    // Must run first: it makes the process's instance.
    void concurrentFirstCalls_makeOneComponent()
    {
        QCOMPARE(CallCounter("libcommbusi.so", "OrbTestComponentsMade"), 0);
        std::atomic<bool> blGo{false};
        QString aqstrText[2];
        auto ask = [&](int _iIndex) {
            while (!blGo) {
                std::this_thread::yield();
            }
            aqstrText[_iIndex] = GetLangText(QStringLiteral("IDS_Quorvane_Recover"));
        };
        std::thread first(ask, 0);
        std::thread second(ask, 1);
        blGo = true;
        first.join();
        second.join();
        QCOMPARE(CallCounter("libcommbusi.so", "OrbTestComponentsMade"), 1);
        QCOMPARE(aqstrText[0], QStringLiteral("还原"));
        QCOMPARE(aqstrText[1], QStringLiteral("还原"));
        // The program gave back the writer's reference it took while filling, and every parameter
        // object it asked for.
        QCOMPARE(CallCounter("libcommbusi.so", "OrbTestWriterRefsAfterFill"), 1);
        QCOMPARE(CallCounter("libOrbBase.so", "OrbTestLiveParams"), 0);
    }
    void componentTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("filled by the program") << "IDS_Quorvane_Close"
                                               << "关闭";
        QTest::newRow("only the component knows it") << "IDS_TestComponent_Probe"
                                                     << "组件文本";
        QTest::newRow("nobody knows it") << "IDS_Quorvane_NoSuchItem"
                                         << "";
        QTest::newRow("empty key") << ""
                                   << "";
    }
    void componentTexts()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        const int iQueriesBefore = CallCounter("libOrbBase.so", "OrbTestNeedBufferAnswers");
        QCOMPARE(GetLangText(key), text);
        // The component asks the key's length, the program a found text's length, both first
        // with 0x80004000.
        QCOMPARE(CallCounter("libOrbBase.so", "OrbTestNeedBufferAnswers") - iQueriesBefore,
                 text.isEmpty() ? 1 : 2);
        // Found or not, the parameter object is released.
        QCOMPARE(CallCounter("libOrbBase.so", "OrbTestLiveParams"), 0);
    }
};

QTEST_GUILESS_MAIN(TestLangComponent)
#include "test_lang_component.moc"
