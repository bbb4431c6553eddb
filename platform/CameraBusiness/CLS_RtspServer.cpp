#include "CLS_RtspServer.h"

#include "CLS_AudioCapture.h"
#include "CLS_DesktopCast.h"
#include "DesktopSource.h"
#include "Log.h"
#include "RtspGuard.h"

#include <gst/rtsp-server/rtsp-server.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>

namespace {

const char g_acRole[] = "user";
// The usual unprivileged RTSP port, served when the settings leave the port at 0.
const int g_iDefaultPort = 8554;
const char g_acPortVariable[] = "CAMERA_BUSINESS_DEFAULT_PORT";

using Task = std::function<void()>;

std::string Variable(const char* _pcName, const char* _pcDefault)
{
    const char* pcValue = std::getenv(_pcName);
    return pcValue != nullptr && pcValue[0] != '\0' ? pcValue : _pcDefault;
}

// Port 0 from the settings means a fresh installation: 8554, unless support or a test names
// another default (0 there meaning any free port).
int ServicePort(int _iPort)
{
    if (_iPort != 0) {
        return _iPort;
    }
    const std::string strDefault = Variable(g_acPortVariable, "");
    char* pcEnd = nullptr;
    const long lPort = std::strtol(strDefault.c_str(), &pcEnd, 10);
    if (strDefault.empty() || *pcEnd != '\0' || lPort < 0 || lPort > 65535) {
        return g_iDefaultPort;
    }
    return static_cast<int>(lPort);
}

bool HasProperty(GObject* _pObject, const char* _pcName)
{
    return g_object_class_find_property(G_OBJECT_GET_CLASS(_pObject), _pcName) != nullptr;
}

// A live source that claims to seek makes the server seek it when a client asks for "npt=0-",
// and the play then fails; live sources are never seekable here.
GstPadProbeReturn AnswerNotSeekable(GstPad*, GstPadProbeInfo* _pInfo, gpointer)
{
    GstQuery* pQuery = GST_PAD_PROBE_INFO_QUERY(_pInfo);
    if (GST_QUERY_TYPE(pQuery) != GST_QUERY_SEEKING) {
        return GST_PAD_PROBE_OK;
    }
    GstFormat format = GST_FORMAT_TIME;
    gst_query_parse_seeking(pQuery, &format, nullptr, nullptr, nullptr);
    gst_query_set_seeking(pQuery, format, FALSE, 0, -1);
    return GST_PAD_PROBE_HANDLED;
}

// A screen that does not change is sent as one frame every so often, not at the full rate: the
// encoder then costs next to nothing. For a second after a viewer joins, every frame goes, each
// with repeats of itself at g_iJoinRate, so that the viewer has the frames it needs to learn the
// stream at once, whatever the channel's rate.
const GstClockTime g_uiStillRepeat = 500 * GST_MSECOND;
const int g_iJoinRate = 60;
const char g_acStillFilterKey[] = "lumacast-still-filter";

struct STRUCT_StillFilter
{
    explicit STRUCT_StillFilter(int _iFrameRate) : iFrameRate(_iFrameRate) {}
    ~STRUCT_StillFilter()
    {
        if (pLast != nullptr) {
            gst_buffer_unref(pLast);
        }
    }
    const int iFrameRate;
    GstBuffer* pLast = nullptr;
    GstClockTime uiLastPassed = GST_CLOCK_TIME_NONE;
    bool blRepeating = false; // streaming thread only
    std::atomic<int> iJoinFrames{g_iJoinRate};
};

bool SameContent(GstBuffer* _pFirst, GstBuffer* _pSecond)
{
    GstMapInfo mapFirst;
    GstMapInfo mapSecond;
    if (gst_buffer_get_size(_pFirst) != gst_buffer_get_size(_pSecond) ||
        !gst_buffer_map(_pFirst, &mapFirst, GST_MAP_READ)) {
        return false;
    }
    bool blSame = false;
    if (gst_buffer_map(_pSecond, &mapSecond, GST_MAP_READ)) {
        // A frame a rate adapter repeated shares its memory with the one before.
        blSame =
            mapFirst.data == mapSecond.data || std::memcmp(mapFirst.data, mapSecond.data, mapFirst.size) == 0;
        gst_buffer_unmap(_pSecond, &mapSecond);
    }
    gst_buffer_unmap(_pFirst, &mapFirst);
    return blSame;
}

// Pushes copies of _pBuffer stamped in the interval before it, ahead of it.
void PushRepeats(GstPad* _pPad, GstBuffer* _pBuffer, STRUCT_StillFilter& _filter)
{
    const GstClockTime uiPts = GST_BUFFER_PTS(_pBuffer);
    const GstClockTime uiStep = GST_SECOND / g_iJoinRate;
    _filter.blRepeating = true;
    for (int iBefore = g_iJoinRate / _filter.iFrameRate - 1; iBefore > 0; --iBefore) {
        if (uiPts < iBefore * uiStep) {
            continue;
        }
        GstBuffer* pRepeat = gst_buffer_copy(_pBuffer);
        GST_BUFFER_PTS(pRepeat) = uiPts - iBefore * uiStep;
        GST_BUFFER_DTS(pRepeat) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DURATION(pRepeat) = uiStep;
        --_filter.iJoinFrames;
        if (gst_pad_push(_pPad, pRepeat) != GST_FLOW_OK) {
            break;
        }
    }
    _filter.blRepeating = false;
}

GstPadProbeReturn DropRepeatedFrame(GstPad* _pPad, GstPadProbeInfo* _pInfo, gpointer _pData)
{
    auto* pFilter = static_cast<STRUCT_StillFilter*>(_pData);
    if (pFilter->blRepeating) {
        return GST_PAD_PROBE_OK;
    }
    GstBuffer* pBuffer = GST_PAD_PROBE_INFO_BUFFER(_pInfo);
    const GstClockTime uiPts = GST_BUFFER_PTS(pBuffer);
    const bool blJoining = pFilter->iJoinFrames.load() > 0;
    if (!blJoining && pFilter->pLast != nullptr && GST_CLOCK_TIME_IS_VALID(uiPts) &&
        GST_CLOCK_TIME_IS_VALID(pFilter->uiLastPassed) && uiPts < pFilter->uiLastPassed + g_uiStillRepeat &&
        SameContent(pFilter->pLast, pBuffer)) {
        return GST_PAD_PROBE_DROP;
    }
    if (blJoining) {
        // Every frame counts towards the join, also one without a time to repeat it before.
        if (GST_CLOCK_TIME_IS_VALID(uiPts)) {
            PushRepeats(_pPad, pBuffer, *pFilter);
        }
        --pFilter->iJoinFrames;
    }
    gst_buffer_replace(&pFilter->pLast, pBuffer);
    pFilter->uiLastPassed = uiPts;
    return GST_PAD_PROBE_OK;
}

void ReleaseStillFilter(gpointer _pData)
{
    delete static_cast<STRUCT_StillFilter*>(_pData);
}

} // namespace

