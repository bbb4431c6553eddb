// Stand-in for the local platform service, for trying the program and for end-to-end tests.
#include "CLS_PlatformSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Listens on 127.0.0.1 like the local platform service: answers logins (cmd 3) after checking "
        "their signature, prints every frame it receives (<<) and sends (>>), and sends the requests "
        "given below to the first client whose login it accepts."));
    parser.addHelpOption();
    const QCommandLineOption optPort(
        QStringList{QStringLiteral("p"), QStringLiteral("port")},
        QStringLiteral("Port to listen on (default 10588); 0 takes any free port."), QStringLiteral("port"),
        QStringLiteral("10588"));
    const QCommandLineOption optKey(QStringLiteral("key"), QStringLiteral("Signing key of the login tokens."),
                                    QStringLiteral("key"),
                                    QStringLiteral("e5a0c3917f2b48d6a1c04b9e3d27f860"));
    const QCommandLineOption optStart(
        QStringLiteral("start-request"),
        QStringLiteral("Send a start request (cmd 101) with this param object, "
                       "e.g. '{\"skin\":\"skinTwo\",\"lang\":\"en\",\"layout\":\"1\"}'."),
        QStringLiteral("param-json"));
    const QCommandLineOption optToken(QStringLiteral("token"),
                                      QStringLiteral("Platform token of the start requests."),
                                      QStringLiteral("token"), QStringLiteral("token"));
    const QCommandLineOption optPlatform(QStringLiteral("platform"),
                                         QStringLiteral("Platform name of the start requests."),
                                         QStringLiteral("name"), QStringLiteral("platform"));
    const QCommandLineOption optSocket(QStringLiteral("send-socket-id"),
                                       QStringLiteral("\"sendSocketID\" of the start requests."),
                                       QStringLiteral("id"), QStringLiteral("sim-socket"));
    const QCommandLineOption optSetUser(
        QStringList{QStringLiteral("set-user")},
        QStringLiteral("Send a set-user request (cmd 2003) with this param object, "
                       "e.g. '{\"user\":\"YWRtaW4=\",\"password\":\"MTIzNDU2\"}'."),
        QStringLiteral("param-json"));
    const QCommandLineOption optRaw(QStringLiteral("send"),
                                    QStringLiteral("Send this text as it is, as one frame."),
                                    QStringLiteral("text"));
    const QCommandLineOption optRepeat(
        QStringLiteral("repeat"), QStringLiteral("Send the requests to every client that logs in, not only "
                                                 "to the first."));
    const QCommandLineOption optOnce(QStringLiteral("once"),
                                     QStringLiteral("Quit when a client disconnects."));
    parser.addOptions({optPort, optKey, optStart, optToken, optPlatform, optSocket, optSetUser, optRaw,
                       optRepeat, optOnce});
    parser.process(app);

    bool blPortOk = false;
    const uint uiPort = parser.value(optPort).toUInt(&blPortOk);
    if (!blPortOk || uiPort > 65535) {
        parser.showHelp(2);
    }
    CLS_PlatformSimulator simulator(parser.value(optKey));
    const QStringList qstrlstStarts = parser.values(optStart);
    for (const QString& qstrParam : qstrlstStarts) {
        simulator.AddStartRequest(qstrParam, parser.value(optToken), parser.value(optPlatform),
                                  parser.value(optSocket));
    }
    const QStringList qstrlstSetUsers = parser.values(optSetUser);
    for (const QString& qstrParam : qstrlstSetUsers) {
        simulator.AddSetUserRequest(qstrParam);
    }
    const QStringList qstrlstRaw = parser.values(optRaw);
    for (const QString& qstrText : qstrlstRaw) {
        simulator.AddRawFrame(qstrText);
    }
    simulator.SetRepeat(parser.isSet(optRepeat));
    simulator.SetQuitOnDisconnect(parser.isSet(optOnce));
    if (simulator.Listen(static_cast<quint16>(uiPort)) == 0) {
        return 1;
    }
    return app.exec();
}
