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
    return std::tie(_st.blServed, _st.iDevType, _st.strDevice, _st.iDeskX, _st.iDeskY, _st.iCaptureWidth,
                    _st.iCaptureHeight, _st.iWidth, _st.iHeight, _st.iFrameRate, _st.iKeyInterval,
                    _st.iCollectType, _st.blAudio, _st.strAudioName, _st.iGeneration);
}

} // namespace

STRUCT_ChannelPlan PlanFromBlock(const STRUCT_ChanInfo& _stBlock)
{
    STRUCT_ChannelPlan stPlan;
    stPlan.blServed = _stBlock.ucEnable != 0;
    stPlan.iDevType = _stBlock.iCollectDevType == 0 ? 0 : 1;
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

std::string LaunchLine(const STRUCT_ChannelPlan& _stPlan, const std::string& _strCameraSource,
                       const std::string& _strAudioSource)
{
    // A block may carry zeros where the page had no value: fall back to the capture size, then to
    // the library's defaults, rather than refuse to serve.
    const int iCaptureWidth = Size(_stPlan.iCaptureWidth > 0 ? _stPlan.iCaptureWidth : _stPlan.iWidth);
    const int iCaptureHeight = Size(_stPlan.iCaptureHeight > 0 ? _stPlan.iCaptureHeight : _stPlan.iHeight);
    const int iWidth = Even(Size(OrDefault(_stPlan.iWidth, OrDefault(iCaptureWidth, g_iFallbackWidth))));
    const int iHeight = Even(Size(OrDefault(_stPlan.iHeight, OrDefault(iCaptureHeight, g_iFallbackHeight))));
    const int iFrameRate = std::min(OrDefault(_stPlan.iFrameRate, g_iDefaultFrameRate), g_iMaxFrameRate);
    const std::string strRate = std::to_string(iFrameRate) + "/1";

    std::string strLine;
    if (_stPlan.iDevType == 0) {
        const int iLeft = std::clamp(_stPlan.iDeskX, 0, g_iMaxCoordinate);
        const int iTop = std::clamp(_stPlan.iDeskY, 0, g_iMaxCoordinate);
        const int iRight = iLeft + OrDefault(iCaptureWidth, iWidth) - 1;
        const int iBottom = iTop + OrDefault(iCaptureHeight, iHeight) - 1;
        // Our own capture, not ximagesrc, which grabs the X server for every frame (DesktopSource.h);
        // it sends a still screen as one frame every 500 ms.
        strLine = "lumadesktopsrc name=src show-pointer=true startx=" + std::to_string(iLeft) +
                  " starty=" + std::to_string(iTop) + " endx=" + std::to_string(iRight) +
                  " endy=" + std::to_string(iBottom) + " ! video/x-raw,framerate=" + strRate;
    } else {
        strLine = _strCameraSource + " name=src ! ";
        switch (_stPlan.iCollectType) {
        case 0:
            strLine += Caps("image/jpeg", iCaptureWidth, iCaptureHeight) + " ! jpegdec";
            break;
        case 2:
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
        strLine += " " + _strAudioSource +
                   " name=asrc ! queue ! audioconvert ! audioresample ! audio/x-raw,rate=8000,channels=1"
                   " ! alawenc ! rtppcmapay name=pay1 pt=8";
    }
    return "( " + strLine + " )";
}
