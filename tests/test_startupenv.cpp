#include "common/StartupEnv.h"

#include <QtTest>

#include <cstdlib>

class TestStartupEnv : public QObject
{
    Q_OBJECT
private slots:
    void displaySizeFromX11();
    void noDisplayGivesZero_data();
    void noDisplayGivesZero();
};

void TestStartupEnv::displaySizeFromX11()
{
    // The test script starts an X server of this size; without one there is nothing to read.
    const QString qstrSize = qEnvironmentVariable("LUMACAST_XVFB_SIZE");
    if (qstrSize.isEmpty() || qEnvironmentVariableIsEmpty("DISPLAY")) {
        QSKIP("no X server of a known size (run through scripts/test.sh)");
    }
    const QStringList qstrlstSize = qstrSize.split(QLatin1Char('x'));
    QCOMPARE(PrimaryDisplaySize(), QSize(qstrlstSize.value(0).toInt(), qstrlstSize.value(1).toInt()));
}

void TestStartupEnv::noDisplayGivesZero_data()
{
    QTest::addColumn<QByteArray>("display");
    QTest::newRow("unset") << QByteArray();
    QTest::newRow("no server there") << QByteArray(":987");
}

void TestStartupEnv::noDisplayGivesZero()
{
    QFETCH(QByteArray, display);
    const QByteArray qbaOld = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        qunsetenv("DISPLAY");
    } else {
        qputenv("DISPLAY", display);
    }
    const QSize qsizeDisplay = PrimaryDisplaySize();
    qputenv("DISPLAY", qbaOld);
    QCOMPARE(qsizeDisplay, QSize(0, 0));
}

QTEST_GUILESS_MAIN(TestStartupEnv)
#include "test_startupenv.moc"
