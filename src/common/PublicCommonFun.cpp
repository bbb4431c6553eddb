#include "PublicCommonFun.h"

#include "Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

const char g_acBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const int g_iBase64Pad = 64;

int Base64Value(char _cChar)
{
    if (_cChar >= 'A' && _cChar <= 'Z') {
        return _cChar - 'A';
    }
    if (_cChar >= 'a' && _cChar <= 'z') {
        return _cChar - 'a' + 26;
    }
    if (_cChar >= '0' && _cChar <= '9') {
        return _cChar - '0' + 52;
    }
    if (_cChar == '+') {
        return 62;
    }
    if (_cChar == '/') {
        return 63;
    }
    if (_cChar == '=') {
        return g_iBase64Pad;
    }
    LOG_EX(LOG_TRACE, "%c:Not a valid base64 string\n", _cChar);
    return 0;
}

bool RefuseTooLong(char* _pcOut, std::size_t _uiOutSize, const char* _pcWhat)
{
    if (_pcOut != nullptr && _uiOutSize > 0) {
        _pcOut[0] = '\0';
    }
    LOG_EX(LOG_TRACE, "%s: result does not fit into %zu bytes", _pcWhat, _uiOutSize);
    return false;
}

bool ProcessIsGone(quint32 _uiPid)
{
    QFile qfileStat(QStringLiteral("/proc/%1/stat").arg(_uiPid));
    if (!qfileStat.open(QIODevice::ReadOnly)) {
        return true;
    }
    // A zombie has ended; only its parent's wait is missing.
    const QByteArray qbaStat = qfileStat.readAll();
    const int iClose = qbaStat.lastIndexOf(')');
    return iClose >= 0 && qbaStat.size() > iClose + 2 && qbaStat.at(iClose + 2) == 'Z';
}

QByteArray ProcessImageName(const QString& _qstrProcDir)
{
    QFile qfileComm(_qstrProcDir + QStringLiteral("/comm"));
    if (!qfileComm.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    QByteArray qbaName = qfileComm.readAll();
    if (qbaName.endsWith('\n')) {
        qbaName.chop(1);
    }
    // The kernel keeps 15 bytes of the name; a longer one is read from the executable link.
    if (qbaName.size() >= 15) {
        const QString qstrExe = QFile::symLinkTarget(_qstrProcDir + QStringLiteral("/exe"));
        if (!qstrExe.isEmpty()) {
            qbaName = QFileInfo(qstrExe).fileName().toUtf8();
        }
    }
    return qbaName;
}

// This user's process of the same file, whatever path started it. A zombie has no executable
// any more, so it never counts.
bool RunsSameFile(const QString& _qstrProcDir, const struct stat& _statOwn)
{
    QFile qfileStatus(_qstrProcDir + QStringLiteral("/status"));
    if (!qfileStatus.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray qbaStatus = qfileStatus.readAll();
    const int iUid = qbaStatus.indexOf("\nUid:");
    bool blNumber = false;
    const uint uiUid =
        iUid < 0 ? 0 : qbaStatus.mid(iUid + 5, 16).simplified().split(' ').value(0).toUInt(&blNumber);
    struct stat statExe = {};
    return blNumber && uiUid == ::getuid() &&
           ::stat(QFile::encodeName(_qstrProcDir + QStringLiteral("/exe")).constData(), &statExe) == 0 &&
           statExe.st_dev == _statOwn.st_dev && statExe.st_ino == _statOwn.st_ino;
}

QString KeepAsideName(const QString& _qstrPath)
{
    return _qstrPath + QStringLiteral(".bad-") +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
}

// A file there that is not a JSON object would be lost to the write: it is kept beside itself.
bool KeepUnreadableFile(const QString& _qstrPath)
{
    QFile qfileOld(_qstrPath);
    if (!QFileInfo(_qstrPath).isFile() || qfileOld.size() == 0) {
        return true;
    }
    if (qfileOld.open(QIODevice::ReadOnly) && QJsonDocument::fromJson(qfileOld.readAll()).isObject()) {
        return true;
    }
    qfileOld.close();
    const QString qstrAside = KeepAsideName(_qstrPath);
    if (!QFile::copy(_qstrPath, qstrAside)) {
        LOG_EX(LOG_FAIL, "%s is not a JSON object and cannot be kept as %s: not overwritten",
               qUtf8Printable(_qstrPath), qUtf8Printable(qstrAside));
        return false;
    }
    LOG_EX(LOG_FAIL, "%s is not a JSON object: kept as %s", qUtf8Printable(_qstrPath),
           qUtf8Printable(qstrAside));
    return true;
}

} // namespace

QJsonObject ReadJsonFile(const QString& _qstrPath)
{
    QFile qfile(_qstrPath);
    if (!qfile.open(QIODevice::ReadOnly)) {
        qDebug() << "File open failed!";
        return QJsonObject();
    }
    QJsonParseError qjsonError;
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(qfile.readAll(), &qjsonError);
    if (qjsonError.error != QJsonParseError::NoError) {
        qDebug() << "parseJson:" << qjsonError.errorString();
        return QJsonObject();
    }
    return qjsonDoc.object();
}

bool WriteJsonFile(const QJsonObject& _qjsonObj, const QString& _qstrPath)
{
    // Written beside the old file and renamed over it, so a crash or a full disk never
    // leaves a cut settings file. Unbuffered, because a buffered QSaveFile reports a short
    // write (file size limit, full disk) as a successful commit.
    if (!KeepUnreadableFile(_qstrPath)) {
        return false;
    }
    QSaveFile qfile(_qstrPath);
    if (!qfile.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        LOG_EX(LOG_FILE, "File open failed!");
        return false;
    }
    const QByteArray qbaJson = QJsonDocument(_qjsonObj).toJson(QJsonDocument::Indented);
    if (qfile.write(qbaJson) != qbaJson.size()) {
        qfile.cancelWriting();
        LOG_EX(LOG_FILE, "File write failed! %s", qUtf8Printable(qfile.errorString()));
        return false;
    }
    if (!qfile.commit()) {
        LOG_EX(LOG_FILE, "File write failed! %s", qUtf8Printable(qfile.errorString()));
        return false;
    }
    return true;
}

QString JsonToString(const QJsonObject& _qjsonObj)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
}

