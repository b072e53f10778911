#ifndef TAVRINWEBAPI_H
#define TAVRINWEBAPI_H

#include <QtCore/qstring.h>
#include <QtCore/qurl.h>

QT_BEGIN_NAMESPACE
class QNetworkAccessManager;
class QNetworkReply;
class QObject;
QT_END_NAMESPACE

// The one place that knows the addresses of the web API and the product web site.

// The calls of the web API, each at the configured host with the API key as its last path
// segment.
QUrl tavrinServerListUrl();
QUrl tavrinPublicAddressUrl();
// The feedback page on the product web site.
QUrl tavrinFeedbackUrl();

// Sends a GET whose answer may take at most timeoutMs, however slowly it keeps arriving, and
// may be at most maxBytes long: beyond either it is given up (the reply then finishes with
// QNetworkReply::OperationCanceledError) and a line goes to the log. The access cache is
// cleared first, so that no cached connection or credentials are reused. The request names its
// originator, so that receivers of the manager's finished() can tell their replies. Over https
// the server's certificate is checked against the system's trust store: one that does not
// verify ends the request (QNetworkReply::SslHandshakeFailedError) with a line in the log.
QNetworkReply *tavrinGet(QNetworkAccessManager *manager, const QUrl &url, int timeoutMs,
                         qint64 maxBytes, QObject *originator);

#endif // TAVRINWEBAPI_H
