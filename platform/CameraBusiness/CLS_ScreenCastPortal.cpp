#include "CLS_ScreenCastPortal.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>

#include <unistd.h>

namespace {

const char g_acPortal[] = "org.freedesktop.portal.Desktop";
const char g_acPortalPath[] = "/org/freedesktop/portal/desktop";
const char g_acScreenCast[] = "org.freedesktop.portal.ScreenCast";
const char g_acRequest[] = "org.freedesktop.portal.Request";
const char g_acSession[] = "org.freedesktop.portal.Session";
const guint32 g_uiMonitor = 1;
const guint32 g_uiCursorEmbedded = 2;
// Until the user revokes it: the user is asked once, not at every start.
const guint32 g_uiPersistUntilRevoked = 2;
const guint32 g_uiResponseCancelled = 1;
const int g_iCloseTimeoutMs = 1000;

using Step = void (*)(STRUCT_PortalHandshake&, GVariant*);

} // namespace

// The handshake's state. Every pending call holds a reference, so a call that ends after Close
// finds it abandoned instead of freed.
struct STRUCT_PortalHandshake : std::enable_shared_from_this<STRUCT_PortalHandshake>
{
    ~STRUCT_PortalHandshake();
    void Connect();
    void Request(const char* _pcMethod, GVariant* _pArgs, Step _next);
    void CreateSession();
    bool AskWithoutToken();
    void Fail(const std::string& _strError, bool _blCancelled = false);
    void Succeed();
    void EndSession();
    void Close();
    std::string RequestPath(const std::string& _strToken) const;
    std::string NextToken() { return "lumacast" + std::to_string(++iRequests); }
    GVariantBuilder Options(const std::string& _strToken);

    GCancellable* pCancel = g_cancellable_new();
    GDBusConnection* pBus = nullptr;
    std::string strToken;
    std::string strSession;
    guint uiSubscription = 0;
    guint32 uiCursorModes = 0;
    int iRequests = 0;
    int iFd = -1;
    bool blOpen = true;
    Step next = nullptr;
    CLS_ScreenCastPortal::Done done;
    STRUCT_CastResult result;
};

namespace {

using Handshake = std::shared_ptr<STRUCT_PortalHandshake>;

Handshake* Hold(STRUCT_PortalHandshake& _handshake)
{
    return new Handshake(_handshake.shared_from_this());
}

void Release(gpointer _pData)
{
    delete static_cast<Handshake*>(_pData);
}

std::string ErrorText(GError* _pError)
{
    const std::string strText = _pError != nullptr ? _pError->message : "unknown error";
    g_clear_error(&_pError);
    return strText;
}

// Takes the held reference; null when the handshake was abandoned meanwhile.
STRUCT_PortalHandshake* Resume(gpointer _pData, Handshake& _pHeld)
{
    _pHeld = *static_cast<Handshake*>(_pData);
    Release(_pData);
    return _pHeld->blOpen ? _pHeld.get() : nullptr;
}

void OnResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                GVariant* _pParameters, gpointer _pData)
{
    // Unsubscribing below may release the subscription's reference.
    const Handshake pHeld = *static_cast<Handshake*>(_pData);
    STRUCT_PortalHandshake& handshake = *pHeld;
    if (!handshake.blOpen || handshake.next == nullptr) {
        return;
    }
    guint32 uiCode = 0;
    GVariant* pResults = nullptr;
    g_variant_get(_pParameters, "(u@a{sv})", &uiCode, &pResults);
    g_dbus_connection_signal_unsubscribe(handshake.pBus, handshake.uiSubscription);
    handshake.uiSubscription = 0;
    const Step next = handshake.next;
    handshake.next = nullptr;
    if (uiCode == 0) {
        next(handshake, pResults);
    } else if (uiCode == g_uiResponseCancelled) {
        handshake.Fail("the user did not share the screens", true);
    } else if (!handshake.AskWithoutToken()) {
        handshake.Fail("the portal refused the screen cast");
    }
    g_variant_unref(pResults);
}

