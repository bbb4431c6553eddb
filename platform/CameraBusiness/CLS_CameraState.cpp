#include "CLS_CameraState.h"

#include <cstring>

namespace {

const int g_iMaxPort = 65535;
const int g_iMaxQuality = 4;
const int g_iMinFrameRate = 1;
const int g_iMaxFrameRate = 60;
const int g_iMaxBitRate = 16777215;
const int g_iMaxSize = 8192;
const int g_iMinSampleRate = 8000;
const int g_iMaxSampleRate = 192000;
// The collect device type that marks a slot of the block array as carrying no channel.
const int32_t g_iEmptySlot = -1;

bool InRange(int _iValue, int _iLow, int _iHigh)
{
    return _iValue >= _iLow && _iValue <= _iHigh;
}

// Outside texts are read no further than their field could hold; one that does not fit with its
// NUL is refused rather than cut, so the library never keeps a name other than the one given.
bool CopyText(char (&_acField)[CAMERA_BUSINESS_TEXT_SIZE], const char* _pcText)
{
    const std::size_t uiLength = strnlen(_pcText, sizeof(_acField));
    if (uiLength == sizeof(_acField)) {
        return false;
    }
    std::memset(_acField, 0, sizeof(_acField));
    std::memcpy(_acField, _pcText, uiLength);
    return true;
}

bool FitsText(const char* _pcText)
{
    return strnlen(_pcText, CAMERA_BUSINESS_TEXT_SIZE) < CAMERA_BUSINESS_TEXT_SIZE;
}

} // namespace

void CLS_CameraState::Reset()
{
    std::memset(&m_stState, 0, sizeof(m_stState));
    m_pCallback = nullptr;
    ResetChannels();
}

void CLS_CameraState::ResetChannels()
{
    for (CB_ChannelState& stChannel : m_stState.aChannels) {
        std::memset(&stChannel, 0, sizeof(stChannel));
        stChannel.iQuality = -1;
        stChannel.iFrameRate = -1;
        stChannel.iBitRate = -1;
        stChannel.iVideoWidth = -1;
        stChannel.iVideoHeight = -1;
        stChannel.iCameraWidth = -1;
        stChannel.iCameraHeight = -1;
        stChannel.iCollectType = -1;
        stChannel.audio.iEnctype = -1;
        stChannel.audio.iChannels = -1;
        stChannel.audio.iBits = -1;
        stChannel.audio.iSampleRate = -1;
    }
}

const char* CLS_CameraState::CheckChannel(int _iChNo) const
{
    if (m_stState.ucStarted == 0) {
        return "not started";
    }
    if (!InRange(_iChNo, 0, m_stState.iCapacity - 1)) {
        return "channel out of range";
    }
    return nullptr;
}

// Registering again, also while started, replaces the user; empty names are kept as given.
const char* CLS_CameraState::RegisterUser(const char* _pcUser, const char* _pcPassword)
{
    if (_pcUser == nullptr || _pcPassword == nullptr) {
        return "null pointer";
    }
    if (!FitsText(_pcUser) || !FitsText(_pcPassword)) {
        return "text too long";
    }
    CopyText(m_stState.szUser, _pcUser);
    CopyText(m_stState.szPassword, _pcPassword);
    m_stState.ucRegistered = 1;
    return nullptr;
}

// The user value is handed back untouched, zero included: judging it is the receiver's business.
const char* CLS_CameraState::SetMessCallback(CameraMessCallback _pCallback, int32_t _iUser)
{
    if (_pCallback == nullptr) {
        return "null pointer";
    }
    m_pCallback = _pCallback;
    m_stState.ucHasCallback = 1;
    m_stState.iCallbackUser = _iUser;
    return nullptr;
}

// A switch: only 0 and 1 mean something; allowed before and after start-up.
const char* CLS_CameraState::EnableSendStream(int _iEnable)
{
    if (_iEnable != 0 && _iEnable != 1) {
        return "enable not 0 or 1";
    }
    m_stState.iSendStreamEnabled = _iEnable;
    return nullptr;
}

