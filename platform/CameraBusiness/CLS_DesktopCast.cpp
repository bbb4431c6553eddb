#include "CLS_DesktopCast.h"

#include "Log.h"
#include "ScreenCastToken.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

bool Covers(const std::vector<std::tuple<int, int, int, int>>& _vecAsked,
            const std::vector<std::tuple<int, int, int, int>>& _vecWanted)
{
    return std::all_of(_vecWanted.begin(), _vecWanted.end(), [&_vecAsked](const auto& _screen) {
        return std::find(_vecAsked.begin(), _vecAsked.end(), _screen) != _vecAsked.end();
    });
}

GstPadProbeReturn DropReconfigure(GstPad*, GstPadProbeInfo* _pInfo, gpointer)
{
    return GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(_pInfo)) == GST_EVENT_RECONFIGURE ? GST_PAD_PROBE_DROP
                                                                                     : GST_PAD_PROBE_OK;
}

} // namespace

CLS_DesktopCast::CLS_DesktopCast(std::function<void(int)> _rebind) : m_rebind(std::move(_rebind)) {}

bool CLS_DesktopCast::WaylandSession()
{
    const char* pcDisplay = std::getenv("WAYLAND_DISPLAY");
    const char* pcType = std::getenv("XDG_SESSION_TYPE");
    return (pcDisplay != nullptr && pcDisplay[0] != '\0') ||
           (pcType != nullptr && std::strcmp(pcType, "wayland") == 0);
}

CLS_DesktopCast::Screen CLS_DesktopCast::ScreenOf(const STRUCT_ChannelPlan& _stPlan)
{
    return {_stPlan.iDeskX, _stPlan.iDeskY,
            _stPlan.iCaptureWidth > 0 ? _stPlan.iCaptureWidth : _stPlan.iWidth,
            _stPlan.iCaptureHeight > 0 ? _stPlan.iCaptureHeight : _stPlan.iHeight};
}

std::vector<CLS_DesktopCast::Screen> CLS_DesktopCast::WantedScreens() const
{
    std::vector<Screen> vecScreen;
    for (const STRUCT_ChannelPlan& stPlan : m_aWanted) {
        if (stPlan.blServed && stPlan.iDevType == CAMERA_BUSINESS_DEVICE_DESKTOP) {
            vecScreen.push_back(ScreenOf(stPlan));
        }
    }
    return vecScreen;
}

// The stream of the screen at the same position and of the same size; a scaled screen may give
// another size than the program sees, so the same position alone will do.
const STRUCT_CastStream* CLS_DesktopCast::StreamOf(const STRUCT_ChannelPlan& _stPlan) const
{
    const Screen screen = ScreenOf(_stPlan);
    const STRUCT_CastStream* pSamePlace = nullptr;
    for (const STRUCT_CastStream& stStream : m_vecStream) {
        if (Screen{stStream.iX, stStream.iY, stStream.iWidth, stStream.iHeight} == screen) {
            return &stStream;
        }
        if (stStream.iX == std::get<0>(screen) && stStream.iY == std::get<1>(screen) &&
            pSamePlace == nullptr) {
            pSamePlace = &stStream;
        }
    }
    return pSamePlace;
}

STRUCT_ChannelPlan CLS_DesktopCast::Resolve(int _iChNo, const STRUCT_ChannelPlan& _stWanted)
{
    m_aWanted[_iChNo] = _stWanted;
    if (!m_blWayland || _stWanted.iDevType != CAMERA_BUSINESS_DEVICE_DESKTOP) {
        return _stWanted;
    }
    QueueSync();
    STRUCT_ChannelPlan stPlan = _stWanted;
    stPlan.blServed = false;
    if (!_stWanted.blServed || m_enPhase != ENUM_Phase::Casting) {
        return stPlan;
    }
    if (const STRUCT_CastStream* pStream = StreamOf(_stWanted)) {
        stPlan.blServed = true;
        stPlan.iCastFd = m_portal.Fd();
        stPlan.uiCastNode = pStream->uiNode;
    } else if (!m_aReported[_iChNo]) {
        m_aReported[_iChNo] = true;
        const auto [iX, iY, iWidth, iHeight] = ScreenOf(_stWanted);
        LOG_EX(LOG_FAIL, "CameraBusiness channel %d not served: the screen %dx%d at %d,%d was not shared",
               _iChNo, iWidth, iHeight, iX, iY);
    }
    return stPlan;
}

