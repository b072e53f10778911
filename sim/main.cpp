#include "qtavrinsimoptions.h"
#include "qtavrinsimservice.h"
#include "qtavrinsimsharedstate.h"
#include "qtavrinsimsignalwatcher.h"
#include "qtavrinsimwebapi.h"
#include "tavrindeployment.h"
#include "tavrinsimlog.h"
#include "tavrinsimserverlist.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qfile.h>
#include <QtCore/qjsondocument.h>

#include <cstdio>

static void printError(const QString &text)
{
    std::fprintf(stderr, "tavrin-sim: %s\n", qPrintable(text));
}

static bool loadServerList(const QTavrinSimOptions &options, QByteArray *list, QString *errorText)
{
    if (options.listFile.isEmpty()) {
        *list = QJsonDocument(builtInServerList()).toJson(QJsonDocument::Compact);
        return true;
    }
    QFile file(options.listFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *errorText = QStringLiteral("cannot read %1: %2").arg(options.listFile, file.errorString());
        return false;
    }
    *list = file.readAll();
    return true;
}

static void logStart(const QTavrinSimOptions &options, const QString &socketPath, int port,
                     const QStringList &hosts)
{
    simLog("SIM", QStringLiteral("service listening on %1").arg(socketPath));
    simLog("SIM", QStringLiteral("web API on http://127.0.0.1:%1 (key %2)")
                          .arg(port)
                          .arg(QLatin1String(tavrinApiKey)));
    simLog("SIM", QStringLiteral("client environment: TAVRIN_API_HOST=127.0.0.1:%1").arg(port));
    for (const QTavrinSimAccount &account : options.accounts)
        simLog("SIM",
               QStringLiteral("account %1 password %2").arg(account.username, account.password));
    if (options.hasStoredCredentials)
        simLog("SIM",
               QStringLiteral("stored credentials for %1").arg(options.storedCredentials.username));
    simLog("SIM", QStringLiteral("%1 known hosts").arg(hosts.size()));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrin-sim"));

    QTavrinSimOptions options;
    QString errorText;
    if (!parseSimOptions(QCoreApplication::arguments(), &options, &errorText)) {
        printError(errorText + QStringLiteral(" (see --help)"));
        return 2;
    }
    if (options.helpRequested) {
        std::fputs(qPrintable(simHelpText()), stdout);
        return 0;
    }

    QByteArray serverList;
    if (!loadServerList(options, &serverList, &errorText)) {
        printError(errorText);
        return 1;
    }
    const QStringList hosts = serverListHosts(serverList);

    QTavrinSimSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &QTavrinSimSignalWatcher::terminationRequested, &app,
                     [](int signalNumber) {
                         simLog("SIM", QStringLiteral("signal %1: stopping").arg(signalNumber));
                         QCoreApplication::quit();
                     });

    QTavrinSimSharedState sharedState;
    QTavrinSimWebApi webApi(options, serverList, &sharedState);
    if (!webApi.bind(options.port, &errorText)) {
        printError(errorText);
        return 1;
    }
    // The first line of output, always: tests and scripts read the port from it.
    simPrintRaw(QStringLiteral("PORT %1").arg(webApi.port()));

    QTavrinSimService service(options, hosts, &sharedState);
    if (!service.listen(options.socketName, &errorText)) {
        printError(errorText);
        return 1;
    }
    logStart(options, service.fullServerName(), webApi.port(), hosts);
    webApi.start();

    const int exitCode = app.exec();
    service.close();
    webApi.stop();
    simLog("SIM", QStringLiteral("stopped"));
    return exitCode;
}