// Registration is not required first: the program passes an empty user when it has none.
const char* CLS_CameraState::CheckStartup(int _iPort, int _iChannelCapacity) const
{
    if (m_stState.ucStarted != 0) {
        return "already started";
    }
    if (!InRange(_iPort, 0, g_iMaxPort)) {
        return "port out of range";
    }
    if (!InRange(_iChannelCapacity, 1, CAMERA_BUSINESS_MAX_CHANNELS)) {
        return "capacity out of range";
    }
    return nullptr;
}

const char* CLS_CameraState::Startup(int _iPort, int _iChannelCapacity, int _iServedPort)
{
    if (const char* pcRefused = CheckStartup(_iPort, _iChannelCapacity)) {
        return pcRefused;
    }
    m_stState.ucStarted = 1;
    m_stState.iPort = _iPort;
    m_stState.iServedPort = _iServedPort;
    m_stState.iCapacity = _iChannelCapacity;
    ++m_stState.iStartupCount;
    return nullptr;
}

// The whole table is replaced, all or nothing: every block is checked before any is kept. A block
// goes to the channel its own number names, whatever its place in the array (a later one wins);
// a block whose collect device type is -1 is an empty slot and carries no channel. Setter values
// and collector deletions stay: they belong to the channel number, not to the block.
const char* CLS_CameraState::SetChanInfo(const STRUCT_ChanInfo* _pChanInfo, int _iCount)
{
    if (_pChanInfo == nullptr) {
        return "null pointer";
    }
    if (!InRange(_iCount, 1, CAMERA_BUSINESS_MAX_CHANNELS)) {
        return "count out of range";
    }
    if (m_stState.ucStarted == 0) {
        return "not started";
    }
    for (int i = 0; i < _iCount; ++i) {
        if (_pChanInfo[i].iCollectDevType != g_iEmptySlot && CheckChannel(_pChanInfo[i].iChNo) != nullptr) {
            return "channel out of range";
        }
    }
    for (CB_ChannelState& stChannel : m_stState.aChannels) {
        stChannel.ucHasBlock = 0;
        stChannel.ucDisabled = 0;
        std::memset(&stChannel.block, 0, sizeof(stChannel.block));
    }
    for (int i = 0; i < _iCount; ++i) {
        if (_pChanInfo[i].iCollectDevType != g_iEmptySlot) {
            CB_ChannelState& stChannel = Channel(_pChanInfo[i].iChNo);
            stChannel.ucHasBlock = 1;
            stChannel.block = _pChanInfo[i];
        }
    }
    return nullptr;
}

// Adding replaces the channel's block and ends its disabled state; an empty slot adds nothing.
const char* CLS_CameraState::AddChanInfo(const STRUCT_ChanInfo* _pChanInfo)
{
    if (_pChanInfo == nullptr) {
        return "null pointer";
    }
    if (const char* pcRefused = CheckChannel(_pChanInfo->iChNo)) {
        return pcRefused;
    }
    if (_pChanInfo->iCollectDevType == g_iEmptySlot) {
        return "empty slot";
    }
    CB_ChannelState& stChannel = Channel(_pChanInfo->iChNo);
    stChannel.ucHasBlock = 1;
    stChannel.ucDisabled = 0;
    stChannel.block = *_pChanInfo;
    return nullptr;
}

// Disabling, like deleting a collector, is accepted for any channel number in range, with or
// without a block: stopping what does not run is harmless. The block itself is kept.
const char* CLS_CameraState::SetDisable(int _iChNo)
{
    if (const char* pcRefused = CheckChannel(_iChNo)) {
        return pcRefused;
    }
    Channel(_iChNo).ucDisabled = 1;
    return nullptr;
}

const char* CLS_CameraState::DeleteCollector(int _iChNo)
{
    if (const char* pcRefused = CheckChannel(_iChNo)) {
        return pcRefused;
    }
    ++Channel(_iChNo).iCollectorDeletes;
    return nullptr;
}

const char* CLS_CameraState::SetVideoQuality(int _iChNo, int _iQuality)
{
    if (const char* pcRefused = CheckChannel(_iChNo)) {
        return pcRefused;
    }
    if (!InRange(_iQuality, 0, g_iMaxQuality)) {
        return "quality out of range";
    }
    Channel(_iChNo).iQuality = _iQuality;
    return nullptr;
}

