#include "webapi/qvpnlistservers.h"

#include "base/tavrinlog.h"
#include "webapi/tavrinwebapi.h"

#include <QtCore/qjsondocument.h>
#include <QtCore/qjsonobject.h>
#include <QtCore/qjsonvalue.h>
#include <QtCore/qthread.h>
#include <QtCore/qurl.h>
#include <QtNetwork/qnetworkreply.h>

QVPNListServers::QVPNListServers(QNetworkAccessManager *manager, QObject *parent)
    : QObject(parent)
    , m_manager(manager)
{}

QVPNListServers::~QVPNListServers()
{
    if (m_parser)
        m_parser->wait();
}

void QVPNListServers::setTimeout(int milliseconds)
{
    m_timeout = milliseconds;
}

void QVPNListServers::sendRequest()
{
    m_servers.clear();
    QNetworkReply *reply = tavrinGet(m_manager, tavrinServerListUrl(), m_timeout, MaximumAnswerSize,
                                     this);
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
        if (servers.size() == MaximumServers) {
            writeLog(QStringLiteral("QVPNListServers - the server list has more than %1 "
                                    "servers: the rest is left out")
                             .arg(MaximumServers),
                     Warning);
            break;
        }
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
    // given up (too slow or too long) is no answer, whatever part of it arrived, and neither is
    // anything from a server whose certificate did not verify.
    QByteArray body;
    if (reply && reply->error() != QNetworkReply::OperationCanceledError
        && reply->error() != QNetworkReply::SslHandshakeFailedError)
        body = reply->readAll();
    // A long answer takes a while to read: it is read on a thread of its own, so that the
    // window keeps answering meanwhile.
    m_parser.reset(QThread::create([this, body] {
        const QList<VPNServer> servers = parseServers(body);
        QMetaObject::invokeMethod(
                this,
                [this, servers] {
                    m_servers = servers;
                    emit finished();
                },
                Qt::QueuedConnection);
    }));
    m_parser->start();
}
