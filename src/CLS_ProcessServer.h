// Starting programs of the application folder, and the auto-start wish kept in the terminal
// service's settings file.
#pragma once

class CLS_ProcessServer
{
public:
    // Starts the program named _pcType in the application folder, detached, with the arguments
    // _pcType and _pcParam (UTF-8). True when it started.
    static bool WinStartUp(const char* _pcType, const char* _pcParam);

    // Records in "TerminalServerFile/AutoStartCfg.ini" whether the terminal service should start
    // this program at log-on. Always 0: the terminal service owns the file.
    static int WriteAutoStartCfg(bool _blAutoStart);
};
