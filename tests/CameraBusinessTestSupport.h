// Helpers shared by the tests of the streaming library stand-in.
#pragma once

#include "CameraBusinessView.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <algorithm>
#include <cstring>

// Messages from the library are not looked at here.
inline int IgnoreMessage(intptr_t, intptr_t, intptr_t, intptr_t)
{
    return 0;
}

inline CB_State State()
{
    CB_State stState;
    std::memset(&stState, 0xAB, sizeof(stState));
    camera_business_inspect_state(&stState);
    return stState;
}

inline QByteArray JournalText(int _iIndex)
{
    // A missing entry has length -1: an empty text.
    QByteArray baText(std::max(camera_business_inspect_journal_entry(_iIndex, nullptr, 0) + 1, 0), '\0');
    camera_business_inspect_journal_entry(_iIndex, baText.data(), baText.size());
    baText.chop(1);
    return baText;
}

inline QJsonObject JournalEntry(int _iIndex)
{
    return QJsonDocument::fromJson(JournalText(_iIndex)).object();
}

inline QJsonObject LastEntry()
{
    return JournalEntry(camera_business_inspect_journal_size() - 1);
}

inline STRUCT_ChanInfo MakeBlock(int _iChNo, const char* _pcName)
{
    STRUCT_ChanInfo stBlock;
    std::memset(&stBlock, 0, sizeof(stBlock));
    stBlock.iChNo = _iChNo;
    stBlock.iCollectDevType = _iChNo < 4 ? 0 : 1;
    stBlock.iVideoWidth = 1920;
    stBlock.iVideoHeight = 1080;
    stBlock.iVideoFrameRate = 10;
    std::strncpy(stBlock.szChName, _pcName, sizeof(stBlock.szChName) - 1);
    return stBlock;
}

// A channel block of 320 x 240 from _iWidth x _iHeight at _iLeft, 0: desktop (type 0) or camera
// (type 1, a device that is not there unless a test source stands in).
inline STRUCT_ChanInfo SmallChannel(int _iChNo, int _iDevType, int _iLeft = 0, int _iWidth = 640,
                                    int _iHeight = 480)
{
    STRUCT_ChanInfo stBlock = MakeBlock(_iChNo, "channel");
    stBlock.iCollectDevType = _iDevType;
    stBlock.iDeskPosX = _iLeft;
    stBlock.iCameraWidth = _iWidth;
    stBlock.iCameraHeight = _iHeight;
    stBlock.iVideoWidth = 320;
    stBlock.iVideoHeight = 240;
    stBlock.iVideoBitRate = 500;
    stBlock.iVideoIFrameInterval = stBlock.iCollectType = stBlock.ucEnable = 1;
    std::strcpy(stBlock.szDevID, "/dev/v4l/by-id/no-such-camera");
    return stBlock;
}

// Registers "admin" with _pcPassword (empty: served anonymously on 127.0.0.1 only), sets the
// callback with user value 77, enables sending and starts on port 0, which serves on a free port in
// tests.
inline void StartLibrary(int _iCapacity = 16, const char* _pcPassword = "secret")
{
    QCOMPARE(camera_business_register_user("admin", _pcPassword), 1);
    QCOMPARE(camera_business_set_mess_callback(IgnoreMessage, 77), 0);
    QCOMPARE(camera_business_enable_send_stream(1), 1);
    QCOMPARE(camera_business_startup(0, _iCapacity), 1);
}
