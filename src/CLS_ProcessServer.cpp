#include "CLS_ProcessServer.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSettings>
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
    QSettings qsettings(QCoreApplication::applicationDirPath() +
                            QStringLiteral("/TerminalServerFile/AutoStartCfg.ini"),
                        QSettings::IniFormat);
    qsettings.setIniCodec("UTF-8");
    qsettings.beginGroup(QStringLiteral("Lumacast"));
    qsettings.setValue(QStringLiteral("exeName"), QStringLiteral("Lumacast"));
    qsettings.setValue(QStringLiteral("autoStart"), _blAutoStart);
    qsettings.endGroup();
    return 0;
}
