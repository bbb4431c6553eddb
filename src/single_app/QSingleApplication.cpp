#include "QSingleApplication.h"

#include <QDataStream>
#include <QDebug>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
const int g_iConnectWaitMs = 500;
const int g_iWriteWaitMs = 30000;
} // namespace

QSingleApplication::QSingleApplication(int& argc, char** argv)
    : QApplication(argc, argv), m_qstrServerName(QFileInfo(applicationFilePath()).fileName())
{
    QLocalSocket qsocket;
    qsocket.connectToServer(m_qstrServerName, QIODevice::ReadWrite);
    if (qsocket.waitForConnected(g_iConnectWaitMs)) {
        qDebug().noquote() << m_qstrServerName + QStringLiteral(" already running.");
        m_blRunning = true;
        return;
    }
    Listen();
}

void QSingleApplication::Listen()
{
    m_pLocalServer = new QLocalServer(this);
    connect(m_pLocalServer, &QLocalServer::newConnection, this, &QSingleApplication::SlotNewLocalConnection);
    if (m_pLocalServer->listen(m_qstrServerName)) {
        return;
    }
    if (m_pLocalServer->serverError() == QAbstractSocket::AddressInUseError) {
        // Left behind by a copy that crashed: nobody answered on it above.
        QLocalServer::removeServer(m_qstrServerName);
        m_pLocalServer->listen(m_qstrServerName);
    }
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
