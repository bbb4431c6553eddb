#include "CLS_WebSocketWidget.h"

#include "CLS_WebSocketClient.h"
#include "OrbApplication.h"
#include "common/Log.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <vector>

namespace {

const char* const g_pcDefaultHost = "127.0.0.1";
const int g_iDefaultPort = 10588;
// The service may start after this program or restart: the link is opened again, soon at first,
// then less often, so that a service that stays away costs next to nothing.
const int g_iFirstReopenMs = 1000;
const int g_iLastReopenMs = 30000;

QString AgentId()
{
    static const QString s_qstrAgentId =
        QString::fromLatin1(QCryptographicHash::hash(QByteArray(), QCryptographicHash::Md5).toHex());
    return s_qstrAgentId;
}

// A frame as it may be logged: the value of every "password" key (however its name is escaped)
// replaced by its length, so that the log, readable by others, never holds the secret.
QByteArray LoggableFrame(const QByteArray& _qbaFrame)
{
    static const QRegularExpression s_qregKey(
        QStringLiteral(R"re(("(?:[^"\\]|\\.)*")(\s*:\s*)("(?:[^"\\]|\\.)*"|[^,}\]\s{\[]+))re"));
    const QString qstrFrame = QString::fromUtf8(_qbaFrame);
    QString qstrOut;
    int iCopied = 0;
    for (QRegularExpressionMatchIterator it = s_qregKey.globalMatch(qstrFrame); it.hasNext();) {
        const QRegularExpressionMatch qmatch = it.next();
        const QString qstrKey =
            QJsonDocument::fromJson('[' + qmatch.captured(1).toUtf8() + ']').array().at(0).toString();
        if (qstrKey.compare(QLatin1String("password"), Qt::CaseInsensitive) != 0) {
            continue;
        }
        const QJsonValue qjsonValue =
            QJsonDocument::fromJson('[' + qmatch.captured(3).toUtf8() + ']').array().at(0);
        const int iLength = qjsonValue.isString() ? qjsonValue.toString().size() : qmatch.captured(3).size();
        qstrOut += qstrFrame.mid(iCopied, qmatch.capturedStart(3) - iCopied) +
                   QStringLiteral("\"[%1 characters]\"").arg(iLength);
        iCopied = qmatch.capturedEnd(3);
    }
    return (qstrOut + qstrFrame.mid(iCopied)).toUtf8();
}

// The JSON parser's own nesting limit: it refuses deeper texts before reading further.
const int g_iMaxJsonDepth = 1024;

QByteArray KeyText(const QByteArray& _qbaToken)
{
    if (!_qbaToken.contains('\\')) {
        return _qbaToken.mid(1, _qbaToken.size() - 2);
    }
    return QJsonDocument::fromJson('[' + _qbaToken + ']').array().at(0).toString().toUtf8();
}

// Whether an object of the JSON text names a key twice. Qt's parser loses memory on such texts,
// so a peer could grow this process without bound with them; they are refused before parsing.
bool HasRepeatedKey(const QByteArray& _qbaJson)
{
    struct STRUCT_Level
    {
        bool blObject;
        bool blExpectKey;
        QSet<QByteArray> setKeys;
    };
    std::vector<STRUCT_Level> vecLevels;
    const int iSize = _qbaJson.size();
    for (int i = 0; i < iSize; ++i) {
        const char cChar = _qbaJson.at(i);
        if (cChar == '"') {
            const int iStart = i;
            for (++i; i < iSize && _qbaJson.at(i) != '"'; ++i) {
                if (_qbaJson.at(i) == '\\') {
                    ++i;
                }
            }
            if (!vecLevels.empty() && vecLevels.back().blObject && vecLevels.back().blExpectKey) {
                vecLevels.back().blExpectKey = false;
                const QByteArray qbaKey = KeyText(_qbaJson.mid(iStart, i - iStart + 1));
                if (vecLevels.back().setKeys.contains(qbaKey)) {
                    return true;
                }
                vecLevels.back().setKeys.insert(qbaKey);
            }
        } else if (cChar == '{' || cChar == '[') {
            if (static_cast<int>(vecLevels.size()) >= g_iMaxJsonDepth) {
                return false;
            }
            vecLevels.push_back({cChar == '{', cChar == '{', {}});
        } else if ((cChar == '}' || cChar == ']') && !vecLevels.empty()) {
            vecLevels.pop_back();
        } else if (cChar == ',' && !vecLevels.empty() && vecLevels.back().blObject) {
            vecLevels.back().blExpectKey = true;
        }
    }
    return false;
}

} // namespace

