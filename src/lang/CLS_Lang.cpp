#include "CLS_Lang.h"

#include "IOrbLangComponent.h"
#include "IOrbParam.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QLibrary>
#include <QMutexLocker>

#include <cstdio>
#include <map>
#include <memory>

namespace {

struct STRUCT_LangRow
{
    const char* pcKey;
    const char* pcText;
};

// Only the rows this program looks up; the component, when present, carries the shared rest.
const STRUCT_LangRow g_aLangRows[] = {
    {"IDS_Quorvane_Minimization", QT_TRANSLATE_NOOP("QCoreApplication", "最小化")},
    {"IDS_Quorvane_Maximization", QT_TRANSLATE_NOOP("QCoreApplication", "最大化")},
    {"IDS_Quorvane_Recover", QT_TRANSLATE_NOOP("QCoreApplication", "还原")},
    {"IDS_Quorvane_Close", QT_TRANSLATE_NOOP("QCoreApplication", "关闭")},
};

const char* const g_pcLangLibrary = "libcommbusi.so";
const char* const g_pcParamLibrary = "libOrbBase.so";
const char* const g_pcFactory = "CreateOrbObject";

// The folder of the executable file, with its trailing separator.
QString ProgramFolder()
{
    const QString qstrExe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return qstrExe.left(qstrExe.lastIndexOf(QLatin1Char('/')) + 1);
}

// The factory of a component library in the program's folder, or null. Each library is loaded
// at most once per process and stays loaded.
PFN_CreateOrbObject ResolveFactory(const char* _pcFile)
{
    static QMutex s_mutexLibs;
    static std::map<QString, std::unique_ptr<QLibrary>> s_mapLibs;

    const QString qstrPath = ProgramFolder() + QLatin1String(_pcFile);
    QMutexLocker locker(&s_mutexLibs);
    std::unique_ptr<QLibrary>& pLib = s_mapLibs[qstrPath];
    if (!pLib) {
        auto pNewLib = std::make_unique<QLibrary>(qstrPath);
        if (!pNewLib->load()) {
            qDebug().noquote() << "LoadLibrary[" + qstrPath + "] " + "fail" +
                                      " err:" + pNewLib->errorString();
            return nullptr;
        }
        pLib = std::move(pNewLib);
    }
    auto pfnCreate = reinterpret_cast<PFN_CreateOrbObject>(pLib->resolve(g_pcFactory));
    if (!pfnCreate) {
        std::fprintf(stdout, "dll_load [%s] [%s] err:%s\n", qUtf8Printable(qstrPath), g_pcFactory,
                     qUtf8Printable(pLib->errorString()));
        std::fflush(stdout);
    }
    return pfnCreate;
}

} // namespace

CLS_Lang& CLS_Lang::Instance()
{
    static CLS_Lang s_lang;
    return s_lang;
}

CLS_Lang::CLS_Lang()
{
    void* pvComponent = nullptr;
    const PFN_CreateOrbObject pfnCreate = ResolveFactory(g_pcLangLibrary);
    if (pfnCreate && pfnCreate(&ORB_IID_LANG_COMPONENT, &pvComponent) == 0 && pvComponent) {
        m_pLangComponent = static_cast<IOrbLangComponent*>(pvComponent);
        m_pLangComponent->Init(this, 0);
        return;
    }
    Fill(nullptr);
}

CLS_Lang::~CLS_Lang()
{
    if (m_pLangComponent) {
        m_pLangComponent->Release();
    }
}

QString CLS_Lang::GetText(const QString& _qstrKey) const
{
    if (m_pLangComponent) {
        return GetComponentText(_qstrKey);
    }
    QMutexLocker locker(&m_mutexTable);
    const QJsonValue qjsonText = m_qjsonTable.value(_qstrKey);
    return qjsonText.isString() ? qjsonText.toString() : QString();
}

QString CLS_Lang::GetComponentText(const QString& _qstrKey) const
{
    const PFN_CreateOrbObject pfnCreate = ResolveFactory(g_pcParamLibrary);
    void* pvParam = nullptr;
    if (!pfnCreate || pfnCreate(&ORB_IID_PARAM, &pvParam) != 0 || !pvParam) {
        return QString();
    }
    IOrbParam* pParam = static_cast<IOrbParam*>(pvParam);
    pParam->SetValue("luk", _qstrKey.toUtf8().constData());
    m_pLangComponent->Translate(pParam);

    QString qstrText;
    int iLength = 0;
    if (pParam->GetValue("lut", nullptr, &iLength) == ORB_NEED_BUFFER && iLength > 0) {
        QByteArray qbaBuffer(iLength, '\0');
        if (pParam->GetValue("lut", qbaBuffer.data(), &iLength) == 0) {
            // The component's text need not be terminated within the length it gave.
            qstrText = QString::fromUtf8(qbaBuffer.constData(),
                                         static_cast<int>(qstrnlen(qbaBuffer.constData(), qbaBuffer.size())));
        }
    }
    pParam->Release();
    return qstrText;
}

int CLS_Lang::Fill(IOrbParam* _pWriter)
{
    if (_pWriter) {
        _pWriter->AddRef();
    }
    for (const STRUCT_LangRow& structRow : g_aLangRows) {
        const QString qstrText = QCoreApplication::tr(structRow.pcText);
        if (_pWriter) {
            _pWriter->SetValue(structRow.pcKey, qstrText.toUtf8().constData());
        } else {
            QMutexLocker locker(&m_mutexTable);
            m_qjsonTable.insert(QLatin1String(structRow.pcKey), qstrText);
        }
    }
    if (_pWriter) {
        _pWriter->Release();
    }
    return 0;
}

QString GetLangText(const QString& _qstrKey)
{
    return CLS_Lang::Instance().GetText(_qstrKey);
}
