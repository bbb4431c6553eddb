// The one library object behind the C exports: its state, its journal and the lock that guards
// both, so calls from any thread are taken one at a time.
#pragma once

#include "CLS_CameraJournal.h"
#include "CLS_CameraState.h"

#include <mutex>

class CLS_CameraBusiness
{
public:
    static CLS_CameraBusiness& Instance();

    std::mutex& Mutex() { return m_mutexCall; }
    CLS_CameraState& State() { return m_clsState; }
    CLS_CameraJournal& Journal() { return m_clsJournal; }

    // Journals and logs one finished call; returns _iOk when _pcRefused is null, else _iFail.
    int Finish(const char* _pcCall, const CLS_JsonWriter& _jsonArgs, const char* _pcRefused, int _iOk = 1,
               int _iFail = 0);

private:
    CLS_CameraBusiness() = default;

    std::mutex m_mutexCall;
    CLS_CameraState m_clsState;
    CLS_CameraJournal m_clsJournal;
};