CLS_WebSocketWidget::CLS_WebSocketWidget(QWidget* _pParent)
    : QWidget(_pParent), m_pClient(std::make_unique<CLS_WebSocketClient>(nullptr)),
      m_pTimerReopen(new QTimer(this)), m_iReopenDelayMs(g_iFirstReopenMs)
{
    m_pTimerReopen->setSingleShot(true);
    connect(m_pTimerReopen, &QTimer::timeout, this, &CLS_WebSocketWidget::SlotReopen);
    connect(m_pClient.get(), &CLS_WebSocketClient::SignConnected, this,
            &CLS_WebSocketWidget::SlotOnconnected);
    connect(m_pClient.get(), &CLS_WebSocketClient::SignDisconnected, this,
            &CLS_WebSocketWidget::SlotDisConnection);
    connect(m_pClient.get(), &CLS_WebSocketClient::SignReceived, this, &CLS_WebSocketWidget::SlotReceived);
}

// Deleting the transport closes the connection with the normal close code.
CLS_WebSocketWidget::~CLS_WebSocketWidget() = default;

bool CLS_WebSocketWidget::ConnectServer(QString _qstrHost, int _iPort)
{
    if (_qstrHost.isEmpty() || _iPort == 0) {
        _qstrHost = QLatin1String(g_pcDefaultHost);
        _iPort = g_iDefaultPort;
    }
    m_qstrHost = _qstrHost;
    m_iPort = _iPort;
    m_pTimerReopen->stop();
    return m_pClient->OpenUrl(m_qstrHost, m_iPort);
}

void CLS_WebSocketWidget::SlotReopen()
{
    m_pClient->OpenUrl(m_qstrHost, m_iPort);
}

STRUCT_MsgHead CLS_WebSocketWidget::MakeHead() const
{
    STRUCT_MsgHead structHead;
    structHead.qstrAgentId = AgentId();
    structHead.qstrPlatform = m_qstrPlatform;
    if (const OrbApplication* pApp = OrbApplication::Instance()) {
        structHead.qstrToken = pApp->GetToken();
        structHead.qstrSender = pApp->GetAppBaseName();
    }
    return structHead;
}

QString CLS_WebSocketWidget::PackMsg(const QString& _qstrParam, const STRUCT_MsgHead& _structHead) const
{
    QJsonArray qjsonArrClients;
    for (const QString& qstrClient : _structHead.qstrlstClientList) {
        qjsonArrClients.append(qstrClient);
    }
    const QJsonDocument qjsonDocParam = QJsonDocument::fromJson(_qstrParam.toUtf8());
    if (qjsonDocParam.isNull()) {
        qDebug().nospace().noquote() << "===> please check the string " << _qstrParam;
    }
    QJsonObject qjsonMsg;
    qjsonMsg.insert(QStringLiteral("communicationId"), _structHead.qstrCommunicationId);
    qjsonMsg.insert(QStringLiteral("agentId"), _structHead.qstrAgentId);
    qjsonMsg.insert(QStringLiteral("platform"), _structHead.qstrPlatform);
    qjsonMsg.insert(QStringLiteral("token"), _structHead.qstrToken);
    qjsonMsg.insert(QStringLiteral("cmd"), _structHead.iCmd);
    qjsonMsg.insert(QStringLiteral("sender"), _structHead.qstrSender);
    qjsonMsg.insert(QStringLiteral("recvSocketID"), _structHead.qstrRecvSocketID);
    qjsonMsg.insert(QStringLiteral("clientlist"), qjsonArrClients);
    qjsonMsg.insert(QStringLiteral("param"), qjsonDocParam.object());
    const QString qstrMsg = QString::fromUtf8(QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact));
    qDebug().noquote() << "CLS_WebSocketWidget::PackMsg" << qstrMsg;
    return qstrMsg;
}