void OnRequestCalled(GObject* _pSource, GAsyncResult* _pResult, gpointer _pData)
{
    Handshake pHeld;
    GError* pError = nullptr;
    GVariant* pReply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(_pSource), _pResult, &pError);
    STRUCT_PortalHandshake* pHandshake = Resume(_pData, pHeld);
    if (pReply != nullptr) {
        g_variant_unref(pReply);
    }
    if (pHandshake != nullptr && pReply == nullptr) {
        const std::string strError = ErrorText(pError);
        if (!pHandshake->AskWithoutToken()) {
            pHandshake->Fail(strError);
        }
        return;
    }
    g_clear_error(&pError);
}

void OnStarted(STRUCT_PortalHandshake& _handshake, GVariant* _pResults)
{
    const gchar* pcToken = nullptr;
    if (g_variant_lookup(_pResults, "restore_token", "&s", &pcToken)) {
        _handshake.result.strRestoreToken = pcToken;
    }
    GVariantIter* pIter = nullptr;
    if (g_variant_lookup(_pResults, "streams", "a(ua{sv})", &pIter)) {
        guint32 uiNode = 0;
        GVariant* pProperties = nullptr;
        while (g_variant_iter_next(pIter, "(u@a{sv})", &uiNode, &pProperties)) {
            STRUCT_CastStream stStream;
            stStream.uiNode = uiNode;
            g_variant_lookup(pProperties, "position", "(ii)", &stStream.iX, &stStream.iY);
            g_variant_lookup(pProperties, "size", "(ii)", &stStream.iWidth, &stStream.iHeight);
            _handshake.result.vecStream.push_back(stStream);
            g_variant_unref(pProperties);
        }
        g_variant_iter_free(pIter);
    }
    _handshake.Succeed();
}

void OnSourcesSelected(STRUCT_PortalHandshake& _handshake, GVariant*)
{
    GVariantBuilder builder = _handshake.Options(_handshake.NextToken());
    _handshake.Request("Start", g_variant_new("(osa{sv})", _handshake.strSession.c_str(), "", &builder),
                       OnStarted);
}

void OnSessionCreated(STRUCT_PortalHandshake& _handshake, GVariant* _pResults)
{
    const gchar* pcSession = nullptr;
    if (!g_variant_lookup(_pResults, "session_handle", "&s", &pcSession)) {
        _handshake.Fail("the portal gave no session");
        return;
    }
    _handshake.strSession = pcSession;
    GVariantBuilder builder = _handshake.Options(_handshake.NextToken());
    g_variant_builder_add(&builder, "{sv}", "types", g_variant_new_uint32(g_uiMonitor));
    g_variant_builder_add(&builder, "{sv}", "multiple", g_variant_new_boolean(TRUE));
    g_variant_builder_add(&builder, "{sv}", "persist_mode", g_variant_new_uint32(g_uiPersistUntilRevoked));
    if ((_handshake.uiCursorModes & g_uiCursorEmbedded) != 0) {
        g_variant_builder_add(&builder, "{sv}", "cursor_mode", g_variant_new_uint32(g_uiCursorEmbedded));
    }
    if (!_handshake.strToken.empty()) {
        g_variant_builder_add(&builder, "{sv}", "restore_token",
                              g_variant_new_string(_handshake.strToken.c_str()));
    }
    _handshake.Request("SelectSources", g_variant_new("(oa{sv})", pcSession, &builder), OnSourcesSelected);
}

void OnRemoteOpened(GObject* _pSource, GAsyncResult* _pResult, gpointer _pData)
{
    Handshake pHeld;
    GError* pError = nullptr;
    GUnixFDList* pFds = nullptr;
    GVariant* pReply = g_dbus_connection_call_with_unix_fd_list_finish(G_DBUS_CONNECTION(_pSource), &pFds,
                                                                       _pResult, &pError);
    STRUCT_PortalHandshake* pHandshake = Resume(_pData, pHeld);
    int iFd = -1;
    if (pReply != nullptr) {
        gint32 iIndex = -1;
        g_variant_get(pReply, "(h)", &iIndex);
        iFd = pFds != nullptr ? g_unix_fd_list_get(pFds, iIndex, &pError) : -1;
        g_variant_unref(pReply);
    }
    g_clear_object(&pFds);
    if (pHandshake == nullptr) {
        if (iFd >= 0) {
            close(iFd);
        }
        g_clear_error(&pError);
        return;
    }
    if (iFd < 0) {
        pHandshake->Fail(ErrorText(pError));
        return;
    }
    pHandshake->iFd = iFd;
    pHandshake->result.blOk = true;
    const CLS_ScreenCastPortal::Done done = std::move(pHandshake->done);
    done(pHandshake->result);
}

