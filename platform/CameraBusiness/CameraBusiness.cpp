// The streaming library's C exports: each takes the lock, asks the state, journals and logs.
#include "CameraBusiness.h"

#include "CLS_CameraBusiness.h"
#include "ChanInfoJson.h"

#include <cstring>
#include <functional>

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

// After an accepted channel call, the channel's plan takes the change and goes to the server.
const char* Follow(CLS_CameraBusiness& _library, int _iChNo, const char* _pcRefused,
                   const std::function<void(STRUCT_ChannelPlan&)>& _patch)
{
    if (_pcRefused == nullptr) {
        _patch(_library.Plan(_iChNo));
        _library.Publish(_iChNo);
    }
    return _pcRefused;
}

int SetChannelValue(const char* _pcCall, int _iChNo, const char* _pcKey, int _iValue,
                    const char* (CLS_CameraState::*_pSetter)(int, int), int STRUCT_ChannelPlan::*_pField)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("chNo", _iChNo).Int(_pcKey, _iValue);
    const char* pcRefused = Follow(library, _iChNo, (library.State().*_pSetter)(_iChNo, _iValue),
                                   [&](STRUCT_ChannelPlan& _stPlan) {
                                       if (_pField != nullptr) {
                                           _stPlan.*_pField = _iValue;
                                       }
                                   });
    return library.Finish(_pcCall, jsonArgs, pcRefused);
}

int SetChannelSize(const char* _pcCall, int _iChNo, int _iWidth, int _iHeight,
                   const char* (CLS_CameraState::*_pSetter)(int, int, int), int STRUCT_ChannelPlan::*_pWidth,
                   int STRUCT_ChannelPlan::*_pHeight)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("chNo", _iChNo).Int("width", _iWidth).Int("height", _iHeight);
    const char* pcRefused = Follow(library, _iChNo, (library.State().*_pSetter)(_iChNo, _iWidth, _iHeight),
                                   [&](STRUCT_ChannelPlan& _stPlan) {
                                       _stPlan.*_pWidth = _iWidth;
                                       _stPlan.*_pHeight = _iHeight;
                                   });
    return library.Finish(_pcCall, jsonArgs, pcRefused);
}

int ChannelCall(const char* _pcCall, int _iChNo, const char* (CLS_CameraState::*_pOperation)(int),
                void (*_pPatch)(STRUCT_ChannelPlan&))
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("chNo", _iChNo);
    return library.Finish(_pcCall, jsonArgs,
                          Follow(library, _iChNo, (library.State().*_pOperation)(_iChNo), _pPatch));
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
    const char* pcRefused = library.State().RegisterUser(_pcUser, _pcPassword);
    if (pcRefused == nullptr) {
        library.Server().SetUser(_pcUser, _pcPassword);
    }
    return library.Finish("camera_business_register_user", jsonArgs, pcRefused);
}

int camera_business_set_mess_callback(CameraMessCallback _pCallback, int32_t _iUser)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("callback", _pCallback == nullptr ? 0 : 1).Int("user", _iUser);
    const char* pcRefused = library.State().SetMessCallback(_pCallback, _iUser);
    if (pcRefused == nullptr) {
        library.Server().SetCallback(_pCallback, _iUser);
    }
    return library.Finish("camera_business_set_mess_callback", jsonArgs, pcRefused, 0, -1);
}

int camera_business_enable_send_stream(int _iEnable)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("enable", _iEnable);
    const char* pcRefused = library.State().EnableSendStream(_iEnable);
    if (pcRefused == nullptr) {
        library.PublishAll();
    }
    return library.Finish("camera_business_enable_send_stream", jsonArgs, pcRefused);
}

