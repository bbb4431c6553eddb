#include "DesktopSource.h"

#include <gst/base/gstpushsrc.h>
#include <gst/video/video.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

const int g_iMaxSide = 32767;

struct STRUCT_DesktopSrc
{
    GstPushSrc parent;
    // Properties.
    gchar* pcDisplay;
    guint uiStartX, uiStartY, uiEndX, uiEndY;
    gboolean blPointer;
    // Negotiated.
    int iWidth, iHeight, iRateN, iRateD;
    // While started.
    xcb_connection_t* pConnection;
    xcb_window_t uiRoot;
    bool blXFixes;
    xcb_shm_seg_t uiSegment;
    guint8* pShared;
    guint64 uiLastFrame;
    GMutex mutexClock; // guards pClockId: unlock() comes from another thread
    GstClockID pClockId;
    bool blFlushing;
};

struct STRUCT_DesktopSrcClass
{
    GstPushSrcClass parent;
};

enum
{
    PROP_0,
    PROP_DISPLAY,
    PROP_STARTX,
    PROP_STARTY,
    PROP_ENDX,
    PROP_ENDY,
    PROP_POINTER
};

#define DESKTOP_SRC(obj) (reinterpret_cast<STRUCT_DesktopSrc*>(obj))

G_DEFINE_TYPE(STRUCT_DesktopSrc, desktop_src, GST_TYPE_PUSH_SRC)

GstStaticPadTemplate g_srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format=BGRx, width=[1,32767], height=[1,32767], framerate=[1/1,100/1], "
                    "pixel-aspect-ratio=1/1"));

// The screen's root window and size; false when the connection or the screen is not usable.
bool RootOf(xcb_connection_t* _pConnection, int _iScreen, xcb_screen_t& _stScreen)
{
    if (xcb_connection_has_error(_pConnection)) {
        return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(_pConnection));
    for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i) {
        if (i == _iScreen) {
            _stScreen = *it.data;
            return true;
        }
    }
    return false;
}

// Frames are read as 32 bits per pixel, least significant byte first: BGRx.
bool ThirtyTwoBitLsb(xcb_connection_t* _pConnection, int _iDepth)
{
    const xcb_setup_t* pSetup = xcb_get_setup(_pConnection);
    if (pSetup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) {
        return false;
    }
    for (xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(pSetup); it.rem > 0;
         xcb_format_next(&it)) {
        if (it.data->depth == _iDepth) {
            return it.data->bits_per_pixel == 32;
        }
    }
    return false;
}

// The rectangle's size: from the properties, the whole screen where they leave it open.
void RequestedSize(STRUCT_DesktopSrc* _pSelf, int _iScreenWidth, int _iScreenHeight, int& _iWidth,
                   int& _iHeight)
{
    _iWidth = _pSelf->uiEndX > _pSelf->uiStartX ? int(_pSelf->uiEndX - _pSelf->uiStartX + 1)
                                                : _iScreenWidth - int(_pSelf->uiStartX);
    _iHeight = _pSelf->uiEndY > _pSelf->uiStartY ? int(_pSelf->uiEndY - _pSelf->uiStartY + 1)
                                                 : _iScreenHeight - int(_pSelf->uiStartY);
    _iWidth = std::clamp(_iWidth, 1, g_iMaxSide);
    _iHeight = std::clamp(_iHeight, 1, g_iMaxSide);
}

bool RectangleIsOpen(STRUCT_DesktopSrc* _pSelf)
{
    return _pSelf->uiEndX <= _pSelf->uiStartX || _pSelf->uiEndY <= _pSelf->uiStartY;
}

