// One log line through the logging library, tagged with the caller's source file and line.
// The format must be a literal; outside text always goes in as a "%s" argument.
#pragma once

#include "win32_libos.h"

#define LOG_EX(iLevel, ...) log_debug_ex((iLevel), __FILE__, __LINE__, __VA_ARGS__)

enum EnumLogLevel
{
    LOG_TRACE = 2,
    LOG_FILE = 3,
    LOG_FAIL = 4
};
