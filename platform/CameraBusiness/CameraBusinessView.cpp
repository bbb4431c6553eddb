#include "CameraBusinessView.h"

#include "CLS_CameraBusiness.h"
#include "Log.h"

#include <algorithm>
#include <cstring>

int camera_business_inspect_state(CB_State* _pState)
{
    if (_pState == nullptr) {
        return 0;
    }
    CLS_CameraBusiness& library = CLS_CameraBusiness::Instance();
    std::lock_guard<std::mutex> lock(library.Mutex());
    *_pState = library.State().State();
    return 1;
}

int camera_business_inspect_journal_size(void)
{
    CLS_CameraBusiness& library = CLS_CameraBusiness::Instance();
    std::lock_guard<std::mutex> lock(library.Mutex());
    return library.Journal().Size();
}

int camera_business_inspect_journal_entry(int _iIndex, char* _pcBuffer, int _iCapacity)
{
    CLS_CameraBusiness& library = CLS_CameraBusiness::Instance();
    std::lock_guard<std::mutex> lock(library.Mutex());
    const std::string* pstrEntry = library.Journal().Entry(_iIndex);
    if (pstrEntry == nullptr) {
        return -1;
    }
    if (_pcBuffer != nullptr && _iCapacity > 0) {
        const std::size_t uiCopy = std::min(pstrEntry->size(), static_cast<std::size_t>(_iCapacity) - 1);
        std::memcpy(_pcBuffer, pstrEntry->data(), uiCopy);
        _pcBuffer[uiCopy] = '\0';
    }
    return static_cast<int>(pstrEntry->size());
}

// The callback runs outside the lock, so that it may call back into the library.
int camera_business_inspect_send_message(intptr_t _iMsg, intptr_t _iParam1, intptr_t _iParam2)
{
    CameraMessCallback pCallback = nullptr;
    int32_t iUser = 0;
    {
        CLS_CameraBusiness& library = CLS_CameraBusiness::Instance();
        std::lock_guard<std::mutex> lock(library.Mutex());
        pCallback = library.State().Callback();
        iUser = library.State().State().iCallbackUser;
    }
    if (pCallback == nullptr) {
        LOG_EX(LOG_TRACE, "CameraBusiness message %ld: no callback", static_cast<long>(_iMsg));
        return -2;
    }
    const int iAnswer = pCallback(_iMsg, _iParam1, _iParam2, iUser);
    LOG_EX(LOG_TRACE, "CameraBusiness message %ld answered %d", static_cast<long>(_iMsg), iAnswer);
    return iAnswer;
}

void camera_business_inspect_reset(void)
{
    CLS_CameraBusiness& library = CLS_CameraBusiness::Instance();
    std::lock_guard<std::mutex> lock(library.Mutex());
    library.Server().Stop();
    library.ForgetPlans();
    library.State().Reset();
    library.Journal().Clear();
}
