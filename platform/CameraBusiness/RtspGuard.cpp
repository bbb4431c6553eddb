#include "RtspGuard.h"

#include "Log.h"

#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

const guint g_uiPauseMs = 250;
const int64_t g_iRefusalLogUs = 10 * G_USEC_PER_SEC;
// At most this many connections taken per wake-up, so that a flood cannot starve the clients.
const int g_iAcceptsPerWake = 16;
const int g_iReceiveBuffer = 64 * 1024;
const int g_iWatchMs = 500;
// The tick comes every second: this long without one, the server thread is held.
const int g_iStalledMs = 2500;
// gst-rtsp-server's streaming threads hold a bare pointer to a client: a send in flight holds the
// client's lock, and a failed send (the viewer has gone) schedules the client's close on the server
// context. A closed client is kept this long before its last reference may go.
const int64_t g_iKeepClosedUs = 2 * G_USEC_PER_SEC;

GSource* Attach(GSource* _pSource, GSourceFunc _pFunc, gpointer _pData, GMainContext* _pContext)
{
    g_source_set_callback(_pSource, _pFunc, _pData, nullptr);
    g_source_attach(_pSource, _pContext);
    return _pSource;
}

void Drop(GSource*& _pSource)
{
    if (_pSource != nullptr) {
        g_source_destroy(_pSource);
        g_source_unref(_pSource);
        _pSource = nullptr;
    }
}

// The remote port of socket _iFd, 0 when it is none (any more).
int PeerPort(int _iFd)
{
    sockaddr_storage stAddress{};
    socklen_t uiSize = sizeof(stAddress);
    if (_iFd < 0 || getpeername(_iFd, reinterpret_cast<sockaddr*>(&stAddress), &uiSize) != 0) {
        return 0;
    }
    if (stAddress.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<sockaddr_in*>(&stAddress)->sin_port);
    }
    if (stAddress.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<sockaddr_in6*>(&stAddress)->sin6_port);
    }
    return 0;
}

bool HasSession(GstRTSPClient* _pClient)
{
    GList* pSessions = gst_rtsp_client_session_filter(_pClient, nullptr, nullptr);
    const bool blAny = pSessions != nullptr;
    g_list_free_full(pSessions, g_object_unref);
    return blAny;
}

} // namespace

CLS_RtspGuard::CLS_RtspGuard(GstRTSPServer* _pServer, GMainContext* _pContext)
    : m_pServer(GST_RTSP_SERVER(g_object_ref(_pServer))), m_pContext(g_main_context_ref(_pContext))
{
    gst_rtsp_server_set_content_length_limit(m_pServer, g_uiBodyLimit);
    // Room for a burst of clients (20 viewers starting at once) in the kernel's queue.
    gst_rtsp_server_set_backlog(m_pServer, 64);
    m_ulConnected = g_signal_connect(m_pServer, "client-connected", G_CALLBACK(OnConnected), this);
    m_pTicker = Attach(g_timeout_source_new(1000), OnTick, this, m_pContext);
    m_threadWatch = std::thread([this] { Watch(); });
}

CLS_RtspGuard::~CLS_RtspGuard()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_blStop = true;
    }
    m_condStop.notify_all();
    m_threadWatch.join();
    StopListening();
    Drop(m_pTicker);
    g_signal_handler_disconnect(m_pServer, m_ulConnected);
    for (const auto& pair : m_mapClient) {
        g_signal_handlers_disconnect_by_data(pair.first, this);
        g_object_unref(pair.first);
    }
    for (const auto& pair : m_vecClosed) {
        g_object_unref(pair.first);
    }
    g_object_unref(m_pServer);
    g_main_context_unref(m_pContext);
}

void CLS_RtspGuard::Listen(GSocket* _pSocket)
{
    StopListening();
    m_pSocket = G_SOCKET(g_object_ref(_pSocket));
    g_socket_set_blocking(m_pSocket, FALSE);
    m_pListener = g_socket_create_source(m_pSocket, G_IO_IN, nullptr);
    Attach(m_pListener, G_SOURCE_FUNC(OnIncoming), this, m_pContext);
}

void CLS_RtspGuard::StopListening()
{
    Drop(m_pListener);
    Drop(m_pResume);
    g_clear_object(&m_pSocket);
}

