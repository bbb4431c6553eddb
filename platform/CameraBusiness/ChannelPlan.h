// What one channel publishes, as the library's calls have set it: the last block, patched by the
// setters that came after it. A value type, copied to the server thread.
#pragma once

#include "CameraBusiness.h"

#include <string>

struct STRUCT_ChannelPlan
{
    bool blServed = false;                         // a block is present, enabled and not disabled since
    int iDevType = CAMERA_BUSINESS_DEVICE_DESKTOP; // desktop or camera
    std::string strDevice;                         // the camera's device identity
    int iDeskX = 0;
    int iDeskY = 0;
    // A desktop's X screen: the display to open and its size when the block came (0 x 0 unknown).
    std::string strDisplay;
    int iScreenWidth = 0;
    int iScreenHeight = 0;
    int iCaptureWidth = 0;
    int iCaptureHeight = 0;
    int iWidth = 0;
    int iHeight = 0;
    int iFrameRate = 0;
    int iBitRate = 0; // kbit/s
    int iKeyInterval = 0;
    int iCollectType = CAMERA_BUSINESS_COLLECT_YUV;
    bool blAudio = false;
    std::string strAudioName;
    // Raised when the channel's collector is deleted, so that the next client gets a new pipeline.
    int iGeneration = 0;
    // A desktop of a Wayland session: the PipeWire remote and node the ScreenCast portal gave for
    // its screen (no fd: captured from X11).
    int iCastFd = -1;
    unsigned uiCastNode = 0;
};

STRUCT_ChannelPlan PlanFromBlock(const STRUCT_ChanInfo& _stBlock);

// The frame rate served: the plan's, bounded.
int ServedFrameRate(const STRUCT_ChannelPlan& _stPlan);

// The encoder's bit rate in kbit/s: the plan's, bounded to what the encoder takes.
int EncoderBitRate(const STRUCT_ChannelPlan& _stPlan);

// True when going from _stOld to _stNew needs another pipeline; a bit rate alone does not.
bool NeedsNewPipeline(const STRUCT_ChannelPlan& _stOld, const STRUCT_ChannelPlan& _stNew);

// The X screen a desktop block names: its device identity ends in "@N" for X screen N > 0, as
// separate X screens without Xinerama are told apart; otherwise the screen DISPLAY names.
int XScreenNumber(const std::string& _strDevID);

// _strDisplay (a DISPLAY value) pointed at X screen _iScreen; empty stays empty (the default).
std::string ScreenDisplayName(const std::string& _strDisplay, int _iScreen);

// The desktop rectangle to capture as left, top, right, bottom (inclusive), inside the X screen
// when its size is known: a rectangle past its edge would make the capture take the whole screen.
struct STRUCT_Area
{
    int iLeft = 0;
    int iTop = 0;
    int iRight = 0;
    int iBottom = 0;
};
STRUCT_Area DesktopArea(const STRUCT_ChannelPlan& _stPlan);

// The GStreamer launch line of a served channel. Only numbers and fixed names go into it; the
// device names are set as properties of the elements named "src" and "asrc" once they exist.
// _strCameraSource names the camera's source element (v4l2src normally). The audio, captured
// apart, comes in through "asrc", an interaudiosrc.
std::string LaunchLine(const STRUCT_ChannelPlan& _stPlan, const std::string& _strCameraSource);
