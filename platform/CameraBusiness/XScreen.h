// The X screen a desktop channel captures, asked of the X server when the channel's block comes.
#pragma once

#include <string>

struct STRUCT_XScreen
{
    std::string strDisplay; // the display name to open; empty for the default
    int iWidth = 0;         // 0 x 0 when the screen cannot be reached
    int iHeight = 0;
};

// X screen _iScreen of the display that DISPLAY names.
STRUCT_XScreen XScreenOf(int _iScreen);
