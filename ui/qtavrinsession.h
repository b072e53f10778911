#ifndef QTAVRINSESSION_H
#define QTAVRINSESSION_H

#include "base/vpnserver.h"
#include "service/qtavrinserviceconnection.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qlist.h>
#include <QtCore/qobject.h>
#include <QtCore/qstring.h>
#include <QtCore/qstringlist.h>

QT_BEGIN_NAMESPACE
class QNetworkAccessManager;
QT_END_NAMESPACE

class QConnectionClock;
class QPublicAddressLookup;
class QVPNListServers;

// The user's session with the local VPN service: the link to it, the state it last reported,
// the server connected to, the credentials to log in with, and the web requests (the server
// list, the public address). It turns the user's commands into requests, in the order the
// service needs them: a switch to another server while connected takes the tunnel down first
// and connects once the service reports Disconnected; Exit while connected waits for the same;
// at most one abort is outstanding at a time. What the user is to see comes out as signals.
class QTavrinSession : public QObject
{
    Q_OBJECT

public:
    explicit QTavrinSession(QObject *parent = nullptr);

    // Opens the link to the service; false when the service cannot be reached.
    bool connectToService();
    // Restores the chosen server and the stored credentials (or asks the service for its
    // own), and logs in when auto-login is on.
    void restore();
    // Asks the web API for the server list; serversArrived() brings it.
    void requestServerList();

    quint8 state() const { return m_state; }
    VPNServer connection() const { return m_connection; }
    bool isLinkOpen() const { return m_service.isConnected(); }
    // The credentials of the next login, as the user last gave them; stored once connected.
    void setCredentials(const QString &username, const QString &password);

    // Connects to the chosen server (connectRequested() once the request is out).
    void connectToVPN();
    // Makes the server the one connected to from now on, remembers it and connects to it.
    void connectTo(const VPNServer &server);
    // The big button: connects when disconnected, takes the tunnel down when it is up or
    // being brought back, and does nothing in between.
    void toggleConnection();
    // Connects to the named server (from the list) without remembering it as the choice.
    void switchServer(const QString &name);
    void jumpToFastest();
    // Ends the program once the tunnel is down (exitNow()); nothing while it is on its way.
    void requestExit();
    // Handles the current state again, as if the service had reported it once more.
    void repeatState() { stateReported(char(m_state)); }

signals:
    // Every state the service reports, with the name of the server connected to, first.
    void stateSeen(quint8 code, const QString &serverName);
    // A state to show: not the Disconnected of a server switch or of Exit.
    void stateChanged(quint8 code, const QString &serverName);
    // The user takes the connection down (Disconnect, Exit, another server).
    void userEndsConnection();
    // The server connected to changed; index is its place in the server list, or -1 when it
    // is not from the list.
    void connectionChosen(const VPNServer &server, int index);
    void connectRequested();
    void requestRefused();
    // The service refused the login; it is told on the next Disconnected, once.
    void loginFailed();
    void credentialsArrived(const QString &username, const QString &password);
    void bandwidthSample(uchar type, uint download, uint upload);
    void serversArrived(const QList<VPNServer> &servers);
    void timeConnectedChanged(const QString &text);
    void publicAddressChanged(const QString &text);
    void exitNow();
    // The service closed the link without being asked to.
    void connectionLost();

private:
    QNetworkAccessManager *network();
    void serverListArrived(QVPNListServers *list);
    void stateReported(char stateCode);
    bool sendConnectRequest();
    void sendAbortRequest();
    void endConnection();
    void selectServerNamed(const QString &name);
    void saveCredentials();
    void credentialsReplied(const QByteArray &credentials);

    QTavrinServiceConnection m_service;
    QList<VPNServer> m_servers;
    VPNServer m_connection;
    QDateTime m_startTime;
    QNetworkAccessManager *m_network = nullptr; // made when the first request goes out
    QConnectionClock *m_clock;
    QPublicAddressLookup *m_addressLookup;
    QString m_pendingServerName;
    QString m_username;
    QString m_password;
    QStringList m_savedCredentials;
    quint8 m_state;
    bool m_exitRequested = false;
    bool m_loginFailed = false;
    bool m_abortOutstanding = false;
};

#endif // QTAVRINSESSION_H
