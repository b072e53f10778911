#ifndef QVPNLISTSERVERS_H
#define QVPNLISTSERVERS_H

#include "base/vpnserver.h"

#include <QtCore/qlist.h>
#include <QtCore/qobject.h>
#include <QtCore/qscopedpointer.h>

QT_BEGIN_NAMESPACE
class QNetworkAccessManager;
class QThread;
class QNetworkReply;
QT_END_NAMESPACE

// Fetches the list of VPN servers from the web API once, through the given network manager,
// and reads the answer on a thread of its own. The receiver of finished() reads the list with
// servers() and deletes the object later.
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
    // A list longer than MaximumServers is cut there, with a line in the log.
    static QList<VPNServer> parseServers(const QByteArray &body);

    // The longest answer read (4 MiB) and the most servers taken from it.
    static constexpr qint64 MaximumAnswerSize = 4 * 1024 * 1024;
    static constexpr int MaximumServers = 20000;

signals:
    void finished();

public slots:
    void http_finished(QNetworkReply *reply);

private:
    QNetworkAccessManager *m_manager;
    QScopedPointer<QThread> m_parser;
    QList<VPNServer> m_servers;
    int m_timeout = 10000;
};

#endif // QVPNLISTSERVERS_H
