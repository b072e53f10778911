#ifndef TAVRINWEBREQUEST_H
#define TAVRINWEBREQUEST_H

#include <QtCore/qstring.h>
#include <QtCore/qurl.h>

class QNetworkAccessManager;
class QNetworkReply;

// The calls of the web API, each reached at the configured host with the API key as its last
// path segment.
QUrl tavrinServerListUrl();
QUrl tavrinPublicAddressUrl();
// The feedback page on the product web site.
QUrl tavrinFeedbackUrl();

// Sends a GET for the URL that is given up after timeoutMs, however slowly its answer keeps
// arriving: the reply then finishes with QNetworkReply::OperationCanceledError. The access
// cache is cleared first, so that no cached connection or credentials are reused.
QNetworkReply *tavrinGet(QNetworkAccessManager *manager, const QUrl &url, int timeoutMs);

#endif // TAVRINWEBREQUEST_H
