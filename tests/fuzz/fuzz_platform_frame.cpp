// One frame from the platform service, as untrusted as input gets: parsed and dispatched by the
// real platform link inside a real application object, in the application folder the fuzzer was
// started from. Its transport is not connected, so answers are logged and dropped.
#include "CLS_WebSocketWidget.h"
#include "OrbApplication.h"

#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

OrbApplication* g_pApp = nullptr;

void DropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

// The stored start request that inputs are compared with, so that both of its paths are reached.
STRUCT_StartRequest StoredRequest()
{
    STRUCT_StartRequest structRequest;
    std::strcpy(structRequest.aszField[1], "skinOne");
    std::strcpy(structRequest.aszField[2], "zh_CN");
    std::strcpy(structRequest.aszField[3], "1");
    std::strcpy(structRequest.aszField[4], "token");
    return structRequest;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*_piArgc*/, char*** _pppcArgv)
{
    // Qt keeps argc and argv for the life of the application; libFuzzer's own options stay its own.
    static int s_iArgc = 1;
    static char* s_apcArgv[] = {(*_pppcArgv)[0], nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(DropMessage);
    // Lives until libFuzzer ends the process.
    g_pApp = new OrbApplication(s_iArgc, s_apcArgv);
    // A start request that differs from the stored one starts the program of the application folder
    // named by the base name; that must never be this fuzzer.
    if (QFile::exists(g_pApp->GetAppDir() + g_pApp->GetAppBaseName())) {
        std::fprintf(stderr,
                     "the application folder holds a program named %s: run the fuzzer under another name\n",
                     qUtf8Printable(g_pApp->GetAppBaseName()));
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* _pucData, std::size_t _uiSize)
{
    // Every input meets the same application state.
    g_pApp->SetToken(QStringLiteral("token"));
    g_pApp->SetSkin(QStringLiteral("skinOne"));
    g_pApp->SetLanguage(QString());
    g_pApp->SetSendSocketID(QString());
    g_pApp->SetStartRequest(StoredRequest());

    const QString qstrFrame =
        QString::fromUtf8(reinterpret_cast<const char*>(_pucData), static_cast<int>(_uiSize));
    g_pApp->GetPlatformLink()->SlotReceived(qstrFrame);
    QCoreApplication::sendPostedEvents();
    return 0;
}
