#include "sim/qtavrinsimservice.h"

#include "sim/qtavrinsimsession.h"
#include "sim/tavrinsimlog.h"

#include <QtNetwork/qlocalserver.h>
#include <QtNetwork/qlocalsocket.h>

QTavrinSimService::QTavrinSimService(const QTavrinSimOptions &options,
                                     const QStringList &knownHosts,
                                     QTavrinSimSharedState *sharedState, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_knownHosts(knownHosts)
    , m_sharedState(sharedState)
    , m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &QTavrinSimService::server_newConnection);
}

QTavrinSimService::~QTavrinSimService()
{
    close();
}

static bool someoneListens(const QString &name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    const bool answered = probe.waitForConnected(500);
    probe.abort();
    return answered;
}

bool QTavrinSimService::listen(const QString &name, QString *errorText)
{
    if (someoneListens(name)) {
        *errorText = QStringLiteral("a service already listens on \"%1\"").arg(name);
        return false;
    }
    QLocalServer::removeServer(name);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        *errorText = QStringLiteral("cannot listen on \"%1\": %2").arg(name, m_server->errorString());
        return false;
    }
    return true;
}

void QTavrinSimService::close()
{
    if (!m_server->isListening())
        return;
    // Closing the server removes its socket file.
    m_server->close();
    const QList<QTavrinSimSession *> sessions
            = findChildren<QTavrinSimSession *>(QString(), Qt::FindDirectChildrenOnly);
    for (QTavrinSimSession *session : sessions)
        delete session;
}

QString QTavrinSimService::fullServerName() const
{
    return m_server->fullServerName();
}

int QTavrinSimService::sessionCount() const
{
    return findChildren<QTavrinSimSession *>(QString(), Qt::FindDirectChildrenOnly).size();
}

void QTavrinSimService::server_newConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        auto *session = new QTavrinSimSession(socket, ++m_sessionsStarted, m_options, m_knownHosts,
                                              m_sharedState, this);
        connect(session, &QTavrinSimSession::finished, session, &QObject::deleteLater);
    }
}
