// What keeps one RTSP server usable under hostile and heavy clients, on the server's own thread:
// - connections are accepted here, not by gst_rtsp_server_io_func: at most g_iMaxClients in all and
//   g_iMaxPerAddress from one address (more are closed at once; with all places taken, the oldest
//   connection that has completed no request gives its place up), and a failed accept (out of
//   descriptors) pauses accepting for a moment instead of spinning on a listener that stays
//   readable;
// - a connection that completes no request within g_iFirstRequestMs, or holds no session and
//   completes none for g_iIdleMs, is closed;
// - request bodies over g_uiBodyLimit bytes are refused before they are read (before
//   authentication): the server needs none;
// - gst-rtsp-server reads a request's head one byte per call until the head is whole, on the one
//   server thread: a client that streams header lines holds that thread. A watchdog thread sees
//   the server's tick stop and applies the first-request rule itself (shuts the sockets of clients
//   that completed no request within g_iFirstRequestMs), so the thread comes back;
// - the session pool is cleaned every second, so that sessions of vanished clients expire and
//   their pipelines stop; a few seconds after clients have gone, the heap's free pages go back to
//   the system (a pipeline's frames are many megabytes, freed in the middle of the heap).
#pragma once

#include "RtspAuth.h"

#include <gst/rtsp-server/rtsp-server.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class CLS_RtspGuard
{
public:
    static const int g_iMaxClients = 128;
    static const int g_iMaxPerAddress = 32;
    static const int g_iFirstRequestMs = 5000;
    static const int g_iIdleMs = 20000;
    static const guint g_uiBodyLimit = 4096;

    CLS_RtspGuard(GstRTSPServer* _pServer, GMainContext* _pContext);
    ~CLS_RtspGuard();
    CLS_RtspGuard(const CLS_RtspGuard&) = delete;
    CLS_RtspGuard& operator=(const CLS_RtspGuard&) = delete;

    // Accepts connections on _pSocket (listening) from the server's context until StopListening.
    void Listen(GSocket* _pSocket);
    void StopListening();
    // A client completed a request (called by the authentication, on the server thread).
    void RequestSeen(GstRTSPClient* _pClient);
    const std::shared_ptr<CLS_AuthFailures>& Failures() const { return m_pFailures; }

private:
    struct STRUCT_Client
    {
        std::string strAddress;
        int iPort = 0;
        int iFd = -1;
        int64_t iLastUs = 0; // connected, or the last request completed
        bool blRequested = false;
        bool blSession = false;
    };

    static gboolean OnIncoming(GSocket* _pSocket, GIOCondition, gpointer _pThis);
    static gboolean OnResume(gpointer _pThis);
    static gboolean OnTick(gpointer _pThis);
    static void OnConnected(GstRTSPServer*, GstRTSPClient* _pClient, gpointer _pThis);
    static void OnClosed(GstRTSPClient* _pClient, gpointer _pThis);
    bool Accept();
    bool Admits(const std::string& _strAddress);
    size_t ClientCount();
    bool LogDue();
    void Pause();
    void Tick();
    void Forget(GstRTSPClient* _pClient);
    void Watch();

    GstRTSPServer* m_pServer;
    GMainContext* m_pContext;
    GSocket* m_pSocket = nullptr;
    GSource* m_pListener = nullptr;
    GSource* m_pResume = nullptr;
    GSource* m_pTicker = nullptr;
    gulong m_ulConnected = 0;
    std::atomic<int64_t> m_iLastLogUs{INT64_MIN / 2};
    bool m_blTrimDue = false;
    int m_iTicks = 0;
    std::mutex m_mutex; // guards m_mapClient (the watchdog reads it) and m_vecClosed
    std::map<GstRTSPClient*, STRUCT_Client> m_mapClient;
    // Clients closed and forgotten, with the time: their last reference goes a while later.
    std::vector<std::pair<GstRTSPClient*, int64_t>> m_vecClosed;
    std::atomic<int64_t> m_iTickUs{g_get_monotonic_time()};
    std::condition_variable m_condStop;
    bool m_blStop = false; // under m_mutex
    std::thread m_threadWatch;
    std::shared_ptr<CLS_AuthFailures> m_pFailures = std::make_shared<CLS_AuthFailures>();
};