// What the host side, the server thread and the media threads share; signal handlers hold it
// alive for as long as they stay connected.
struct STRUCT_ServerShared : std::enable_shared_from_this<STRUCT_ServerShared>
{
    struct STRUCT_Track
    {
        int iChNo = 0;
        bool blAudio = false;
        bool blPrepared = false;
        bool blFailed = false; // reported once, whatever else its pipeline says
        gulong ulPrepared = 0;
        gulong ulUnprepared = 0;
        gulong ulMessage = 0;
    };

    ~STRUCT_ServerShared();
    void Post(Task _task);
    void Report(int _iMessage, int _iChNo);
    void UseAudio(int _iChNo, const std::string& _strInput);
    void LeaveAudio(int _iChNo);
    void EndClients(int _iChNo);
    void Apply(int _iChNo, const STRUCT_ChannelPlan& _stPlan);
    void SetBitRate(int _iChNo, int _iBitRate);
    GstRTSPMediaFactory* MakeFactory(int _iChNo, const STRUCT_ChannelPlan& _stPlan);
    void Configure(int _iChNo, GstRTSPMedia* _pMedia);
    void Forget(GstRTSPMedia* _pMedia);
    static void Disconnect(GstRTSPMedia* _pMedia, const STRUCT_Track& _stTrack);
    std::set<GstRTSPMedia*> Medias(int _iChNo);
    bool Listen(const std::string& _strAddress, int _iPort);
    void CloseListener();
    void SetAuth(const std::string& _strUser, const std::string& _strPassword);
    void Shutdown();

