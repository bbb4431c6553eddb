// A copy of the built program and the libraries beside it in a folder of the test's own, so real
// copies of the program run with their own settings file, log and local socket.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>

// Copies the program of _qstrBuiltDir as _qstrProgramName into _qstrTargetDir, with every library
// beside it and the settings folder the installation provides; false when anything is missing.
inline bool CopyBuiltProgram(const QString& _qstrBuiltDir, const QString& _qstrTargetDir,
                             const QString& _qstrProgramName = QStringLiteral("Lumacast"))
{
    const QDir qdirBuilt(_qstrBuiltDir);
    const QDir qdirTarget(_qstrTargetDir);
    if (_qstrBuiltDir.isEmpty() ||
        !QFile::copy(qdirBuilt.filePath(QStringLiteral("Lumacast")), qdirTarget.filePath(_qstrProgramName))) {
        return false;
    }
    const QStringList qstrlstLibraries = qdirBuilt.entryList({QStringLiteral("*.so")}, QDir::Files);
    for (const QString& qstrLibrary : qstrlstLibraries) {
        if (!QFile::copy(qdirBuilt.filePath(qstrLibrary), qdirTarget.filePath(qstrLibrary))) {
            return false;
        }
    }
    return qdirTarget.mkpath(QStringLiteral("LumacastFile/Resource/config"));
}
