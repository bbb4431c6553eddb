// What the streaming library keeps and the rules by which it accepts or refuses a call. Each
// operation returns nullptr when accepted, else the reason for the refusal (a literal), and changes
// nothing when it refuses. Not locked: the owner serialises use.
#pragma once

#include "CameraBusinessView.h"

class CLS_CameraState
{
public:
    CLS_CameraState() { Reset(); }

    // As after loading the library.
    void Reset();
    const CB_State& State() const { return m_stState; }
    CameraMessCallback Callback() const { return m_pCallback; }

    const char* RegisterUser(const char* _pcUser, const char* _pcPassword);
    const char* SetMessCallback(CameraMessCallback _pCallback, int32_t _iUser);
    const char* EnableSendStream(int _iEnable);
    // Start-up as Startup would judge it, without starting.
    const char* CheckStartup(int _iPort, int _iChannelCapacity) const;
    const char* Startup(int _iPort, int _iChannelCapacity, int _iServedPort);
    const char* SetChanInfo(const STRUCT_ChanInfo* _pChanInfo, int _iCount);
    const char* AddChanInfo(const STRUCT_ChanInfo* _pChanInfo);
    const char* SetDisable(int _iChNo);
    const char* DeleteCollector(int _iChNo);
    const char* SetVideoQuality(int _iChNo, int _iQuality);
    const char* SetFrameRate(int _iChNo, int _iFrameRate);
    const char* SetBitRate(int _iChNo, int _iBitRate);
    const char* SetVideoSize(int _iChNo, int _iWidth, int _iHeight);
    const char* SetCameraSize(int _iChNo, int _iWidth, int _iHeight);
    const char* SetCollectType(int _iChNo, int _iType);
    const char* SetAudioCollectInfo(int _iChNo, const char* _pcAudioName, int _iAudioEnctype, int _iChannels,
                                    int _iBits, int _iSampleRate, bool _blEnableAudio);
    const char* Cleanup();

private:
    const char* CheckChannel(int _iChNo) const;
    CB_ChannelState& Channel(int _iChNo) { return m_stState.aChannels[_iChNo]; }
    void ResetChannels();

    CB_State m_stState{};
    CameraMessCallback m_pCallback = nullptr;
};
