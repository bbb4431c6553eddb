#include "CLS_Settings.h"

#include "common/Log.h"
#include "common/PublicCommonFun.h"

#include <climits>
#include <cmath>

namespace {

const char* const g_pcConfigFile = "config/lumacast.json";

QString Key(const char* _pcKey)
{
    return QString::fromLatin1(_pcKey);
}

// A missing key is the ordinary case and says nothing; a present one that cannot be used logs.
int ReadInt(const QJsonObject& _qjsonObj, const char* _pcKey, int _iDefault, int _iMin, int _iMax)
{
    const QJsonValue qjsonValue = _qjsonObj.value(Key(_pcKey));
    if (qjsonValue.isUndefined()) {
        return _iDefault;
    }
    const double dValue = qjsonValue.toDouble(std::nan(""));
    if (!qjsonValue.isDouble() || dValue != std::floor(dValue) || dValue < _iMin || dValue > _iMax) {
        LOG_EX(LOG_TRACE, "setting %s is not an integer from %d to %d: read as %d", _pcKey, _iMin, _iMax,
               _iDefault);
        return _iDefault;
    }
    return static_cast<int>(dValue);
}

bool ReadBool(const QJsonObject& _qjsonObj, const char* _pcKey, bool _blDefault)
{
    const QJsonValue qjsonValue = _qjsonObj.value(Key(_pcKey));
    if (qjsonValue.isUndefined()) {
        return _blDefault;
    }
    if (!qjsonValue.isBool()) {
        LOG_EX(LOG_TRACE, "setting %s is not true or false: read as %d", _pcKey, _blDefault ? 1 : 0);
        return _blDefault;
    }
    return qjsonValue.toBool();
}

QString ReadText(const QJsonObject& _qjsonObj, const char* _pcKey)
{
    const QJsonValue qjsonValue = _qjsonObj.value(Key(_pcKey));
    if (!qjsonValue.isUndefined() && !qjsonValue.isString()) {
        LOG_EX(LOG_TRACE, "setting %s is not a text: read as empty", _pcKey);
    }
    return qjsonValue.toString();
}

QJsonObject ReadObject(const QJsonObject& _qjsonObj, const char* _pcKey)
{
    const QJsonValue qjsonValue = _qjsonObj.value(Key(_pcKey));
    if (!qjsonValue.isUndefined() && !qjsonValue.isObject()) {
        LOG_EX(LOG_TRACE, "setting %s is not an object: read as empty", _pcKey);
    }
    return qjsonValue.toObject();
}

} // namespace

const STRUCT_ChannelField CLS_Settings::FIELD_VIDEO_QUALITY{"videoQuality", 0, 0, 4};
const STRUCT_ChannelField CLS_Settings::FIELD_FRAME_RATE{"videoFrameRate", 10, 1, 30};
const STRUCT_ChannelField CLS_Settings::FIELD_BIT_RATE{"videoBitRate", 2048, 1, 16777215};

QString CLS_Settings::PathIn(const QString& _qstrAppDir)
{
    return _qstrAppDir + ResourceFolder() + QLatin1String(g_pcConfigFile);
}

QJsonObject CLS_Settings::Read() const
{
    return ReadJsonFile(m_qstrPath);
}

bool CLS_Settings::Change(const std::function<bool(QJsonObject&)>& _fnChange) const
{
    QJsonObject qjsonConfig = Read();
    // The file write logs its own failure.
    return _fnChange(qjsonConfig) && WriteJsonFile(qjsonConfig, m_qstrPath);
}

