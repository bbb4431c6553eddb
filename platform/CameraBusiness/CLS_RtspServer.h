// The publishing back end: an RTSP server on a thread of its own with its own GLib main context,
// serving each served channel at /chN. Host calls return at once (except Start and Stop, which
// bind and free the port); the work runs on the server thread. Not locked: the owner serialises
// calls.
#pragma once

#include "CameraBusiness.h"
#include "ChannelPlan.h"

#include <memory>
#include <string>
#include <thread>

struct STRUCT_ServerShared;

class CLS_RtspServer
{
public:
    CLS_RtspServer() = default;
    ~CLS_RtspServer();
    CLS_RtspServer(const CLS_RtspServer&) = delete;
    CLS_RtspServer& operator=(const CLS_RtspServer&) = delete;

    // Listens on _iPort (0: any free port) on the loopback interface when _strUser is empty, else
    // on all interfaces with Digest authentication. Returns the bound port, or 0 after one log line.
    int Start(int _iPort, const std::string& _strUser, const std::string& _strPassword);
    // Ends every client, frees the port and joins the thread.
    void Stop();
    bool Running() const { return m_pShared != nullptr; }

    void SetUser(const std::string& _strUser, const std::string& _strPassword);
    void SetCallback(CameraMessCallback _pCallback, intptr_t _iUser);
    // Serves channel _iChNo as _stPlan says (not at all when it is not served).
    void Publish(int _iChNo, const STRUCT_ChannelPlan& _stPlan);

private:
    std::shared_ptr<STRUCT_ServerShared> m_pShared;
    std::thread m_thread;
    CameraMessCallback m_pCallback = nullptr;
    intptr_t m_iCallbackUser = 0;
};
