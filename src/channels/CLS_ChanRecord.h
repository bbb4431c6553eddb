// The two forms of a channel: the JSON record kept in the settings file and the fixed block
// handed to the streaming library, the default records of a screen and a camera, and the
// numbering of camera channels. Pure functions, no widgets and no library calls.
#pragma once

#include "CameraBusiness.h"
#include "common/ComboBoxItem.h"
#include "device/DeviceRecords.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QSize>

#include <array>

using ChanInfoArray = std::array<STRUCT_ChanInfo, CAMERA_BUSINESS_MAX_CHANNELS>;

class CLS_ChanRecord
{
public:
    static constexpr int s_iChannelCount = CAMERA_BUSINESS_MAX_CHANNELS;

    CLS_ChanRecord() = delete;

    // Fills the whole block from the record; texts are cut to 255 bytes at a character boundary.
    static void JsonToChanInfo(const QJsonObject& _qjsonRecord, STRUCT_ChanInfo& _structChanInfo);
    // Writes the 26 keys a block carries into the record (not "resolutionRatio", "videoFormat").
    static void ChanInfoToJson(const STRUCT_ChanInfo& _structChanInfo, QJsonObject& _qjsonRecord);

    // Default desktop channel _iChNo for the screen; _structAudio with an empty name means no input.
    static QJsonObject MakeDesktopChannel(const STRUCT_Screen& _structScreen,
                                          const STRUCT_Audio& _structAudio, int _iChNo,
                                          STRUCT_ChanInfo& _structChanInfo);
    // Default camera channel _iChNo for the camera.
    static QJsonObject MakeUsbChannel(const STRUCT_Usb& _structUsb, const STRUCT_Audio& _structAudio,
                                      int _iChNo, STRUCT_ChanInfo& _structChanInfo);

    // The 16 blocks before any channel is filled in: zero, collect device type -1.
    static ChanInfoArray EmptyChanInfoArray();
    // The size a channel captures at: its video size, or for one this wide or wider the largest
    // offered size narrower than the limit (the smallest offered when none is), whatever the order.
    static QSize CaptureSize(const QSize& _qsizeVideo, const QList<QSize>& _lstOffered);

    // Camera numbers from _iDesktopNeedChNo to 15 that no record of the array uses, ascending.
    static QList<int> FreeCameraNumbers(const QJsonArray& _qJsonArrChInfo, int _iDesktopNeedChNo);

    // One chooser item per record, in array order: text chNo + 1, data the record.
    static QList<STRUCT_ComboBoxItem> MakeComboItems(const QJsonArray& _qJsonArrChInfo);

    // The "resolutionRatio" form of a size list.
    static QJsonArray ResolutionArray(const QList<QSize>& _lstResolution);

    // A desktop record is known by its collect device type alone: a camera's number may lie below
    // the desktop count when that count was raised after the camera was stored.
    static bool IsDesktopRecord(const QJsonObject& _qjsonRecord);
    // Puts the screen's identity, position and size into a desktop record, keeping everything the
    // user chose; true when the record changed.
    static bool FollowScreen(QJsonObject& _qjsonRecord, const STRUCT_Screen& _structScreen);
    // Index of the first desktop record with the number, or -1.
    static int FindDesktopRecord(const QJsonArray& _qJsonArrChInfo, int _iChNo);

    // Marks every record of the device as not enabled; returns their channel numbers.
    static QList<int> DisableRecords(QJsonArray& _qJsonArrChInfo, const QString& _qstrDevID);

    // Index of the first record whose key equals the value, or -1.
    static int FindRecord(const QJsonArray& _qJsonArrChInfo, const QString& _qstrKey,
                          const QJsonValue& _qjsonValue);

    // "MJPEG", "YUV", "H264"; empty for an unknown type.
    static QString CollectTypeName(int _iType);
    // The type of such a name; anything else reads as YUV.
    static int CollectTypeOfName(const QString& _qstrName);

    // True when the number can address one of the library's blocks.
    static bool IsValidChNo(int _iChNo) { return _iChNo >= 0 && _iChNo < s_iChannelCount; }
};