    GMainContext* pContext = g_main_context_new();
    GMainLoop* pLoop = g_main_loop_new(pContext, FALSE);
    GstRTSPServer* pServer = gst_rtsp_server_new();
    GstRTSPMountPoints* pMounts = gst_rtsp_server_get_mount_points(pServer);
    GSocket* pSocket = nullptr;
    std::shared_ptr<CLS_RtspGuard> pGuard = std::make_shared<CLS_RtspGuard>(pServer, pContext);
    int iPort = 0;
    bool blLoopbackOnly = true;
    std::string strCameraSource = Variable("CAMERA_BUSINESS_CAMERA_SOURCE", "v4l2src");
    // Inputs are listed by their ALSA names, so they are captured by the same names.
    std::string strAudioSource = Variable("CAMERA_BUSINESS_AUDIO_SOURCE", "alsasrc");
    STRUCT_ChannelPlan aPlan[CAMERA_BUSINESS_MAX_CHANNELS];
    // Server thread only: each channel's audio capture and how many of its media listen to it.
    struct STRUCT_AudioUse
    {
        int iUsers = 0;
        std::unique_ptr<CLS_AudioCapture> pCapture;
    };
    std::map<int, STRUCT_AudioUse> mapAudio;
    bool blStopping = false;
    CLS_DesktopCast desktopCast{
        [this](int _iChNo) { Apply(_iChNo, desktopCast.Resolve(_iChNo, desktopCast.Wanted(_iChNo))); }};

    std::mutex mutex; // guards what follows: media threads and the host reach it
    std::map<GstRTSPMedia*, STRUCT_Track> mapTrack;
    CameraMessCallback pCallback = nullptr;
    intptr_t iCallbackUser = 0;
};

namespace {

using Shared = std::shared_ptr<STRUCT_ServerShared>;

// Signal handlers get their own reference to the shared part, released with the handler.
Shared* HandlerData(const Shared& _pShared)
{
    return new Shared(_pShared);
}

void ReleaseHandlerData(gpointer _pData, GClosure*)
{
    delete static_cast<Shared*>(_pData);
}

struct STRUCT_FactoryData
{
    Shared pShared;
    int iChNo;
};

void OnMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* _pMedia, gpointer _pData)
{
    auto* pData = static_cast<STRUCT_FactoryData*>(_pData);
    pData->pShared->Configure(pData->iChNo, _pMedia);
}

void ReleaseFactoryData(gpointer _pData, GClosure*)
{
    delete static_cast<STRUCT_FactoryData*>(_pData);
}

void OnPrepared(GstRTSPMedia* _pMedia, gpointer _pData)
{
    STRUCT_ServerShared& shared = **static_cast<Shared*>(_pData);
    int iChNo = -1;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        const auto it = shared.mapTrack.find(_pMedia);
        if (it != shared.mapTrack.end()) {
            it->second.blPrepared = true;
            iChNo = it->second.iChNo;
        }
    }
    if (iChNo >= 0) {
        shared.Post([pShared = *static_cast<Shared*>(_pData), iChNo] {
            pShared->Report(CAMERA_BUSINESS_MSG_CHANNEL_STARTED, iChNo);
        });
    }
}

void OnUnprepared(GstRTSPMedia* _pMedia, gpointer _pData)
{
    (*static_cast<Shared*>(_pData))->Forget(_pMedia);
}

gboolean OnMediaMessage(GstRTSPMedia* _pMedia, GstMessage* _pMessage, gpointer _pData)
{
    if (GST_MESSAGE_TYPE(_pMessage) != GST_MESSAGE_ERROR) {
        return FALSE;
    }
    GError* pError = nullptr;
    gst_message_parse_error(_pMessage, &pError, nullptr);
    STRUCT_ServerShared& shared = **static_cast<Shared*>(_pData);
    int iChNo = -1;
    bool blFirst = false;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        const auto it = shared.mapTrack.find(_pMedia);
        if (it != shared.mapTrack.end()) {
            iChNo = it->second.iChNo;
            blFirst = !it->second.blFailed;
            it->second.blFailed = true;
        }
    }
    LOG_EX(LOG_FAIL, "CameraBusiness channel %d stream failed: %s", iChNo,
           pError != nullptr ? pError->message : "unknown error");
    g_clear_error(&pError);
    if (blFirst) {
        shared.Post([pShared = *static_cast<Shared*>(_pData), iChNo] {
            pShared->EndClients(iChNo);
            pShared->Report(CAMERA_BUSINESS_MSG_CHANNEL_FAILED, iChNo);
        });
    }
    return FALSE;
}

GstElement* ChildElement(GstRTSPMedia* _pMedia, const char* _pcName)
{
    GstElement* pBin = gst_rtsp_media_get_element(_pMedia);
    GstElement* pChild = gst_bin_get_by_name(GST_BIN(pBin), _pcName);
    gst_object_unref(pBin);
    return pChild;
}

