#include "CLS_AudioCapture.h"

#include "Log.h"

#include <sstream>

namespace {

const guint g_uiRetrySeconds = 3;

bool HasProperty(GstElement* _pElement, const char* _pcName)
{
    return g_object_class_find_property(G_OBJECT_GET_CLASS(_pElement), _pcName) != nullptr;
}

} // namespace

CLS_AudioCapture::CLS_AudioCapture(GMainContext* _pContext, int _iChNo, std::string _strSource,
                                   std::string _strInput, std::string _strChannel, Notify _notify)
    : m_pContext(_pContext), m_iChNo(_iChNo), m_strSource(std::move(_strSource)),
      m_strInput(std::move(_strInput)), m_strChannel(std::move(_strChannel)), m_notify(std::move(_notify))
{
    Open();
}

CLS_AudioCapture::~CLS_AudioCapture()
{
    if (m_pRetry != nullptr) {
        g_source_destroy(m_pRetry);
        g_source_unref(m_pRetry);
    }
    Close();
}

std::string CLS_AudioCapture::InterChannel(const void* _pOwner, int _iChNo)
{
    std::ostringstream stream;
    stream << "lumacast-audio-" << _pOwner << "-ch" << _iChNo;
    return stream.str();
}

void CLS_AudioCapture::Open()
{
    // The input's own name goes in as a property, never into the launch line.
    const std::string strLine = m_strSource + " name=asrc ! queue ! audioconvert ! audioresample"
                                              " ! audio/x-raw,format=S16LE,rate=8000,channels=1"
                                              " ! interaudiosink name=sink";
    GError* pError = nullptr;
    m_pPipeline = gst_parse_launch(strLine.c_str(), &pError);
    if (m_pPipeline == nullptr) {
        Failed(pError != nullptr ? pError->message : "no pipeline");
        g_clear_error(&pError);
        return;
    }
    g_clear_error(&pError);
    GstElement* pSource = gst_bin_get_by_name(GST_BIN(m_pPipeline), "asrc");
    GstElement* pSink = gst_bin_get_by_name(GST_BIN(m_pPipeline), "sink");
    if (pSource != nullptr && !m_strInput.empty() && HasProperty(pSource, "device")) {
        g_object_set(pSource, "device", m_strInput.c_str(), nullptr);
    }
    if (pSource != nullptr && HasProperty(pSource, "is-live")) {
        g_object_set(pSource, "is-live", TRUE, nullptr);
    }
    if (pSink != nullptr) {
        g_object_set(pSink, "channel", m_strChannel.c_str(), nullptr);
    }
    g_clear_object(&pSource);
    g_clear_object(&pSink);

    GstBus* pBus = gst_element_get_bus(m_pPipeline);
    m_pBusWatch = gst_bus_create_watch(pBus);
    g_source_set_callback(m_pBusWatch, G_SOURCE_FUNC(OnBus), this, nullptr);
    g_source_attach(m_pBusWatch, m_pContext);
    gst_object_unref(pBus);

    if (gst_element_set_state(m_pPipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        Failed("the input cannot be opened");
        return;
    }
    if (m_blFailed) {
        m_blFailed = false;
        LOG_EX(LOG_TRACE, "CameraBusiness channel %d audio input %s captured again", m_iChNo,
               m_strInput.c_str());
        m_notify(true);
    }
}

void CLS_AudioCapture::Close()
{
    if (m_pBusWatch != nullptr) {
        g_source_destroy(m_pBusWatch);
        g_source_unref(m_pBusWatch);
        m_pBusWatch = nullptr;
    }
    if (m_pPipeline != nullptr) {
        gst_element_set_state(m_pPipeline, GST_STATE_NULL);
        gst_object_unref(m_pPipeline);
        m_pPipeline = nullptr;
    }
}

void CLS_AudioCapture::Failed(const std::string& _strReason)
{
    Close();
    if (!m_blFailed) {
        m_blFailed = true;
        LOG_EX(LOG_FAIL, "CameraBusiness channel %d audio input %s failed, video goes on without it: %s",
               m_iChNo, m_strInput.c_str(), _strReason.c_str());
        m_notify(false);
    }
    if (m_pRetry == nullptr) {
        m_pRetry = g_timeout_source_new_seconds(g_uiRetrySeconds);
        g_source_set_callback(m_pRetry, OnRetry, this, nullptr);
        g_source_attach(m_pRetry, m_pContext);
    }
}

gboolean CLS_AudioCapture::OnBus(GstBus*, GstMessage* _pMessage, gpointer _pThis)
{
    auto* pThis = static_cast<CLS_AudioCapture*>(_pThis);
    if (GST_MESSAGE_TYPE(_pMessage) == GST_MESSAGE_ERROR) {
        GError* pError = nullptr;
        gst_message_parse_error(_pMessage, &pError, nullptr);
        const std::string strReason = pError != nullptr ? pError->message : "unknown error";
        g_clear_error(&pError);
        pThis->Failed(strReason);
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

gboolean CLS_AudioCapture::OnRetry(gpointer _pThis)
{
    auto* pThis = static_cast<CLS_AudioCapture*>(_pThis);
    g_source_unref(pThis->m_pRetry);
    pThis->m_pRetry = nullptr;
    pThis->Open();
    return G_SOURCE_REMOVE;
}
