// Reads what the program wrote to its log file in the test's application folder.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

inline QString ReadAppLog()
{
    const QDir qdirLog(QCoreApplication::applicationDirPath() + QStringLiteral("/Log/") +
                       QCoreApplication::applicationName());
    QString qstrText;
    const QStringList qstrlstFiles = qdirLog.entryList({QStringLiteral("*.log")}, QDir::Files);
    for (const QString& qstrFile : qstrlstFiles) {
        QFile qfile(qdirLog.filePath(qstrFile));
        if (qfile.open(QIODevice::ReadOnly)) {
            qstrText += QString::fromUtf8(qfile.readAll());
        }
    }
    return qstrText;
}
