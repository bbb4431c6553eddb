// The freedesktop autostart entry ("$XDG_CONFIG_HOME/autostart/lumacast.desktop") that starts
// this program's executable at log-in, so start at power-on works without the terminal service.
#pragma once

#include <QString>

// Where the entry lives: $XDG_CONFIG_HOME, or ~/.config when that is unset or relative.
QString AutoStartEntryPath();

// Writes the entry, or removes it; false, with one log line, when that fails.
bool WriteAutoStartEntry(bool _blAutoStart);