GstCaps* GetCaps(GstBaseSrc* _pSrc, GstCaps* _pFilter)
{
    STRUCT_DesktopSrc* pSelf = DESKTOP_SRC(_pSrc);
    int iScreenWidth = 0;
    int iScreenHeight = 0;
    // Only a rectangle left open needs the screen before start; asking costs a connection of its
    // own, which takes no lock another capture could hold.
    if (pSelf->pConnection == nullptr && RectangleIsOpen(pSelf)) {
        int iScreen = 0;
        xcb_connection_t* pConnection = xcb_connect(pSelf->pcDisplay, &iScreen);
        xcb_screen_t stScreen;
        if (RootOf(pConnection, iScreen, stScreen)) {
            iScreenWidth = stScreen.width_in_pixels;
            iScreenHeight = stScreen.height_in_pixels;
        }
        xcb_disconnect(pConnection);
        if (iScreenWidth <= 0) {
            return gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(_pSrc));
        }
    }
    int iWidth = pSelf->iWidth;
    int iHeight = pSelf->iHeight;
    if (pSelf->pConnection == nullptr) {
        RequestedSize(pSelf, iScreenWidth, iScreenHeight, iWidth, iHeight);
    }
    GstCaps* pCaps =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT, iWidth,
                            "height", G_TYPE_INT, iHeight, "framerate", GST_TYPE_FRACTION_RANGE, 1, 1, 100, 1,
                            "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    if (_pFilter != nullptr) {
        GstCaps* pBoth = gst_caps_intersect_full(_pFilter, pCaps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(pCaps);
        pCaps = pBoth;
    }
    return pCaps;
}

GstCaps* Fixate(GstBaseSrc* _pSrc, GstCaps* _pCaps)
{
    _pCaps = gst_caps_make_writable(_pCaps);
    for (guint i = 0; i < gst_caps_get_size(_pCaps); ++i) {
        gst_structure_fixate_field_nearest_fraction(gst_caps_get_structure(_pCaps, i), "framerate", 25, 1);
    }
    return GST_BASE_SRC_CLASS(desktop_src_parent_class)->fixate(_pSrc, _pCaps);
}

gboolean SetCaps(GstBaseSrc* _pSrc, GstCaps* _pCaps)
{
    STRUCT_DesktopSrc* pSelf = DESKTOP_SRC(_pSrc);
    const GstStructure* pStructure = gst_caps_get_structure(_pCaps, 0);
    int iWidth = 0;
    int iHeight = 0;
    if (!gst_structure_get_int(pStructure, "width", &iWidth) ||
        !gst_structure_get_int(pStructure, "height", &iHeight) ||
        !gst_structure_get_fraction(pStructure, "framerate", &pSelf->iRateN, &pSelf->iRateD) ||
        pSelf->iRateN <= 0 || iWidth != pSelf->iWidth || iHeight != pSelf->iHeight) {
        return FALSE;
    }
    return TRUE;
}

void DetachShared(STRUCT_DesktopSrc* _pSelf)
{
    if (_pSelf->pShared != nullptr) {
        xcb_shm_detach(_pSelf->pConnection, _pSelf->uiSegment);
        shmdt(_pSelf->pShared);
        _pSelf->pShared = nullptr;
    }
}

// One segment of the rectangle's size, removed at once: it goes when both sides have detached,
// also when the process dies. Without it (a remote server) frames come by plain GetImage.
void AttachShared(STRUCT_DesktopSrc* _pSelf)
{
    xcb_shm_query_version_reply_t* pVersion =
        xcb_shm_query_version_reply(_pSelf->pConnection, xcb_shm_query_version(_pSelf->pConnection), nullptr);
    if (pVersion == nullptr) {
        return;
    }
    free(pVersion);
    const int iId =
        shmget(IPC_PRIVATE, size_t(_pSelf->iWidth) * size_t(_pSelf->iHeight) * 4, IPC_CREAT | 0600);
    if (iId < 0) {
        return;
    }
    void* pAddress = shmat(iId, nullptr, 0);
    if (pAddress == reinterpret_cast<void*>(-1)) {
        shmctl(iId, IPC_RMID, nullptr);
        return;
    }
    _pSelf->uiSegment = xcb_generate_id(_pSelf->pConnection);
    xcb_generic_error_t* pError = xcb_request_check(
        _pSelf->pConnection, xcb_shm_attach_checked(_pSelf->pConnection, _pSelf->uiSegment, iId, FALSE));
    shmctl(iId, IPC_RMID, nullptr);
    if (pError != nullptr) {
        free(pError);
        shmdt(pAddress);
        return;
    }
    _pSelf->pShared = static_cast<guint8*>(pAddress);
}

