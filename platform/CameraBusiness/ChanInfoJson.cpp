#include "ChanInfoJson.h"

#include <cstring>

namespace {

void AddText(CLS_JsonWriter& _json, const char* _pcKey, const char (&_acField)[CAMERA_BUSINESS_TEXT_SIZE])
{
    _json.Text(_pcKey, _acField, strnlen(_acField, sizeof(_acField)));
}

} // namespace

CLS_JsonWriter ChanInfoToJson(const STRUCT_ChanInfo& _stChanInfo)
{
    CLS_JsonWriter json;
    json.Int("chNo", _stChanInfo.iChNo)
        .Int("videoWidth", _stChanInfo.iVideoWidth)
        .Int("videoHeight", _stChanInfo.iVideoHeight)
        .Int("videoQuality", _stChanInfo.iVideoQuality)
        .Int("videoIFrameInterval", _stChanInfo.iVideoIFrameInterval)
        .Int("videoFrameRate", _stChanInfo.iVideoFrameRate)
        .Int("videoBitRate", _stChanInfo.iVideoBitRate)
        .Int("videoEncodeType", _stChanInfo.iVideoEncodeType)
        .Int("audioSample", _stChanInfo.iAudioSample)
        .Int("audioBit", _stChanInfo.iAudioBit)
        .Int("audioChs", _stChanInfo.iAudioChs)
        .Int("collectDevType", _stChanInfo.iCollectDevType)
        .Int("audioEnctype", _stChanInfo.iAudioEnctype);
    AddText(json, "audioName", _stChanInfo.szAudioName);
    json.Int("audioSample2", _stChanInfo.iAudioSample2)
        .Int("audioBit2", _stChanInfo.iAudioBit2)
        .Int("audioChs2", _stChanInfo.iAudioChs2);
    AddText(json, "collectDevName", _stChanInfo.szCollectDevName);
    AddText(json, "chName", _stChanInfo.szChName);
    json.Int("decodeType", _stChanInfo.iDecodeType)
        .Int("collectType", _stChanInfo.iCollectType)
        .Int("handle", _stChanInfo.iHandle)
        .Int("isCollectTrans", _stChanInfo.ucIsCollectTrans)
        .Int("deskPosX", _stChanInfo.iDeskPosX)
        .Int("deskPosY", _stChanInfo.iDeskPosY)
        .Int("desktopIndex", _stChanInfo.iDesktopIndex)
        .Int("enable", _stChanInfo.ucEnable)
        .Int("enableAudio", _stChanInfo.ucEnableAudio);
    AddText(json, "devID", _stChanInfo.szDevID);
    json.Int("cameraWidth", _stChanInfo.iCameraWidth).Int("cameraHeight", _stChanInfo.iCameraHeight);
    return json;
}