gboolean CLS_RtspGuard::OnIncoming(GSocket*, GIOCondition, gpointer _pThis)
{
    auto* pThis = static_cast<CLS_RtspGuard*>(_pThis);
    for (int i = 0; i < g_iAcceptsPerWake; ++i) {
        if (!pThis->Accept()) {
            break;
        }
    }
    return pThis->m_pListener != nullptr ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

// One connection taken; false when there is none now, or accepting failed (then paused).
bool CLS_RtspGuard::Accept()
{
    GError* pError = nullptr;
    GSocket* pClient = g_socket_accept(m_pSocket, nullptr, &pError);
    if (pClient == nullptr) {
        if (!g_error_matches(pError, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK)) {
            if (LogDue()) {
                LOG_EX(LOG_FAIL, "CameraBusiness cannot accept a connection (%s): accepting again in %u ms",
                       pError != nullptr ? pError->message : "unknown error", g_uiPauseMs);
            }
            Pause();
        }
        g_clear_error(&pError);
        return false;
    }
    GSocketAddress* pAddress = g_socket_get_remote_address(pClient, nullptr);
    gchar* pcAddress = nullptr;
    int iPort = 0;
    if (pAddress != nullptr && G_IS_INET_SOCKET_ADDRESS(pAddress)) {
        pcAddress =
            g_inet_address_to_string(g_inet_socket_address_get_address(G_INET_SOCKET_ADDRESS(pAddress)));
        iPort = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(pAddress));
    }
    g_clear_object(&pAddress);
    const std::string strAddress = pcAddress != nullptr ? pcAddress : "";
    if (pcAddress == nullptr || !Admits(strAddress)) {
        if (LogDue()) {
            LOG_EX(LOG_FAIL,
                   "CameraBusiness refused a connection from %s: %zu open, at most %d, %d per address",
                   strAddress.c_str(), ClientCount(), g_iMaxClients, g_iMaxPerAddress);
        }
        g_socket_close(pClient, nullptr);
        g_object_unref(pClient);
    } else {
        // gst-rtsp-server reads a request's head one byte per call: what a client may have queued
        // unread is bounded, so that a flood of header lines costs the server little after it ends.
        g_socket_set_option(pClient, SOL_SOCKET, SO_RCVBUF, g_iReceiveBuffer, nullptr);
        // As gst_rtsp_connection_accept leaves its sockets: a client that never reads must not
        // block the server thread in a write.
        g_socket_set_blocking(pClient, FALSE);
        // Takes the socket; the server then reports the client (OnConnected).
        gst_rtsp_server_transfer_connection(m_pServer, pClient, pcAddress, iPort, nullptr);
    }
    g_free(pcAddress);
    return true;
}

size_t CLS_RtspGuard::ClientCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mapClient.size();
}

// One line per 10 s at most for refusals and failed accepts: a flood must not fill the log.
bool CLS_RtspGuard::LogDue()
{
    const int64_t iNow = g_get_monotonic_time();
    if (iNow - m_iLastLogUs < g_iRefusalLogUs) {
        return false;
    }
    m_iLastLogUs = iNow;
    return true;
}

// Within the limit per address; when all places are taken, the oldest connection that has completed
// no request and holds no session gives its place up, so that a flood of idle connections cannot
// keep a real client out.
bool CLS_RtspGuard::Admits(const std::string& _strAddress)
{
    GstRTSPClient* pOldestIdle = nullptr;
    int64_t iOldestUs = INT64_MAX;
    int iFromAddress = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& pair : m_mapClient) {
            iFromAddress += pair.second.strAddress == _strAddress ? 1 : 0;
            if (!pair.second.blRequested && !pair.second.blSession && pair.second.iLastUs < iOldestUs) {
                pOldestIdle = pair.first;
                iOldestUs = pair.second.iLastUs;
            }
        }
        if (iFromAddress >= g_iMaxPerAddress) {
            return false;
        }
        if (int(m_mapClient.size()) < g_iMaxClients) {
            return true;
        }
        if (pOldestIdle == nullptr) {
            return false;
        }
        g_object_ref(pOldestIdle);
    }
    gst_rtsp_client_close(pOldestIdle);
    Forget(pOldestIdle);
    g_object_unref(pOldestIdle);
    return true;
}

void CLS_RtspGuard::Pause()
{
    Drop(m_pListener);
    if (m_pResume == nullptr) {
        m_pResume = Attach(g_timeout_source_new(g_uiPauseMs), OnResume, this, m_pContext);
    }
}

gboolean CLS_RtspGuard::OnResume(gpointer _pThis)
{
    auto* pThis = static_cast<CLS_RtspGuard*>(_pThis);
    g_source_unref(pThis->m_pResume);
    pThis->m_pResume = nullptr;
    if (pThis->m_pSocket != nullptr) {
        pThis->m_pListener = g_socket_create_source(pThis->m_pSocket, G_IO_IN, nullptr);
        Attach(pThis->m_pListener, G_SOURCE_FUNC(OnIncoming), pThis, pThis->m_pContext);
    }
    return G_SOURCE_REMOVE;
}