void CLS_WebSocketWidget::SendMsg(const QString& _qstrParam, const STRUCT_MsgHead& _structHead)
{
    m_pClient->SendText(PackMsg(_qstrParam, _structHead));
}

QJsonObject CLS_WebSocketWidget::ParseMsg(const QString& _qstrText, STRUCT_MsgHead& _structHead) const
{
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrText.toUtf8());
    if (!qjsonDoc.isObject()) {
        return QJsonObject();
    }
    const QJsonObject qjsonMsg = qjsonDoc.object();
    _structHead.qstrCommunicationId = qjsonMsg.value(QStringLiteral("communicationId")).toString();
    _structHead.qstrAgentId = qjsonMsg.value(QStringLiteral("agentId")).toString();
    _structHead.qstrPlatform = qjsonMsg.value(QStringLiteral("platform")).toString();
    _structHead.qstrToken = qjsonMsg.value(QStringLiteral("token")).toString();
    _structHead.qstrSender = qjsonMsg.value(QStringLiteral("sender")).toString();
    _structHead.iCmd = qjsonMsg.value(QStringLiteral("cmd")).toInt(0);
    const QJsonArray qjsonArrClients = qjsonMsg.value(QStringLiteral("clientlist")).toArray();
    for (const QJsonValue& qjsonClient : qjsonArrClients) {
        if (!qjsonClient.isString()) {
            break;
        }
        _structHead.qstrlstClientList.append(qjsonClient.toString());
    }
    return qjsonMsg.value(QStringLiteral("param")).toObject();
}

void CLS_WebSocketWidget::SlotOnconnected()
{
    m_blConnected = true;
    if (m_eLinkState != LINK_UP) {
        LOG_EX(LOG_TRACE, "platform link up: %s:%d", qUtf8Printable(m_qstrHost), m_iPort);
        m_eLinkState = LINK_UP;
    }
    m_iReopenDelayMs = g_iFirstReopenMs;
    Login();
    emit SignConnected();
}

void CLS_WebSocketWidget::SlotReceived(QString _qstrMessage)
{
    const QByteArray qbaMessage = _qstrMessage.toUtf8();
    const QByteArray qbaLogged = LoggableFrame(qbaMessage);
    qDebug("websocketclient recive msg:%s.\n", qbaLogged.constData());
    LOG_EX(LOG_TRACE, "websocketclient recive msg=[%s]", qbaLogged.constData());
    if (HasRepeatedKey(qbaMessage)) {
        LOG_EX(LOG_TRACE, "message with a repeated key refused");
        return;
    }

    STRUCT_MsgHead structHead = MakeHead();
    const QJsonObject qjsonParam = ParseMsg(_qstrMessage, structHead);
    switch (structHead.iCmd) {
    case PLATFORM_CMD_START:
        HandleStartRequest(structHead, _qstrMessage);
        break;
    case PLATFORM_CMD_SET_USER:
        HandleSetUserRequest(_qstrMessage);
        break;
    case PLATFORM_CMD_LOGIN_ANSWER:
        if (qjsonParam.contains(QStringLiteral("ret"))) {
            const int iRet = qjsonParam.value(QStringLiteral("ret")).toInt(0);
            if (iRet == 0) {
                emit SignLoginSuccess(_qstrMessage);
            } else {
                emit SignLoginFail(iRet);
            }
        }
        break;
    default:
        emit SignReceived(_qstrMessage);
        break;
    }
}

void CLS_WebSocketWidget::SlotDisConnection()
{
    const EnumLinkState eLastState = m_eLinkState;
    if (eLastState != LINK_DOWN) {
        LOG_EX(LOG_TRACE, "platform link down: %s:%d, opened again until it is up",
               qUtf8Printable(m_qstrHost), m_iPort);
        m_eLinkState = LINK_DOWN;
    }
    m_pTimerReopen->start(m_iReopenDelayMs);
    m_iReopenDelayMs = qMin(m_iReopenDelayMs * 2, g_iLastReopenMs);
    if (eLastState == LINK_UP) {
        emit SignDisconnected();
    }
}
