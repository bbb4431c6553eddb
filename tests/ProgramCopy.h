// Real copies of the built program, started from a copy of its application folder with their
// local socket in a folder of their own, so they meet only each other.
#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

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

class ProgramCopies
{
public:
    bool Prepare() { return CopyBuiltProgram(qEnvironmentVariable("LUMACAST_APP_DIR"), m_qtempApp.path()); }
    ~ProgramCopies() { KillAll(); }

    QProcess* Start(const QStringList& _qstrlstArgs = {}, const QProcessEnvironment& _qenv = Environment())
    {
        m_vecProcesses.push_back(std::make_unique<QProcess>());
        QProcess* pProcess = m_vecProcesses.back().get();
        QProcessEnvironment qenv = _qenv;
        qenv.insert(QStringLiteral("TMPDIR"),
                    m_qstrTemporary.isEmpty() ? m_qtempSockets.path() : m_qstrTemporary);
        pProcess->setProcessEnvironment(qenv);
        pProcess->start(Path(QStringLiteral("Lumacast")), _qstrlstArgs);
        pProcess->waitForStarted();
        return pProcess;
    }

    // Where started copies keep their socket and lock: a folder of their own unless set.
    void SetTemporaryFolder(const QString& _qstrFolder) { m_qstrTemporary = _qstrFolder; }

    static QProcessEnvironment Environment()
    {
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return qenv;
    }

    void KillAll()
    {
        for (auto& pProcess : m_vecProcesses) {
            pProcess->kill();
            pProcess->waitForFinished();
        }
        m_vecProcesses.clear();
    }

    QString Path(const QString& _qstrRelative) const { return m_qtempApp.filePath(_qstrRelative); }

    QString Log() const
    {
        QFile qfile(Path(QStringLiteral("Log/Lumacast/Lumacast.log")));
        return qfile.open(QIODevice::ReadOnly) ? QString::fromUtf8(qfile.readAll()) : QString();
    }

    // Each line carries the writing thread's ID, which is the process ID on the main thread.
    bool LogHasLineOf(qint64 _iPid, const QString& _qstrText) const
    {
        const QString qstrPattern =
            QStringLiteral("^.*\\[%1\\].*%2").arg(_iPid).arg(QRegularExpression::escape(_qstrText));
        return QRegularExpression(qstrPattern, QRegularExpression::MultilineOption).match(Log()).hasMatch();
    }

private:
    QTemporaryDir m_qtempApp;
    QTemporaryDir m_qtempSockets;
    QString m_qstrTemporary;
    std::vector<std::unique_ptr<QProcess>> m_vecProcesses;
};

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
