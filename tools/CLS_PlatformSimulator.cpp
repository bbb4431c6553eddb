#include "CLS_PlatformSimulator.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QWebSocket>

#include <algorithm>
#include <cstdio>

namespace {

const int g_iCmdLogin = 3;
const int g_iCmdLoginAnswer = 10003;
const int g_iCmdStart = 101;
const int g_iCmdSetUser = 2003;

QString Compact(const QJsonObject& _qjsonObj)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
}

QJsonObject ParamObject(const QString& _qstrParam)
{
    return QJsonDocument::fromJson(_qstrParam.toUtf8()).object();
}

} // namespace

CLS_PlatformSimulator::CLS_PlatformSimulator(const QString& _qstrSignKey, QObject* _pParent)
    : QObject(_pParent), m_qstrSignKey(_qstrSignKey),
      m_webSocketServer(QStringLiteral("platform-simulator"), QWebSocketServer::NonSecureMode),
      m_textOut(stdout)
{
    connect(&m_webSocketServer, &QWebSocketServer::newConnection, this,
            &CLS_PlatformSimulator::SlotNewConnection);
}

CLS_PlatformSimulator::~CLS_PlatformSimulator() = default;

quint16 CLS_PlatformSimulator::Listen(quint16 _uiPort)
{
    if (!m_webSocketServer.listen(QHostAddress::LocalHost, _uiPort)) {
        Print(QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                  .arg(_uiPort)
                  .arg(m_webSocketServer.errorString()));
        return 0;
    }
    Print(QStringLiteral("listening on 127.0.0.1:%1").arg(m_webSocketServer.serverPort()));
    return m_webSocketServer.serverPort();
}

void CLS_PlatformSimulator::AddStartRequest(const QString& _qstrParam, const QString& _qstrToken,
                                            const QString& _qstrPlatform, const QString& _qstrSendSocketId)
{
    const QJsonObject qjsonMsg{
        {QStringLiteral("cmd"), g_iCmdStart},
        {QStringLiteral("token"), _qstrToken},
        {QStringLiteral("platform"), _qstrPlatform},
        {QStringLiteral("sendSocketID"), _qstrSendSocketId},
        {QStringLiteral("sender"), QStringLiteral("platformClient")},
        {QStringLiteral("communicationId"), QStringLiteral("sim-%1").arg(m_iNextCommunicationId++)},
        {QStringLiteral("param"), ParamObject(_qstrParam)}};
    m_qstrlstQueued.append(Compact(qjsonMsg));
}

void CLS_PlatformSimulator::AddSetUserRequest(const QString& _qstrParam)
{
    const QJsonObject qjsonMsg{
        {QStringLiteral("cmd"), g_iCmdSetUser},
        {QStringLiteral("token"), QStringLiteral("token")},
        {QStringLiteral("platform"), QStringLiteral("platform")},
        {QStringLiteral("sender"), QStringLiteral("platformClient")},
        {QStringLiteral("communicationId"), QStringLiteral("sim-%1").arg(m_iNextCommunicationId++)},
        {QStringLiteral("param"), ParamObject(_qstrParam)}};
    m_qstrlstQueued.append(Compact(qjsonMsg));
}

void CLS_PlatformSimulator::AddRawFrame(const QString& _qstrText)
{
    m_qstrlstQueued.append(_qstrText);
}

QString CLS_PlatformSimulator::CheckLoginToken(const QString& _qstrToken)
{
    static const QRegularExpression s_qregexToken(QStringLiteral("^[0-9a-f]{64}$"));
    if (!s_qregexToken.match(_qstrToken).hasMatch()) {
        return QStringLiteral("token is not 64 lowercase hex characters");
    }
    const QString qstrNonce = _qstrToken.left(32);
    const QByteArray qbaDigest =
        QCryptographicHash::hash((qstrNonce + m_qstrSignKey).toUtf8(), QCryptographicHash::Md5).toHex();
    if (QString::fromLatin1(qbaDigest) != _qstrToken.mid(32)) {
        return QStringLiteral("bad signature");
    }
    if (m_setNonces.contains(qstrNonce)) {
        return QStringLiteral("nonce used before");
    }
    m_setNonces.insert(qstrNonce);
    return QString();
}

void CLS_PlatformSimulator::SlotNewConnection()
{
    while (QWebSocket* pSocket = m_webSocketServer.nextPendingConnection()) {
        m_vecClients.emplace_back(pSocket);
        Print(QStringLiteral("client connected from %1:%2")
                  .arg(pSocket->peerAddress().toString())
                  .arg(pSocket->peerPort()));
        connect(pSocket, &QWebSocket::textMessageReceived, this,
                [this, pSocket](const QString& _qstrText) { HandleFrame(pSocket, _qstrText); });
        connect(pSocket, &QWebSocket::disconnected, this, [this]() {
            Print(QStringLiteral("client disconnected"));
            if (m_blQuitOnDisconnect) {
                QCoreApplication::quit();
            }
        });
    }
}

void CLS_PlatformSimulator::HandleFrame(QWebSocket* _pSocket, const QString& _qstrText)
{
    Print(QStringLiteral("<< ") + _qstrText);
    const QJsonObject qjsonMsg = QJsonDocument::fromJson(_qstrText.toUtf8()).object();
    if (qjsonMsg.value(QStringLiteral("cmd")).toInt() != g_iCmdLogin) {
        return;
    }
    const QString qstrWhy = CheckLoginToken(
        qjsonMsg.value(QStringLiteral("param")).toObject().value(QStringLiteral("token")).toString());
    Print(qstrWhy.isEmpty() ? QStringLiteral("login accepted") : QStringLiteral("login refused: ") + qstrWhy);
    QJsonArray qjsonArrClients;
    qjsonArrClients.append(qjsonMsg.value(QStringLiteral("sender")).toString());
    const QJsonObject qjsonAnswer{
        {QStringLiteral("cmd"), g_iCmdLoginAnswer},
        {QStringLiteral("platform"), qjsonMsg.value(QStringLiteral("platform"))},
        {QStringLiteral("token"), qjsonMsg.value(QStringLiteral("token"))},
        {QStringLiteral("sender"), QStringLiteral("TerminalServer")},
        {QStringLiteral("communicationId"), QString()},
        {QStringLiteral("clientlist"), qjsonArrClients},
        {QStringLiteral("param"), QJsonObject{{QStringLiteral("ret"), qstrWhy.isEmpty() ? 0 : 1}}}};
    Send(_pSocket, Compact(qjsonAnswer));
    if (qstrWhy.isEmpty()) {
        for (const QString& qstrFrame : qAsConst(m_qstrlstQueued)) {
            Send(_pSocket, qstrFrame);
        }
        if (!m_blRepeat) {
            m_qstrlstQueued.clear();
        }
    }
}

void CLS_PlatformSimulator::Send(QWebSocket* _pSocket, const QString& _qstrText)
{
    Print(QStringLiteral(">> ") + _qstrText);
    _pSocket->sendTextMessage(_qstrText);
}

void CLS_PlatformSimulator::Print(const QString& _qstrLine)
{
    m_textOut << _qstrLine << '\n';
    m_textOut.flush();
}
