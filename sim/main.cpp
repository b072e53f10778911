#include "base/tavrindeployment.h"
#include "sim/qtavrinsim.h"
#include "sim/qtavrinsimoptions.h"
#include "sim/qtavrinsimsignalwatcher.h"
#include "sim/tavrinsimlog.h"

#include <QtCore/qcoreapplication.h>

#include <cstdio>

static void printError(const QString &text)
{
    std::fprintf(stderr, "tavrin-sim: %s\n", qPrintable(text));
}

static void logStart(const QTavrinSim &sim)
{
    simLog("SIM", QStringLiteral("service listening on %1").arg(sim.socketPath()));
    simLog("SIM",
           QStringLiteral("web API on %1 (key %2)").arg(sim.apiHost(), QLatin1String(tavrinApiKey)));
    simLog("SIM", QStringLiteral("client environment: TAVRIN_API_HOST=%1").arg(sim.apiHost()));
    simLog("SIM", QStringLiteral("account %1 password %2")
                          .arg(QLatin1String(simDemoUser), QLatin1String(simDemoPassword)));
    simLog("SIM", QStringLiteral("%1 known hosts").arg(sim.knownHosts().size()));
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

    QTavrinSimSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &QTavrinSimSignalWatcher::terminationRequested, &app,
                     [](int signalNumber) {
                         simLog("SIM", QStringLiteral("signal %1: stopping").arg(signalNumber));
                         QCoreApplication::quit();
                     });

    QTavrinSim sim(options);
    if (!sim.start(&errorText)) {
        printError(errorText);
        return 1;
    }
    // The first line of output, always: tests and scripts read the port from it.
    simPrintRaw(QStringLiteral("PORT %1").arg(sim.port()));
    logStart(sim);

    const int exitCode = app.exec();
    sim.stop();
    simLog("SIM", QStringLiteral("stopped"));
    return exitCode;
}