void OnCursorModes(GObject* _pSource, GAsyncResult* _pResult, gpointer _pData)
{
    Handshake pHeld;
    GError* pError = nullptr;
    GVariant* pReply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(_pSource), _pResult, &pError);
    STRUCT_PortalHandshake* pHandshake = Resume(_pData, pHeld);
    if (pReply == nullptr) {
        // No ScreenCast interface, or no portal at all.
        if (pHandshake != nullptr) {
            pHandshake->Fail(ErrorText(pError));
        } else {
            g_clear_error(&pError);
        }
        return;
    }
    GVariant* pValue = nullptr;
    g_variant_get(pReply, "(v)", &pValue);
    if (pHandshake != nullptr && g_variant_is_of_type(pValue, G_VARIANT_TYPE_UINT32)) {
        pHandshake->uiCursorModes = g_variant_get_uint32(pValue);
    }
    g_variant_unref(pValue);
    g_variant_unref(pReply);
    if (pHandshake != nullptr) {
        pHandshake->CreateSession();
    }
}

void OnConnected(GObject*, GAsyncResult* _pResult, gpointer _pData)
{
    Handshake pHeld;
    GError* pError = nullptr;
    GDBusConnection* pBus = g_dbus_connection_new_for_address_finish(_pResult, &pError);
    STRUCT_PortalHandshake* pHandshake = Resume(_pData, pHeld);
    if (pHandshake == nullptr) {
        g_clear_object(&pBus);
        g_clear_error(&pError);
        return;
    }
    if (pBus == nullptr) {
        pHandshake->Fail("no session bus: " + ErrorText(pError));
        return;
    }
    pHandshake->pBus = pBus;
    g_dbus_connection_call(pBus, g_acPortal, g_acPortalPath, "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", g_acScreenCast, "AvailableCursorModes"),
                           G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, -1, pHandshake->pCancel,
                           OnCursorModes, Hold(*pHandshake));
}

} // namespace

STRUCT_PortalHandshake::~STRUCT_PortalHandshake()
{
    Close();
    g_object_unref(pCancel);
}

void STRUCT_PortalHandshake::Connect()
{
    GError* pError = nullptr;
    gchar* pcAddress = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, pCancel, &pError);
    if (pcAddress == nullptr) {
        Fail("no session bus: " + ErrorText(pError));
        return;
    }
    // A connection of its own: the portal ends the session when it goes, whatever else happens.
    g_dbus_connection_new_for_address(pcAddress,
                                      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                      nullptr, pCancel, OnConnected, Hold(*this));
    g_free(pcAddress);
}

std::string STRUCT_PortalHandshake::RequestPath(const std::string& _strToken) const
{
    std::string strSender = g_dbus_connection_get_unique_name(pBus) + 1;
    for (char& cChar : strSender) {
        cChar = cChar == '.' ? '_' : cChar;
    }
    return std::string(g_acPortalPath) + "/request/" + strSender + "/" + _strToken;
}

GVariantBuilder STRUCT_PortalHandshake::Options(const std::string& _strToken)
{
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&builder, "{sv}", "handle_token", g_variant_new_string(_strToken.c_str()));
    return builder;
}