int camera_business_startup(int _iPort, int _iChannelCapacity)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    CLS_JsonWriter jsonArgs;
    jsonArgs.Int("port", _iPort).Int("capacity", _iChannelCapacity);
    const char* pcRefused = library.State().CheckStartup(_iPort, _iChannelCapacity);
    if (pcRefused == nullptr) {
        const CB_State& stState = library.State().State();
        const int iServedPort = library.Server().Start(_iPort, stState.szUser, stState.szPassword);
        pcRefused = iServedPort == 0 ? "cannot listen"
                                     : library.State().Startup(_iPort, _iChannelCapacity, iServedPort);
    }
    return library.Finish("camera_business_startup", jsonArgs, pcRefused);
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
    const char* pcRefused = library.State().SetChanInfo(_pChanInfo, _iCount);
    if (pcRefused == nullptr) {
        for (int iChNo = 0; iChNo < CAMERA_BUSINESS_MAX_CHANNELS; ++iChNo) {
            library.TakeBlock(iChNo);
        }
    }
    return library.Finish(s_acCall, jsonArgs, pcRefused);
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
    const char* pcRefused = library.State().AddChanInfo(_pChanInfo);
    if (pcRefused == nullptr) {
        library.TakeBlock(_pChanInfo->iChNo);
    }
    return library.Finish(s_acCall, jsonArgs, pcRefused);
}

int camera_business_set_disable(int _iChNo)
{
    return ChannelCall("camera_business_set_disable", _iChNo, &CLS_CameraState::SetDisable,
                       [](STRUCT_ChannelPlan& _stPlan) { _stPlan.blServed = false; });
}

int camera_delete_collector_fd(int _iChNo)
{
    return ChannelCall("camera_delete_collector_fd", _iChNo, &CLS_CameraState::DeleteCollector,
                       [](STRUCT_ChannelPlan& _stPlan) { ++_stPlan.iGeneration; });
}

int camera_business_set_video_quality(int _iChNo, int _iQuality)
{
    return SetChannelValue("camera_business_set_video_quality", _iChNo, "quality", _iQuality,
                           &CLS_CameraState::SetVideoQuality, nullptr);
}

int camera_business_set_frame_rate(int _iChNo, int _iFrameRate)
{
    return SetChannelValue("camera_business_set_frame_rate", _iChNo, "frameRate", _iFrameRate,
                           &CLS_CameraState::SetFrameRate, &STRUCT_ChannelPlan::iFrameRate);
}

int camera_business_set_bit_rate(int _iChNo, int _iBitRate)
{
    return SetChannelValue("camera_business_set_bit_rate", _iChNo, "bitRate", _iBitRate,
                           &CLS_CameraState::SetBitRate, &STRUCT_ChannelPlan::iBitRate);
}

int camera_business_set_video_size(int _iChNo, int _iWidth, int _iHeight)
{
    return SetChannelSize("camera_business_set_video_size", _iChNo, _iWidth, _iHeight,
                          &CLS_CameraState::SetVideoSize, &STRUCT_ChannelPlan::iWidth,
                          &STRUCT_ChannelPlan::iHeight);
}

int camera_business_set_camera_size(int _iChNo, int _iWidth, int _iHeight)
{
    return SetChannelSize("camera_business_set_camera_size", _iChNo, _iWidth, _iHeight,
                          &CLS_CameraState::SetCameraSize, &STRUCT_ChannelPlan::iCaptureWidth,
                          &STRUCT_ChannelPlan::iCaptureHeight);
}

int camera_business_set_collect_type(int _iChNo, int _iType)
{
    return SetChannelValue("camera_business_set_collect_type", _iChNo, "type", _iType,
                           &CLS_CameraState::SetCollectType, &STRUCT_ChannelPlan::iCollectType);
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
    const char* pcRefused =
        Follow(library, _iChNo,
               library.State().SetAudioCollectInfo(_iChNo, _pcAudioName, _iAudioEnctype, _iChannels, _iBits,
                                                   _iSampleRate, _blEnableAudio),
               [&](STRUCT_ChannelPlan& _stPlan) {
                   _stPlan.blAudio = _blEnableAudio;
                   _stPlan.strAudioName = _pcAudioName;
               });
    return library.Finish("camera_business_set_audio_collect_info", jsonArgs, pcRefused);
}

int camera_business_cleanup(void)
{
    CLS_CameraBusiness& library = Library();
    Lock lock(library.Mutex());
    library.Journal().BeginCall();
    const char* pcRefused = library.State().Cleanup();
    if (pcRefused == nullptr) {
        library.Server().Stop();
        library.ForgetPlans();
    }
    return library.Finish("camera_business_cleanup", CLS_JsonWriter(), pcRefused);
}