// A client that starts playing a running stream gets a key frame now instead of at the next
// interval.
void OnPlayRequest(GstRTSPClient*, GstRTSPContext* _pContext, gpointer)
{
    if (_pContext->sessmedia == nullptr) {
        return;
    }
    GstRTSPMedia* pMedia = gst_rtsp_session_media_get_media(_pContext->sessmedia);
    if (auto* pFilter =
            static_cast<STRUCT_StillFilter*>(g_object_get_data(G_OBJECT(pMedia), g_acStillFilterKey))) {
        pFilter->iJoinFrames = g_iJoinRate;
    }
    GstElement* pEncoder = ChildElement(pMedia, "enc");
    if (pEncoder != nullptr) {
        gst_element_send_event(pEncoder,
                               gst_video_event_new_upstream_force_key_unit(GST_CLOCK_TIME_NONE, TRUE, 0));
        gst_object_unref(pEncoder);
    }
}

void OnClientConnected(GstRTSPServer*, GstRTSPClient* _pClient, gpointer)
{
    g_signal_connect(_pClient, "play-request", G_CALLBACK(OnPlayRequest), nullptr);
}

gboolean RunTask(gpointer _pData)
{
    (*static_cast<Task*>(_pData))();
    return G_SOURCE_REMOVE;
}

void ReleaseTask(gpointer _pData)
{
    delete static_cast<Task*>(_pData);
}

struct STRUCT_EndFilter
{
    std::set<GstRTSPMedia*> setMedia;
    bool blFound = false;
    bool blRemoved = false;
    int iClients = 0;
    int iSessions = 0;
};

GstRTSPFilterResult MatchSessionMedia(GstRTSPSession*, GstRTSPSessionMedia* _pSessionMedia, gpointer _pData)
{
    auto* pFilter = static_cast<STRUCT_EndFilter*>(_pData);
    if (pFilter->setMedia.count(gst_rtsp_session_media_get_media(_pSessionMedia)) != 0) {
        pFilter->blFound = true;
    }
    return GST_RTSP_FILTER_KEEP;
}

bool SessionUses(GstRTSPSession* _pSession, STRUCT_EndFilter& _filter)
{
    _filter.blFound = false;
    gst_rtsp_session_filter(_pSession, MatchSessionMedia, &_filter);
    return _filter.blFound;
}

GstRTSPFilterResult FilterSession(GstRTSPClient*, GstRTSPSession* _pSession, gpointer _pData)
{
    auto* pFilter = static_cast<STRUCT_EndFilter*>(_pData);
    if (!SessionUses(_pSession, *pFilter)) {
        return GST_RTSP_FILTER_KEEP;
    }
    pFilter->blRemoved = true;
    return GST_RTSP_FILTER_REMOVE;
}

GstRTSPFilterResult FilterClient(GstRTSPServer*, GstRTSPClient* _pClient, gpointer _pData)
{
    auto* pFilter = static_cast<STRUCT_EndFilter*>(_pData);
    pFilter->blRemoved = false;
    gst_rtsp_client_session_filter(_pClient, FilterSession, pFilter);
    pFilter->iClients += pFilter->blRemoved ? 1 : 0;
    return pFilter->blRemoved ? GST_RTSP_FILTER_REMOVE : GST_RTSP_FILTER_KEEP;
}

GstRTSPFilterResult RemoveClient(GstRTSPServer*, GstRTSPClient*, gpointer)
{
    return GST_RTSP_FILTER_REMOVE;
}

GstRTSPFilterResult FilterPoolSession(GstRTSPSessionPool*, GstRTSPSession* _pSession, gpointer _pData)
{
    auto* pFilter = static_cast<STRUCT_EndFilter*>(_pData);
    const bool blUses = SessionUses(_pSession, *pFilter);
    pFilter->iSessions += blUses ? 1 : 0;
    return blUses ? GST_RTSP_FILTER_REMOVE : GST_RTSP_FILTER_KEEP;
}

std::string MountPath(int _iChNo)
{
    return "/ch" + std::to_string(_iChNo);
}

} // namespace

STRUCT_ServerShared::~STRUCT_ServerShared()
{
    g_object_unref(pMounts);
    g_object_unref(pServer);
    g_main_loop_unref(pLoop);
    g_main_context_unref(pContext);
}

// Queued on the server thread in call order, also while that thread owns no context yet.
void STRUCT_ServerShared::Post(Task _task)
{
    GSource* pSource = g_idle_source_new();
    g_source_set_callback(pSource, RunTask, new Task(std::move(_task)), ReleaseTask);
    g_source_attach(pSource, pContext);
    g_source_unref(pSource);
}

void STRUCT_ServerShared::Report(int _iMessage, int _iChNo)
{
    CameraMessCallback pReceiver = nullptr;
    intptr_t iUser = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        pReceiver = pCallback;
        iUser = iCallbackUser;
    }
    if (pReceiver != nullptr) {
        pReceiver(_iMessage, _iChNo, 0, iUser);
    }
}

