// A huge server list from the web API: parsing the answer (100,000 entries, of which 20,000 are
// taken), filling the server chooser and filling the tray's change-country menu. Offscreen.

#include "ui/qtavrintray.h"
#include "webapi/qvpnlistservers.h"
#include "widgets/qvpnservercombobox.h"

#include <QtCore/qjsondocument.h>
#include <QtCore/qjsonobject.h>
#include <QtWidgets/qapplication.h>

#include <benchmark/benchmark.h>

namespace {

QByteArray listOf(int count)
{
    QJsonObject list;
    for (int i = 0; i < count; ++i) {
        list.insert(QStringLiteral("Server %1").arg(i, 6, 10, QLatin1Char('0')),
                    QJsonObject{{QStringLiteral("code"), QStringLiteral("DE")},
                                {QStringLiteral("host"), QStringLiteral("10.%1.%2.%3")
                                                                 .arg(i >> 16)
                                                                 .arg((i >> 8) & 255)
                                                                 .arg(i & 255)}});
    }
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

void BM_ParseList(benchmark::State &state)
{
    const QByteArray body = listOf(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(QVPNListServers::parseServers(body));
    state.counters["bytes"] = body.size();
}

void BM_FillChooser(benchmark::State &state)
{
    const QList<VPNServer> servers = QVPNListServers::parseServers(listOf(int(state.range(0))));
    QVPNServerComboBox chooser; // measures no latencies: no monitor is wired to it
    for (auto _ : state) {
        chooser.setServers(servers);
        chooser.setFavoriteServers(QStringLiteral("Server 000007,Server 019999"));
    }
}

void BM_FillTrayMenu(benchmark::State &state)
{
    const QList<VPNServer> servers = QVPNListServers::parseServers(listOf(int(state.range(0))));
    QWidget window;
    QTavrinTray tray(&window);
    for (auto _ : state) {
        tray.setServers(servers);
        while (tray.changeCountryMenu()->actions().size() < servers.size())
            QCoreApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BM_ParseList)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillChooser)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillTrayMenu)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