gboolean Start(GstBaseSrc* _pSrc)
{
    STRUCT_DesktopSrc* pSelf = DESKTOP_SRC(_pSrc);
    int iScreen = 0;
    pSelf->pConnection = xcb_connect(pSelf->pcDisplay, &iScreen);
    xcb_screen_t stScreen;
    if (!RootOf(pSelf->pConnection, iScreen, stScreen)) {
        GST_ELEMENT_ERROR(pSelf, RESOURCE, OPEN_READ, ("cannot open X display %s", pSelf->pcDisplay),
                          (nullptr));
        xcb_disconnect(pSelf->pConnection);
        pSelf->pConnection = nullptr;
        return FALSE;
    }
    if (!ThirtyTwoBitLsb(pSelf->pConnection, stScreen.root_depth)) {
        GST_ELEMENT_ERROR(pSelf, RESOURCE, SETTINGS,
                          ("X screen of depth %d is not 32-bit BGRx", stScreen.root_depth), (nullptr));
        xcb_disconnect(pSelf->pConnection);
        pSelf->pConnection = nullptr;
        return FALSE;
    }
    pSelf->uiRoot = stScreen.root;
    RequestedSize(pSelf, stScreen.width_in_pixels, stScreen.height_in_pixels, pSelf->iWidth, pSelf->iHeight);
    AttachShared(pSelf);
    xcb_xfixes_query_version_reply_t* pFixes = xcb_xfixes_query_version_reply(
        pSelf->pConnection, xcb_xfixes_query_version(pSelf->pConnection, 4, 0), nullptr);
    pSelf->blXFixes = pFixes != nullptr;
    free(pFixes);
    pSelf->uiLastFrame = G_MAXUINT64;
    pSelf->blFlushing = false;
    return TRUE;
}

gboolean Stop(GstBaseSrc* _pSrc)
{
    STRUCT_DesktopSrc* pSelf = DESKTOP_SRC(_pSrc);
    if (pSelf->pConnection != nullptr) {
        DetachShared(pSelf);
        xcb_disconnect(pSelf->pConnection);
        pSelf->pConnection = nullptr;
    }
    pSelf->iWidth = pSelf->iHeight = 0;
    return TRUE;
}

gboolean Unlock(GstBaseSrc* _pSrc)
{
    STRUCT_DesktopSrc* pSelf = DESKTOP_SRC(_pSrc);
    g_mutex_lock(&pSelf->mutexClock);
    pSelf->blFlushing = true;
    if (pSelf->pClockId != nullptr) {
        gst_clock_id_unschedule(pSelf->pClockId);
    }
    g_mutex_unlock(&pSelf->mutexClock);
    return TRUE;
}

gboolean UnlockStop(GstBaseSrc* _pSrc)
{
    STRUCT_DesktopSrc* pSelf = DESKTOP_SRC(_pSrc);
    g_mutex_lock(&pSelf->mutexClock);
    pSelf->blFlushing = false;
    g_mutex_unlock(&pSelf->mutexClock);
    return TRUE;
}

// Waits for the next frame's time on the pipeline clock; its running time, or NONE when flushing.
GstClockTime WaitForFrame(STRUCT_DesktopSrc* _pSelf)
{
    GstClock* pClock = gst_element_get_clock(GST_ELEMENT(_pSelf));
    if (pClock == nullptr) {
        return 0;
    }
    const GstClockTime uiBase = gst_element_get_base_time(GST_ELEMENT(_pSelf));
    const GstClockTime uiNow = gst_clock_get_time(pClock);
    const GstClockTime uiRunning = uiNow > uiBase ? uiNow - uiBase : 0;
    guint64 uiFrame =
        gst_util_uint64_scale(uiRunning, guint64(_pSelf->iRateN), guint64(_pSelf->iRateD) * GST_SECOND);
    if (_pSelf->uiLastFrame != G_MAXUINT64 && uiFrame <= _pSelf->uiLastFrame) {
        uiFrame = _pSelf->uiLastFrame + 1;
    }
    const GstClockTime uiAt =
        gst_util_uint64_scale(uiFrame, guint64(_pSelf->iRateD) * GST_SECOND, guint64(_pSelf->iRateN));
    GstClockReturn eWait = GST_CLOCK_OK;
    if (uiBase + uiAt > uiNow) {
        g_mutex_lock(&_pSelf->mutexClock);
        if (_pSelf->blFlushing) {
            g_mutex_unlock(&_pSelf->mutexClock);
            gst_object_unref(pClock);
            return GST_CLOCK_TIME_NONE;
        }
        _pSelf->pClockId = gst_clock_new_single_shot_id(pClock, uiBase + uiAt);
        g_mutex_unlock(&_pSelf->mutexClock);
        eWait = gst_clock_id_wait(_pSelf->pClockId, nullptr);
        g_mutex_lock(&_pSelf->mutexClock);
        gst_clock_id_unref(_pSelf->pClockId);
        _pSelf->pClockId = nullptr;
        g_mutex_unlock(&_pSelf->mutexClock);
    }
    gst_object_unref(pClock);
    if (eWait == GST_CLOCK_UNSCHEDULED) {
        return GST_CLOCK_TIME_NONE;
    }
    _pSelf->uiLastFrame = uiFrame;
    return uiAt;
}

