// Logging and OS library interface (plain C exports).
#pragma once

#if defined(WIN32_LIBOS_BUILD)
#define WIN32_LIBOS_API __attribute__((visibility("default")))
#else
#define WIN32_LIBOS_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Sets the folder (UTF-8, ends with "/") that receives the log files; call once before any line.
WIN32_LIBOS_API int log_set_path(const char* _pcPath);

// Writes one log line. _pcFormat is a printf format and must be a literal of the caller's.
WIN32_LIBOS_API int log_debug_ex(int _iLevel, const char* _pcFile, int _iLine, const char* _pcFormat, ...)
    __attribute__((format(printf, 4, 5)));

// Sleeps the calling thread.
WIN32_LIBOS_API void os_sleep(int _iMilliseconds);

#ifdef __cplusplus
}
#endif
