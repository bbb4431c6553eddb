#include "CLS_WebSocketWidget.h"
#include "CLS_WgtChanSet/CLS_WgtChanSet.h"
#include "OrbApplication.h"
#include "common/StartupEnv.h"

#include <QDebug>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    InstallCrashHandlers();
    const QSize qsizeDisplay = PrimaryDisplaySize();
    qDebug() << "LLLLLLLLLLLLL gaofenbianlv   qx=" << qsizeDisplay.width()
             << "    qy=" << qsizeDisplay.height();
    // Qt would abort with a crash report: say what is wrong instead.
    if (qsizeDisplay.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "Lumacast: cannot open the X display \"%s\". Start it in a desktop session, or "
                     "set QT_QPA_PLATFORM=offscreen to run without windows.\n",
                     qgetenv("DISPLAY").constData());
        return 1;
    }
    if (NeedHighDpiScaling(qsizeDisplay)) {
        QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    }

    auto pApp = std::make_unique<OrbApplication>(argc, argv);
    if (!pApp->ParseStartParam()) {
        qDebug() << "Init fail";
        return -1;
    }
    // Until the main window exists, start-up itself holds the channel page, hidden, so the
    // channels are published; it goes before the application object.
    auto pChanSet = std::make_unique<CLS_WgtChanSet>();
    pChanSet->InitChanSet();

    // Likewise it tells the launching platform client that the program is up once the login is
    // accepted, as the main window's login slot will.
    CLS_WebSocketWidget* pLink = pApp->GetPlatformLink();
    QObject::connect(pLink, &CLS_WebSocketWidget::SignLoginSuccess, pLink,
                     [pLink](const QString& _qstrMsg) { pLink->RespondStartRequest(0, _qstrMsg); });
    pApp->StartPlatformLink();
    return pApp->exec();
}
