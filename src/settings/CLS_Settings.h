// The settings file: every key name and default, typed reads, and the one read-change-write that
// every writer goes through. Nothing is cached: each read takes the file afresh.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <functional>

// "hostInfo" as the program uses it; user and password stay base64 as stored.
struct STRUCT_HostInfo
{
    int iPort = 0;
    QString qstrUser;
    QString qstrPassword;
    bool blSupportModify = true;
};

// The keys start-up copies into the application object.
struct STRUCT_StartupSettings
{
    QString qstrSkin;
    bool blShowTray = true;
    bool blHideTasker = false;
    bool blMiniSize = false;
    int iDesktopNeedChNo = 4;
};

// An integer key of a channel record with the values the pages offer and the library takes.
struct STRUCT_ChannelField
{
    const char* pcKey;
    int iDefault;
    int iMin;
    int iMax;
};

class CLS_Settings
{
public:
    static constexpr const char* KEY_HOST_INFO = "hostInfo";
    static constexpr const char* KEY_PORT = "port";
    static constexpr const char* KEY_USER = "user";
    static constexpr const char* KEY_PASSWORD = "password";
    static constexpr const char* KEY_SUPPORT_MODIFY = "supportModify";
    static constexpr const char* KEY_DEFAULT_LOGIN = "defaultLogin";
    static constexpr const char* KEY_SKIN = "skin";
    static constexpr const char* KEY_AUTO_RUN = "autoRun";
    static constexpr const char* KEY_SHOW_TRAY = "show_tray";
    static constexpr const char* KEY_HIDE_TASKER = "hidetasker";
    static constexpr const char* KEY_MINI_SIZE = "minisize";
    static constexpr const char* KEY_DESKTOP_NEED_CH_NO = "desktopNeedChNo";
    static constexpr const char* KEY_CH_INFO = "chInfo";
    static constexpr const char* SKIN_ONE = "skinOne";
    static constexpr const char* SKIN_TWO = "skinTwo";
    static constexpr int MAX_PORT = 65535;

    static const STRUCT_ChannelField FIELD_VIDEO_QUALITY;
    static const STRUCT_ChannelField FIELD_FRAME_RATE;
    static const STRUCT_ChannelField FIELD_BIT_RATE;

    // The settings file under the application folder.
    static QString PathIn(const QString& _qstrAppDir);

    explicit CLS_Settings(QString _qstrPath) : m_qstrPath(std::move(_qstrPath)) {}

    QJsonObject Read() const;
    // Reads the file afresh, lets _fnChange change its keys and writes the whole object back
    // atomically. _fnChange returns false to write nothing. False when nothing was written.
    bool Change(const std::function<bool(QJsonObject&)>& _fnChange) const;

    // Stores what the platform hands in: it owns the password from then on. Only its set-user request
    // drops the obsolete "defaultLogin"; the start parameter keeps every other key.
    bool StoreUser(const QString& _qstrUser, const QString& _qstrPassword, bool _blDropDefaultLogin) const;
    bool StoreChannels(const QJsonArray& _qJsonArrChInfo) const;

    static STRUCT_HostInfo HostInfo(const QJsonObject& _qjsonConfig);
    // "skinOne" or "skinTwo"; anything else, an empty text included, reads as "skinOne".
    static QString Skin(const QJsonObject& _qjsonConfig);
    static bool AutoRun(const QJsonObject& _qjsonConfig);
    static STRUCT_StartupSettings Startup(const QJsonObject& _qjsonConfig);
    static QJsonArray Channels(const QJsonObject& _qjsonConfig);
    // A record's value of _structField; a wrong type or a value out of range reads as its default.
    static int ChannelValue(const QJsonObject& _qjsonRecord, const STRUCT_ChannelField& _structField);

private:
    QString m_qstrPath;
};
