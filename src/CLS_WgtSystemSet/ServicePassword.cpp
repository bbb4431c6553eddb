#include "ServicePassword.h"

#include "common/PublicCommonFun.h"

namespace {
const std::size_t g_uiAreaSize = 64;
} // namespace

bool ReadServicePassword(const QString& _qstrBase64, QString& _qstrPassword)
{
    const QByteArray qbaBase64 = _qstrBase64.toLocal8Bit();
    char acPassword[g_uiAreaSize] = {};
    const bool blFits = Base64Decode(qbaBase64.constData(), acPassword, sizeof(acPassword));
    _qstrPassword = blFits ? QString::fromUtf8(acPassword) : QString();
    return blFits;
}

bool EncodeServicePassword(const QString& _qstrPassword, QString& _qstrBase64)
{
    const QByteArray qbaPassword = _qstrPassword.toUtf8();
    char acBase64[g_uiAreaSize] = {};
    const bool blFits = Base64Encode(qbaPassword.constData(), acBase64, sizeof(acBase64));
    _qstrBase64 = QString::fromLatin1(acBase64);
    return blFits;
}
