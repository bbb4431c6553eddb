#include "OrbApplication.h"

#include "CLS_WebSocketWidget.h"
#include "common/Log.h"
#include "common/LogManage.h"
#include "common/PublicCommonFun.h"
#include "common/StartupEnv.h"
#include "widgets/CLS_MessageBox.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>

#include <algorithm>
#include <iterator>

namespace {

// The X screen DISPLAY names (":0.1" names screen 1).
int DefaultXScreen()
{
    const QString qstrDisplay = qEnvironmentVariable("DISPLAY");
    const int iDot = qstrDisplay.indexOf(QLatin1Char('.'), qstrDisplay.lastIndexOf(QLatin1Char(':')));
    return iDot < 0 ? 0 : qstrDisplay.mid(iDot + 1).toInt();
}

QVector<STRUCT_ScreenFacts> ReadQtScreens()
{
    QVector<STRUCT_ScreenFacts> vecFacts;
    const QScreen* pPrimary = QGuiApplication::primaryScreen();
    const QList<QScreen*> lstScreens = QGuiApplication::screens();
    // Separate X screens are separate virtual desktops to Qt, listed in X screen order after the
    // one DISPLAY names, which holds the primary screen.
    QList<QList<QScreen*>> lstDesktops;
    const int iDefault = DefaultXScreen();
    for (QScreen* pScreen : lstScreens) {
        auto itDesktop =
            std::find_if(lstDesktops.cbegin(), lstDesktops.cend(),
                         [pScreen](const QList<QScreen*>& _lst) { return _lst.contains(pScreen); });
        if (itDesktop == lstDesktops.cend()) {
            lstDesktops.append(pScreen->virtualSiblings());
            itDesktop = std::prev(lstDesktops.cend());
        }
        const int iDesktop = static_cast<int>(itDesktop - lstDesktops.cbegin());
        const int iXScreen = iDesktop == 0 ? iDefault : (iDesktop - 1 < iDefault ? iDesktop - 1 : iDesktop);
        vecFacts.append({pScreen->geometry(), pScreen->devicePixelRatio(), pScreen->name(),
                         pScreen == pPrimary, iXScreen});
    }
    return vecFacts;
}

} // namespace

OrbApplication::OrbApplication(int& argc, char** argv)
    : QSingleApplication(argc, argv),
      m_qstrAppBaseName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName()),
      m_qstrAppDir(applicationDirPath() + QStringLiteral("/")), m_screenSource(ReadQtScreens)
{
    m_pPlatformLink = std::make_unique<CLS_WebSocketWidget>(nullptr);

    QByteArray qbaLogDir;
    if (!CreateLogDir(qbaLogDir)) {
        qbaLogDir = m_qstrAppDir.toUtf8();
    }
    log_set_path(qbaLogDir.constData());
    log_manage_startup();
    SetCrashLogFolder(qbaLogDir);

    setQuitOnLastWindowClosed(false);
    QDir::setCurrent(applicationDirPath());

    connect(this, &QSingleApplication::SigMessageReceived, this, [](const QString& _qstrMessage) {
        LOG_EX(LOG_TRACE, "message from another copy=[%s]", qUtf8Printable(_qstrMessage));
    });
    connect(this, &QGuiApplication::screenAdded, this, &OrbApplication::RefreshScreens);
    connect(this, &QGuiApplication::screenRemoved, this, &OrbApplication::RefreshScreens);
    connect(this, &QGuiApplication::primaryScreenChanged, this, &OrbApplication::RefreshScreens);
    RefreshScreens();
}

OrbApplication::~OrbApplication()
{
    // Deleting the link closes its connection with the normal close code.
    m_pPlatformLink.reset();
}

OrbApplication* OrbApplication::Instance()
{
    return qobject_cast<OrbApplication*>(QCoreApplication::instance());
}

bool OrbApplication::ParseStartParam()
{
    return ParseStartParam(arguments());
}

bool OrbApplication::ParseStartParam(const QStringList& _qstrlstArgs)
{
    qDebug() << "iCmdNum=" << _qstrlstArgs.size() << "  start param =" << _qstrlstArgs;
    LOG_EX(LOG_TRACE, "start: pid=%lld arguments=%d", applicationPid(),
           static_cast<int>(_qstrlstArgs.size()));
    m_qstrPlatform = QStringLiteral("platform");

    bool blRestart = false;
    bool blTip = true;
    if (_qstrlstArgs.size() >= 3) {
        m_qstrStartParam = _qstrlstArgs.at(2);
        qDebug() << "start param =" << m_qstrStartParam;
        ReadStartParamJson(blRestart, blTip);
    }

    const bool blOtherCopy = EndOlderCopy(blRestart);
    ApplyConfig();
    ApplyStyleSheet();
    CLS_MessageBox::SetSkin(m_qstrSkin);

    if (blOtherCopy && _qstrlstArgs.size() != 1) {
        if (blTip) {
            CLS_MessageBox::Notice(tr("当前程序已运行！"));
        }
        if (!blRestart) {
            return false;
        }
    } else if (blOtherCopy) {
        sendMessage(QStringLiteral("showNormal"));
        return false;
    }
    RemoveStaleTemporaries();
    return true;
}