// The first media of a channel starts its capture, the last one to go ends it; a new input
// replaces the old capture for the media still listening.
void STRUCT_ServerShared::UseAudio(int _iChNo, const std::string& _strInput)
{
    if (blStopping) {
        return;
    }
    STRUCT_AudioUse& stUse = mapAudio[_iChNo];
    ++stUse.iUsers;
    if (stUse.pCapture != nullptr && stUse.pCapture->Input() == _strInput) {
        return;
    }
    stUse.pCapture.reset();
    std::weak_ptr<STRUCT_ServerShared> pWeak = shared_from_this();
    stUse.pCapture = std::make_unique<CLS_AudioCapture>(
        pContext, _iChNo, strAudioSource, _strInput, CLS_AudioCapture::InterChannel(this, _iChNo),
        [pWeak, _iChNo](bool _blCapturing) {
            if (auto pShared = pWeak.lock()) {
                pShared->Report(_blCapturing ? CAMERA_BUSINESS_MSG_AUDIO_RESTORED
                                             : CAMERA_BUSINESS_MSG_AUDIO_FAILED,
                                _iChNo);
            }
        });
}

void STRUCT_ServerShared::LeaveAudio(int _iChNo)
{
    const auto it = mapAudio.find(_iChNo);
    if (it != mapAudio.end() && --it->second.iUsers <= 0) {
        mapAudio.erase(it);
    }
}

std::set<GstRTSPMedia*> STRUCT_ServerShared::Medias(int _iChNo)
{
    std::set<GstRTSPMedia*> setMedia;
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& pair : mapTrack) {
        if (_iChNo < 0 || pair.second.iChNo == _iChNo) {
            setMedia.insert(pair.first);
        }
    }
    return setMedia;
}

// Closes the connections of the channel's clients (every client for -1) and drops their sessions,
// so that its pipeline stops; they connect again to what is served now.
void STRUCT_ServerShared::EndClients(int _iChNo)
{
    STRUCT_EndFilter filter;
    filter.setMedia = Medias(_iChNo);
    if (filter.setMedia.empty()) {
        return;
    }
    gst_rtsp_server_client_filter(pServer, FilterClient, &filter);
    GstRTSPSessionPool* pPool = gst_rtsp_server_get_session_pool(pServer);
    gst_rtsp_session_pool_filter(pPool, FilterPoolSession, &filter);
    g_object_unref(pPool);
    LOG_EX(LOG_TRACE, "CameraBusiness channel %d: %d clients and %d more sessions ended", _iChNo,
           filter.iClients, filter.iSessions);
}

void STRUCT_ServerShared::SetBitRate(int _iChNo, int _iBitRate)
{
    for (GstRTSPMedia* pMedia : Medias(_iChNo)) {
        if (GstElement* pEncoder = ChildElement(pMedia, "enc")) {
            g_object_set(pEncoder, "bitrate", static_cast<guint>(_iBitRate), nullptr);
            gst_object_unref(pEncoder);
        }
    }
}

GstRTSPMediaFactory* STRUCT_ServerShared::MakeFactory(int _iChNo, const STRUCT_ChannelPlan& _stPlan)
{
    GstRTSPMediaFactory* pFactory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(pFactory, LaunchLine(_stPlan, strCameraSource).c_str());
    gst_rtsp_media_factory_set_shared(pFactory, TRUE);
    // pipewiresrc offers a clock that leaps (to twice its time, seen within two seconds of a cast's
    // start): the rate adapter would then fill hours with copies at full speed.
    GstClock* pClock = gst_system_clock_obtain();
    gst_rtsp_media_factory_set_clock(pFactory, pClock);
    gst_object_unref(pClock);
    // Without a role the mount answers 401 even to the right password.
    gst_rtsp_media_factory_add_role(pFactory, g_acRole, GST_RTSP_PERM_MEDIA_FACTORY_ACCESS, G_TYPE_BOOLEAN,
                                    TRUE, GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT, G_TYPE_BOOLEAN, TRUE,
                                    nullptr);
    g_signal_connect_data(pFactory, "media-configure", G_CALLBACK(OnMediaConfigure),
                          new STRUCT_FactoryData{shared_from_this(), _iChNo}, ReleaseFactoryData,
                          GConnectFlags(0));
    return pFactory;
}

