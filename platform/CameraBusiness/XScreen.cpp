#include "XScreen.h"

#include "ChannelPlan.h"

#include <X11/Xlib.h>

#include <cstdlib>

STRUCT_XScreen XScreenOf(int _iScreen)
{
    STRUCT_XScreen stScreen;
    const char* pcDisplay = std::getenv("DISPLAY");
    stScreen.strDisplay =
        _iScreen == 0 ? std::string() : ScreenDisplayName(pcDisplay != nullptr ? pcDisplay : "", _iScreen);
    Display* pDisplay = XOpenDisplay(stScreen.strDisplay.empty() ? nullptr : stScreen.strDisplay.c_str());
    if (pDisplay == nullptr) {
        return stScreen;
    }
    const int iScreen = _iScreen == 0 ? DefaultScreen(pDisplay) : _iScreen;
    if (iScreen < ScreenCount(pDisplay)) {
        stScreen.iWidth = DisplayWidth(pDisplay, iScreen);
        stScreen.iHeight = DisplayHeight(pDisplay, iScreen);
    }
    XCloseDisplay(pDisplay);
    return stScreen;
}
