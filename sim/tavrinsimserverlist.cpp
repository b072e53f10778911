#include "sim/tavrinsimserverlist.h"

#include <QtCore/qjsondocument.h>

namespace {

struct Location
{
    const char *name;
    const char *code;
    const char *host;
};

// The automatic entry first, then the locations; loopback hosts are numbered in order.
const Location locations[] = {
        {"Automatic", "auto", "127.0.0.1"},
        {"Australia", "AU", "127.0.0.2"},
        {"Austria", "AT", "127.0.0.3"},
        {"Belgium", "BE", "127.0.0.4"},
        {"Brazil", "BR", "127.0.0.5"},
        {"Bulgaria", "BG", "127.0.0.6"},
        {"Canada", "CA", "127.0.0.7"},
        {"Czech Republic", "CZ", "127.0.0.8"},
        {"Denmark", "DK", "127.0.0.9"},
        {"Finland", "FI", "127.0.0.10"},
        {"France", "FR", "127.0.0.11"},
        {"Germany", "DE", "127.0.0.12"},
        {"Hong Kong", "HK", "127.0.0.13"},
        {"Hungary", "HU", "127.0.0.14"},
        {"India", "IN", "127.0.0.15"},
        {"Ireland", "IE", "127.0.0.16"},
        {"Italy", "IT", "127.0.0.17"},
        {"Japan", "JP", "127.0.0.18"},
        {"Netherlands", "NL", "127.0.0.19"},
        {"New Zealand", "NZ", "127.0.0.20"},
        {"Norway", "NO", "127.0.0.21"},
        {"Poland", "PL", "127.0.0.22"},
        {"Romania", "RO", "127.0.0.23"},
        {"Singapore", "SG", "127.0.0.24"},
        {"South Africa", "ZA", "127.0.0.25"},
        {"Spain", "ES", "127.0.0.26"},
        {"Sweden", "SE", "127.0.0.27"},
        {"Switzerland", "CH", "127.0.0.28"},
        {"United Kingdom", "UK", "127.0.0.29"},
        {"United States", "US", "127.0.0.30"},
        {"Iceland", "IS", "is.vpn.tavrin-sim.invalid"},
        {"Mexico", "MX", "mx.vpn.tavrin-sim.invalid"},
        {"Turkey", "TR", "tr.vpn.tavrin-sim.invalid"},
};

} // namespace

QJsonObject builtInServerList()
{
    QJsonObject list;
    for (const Location &location : locations) {
        list.insert(QLatin1String(location.name),
                    QJsonObject{{QStringLiteral("code"), QLatin1String(location.code)},
                                {QStringLiteral("host"), QLatin1String(location.host)}});
    }
    return list;
}

QStringList serverListHosts(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    QStringList hosts;
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return hosts;
    const QJsonObject list = document.object();
    for (auto it = list.constBegin(); it != list.constEnd(); ++it) {
        const QJsonValue host = it.value().toObject().value(QStringLiteral("host"));
        if (host.isString() && !hosts.contains(host.toString()))
            hosts.append(host.toString());
    }
    return hosts;
}
