// Logging and OS library: one line per call, time-stamped, thread-safe, flushed per line and
// rotated by size and count.
#define WIN32_LIBOS_BUILD
#include "win32_libos.h"

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::size_t g_uiMaxFileBytes = 5 * 1024 * 1024;
const std::size_t g_uiMaxFiles = 5;

std::mutex g_mutexLogger;
std::shared_ptr<spdlog::logger> g_pLogger;

std::shared_ptr<spdlog::logger> MakeLogger(spdlog::sink_ptr _pSink)
{
    auto pLogger = std::make_shared<spdlog::logger>("win32_libos", std::move(_pSink));
    pLogger->set_pattern("%Y-%m-%d %H:%M:%S.%e [%t] %v");
    pLogger->set_level(spdlog::level::trace);
    pLogger->flush_on(spdlog::level::trace);
    return pLogger;
}

std::shared_ptr<spdlog::logger> CurrentLogger()
{
    std::lock_guard<std::mutex> lock(g_mutexLogger);
    if (!g_pLogger) {
        // Lines before the path is set go to standard error rather than being lost.
        g_pLogger = MakeLogger(std::make_shared<spdlog::sinks::stderr_sink_mt>());
    }
    return g_pLogger;
}

std::string ProgramName()
{
    std::FILE* pFile = std::fopen("/proc/self/comm", "r");
    char acName[64] = {};
    if (pFile != nullptr) {
        if (std::fgets(acName, sizeof(acName), pFile) == nullptr) {
            acName[0] = '\0';
        }
        std::fclose(pFile);
    }
    std::string strName(acName);
    while (!strName.empty() && (strName.back() == '\n' || strName.back() == '\r')) {
        strName.pop_back();
    }
    return strName.empty() ? std::string("program") : strName;
}

const char* BaseName(const char* _pcPath)
{
    const char* pcBase = _pcPath;
    for (const char* pc = _pcPath; *pc != '\0'; ++pc) {
        if (*pc == '/' || *pc == '\\') {
            pcBase = pc + 1;
        }
    }
    return pcBase;
}

} // namespace

int log_set_path(const char* _pcPath)
{
    if (_pcPath == nullptr || *_pcPath == '\0') {
        return 0;
    }
    std::string strFile(_pcPath);
    if (strFile.back() != '/') {
        strFile += '/';
    }
    strFile += ProgramName() + ".log";
    // Programs the caller starts (a restart, a relaunch) must not inherit the log file.
    spdlog::file_event_handlers handlers;
    handlers.after_open = [](const spdlog::filename_t&, std::FILE* _pFile) {
        ::fcntl(::fileno(_pFile), F_SETFD, FD_CLOEXEC);
    };
    try {
        auto pLogger = MakeLogger(std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            strFile, g_uiMaxFileBytes, g_uiMaxFiles, false, handlers));
        std::lock_guard<std::mutex> lock(g_mutexLogger);
        g_pLogger = std::move(pLogger);
    } catch (const spdlog::spdlog_ex& ex) {
        std::fprintf(stderr, "log_set_path: %s\n", ex.what());
        return 0;
    }
    return 1;
}

int log_debug_ex(int _iLevel, const char* _pcFile, int _iLine, const char* _pcFormat, ...)
{
    if (_pcFormat == nullptr) {
        return 0;
    }
    va_list args;
    va_start(args, _pcFormat);
    va_list argsCopy;
    va_copy(argsCopy, args);
    const int iNeed = std::vsnprintf(nullptr, 0, _pcFormat, argsCopy);
    va_end(argsCopy);
    std::vector<char> vecText(iNeed > 0 ? static_cast<std::size_t>(iNeed) + 1 : 1, '\0');
    if (iNeed > 0) {
        std::vsnprintf(vecText.data(), vecText.size(), _pcFormat, args);
    }
    va_end(args);

    std::string strText(vecText.data());
    while (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r')) {
        strText.pop_back();
    }
    CurrentLogger()->info("L{} {}:{} {}", _iLevel, _pcFile != nullptr ? BaseName(_pcFile) : "?", _iLine,
                          strText);
    return 1;
}

void os_sleep(int _iMilliseconds)
{
    if (_iMilliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(_iMilliseconds));
    }
}
