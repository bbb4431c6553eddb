// The server's authentication: gst-rtsp-server's Digest, with what it leaves out.
// - Every request but OPTIONS is authenticated before its path is looked at, so that an absent
//   channel (404) cannot be told from a present one (401) without credentials.
// - The Digest "uri" must name the request's own resource; gst-rtsp-server computes the expected
//   answer from the header's uri alone, so a header made for another path was accepted.
// - An address that fails CLS_AuthFailures::g_iFree times in a row is refused unheard for a while,
//   1 s doubled per further failure up to 60 s, then heard again.
// - Every whole request is reported to the guard (a client that completes requests is alive).
#pragma once

#include <gst/rtsp-server/rtsp-server.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// Failures per address; outlives the authentication objects, which change with the user.
class CLS_AuthFailures
{
public:
    static const int g_iFree = 10;
    // True while _strAddress is refused unheard.
    bool Barred(const std::string& _strAddress, int64_t _iNowUs);
    void Failed(const std::string& _strAddress, int64_t _iNowUs);
    void Succeeded(const std::string& _strAddress);

private:
    struct STRUCT_Record
    {
        int iFailures = 0;
        int64_t iBarredUntilUs = 0;
    };
    std::mutex m_mutex;
    std::map<std::string, STRUCT_Record> m_mapRecord;
};

// The user the server serves the network to: none when the password is empty (a screen is never
// offered to the network without a password; the server then serves 127.0.0.1 only, as without a
// user), else _strUser.
std::string NetworkUser(const std::string& _strUser, const std::string& _strPassword);

using RequestSeen = std::function<void(GstRTSPClient*)>;

// A new authentication object: Digest with _strUser and _strPassword and role _pcRole, or, with
// no user, everyone let in with that role.
GstRTSPAuth* NewServerAuth(const std::string& _strUser, const std::string& _strPassword, const char* _pcRole,
                           std::shared_ptr<CLS_AuthFailures> _pFailures, RequestSeen _requestSeen);