// Runs on the thread that builds the media: names the devices, which never go into a launch line,
// and keeps the media for bit-rate changes and for ending its clients.
void STRUCT_ServerShared::Configure(int _iChNo, GstRTSPMedia* _pMedia)
{
    const STRUCT_ChannelPlan stPlan = [this, _iChNo] {
        std::lock_guard<std::mutex> lock(mutex);
        return aPlan[_iChNo];
    }();
    if (GstElement* pSource = ChildElement(_pMedia, "src")) {
        if (stPlan.iDevType != CAMERA_BUSINESS_DEVICE_DESKTOP && !stPlan.strDevice.empty() &&
            HasProperty(G_OBJECT(pSource), "device")) {
            g_object_set(pSource, "device", stPlan.strDevice.c_str(), nullptr);
        }
        if (HasProperty(G_OBJECT(pSource), "is-live")) {
            g_object_set(pSource, "is-live", TRUE, nullptr);
        }
        GstPad* pPad = gst_element_get_static_pad(pSource, "src");
        gst_pad_add_probe(pPad, GST_PAD_PROBE_TYPE_QUERY_UPSTREAM, AnswerNotSeekable, nullptr, nullptr);
        if (stPlan.iDevType == CAMERA_BUSINESS_DEVICE_DESKTOP) {
            // The media, and with it the pipeline that owns the filter, outlives every client.
            auto* pFilter = new STRUCT_StillFilter(ServedFrameRate(stPlan));
            g_object_set_data(G_OBJECT(_pMedia), g_acStillFilterKey, pFilter);
            gst_pad_add_probe(pPad, GST_PAD_PROBE_TYPE_BUFFER, DropRepeatedFrame, pFilter,
                              ReleaseStillFilter);
        }
        gst_object_unref(pPad);
        gst_object_unref(pSource);
    }
    const bool blAudio = stPlan.blAudio;
    if (GstElement* pAudio = ChildElement(_pMedia, "asrc")) {
        g_object_set(pAudio, "channel", CLS_AudioCapture::InterChannel(this, _iChNo).c_str(), "latency-time",
                     static_cast<guint64>(20 * GST_MSECOND), "period-time",
                     static_cast<guint64>(20 * GST_MSECOND), "buffer-time",
                     static_cast<guint64>(200 * GST_MSECOND), nullptr);
        gst_object_unref(pAudio);
        Post([pShared = shared_from_this(), _iChNo, strInput = stPlan.strAudioName] {
            pShared->UseAudio(_iChNo, strInput);
        });
    }
    CLS_DesktopCast::KeepCastSteady(gst_rtsp_media_get_element(_pMedia));
    STRUCT_Track stTrack;
    stTrack.iChNo = _iChNo;
    stTrack.blAudio = blAudio;
    stTrack.ulPrepared =
        g_signal_connect_data(_pMedia, "prepared", G_CALLBACK(OnPrepared), HandlerData(shared_from_this()),
                              ReleaseHandlerData, GConnectFlags(0));
    stTrack.ulUnprepared =
        g_signal_connect_data(_pMedia, "unprepared", G_CALLBACK(OnUnprepared),
                              HandlerData(shared_from_this()), ReleaseHandlerData, GConnectFlags(0));
    stTrack.ulMessage =
        g_signal_connect_data(_pMedia, "handle-message", G_CALLBACK(OnMediaMessage),
                              HandlerData(shared_from_this()), ReleaseHandlerData, GConnectFlags(0));
    std::lock_guard<std::mutex> lock(mutex);
    mapTrack[GST_RTSP_MEDIA(g_object_ref(_pMedia))] = stTrack;
}

void STRUCT_ServerShared::Forget(GstRTSPMedia* _pMedia)
{
    STRUCT_Track stTrack;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = mapTrack.find(_pMedia);
        if (it == mapTrack.end()) {
            return;
        }
        stTrack = it->second;
        mapTrack.erase(it);
    }
    // The pipeline has stopped: the still-frame filter lets go of the last frame now.
    if (auto* pFilter =
            static_cast<STRUCT_StillFilter*>(g_object_get_data(G_OBJECT(_pMedia), g_acStillFilterKey))) {
        gst_clear_buffer(&pFilter->pLast);
    }
    Disconnect(_pMedia, stTrack);
    if (stTrack.blAudio) {
        Post([pShared = shared_from_this(), iChNo = stTrack.iChNo] { pShared->LeaveAudio(iChNo); });
    }
    // A pipeline that never got going failed on its device before its bus could say so.
    if (!stTrack.blPrepared && !stTrack.blFailed) {
        LOG_EX(LOG_FAIL, "CameraBusiness channel %d stream could not start", stTrack.iChNo);
        Post([pShared = shared_from_this(), iChNo = stTrack.iChNo] {
            pShared->Report(CAMERA_BUSINESS_MSG_CHANNEL_FAILED, iChNo);
        });
    }
}

