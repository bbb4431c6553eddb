// The service password as the settings file keeps it ("hostInfo"."password", base64), in the
// 64-byte areas the service page and the password dialog decode it into.
#pragma once

#include <QString>

// The longest password the pages take: its base64 form (60 bytes) and a zero fit 64 bytes.
constexpr int g_iMaxServicePassword = 45;

// Decodes the stored password (base64) into _qstrPassword (empty when there is none).
// False, with _qstrPassword empty, when it decodes to more than 63 bytes; the decoder logs it.
bool ReadServicePassword(const QString& _qstrBase64, QString& _qstrPassword);

// The base64 text of _qstrPassword; false when it does not fit the 64-byte area.
bool EncodeServicePassword(const QString& _qstrPassword, QString& _qstrBase64);
