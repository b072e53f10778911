#include "webapi/qvpnlistservers.h"

#include "webapi/tavrinwebapi.h"

#include <QtCore/qjsondocument.h>
#include <QtCore/qjsonobject.h>
#include <QtCore/qjsonvalue.h>
#include <QtCore/qurl.h>
#include <QtNetwork/qnetworkreply.h>

QVPNListServers::QVPNListServers(QNetworkAccessManager *manager, QObject *parent)
    : QObject(parent)
    , m_manager(manager)
{}

QVPNListServers::~QVPNListServers() = default;

void QVPNListServers::setTimeout(int milliseconds)
{
    m_timeout = milliseconds;
}

void QVPNListServers::sendRequest()
{
    m_servers.clear();
    QNetworkReply *reply = tavrinGet(m_manager, tavrinServerListUrl(), m_timeout, this);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        http_finished(reply);
        reply->deleteLater();
    });
}

QList<VPNServer> QVPNListServers::servers() const
{
    return m_servers;
}

QList<VPNServer> QVPNListServers::parseServers(const QByteArray &body)
{
    QList<VPNServer> servers;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return servers;
    // A JSON object reports its keys sorted, whatever their order in the text.
    const QJsonObject object = document.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!it.value().isObject())
            continue;
        const QJsonObject server = it.value().toObject();
        if (!server.contains(QLatin1String("code")) || !server.contains(QLatin1String("host")))
            continue;
        servers.append(VPNServer{it.key(), server.value(QLatin1String("code")).toString(),
                                 server.value(QLatin1String("host")).toString()});
    }
    return servers;
}

void QVPNListServers::http_finished(QNetworkReply *reply)
{
    // Only the body decides: whatever went wrong on the way ends in an empty list. An answer
    // cut short by the time-out is no answer, whatever part of it arrived.
    if (reply && reply->error() != QNetworkReply::OperationCanceledError)
        m_servers = parseServers(reply->readAll());
    emit finished();
}
