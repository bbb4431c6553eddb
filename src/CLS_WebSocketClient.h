// The transport under the platform link: one WebSocket client connection that sends and receives
// text frames and knows nothing of what they carry.
#pragma once

#include <QObject>
#include <QString>
#include <QWebSocket>

class CLS_WebSocketClient : public QObject
{
    Q_OBJECT
public:
    // Frames above this size close the link instead of being taken into memory: the local
    // service sends a few hundred bytes per message.
    static constexpr qint64 s_iMaxIncomingBytes = 1024 * 1024;

    explicit CLS_WebSocketClient(QObject* _pParent = nullptr);
    // Closes the connection with the normal close code.
    ~CLS_WebSocketClient() override;

    // Opens "ws://host:port". Always true: only SignConnected tells that the link came up.
    bool OpenUrl(const QString& _qstrHost, int _iPort);
    // Logs the text and sends it as one text frame; dropped when the link is not open.
    void SendText(const QString& _qstrText);

signals:
    // A text frame arrived; delivered through the event loop, never inside the socket's handler.
    void SignReceived(QString _qstrText);
    void SignConnected();
    void SignDisconnected();

private:
    QWebSocket m_webSocket;
};
