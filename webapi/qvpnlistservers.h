#ifndef QVPNLISTSERVERS_H
#define QVPNLISTSERVERS_H

#include "base/vpnserver.h"

#include <QtCore/qlist.h>
#include <QtCore/qobject.h>

QT_BEGIN_NAMESPACE
class QNetworkAccessManager;
class QNetworkReply;
QT_END_NAMESPACE

// Fetches the list of VPN servers from the web API once, through the given network manager.
// The receiver of finished() reads the list with servers() and deletes the object later.
class QVPNListServers : public QObject
{
    Q_OBJECT

public:
    QVPNListServers(QNetworkAccessManager *manager, QObject *parent = nullptr);
    ~QVPNListServers() override;

    void sendRequest();
    QList<VPNServer> servers() const;
    // How long the answer may take before it counts as none (10 s unless set).
    void setTimeout(int milliseconds);

    // The servers of one answer body, in key order; an empty list for anything but an object.
    static QList<VPNServer> parseServers(const QByteArray &body);

signals:
    void finished();

public slots:
    void http_finished(QNetworkReply *reply);

private:
    QNetworkAccessManager *m_manager;
    QList<VPNServer> m_servers;
    int m_timeout = 10000;
};

#endif // QVPNLISTSERVERS_H
