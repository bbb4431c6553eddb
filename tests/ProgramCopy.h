// A copy of the built program and the libraries beside it in a folder of the test's own, so real
// copies of the program run with their own settings file, log and local socket.
#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
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

// Copies the installation data of _qstrBuiltDir (skins, pictures, the message boxes' style
// sheets) into _qstrTargetDir, so windows there look as installed; false when a copy fails.
inline bool CopyInstalledData(const QString& _qstrBuiltDir, const QString& _qstrTargetDir)
{
    for (const char* pcFolder : {"LumacastFile/Resource", "MessageBox", "MessageBox_ZF"}) {
        QDirIterator it(_qstrBuiltDir + '/' + pcFolder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString qstrTarget = _qstrTargetDir + '/' + it.next().mid(_qstrBuiltDir.size() + 1);
            QDir().mkpath(QFileInfo(qstrTarget).path());
            QFile::remove(qstrTarget);
            if (!QFile::copy(it.filePath(), qstrTarget)) {
                return false;
            }
        }
    }
    return true;
}
