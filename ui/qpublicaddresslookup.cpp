#include "ui/qpublicaddresslookup.h"

#include "webapi/tavrinwebapi.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qjsondocument.h>
#include <QtCore/qjsonobject.h>
#include <QtCore/qtimer.h>
#include <QtNetwork/qnetworkreply.h>

static const int MaximumAttempts = 4;

QPublicAddressLookup::QPublicAddressLookup(QObject *parent)
    : QObject(parent)
{}

void QPublicAddressLookup::restart()
{
    m_attempts = 0;
    schedule();
}

void QPublicAddressLookup::schedule()
{
    QTimer::singleShot(m_retryInterval, Qt::CoarseTimer, this, &QPublicAddressLookup::requestDue);
}

void QPublicAddressLookup::sendRequest(QNetworkAccessManager *manager)
{
    emit textChanged(QCoreApplication::translate("QMainDialog", "Detecting..."));
    ++m_attempts;
    tavrinGet(manager, tavrinPublicAddressUrl(), m_timeout, this);
}

void QPublicAddressLookup::handleReply(QNetworkReply *reply)
{
    // The network manager is shared: the answers to other requests are not ours.
    if (reply->request().originatingObject() != this)
        return;
    QString address;
    if (reply->error() == QNetworkReply::NoError) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(reply->readAll(), &error);
        if (error.error == QJsonParseError::NoError)
            address = document.object().value(QStringLiteral("ip")).toString();
    }

    if (!address.isEmpty())
        emit textChanged(address);
    else if (m_attempts >= MaximumAttempts)
        emit textChanged(QCoreApplication::translate("QMainDialog", "Unknown."));
    else
        schedule();
    reply->deleteLater();
}
