#include "CLS_ProcessServer.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStringList>

namespace {

// The program file of a type: the ".exe" suffix belongs to Windows builds only.
QString ProgramFile(const QString& _qstrType)
{
#ifdef Q_OS_WIN
    return _qstrType + QStringLiteral(".exe");
#else
    return _qstrType;
#endif
}

// Sets the key of the group in the INI text; every other byte (comments, other groups' values,
// their spelling and escapes) stays as the terminal service or the user left it.
void SetIniValue(QByteArray& _qbaIni, const QByteArray& _qbaGroup, const QByteArray& _qbaKey,
                 const QByteArray& _qbaValue)
{
    const QByteArray qbaEol = _qbaIni.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    const QByteArray qbaHeader = '[' + _qbaGroup + ']';
    bool blInGroup = false;
    int iInsertAt = -1;
    for (int iStart = 0; iStart < _qbaIni.size();) {
        int iEnd = _qbaIni.indexOf('\n', iStart);
        const int iNext = iEnd < 0 ? _qbaIni.size() : iEnd + 1;
        iEnd = iEnd < 0 ? _qbaIni.size() : iEnd;
        const int iContentEnd = iEnd > iStart && _qbaIni.at(iEnd - 1) == '\r' ? iEnd - 1 : iEnd;
        const QByteArray qbaLine = _qbaIni.mid(iStart, iContentEnd - iStart).trimmed();
        if (qbaLine.startsWith('[')) {
            blInGroup = qbaLine == qbaHeader;
            iInsertAt = blInGroup ? iNext : iInsertAt;
        } else if (blInGroup && !qbaLine.isEmpty()) {
            iInsertAt = iNext;
            const int iEqual = _qbaIni.indexOf('=', iStart);
            if (!qbaLine.startsWith(';') && !qbaLine.startsWith('#') && iEqual >= 0 && iEqual < iContentEnd &&
                _qbaIni.mid(iStart, iEqual - iStart).trimmed() == _qbaKey) {
                int iValue = iEqual + 1;
                while (iValue < iContentEnd && (_qbaIni.at(iValue) == ' ' || _qbaIni.at(iValue) == '\t')) {
                    ++iValue;
                }
                _qbaIni.replace(iValue, iContentEnd - iValue, _qbaValue);
                return;
            }
        }
        iStart = iNext;
    }
    QByteArray qbaAdd = _qbaKey + '=' + _qbaValue + qbaEol;
    if (iInsertAt < 0) {
        qbaAdd.prepend(qbaHeader + qbaEol);
        iInsertAt = _qbaIni.size();
    }
    if (iInsertAt > 0 && _qbaIni.at(iInsertAt - 1) != '\n') {
        qbaAdd.prepend(qbaEol);
    }
    _qbaIni.insert(iInsertAt, qbaAdd);
}

} // namespace

bool CLS_ProcessServer::WinStartUp(const char* _pcType, const char* _pcParam)
{
    if (_pcParam == nullptr) {
        LOG_EX(LOG_TRACE, "[CLS_ProcessServer::WinStartUp]:NULL == _pcParam");
        return false;
    }
    if (_pcType == nullptr) {
        LOG_EX(LOG_TRACE, "[CLS_ProcessServer::WinStartUp]:NULL == _pcType");
        return false;
    }
    const QString qstrType = QString::fromUtf8(_pcType);
    // Only programs of the application folder itself are started.
    if (qstrType.isEmpty() || qstrType.contains(QLatin1Char('/')) || qstrType.contains(QLatin1Char('\\'))) {
        LOG_EX(LOG_TRACE, "[CLS_ProcessServer::WinStartUp]:not a program of the application folder: %s",
               _pcType);
        return false;
    }
    const QString qstrProgram =
        QCoreApplication::applicationDirPath() + QStringLiteral("/") + ProgramFile(qstrType);
    const QStringList qstrlstArgs{qstrType, QString::fromUtf8(_pcParam)};
    LOG_EX(LOG_TRACE, "WinStartUp::program = %s", qstrProgram.toUtf8().constData());
    return QProcess::startDetached(qstrProgram, qstrlstArgs);
}

int CLS_ProcessServer::WriteAutoStartCfg(bool _blAutoStart)
{
    const QString qstrIni =
        QCoreApplication::applicationDirPath() + QStringLiteral("/TerminalServerFile/AutoStartCfg.ini");
    QFile qfileIni(qstrIni);
    QByteArray qbaOld;
    if (qfileIni.exists()) {
        if (!qfileIni.open(QIODevice::ReadOnly)) {
            LOG_EX(LOG_FILE, "File open failed! %s", qUtf8Printable(qstrIni));
            return 0;
        }
        qbaOld = qfileIni.readAll();
    }
    QByteArray qbaIni = qbaOld;
    SetIniValue(qbaIni, "Lumacast", "autoStart", _blAutoStart ? "true" : "false");
    SetIniValue(qbaIni, "Lumacast", "exeName", "Lumacast");
    if (qbaIni == qbaOld) {
        return 0;
    }
    QDir().mkpath(QFileInfo(qstrIni).path());
    QSaveFile qsavefile(qstrIni);
    if (!qsavefile.open(QIODevice::WriteOnly) || qsavefile.write(qbaIni) != qbaIni.size() ||
        !qsavefile.commit()) {
        LOG_EX(LOG_FILE, "File open failed! %s", qUtf8Printable(qstrIni));
    }
    return 0;
}
