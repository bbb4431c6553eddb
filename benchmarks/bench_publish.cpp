// Publishing a desktop through the streaming library, for publish_cpu.sh (not a test).
//   bench_publish serve <seconds>   serves the whole screen as channel 0 (1920x1080, 30 fps,
//                                   4 Mbit/s) and prints "port N"; CPU is read from outside
//   bench_publish latency <count>   draws a square on the screen and times its arrival in the
//                                   decoded frames of a local client; prints the median in ms
//   bench_publish firstframe <count>  starts the library <count> times and times each start to the
//                                   first frame at a local client (in a Wayland session: the
//                                   portal's handshake included); prints the median in ms
#include "CameraBusiness.h"
#include "CameraBusinessView.h"

#include <X11/Xlib.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int Serve()
{
    camera_business_register_user("", "");
    camera_business_enable_send_stream(1);
    if (camera_business_startup(0, 16) == 0) {
        return 0;
    }
    STRUCT_ChanInfo stBlock;
    std::memset(&stBlock, 0, sizeof(stBlock));
    stBlock.iVideoWidth = stBlock.iCameraWidth = 1920;
    stBlock.iVideoHeight = stBlock.iCameraHeight = 1080;
    stBlock.iVideoFrameRate = 30;
    stBlock.iVideoIFrameInterval = 30;
    stBlock.iVideoBitRate = 4096;
    stBlock.iCollectType = 1;
    stBlock.ucEnable = 1;
    camera_business_add_chan_info(&stBlock);
    CB_State stState;
    camera_business_inspect_state(&stState);
    std::printf("port %d\n", stState.iServedPort);
    std::fflush(stdout);
    return stState.iServedPort;
}

// Mean luma of a 32 x 32 patch inside the drawn square, from an I420 frame.
int Luma(GstSample* _pSample)
{
    GstMapInfo map;
    GstBuffer* pBuffer = gst_sample_get_buffer(_pSample);
    if (!gst_buffer_map(pBuffer, &map, GST_MAP_READ)) {
        return -1;
    }
    long lSum = 0;
    for (int y = 32; y < 64; ++y) {
        for (int x = 32; x < 64; ++x) {
            lSum += map.data[y * 1920 + x];
        }
    }
    gst_buffer_unmap(pBuffer, &map);
    return static_cast<int>(lSum / 1024);
}

int Latency(int _iPort, int _iCount)
{
    Display* pDisplay = XOpenDisplay(nullptr);
    if (pDisplay == nullptr) {
        return 1;
    }
    const Window root = DefaultRootWindow(pDisplay);
    GC gc = XCreateGC(pDisplay, root, 0, nullptr);
    const std::string strLine =
        "rtspsrc protocols=tcp latency=0 location=rtsp://127.0.0.1:" + std::to_string(_iPort) +
        "/ch0 ! rtph264depay ! avdec_h264 ! videoconvert ! video/x-raw,format=I420"
        " ! appsink name=v sync=false max-buffers=1 drop=true";
    GstElement* pPipeline = gst_parse_launch(strLine.c_str(), nullptr);
    GstElement* pSink = gst_bin_get_by_name(GST_BIN(pPipeline), "v");
    gst_element_set_state(pPipeline, GST_STATE_PLAYING);
    std::vector<double> vecMs;
    bool blWhite = false;
    for (int i = 0; i < _iCount + 3; ++i) {
        blWhite = !blWhite;
        XSetForeground(pDisplay, gc, blWhite ? WhitePixel(pDisplay, 0) : BlackPixel(pDisplay, 0));
        XFillRectangle(pDisplay, root, gc, 0, 0, 128, 128);
        XSync(pDisplay, False);
        const Clock::time_point drawn = Clock::now();
        for (;;) {
            GstSample* pSample = gst_app_sink_try_pull_sample(GST_APP_SINK(pSink), 5 * GST_SECOND);
            if (pSample == nullptr) {
                std::printf("no frame\n");
                return 1;
            }
            const int iLuma = Luma(pSample);
            gst_sample_unref(pSample);
            if (blWhite ? iLuma > 200 : iLuma < 50) {
                break;
            }
        }
        // The first rounds wait for the stream to start.
        if (i >= 3) {
            vecMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - drawn).count());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::sort(vecMs.begin(), vecMs.end());
    std::printf("latency over %zu changes: median %.1f ms, min %.1f ms, max %.1f ms\n", vecMs.size(),
                vecMs[vecMs.size() / 2], vecMs.front(), vecMs.back());
    gst_element_set_state(pPipeline, GST_STATE_NULL);
    gst_object_unref(pSink);
    gst_object_unref(pPipeline);
    XFreeGC(pDisplay, gc);
    XCloseDisplay(pDisplay);
    return 0;
}

// One client that asks until the channel is served: true when a frame came.
bool FirstFrameArrived(int _iPort, Clock::time_point _deadline)
{
    const std::string strLine =
        "rtspsrc protocols=tcp latency=0 location=rtsp://127.0.0.1:" + std::to_string(_iPort) +
        "/ch0 ! rtph264depay ! appsink name=v sync=false";
    GstElement* pPipeline = gst_parse_launch(strLine.c_str(), nullptr);
    GstElement* pSink = gst_bin_get_by_name(GST_BIN(pPipeline), "v");
    GstBus* pBus = gst_element_get_bus(pPipeline);
    gst_element_set_state(pPipeline, GST_STATE_PLAYING);
    bool blArrived = false;
    GstMessage* pError = nullptr;
    while (!blArrived && pError == nullptr && Clock::now() < _deadline) {
        GstSample* pSample = gst_app_sink_try_pull_sample(GST_APP_SINK(pSink), 5 * GST_MSECOND);
        blArrived = pSample != nullptr;
        if (pSample != nullptr) {
            gst_sample_unref(pSample);
        }
        pError = gst_bus_pop_filtered(pBus, GST_MESSAGE_ERROR);
    }
    if (pError != nullptr) {
        gst_message_unref(pError);
    }
    gst_element_set_state(pPipeline, GST_STATE_NULL);
    gst_object_unref(pBus);
    gst_object_unref(pSink);
    gst_object_unref(pPipeline);
    return blArrived;
}

int FirstFrame(int _iCount)
{
    std::vector<double> vecMs;
    for (int i = 0; i < _iCount; ++i) {
        const Clock::time_point start = Clock::now();
        const int iPort = Serve();
        bool blArrived = false;
        while (iPort != 0 && !blArrived && Clock::now() < start + std::chrono::seconds(20)) {
            blArrived = FirstFrameArrived(iPort, start + std::chrono::seconds(20));
        }
        if (blArrived) {
            vecMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        camera_business_cleanup();
    }
    if (vecMs.empty()) {
        std::printf("no frame\n");
        return 1;
    }
    std::sort(vecMs.begin(), vecMs.end());
    std::printf("start to first frame over %zu starts: median %.1f ms, min %.1f ms, max %.1f ms\n",
                vecMs.size(), vecMs[vecMs.size() / 2], vecMs.front(), vecMs.back());
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    gst_init(&argc, &argv);
    const std::string strMode = argc > 1 ? argv[1] : "";
    const int iAmount = argc > 2 ? std::atoi(argv[2]) : 20;
    if (strMode == "firstframe") {
        return FirstFrame(iAmount);
    }
    const int iPort = Serve();
    if (iPort == 0) {
        return 1;
    }
    int iResult = 0;
    if (strMode == "latency") {
        iResult = Latency(iPort, iAmount);
    } else {
        std::this_thread::sleep_for(std::chrono::seconds(iAmount));
    }
    camera_business_cleanup();
    return iResult;
}
