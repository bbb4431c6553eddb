// Desktop channels of a Wayland session, where an X11 client sees no screen: captured through the
// desktop's ScreenCast portal, one portal session for every screen served. Elsewhere the plans
// pass unchanged. Used on the server thread only.
#pragma once

#include "CLS_ScreenCastPortal.h"
#include "ChannelPlan.h"

#include <gst/gst.h>

#include <array>
#include <functional>
#include <tuple>
#include <vector>

class CLS_DesktopCast
{
public:
    // _rebind(chNo) asks for channel chNo to be resolved again: its screen may have come or gone.
    explicit CLS_DesktopCast(std::function<void(int)> _rebind);

    static bool WaylandSession();

    // What channel _iChNo serves: in a Wayland session a desktop is bound to the portal stream of
    // its screen, and not served while there is none.
    STRUCT_ChannelPlan Resolve(int _iChNo, const STRUCT_ChannelPlan& _stWanted);
    const STRUCT_ChannelPlan& Wanted(int _iChNo) const { return m_aWanted[_iChNo]; }
    // Ends the portal session for good.
    void Close();
    // For a media's pipeline (taken): pipewiresrc reconnects its stream on a RECONFIGURE from
    // downstream, and after that the stream freezes on a broken time stamp.
    static void KeepCastSteady(GstElement* _pPipeline);

private:
    enum class ENUM_Phase
    {
        Idle,
        Asking,
        Casting,
        Refused
    };
    using Screen = std::tuple<int, int, int, int>;

    static Screen ScreenOf(const STRUCT_ChannelPlan& _stPlan);
    std::vector<Screen> WantedScreens() const;
    const STRUCT_CastStream* StreamOf(const STRUCT_ChannelPlan& _stPlan) const;
    void QueueSync();
    void Sync();
    void OnCast(const STRUCT_CastResult& _stResult);

    std::function<void(int)> m_rebind;
    bool m_blWayland = WaylandSession();
    bool m_blClosed = false;
    bool m_blSyncQueued = false;
    ENUM_Phase m_enPhase = ENUM_Phase::Idle;
    std::vector<Screen> m_vecAsked; // the screens the session under way or refused was asked for
    std::vector<STRUCT_CastStream> m_vecStream;
    std::array<STRUCT_ChannelPlan, CAMERA_BUSINESS_MAX_CHANNELS> m_aWanted{};
    std::array<bool, CAMERA_BUSINESS_MAX_CHANNELS> m_aReported{}; // "not shared" said once per session
    CLS_ScreenCastPortal m_portal;
};
