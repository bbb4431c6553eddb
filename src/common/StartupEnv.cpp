#include "StartupEnv.h"

#include "Log.h"

#include <X11/Xlib.h>

#include <csignal>
#include <cstdlib>

namespace {

const int g_aiFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void FatalSignalHandler(int _iSignal, siginfo_t* _pInfo, void*)
{
    LOG_EX(LOG_FAIL, "!!!!!!!!!!! ExceptionCode=[%d] ExceptionFlags=[%d]", _iSignal,
           _pInfo != nullptr ? _pInfo->si_code : 0);
    std::signal(_iSignal, SIG_DFL);
    std::raise(_iSignal);
}

} // namespace

void InstallCrashHandlers()
{
    struct sigaction action = {};
    action.sa_sigaction = FatalSignalHandler;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int iSignal : g_aiFatalSignals) {
        sigaction(iSignal, &action, nullptr);
    }
}

QSize PrimaryDisplaySize()
{
    if (std::getenv("DISPLAY") == nullptr) {
        return QSize(0, 0);
    }
    Display* pDisplay = XOpenDisplay(nullptr);
    if (pDisplay == nullptr) {
        return QSize(0, 0);
    }
    const int iScreen = DefaultScreen(pDisplay);
    const QSize qsizeDisplay(DisplayWidth(pDisplay, iScreen), DisplayHeight(pDisplay, iScreen));
    XCloseDisplay(pDisplay);
    return qsizeDisplay;
}

bool NeedHighDpiScaling(const QSize& _qsizeDisplay)
{
    return _qsizeDisplay.width() > 1920 && _qsizeDisplay.height() > 1080;
}