// After the calls in the queue: the channels of one table are asked for in one go.
void CLS_DesktopCast::QueueSync()
{
    if (m_blSyncQueued) {
        return;
    }
    m_blSyncQueued = true;
    GSource* pSource = g_idle_source_new();
    g_source_set_callback(
        pSource,
        [](gpointer _pThis) {
            static_cast<CLS_DesktopCast*>(_pThis)->Sync();
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
    g_source_attach(pSource, g_main_context_get_thread_default());
    g_source_unref(pSource);
}

// One session for the screens served. It is asked for again only when a screen comes that it was
// not asked for: a refusal is not asked again in a loop, and a screen that goes leaves the others
// playing.
void CLS_DesktopCast::Sync()
{
    m_blSyncQueued = false;
    if (m_blClosed) {
        return;
    }
    const std::vector<Screen> vecWanted = WantedScreens();
    if (vecWanted.empty()) {
        if (m_enPhase != ENUM_Phase::Idle) {
            m_portal.Close();
            m_vecStream.clear();
            m_vecAsked.clear();
            m_enPhase = ENUM_Phase::Idle;
            LOG_EX(LOG_TRACE, "CameraBusiness screen cast ended: no desktop channel served");
        }
        return;
    }
    if (m_enPhase != ENUM_Phase::Idle && Covers(m_vecAsked, vecWanted)) {
        return;
    }
    m_vecAsked = vecWanted;
    m_vecStream.clear();
    m_aReported.fill(false);
    m_enPhase = ENUM_Phase::Asking;
    LOG_EX(LOG_TRACE, "CameraBusiness asking the ScreenCast portal for %d screens",
           static_cast<int>(vecWanted.size()));
    m_portal.Open(StoredCastToken(), [this](const STRUCT_CastResult& _stResult) { OnCast(_stResult); });
    // Channels served from a session before this one end with it.
    for (int iChNo = 0; iChNo < CAMERA_BUSINESS_MAX_CHANNELS; ++iChNo) {
        if (m_aWanted[iChNo].iDevType == CAMERA_BUSINESS_DEVICE_DESKTOP && m_aWanted[iChNo].blServed) {
            m_rebind(iChNo);
        }
    }
}

void CLS_DesktopCast::OnCast(const STRUCT_CastResult& _stResult)
{
    if (!_stResult.blOk) {
        m_enPhase = ENUM_Phase::Refused;
        LOG_EX(LOG_FAIL, "CameraBusiness desktop channels not served: %s", _stResult.strError.c_str());
        return;
    }
    m_enPhase = ENUM_Phase::Casting;
    m_vecStream = _stResult.vecStream;
    LOG_EX(LOG_TRACE, "CameraBusiness ScreenCast portal shares %d screens",
           static_cast<int>(m_vecStream.size()));
    if (!_stResult.strRestoreToken.empty()) {
        StoreCastToken(_stResult.strRestoreToken);
    }
    for (int iChNo = 0; iChNo < CAMERA_BUSINESS_MAX_CHANNELS; ++iChNo) {
        if (m_aWanted[iChNo].iDevType == CAMERA_BUSINESS_DEVICE_DESKTOP && m_aWanted[iChNo].blServed) {
            m_rebind(iChNo);
        }
    }
}

void CLS_DesktopCast::KeepCastSteady(GstElement* _pPipeline)
{
    GstElement* pCast = gst_bin_get_by_name(GST_BIN(_pPipeline), "cast");
    gst_object_unref(_pPipeline);
    if (pCast == nullptr) {
        return;
    }
    // On the peer: a RECONFIGURE that reaches pipewiresrc's pad has marked it before any probe there.
    GstPad* pPad = gst_element_get_static_pad(pCast, "src");
    if (GstPad* pPeer = gst_pad_get_peer(pPad)) {
        gst_pad_add_probe(pPeer, GST_PAD_PROBE_TYPE_EVENT_UPSTREAM, DropReconfigure, nullptr, nullptr);
        gst_object_unref(pPeer);
    }
    gst_object_unref(pPad);
    gst_object_unref(pCast);
}

void CLS_DesktopCast::Close()
{
    m_blClosed = true;
    m_portal.Close();
    m_enPhase = ENUM_Phase::Idle;
}
