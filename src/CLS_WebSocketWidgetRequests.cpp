// What the platform link says and answers: the signed login, the start request and the set-user
// request, and their answers.
#include "CLS_ProcessServer.h"
#include "CLS_WebSocketWidget.h"
#include "OrbApplication.h"
#include "common/Log.h"
#include "common/PublicCommonFun.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QUuid>

#include <algorithm>
#include <cstring>

namespace {

// Shared with the terminal service, which checks the login token with it.
const char* const g_pcSignKey = "e5a0c3917f2b48d6a1c04b9e3d27f860";

const int g_iFieldSkin = 1;
const int g_iFieldLanguage = 2;
const int g_iFieldLayout = 3;
const int g_iFieldToken = 4;

QString Md5Hex(const QByteArray& _qbaData)
{
    return QString::fromLatin1(QCryptographicHash::hash(_qbaData, QCryptographicHash::Md5).toHex());
}

// Copies the text into a NUL-terminated field; a text that does not fit is cut before the
// character that would cross the limit, never inside it.
template <std::size_t N>
void CopyUtf8Field(const QString& _qstrText, char (&_acField)[N])
{
    const QByteArray qbaText = _qstrText.toUtf8();
    std::size_t uiLen = std::min<std::size_t>(static_cast<std::size_t>(qbaText.size()), N - 1);
    if (uiLen < static_cast<std::size_t>(qbaText.size())) {
        while (uiLen > 0 &&
               (static_cast<unsigned char>(qbaText.at(static_cast<int>(uiLen))) & 0xC0) == 0x80) {
            --uiLen;
        }
    }
    std::memcpy(_acField, qbaText.constData(), uiLen);
    _acField[uiLen] = '\0';
}

bool SameField(const STRUCT_StartRequest& _structA, const STRUCT_StartRequest& _structB, int _iField)
{
    return std::strncmp(_structA.aszField[_iField], _structB.aszField[_iField],
                        sizeof(_structA.aszField[_iField])) == 0;
}

QString FieldText(const STRUCT_StartRequest& _structRequest, int _iField)
{
    const char* pcField = _structRequest.aszField[_iField];
    return QString::fromUtf8(pcField, static_cast<int>(strnlen(pcField, sizeof(_structRequest.aszField[0]))));
}

} // namespace

void CLS_WebSocketWidget::Login()
{
    if (!m_blConnected) {
        return;
    }
    const QString qstrNonce = Md5Hex(QUuid::createUuid().toString().toUtf8());
    const QString qstrDigest = Md5Hex((qstrNonce + QLatin1String(g_pcSignKey)).toUtf8());
    const QJsonObject qjsonParam{{QStringLiteral("token"), QString(qstrNonce + qstrDigest)}};

    STRUCT_MsgHead structHead = MakeHead();
    structHead.qstrlstClientList.append(QStringLiteral("TerminalServer"));
    structHead.iCmd = PLATFORM_CMD_LOGIN;
    if (const OrbApplication* pApp = OrbApplication::Instance()) {
        structHead.qstrRecvSocketID = pApp->GetSendSocketID();
    }
    SendMsg(JsonToString(qjsonParam), structHead);
}

