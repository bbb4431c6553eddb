// One session of the desktop's ScreenCast portal: asks for every monitor, and hands back the
// PipeWire streams and the remote they are read from. Asynchronous on the GLib main context that is
// the calling thread's default when Open is called; used from that thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct STRUCT_CastStream
{
    unsigned uiNode = 0;
    int iX = 0;
    int iY = 0;
    int iWidth = 0;
    int iHeight = 0;
};

struct STRUCT_CastResult
{
    bool blOk = false;
    bool blCancelled = false; // the user said no
    std::string strError;     // why it failed, for the log
    std::vector<STRUCT_CastStream> vecStream;
    std::string strRestoreToken; // presents the same choice at the next start without asking
};

struct STRUCT_PortalHandshake;

class CLS_ScreenCastPortal
{
public:
    using Done = std::function<void(const STRUCT_CastResult&)>;

    CLS_ScreenCastPortal() = default;
    ~CLS_ScreenCastPortal();
    CLS_ScreenCastPortal(const CLS_ScreenCastPortal&) = delete;
    CLS_ScreenCastPortal& operator=(const CLS_ScreenCastPortal&) = delete;

    // Starts a handshake, after closing any session before; _done runs once, unless Close comes
    // first. A token the portal does not take is dropped and the user is asked.
    void Open(const std::string& _strRestoreToken, Done _done);
    // The PipeWire remote of an open session (-1 otherwise); it stays open until Close.
    int Fd() const;
    // Ends the session and closes the remote; a handshake under way is abandoned.
    void Close();

private:
    std::shared_ptr<STRUCT_PortalHandshake> m_pHandshake;
};
