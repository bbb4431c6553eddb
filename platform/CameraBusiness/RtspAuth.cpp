#include "RtspAuth.h"

#include <algorithm>
#include <cstring>

namespace {

const int64_t g_iFirstBarUs = G_USEC_PER_SEC;
const int64_t g_iLongestBarUs = 60 * G_USEC_PER_SEC;

struct STRUCT_AuthExtra
{
    std::shared_ptr<CLS_AuthFailures> pFailures;
    RequestSeen requestSeen;
};

struct STRUCT_ServerAuth
{
    GstRTSPAuth parent;
    STRUCT_AuthExtra* pExtra;
};

struct STRUCT_ServerAuthClass
{
    GstRTSPAuthClass parent;
};

G_DEFINE_TYPE(STRUCT_ServerAuth, server_auth, GST_TYPE_RTSP_AUTH)

STRUCT_AuthExtra& Extra(GstRTSPAuth* _pAuth)
{
    return *reinterpret_cast<STRUCT_ServerAuth*>(_pAuth)->pExtra;
}

std::string Address(GstRTSPContext* _pContext)
{
    const gchar* pcIp = _pContext->conn != nullptr ? gst_rtsp_connection_get_ip(_pContext->conn) : nullptr;
    return pcIp != nullptr ? pcIp : "";
}

// The path (and query) of an RTSP URI, absolute or not; empty when it does not parse.
std::string PathOf(const char* _pcUri)
{
    if (_pcUri == nullptr) {
        return "";
    }
    if (_pcUri[0] == '/') {
        return _pcUri;
    }
    GstRTSPUrl* pUrl = nullptr;
    if (gst_rtsp_url_parse(_pcUri, &pUrl) != GST_RTSP_OK || pUrl == nullptr) {
        return "";
    }
    std::string strPath = pUrl->abspath != nullptr ? pUrl->abspath : "";
    if (pUrl->query != nullptr) {
        strPath += std::string("?") + pUrl->query;
    }
    gst_rtsp_url_free(pUrl);
    return strPath;
}

// True when every Digest header's uri names the request's resource (the same text, or the same
// path and query).
bool DigestUriMatches(GstRTSPContext* _pContext)
{
    GstRTSPMethod eMethod = GST_RTSP_INVALID;
    const gchar* pcRequestUri = nullptr;
    GstRTSPVersion eVersion = GST_RTSP_VERSION_INVALID;
    if (gst_rtsp_message_parse_request(_pContext->request, &eMethod, &pcRequestUri, &eVersion) !=
        GST_RTSP_OK) {
        return false;
    }
    GstRTSPAuthCredential** ppCredentials =
        gst_rtsp_message_parse_auth_credentials(_pContext->request, GST_RTSP_HDR_AUTHORIZATION);
    bool blMatches = true;
    for (GstRTSPAuthCredential** pp = ppCredentials; pp != nullptr && *pp != nullptr; ++pp) {
        if ((*pp)->scheme != GST_RTSP_AUTH_DIGEST) {
            continue;
        }
        const char* pcUri = nullptr;
        for (GstRTSPAuthParam** ppParam = (*pp)->params; ppParam != nullptr && *ppParam != nullptr;
             ++ppParam) {
            if (std::strcmp((*ppParam)->name, "uri") == 0) {
                pcUri = (*ppParam)->value;
                break;
            }
        }
        bool blSame = pcUri != nullptr && pcRequestUri != nullptr && std::strcmp(pcUri, pcRequestUri) == 0;
        if (!blSame && pcUri != nullptr && pcRequestUri != nullptr) {
            const std::string strPath = PathOf(pcUri);
            blSame = !strPath.empty() && strPath == PathOf(pcRequestUri);
        }
        blMatches = blMatches && blSame;
    }
    if (ppCredentials != nullptr) {
        gst_rtsp_auth_credentials_free(ppCredentials);
    }
    return blMatches;
}

bool HasCredentials(GstRTSPContext* _pContext)
{
    gchar* pcValue = nullptr;
    return gst_rtsp_message_get_header(_pContext->request, GST_RTSP_HDR_AUTHORIZATION, &pcValue, 0) ==
           GST_RTSP_OK;
}

gboolean Authenticate(GstRTSPAuth* _pAuth, GstRTSPContext* _pContext)
{
    STRUCT_AuthExtra& extra = Extra(_pAuth);
    const std::string strAddress = Address(_pContext);
    const int64_t iNow = g_get_monotonic_time();
    GstRTSPToken* pDefault = gst_rtsp_auth_get_default_token(_pAuth);
    if (pDefault != nullptr) {
        // No user: everyone in (loopback only).
        gst_rtsp_token_unref(pDefault);
        return GST_RTSP_AUTH_CLASS(server_auth_parent_class)->authenticate(_pAuth, _pContext);
    }
    _pContext->token = nullptr;
    if (!HasCredentials(_pContext) || extra.pFailures->Barred(strAddress, iNow)) {
        return TRUE;
    }
    if (DigestUriMatches(_pContext)) {
        GST_RTSP_AUTH_CLASS(server_auth_parent_class)->authenticate(_pAuth, _pContext);
    }
    if (_pContext->token != nullptr) {
        extra.pFailures->Succeeded(strAddress);
    } else {
        extra.pFailures->Failed(strAddress, iNow);
    }
    return TRUE;
}

void SendUnauthorized(GstRTSPAuth* _pAuth, GstRTSPContext* _pContext)
{
    gst_rtsp_message_init_response(_pContext->response, GST_RTSP_STS_UNAUTHORIZED,
                                   gst_rtsp_status_as_text(GST_RTSP_STS_UNAUTHORIZED), _pContext->request);
    GST_RTSP_AUTH_GET_CLASS(_pAuth)->generate_authenticate_header(_pAuth, _pContext);
    gst_rtsp_client_send_message(_pContext->client, _pContext->session, _pContext->response);
}

gboolean Check(GstRTSPAuth* _pAuth, GstRTSPContext* _pContext, const gchar* _pcCheck)
{
    if (std::strcmp(_pcCheck, GST_RTSP_AUTH_CHECK_URL) == 0) {
        // A whole request came, answered or not: the connection is not idle.
        if (Extra(_pAuth).requestSeen) {
            Extra(_pAuth).requestSeen(_pContext->client);
        }
        if (_pContext->method != GST_RTSP_OPTIONS) {
            if (_pContext->token == nullptr) {
                Authenticate(_pAuth, _pContext);
            }
            if (_pContext->token == nullptr) {
                SendUnauthorized(_pAuth, _pContext);
                return FALSE;
            }
        }
    }
    return GST_RTSP_AUTH_CLASS(server_auth_parent_class)->check(_pAuth, _pContext, _pcCheck);
}

void Finalize(GObject* _pObject)
{
    delete reinterpret_cast<STRUCT_ServerAuth*>(_pObject)->pExtra;
    G_OBJECT_CLASS(server_auth_parent_class)->finalize(_pObject);
}

void server_auth_class_init(STRUCT_ServerAuthClass* _pClass)
{
    G_OBJECT_CLASS(_pClass)->finalize = Finalize;
    GST_RTSP_AUTH_CLASS(_pClass)->authenticate = Authenticate;
    GST_RTSP_AUTH_CLASS(_pClass)->check = Check;
}

void server_auth_init(STRUCT_ServerAuth* _pSelf)
{
    _pSelf->pExtra = new STRUCT_AuthExtra();
}

} // namespace

