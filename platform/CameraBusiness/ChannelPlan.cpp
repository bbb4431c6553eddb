#include "ChannelPlan.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

const int g_iDefaultFrameRate = 10;
const int g_iDefaultBitRate = 2048;
const int g_iFallbackWidth = 640;
const int g_iFallbackHeight = 480;
// Blocks come from outside: every number is bounded before it goes into a launch line, so that no
// sum overflows and no element is handed a value it refuses.
const int g_iMaxSize = 8192;
const int g_iMaxCoordinate = 32767;
const int g_iMaxFrameRate = 60;
const int g_iMaxEncoderBitRate = 2048000;

std::string Text(const char (&_acField)[CAMERA_BUSINESS_TEXT_SIZE])
{
    return std::string(_acField, strnlen(_acField, sizeof(_acField)));
}

int OrDefault(int _iValue, int _iDefault)
{
    return _iValue > 0 ? _iValue : _iDefault;
}

int Size(int _iValue)
{
    return std::min(_iValue, g_iMaxSize);
}

// H.264 in 4:2:0 needs even sizes.
int Even(int _iValue)
{
    return _iValue & ~1;
}

std::string Caps(const char* _pcMedia, int _iWidth, int _iHeight)
{
    std::string strCaps = _pcMedia;
    if (_iWidth > 0 && _iHeight > 0) {
        strCaps += ",width=" + std::to_string(_iWidth) + ",height=" + std::to_string(_iHeight);
    }
    return strCaps;
}

auto PipelineKey(const STRUCT_ChannelPlan& _st)
{
    return std::tie(_st.blServed, _st.iDevType, _st.strDevice, _st.iDeskX, _st.iDeskY, _st.strDisplay,
                    _st.iScreenWidth, _st.iScreenHeight, _st.iCaptureWidth, _st.iCaptureHeight, _st.iWidth,
                    _st.iHeight, _st.iFrameRate, _st.iKeyInterval, _st.iCollectType, _st.blAudio,
                    _st.strAudioName, _st.iGeneration, _st.iCastFd, _st.uiCastNode);
}

// A screen cast delivers frames only when the screen changes, at a rate of its own, and sends the
// last one again after a while: brought to the channel's rate before "src", where the still frames
// are dropped as those of any desktop.
std::string WaylandDesktopSource(const STRUCT_ChannelPlan& _stPlan, const std::string& _strRate)
{
    return "pipewiresrc name=cast fd=" + std::to_string(_stPlan.iCastFd) +
           " path=" + std::to_string(_stPlan.uiCastNode) +
           " do-timestamp=true keepalive-time=500 ! videorate ! video/x-raw,framerate=" + _strRate +
           " ! identity name=src";
}

} // namespace

int XScreenNumber(const std::string& _strDevID)
{
    const size_t uiAt = _strDevID.rfind('@');
    if (uiAt == std::string::npos || uiAt + 1 == _strDevID.size() || _strDevID.size() - uiAt > 3) {
        return 0;
    }
    int iScreen = 0;
    for (size_t i = uiAt + 1; i < _strDevID.size(); ++i) {
        if (_strDevID[i] < '0' || _strDevID[i] > '9') {
            return 0;
        }
        iScreen = iScreen * 10 + (_strDevID[i] - '0');
    }
    return iScreen;
}

std::string ScreenDisplayName(const std::string& _strDisplay, int _iScreen)
{
    if (_strDisplay.empty()) {
        return _strDisplay;
    }
    const size_t uiColon = _strDisplay.rfind(':');
    const size_t uiDot = _strDisplay.find('.', uiColon == std::string::npos ? 0 : uiColon);
    return _strDisplay.substr(0, uiDot) + "." + std::to_string(_iScreen);
}

STRUCT_ChannelPlan PlanFromBlock(const STRUCT_ChanInfo& _stBlock)
{
    STRUCT_ChannelPlan stPlan;
    stPlan.blServed = _stBlock.ucEnable != 0;
    stPlan.iDevType = _stBlock.iCollectDevType == CAMERA_BUSINESS_DEVICE_DESKTOP
                          ? CAMERA_BUSINESS_DEVICE_DESKTOP
                          : CAMERA_BUSINESS_DEVICE_CAMERA;
    stPlan.strDevice = Text(_stBlock.szDevID);
    stPlan.iDeskX = _stBlock.iDeskPosX;
    stPlan.iDeskY = _stBlock.iDeskPosY;
    stPlan.iCaptureWidth = _stBlock.iCameraWidth;
    stPlan.iCaptureHeight = _stBlock.iCameraHeight;
    stPlan.iWidth = _stBlock.iVideoWidth;
    stPlan.iHeight = _stBlock.iVideoHeight;
    stPlan.iFrameRate = _stBlock.iVideoFrameRate;
    stPlan.iBitRate = _stBlock.iVideoBitRate;
    stPlan.iKeyInterval = _stBlock.iVideoIFrameInterval;
    stPlan.iCollectType = _stBlock.iCollectType;
    stPlan.blAudio = _stBlock.ucEnableAudio != 0;
    stPlan.strAudioName = Text(_stBlock.szAudioName);
    return stPlan;
}

int ServedFrameRate(const STRUCT_ChannelPlan& _stPlan)
{
    return std::min(OrDefault(_stPlan.iFrameRate, g_iDefaultFrameRate), g_iMaxFrameRate);
}

int EncoderBitRate(const STRUCT_ChannelPlan& _stPlan)
{
    return std::min(OrDefault(_stPlan.iBitRate, g_iDefaultBitRate), g_iMaxEncoderBitRate);
}