// The head is not used beyond dispatch: the request is read again from its text.
void CLS_WebSocketWidget::HandleStartRequest(const STRUCT_MsgHead& /*_structHead*/, const QString& _qstrText)
{
    OrbApplication* pApp = OrbApplication::Instance();
    QJsonParseError qjsonError;
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrText.toUtf8(), &qjsonError);
    if (pApp == nullptr || qjsonError.error != QJsonParseError::NoError || qjsonDoc.isNull()) {
        return;
    }
    if (!qjsonDoc.isObject()) {
        LOG_EX(LOG_TRACE, "!qjsonDoc.isObject()");
        return;
    }
    const QJsonObject qjsonMsg = qjsonDoc.object();
    if (!qjsonMsg.contains(QStringLiteral("param"))) {
        LOG_EX(LOG_TRACE, "!_qjsonMsg.contains(param)");
        return;
    }
    if (!qjsonMsg.contains(QStringLiteral("token"))) {
        LOG_EX(LOG_TRACE, "!_qjsonMsg.contains(token)");
        return;
    }
    const QJsonValue qjsonValToken = qjsonMsg.value(QStringLiteral("token"));
    if (!qjsonValToken.isString()) {
        LOG_EX(LOG_TRACE, "!qjsonValToken.isString()");
        return;
    }
    if (!qjsonMsg.value(QStringLiteral("platform")).isString()) {
        LOG_EX(LOG_TRACE, "!qjsonValPlatform.isString()");
        return;
    }
    const QJsonValue qjsonValueParam = qjsonMsg.value(QStringLiteral("param"));
    if (!qjsonValueParam.isObject()) {
        LOG_EX(LOG_TRACE, "!qjsonValueParam.isObject()");
        return;
    }
    const QJsonObject qjsonObj = qjsonValueParam.toObject();
    if (!qjsonObj.contains(QStringLiteral("lang"))) {
        LOG_EX(LOG_TRACE, "!qjsonObj.contains(lang)");
        return;
    }
    if (!qjsonObj.contains(QStringLiteral("skin"))) {
        LOG_EX(LOG_TRACE, "!qjsonObj.contains(skin)");
        return;
    }
    if (!qjsonObj.contains(QStringLiteral("layout"))) {
        LOG_EX(LOG_TRACE, "!qjsonObj.contains(layout)");
        return;
    }

    const QJsonValue qjsonValSocketId = qjsonMsg.value(QStringLiteral("sendSocketID"));
    if (qjsonValSocketId.isString()) {
        pApp->SetSendSocketID(qjsonValSocketId.toString());
    }

    STRUCT_StartRequest structCandidate;
    CopyUtf8Field(qjsonObj.value(QStringLiteral("skin")).toString(), structCandidate.aszField[g_iFieldSkin]);
    CopyUtf8Field(qjsonObj.value(QStringLiteral("lang")).toString(),
                  structCandidate.aszField[g_iFieldLanguage]);
    CopyUtf8Field(qjsonObj.value(QStringLiteral("layout")).toString(),
                  structCandidate.aszField[g_iFieldLayout]);
    CopyUtf8Field(qjsonValToken.toString(), structCandidate.aszField[g_iFieldToken]);

    const STRUCT_StartRequest& structStored = pApp->GetStartRequest();
    const bool blSame = SameField(structCandidate, structStored, g_iFieldSkin) &&
                        SameField(structCandidate, structStored, g_iFieldLanguage) &&
                        SameField(structCandidate, structStored, g_iFieldLayout) &&
                        SameField(structCandidate, structStored, g_iFieldToken);
    if (blSame) {
        RespondStartRequest(0, _qstrText);
        pApp->SetStartRequest(structCandidate);
        pApp->SetToken(FieldText(structCandidate, g_iFieldToken));
        pApp->SetLanguage(FieldText(structCandidate, g_iFieldLanguage));
        pApp->SetSkin(FieldText(structCandidate, g_iFieldSkin));
        return;
    }
    // Other settings: a fresh copy of the program takes the request as its start parameter. It is
    // told to take over as a restart does; otherwise it would find this copy running and refuse.
    QJsonObject qjsonRelaunchParam = qjsonObj;
    qjsonRelaunchParam.insert(QStringLiteral("restart"), true);
    qjsonRelaunchParam.insert(QStringLiteral("tip"), false);
    QJsonObject qjsonRelaunch = qjsonMsg;
    qjsonRelaunch.insert(QStringLiteral("param"), qjsonRelaunchParam);
    if (CLS_ProcessServer::WinStartUp(pApp->GetAppBaseName().toUtf8().constData(),
                                      JsonToString(qjsonRelaunch).toUtf8().constData())) {
        RespondStartRequest(0, _qstrText);
    }
}

void CLS_WebSocketWidget::HandleSetUserRequest(const QString& _qstrText)
{
    // The platform must not take an unsaved user for a saved one.
    int iRet = 1;
    if (const OrbApplication* pApp = OrbApplication::Instance()) {
        const QJsonObject qjsonParam = ParseJson(_qstrText).value(QStringLiteral("param")).toObject();
        if (pApp->Settings().StoreUser(qjsonParam.value(QStringLiteral("user")).toString(),
                                       qjsonParam.value(QStringLiteral("password")).toString(), true)) {
            iRet = 0;
            emit SignUserChanged();
        }
    }
    RespondSetUserRequest(iRet, _qstrText);
}

void CLS_WebSocketWidget::RespondStartRequest(int _iRet, const QString& _qstrRequest)
{
    const QJsonObject qjsonParam{{QStringLiteral("ret"), _iRet},
                                 {QStringLiteral("message"), QString()},
                                 {QStringLiteral("content"), QJsonObject()}};
    const OrbApplication* pApp = OrbApplication::Instance();
    STRUCT_MsgHead structHead = MakeHead();
    structHead.iCmd = PLATFORM_CMD_START_ANSWER;
    if (pApp != nullptr) {
        structHead.qstrRecvSocketID = pApp->GetSendSocketID();
    }
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrRequest.toUtf8());
    if (qjsonDoc.isObject()) {
        const QJsonObject qjsonRequest = qjsonDoc.object();
        structHead.qstrCommunicationId = qjsonRequest.value(QStringLiteral("communicationId")).toString();
        structHead.qstrPlatform = qjsonRequest.value(QStringLiteral("platform")).toString();
        structHead.qstrToken = qjsonRequest.value(QStringLiteral("token")).toString();
        structHead.qstrlstClientList.append(QStringLiteral("platformClient"));
        // The answer to a login tells the client that launched this program, by its own ID.
        if (qjsonRequest.value(QStringLiteral("cmd")).toInt(0) == PLATFORM_CMD_LOGIN_ANSWER &&
            pApp != nullptr) {
            structHead.qstrCommunicationId = pApp->GetCommunicationId();
        }
    }
    SendMsg(JsonToString(qjsonParam), structHead);
}

void CLS_WebSocketWidget::RespondSetUserRequest(int _iRet, const QString& _qstrRequest)
{
    const QJsonObject qjsonParam{{QStringLiteral("ret"), _iRet}};
    STRUCT_MsgHead structHead = MakeHead();
    structHead.iCmd = PLATFORM_CMD_SET_USER_ANSWER;
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrRequest.toUtf8());
    if (qjsonDoc.isObject()) {
        const QJsonObject qjsonRequest = qjsonDoc.object();
        structHead.qstrPlatform = qjsonRequest.value(QStringLiteral("platform")).toString();
        structHead.qstrToken = qjsonRequest.value(QStringLiteral("token")).toString();
        structHead.qstrlstClientList.append(QStringLiteral("platformClient"));
    }
    SendMsg(JsonToString(qjsonParam), structHead);
}
