// Streaming library interface (plain C exports).
#pragma once

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#if defined(CAMERA_BUSINESS_BUILD)
#define CAMERA_BUSINESS_API __attribute__((visibility("default")))
#else
#define CAMERA_BUSINESS_API
#endif

#define CAMERA_BUSINESS_TEXT_SIZE 256
#define CAMERA_BUSINESS_MAX_CHANNELS 16

// One channel as the library takes it: 1152 bytes, 32-bit little-endian integers, UTF-8 texts
// with a terminating zero, every byte not listed zero.
typedef struct STRUCT_ChanInfo
{
    int32_t iChNo;
    int32_t iVideoWidth;
    int32_t iVideoHeight;
    int32_t iVideoQuality;
    int32_t iVideoIFrameInterval;
    int32_t iVideoFrameRate;
    int32_t iVideoBitRate;
    int32_t iVideoEncodeType;
    int32_t iAudioSample;
    int32_t iAudioBit;
    int32_t iAudioChs;
    int32_t iCollectDevType;
    int32_t iAudioEnctype;
    char szAudioName[CAMERA_BUSINESS_TEXT_SIZE];
    int32_t iAudioSample2;
    int32_t iAudioBit2;
    int32_t iAudioChs2;
    char szCollectDevName[CAMERA_BUSINESS_TEXT_SIZE];
    char szChName[CAMERA_BUSINESS_TEXT_SIZE];
    int32_t iDecodeType;
    int32_t iCollectType;
    int32_t iHandle;
    uint8_t ucIsCollectTrans;
    uint8_t aucPad1[3];
    int32_t iDeskPosX;
    int32_t iDeskPosY;
    int32_t iDesktopIndex;
    uint8_t ucEnable;
    uint8_t ucEnableAudio;
    char szDevID[CAMERA_BUSINESS_TEXT_SIZE];
    uint8_t aucPad2[2];
    int32_t iCameraWidth;
    int32_t iCameraHeight;
    uint8_t aucReserved[24];
} STRUCT_ChanInfo;

#ifdef __cplusplus
static_assert(sizeof(STRUCT_ChanInfo) == 1152, "channel block size");
static_assert(offsetof(STRUCT_ChanInfo, szAudioName) == 52, "audio name offset");
static_assert(offsetof(STRUCT_ChanInfo, iAudioSample2) == 308, "second audio copy offset");
static_assert(offsetof(STRUCT_ChanInfo, szCollectDevName) == 320, "collect device name offset");
static_assert(offsetof(STRUCT_ChanInfo, szChName) == 576, "channel name offset");
static_assert(offsetof(STRUCT_ChanInfo, iDecodeType) == 832, "decode type offset");
static_assert(offsetof(STRUCT_ChanInfo, ucIsCollectTrans) == 844, "collect-trans offset");
static_assert(offsetof(STRUCT_ChanInfo, iDeskPosX) == 848, "desktop left offset");
static_assert(offsetof(STRUCT_ChanInfo, iDesktopIndex) == 856, "desktop index offset");
static_assert(offsetof(STRUCT_ChanInfo, ucEnable) == 860, "enable offset");
static_assert(offsetof(STRUCT_ChanInfo, szDevID) == 862, "device identity offset");
static_assert(offsetof(STRUCT_ChanInfo, iCameraWidth) == 1120, "capture width offset");
static_assert(offsetof(STRUCT_ChanInfo, iCameraHeight) == 1124, "capture height offset");
#endif

// A channel's device kind, "collectDevType" of its record; -1 marks a block no channel fills.
enum
{
    CAMERA_BUSINESS_DEVICE_NONE = -1,
    CAMERA_BUSINESS_DEVICE_DESKTOP = 0,
    CAMERA_BUSINESS_DEVICE_CAMERA = 1
};

// How a camera hands over its frames, "collectType" of its record.
enum
{
    CAMERA_BUSINESS_COLLECT_MJPEG = 0,
    CAMERA_BUSINESS_COLLECT_YUV = 1,
    CAMERA_BUSINESS_COLLECT_H264 = 2
};

// Library messages, the first callback argument; the second is the channel number. They come from
// the library's own thread.
#define CAMERA_BUSINESS_MSG_CHANNEL_FAILED 1  // the channel's device failed: nothing is served
#define CAMERA_BUSINESS_MSG_AUDIO_FAILED 2    // the audio input failed: the video goes on without it
#define CAMERA_BUSINESS_MSG_AUDIO_RESTORED 3  // the audio input is heard again
#define CAMERA_BUSINESS_MSG_CHANNEL_STARTED 4 // the channel's pipeline runs

// Library messages; the fourth argument is the user value given with the callback.
typedef int (*CameraMessCallback)(intptr_t _iMsg, intptr_t _iParam1, intptr_t _iParam2, intptr_t _iUser);

#ifdef __cplusplus
extern "C" {
#endif

CAMERA_BUSINESS_API int camera_business_register_user(const char* _pcUser, const char* _pcPassword);
CAMERA_BUSINESS_API int camera_business_set_mess_callback(CameraMessCallback _pCallback, int32_t _iUser);
CAMERA_BUSINESS_API int camera_business_enable_send_stream(int _iEnable);
CAMERA_BUSINESS_API int camera_business_startup(int _iPort, int _iChannelCapacity);
CAMERA_BUSINESS_API int camera_business_set_chan_info(const STRUCT_ChanInfo* _pChanInfo, int _iCount);
CAMERA_BUSINESS_API int camera_business_add_chan_info(const STRUCT_ChanInfo* _pChanInfo);
CAMERA_BUSINESS_API int camera_business_set_disable(int _iChNo);
CAMERA_BUSINESS_API int camera_delete_collector_fd(int _iChNo);
CAMERA_BUSINESS_API int camera_business_set_video_quality(int _iChNo, int _iQuality);
CAMERA_BUSINESS_API int camera_business_set_frame_rate(int _iChNo, int _iFrameRate);
CAMERA_BUSINESS_API int camera_business_set_bit_rate(int _iChNo, int _iBitRate);
CAMERA_BUSINESS_API int camera_business_set_video_size(int _iChNo, int _iWidth, int _iHeight);
CAMERA_BUSINESS_API int camera_business_set_camera_size(int _iChNo, int _iWidth, int _iHeight);
CAMERA_BUSINESS_API int camera_business_set_collect_type(int _iChNo, int _iType);
CAMERA_BUSINESS_API int camera_business_set_audio_collect_info(int _iChNo, const char* _pcAudioName,
                                                               int _iAudioEnctype, int _iChannels, int _iBits,
                                                               int _iSampleRate, bool _blEnableAudio);
CAMERA_BUSINESS_API int camera_business_cleanup(void);

#ifdef __cplusplus
}
#endif