void OrbApplication::ReadStartParamJson(bool& _blRestart, bool& _blTip)
{
    const QJsonObject qjsonStart = ParseJson(m_qstrStartParam);
    const QJsonValue qjsonSocketId = qjsonStart.value(QStringLiteral("sendSocketID"));
    if (qjsonSocketId.isString()) {
        m_qstrSendSocketID = qjsonSocketId.toString();
    }
    const QJsonObject qjsonParam = qjsonStart.value(QStringLiteral("param")).toObject();
    _blRestart = qjsonParam.value(QStringLiteral("restart")).toBool(false);
    // Values that are not text would wipe the stored ones.
    if (qjsonParam.value(QStringLiteral("user")).isString() &&
        qjsonParam.value(QStringLiteral("password")).isString()) {
        SaveLoginInfo(qjsonParam);
    } else {
        LOG_EX(LOG_TRACE, "user || password == NULL");
    }
    _blTip = qjsonParam.value(QStringLiteral("tip")).toBool(true);
    m_qstrToken = qjsonStart.value(QStringLiteral("token")).toString();
    m_qstrPlatform = qjsonStart.value(QStringLiteral("platform")).toString();
    m_qstrCommunicationId = qjsonStart.value(QStringLiteral("communicationId")).toString();
}

bool OrbApplication::EndOlderCopy(bool _blRestart)
{
    bool blEnded = false;
    std::function<void()> fnEndRunning;
    if (_blRestart) {
        fnEndRunning = [this, &blEnded] { blEnded = EndOtherCopies(); };
    }
    if (CheckRunning(fnEndRunning) || blEnded) {
        return true;
    }
    if (isListening()) {
        return false;
    }
    // Without the local server only the process list can tell.
    if (_blRestart) {
        return EndOtherCopies();
    }
    QList<quint32> lstPid;
    return GetProcessIdsByName(applicationName(), lstPid) == 0 && lstPid.size() >= 2;
}

bool OrbApplication::EndOtherCopies()
{
    QList<quint32> lstPid;
    if (GetProcessIdsByName(applicationName(), lstPid) != 0) {
        return false;
    }
    lstPid.removeAll(static_cast<quint32>(applicationPid()));
    if (!lstPid.isEmpty()) {
        qDebug() << "already run , over";
    }
    for (quint32 uiPid : qAsConst(lstPid)) {
        KillProcess(uiPid);
    }
    return !lstPid.isEmpty();
}