bool CLS_AuthFailures::Barred(const std::string& _strAddress, int64_t _iNowUs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_mapRecord.find(_strAddress);
    return it != m_mapRecord.end() && it->second.iBarredUntilUs > _iNowUs;
}

void CLS_AuthFailures::Failed(const std::string& _strAddress, int64_t _iNowUs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Bounded: a flood from many addresses forgets the oldest bars, never grows without end.
    if (m_mapRecord.size() > 4096) {
        m_mapRecord.clear();
    }
    STRUCT_Record& record = m_mapRecord[_strAddress];
    record.iFailures = std::min(record.iFailures + 1, 64);
    const int iOver = record.iFailures - g_iFree;
    if (iOver >= 0) {
        record.iBarredUntilUs = _iNowUs + std::min(g_iFirstBarUs << std::min(iOver, 6), g_iLongestBarUs);
    }
}

void CLS_AuthFailures::Succeeded(const std::string& _strAddress)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mapRecord.erase(_strAddress);
}

std::string NetworkUser(const std::string& _strUser, const std::string& _strPassword)
{
    return _strPassword.empty() ? std::string() : _strUser;
}

GstRTSPAuth* NewServerAuth(const std::string& _strUser, const std::string& _strPassword, const char* _pcRole,
                           std::shared_ptr<CLS_AuthFailures> _pFailures, RequestSeen _requestSeen)
{
    auto* pSelf = static_cast<STRUCT_ServerAuth*>(g_object_new(server_auth_get_type(), nullptr));
    pSelf->pExtra->pFailures = std::move(_pFailures);
    pSelf->pExtra->requestSeen = std::move(_requestSeen);
    GstRTSPAuth* pAuth = GST_RTSP_AUTH(pSelf);
    GstRTSPToken* pToken =
        gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, _pcRole, nullptr);
    if (_strUser.empty()) {
        gst_rtsp_auth_set_default_token(pAuth, pToken);
    } else {
        // Digest only: Basic would send the password readable.
        gst_rtsp_auth_set_supported_methods(pAuth, GST_RTSP_AUTH_DIGEST);
        gst_rtsp_auth_set_realm(pAuth, "Lumacast");
        gst_rtsp_auth_add_digest(pAuth, _strUser.c_str(), _strPassword.c_str(), pToken);
    }
    gst_rtsp_token_unref(pToken);
    return pAuth;
}
