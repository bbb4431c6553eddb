// The library's log lines, through the logging library, tagged with source file and line. Its
// own header: the library is built and shipped apart from the program.
#pragma once

#include "win32_libos.h"

#define LOG_EX(iLevel, ...) log_debug_ex((iLevel), __FILE__, __LINE__, __VA_ARGS__)

enum EnumLogLevel
{
    LOG_TRACE = 2,
    LOG_FILE = 3,
    LOG_FAIL = 4
};
