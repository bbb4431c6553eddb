// Cameras as Qt Multimedia finds them: listed with QCameraInfo and probed by opening each one
// with a hidden viewfinder until it reports its still-image resolutions.
#pragma once

#include "CLS_DeviceProbe.h"

#include <QCamera>
#include <QCameraInfo>
#include <QObject>
#include <QVideoFrame>

#include <memory>

class QCameraImageCapture;
class QCameraViewfinder;
class QLabel;

class CLS_QtCameraSource : public QObject, public CLS_CameraSource
{
    Q_OBJECT
public:
    explicit CLS_QtCameraSource(QObject* parent = nullptr);
    ~CLS_QtCameraSource() override;

    QVector<STRUCT_Usb> ListCameras() override;
    void ProbeCamera(int _iIndex, QList<int>& _lstCollectType, QList<QSize>& _lstResolution,
                     QList<QSize>& _lstRawResolution) override;

    // Collect types (MJPEG, YUV) a camera offering these pixel formats can deliver. H.264 is never
    // among them: no pixel format says a camera has it.
    static QList<int> CollectTypesFromPixelFormats(const QList<QVideoFrame::PixelFormat>& _lstFormat);

public slots:
    // The probed camera's state: once loaded it can say its resolutions.
    void UpdateCameraState(QCamera::State _eState);

private:
    // The probe's hidden viewfinder, in a label that is never shown.
    std::unique_ptr<QLabel> m_pLabelViewfinder;
    QCameraViewfinder* m_pViewfinder = nullptr;
    QCameraImageCapture* m_pImageCapture = nullptr;
    QList<QCameraInfo> m_lstCameraInfo;
    QList<QSize> m_lstResolution;
    bool m_blActive = false;
};