const char* CLS_CameraState::SetFrameRate(int _iChNo, int _iFrameRate)
{
    if (const char* pcRefused = CheckChannel(_iChNo)) {
        return pcRefused;
    }
    if (!InRange(_iFrameRate, g_iMinFrameRate, g_iMaxFrameRate)) {
        return "frame rate out of range";
    }
    Channel(_iChNo).iFrameRate = _iFrameRate;
    return nullptr;
}

const char* CLS_CameraState::SetBitRate(int _iChNo, int _iBitRate)
{
    if (const char* pcRefused = CheckChannel(_iChNo)) {
        return pcRefused;
    }
    if (!InRange(_iBitRate, 1, g_iMaxBitRate)) {
        return "bit rate out of range";
    }
    Channel(_iChNo).iBitRate = _iBitRate;
    return nullptr;
}

const char* CLS_CameraState::SetVideoSize(int _iChNo, int _iWidth, int _iHeight)
{
    if (const char* pcRefused = CheckChannel(_iChNo)) {
        return pcRefused;
    }
    if (!InRange(_iWidth, 1, g_iMaxSize) || !InRange(_iHeight, 1, g_iMaxSize)) {
        return "size out of range";
    }
    Channel(_iChNo).iVideoWidth = _iWidth;
    Channel(_iChNo).iVideoHeight = _iHeight;
    return nullptr;
}

const char* CLS_CameraState::SetCameraSize(int _iChNo, int _iWidth, int _iHeight)
{
    if (const char* pcRefused = CheckChannel(_iChNo)) {
        return pcRefused;
    }
    if (!InRange(_iWidth, 1, g_iMaxSize) || !InRange(_iHeight, 1, g_iMaxSize)) {
        return "size out of range";
    }
    Channel(_iChNo).iCameraWidth = _iWidth;
    Channel(_iChNo).iCameraHeight = _iHeight;
    return nullptr;
}

const char* CLS_CameraState::SetCollectType(int _iChNo, int _iType)
{
    if (const char* pcRefused = CheckChannel(_iChNo)) {
        return pcRefused;
    }
    if (!InRange(_iType, CAMERA_BUSINESS_COLLECT_MJPEG, CAMERA_BUSINESS_COLLECT_H264)) {
        return "collect type out of range";
    }
    Channel(_iChNo).iCollectType = _iType;
    return nullptr;
}

// Switching sound off must work even when no input is left to name, so the sample rate is judged
// only when sound is on; the encoding is the library's to interpret and is taken as given.
const char* CLS_CameraState::SetAudioCollectInfo(int _iChNo, const char* _pcAudioName, int _iAudioEnctype,
                                                 int _iChannels, int _iBits, int _iSampleRate,
                                                 bool _blEnableAudio)
{
    if (_pcAudioName == nullptr) {
        return "null pointer";
    }
    if (const char* pcRefused = CheckChannel(_iChNo)) {
        return pcRefused;
    }
    if (!FitsText(_pcAudioName)) {
        return "text too long";
    }
    if (!InRange(_iChannels, 1, 2)) {
        return "audio channels out of range";
    }
    if (_iBits != 8 && _iBits != 16 && _iBits != 24 && _iBits != 32) {
        return "audio bits not 8, 16, 24 or 32";
    }
    if (_blEnableAudio && !InRange(_iSampleRate, g_iMinSampleRate, g_iMaxSampleRate)) {
        return "sample rate out of range";
    }
    CB_AudioCollectInfo& stAudio = Channel(_iChNo).audio;
    CopyText(stAudio.szName, _pcAudioName);
    stAudio.iSet = 1;
    stAudio.iEnctype = _iAudioEnctype;
    stAudio.iChannels = _iChannels;
    stAudio.iBits = _iBits;
    stAudio.iSampleRate = _iSampleRate;
    stAudio.ucEnableAudio = _blEnableAudio ? 1 : 0;
    return nullptr;
}

// Clean-up stops the library and forgets its channels; registration, callback and the send switch
// stay, so that a reset can start it again at once.
const char* CLS_CameraState::Cleanup()
{
    if (m_stState.ucStarted == 0) {
        return "not started";
    }
    m_stState.ucStarted = 0;
    m_stState.iPort = 0;
    m_stState.iServedPort = 0;
    m_stState.iCapacity = 0;
    ++m_stState.iCleanupCount;
    ResetChannels();
    return nullptr;
}