// Copies rows of _iWidth pixels from _pFrom (packed) into the top left of the frame.
void CopyRows(guint8* _pFrame, int _iFrameWidth, const guint8* _pFrom, int _iWidth, int _iHeight)
{
    for (int iRow = 0; iRow < _iHeight; ++iRow) {
        std::memcpy(_pFrame + size_t(iRow) * size_t(_iFrameWidth) * 4,
                    _pFrom + size_t(iRow) * size_t(_iWidth) * 4, size_t(_iWidth) * 4);
    }
}

// The pointer, premultiplied ARGB, drawn over the frame.
void DrawPointer(STRUCT_DesktopSrc* _pSelf, guint8* _pFrame)
{
    xcb_xfixes_get_cursor_image_reply_t* pCursor = xcb_xfixes_get_cursor_image_reply(
        _pSelf->pConnection, xcb_xfixes_get_cursor_image(_pSelf->pConnection), nullptr);
    if (pCursor == nullptr) {
        return;
    }
    const uint32_t* puiPixels = xcb_xfixes_get_cursor_image_cursor_image(pCursor);
    const int iLeft = int(pCursor->x) - int(pCursor->xhot) - int(_pSelf->uiStartX);
    const int iTop = int(pCursor->y) - int(pCursor->yhot) - int(_pSelf->uiStartY);
    for (int iY = std::max(0, -iTop); iY < pCursor->height && iTop + iY < _pSelf->iHeight; ++iY) {
        for (int iX = std::max(0, -iLeft); iX < pCursor->width && iLeft + iX < _pSelf->iWidth; ++iX) {
            const uint32_t uiSource = puiPixels[iY * pCursor->width + iX];
            const uint32_t uiAlpha = uiSource >> 24;
            if (uiAlpha == 0) {
                continue;
            }
            auto* puiTarget = reinterpret_cast<uint32_t*>(_pFrame) +
                              size_t(iTop + iY) * size_t(_pSelf->iWidth) + size_t(iLeft + iX);
            uint32_t uiOut = 0;
            for (int iShift = 0; iShift < 24; iShift += 8) {
                const uint32_t uiBack = (*puiTarget >> iShift) & 0xff;
                const uint32_t uiFront = (uiSource >> iShift) & 0xff;
                uiOut |= std::min<uint32_t>(255, uiFront + uiBack * (255 - uiAlpha) / 255) << iShift;
            }
            *puiTarget = uiOut;
        }
    }
    free(pCursor);
}