QJsonObject ParseJson(const QString& _qstrText)
{
    QJsonParseError qjsonError;
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrText.toUtf8(), &qjsonError);
    if (qjsonError.error != QJsonParseError::NoError || !qjsonDoc.isObject()) {
        return QJsonObject();
    }
    return qjsonDoc.object();
}

bool Base64Encode(const char* _pcIn, char* _pcOut, std::size_t _uiOutSize)
{
    if (_pcIn == nullptr || _pcOut == nullptr || _uiOutSize == 0) {
        return RefuseTooLong(_pcOut, _uiOutSize, "Base64Encode");
    }
    const std::size_t uiInLen = std::strlen(_pcIn);
    const std::size_t uiNeed = (uiInLen + 2) / 3 * 4 + 1;
    if (uiNeed > _uiOutSize) {
        return RefuseTooLong(_pcOut, _uiOutSize, "Base64Encode");
    }
    const auto* pucIn = reinterpret_cast<const unsigned char*>(_pcIn);
    std::size_t uiOut = 0;
    for (std::size_t i = 0; i < uiInLen; i += 3) {
        const std::size_t uiRest = uiInLen - i;
        const unsigned int uiGroup =
            (pucIn[i] << 16) | (uiRest > 1 ? pucIn[i + 1] << 8 : 0) | (uiRest > 2 ? pucIn[i + 2] : 0);
        _pcOut[uiOut++] = g_acBase64Alphabet[(uiGroup >> 18) & 0x3F];
        _pcOut[uiOut++] = g_acBase64Alphabet[(uiGroup >> 12) & 0x3F];
        _pcOut[uiOut++] = uiRest > 1 ? g_acBase64Alphabet[(uiGroup >> 6) & 0x3F] : '=';
        _pcOut[uiOut++] = uiRest > 2 ? g_acBase64Alphabet[uiGroup & 0x3F] : '=';
    }
    _pcOut[uiOut] = '\0';
    return true;
}

