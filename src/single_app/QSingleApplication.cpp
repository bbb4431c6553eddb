#include "QSingleApplication.h"

#include "common/Log.h"

#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <sys/stat.h>

namespace {
const int g_iConnectWaitMs = 500;
const int g_iWriteWaitMs = 30000;
// Long enough for a restarting copy to end the old one while it holds the lock.
const int g_iStartLockWaitMs = 20000;
const int g_iGoneTries = 40;
const int g_iGoneWaitMs = 50;

bool IsSocketFile(const QString& _qstrPath)
{
    struct stat stFile;
    return ::lstat(QFile::encodeName(_qstrPath).constData(), &stFile) == 0 && S_ISSOCK(stFile.st_mode);
}
} // namespace

QSingleApplication::QSingleApplication(int& argc, char** argv)
    : QApplication(argc, argv), m_qstrServerName(QFileInfo(applicationFilePath()).fileName())
{
    CheckRunning();
}

bool QSingleApplication::isListening() const
{
    return m_pLocalServer != nullptr && m_pLocalServer->isListening();
}

bool QSingleApplication::CheckRunning(const std::function<void()>& _fnEndRunning)
{
    // Copies starting at the same time take turns: between one copy's probe and its listen no
    // other copy may probe, nor remove the name as stale.
    QLockFile qlockStart(QDir::tempPath() + QLatin1Char('/') + m_qstrServerName + QStringLiteral(".lock"));
    if (!qlockStart.tryLock(g_iStartLockWaitMs)) {
        LOG_EX(LOG_FAIL, "start lock %s not taken (%d): deciding without it",
               qUtf8Printable(QDir::tempPath() + QLatin1Char('/') + m_qstrServerName), qlockStart.error());
    }
    if (isListening()) {
        m_blRunning = false;
        return false;
    }
    m_blRunning = ProbeRunning();
    if (m_blRunning && _fnEndRunning) {
        _fnEndRunning();
        // An ended copy's last threads may hold its socket for a moment after it shows as gone.
        for (int iTry = 0; iTry < g_iGoneTries && (m_blRunning = ProbeRunning()); ++iTry) {
            QThread::msleep(g_iGoneWaitMs);
        }
    }
    if (m_blRunning) {
        qDebug().noquote() << m_qstrServerName + QStringLiteral(" already running.");
    } else {
        Listen();
    }
    return m_blRunning;
}

bool QSingleApplication::ProbeRunning() const
{
    QLocalSocket qsocket;
    qsocket.connectToServer(m_qstrServerName, QIODevice::ReadWrite);
    return qsocket.waitForConnected(g_iConnectWaitMs);
}

void QSingleApplication::Listen()
{
    if (m_pLocalServer == nullptr) {
        m_pLocalServer = new QLocalServer(this);
        connect(m_pLocalServer, &QLocalServer::newConnection, this,
                &QSingleApplication::SlotNewLocalConnection);
    }
    if (m_pLocalServer->listen(m_qstrServerName)) {
        return;
    }
    if (m_pLocalServer->serverError() == QAbstractSocket::AddressInUseError) {
        // Only a socket is what a copy that ended without closing it left behind (nobody answered
        // on it above); the name may be any file, the program itself where the temporary folder is
        // the program's folder.
        const QString qstrPath = QDir::tempPath() + QLatin1Char('/') + m_qstrServerName;
        if (!IsSocketFile(qstrPath)) {
            LOG_EX(LOG_FAIL, "!listen(%s): the name is taken by a file that is not a socket",
                   qUtf8Printable(qstrPath));
            return;
        }
        QLocalServer::removeServer(m_qstrServerName);
        if (m_pLocalServer->listen(m_qstrServerName)) {
            return;
        }
    }
    LOG_EX(LOG_FAIL, "!listen(%s): %s", qUtf8Printable(m_qstrServerName),
           qUtf8Printable(m_pLocalServer->errorString()));
}

bool QSingleApplication::sendMessage(const QString& _qstrMessage)
{
    if (!m_blRunning) {
        return false;
    }
    QLocalSocket qsocket;
    qsocket.connectToServer(m_qstrServerName, QIODevice::WriteOnly);
    if (!qsocket.waitForConnected(g_iConnectWaitMs)) {
        return false;
    }
    QByteArray qbaMessage;
    QDataStream qstream(&qbaMessage, QIODevice::WriteOnly);
    qstream << _qstrMessage;
    qsocket.write(qbaMessage);
    qsocket.waitForBytesWritten(g_iWriteWaitMs);
    qsocket.disconnectFromServer();
    return true;
}

void QSingleApplication::SlotNewLocalConnection()
{
    QLocalSocket* pSocket = m_pLocalServer->nextPendingConnection();
    if (pSocket == nullptr) {
        return;
    }
    emit SigGetNewConnect();
    connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
    // The message may arrive in pieces; a stream transaction waits for the whole string.
    auto readMessage = [this, pSocket] {
        QDataStream qstream(pSocket);
        qstream.startTransaction();
        QString qstrMessage;
        qstream >> qstrMessage;
        if (!qstream.commitTransaction()) {
            return;
        }
        emit SigMessageReceived(qstrMessage);
        pSocket->disconnectFromServer();
    };
    connect(pSocket, &QLocalSocket::readyRead, this, readMessage);
    if (pSocket->bytesAvailable() > 0) {
        readMessage();
    }
}
