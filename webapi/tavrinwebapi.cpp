#include "webapi/tavrinwebapi.h"

#include "base/tavrindeployment.h"

#include <QtCore/qtimer.h>
#include <QtNetwork/qnetworkaccessmanager.h>
#include <QtNetwork/qnetworkreply.h>
#include <QtNetwork/qnetworkrequest.h>

static QUrl apiCallUrl(const char *call)
{
    return QUrl(QLatin1String("http://") + tavrinApiHost() + QLatin1Char('/') + QLatin1String(call)
                        + QLatin1Char('/') + QLatin1String(tavrinApiKey),
                QUrl::TolerantMode);
}

QUrl tavrinServerListUrl()
{
    return apiCallUrl("get_list");
}

QUrl tavrinPublicAddressUrl()
{
    return apiCallUrl("get_ip");
}

QUrl tavrinFeedbackUrl()
{
    return QUrl(QLatin1String("http://") + tavrinSiteHost() + QLatin1String("/feedback/"),
                QUrl::TolerantMode);
}

QNetworkReply *tavrinGet(QNetworkAccessManager *manager, const QUrl &url, int timeoutMs,
                         QObject *originator)
{
    manager->clearAccessCache();
    QNetworkRequest request(url);
    request.setOriginatingObject(originator);
    QNetworkReply *reply = manager->get(request);
    // Not the network layer's transfer time-out, which a trickle of bytes keeps alive.
    QTimer::singleShot(timeoutMs, reply, [reply] {
        if (reply->isRunning())
            reply->abort();
    });
    return reply;
}
