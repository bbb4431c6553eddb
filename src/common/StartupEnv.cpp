#include "StartupEnv.h"

#include <QFile>

#include <X11/Xlib.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int g_aiFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// Ready before any crash: a crash may come from inside malloc or the logging library's locks,
// so the handler only formats into its own buffer and calls write(2).
volatile sig_atomic_t g_iCrashFd = STDERR_FILENO;
long g_lUtcOffset = 0;

struct STRUCT_LineBuffer
{
    char acText[256] = {};
    std::size_t uiLen = 0;

    void Add(const char* _pcText)
    {
        while (*_pcText != '\0' && uiLen < sizeof(acText)) {
            acText[uiLen++] = *_pcText++;
        }
    }
    void AddNumber(long _lValue, int _iWidth = 1)
    {
        char acDigits[24] = {};
        int iCount = 0;
        unsigned long ulValue =
            _lValue < 0 ? 0UL - static_cast<unsigned long>(_lValue) : static_cast<unsigned long>(_lValue);
        do {
            acDigits[iCount++] = static_cast<char>('0' + ulValue % 10);
            ulValue /= 10;
        } while (ulValue != 0 || iCount < _iWidth);
        if (_lValue < 0) {
            Add("-");
        }
        while (iCount > 0 && uiLen < sizeof(acText)) {
            acText[uiLen++] = acDigits[--iCount];
        }
    }
};

// Local date and time as the log library writes them, by arithmetic alone (days to civil date).
void AddTimeStamp(STRUCT_LineBuffer& _structLine)
{
    timespec tsNow = {};
    clock_gettime(CLOCK_REALTIME, &tsNow);
    const long lSeconds = tsNow.tv_sec + g_lUtcOffset;
    const long lDays = lSeconds / 86400 - (lSeconds % 86400 < 0 ? 1 : 0);
    const long lOfDay = lSeconds - lDays * 86400;
    const long lShifted = lDays + 719468;
    const long lEra = (lShifted >= 0 ? lShifted : lShifted - 146096) / 146097;
    const long lDayOfEra = lShifted - lEra * 146097;
    const long lYearOfEra = (lDayOfEra - lDayOfEra / 1460 + lDayOfEra / 36524 - lDayOfEra / 146096) / 365;
    const long lDayOfYear = lDayOfEra - (365 * lYearOfEra + lYearOfEra / 4 - lYearOfEra / 100);
    const long lMonthIndex = (5 * lDayOfYear + 2) / 153;
    const long lDay = lDayOfYear - (153 * lMonthIndex + 2) / 5 + 1;
    const long lMonth = lMonthIndex < 10 ? lMonthIndex + 3 : lMonthIndex - 9;
    _structLine.AddNumber(lYearOfEra + lEra * 400 + (lMonth <= 2 ? 1 : 0), 4);
    _structLine.Add("-");
    _structLine.AddNumber(lMonth, 2);
    _structLine.Add("-");
    _structLine.AddNumber(lDay, 2);
    _structLine.Add(" ");
    _structLine.AddNumber(lOfDay / 3600, 2);
    _structLine.Add(":");
    _structLine.AddNumber(lOfDay / 60 % 60, 2);
    _structLine.Add(":");
    _structLine.AddNumber(lOfDay % 60, 2);
    _structLine.Add(".");
    _structLine.AddNumber(tsNow.tv_nsec / 1000000, 3);
}

void FatalSignalHandler(int _iSignal, siginfo_t* _pInfo, void*)
{
    STRUCT_LineBuffer structLine;
    AddTimeStamp(structLine);
    structLine.Add(" [");
    structLine.AddNumber(gettid());
    structLine.Add("] L4 StartupEnv.cpp:");
    structLine.AddNumber(__LINE__);
    structLine.Add(" !!!!!!!!!!! ExceptionCode=[");
    structLine.AddNumber(_iSignal);
    structLine.Add("] ExceptionFlags=[");
    structLine.AddNumber(_pInfo != nullptr ? _pInfo->si_code : 0);
    structLine.Add("]\n");
    const ssize_t iWritten = write(g_iCrashFd, structLine.acText, structLine.uiLen);
    static_cast<void>(iWritten);
    // The handler was reset on entry: the signal now takes its default action.
    raise(_iSignal);
}

} // namespace

void InstallCrashHandlers()
{
    const time_t tNow = time(nullptr);
    tm tmLocal = {};
    localtime_r(&tNow, &tmLocal);
    g_lUtcOffset = tmLocal.tm_gmtoff;

    struct sigaction action = {};
    action.sa_sigaction = FatalSignalHandler;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int iSignal : g_aiFatalSignals) {
        sigaction(iSignal, &action, nullptr);
    }
}

void SetCrashLogFolder(const QByteArray& _qbaFolder)
{
    // The log library names its file after the process name the kernel keeps.
    QFile qfileComm(QStringLiteral("/proc/self/comm"));
    if (!qfileComm.open(QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray qbaPath = _qbaFolder + qfileComm.readAll().trimmed() + ".log";
    const int iFd = open(qbaPath.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (iFd >= 0) {
        g_iCrashFd = iFd;
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
