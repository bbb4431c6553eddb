#include "CLS_WgtMainWindow.h"
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
    // Qt would abort with a crash report: say what is wrong instead. A Wayland session without
    // XWayland has no X display, and Qt's Wayland platform serves it.
    if (qsizeDisplay.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
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
    // Destroyed before the application object: it stops the device watcher, which uses the registry.
    auto pMainWindow = std::make_unique<CLS_WgtMainWindow>();
    pMainWindow->ShowAtStart(!pApp->IsHideTasker() && pApp->IsShowMainWindow());
    pApp->StartPlatformLink();
    return pApp->exec();
}
