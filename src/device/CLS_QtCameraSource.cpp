#include "CLS_QtCameraSource.h"

#include "CameraBusiness.h"
#include "common/Log.h"

#include <QCameraImageCapture>
#include <QCameraViewfinder>
#include <QCoreApplication>
#include <QLabel>

namespace {

const int g_iProbeRounds = 100;
const int g_iProbeRoundMs = 100;

} // namespace

CLS_QtCameraSource::CLS_QtCameraSource(QObject* parent)
    : QObject(parent), m_pLabelViewfinder(std::make_unique<QLabel>()),
      m_pViewfinder(new QCameraViewfinder(m_pLabelViewfinder.get()))
{
    qRegisterMetaType<QCamera::State>("QCamera::State");
    m_pLabelViewfinder->hide();
}

CLS_QtCameraSource::~CLS_QtCameraSource() = default;

QList<int> CLS_QtCameraSource::CollectTypesFromPixelFormats(const QList<QVideoFrame::PixelFormat>& _lstFormat)
{
    bool blMjpeg = false;
    bool blYuv = false;
    for (QVideoFrame::PixelFormat ePixelFormat : _lstFormat) {
        if (ePixelFormat == QVideoFrame::Format_Jpeg ||
            (ePixelFormat >= QVideoFrame::Format_ARGB32 &&
             ePixelFormat <= QVideoFrame::Format_BGRA5658_Premultiplied)) {
            blMjpeg = true;
        } else if (ePixelFormat >= QVideoFrame::Format_AYUV444 && ePixelFormat <= QVideoFrame::Format_Y16) {
            blYuv = true;
        }
    }
    QList<int> lstCollectType;
    if (blMjpeg) {
        lstCollectType.append(CAMERA_BUSINESS_COLLECT_MJPEG);
    }
    if (blYuv) {
        lstCollectType.append(CAMERA_BUSINESS_COLLECT_YUV);
    }
    return lstCollectType;
}

QVector<STRUCT_Usb> CLS_QtCameraSource::ListCameras()
{
    m_lstCameraInfo = QCameraInfo::availableCameras();
    QVector<STRUCT_Usb> vecUsb;
    for (const QCameraInfo& qcameraInfo : qAsConst(m_lstCameraInfo)) {
        vecUsb.append(
            {qcameraInfo.description(), CLS_DeviceProbe::CameraIdentity(qcameraInfo.deviceName()), {}, {}});
    }
    return vecUsb;
}

void CLS_QtCameraSource::ProbeCamera(int _iIndex, QList<int>& _lstCollectType, QList<QSize>& _lstResolution,
                                     QList<QSize>& _lstRawResolution)
{
    if (_iIndex < 0 || _iIndex >= m_lstCameraInfo.size()) {
        return;
    }
    m_lstResolution.clear();
    QCamera qcamera(m_lstCameraInfo.at(_iIndex));
    qcamera.setViewfinder(m_pViewfinder);
    connect(&qcamera, &QCamera::stateChanged, this, &CLS_QtCameraSource::UpdateCameraState);
    QCameraImageCapture qcameraCapture(&qcamera);
    m_pImageCapture = &qcameraCapture;
    m_blActive = false;
    qcamera.setCaptureMode(QCamera::CaptureStillImage);
    qcamera.start();
    _lstCollectType = CollectTypesFromPixelFormats(qcamera.supportedViewfinderPixelFormats());
    for (int iRound = 0; iRound < g_iProbeRounds; ++iRound) {
        os_sleep(g_iProbeRoundMs);
        QCoreApplication::processEvents();
        if (m_blActive) {
            break;
        }
    }
    const QList<QCameraViewfinderSettings> lstSettings = qcamera.supportedViewfinderSettings();
    for (const QCameraViewfinderSettings& qsettings : lstSettings) {
        const QList<int> lstType = CollectTypesFromPixelFormats({qsettings.pixelFormat()});
        if (lstType.contains(CAMERA_BUSINESS_COLLECT_YUV) &&
            !_lstRawResolution.contains(qsettings.resolution())) {
            _lstRawResolution.append(qsettings.resolution());
        }
    }
    qcamera.stop();
    qcamera.unload();
    m_pImageCapture = nullptr;
    _lstResolution = m_lstResolution;
}

void CLS_QtCameraSource::UpdateCameraState(QCamera::State _eState)
{
    LOG_EX(LOG_TRACE, "updateCameraState state = [%d]", static_cast<int>(_eState));
    if ((_eState == QCamera::LoadedState || _eState == QCamera::ActiveState) && m_lstResolution.isEmpty() &&
        m_pImageCapture != nullptr) {
        const QList<QSize> lstSupported = m_pImageCapture->supportedResolutions();
        for (const QSize& qsize : lstSupported) {
            LOG_EX(LOG_TRACE, "%d * %d", qsize.width(), qsize.height());
            m_lstResolution.append(qsize);
        }
        m_blActive = true;
    }
    LOG_EX(LOG_TRACE, "updateCameraState m_blActive = [%d]", m_blActive ? 1 : 0);
}