bool NeedsNewPipeline(const STRUCT_ChannelPlan& _stOld, const STRUCT_ChannelPlan& _stNew)
{
    if (!_stOld.blServed && !_stNew.blServed) {
        return false;
    }
    return PipelineKey(_stOld) != PipelineKey(_stNew);
}

STRUCT_Area DesktopArea(const STRUCT_ChannelPlan& _stPlan)
{
    const int iWidth = Size(OrDefault(_stPlan.iCaptureWidth, OrDefault(_stPlan.iWidth, g_iFallbackWidth)));
    const int iHeight =
        Size(OrDefault(_stPlan.iCaptureHeight, OrDefault(_stPlan.iHeight, g_iFallbackHeight)));
    const int iScreenRight = _stPlan.iScreenWidth > 0 ? _stPlan.iScreenWidth - 1 : g_iMaxCoordinate;
    const int iScreenBottom = _stPlan.iScreenHeight > 0 ? _stPlan.iScreenHeight - 1 : g_iMaxCoordinate;
    STRUCT_Area stArea;
    stArea.iLeft = std::clamp(_stPlan.iDeskX, 0, iScreenRight);
    stArea.iTop = std::clamp(_stPlan.iDeskY, 0, iScreenBottom);
    stArea.iRight = std::min(stArea.iLeft + iWidth - 1, iScreenRight);
    stArea.iBottom = std::min(stArea.iTop + iHeight - 1, iScreenBottom);
    return stArea;
}

std::string LaunchLine(const STRUCT_ChannelPlan& _stPlan, const std::string& _strCameraSource)
{
    // A block may carry zeros where the page had no value: fall back to the capture size, then to
    // the library's defaults, rather than refuse to serve.
    const int iCaptureWidth = Size(_stPlan.iCaptureWidth > 0 ? _stPlan.iCaptureWidth : _stPlan.iWidth);
    const int iCaptureHeight = Size(_stPlan.iCaptureHeight > 0 ? _stPlan.iCaptureHeight : _stPlan.iHeight);
    const int iWidth = Even(Size(OrDefault(_stPlan.iWidth, OrDefault(iCaptureWidth, g_iFallbackWidth))));
    const int iHeight = Even(Size(OrDefault(_stPlan.iHeight, OrDefault(iCaptureHeight, g_iFallbackHeight))));
    const int iFrameRate = ServedFrameRate(_stPlan);
    const std::string strRate = std::to_string(iFrameRate) + "/1";

    std::string strLine;
    if (_stPlan.iDevType == CAMERA_BUSINESS_DEVICE_DESKTOP && _stPlan.iCastFd >= 0) {
        strLine = WaylandDesktopSource(_stPlan, strRate);
    } else if (_stPlan.iDevType == CAMERA_BUSINESS_DEVICE_DESKTOP) {
        const STRUCT_Area stArea = DesktopArea(_stPlan);
        // Our own capture, not ximagesrc, which grabs the X server for every frame (DesktopSource.h).
        // The display goes into the line, not in as a property later: linking the line asks the
        // source for its caps, which opens the display named by then. It is a DISPLAY value with
        // a screen number, and only such characters pass.
        const bool blOwnDisplay =
            !_stPlan.strDisplay.empty() &&
            _stPlan.strDisplay.find_first_not_of(
                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.:-_/") == std::string::npos;
        strLine = std::string("lumadesktopsrc name=src") +
                  (blOwnDisplay ? " display-name=" + _stPlan.strDisplay : "") +
                  " show-pointer=true startx=" + std::to_string(stArea.iLeft) +
                  " starty=" + std::to_string(stArea.iTop) + " endx=" + std::to_string(stArea.iRight) +
                  " endy=" + std::to_string(stArea.iBottom) + " ! video/x-raw,framerate=" + strRate;
    } else {
        strLine = _strCameraSource + " name=src ! ";
        switch (_stPlan.iCollectType) {
        case CAMERA_BUSINESS_COLLECT_MJPEG:
            strLine += Caps("image/jpeg", iCaptureWidth, iCaptureHeight) + " ! jpegdec";
            break;
        case CAMERA_BUSINESS_COLLECT_H264:
            strLine += Caps("video/x-h264", iCaptureWidth, iCaptureHeight) + " ! h264parse ! avdec_h264";
            break;
        default:
            strLine += Caps("video/x-raw", iCaptureWidth, iCaptureHeight);
            break;
        }
        strLine += " ! videorate";
    }
    // Parameter sets go with every key frame from h264parse, not per slice from the payloader,
    // which damages key frames that the encoder cut into slices.
    strLine += " ! videoconvert ! videoscale ! video/x-raw,format=I420,width=" + std::to_string(iWidth) +
               ",height=" + std::to_string(iHeight) + ",pixel-aspect-ratio=1/1,framerate=" + strRate +
               " ! x264enc name=enc tune=zerolatency speed-preset=veryfast bitrate=" +
               std::to_string(EncoderBitRate(_stPlan)) +
               " key-int-max=" + std::to_string(OrDefault(_stPlan.iKeyInterval, iFrameRate)) +
               " ! video/x-h264,profile=constrained-baseline ! h264parse config-interval=-1"
               " ! rtph264pay name=pay0 pt=96 config-interval=0";
    if (_stPlan.blAudio) {
        strLine +=
            " interaudiosrc name=asrc ! audioconvert ! audioresample ! audio/x-raw,rate=8000,channels=1"
            " ! alawenc ! rtppcmapay name=pay1 pt=8";
    }
    return "( " + strLine + " )";
}
