#include "DeviceRecords.h"

#include <QVariant>

#include <mutex>

void RegisterDeviceMetaTypes()
{
    static std::once_flag s_onceFlag;
    std::call_once(s_onceFlag, [] {
        qRegisterMetaType<QVector<STRUCT_Usb>>("QVector<STRUCT_Usb>");
        qRegisterMetaType<QVector<STRUCT_Screen>>("QVector<STRUCT_Screen>");
        qRegisterMetaType<QVector<STRUCT_Audio>>("QVector<STRUCT_Audio>");
        qRegisterMetaType<QVariant>("QVariant");
    });
}
