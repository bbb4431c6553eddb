#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "OrbApplication.h"
#include "common/StartupEnv.h"

#include <QDebug>

#include <memory>

int main(int argc, char* argv[])
{
    InstallCrashHandlers();
    const QSize qsizeDisplay = PrimaryDisplaySize();
    qDebug() << "LLLLLLLLLLLLL gaofenbianlv   qx=" << qsizeDisplay.width()
             << "    qy=" << qsizeDisplay.height();
    if (NeedHighDpiScaling(qsizeDisplay)) {
        QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    }

    auto pApp = std::make_unique<OrbApplication>(argc, argv);
    if (!pApp->ParseStartParam()) {
        qDebug() << "Init fail";
        return -1;
    }
    // The channel page publishes the channels; it stays hidden and goes before the application.
    auto pChanSet = std::make_unique<CLS_WgtChanSet>();
    pChanSet->InitChanSet();
    return pApp->exec();
}
