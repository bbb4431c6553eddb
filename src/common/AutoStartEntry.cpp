#include "AutoStartEntry.h"

#include "Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// One argument of an Exec key: quoted, with the characters the quoting reserves escaped, field
// codes kept literal, and the backslashes of the result escaped once more as the string type
// of a desktop entry requires.
QString QuotedExecArgument(const QString& _qstrArgument)
{
    QString qstrQuoted;
    for (const QChar qchar : _qstrArgument) {
        if (qchar == QLatin1Char('"') || qchar == QLatin1Char('`') || qchar == QLatin1Char('$') ||
            qchar == QLatin1Char('\\')) {
            qstrQuoted += QLatin1Char('\\');
        } else if (qchar == QLatin1Char('%')) {
            qstrQuoted += QLatin1Char('%');
        }
        qstrQuoted += qchar;
    }
    qstrQuoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return QLatin1Char('"') + qstrQuoted + QLatin1Char('"');
}

} // namespace

QString AutoStartEntryPath()
{
    QString qstrConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (qstrConfigHome.isEmpty() || QDir::isRelativePath(qstrConfigHome)) {
        qstrConfigHome = QDir::homePath() + QStringLiteral("/.config");
    }
    return qstrConfigHome + QStringLiteral("/autostart/lumacast.desktop");
}

bool WriteAutoStartEntry(bool _blAutoStart)
{
    const QString qstrPath = AutoStartEntryPath();
    if (!_blAutoStart) {
        if (QFile::exists(qstrPath) && !QFile::remove(qstrPath)) {
            LOG_EX(LOG_FILE, "autostart entry cannot be removed: %s", qUtf8Printable(qstrPath));
            return false;
        }
        return true;
    }
    const QString qstrProgram = QCoreApplication::applicationFilePath();
    // A line break would end the key early and start another one.
    if (qstrProgram.contains(QLatin1Char('\n')) || qstrProgram.contains(QLatin1Char('\r'))) {
        LOG_EX(LOG_FILE, "autostart entry not written: the program path holds a line break");
        return false;
    }
    const QByteArray qbaEntry = QStringLiteral("[Desktop Entry]\n"
                                               "Type=Application\n"
                                               "Name=Lumacast\n"
                                               "Comment=PC桌面采集服务\n"
                                               "Exec=%1\n"
                                               "Terminal=false\n"
                                               "X-GNOME-Autostart-enabled=true\n")
                                    .arg(QuotedExecArgument(qstrProgram))
                                    .toUtf8();
    QSaveFile qfile(qstrPath);
    if (!QDir().mkpath(QFileInfo(qstrPath).path()) ||
        !qfile.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        qfile.write(qbaEntry) != qbaEntry.size() || !qfile.commit()) {
        LOG_EX(LOG_FILE, "autostart entry cannot be written: %s %s", qUtf8Printable(qstrPath),
               qUtf8Printable(qfile.errorString()));
        return false;
    }
    return true;
}
