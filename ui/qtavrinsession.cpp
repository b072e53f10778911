#include "ui/qtavrinsession.h"

#include "service/tavrincredentials.h"
#include "service/tavrinframe.h"
#include "settings/qvpnclientsettings.h"
#include "ui/qconnectionclock.h"
#include "ui/qpublicaddresslookup.h"
#include "webapi/qvpnlistservers.h"

#include <QtNetwork/qnetworkaccessmanager.h>

QTavrinSession::QTavrinSession(QObject *parent)
    : QObject(parent)
    , m_service(nullptr)
    , m_clock(new QConnectionClock(this))
    , m_addressLookup(new QPublicAddressLookup(this))
    , m_state(Disconnected)
{
    using Service = QTavrinServiceConnection;
    connect(&m_service, &Service::credentials, this, &QTavrinSession::credentialsReplied);
    connect(&m_service, &Service::notifyStatusChange, this, &QTavrinSession::stateReported);
    connect(&m_service, &Service::startTime, this,
            [this](uint seconds) { m_startTime = QDateTime::fromSecsSinceEpoch(seconds); });
    connect(&m_service, &Service::updateBandwidth, this, &QTavrinSession::bandwidthSample);
    connect(&m_service, &Service::loginFailed, this, [this] {
        m_loginFailed = true;
        sendAbortRequest();
    });
    connect(&m_service, &Service::connectionLost, this, &QTavrinSession::connectionLost);
    // The public address: the lookup asks for a request when one is due, and reads the answers
    // among the network manager's replies.
    connect(m_addressLookup, &QPublicAddressLookup::requestDue, this,
            [this] { m_addressLookup->sendRequest(network()); });
    connect(m_addressLookup, &QPublicAddressLookup::textChanged, this,
            &QTavrinSession::publicAddressChanged);
    connect(m_clock, &QConnectionClock::textChanged, this, &QTavrinSession::timeConnectedChanged);
}

bool QTavrinSession::connectToService()
{
    return m_service.connectToService();
}

void QTavrinSession::restore()
{
    m_connection = QVPNClientSettings::getConnection();
    emit connectionChosen(m_connection, -1);

    QString username;
    QString password;
    if (QVPNClientSettings::getCredentials(username, password)) {
        setCredentials(username, password);
        m_savedCredentials = QStringList{username, password};
        emit credentialsArrived(username, password);
    } else {
        m_service.sendCredentialsRequest();
    }
    if (QVPNClientSettings::getAutoLogin())
        connectToVPN();
}

// One network manager carries every web request; it is made with the first.
QNetworkAccessManager *QTavrinSession::network()
{
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    return m_network;
}

void QTavrinSession::requestServerList()
{
    auto *list = new QVPNListServers(network(), this);
    connect(list, &QVPNListServers::finished, this, [this, list] { serverListArrived(list); });
    list->sendRequest();
}

void QTavrinSession::serverListArrived(QVPNListServers *list)
{
    m_servers = list->servers();
    emit serversArrived(m_servers);
    list->deleteLater();
}

void QTavrinSession::setCredentials(const QString &username, const QString &password)
{
    m_username = username;
    m_password = password;
}

// Connecting and disconnecting

void QTavrinSession::connectToVPN()
{
    if (sendConnectRequest())
        emit connectRequested();
}

void QTavrinSession::connectTo(const VPNServer &server)
{
    m_connection = server;
    QVPNClientSettings::setConnection(m_connection);
    connectToVPN();
}

// A request the service connection refuses (its reason is in the log) is told; the state
// stays as it is.
bool QTavrinSession::sendConnectRequest()
{
    if (m_service.sendConnectToVPNRequest(m_connection.hostname, m_username, m_password))
        return true;
    emit requestRefused();
    return false;
}

// At most one abort is outstanding: until the service reports a state again, a further one
// would only pile up behind it (a service that repeats LoginFailed and never reads).
void QTavrinSession::sendAbortRequest()
{
    if (m_abortOutstanding)
        return;
    m_abortOutstanding = m_service.sendAbortRequest();
    if (!m_abortOutstanding)
        emit requestRefused();
}

void QTavrinSession::endConnection()
{
    emit userEndsConnection();
    sendAbortRequest();
}

void QTavrinSession::toggleConnection()
{
    if (m_state == Disconnected)
        sendConnectRequest();
    else if (m_state == Connected || m_state == Timeout)
        endConnection();
}

// Makes the named server of the list the connection. Without it in the list the automatic
// entry of the settings serves for the automatic one, so that no connect request goes out
// with an empty host name.
void QTavrinSession::selectServerNamed(const QString &name)
{
    int index = -1;
    for (int i = 0; i < m_servers.size() && index < 0; ++i) {
        if (m_servers.at(i).name == name)
            index = i;
    }
    const VPNServer automatic = QVPNClientSettings::defaultConnection();
    if (name == automatic.name && index < 0) {
        m_connection = automatic;
        emit connectionChosen(m_connection, -1);
        return;
    }
    m_connection = m_servers.value(index);
    emit connectionChosen(m_connection, qMax(index, 0));
}

// Connects to the named server now when disconnected, without remembering it; otherwise takes
// the current connection down first and connects once the service reports Disconnected.
void QTavrinSession::switchServer(const QString &name)
{
    if (m_state != Disconnected) {
        m_pendingServerName = name;
        endConnection();
        return;
    }
    selectServerNamed(name);
    connectToVPN();
}

void QTavrinSession::jumpToFastest()
{
    switchServer(QVPNClientSettings::defaultConnection().name);
}

void QTavrinSession::requestExit()
{
    if (m_state == Connected) {
        m_exitRequested = true;
        endConnection();
    } else if (m_state == Disconnected) {
        emit exitNow();
    }
}

// Written only when they changed: a service that keeps reconnecting does not rewrite the store.
void QTavrinSession::saveCredentials()
{
    if (m_savedCredentials == QStringList{m_username, m_password})
        return;
    m_savedCredentials = QStringList{m_username, m_password};
    QVPNClientSettings::setCredentials(m_username, m_password);
}

// Messages from the service

void QTavrinSession::stateReported(char stateCode)
{
    const quint8 code = quint8(stateCode);
    m_abortOutstanding = false;
    emit stateSeen(code, m_connection.name);
    if (code == Disconnected && m_exitRequested) {
        emit exitNow();
        return;
    }
    if (code == Disconnected && !m_pendingServerName.isEmpty()) {
        // The reconnect: what is shown keeps the previous state until the service reports again.
        selectServerNamed(m_pendingServerName);
        m_pendingServerName.clear();
        connectToVPN();
        return;
    }

    emit stateChanged(code, m_connection.name);
    if (code == Connected) {
        m_clock->start(m_startTime);
        saveCredentials();
        m_addressLookup->restart();
    } else if (code == Disconnecting) {
        m_clock->stop();
    } else if (code == Disconnected) {
        // A receiver may show a modal box: further states are handled while it is open. The
        // failure is cleared first, so that a second Disconnected meanwhile tells it no more.
        if (m_loginFailed) {
            m_loginFailed = false;
            emit loginFailed();
        }
        m_addressLookup->restart();
    }
    m_state = code;
}

void QTavrinSession::credentialsReplied(const QByteArray &credentials)
{
    QString username;
    QString password;
    if (!decodeCredentialsReply(credentials, username, password))
        return;
    setCredentials(username, password);
    emit credentialsArrived(username, password);
}