bool CLS_Settings::StoreUser(const QString& _qstrUser, const QString& _qstrPassword,
                             bool _blDropDefaultLogin) const
{
    return Change([&](QJsonObject& _qjsonConfig) {
        QJsonObject qjsonHost = _qjsonConfig.value(Key(KEY_HOST_INFO)).toObject();
        qjsonHost.insert(Key(KEY_USER), _qstrUser);
        qjsonHost.insert(Key(KEY_PASSWORD), _qstrPassword);
        qjsonHost.insert(Key(KEY_SUPPORT_MODIFY), false);
        // Obsolete; only its array form is known to be ours.
        if (_blDropDefaultLogin && qjsonHost.value(Key(KEY_DEFAULT_LOGIN)).isArray()) {
            qjsonHost.remove(Key(KEY_DEFAULT_LOGIN));
        }
        _qjsonConfig.insert(Key(KEY_HOST_INFO), qjsonHost);
        return true;
    });
}

bool CLS_Settings::StoreChannels(const QJsonArray& _qJsonArrChInfo) const
{
    return Change([&](QJsonObject& _qjsonConfig) {
        _qjsonConfig.insert(Key(KEY_CH_INFO), _qJsonArrChInfo);
        return true;
    });
}

STRUCT_HostInfo CLS_Settings::HostInfo(const QJsonObject& _qjsonConfig)
{
    const QJsonObject qjsonHost = ReadObject(_qjsonConfig, KEY_HOST_INFO);
    STRUCT_HostInfo structHost;
    structHost.iPort = ReadInt(qjsonHost, KEY_PORT, 0, 0, MAX_PORT);
    structHost.qstrUser = ReadText(qjsonHost, KEY_USER);
    structHost.qstrPassword = ReadText(qjsonHost, KEY_PASSWORD);
    structHost.blSupportModify = ReadBool(qjsonHost, KEY_SUPPORT_MODIFY, true);
    return structHost;
}

QString CLS_Settings::Skin(const QJsonObject& _qjsonConfig)
{
    const QJsonValue qjsonSkin = _qjsonConfig.value(Key(KEY_SKIN));
    if (qjsonSkin == Key(SKIN_TWO)) {
        return Key(SKIN_TWO);
    }
    if (!qjsonSkin.isUndefined() && qjsonSkin != Key(SKIN_ONE)) {
        LOG_EX(LOG_TRACE, "setting skin is neither %s nor %s: read as %s", SKIN_ONE, SKIN_TWO, SKIN_ONE);
    }
    return Key(SKIN_ONE);
}

bool CLS_Settings::AutoRun(const QJsonObject& _qjsonConfig)
{
    return ReadInt(_qjsonConfig, KEY_AUTO_RUN, 0, INT_MIN, INT_MAX) != 0;
}

STRUCT_StartupSettings CLS_Settings::Startup(const QJsonObject& _qjsonConfig)
{
    STRUCT_StartupSettings structStartup;
    structStartup.qstrSkin = Skin(_qjsonConfig);
    structStartup.blShowTray = ReadBool(_qjsonConfig, KEY_SHOW_TRAY, true);
    structStartup.blHideTasker = ReadBool(_qjsonConfig, KEY_HIDE_TASKER, false);
    structStartup.blMiniSize = ReadBool(_qjsonConfig, KEY_MINI_SIZE, false);
    structStartup.iDesktopNeedChNo = ReadInt(_qjsonConfig, KEY_DESKTOP_NEED_CH_NO, 4, 0, 16);
    return structStartup;
}

QJsonArray CLS_Settings::Channels(const QJsonObject& _qjsonConfig)
{
    const QJsonValue qjsonValue = _qjsonConfig.value(Key(KEY_CH_INFO));
    if (!qjsonValue.isUndefined() && !qjsonValue.isArray()) {
        LOG_EX(LOG_TRACE, "setting %s is not an array: read as empty", KEY_CH_INFO);
    }
    return qjsonValue.toArray();
}

int CLS_Settings::ChannelValue(const QJsonObject& _qjsonRecord, const STRUCT_ChannelField& _structField)
{
    return ReadInt(_qjsonRecord, _structField.pcKey, _structField.iDefault, _structField.iMin,
                   _structField.iMax);
}