bool Base64Decode(const char* _pcIn, char* _pcOut, std::size_t _uiOutSize)
{
    if (_pcIn == nullptr || _pcOut == nullptr || _uiOutSize == 0) {
        return RefuseTooLong(_pcOut, _uiOutSize, "Base64Decode");
    }
    const std::size_t uiInLen = std::strlen(_pcIn);
    std::size_t uiOut = 0;
    for (std::size_t i = 0; i < uiInLen; i += 4) {
        int aiValue[4] = {0, 0, g_iBase64Pad, g_iBase64Pad};
        for (std::size_t k = 0; k < 4 && i + k < uiInLen; ++k) {
            aiValue[k] = Base64Value(_pcIn[i + k]);
        }
        const bool blLast = i + 4 >= uiInLen;
        int iBytes = 3;
        if (blLast) {
            if (aiValue[1] == g_iBase64Pad) {
                LOG_EX(LOG_TRACE, "Not a valid base64 string");
                break;
            }
            iBytes = aiValue[2] == g_iBase64Pad ? 1 : (aiValue[3] == g_iBase64Pad ? 2 : 3);
        }
        for (int& iValue : aiValue) {
            iValue &= 0x3F;
        }
        if (uiOut + static_cast<std::size_t>(iBytes) + 1 > _uiOutSize) {
            return RefuseTooLong(_pcOut, _uiOutSize, "Base64Decode");
        }
        const unsigned int uiGroup = (aiValue[0] << 18) | (aiValue[1] << 12) | (aiValue[2] << 6) | aiValue[3];
        _pcOut[uiOut++] = static_cast<char>((uiGroup >> 16) & 0xFF);
        if (iBytes > 1) {
            _pcOut[uiOut++] = static_cast<char>((uiGroup >> 8) & 0xFF);
        }
        if (iBytes > 2) {
            _pcOut[uiOut++] = static_cast<char>(uiGroup & 0xFF);
        }
    }
    _pcOut[uiOut] = '\0';
    return true;
}

QString ResourceFolder()
{
    return QStringLiteral("LumacastFile/Resource/");
}

QString ResourcePath(const QString& _qstrRelative)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + ResourceFolder() + _qstrRelative;
}

bool CreateLogDir(QByteArray& _qbaPath)
{
    const QString qstrPath = QCoreApplication::applicationDirPath() + QStringLiteral("/Log") +
                             QStringLiteral("/") + QCoreApplication::applicationName() + QStringLiteral("/");
    _qbaPath = qstrPath.toUtf8();
    QDir qdir(qstrPath);
    return qdir.exists() || qdir.mkpath(QStringLiteral("."));
}

int GetProcessIdsByName(const QString& _qstrName, QList<quint32>& _lstPid)
{
    QDir qdirProc(QStringLiteral("/proc"));
    struct stat statOwn = {};
    if (!qdirProc.exists() || ::stat("/proc/self/exe", &statOwn) != 0) {
        return -1;
    }
    const QByteArray qbaName = _qstrName.toUtf8();
    const QByteArray qbaNameExe = qbaName + ".exe";
    QList<quint32> lstFound;
    const QStringList qstrlstEntries = qdirProc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& qstrEntry : qstrlstEntries) {
        bool blNumber = false;
        const quint32 uiPid = qstrEntry.toUInt(&blNumber);
        if (!blNumber) {
            continue;
        }
        const QString qstrProcDir = qdirProc.filePath(qstrEntry);
        const QByteArray qbaImage = ProcessImageName(qstrProcDir);
        if (!qbaImage.isEmpty() && (qbaImage == qbaName || qbaImage == qbaNameExe) &&
            RunsSameFile(qstrProcDir, statOwn)) {
            lstFound.append(uiPid);
        }
    }
    std::sort(lstFound.begin(), lstFound.end());
    _lstPid.append(lstFound);
    return 0;
}

int KillProcess(quint32 _uiPid)
{
    const pid_t iPid = static_cast<pid_t>(_uiPid);
    if (iPid <= 0 || ProcessIsGone(_uiPid)) {
        return 0;
    }
    const int aiSignal[3] = {SIGTERM, SIGKILL, SIGKILL};
    for (int iSignal : aiSignal) {
        if (::kill(iPid, iSignal) != 0) {
            // Gone already, or not ours to end: waiting would change nothing.
            if (errno != ESRCH) {
                LOG_EX(LOG_FAIL, "KillProcess(%u): %s", _uiPid, std::strerror(errno));
            }
            return 0;
        }
        for (int iWait = 0; iWait < 20; ++iWait) {
            if (ProcessIsGone(_uiPid)) {
                return 0;
            }
            QThread::msleep(50);
        }
    }
    return 0;
}
