#include "sim/qtavrinsim.h"

#include "sim/qtavrinsimservice.h"
#include "sim/qtavrinsimsession.h"
#include "sim/qtavrinsimsharedstate.h"
#include "sim/qtavrinsimwebapi.h"
#include "sim/tavrinsimserverlist.h"

#include <QtCore/qfile.h>
#include <QtCore/qjsondocument.h>

QTavrinSim::QTavrinSim(const QTavrinSimOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_state(new QTavrinSimSharedState)
{}

QTavrinSim::~QTavrinSim()
{
    stop();
}

static bool loadServerList(const QTavrinSimOptions &options, QByteArray *list, QString *errorText)
{
    if (options.listFile.isEmpty()) {
        *list = QJsonDocument(builtInServerList()).toJson(QJsonDocument::Compact);
        return true;
    }
    QFile file(options.listFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *errorText = QStringLiteral("cannot read %1: %2").arg(options.listFile, file.errorString());
        return false;
    }
    *list = file.readAll();
    return true;
}

bool QTavrinSim::start(QString *errorText)
{
    QByteArray serverList;
    if (!loadServerList(m_options, &serverList, errorText))
        return false;
    m_hosts = serverListHosts(serverList);
    m_webApi.reset(new QTavrinSimWebApi(m_options, serverList, m_state.data()));
    if (!m_webApi->bind(m_options.port, errorText))
        return false;
    m_service = new QTavrinSimService(m_options, m_hosts, m_state.data(), this);
    if (!m_service->listen(m_options.socketName, errorText))
        return false;
    m_webApi->start();
    return true;
}

void QTavrinSim::stop()
{
    if (m_service)
        m_service->close();
    if (m_webApi)
        m_webApi->stop();
}

int QTavrinSim::port() const
{
    return m_webApi ? m_webApi->port() : -1;
}

QString QTavrinSim::apiHost() const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(m_options.webScheme()).arg(port());
}

QString QTavrinSim::socketPath() const
{
    return m_service ? m_service->fullServerName() : QString();
}

QTavrinSimSession *QTavrinSim::session() const
{
    if (!m_service)
        return nullptr;
    const QList<QTavrinSimSession *> sessions
            = m_service->findChildren<QTavrinSimSession *>(QString(), Qt::FindDirectChildrenOnly);
    QTavrinSimSession *newest = nullptr;
    for (QTavrinSimSession *session : sessions) {
        if (!newest || session->number() > newest->number())
            newest = session;
    }
    return newest;
}
