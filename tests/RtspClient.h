// A GStreamer client of the library's RTSP server over TCP. It counts the H.264 buffers it receives;
// it decodes the video (appsink "v") and the audio to 16-bit samples (appsink "a") only when asked,
// so that many light viewers can load the server without loading the machine.
#pragma once

#include "CameraBusinessTestSupport.h"

#include <QImage>
#include <QRegularExpression>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <atomic>

class CLS_RtspClient
{
public:
    // Only the latest decoded frame is kept.
    enum EnumDecode
    {
        DECODE_NONE,
        DECODE_VIDEO,
        DECODE_VIDEO_AUDIO
    };

    explicit CLS_RtspClient(int _iChNo, EnumDecode _enumDecode = DECODE_VIDEO, const char* _pcUser = "admin",
                            const char* _pcPassword = "secret", int _iPort = State().iServedPort)
    {
        QByteArray baLine =
            "rtspsrc name=s protocols=tcp latency=0 location=rtsp://127.0.0.1:" + QByteArray::number(_iPort) +
            "/ch" + QByteArray::number(_iChNo);
        if (_pcUser != nullptr) {
            baLine += QByteArray(" user-id=") + _pcUser + " user-pw=" + _pcPassword;
        }
        baLine += " s. ! rtph264depay name=depay ! ";
        baLine += _enumDecode == DECODE_NONE
                      ? "fakesink sync=false"
                      : "h264parse ! avdec_h264 ! videoconvert ! video/x-raw,format=RGB"
                        " ! appsink name=v sync=false max-buffers=1 drop=true";
        if (_enumDecode == DECODE_VIDEO_AUDIO) {
            baLine += " s. ! rtppcmadepay ! alawdec ! appsink name=a sync=false";
        }
        m_pPipeline = gst_parse_launch(baLine.constData(), nullptr);
        Count("depay", "src", m_iBuffers);
        if (_enumDecode != DECODE_NONE) {
            Count("v", "sink", m_iFrames);
        }
        gst_element_set_state(m_pPipeline, GST_STATE_PLAYING);
    }
    ~CLS_RtspClient()
    {
        gst_element_set_state(m_pPipeline, GST_STATE_NULL);
        gst_object_unref(m_pPipeline);
    }

    // H.264 buffers received so far.
    int Buffers() const { return m_iBuffers; }
    // Frames decoded so far, those dropped for a later one included.
    int Frames() const { return m_iFrames; }
    // True when an H.264 buffer comes within _iMs.
    bool Plays(int _iMs = 10000) const
    {
        const int iBefore = Buffers();
        return QTest::qWaitFor([&] { return Buffers() != iBefore; }, _iMs);
    }
    // The caps of the next sample of appsink _pcSink, empty when none comes within _iMs, and its
    // data. The event loop runs meanwhile; a flush on the way (the client resynchronising) is waited out.
    QByteArray Next(const char* _pcSink = "v", QByteArray* _pbaData = nullptr, int _iMs = 10000)
    {
        GstAppSink* pSink = GST_APP_SINK(Child(_pcSink));
        GstSample* pSample = nullptr;
        if (!QTest::qWaitFor(
                [&] {
                    pSample = gst_app_sink_try_pull_sample(pSink, 10 * GST_MSECOND);
                    return pSample != nullptr || gst_app_sink_is_eos(pSink);
                },
                _iMs) ||
            pSample == nullptr) {
            return {};
        }
        gchar* pcCaps = gst_caps_to_string(gst_sample_get_caps(pSample));
        const QByteArray baCaps(pcCaps);
        g_free(pcCaps);
        GstMapInfo map;
        if (_pbaData != nullptr && gst_buffer_map(gst_sample_get_buffer(pSample), &map, GST_MAP_READ)) {
            *_pbaData = QByteArray(reinterpret_cast<const char*>(map.data), static_cast<int>(map.size));
            gst_buffer_unmap(gst_sample_get_buffer(pSample), &map);
        }
        gst_sample_unref(pSample);
        return baCaps;
    }
    // The next decoded frame, null when none comes within _iMs.
    QImage Frame(int _iMs = 10000)
    {
        QByteArray baFrame;
        const QByteArray baCaps = Next("v", &baFrame, _iMs);
        const QRegularExpressionMatch qmatch =
            QRegularExpression(QStringLiteral("width=\\(int\\)(\\d+), height=\\(int\\)(\\d+)"))
                .match(QString::fromLatin1(baCaps));
        // GStreamer's RGB rows are padded to four bytes.
        const int iWidth = qmatch.captured(1).toInt(), iHeight = qmatch.captured(2).toInt(),
                  iStride = GST_ROUND_UP_4(iWidth * 3);
        return iWidth > 0 && baFrame.size() >= iStride * iHeight
                   ? QImage(reinterpret_cast<const uchar*>(baFrame.constData()), iWidth, iHeight, iStride,
                            QImage::Format_RGB888)
                         .copy()
                   : QImage();
    }

private:
    // The pipeline keeps its elements for as long as the client lives.
    GstElement* Child(const char* _pcName) const
    {
        GstElement* pChild = gst_bin_get_by_name(GST_BIN(m_pPipeline), _pcName);
        gst_object_unref(pChild);
        return pChild;
    }
    void Count(const char* _pcElement, const char* _pcPad, std::atomic<int>& _iCount)
    {
        GstPad* pPad = gst_element_get_static_pad(Child(_pcElement), _pcPad);
        gst_pad_add_probe(
            pPad, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo*, gpointer _pCount) {
                ++*static_cast<std::atomic<int>*>(_pCount);
                return GST_PAD_PROBE_OK;
            },
            &_iCount, nullptr);
        gst_object_unref(pPad);
    }
    GstElement* m_pPipeline = nullptr;
    std::atomic<int> m_iBuffers{0};
    std::atomic<int> m_iFrames{0};
};

// Colours are compared after H.264, so roughly.
inline bool NearColour(const QColor& _qcolorSeen, const QColor& _qcolorWanted)
{
    return qAbs(_qcolorSeen.red() - _qcolorWanted.red()) < 40 &&
           qAbs(_qcolorSeen.green() - _qcolorWanted.green()) < 40 &&
           qAbs(_qcolorSeen.blue() - _qcolorWanted.blue()) < 40;
}
