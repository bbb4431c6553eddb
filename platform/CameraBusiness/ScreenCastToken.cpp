#include "ScreenCastToken.h"

#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

const char g_acKey[] = "screenCastRestoreToken";

// The settings file of the program that loaded the library, in its application folder.
QString SettingsPath()
{
    const QFileInfo qfileinfoExe(QStringLiteral("/proc/self/exe"));
    return QFileInfo(qfileinfoExe.symLinkTarget()).absolutePath() +
           QStringLiteral("/LumacastFile/Resource/config/lumacast.json");
}

// The whole file, or false when it exists but is not a JSON object: such a file is the
// program's to keep aside, never the library's to overwrite.
bool ReadSettings(const QString& _qstrPath, QByteArray& _qbaText, QJsonObject& _qjsonSettings)
{
    QFile qfile(_qstrPath);
    if (!qfile.exists()) {
        return true;
    }
    if (!qfile.open(QIODevice::ReadOnly)) {
        return false;
    }
    _qbaText = qfile.readAll();
    QJsonParseError qjsonError;
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qbaText, &qjsonError);
    _qjsonSettings = qjsonDoc.object();
    return qjsonError.error == QJsonParseError::NoError && qjsonDoc.isObject();
}

} // namespace

std::string StoredCastToken()
{
    QByteArray qbaText;
    QJsonObject qjsonSettings;
    ReadSettings(SettingsPath(), qbaText, qjsonSettings);
    return qjsonSettings.value(QLatin1String(g_acKey)).toString().toStdString();
}

bool StoreCastToken(const std::string& _strToken)
{
    const QString qstrPath = SettingsPath();
    const QString qstrToken = QString::fromStdString(_strToken);
    if (!QDir().mkpath(QFileInfo(qstrPath).absolutePath())) {
        LOG_EX(LOG_FAIL, "CameraBusiness screen choice not kept: cannot make the folder of %s",
               qUtf8Printable(qstrPath));
        return false;
    }
    // The program reads, changes and writes the same file on its own thread, without a lock the
    // library could take: the file is read again just before it is replaced, and a change the
    // program made meanwhile is read into it rather than lost.
    for (int iTry = 0; iTry < 3; ++iTry) {
        QByteArray qbaText;
        QJsonObject qjsonSettings;
        if (!ReadSettings(qstrPath, qbaText, qjsonSettings)) {
            LOG_EX(LOG_FAIL, "CameraBusiness screen choice not kept: %s is not readable settings",
                   qUtf8Printable(qstrPath));
            return false;
        }
        if (qjsonSettings.value(QLatin1String(g_acKey)).toString() == qstrToken) {
            return true;
        }
        qjsonSettings.insert(QLatin1String(g_acKey), qstrToken);
        const QByteArray qbaJson = QJsonDocument(qjsonSettings).toJson(QJsonDocument::Indented);
        // Renamed over the old file as the program writes it, so that neither reads half a file.
        QSaveFile qfile(qstrPath);
        if (!qfile.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
            qfile.write(qbaJson) != qbaJson.size()) {
            LOG_EX(LOG_FAIL, "CameraBusiness screen choice not kept in %s: %s", qUtf8Printable(qstrPath),
                   qUtf8Printable(qfile.errorString()));
            return false;
        }
        QByteArray qbaNow;
        QJsonObject qjsonNow;
        ReadSettings(qstrPath, qbaNow, qjsonNow);
        if (qbaNow != qbaText) {
            qfile.cancelWriting();
            continue;
        }
        if (!qfile.commit()) {
            LOG_EX(LOG_FAIL, "CameraBusiness screen choice not kept in %s: %s", qUtf8Printable(qstrPath),
                   qUtf8Printable(qfile.errorString()));
            return false;
        }
        return true;
    }
    LOG_EX(LOG_FAIL, "CameraBusiness screen choice not kept: %s keeps changing", qUtf8Printable(qstrPath));
    return false;
}