// The answer comes as a signal on a path known in advance: subscribed before the call, so that a
// quick portal's answer is not missed.
void STRUCT_PortalHandshake::Request(const char* _pcMethod, GVariant* _pArgs, Step _next)
{
    GVariant* pHandleToken = nullptr;
    GVariant* pOptions = g_variant_get_child_value(_pArgs, g_variant_n_children(_pArgs) - 1);
    g_variant_lookup(pOptions, "handle_token", "@s", &pHandleToken);
    const std::string strPath = RequestPath(g_variant_get_string(pHandleToken, nullptr));
    g_variant_unref(pHandleToken);
    g_variant_unref(pOptions);
    next = _next;
    uiSubscription = g_dbus_connection_signal_subscribe(pBus, g_acPortal, g_acRequest, "Response",
                                                        strPath.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                        OnResponse, Hold(*this), Release);
    g_dbus_connection_call(pBus, g_acPortal, g_acPortalPath, g_acScreenCast, _pcMethod, _pArgs,
                           G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1, pCancel, OnRequestCalled,
                           Hold(*this));
}

void STRUCT_PortalHandshake::CreateSession()
{
    const std::string strToken = NextToken();
    GVariantBuilder builder = Options(strToken);
    g_variant_builder_add(&builder, "{sv}", "session_handle_token", g_variant_new_string(strToken.c_str()));
    Request("CreateSession", g_variant_new("(a{sv})", &builder), OnSessionCreated);
}

// A token that the portal refuses (revoked, of another desktop, not one at all): the user is
// asked instead, once. False when no token was presented.
bool STRUCT_PortalHandshake::AskWithoutToken()
{
    if (strToken.empty()) {
        return false;
    }
    strToken.clear();
    EndSession();
    CreateSession();
    return true;
}

void STRUCT_PortalHandshake::Succeed()
{
    g_dbus_connection_call_with_unix_fd_list(
        pBus, g_acPortal, g_acPortalPath, g_acScreenCast, "OpenPipeWireRemote",
        g_variant_new("(o@a{sv})", strSession.c_str(),
                      g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
        G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, pCancel, OnRemoteOpened, Hold(*this));
}

void STRUCT_PortalHandshake::Fail(const std::string& _strError, bool _blCancelled)
{
    if (!done) {
        return;
    }
    result = STRUCT_CastResult();
    result.blCancelled = _blCancelled;
    result.strError = _strError;
    const CLS_ScreenCastPortal::Done doneNow = std::move(done);
    done = nullptr;
    Close();
    doneNow(result);
}

void STRUCT_PortalHandshake::EndSession()
{
    if (uiSubscription != 0) {
        g_dbus_connection_signal_unsubscribe(pBus, uiSubscription);
        uiSubscription = 0;
    }
    next = nullptr;
    if (!strSession.empty()) {
        GVariant* pReply =
            g_dbus_connection_call_sync(pBus, g_acPortal, strSession.c_str(), g_acSession, "Close", nullptr,
                                        nullptr, G_DBUS_CALL_FLAGS_NONE, g_iCloseTimeoutMs, nullptr, nullptr);
        if (pReply != nullptr) {
            g_variant_unref(pReply);
        }
        strSession.clear();
    }
}

void STRUCT_PortalHandshake::Close()
{
    if (!blOpen) {
        return;
    }
    blOpen = false;
    g_cancellable_cancel(pCancel);
    if (pBus != nullptr) {
        EndSession();
        g_dbus_connection_close_sync(pBus, nullptr, nullptr);
        g_clear_object(&pBus);
    }
    if (iFd >= 0) {
        close(iFd);
        iFd = -1;
    }
}

CLS_ScreenCastPortal::~CLS_ScreenCastPortal()
{
    Close();
}

void CLS_ScreenCastPortal::Open(const std::string& _strRestoreToken, Done _done)
{
    Close();
    m_pHandshake = std::make_shared<STRUCT_PortalHandshake>();
    m_pHandshake->strToken = _strRestoreToken;
    m_pHandshake->done = std::move(_done);
    m_pHandshake->Connect();
}

int CLS_ScreenCastPortal::Fd() const
{
    return m_pHandshake != nullptr && m_pHandshake->blOpen ? m_pHandshake->iFd : -1;
}

void CLS_ScreenCastPortal::Close()
{
    if (m_pHandshake != nullptr) {
        m_pHandshake->Close();
        m_pHandshake.reset();
    }
}
