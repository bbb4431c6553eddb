// Writing the settings file as every writer does: the whole object, 16 channel records.
#include "common/PublicCommonFun.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

class BenchSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void writeSixteenChannels();
    void readChangeWriteSixteenChannels();

private:
    QTemporaryDir m_qtempDir;
    QString m_qstrPath;
    QJsonObject m_qjsonConfig;
};

void BenchSettings::initTestCase()
{
    QJsonArray qjsonArrChannels;
    for (int iChNo = 0; iChNo < 16; ++iChNo) {
        const bool blDesktop = iChNo < 4;
        QJsonObject qjsonChannel{
            {QStringLiteral("chNo"), iChNo},
            {QStringLiteral("chName"),
             blDesktop ? QStringLiteral("桌面%1").arg(iChNo + 1) : QStringLiteral("USB Camera")},
            {QStringLiteral("collectDevName"), QStringLiteral("USB 2.0 HD UVC WebCam")},
            {QStringLiteral("collectDevType"), blDesktop ? 0 : 1},
            {QStringLiteral("devID"),
             QStringLiteral("usb-Generic_USB_2.0_HD_UVC_WebCam_0001-video-index%1").arg(iChNo)},
            {QStringLiteral("enable"), true},
            {QStringLiteral("videoWidth"), 1920},
            {QStringLiteral("videoHeight"), 1080},
            {QStringLiteral("videoQuality"), 0},
            {QStringLiteral("videoIFrameInterval"), 10},
            {QStringLiteral("videoFrameRate"), 10},
            {QStringLiteral("videoBitRate"), 2048},
            {QStringLiteral("videoEncodeType"), 0},
            {QStringLiteral("collectType"), 1},
            {QStringLiteral("decodeType"), 0},
            {QStringLiteral("handle"), blDesktop ? -1 : 0},
            {QStringLiteral("isCollectTrans"), false},
            {QStringLiteral("deskPosX"), 0},
            {QStringLiteral("deskPosY"), 0},
            {QStringLiteral("desktopIndex"), iChNo},
            {QStringLiteral("audioName"), QStringLiteral("mic")},
            {QStringLiteral("audioSample"), 44100},
            {QStringLiteral("audioBit"), 16},
            {QStringLiteral("audioChs"), 2},
            {QStringLiteral("audioEnctype"), 1},
            {QStringLiteral("enableAudio"), false},
        };
        QJsonArray qjsonArrSizes;
        for (const QSize& qsize : {QSize(640, 480), QSize(1280, 720), QSize(1920, 1080)}) {
            qjsonArrSizes.append(QJsonObject{{QStringLiteral("width"), qsize.width()},
                                             {QStringLiteral("height"), qsize.height()}});
        }
        qjsonChannel.insert(QStringLiteral("resolutionRatio"), qjsonArrSizes);
        qjsonChannel.insert(
            QStringLiteral("videoFormat"),
            QJsonArray{QJsonObject{{QStringLiteral("type"), 0}}, QJsonObject{{QStringLiteral("type"), 1}}});
        qjsonArrChannels.append(qjsonChannel);
    }
    m_qjsonConfig = QJsonObject{
        {QStringLiteral("hostInfo"),
         QJsonObject{{QStringLiteral("port"), 8000}, {QStringLiteral("user"), QStringLiteral("dXNlcg==")}}},
        {QStringLiteral("skin"), QStringLiteral("skinOne")},
        {QStringLiteral("chInfo"), qjsonArrChannels}};
    m_qstrPath = m_qtempDir.filePath(QStringLiteral("lumacast.json"));
    QVERIFY(WriteJsonFile(m_qjsonConfig, m_qstrPath));
}

void BenchSettings::writeSixteenChannels()
{
    QBENCHMARK
    {
        WriteJsonFile(m_qjsonConfig, m_qstrPath);
    }
}

void BenchSettings::readChangeWriteSixteenChannels()
{
    QBENCHMARK
    {
        QJsonObject qjsonConfig = ReadJsonFile(m_qstrPath);
        qjsonConfig.insert(QStringLiteral("skin"), QStringLiteral("skinTwo"));
        WriteJsonFile(qjsonConfig, m_qstrPath);
    }
}

QTEST_GUILESS_MAIN(BenchSettings)
#include "bench_settings.moc"
