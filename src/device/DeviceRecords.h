// The device records carried between the device watcher, the application object and the pages.
#pragma once

#include <QList>
#include <QMetaType>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

// One USB camera.
struct STRUCT_Usb
{
    QString qstrName;           // description shown to the user
    QString qstrDevID;          // stable device identity; a channel's "devID"
    QList<QSize> lstResolution; // in the order the camera reports them
    QList<int> lstCollectType;  // 0 MJPEG, 1 YUV, 2 H264
    // The sizes the camera gives as raw video; empty when it did not say. Many webcams give their
    // larger sizes as MJPEG only.
    QList<QSize> lstRawResolution{};
};

// One screen; rect is scaled by the screen's device pixel ratio.
struct STRUCT_Screen
{
    int iIndex = 0; // 0 for the primary screen, then 1, 2, ... in system order
    QRect rect;
    QString qstrName;
};

inline bool operator==(const STRUCT_Screen& _structLeft, const STRUCT_Screen& _structRight)
{
    return _structLeft.iIndex == _structRight.iIndex && _structLeft.rect == _structRight.rect &&
           _structLeft.qstrName == _structRight.qstrName;
}
inline bool operator!=(const STRUCT_Screen& _structLeft, const STRUCT_Screen& _structRight)
{
    return !(_structLeft == _structRight);
}

// One audio input and the channel that holds it.
struct STRUCT_Audio
{
    QString qstrName;
    QString qstrExtra;
    int iChannels = 0;
    QList<int> lstSampleRate;
    int iExtra = 1;       // audio encoding value; becomes a channel's "audioEnctype"
    int iHolderChNo = -1; // -1: free
    int iSampleRate = 44100;
};

Q_DECLARE_METATYPE(STRUCT_Usb)
Q_DECLARE_METATYPE(STRUCT_Screen)
Q_DECLARE_METATYPE(STRUCT_Audio)
Q_DECLARE_METATYPE(QVector<STRUCT_Usb>)
Q_DECLARE_METATYPE(QVector<STRUCT_Screen>)
Q_DECLARE_METATYPE(QVector<STRUCT_Audio>)

// Registers the three list types under their names for queued signals; safe to call often.
void RegisterDeviceMetaTypes();
