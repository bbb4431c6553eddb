// The streaming library's C exports: each takes the lock, asks the state, journals and logs.
#include "CameraBusiness.h"

#include "CLS_CameraBusiness.h"
#include "ChanInfoJson.h"

#include <cstring>

namespace {

using Lock = std::lock_guard<std::mutex>;

CLS_CameraBusiness& Library()
{
    return CLS_CameraBusiness::Instance();
}

void AddText(CLS_JsonWriter& _json, const char* _pcKey, const char* _pcText)
{
    if (_pcText == nullptr) {
        _json.Null(_pcKey);
    } else {
        _json.Text(_pcKey, _pcText, strnlen(_pcText, CAMERA_BUSINESS_TEXT_SIZE));
    }
}

int SetChannelValue(const char* _pcCall, int _iChNo, const char* _pcKey, int _iValue,
                    const char* (CLS_CameraState::*_pSetter)(int, int))
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("chNo", _iChNo).Int(_pcKey, _iValue);
    return library.Finish(_pcCall, jsonArgs, (library.State().*_pSetter)(_iChNo, _iValue));
}

int SetChannelSize(const char* _pcCall, int _iChNo, int _iWidth, int _iHeight,
                   const char* (CLS_CameraState::*_pSetter)(int, int, int))
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("chNo", _iChNo).Int("width", _iWidth).Int("height", _iHeight);
    return library.Finish(_pcCall, jsonArgs, (library.State().*_pSetter)(_iChNo, _iWidth, _iHeight));
}

int ChannelCall(const char* _pcCall, int _iChNo, const char* (CLS_CameraState::*_pOperation)(int))
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("chNo", _iChNo);
    return library.Finish(_pcCall, jsonArgs, (library.State().*_pOperation)(_iChNo));
}

} // namespace

// The password stays out of the journal and the log: only its length is recorded.
int camera_business_register_user(const char* _pcUser, const char* _pcPassword)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    AddText(jsonArgs, "user", _pcUser);
    jsonArgs.Int(
        "passwordLength",
        _pcPassword == nullptr ? -1 : static_cast<int64_t>(strnlen(_pcPassword, CAMERA_BUSINESS_TEXT_SIZE)));
    return library.Finish("camera_business_register_user", jsonArgs,
                          library.State().RegisterUser(_pcUser, _pcPassword));
}

int camera_business_set_mess_callback(CameraMessCallback _pCallback, int32_t _iUser)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("callback", _pCallback == nullptr ? 0 : 1).Int("user", _iUser);
    return library.Finish("camera_business_set_mess_callback", jsonArgs,
                          library.State().SetMessCallback(_pCallback, _iUser), 0, -1);
}

int camera_business_enable_send_stream(int _iEnable)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("enable", _iEnable);
    return library.Finish("camera_business_enable_send_stream", jsonArgs,
                          library.State().EnableSendStream(_iEnable));
}

int camera_business_startup(int _iPort, int _iChannelCapacity)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("port", _iPort).Int("capacity", _iChannelCapacity);
    return library.Finish("camera_business_startup", jsonArgs,
                          library.State().Startup(_iPort, _iChannelCapacity));
}

// Blocks are journaled whenever they can be read safely (pointer given, count in range), also when
// the call is then refused, so the journal shows what the caller really handed over.
int camera_business_set_chan_info(const STRUCT_ChanInfo* _pChanInfo, int _iCount)
{
    static const char s_acCall[] = "camera_business_set_chan_info";
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    if (_pChanInfo != nullptr && _iCount >= 1 && _iCount <= CAMERA_BUSINESS_MAX_CHANNELS) {
        for (int i = 0; i < _iCount; ++i) {
            library.Journal().AppendBlock(s_acCall, i, _pChanInfo[i]);
        }
    }
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("blocks", _pChanInfo == nullptr ? 0 : 1).Int("count", _iCount);
    return library.Finish(s_acCall, jsonArgs, library.State().SetChanInfo(_pChanInfo, _iCount));
}

int camera_business_add_chan_info(const STRUCT_ChanInfo* _pChanInfo)
{
    static const char s_acCall[] = "camera_business_add_chan_info";
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("blocks", _pChanInfo == nullptr ? 0 : 1);
    if (_pChanInfo != nullptr) {
        library.Journal().AppendBlock(s_acCall, 0, *_pChanInfo);
        jsonArgs.Int("chNo", _pChanInfo->iChNo);
    }
    return library.Finish(s_acCall, jsonArgs, library.State().AddChanInfo(_pChanInfo));
}

int camera_business_set_disable(int _iChNo)
{
    return ChannelCall("camera_business_set_disable", _iChNo, &CLS_CameraState::SetDisable);
}

int camera_delete_collector_fd(int _iChNo)
{
    return ChannelCall("camera_delete_collector_fd", _iChNo, &CLS_CameraState::DeleteCollector);
}

int camera_business_set_video_quality(int _iChNo, int _iQuality)
{
    return SetChannelValue("camera_business_set_video_quality", _iChNo, "quality", _iQuality,
                           &CLS_CameraState::SetVideoQuality);
}

int camera_business_set_frame_rate(int _iChNo, int _iFrameRate)
{
    return SetChannelValue("camera_business_set_frame_rate", _iChNo, "frameRate", _iFrameRate,
                           &CLS_CameraState::SetFrameRate);
}

int camera_business_set_bit_rate(int _iChNo, int _iBitRate)
{
    return SetChannelValue("camera_business_set_bit_rate", _iChNo, "bitRate", _iBitRate,
                           &CLS_CameraState::SetBitRate);
}

int camera_business_set_video_size(int _iChNo, int _iWidth, int _iHeight)
{
    return SetChannelSize("camera_business_set_video_size", _iChNo, _iWidth, _iHeight,
                          &CLS_CameraState::SetVideoSize);
}

int camera_business_set_camera_size(int _iChNo, int _iWidth, int _iHeight)
{
    return SetChannelSize("camera_business_set_camera_size", _iChNo, _iWidth, _iHeight,
                          &CLS_CameraState::SetCameraSize);
}

int camera_business_set_collect_type(int _iChNo, int _iType)
{
    return SetChannelValue("camera_business_set_collect_type", _iChNo, "type", _iType,
                           &CLS_CameraState::SetCollectType);
}

int camera_business_set_audio_collect_info(int _iChNo, const char* _pcAudioName, int _iAudioEnctype,
                                           int _iChannels, int _iBits, int _iSampleRate, bool _blEnableAudio)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("chNo", _iChNo);
    AddText(jsonArgs, "audioName", _pcAudioName);
    jsonArgs.Int("audioEnctype", _iAudioEnctype)
        .Int("channels", _iChannels)
        .Int("bits", _iBits)
        .Int("sampleRate", _iSampleRate)
        .Int("enableAudio", _blEnableAudio ? 1 : 0);
    return library.Finish("camera_business_set_audio_collect_info", jsonArgs,
                          library.State().SetAudioCollectInfo(_iChNo, _pcAudioName, _iAudioEnctype,
                                                              _iChannels, _iBits, _iSampleRate,
                                                              _blEnableAudio));
}

int camera_business_cleanup(void)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    return library.Finish("camera_business_cleanup", CLS_JsonWriter(), library.State().Cleanup());
}