// Reads the part of the rectangle that lies on the screen as it is now; the rest stays black.
bool Capture(STRUCT_DesktopSrc* _pSelf, guint8* _pFrame)
{
    xcb_connection_t* pConnection = _pSelf->pConnection;
    xcb_get_geometry_reply_t* pGeometry =
        xcb_get_geometry_reply(pConnection, xcb_get_geometry(pConnection, _pSelf->uiRoot), nullptr);
    if (pGeometry == nullptr) {
        return false;
    }
    const int iX = int(_pSelf->uiStartX);
    const int iY = int(_pSelf->uiStartY);
    const int iWidth = std::min(_pSelf->iWidth, int(pGeometry->width) - iX);
    const int iHeight = std::min(_pSelf->iHeight, int(pGeometry->height) - iY);
    free(pGeometry);
    if (iWidth < _pSelf->iWidth || iHeight < _pSelf->iHeight) {
        std::memset(_pFrame, 0, size_t(_pSelf->iWidth) * size_t(_pSelf->iHeight) * 4);
    }
    if (iWidth <= 0 || iHeight <= 0) {
        return true;
    }
    if (_pSelf->pShared != nullptr) {
        xcb_shm_get_image_reply_t* pReply = xcb_shm_get_image_reply(
            pConnection,
            xcb_shm_get_image(pConnection, _pSelf->uiRoot, int16_t(iX), int16_t(iY), uint16_t(iWidth),
                              uint16_t(iHeight), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, _pSelf->uiSegment, 0),
            nullptr);
        if (pReply == nullptr) {
            // The screen changed under the request: a black frame this time.
            std::memset(_pFrame, 0, size_t(_pSelf->iWidth) * size_t(_pSelf->iHeight) * 4);
            return !xcb_connection_has_error(pConnection);
        }
        free(pReply);
        CopyRows(_pFrame, _pSelf->iWidth, _pSelf->pShared, iWidth, iHeight);
    } else {
        xcb_get_image_reply_t* pReply = xcb_get_image_reply(
            pConnection,
            xcb_get_image(pConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, _pSelf->uiRoot, int16_t(iX), int16_t(iY),
                          uint16_t(iWidth), uint16_t(iHeight), ~0u),
            nullptr);
        if (pReply == nullptr) {
            // The screen changed under the request: a black frame this time.
            std::memset(_pFrame, 0, size_t(_pSelf->iWidth) * size_t(_pSelf->iHeight) * 4);
            return !xcb_connection_has_error(pConnection);
        }
        if (xcb_get_image_data_length(pReply) >= iWidth * iHeight * 4) {
            CopyRows(_pFrame, _pSelf->iWidth, xcb_get_image_data(pReply), iWidth, iHeight);
        }
        free(pReply);
    }
    if (_pSelf->blPointer && _pSelf->blXFixes) {
        DrawPointer(_pSelf, _pFrame);
    }
    return true;
}

GstFlowReturn Create(GstPushSrc* _pSrc, GstBuffer** _ppBuffer)
{
    STRUCT_DesktopSrc* pSelf = DESKTOP_SRC(_pSrc);
    if (pSelf->iRateN <= 0 || pSelf->pConnection == nullptr) {
        return GST_FLOW_NOT_NEGOTIATED;
    }
    const GstClockTime uiDuration =
        gst_util_uint64_scale(GST_SECOND, guint64(pSelf->iRateD), guint64(pSelf->iRateN));
    const GstClockTime uiPts = WaitForFrame(pSelf);
    if (!GST_CLOCK_TIME_IS_VALID(uiPts)) {
        return GST_FLOW_FLUSHING;
    }
    GstBuffer* pBuffer =
        gst_buffer_new_allocate(nullptr, size_t(pSelf->iWidth) * size_t(pSelf->iHeight) * 4, nullptr);
    GstMapInfo map;
    gst_buffer_map(pBuffer, &map, GST_MAP_WRITE);
    const bool blRead = Capture(pSelf, map.data);
    gst_buffer_unmap(pBuffer, &map);
    if (!blRead) {
        gst_buffer_unref(pBuffer);
        GST_ELEMENT_ERROR(pSelf, RESOURCE, READ, ("the X display %s went away", pSelf->pcDisplay), (nullptr));
        return GST_FLOW_ERROR;
    }
    GST_BUFFER_PTS(pBuffer) = uiPts;
    GST_BUFFER_DURATION(pBuffer) = uiDuration;
    *_ppBuffer = pBuffer;
    return GST_FLOW_OK;
}

void SetProperty(GObject* _pObject, guint _uiId, const GValue* _pValue, GParamSpec* _pSpec)
{
    STRUCT_DesktopSrc* pSelf = DESKTOP_SRC(_pObject);
    switch (_uiId) {
    case PROP_DISPLAY:
        g_free(pSelf->pcDisplay);
        pSelf->pcDisplay = g_value_dup_string(_pValue);
        break;
    case PROP_STARTX:
        pSelf->uiStartX = g_value_get_uint(_pValue);
        break;
    case PROP_STARTY:
        pSelf->uiStartY = g_value_get_uint(_pValue);
        break;
    case PROP_ENDX:
        pSelf->uiEndX = g_value_get_uint(_pValue);
        break;
    case PROP_ENDY:
        pSelf->uiEndY = g_value_get_uint(_pValue);
        break;
    case PROP_POINTER:
        pSelf->blPointer = g_value_get_boolean(_pValue);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(_pObject, _uiId, _pSpec);
    }
}