void OrbApplication::RemoveStaleTemporaries()
{
    // Left by writes of earlier runs that were cut off before their rename. A whole object under
    // a plain word ("lumacast.json.backup") may be somebody's copy and stays.
    const QFileInfo qfileinfoConfig(GetConfigPath());
    const QRegularExpression qregexTemporary(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(qfileinfoConfig.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
    const QFileInfoList lstEntries = qfileinfoConfig.dir().entryInfoList(QDir::Files);
    for (const QFileInfo& qfileinfo : lstEntries) {
        if (!qregexTemporary.match(qfileinfo.fileName()).hasMatch() ||
            qfileinfo.lastModified() >= m_qdtStarted) {
            continue;
        }
        const QString qstrSuffix = qfileinfo.suffix();
        QFile qfile(qfileinfo.filePath());
        if (qstrSuffix == qstrSuffix.toLower() &&
            !qstrSuffix.contains(QRegularExpression(QStringLiteral("\\d"))) &&
            qfile.open(QIODevice::ReadOnly) && QJsonDocument::fromJson(qfile.readAll()).isObject()) {
            continue;
        }
        qfile.close();
        LOG_EX(LOG_TRACE, "stale settings temporary %s removed: %d", qUtf8Printable(qfileinfo.filePath()),
               qfile.remove());
    }
}

void OrbApplication::ApplyConfig()
{
    const STRUCT_StartupSettings structStartup = CLS_Settings::Startup(ReadConfig());
    m_qstrSkin = structStartup.qstrSkin;
    m_blShowTray = structStartup.blShowTray;
    m_blHideTasker = structStartup.blHideTasker;
    m_blMiniSize = structStartup.blMiniSize;
    m_iDesktopNeedChNo = structStartup.iDesktopNeedChNo;
}

void OrbApplication::ApplyStyleSheet()
{
    QFile qfileStyle(ResourcePath(m_qstrSkin + QStringLiteral("/qss/lumacast_style.qss")));
    if (qfileStyle.open(QIODevice::ReadOnly)) {
        setStyleSheet(QString::fromUtf8(qfileStyle.readAll()));
    }
}

bool OrbApplication::IsShowMainWindow() const
{
    if (m_qstrStartParam.isEmpty()) {
        return false;
    }
    const QJsonObject qjsonParam = ParseJson(m_qstrStartParam).value(QStringLiteral("param")).toObject();
    return qjsonParam.value(QStringLiteral("showMainWindow")).toBool(true);
}

void OrbApplication::SaveLoginInfo(const QJsonObject& _qjsonParam)
{
    Settings().StoreUser(_qjsonParam.value(QStringLiteral("user")).toString(),
                         _qjsonParam.value(QStringLiteral("password")).toString(), false);
}

bool OrbApplication::Restart()
{
    const QString qstrPath = m_qstrAppDir + applicationName();
    const QJsonObject qjsonParam{{QStringLiteral("restart"), true}, {QStringLiteral("tip"), false}};
    // The new copy logs in as this one did: without these it would send an empty token.
    const QJsonObject qjsonStart{{QStringLiteral("param"), qjsonParam},
                                 {QStringLiteral("token"), m_qstrToken},
                                 {QStringLiteral("platform"), m_qstrPlatform},
                                 {QStringLiteral("communicationId"), m_qstrCommunicationId},
                                 {QStringLiteral("sendSocketID"), m_qstrSendSocketID}};
    const QStringList qstrlstArgs{QStringLiteral("Lumacast"), JsonToString(qjsonStart)};
    if (!QProcess::startDetached(qstrPath, qstrlstArgs)) {
        LOG_EX(LOG_FAIL, "!qProcess.startDetached(strPath, arguments) strPath = %s",
               qUtf8Printable(qstrPath));
        return false;
    }
    return true;
}

void OrbApplication::StartPlatformLink()
{
    if (!m_pPlatformLink) {
        return;
    }
    m_pPlatformLink->SetPlatform(m_qstrPlatform);
    m_pPlatformLink->SetToken(m_qstrToken);
    m_pPlatformLink->ConnectServer(QStringLiteral("127.0.0.1"), 10588);
}

QString OrbApplication::GetConfigPath() const
{
    return CLS_Settings::PathIn(m_qstrAppDir);
}

CLS_Settings OrbApplication::Settings() const
{
    return CLS_Settings(GetConfigPath());
}

QJsonObject OrbApplication::ReadConfig() const
{
    return Settings().Read();
}

void OrbApplication::GetScreenList(QVector<STRUCT_Screen>& _vecScreen) const
{
    QVector<STRUCT_ScreenFacts> vecFacts;
    {
        QMutexLocker locker(&m_mutexScreens);
        vecFacts = m_vecScreenFacts;
    }
    _vecScreen += MakeScreenRecords(vecFacts);
}

QVector<STRUCT_Screen> OrbApplication::MakeScreenRecords(const QVector<STRUCT_ScreenFacts>& _vecFacts)
{
    QVector<STRUCT_Screen> vecScreen;
    int iNextIndex = 1;
    for (const STRUCT_ScreenFacts& structFacts : _vecFacts) {
        STRUCT_Screen structScreen;
        structScreen.iIndex = structFacts.blPrimary ? 0 : iNextIndex++;
        structScreen.rect =
            QRect(structFacts.geometry.topLeft(),
                  QSize(static_cast<int>(structFacts.geometry.width() * structFacts.dRatio),
                        static_cast<int>(structFacts.geometry.height() * structFacts.dRatio)));
        // Separate X screens report the same output names: the screen number tells them apart, and
        // tells the streaming library which one to capture.
        structScreen.qstrName = structFacts.iXScreen > 0 ? structFacts.qstrName + QLatin1Char('@') +
                                                               QString::number(structFacts.iXScreen)
                                                         : structFacts.qstrName;
        vecScreen.append(structScreen);
    }
    return vecScreen;
}

void OrbApplication::SetScreenSource(ScreenSource _screenSource)
{
    m_screenSource = std::move(_screenSource);
    RefreshScreens();
}

void OrbApplication::RefreshScreens()
{
    // The watcher thread reads screens too, but Qt's screen objects belong to this thread:
    // it gets a copy of the facts taken here, never a call into this thread.
    const QList<QScreen*> lstScreens = screens();
    for (QScreen* pScreen : lstScreens) {
        connect(pScreen, &QScreen::geometryChanged, this, &OrbApplication::RefreshScreens,
                Qt::UniqueConnection);
    }
    const QVector<STRUCT_ScreenFacts> vecFacts = m_screenSource();
    // Written here, where screens change, not on every read of the list by the watcher.
    const QVector<STRUCT_Screen> vecScreen = MakeScreenRecords(vecFacts);
    for (int i = 0; i < vecScreen.size(); ++i) {
        qDebug() << "LLLLLLLLLLLLL ratio =" << vecFacts[i].dRatio;
        qDebug() << "LLLLLLLLLLLLL w=" << vecScreen[i].rect.width();
        qDebug() << "LLLLLLLLLLLLL h=" << vecScreen[i].rect.height();
        qDebug() << "LLLLLLLLLLLLL" << vecScreen[i].rect;
    }
    QMutexLocker locker(&m_mutexScreens);
    m_vecScreenFacts = vecFacts;
}