void STRUCT_ServerShared::Disconnect(GstRTSPMedia* _pMedia, const STRUCT_Track& _stTrack)
{
    for (const gulong ulHandler : {_stTrack.ulPrepared, _stTrack.ulUnprepared, _stTrack.ulMessage}) {
        g_signal_handler_disconnect(_pMedia, ulHandler);
    }
    g_object_unref(_pMedia);
}

void STRUCT_ServerShared::Apply(int _iChNo, const STRUCT_ChannelPlan& _stPlan)
{
    STRUCT_ChannelPlan stOld;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stOld = aPlan[_iChNo];
        aPlan[_iChNo] = _stPlan;
    }
    const std::string strPath = MountPath(_iChNo);
    if (NeedsNewPipeline(stOld, _stPlan)) {
        gst_rtsp_mount_points_remove_factory(pMounts, strPath.c_str());
        EndClients(_iChNo);
        if (_stPlan.blServed) {
            gst_rtsp_mount_points_add_factory(pMounts, strPath.c_str(), MakeFactory(_iChNo, _stPlan));
            LOG_EX(LOG_TRACE, "CameraBusiness channel %d served at rtsp://127.0.0.1:%d%s", _iChNo, iPort,
                   strPath.c_str());
        } else {
            LOG_EX(LOG_TRACE, "CameraBusiness channel %d not served", _iChNo);
        }
    } else if (_stPlan.blServed && stOld.iBitRate != _stPlan.iBitRate) {
        GstRTSPMediaFactory* pFactory = gst_rtsp_mount_points_match(pMounts, strPath.c_str(), nullptr);
        if (pFactory != nullptr) {
            gst_rtsp_media_factory_set_launch(pFactory, LaunchLine(_stPlan, strCameraSource).c_str());
            g_object_unref(pFactory);
        }
        SetBitRate(_iChNo, EncoderBitRate(_stPlan));
    }
}

bool STRUCT_ServerShared::Listen(const std::string& _strAddress, int _iPort)
{
    gst_rtsp_server_set_address(pServer, _strAddress.c_str());
    gst_rtsp_server_set_service(pServer, std::to_string(_iPort).c_str());
    GError* pError = nullptr;
    pSocket = gst_rtsp_server_create_socket(pServer, nullptr, &pError);
    if (pSocket == nullptr) {
        LOG_EX(LOG_FAIL, "CameraBusiness cannot listen on %s port %d: %s", _strAddress.c_str(), _iPort,
               pError != nullptr ? pError->message : "unknown error");
        g_clear_error(&pError);
        return false;
    }
    GSocketAddress* pAddress = g_socket_get_local_address(pSocket, nullptr);
    iPort = pAddress != nullptr ? g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(pAddress)) : _iPort;
    g_clear_object(&pAddress);
    pGuard->Listen(pSocket);
    blLoopbackOnly = _strAddress == "127.0.0.1";
    LOG_EX(LOG_TRACE, "CameraBusiness serving rtsp://%s:%d/chN", _strAddress.c_str(), iPort);
    return true;
}

void STRUCT_ServerShared::CloseListener()
{
    pGuard->StopListening();
    if (pSocket != nullptr) {
        g_socket_close(pSocket, nullptr);
        g_clear_object(&pSocket);
    }
}

// Without a user, the server listens on the loopback interface only and lets every local client in.
void STRUCT_ServerShared::SetAuth(const std::string& _strUser, const std::string& _strPassword)
{
    GstRTSPAuth* pAuth =
        NewServerAuth(_strUser, _strPassword, g_acRole, pGuard->Failures(),
                      [pWeak = std::weak_ptr<CLS_RtspGuard>(pGuard)](GstRTSPClient* _pClient) {
                          if (const auto pKept = pWeak.lock()) {
                              pKept->RequestSeen(_pClient);
                          }
                      });
    gst_rtsp_server_set_auth(pServer, pAuth);
    g_object_unref(pAuth);
}

void STRUCT_ServerShared::Shutdown()
{
    desktopCast.Close();
    for (int iChNo = 0; iChNo < CAMERA_BUSINESS_MAX_CHANNELS; ++iChNo) {
        gst_rtsp_mount_points_remove_factory(pMounts, MountPath(iChNo).c_str());
    }
    CloseListener();
    EndClients(-1);
    gst_rtsp_server_client_filter(pServer, RemoveClient, nullptr);
    blStopping = true;
    mapAudio.clear();
    g_main_loop_quit(pLoop);
}

CLS_RtspServer::~CLS_RtspServer()
{
    Stop();
}

