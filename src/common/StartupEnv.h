// What start-up needs from the system before the application object exists.
#pragma once

#include <QSize>

// One level-4 log line for a fatal signal, then the signal's default action.
void InstallCrashHandlers();

// The primary display's size in pixels, or 0 x 0 when there is no display.
QSize PrimaryDisplaySize();

// High-DPI scaling is for displays larger than full HD in both directions.
bool NeedHighDpiScaling(const QSize& _qsizeDisplay);
