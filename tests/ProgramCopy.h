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
#include <QTest>

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
        qenv.insert(QStringLiteral("TMPDIR"), m_qtempSockets.path());
        pProcess->setProcessEnvironment(qenv);
        pProcess->start(Path(QStringLiteral("Lumacast")), _qstrlstArgs);
        pProcess->waitForStarted();
        return pProcess;
    }

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

// Starts _qprocess as a copy of the built program in _qtempApp, under a name of this run's own (so
// that no other copy's single-instance guard answers), its settings a user "admin" with password
// "secret" and no channels yet; the port its log names for channel 0, 0 when none within 30 s.
inline int StartServingCopy(const QTemporaryDir& _qtempApp, QProcess& _qprocess)
{
    const QString qstrName = QStringLiteral("Lc%1").arg(QCoreApplication::applicationPid());
    QFile qfile(_qtempApp.filePath(QStringLiteral("LumacastFile/Resource/config/lumacast.json")));
    if (!CopyBuiltProgram(qEnvironmentVariable("LUMACAST_APP_DIR"), _qtempApp.path(), qstrName) ||
        !qfile.open(QIODevice::WriteOnly) ||
        qfile.write(R"({"hostInfo":{"port":0,"user":"YWRtaW4=","password":"c2VjcmV0"},"chInfo":[]})") <= 0) {
        return 0;
    }
    qfile.close();
    _qprocess.start(_qtempApp.filePath(qstrName), QStringList());
    QFile qfileLog(_qtempApp.filePath(QStringLiteral("Log/%1/%1.log").arg(qstrName)));
    const QRegularExpression qregServed(QStringLiteral("channel 0 served at rtsp://127.0.0.1:(\\d+)/ch0"));
    QRegularExpressionMatch qmatch;
    const bool blServed = QTest::qWaitFor(
        [&] {
            qfileLog.open(QIODevice::ReadOnly);
            qmatch = qregServed.match(QString::fromUtf8(qfileLog.readAll()));
            qfileLog.close();
            return qmatch.hasMatch();
        },
        30000);
    return blServed ? qmatch.captured(1).toInt() : 0;
}