int CLS_RtspServer::Start(int _iPort, const std::string& _strGivenUser, const std::string& _strPassword)
{
    const std::string strUser = NetworkUser(_strGivenUser, _strPassword);
    static std::once_flag s_onceInit;
    static bool s_blInit = false;
    std::call_once(s_onceInit, [] {
        GError* pError = nullptr;
        if (gst_init_check(nullptr, nullptr, &pError) == FALSE) {
            LOG_EX(LOG_FAIL, "CameraBusiness !gst_init_check: %s", pError != nullptr ? pError->message : "");
            g_clear_error(&pError);
        } else if (!RegisterDesktopSource()) {
            LOG_EX(LOG_FAIL, "CameraBusiness !RegisterDesktopSource");
        } else {
            s_blInit = true;
        }
    });
    if (!s_blInit || Running()) {
        return 0;
    }
    auto pShared = std::make_shared<STRUCT_ServerShared>();
    // Clients are served on the server thread itself, media pipelines on threads of their own.
    GstRTSPThreadPool* pPool = gst_rtsp_server_get_thread_pool(pShared->pServer);
    gst_rtsp_thread_pool_set_max_threads(pPool, 0);
    g_object_unref(pPool);
    g_signal_connect(pShared->pServer, "client-connected", G_CALLBACK(OnClientConnected), nullptr);
    pShared->SetAuth(strUser, _strPassword);
    const int iPort = ServicePort(_iPort);
    if (!pShared->Listen(strUser.empty() ? "127.0.0.1" : "0.0.0.0", iPort)) {
        return 0;
    }
    if (_iPort == 0) {
        LOG_EX(LOG_TRACE, "CameraBusiness no port in the settings: serving on port %d", pShared->iPort);
    }
    {
        std::lock_guard<std::mutex> lock(pShared->mutex);
        pShared->pCallback = m_pCallback;
        pShared->iCallbackUser = m_iCallbackUser;
    }
    m_pShared = pShared;
    m_thread = std::thread([pShared] {
        g_main_context_push_thread_default(pShared->pContext);
        g_main_loop_run(pShared->pLoop);
        // Lets closing connections finish before the context goes.
        while (g_main_context_iteration(pShared->pContext, FALSE)) {
        }
        g_main_context_pop_thread_default(pShared->pContext);
    });
    return pShared->iPort;
}

void CLS_RtspServer::Stop()
{
    if (!Running()) {
        return;
    }
    m_pShared->Post([pShared = m_pShared] { pShared->Shutdown(); });
    m_thread.join();
    std::map<GstRTSPMedia*, STRUCT_ServerShared::STRUCT_Track> mapTrack;
    {
        std::lock_guard<std::mutex> lock(m_pShared->mutex);
        mapTrack.swap(m_pShared->mapTrack);
    }
    for (const auto& pair : mapTrack) {
        STRUCT_ServerShared::Disconnect(pair.first, pair.second);
    }
    m_pShared.reset();
}

void CLS_RtspServer::SetUser(const std::string& _strGivenUser, const std::string& _strPassword)
{
    const std::string strUser = NetworkUser(_strGivenUser, _strPassword);
    if (!Running()) {
        return;
    }
    m_pShared->Post([pShared = m_pShared, strUser, _strPassword] {
        pShared->SetAuth(strUser, _strPassword);
        // A screen is never offered to the network without a password: the listening interface
        // follows the user.
        if (pShared->blLoopbackOnly != strUser.empty()) {
            const int iPort = pShared->iPort;
            pShared->CloseListener();
            pShared->EndClients(-1);
            gst_rtsp_server_client_filter(pShared->pServer, RemoveClient, nullptr);
            pShared->Listen(strUser.empty() ? "127.0.0.1" : "0.0.0.0", iPort);
        }
    });
}

void CLS_RtspServer::SetCallback(CameraMessCallback _pCallback, intptr_t _iUser)
{
    m_pCallback = _pCallback;
    m_iCallbackUser = _iUser;
    if (Running()) {
        std::lock_guard<std::mutex> lock(m_pShared->mutex);
        m_pShared->pCallback = _pCallback;
        m_pShared->iCallbackUser = _iUser;
    }
}

void CLS_RtspServer::Publish(int _iChNo, const STRUCT_ChannelPlan& _stPlan)
{
    if (Running() && _iChNo >= 0 && _iChNo < CAMERA_BUSINESS_MAX_CHANNELS) {
        m_pShared->Post([pShared = m_pShared, _iChNo, _stPlan] {
            pShared->Apply(_iChNo, pShared->desktopCast.Resolve(_iChNo, _stPlan));
        });
    }
}
