// What start-up needs from the system before the application object exists.
#pragma once

#include <QByteArray>
#include <QSize>

// One level-4 log line for a fatal signal, then the signal's default action. The line goes to
// standard error until SetCrashLogFolder names the log folder.
void InstallCrashHandlers();

// Opens the log file of _qbaFolder (ends with "/") for the fatal-signal line.
void SetCrashLogFolder(const QByteArray& _qbaFolder);

// The primary display's size in pixels, or 0 x 0 when there is no display.
QSize PrimaryDisplaySize();

// High-DPI scaling is for displays larger than full HD in both directions.
bool NeedHighDpiScaling(const QSize& _qsizeDisplay);
