#include "CLS_WebSocketClient.h"

#include "common/Log.h"

#include <QUrl>

CLS_WebSocketClient::CLS_WebSocketClient(QObject* _pParent)
    : QObject(_pParent), m_webSocket(QString(), QWebSocketProtocol::Version13, nullptr)
{
    m_webSocket.setMaxAllowedIncomingMessageSize(s_iMaxIncomingBytes);
    m_webSocket.setMaxAllowedIncomingFrameSize(s_iMaxIncomingBytes);
    connect(&m_webSocket, &QWebSocket::connected, this, &CLS_WebSocketClient::SignConnected);
    connect(&m_webSocket, &QWebSocket::disconnected, this, &CLS_WebSocketClient::SignDisconnected);
    // Queued, so that a receiver may send, open or close the socket while it handles a frame.
    connect(&m_webSocket, &QWebSocket::textMessageReceived, this, &CLS_WebSocketClient::SignReceived,
            Qt::QueuedConnection);
}

CLS_WebSocketClient::~CLS_WebSocketClient()
{
    // Nobody is told of this disconnection: the owner is going away.
    m_webSocket.disconnect(this);
    m_webSocket.close(QWebSocketProtocol::CloseCodeNormal, QString());
}

bool CLS_WebSocketClient::OpenUrl(const QString& _qstrHost, int _iPort)
{
    const QString qstrUrl = QStringLiteral("ws://%1:%2").arg(_qstrHost).arg(_iPort);
    m_webSocket.open(QUrl(qstrUrl));
    return true;
}

void CLS_WebSocketClient::SendText(const QString& _qstrText)
{
    LOG_EX(LOG_TRACE, "websocketclient send====[%s]", _qstrText.toUtf8().constData());
    m_webSocket.sendTextMessage(_qstrText);
}