void CLS_RtspGuard::OnConnected(GstRTSPServer*, GstRTSPClient* _pClient, gpointer _pThis)
{
    auto* pThis = static_cast<CLS_RtspGuard*>(_pThis);
    GstRTSPConnection* pConnection = gst_rtsp_client_get_connection(_pClient);
    const gchar* pcAddress = pConnection != nullptr ? gst_rtsp_connection_get_ip(pConnection) : nullptr;
    STRUCT_Client stClient;
    stClient.strAddress = pcAddress != nullptr ? pcAddress : "";
    if (GSocket* pSocket =
            pConnection != nullptr ? gst_rtsp_connection_get_read_socket(pConnection) : nullptr) {
        stClient.iFd = g_socket_get_fd(pSocket);
        stClient.iPort = PeerPort(stClient.iFd);
    }
    stClient.iLastUs = g_get_monotonic_time();
    std::lock_guard<std::mutex> lock(pThis->m_mutex);
    pThis->m_mapClient[GST_RTSP_CLIENT(g_object_ref(_pClient))] = stClient;
    g_signal_connect(_pClient, "closed", G_CALLBACK(OnClosed), pThis);
}

void CLS_RtspGuard::OnClosed(GstRTSPClient* _pClient, gpointer _pThis)
{
    static_cast<CLS_RtspGuard*>(_pThis)->Forget(_pClient);
}

void CLS_RtspGuard::Forget(GstRTSPClient* _pClient)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_mapClient.find(_pClient);
    if (it != m_mapClient.end()) {
        g_signal_handlers_disconnect_by_data(_pClient, this);
        m_mapClient.erase(it);
        m_vecClosed.emplace_back(_pClient, g_get_monotonic_time());
        m_blTrimDue = true;
    }
}

void CLS_RtspGuard::RequestSeen(GstRTSPClient* _pClient)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_mapClient.find(_pClient);
    if (it != m_mapClient.end()) {
        it->second.iLastUs = g_get_monotonic_time();
        it->second.blRequested = true;
    }
}

gboolean CLS_RtspGuard::OnTick(gpointer _pThis)
{
    static_cast<CLS_RtspGuard*>(_pThis)->Tick();
    return G_SOURCE_CONTINUE;
}

void CLS_RtspGuard::Tick()
{
    GstRTSPSessionPool* pPool = gst_rtsp_server_get_session_pool(m_pServer);
    gst_rtsp_session_pool_cleanup(pPool);
    g_object_unref(pPool);
    if (++m_iTicks % 5 == 0 && m_blTrimDue) {
        m_blTrimDue = false;
        malloc_trim(0);
    }
    const int64_t iNow = g_get_monotonic_time();
    m_iTickUs = iNow;
    std::vector<GstRTSPClient*> vecIdle;
    std::vector<GstRTSPClient*> vecRelease;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto itKept = std::partition(m_vecClosed.begin(), m_vecClosed.end(), [iNow](const auto& pair) {
            return iNow - pair.second < g_iKeepClosedUs;
        });
        std::transform(itKept, m_vecClosed.end(), std::back_inserter(vecRelease),
                       [](const auto& pair) { return pair.first; });
        m_vecClosed.erase(itKept, m_vecClosed.end());
        for (auto& pair : m_mapClient) {
            const int64_t iAllowedUs =
                int64_t(pair.second.blRequested ? g_iIdleMs : g_iFirstRequestMs) * 1000;
            pair.second.blSession = HasSession(pair.first);
            if (iNow - pair.second.iLastUs > iAllowedUs && !pair.second.blSession) {
                vecIdle.push_back(GST_RTSP_CLIENT(g_object_ref(pair.first)));
            }
        }
    }
    for (GstRTSPClient* pClient : vecIdle) {
        gst_rtsp_client_close(pClient);
        // Closed or not, it no longer counts against the limits.
        Forget(pClient);
        g_object_unref(pClient);
    }
    for (GstRTSPClient* pClient : vecRelease) {
        g_object_unref(pClient);
        m_blTrimDue = true;
    }
}

// On a thread of its own: when the server's tick has stopped (a client holds the server thread with
// an endless request head), the sockets of clients that have completed no request within
// g_iFirstRequestMs are shut, the rule the tick would apply, which ends that reading. Only such
// clients: they hold no session, so no stream is cut. The port check keeps a descriptor number that
// was closed and reused meanwhile from being touched.
void CLS_RtspGuard::Watch()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_condStop.wait_for(lock, std::chrono::milliseconds(g_iWatchMs), [this] { return m_blStop; })) {
        const int64_t iNow = g_get_monotonic_time();
        if (iNow - m_iTickUs < int64_t(g_iStalledMs) * 1000) {
            continue;
        }
        for (auto& pair : m_mapClient) {
            STRUCT_Client& stClient = pair.second;
            if (!stClient.blRequested && stClient.iFd >= 0 &&
                iNow - stClient.iLastUs > int64_t(g_iFirstRequestMs) * 1000 && stClient.iPort != 0 &&
                PeerPort(stClient.iFd) == stClient.iPort) {
                shutdown(stClient.iFd, SHUT_RDWR);
                stClient.iFd = -1;
                if (LogDue()) {
                    LOG_EX(LOG_FAIL, "CameraBusiness server thread held for %lld ms: connection from %s shut",
                           static_cast<long long>((iNow - m_iTickUs) / 1000), stClient.strAddress.c_str());
                }
            }
        }
    }
}
