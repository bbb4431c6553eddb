// The one library object behind the C exports: its state, its journal, what each channel
// publishes and the server that publishes it, and the lock that guards them, so calls from any
// thread are taken one at a time.
#pragma once

#include "CLS_CameraJournal.h"
#include "CLS_CameraState.h"
#include "CLS_RtspServer.h"
#include "ChannelPlan.h"

#include <mutex>

class CLS_CameraBusiness
{
public:
    static CLS_CameraBusiness& Instance();

    std::mutex& Mutex() { return m_mutexCall; }
    CLS_CameraState& State() { return m_clsState; }
    CLS_CameraJournal& Journal() { return m_clsJournal; }
    CLS_RtspServer& Server() { return m_clsServer; }

    // Journals and logs one finished call; returns _iOk when _pcRefused is null, else _iFail.
    int Finish(const char* _pcCall, const CLS_JsonWriter& _jsonArgs, const char* _pcRefused, int _iOk = 1,
               int _iFail = 0);

    // The publishing follows the state: after an accepted call, these hand the server what changed.
    STRUCT_ChannelPlan& Plan(int _iChNo) { return m_aPlan[_iChNo]; }
    void Publish(int _iChNo);
    void PublishAll();
    // Takes the channel's block as it is now in the state.
    void TakeBlock(int _iChNo);
    void ForgetPlans();

private:
    CLS_CameraBusiness() = default;

    std::mutex m_mutexCall;
    CLS_CameraState m_clsState;
    CLS_CameraJournal m_clsJournal;
    STRUCT_ChannelPlan m_aPlan[CAMERA_BUSINESS_MAX_CHANNELS];
    // Last, so that it stops first when the process ends without a clean-up.
    CLS_RtspServer m_clsServer;
};
