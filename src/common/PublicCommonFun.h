// Stateless helpers shared by the whole program: JSON files and texts, bounded base64,
// the log folder, and finding and ending processes by image name.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <cstddef>

// The file's top-level object; an empty object when it is missing, unreadable, not JSON or an array.
QJsonObject ReadJsonFile(const QString& _qstrPath);

// Replaces the file with the indented object. The old file stays whole when the write fails; one
// that is not a JSON object is first kept as "<path>.bad-<date-time>".
bool WriteJsonFile(const QJsonObject& _qjsonObj, const QString& _qstrPath);

QString JsonToString(const QJsonObject& _qjsonObj);

// The text's object; an empty object for anything that is not a JSON object.
QJsonObject ParseJson(const QString& _qstrText);

// Standard base64 of the NUL-terminated _pcIn into _pcOut (_uiOutSize bytes, NUL included).
// A result that does not fit is refused: _pcOut becomes empty and the result is false.
bool Base64Encode(const char* _pcIn, char* _pcOut, std::size_t _uiOutSize);

// Decodes the NUL-terminated base64 text _pcIn into _pcOut (_uiOutSize bytes, NUL included).
// Invalid characters count as 'A' and are logged. A result that does not fit is refused as above.
bool Base64Decode(const char* _pcIn, char* _pcOut, std::size_t _uiOutSize);

// The installation's resource folder (skins, pictures, style sheets, the settings file), relative to
// the application folder: "LumacastFile/Resource/".
QString ResourceFolder();
// _qstrRelative in the resource folder, under the application folder.
QString ResourcePath(const QString& _qstrRelative);

// Application folder + "/Log/" + application name + "/", made when missing.
bool CreateLogDir(QByteArray& _qbaPath);

// IDs of this user's running processes whose image name is exactly _qstrName (or _qstrName + ".exe")
// and whose executable is the calling process's own file; zombies never count.
int GetProcessIdsByName(const QString& _qstrName, QList<quint32>& _lstPid);

// Asks the process to end, and forces it when it does not; at most three tries, none after a
// refusal. Always 0.
int KillProcess(quint32 _uiPid);
