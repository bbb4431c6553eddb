// Read-only view of the streaming library stand-in, for tests and support. Not part of the
// library interface the program uses.
#pragma once

#include "CameraBusiness.h"

#if defined(CAMERA_BUSINESS_BUILD)
#define CAMERA_BUSINESS_INSPECT_API __attribute__((visibility("default")))
#else
#define CAMERA_BUSINESS_INSPECT_API
#endif

// Per-channel setter values; -1 (or iSet 0) until the setter was accepted once.
typedef struct CB_AudioCollectInfo
{
    int32_t iSet;
    char szName[CAMERA_BUSINESS_TEXT_SIZE];
    int32_t iEnctype;
    int32_t iChannels;
    int32_t iBits;
    int32_t iSampleRate;
    uint8_t ucEnableAudio;
} CB_AudioCollectInfo;

typedef struct CB_ChannelState
{
    uint8_t ucHasBlock;    // a block was accepted for this channel number
    STRUCT_ChanInfo block; // the last accepted block (zero when none)
    uint8_t ucDisabled;    // set_disable was called after the last block
    int32_t iCollectorDeletes;
    int32_t iQuality;
    int32_t iFrameRate;
    int32_t iBitRate;
    int32_t iVideoWidth;
    int32_t iVideoHeight;
    int32_t iCameraWidth;
    int32_t iCameraHeight;
    int32_t iCollectType;
    CB_AudioCollectInfo audio;
} CB_ChannelState;

typedef struct CB_State
{
    uint8_t ucRegistered;
    char szUser[CAMERA_BUSINESS_TEXT_SIZE];
    char szPassword[CAMERA_BUSINESS_TEXT_SIZE];
    uint8_t ucHasCallback;
    int32_t iCallbackUser;
    int32_t iSendStreamEnabled;
    uint8_t ucStarted;
    int32_t iPort;
    int32_t iServedPort; // the port the RTSP server listens on while started
    int32_t iCapacity;
    int32_t iStartupCount;
    int32_t iCleanupCount;
    CB_ChannelState aChannels[CAMERA_BUSINESS_MAX_CHANNELS];
} CB_State;

#ifdef __cplusplus
extern "C" {
#endif

// Copies the whole state; 0 when _pState is null.
CAMERA_BUSINESS_INSPECT_API int camera_business_inspect_state(CB_State* _pState);

// Number of journal entries since load or the last reset: one per call, and before each call's own
// line one per channel block it received. Entries of one call share their "seq".
CAMERA_BUSINESS_INSPECT_API int camera_business_inspect_journal_size(void);

// Copies journal entry _iIndex (one JSON object, the same text as a line of the journal file) into
// _pcBuffer, cut to _iCapacity - 1 bytes and NUL-terminated. Returns the entry's full length in
// bytes, or -1 for an index out of range.
CAMERA_BUSINESS_INSPECT_API int camera_business_inspect_journal_entry(int _iIndex, char* _pcBuffer,
                                                                      int _iCapacity);

// Delivers one library message through the registered callback and returns its answer;
// -2 when no callback is registered.
CAMERA_BUSINESS_INSPECT_API int camera_business_inspect_send_message(intptr_t _iMsg, intptr_t _iParam1,
                                                                     intptr_t _iParam2);

// Stops serving and forgets every state and the in-memory journal, as after loading the library.
CAMERA_BUSINESS_INSPECT_API void camera_business_inspect_reset(void);

#ifdef __cplusplus
}
#endif
