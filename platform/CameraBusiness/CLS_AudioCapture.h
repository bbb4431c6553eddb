// A channel's audio input, captured in a pipeline of its own and handed to the channel's media
// through an inter-pipeline channel, so that an input that cannot be opened never takes the picture
// down: the media hears silence meanwhile, and the input is tried again every few seconds. Lives on
// the server thread; its bus and timer run on the server's GLib context.
#pragma once

#include <gst/gst.h>

#include <functional>
#include <string>

class CLS_AudioCapture
{
public:
    // Told once when the input fails (false) and once when it is heard again (true).
    using Notify = std::function<void(bool _blCapturing)>;

    // Captures _strInput with the source element _strSource into the inter channel _strChannel.
    CLS_AudioCapture(GMainContext* _pContext, int _iChNo, std::string _strSource, std::string _strInput,
                     std::string _strChannel, Notify _notify);
    ~CLS_AudioCapture();
    CLS_AudioCapture(const CLS_AudioCapture&) = delete;
    CLS_AudioCapture& operator=(const CLS_AudioCapture&) = delete;

    const std::string& Input() const { return m_strInput; }
    // The name of the inter-pipeline channel that the media's audio source listens to.
    static std::string InterChannel(const void* _pOwner, int _iChNo);

private:
    void Open();
    void Close();
    void Failed(const std::string& _strReason);
    static gboolean OnBus(GstBus* _pBus, GstMessage* _pMessage, gpointer _pThis);
    static gboolean OnRetry(gpointer _pThis);

    GMainContext* m_pContext;
    int m_iChNo;
    std::string m_strSource;
    std::string m_strInput;
    std::string m_strChannel;
    Notify m_notify;
    GstElement* m_pPipeline = nullptr;
    GSource* m_pBusWatch = nullptr;
    GSource* m_pRetry = nullptr;
    bool m_blFailed = false;
};