void GetProperty(GObject* _pObject, guint _uiId, GValue* _pValue, GParamSpec* _pSpec)
{
    STRUCT_DesktopSrc* pSelf = DESKTOP_SRC(_pObject);
    switch (_uiId) {
    case PROP_DISPLAY:
        g_value_set_string(_pValue, pSelf->pcDisplay);
        break;
    case PROP_STARTX:
        g_value_set_uint(_pValue, pSelf->uiStartX);
        break;
    case PROP_STARTY:
        g_value_set_uint(_pValue, pSelf->uiStartY);
        break;
    case PROP_ENDX:
        g_value_set_uint(_pValue, pSelf->uiEndX);
        break;
    case PROP_ENDY:
        g_value_set_uint(_pValue, pSelf->uiEndY);
        break;
    case PROP_POINTER:
        g_value_set_boolean(_pValue, pSelf->blPointer);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(_pObject, _uiId, _pSpec);
    }
}

void Finalize(GObject* _pObject)
{
    STRUCT_DesktopSrc* pSelf = DESKTOP_SRC(_pObject);
    g_free(pSelf->pcDisplay);
    g_mutex_clear(&pSelf->mutexClock);
    G_OBJECT_CLASS(desktop_src_parent_class)->finalize(_pObject);
}

GParamSpec* Coordinate(const char* _pcName)
{
    return g_param_spec_uint(_pcName, _pcName, "rectangle edge, inclusive (end 0: the screen's edge)", 0,
                             g_iMaxSide, 0, GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS));
}

void desktop_src_class_init(STRUCT_DesktopSrcClass* _pClass)
{
    GObjectClass* pObject = G_OBJECT_CLASS(_pClass);
    pObject->set_property = SetProperty;
    pObject->get_property = GetProperty;
    pObject->finalize = Finalize;
    const auto eFlags = GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        pObject, PROP_DISPLAY,
        g_param_spec_string("display-name", "Display", "X display (DISPLAY when unset)", nullptr, eFlags));
    g_object_class_install_property(pObject, PROP_STARTX, Coordinate("startx"));
    g_object_class_install_property(pObject, PROP_STARTY, Coordinate("starty"));
    g_object_class_install_property(pObject, PROP_ENDX, Coordinate("endx"));
    g_object_class_install_property(pObject, PROP_ENDY, Coordinate("endy"));
    g_object_class_install_property(
        pObject, PROP_POINTER,
        g_param_spec_boolean("show-pointer", "Pointer", "draw the pointer", TRUE, eFlags));
    GstElementClass* pElement = GST_ELEMENT_CLASS(_pClass);
    gst_element_class_set_static_metadata(pElement, "Lumacast desktop source", "Source/Video",
                                          "Captures a rectangle of an X screen without grabbing the server",
                                          "Lumacast");
    gst_element_class_add_static_pad_template(pElement, &g_srcTemplate);
    GstBaseSrcClass* pBase = GST_BASE_SRC_CLASS(_pClass);
    pBase->get_caps = GetCaps;
    pBase->fixate = Fixate;
    pBase->set_caps = SetCaps;
    pBase->start = Start;
    pBase->stop = Stop;
    pBase->unlock = Unlock;
    pBase->unlock_stop = UnlockStop;
    GST_PUSH_SRC_CLASS(_pClass)->create = Create;
}

void desktop_src_init(STRUCT_DesktopSrc* _pSelf)
{
    _pSelf->blPointer = TRUE;
    g_mutex_init(&_pSelf->mutexClock);
    gst_base_src_set_live(GST_BASE_SRC(_pSelf), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(_pSelf), GST_FORMAT_TIME);
}

} // namespace

bool RegisterDesktopSource()
{
    return gst_element_register(nullptr, "lumadesktopsrc", GST_RANK_NONE, desktop_src_get_type()) != FALSE;
}
