#include "ui/qpublicaddresslookup.h"

#include "webapi/tavrinwebapi.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qjsondocument.h>
#include <QtCore/qjsonobject.h>
#include <QtCore/qtimer.h>
#include <QtNetwork/qhostaddress.h>
#include <QtNetwork/qnetworkreply.h>

static const int MaximumAttempts = 4;

QPublicAddressLookup::QPublicAddressLookup(QObject *parent)
    : QObject(parent)
    , m_due(this) // a child, so that a test can find the wait and end it at once
{
    m_due.setSingleShot(true);
    m_due.setTimerType(Qt::CoarseTimer);
    connect(&m_due, &QTimer::timeout, this, &QPublicAddressLookup::requestDue);
}

void QPublicAddressLookup::restart()
{
    m_attempts = 0;
    m_due.start(m_retryInterval);
}

void QPublicAddressLookup::schedule()
{
    if (!m_due.isActive())
        m_due.start(m_retryInterval);
}

void QPublicAddressLookup::sendRequest(QNetworkAccessManager *manager)
{
    emit textChanged(QCoreApplication::translate("QMainDialog", "Detecting..."));
    ++m_attempts;
    QNetworkReply *reply = tavrinGet(manager, tavrinPublicAddressUrl(), m_timeout,
                                     MaximumAnswerSize, this);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { handleReply(reply); });
}

void QPublicAddressLookup::handleReply(QNetworkReply *reply)
{
    QString address;
    if (reply->error() == QNetworkReply::NoError) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(reply->readAll(), &error);
        if (error.error == QJsonParseError::NoError)
            address = document.object().value(QStringLiteral("ip")).toString();
    }
    // Only an address is shown: whatever else the answer holds is a failed try. (A dotted IPv4
    // address has its four parts; the shorter forms the parser takes are no answer here.)
    const QAbstractSocket::NetworkLayerProtocol protocol = QHostAddress(address).protocol();
    if (!(protocol == QAbstractSocket::IPv6Protocol
          || (protocol == QAbstractSocket::IPv4Protocol && address.count(QLatin1Char('.')) == 3)))
        address.clear();

    if (!address.isEmpty())
        emit textChanged(address);
    else if (m_attempts >= MaximumAttempts)
        emit textChanged(QCoreApplication::translate("QMainDialog", "Unknown."));
    else
        schedule();
    reply->deleteLater();
}
