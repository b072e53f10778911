#include "webapi/tavrinwebapi.h"

#include "base/tavrindeployment.h"
#include "base/tavrinlog.h"

#include <QtCore/qstringlist.h>
#include <QtCore/qtimer.h>
#include <QtNetwork/qnetworkaccessmanager.h>
#include <QtNetwork/qnetworkreply.h>
#include <QtNetwork/qnetworkrequest.h>
#include <QtNetwork/qsslerror.h>

static QUrl apiCallUrl(const char *call)
{
    return QUrl(tavrinApiBase().toString() + QLatin1Char('/') + QLatin1String(call)
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
    return QUrl(tavrinSiteBase().toString() + QLatin1String("/feedback/"), QUrl::TolerantMode);
}

// The call's name for the log: the path without the key.
static QString callName(const QUrl &url)
{
    return url.path().section(QLatin1Char('/'), 1, 1);
}

// Where a reply went, for the log: the base and the call, not the key.
static QString destination(const QUrl &url)
{
    return callName(url) + QLatin1String(" at ") + url.adjusted(QUrl::RemovePath).toString();
}

static void giveUp(QNetworkReply *reply, const QString &why)
{
    if (!reply->isRunning())
        return;
    writeLog(QStringLiteral("The web API's answer to %1 %2: given up")
                     .arg(callName(reply->request().url()), why),
             Warning);
    reply->abort();
}

// A certificate that does not verify ends the request: its errors are not ignored, so the reply
// finishes with SslHandshakeFailedError before anything is asked or read. The log says why.
static void logTlsFailure(const QUrl &url, const QList<QSslError> &errors)
{
    QStringList texts;
    for (const QSslError &error : errors)
        texts.append(error.errorString());
    writeLog(QStringLiteral("TLS verification failed for %1: %2")
                     .arg(destination(url), texts.join(QLatin1String("; "))),
             Warning);
}

QNetworkReply *tavrinGet(QNetworkAccessManager *manager, const QUrl &url, int timeoutMs,
                         qint64 maxBytes, QObject *originator)
{
    manager->clearAccessCache();
    QNetworkRequest request(url);
    request.setOriginatingObject(originator);
    QNetworkReply *reply = manager->get(request);
    // The network layer reads no further ahead than a little past the longest answer taken.
    reply->setReadBufferSize(maxBytes + 65536);
    // Not the network layer's transfer time-out, which a trickle of bytes keeps alive.
    QTimer::singleShot(timeoutMs, reply, [reply, timeoutMs] {
        giveUp(reply, QStringLiteral("took more than %1 ms").arg(timeoutMs));
    });
    QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                     [url](const QList<QSslError> &errors) { logTlsFailure(url, errors); });
    // The body is kept until the reply finishes: one that never ends must not grow for ever.
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, maxBytes] {
        if (reply->bytesAvailable() > maxBytes)
            giveUp(reply, QStringLiteral("was longer than %1 bytes").arg(maxBytes));
    });
    return reply;
}
