#include "tavrinfakeservicepeer.h"

static const char serviceName[] = "Tavrin";

TavrinFakeServicePeer::TavrinFakeServicePeer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QLocalServer::newConnection, this, &TavrinFakeServicePeer::acceptClient);
}

TavrinFakeServicePeer::~TavrinFakeServicePeer()
{
    close();
}

bool TavrinFakeServicePeer::listen()
{
    QLocalServer::removeServer(QLatin1String(serviceName));
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(QLatin1String(serviceName));
}

void TavrinFakeServicePeer::close()
{
    disconnectClient();
    m_server.close();
}

bool TavrinFakeServicePeer::hasClient() const
{
    return m_client && m_client->state() == QLocalSocket::ConnectedState;
}

void TavrinFakeServicePeer::disconnectClient()
{
    if (m_client) {
        m_client->disconnect(this);
        m_client->abort();
        m_client->deleteLater();
    }
    m_client = nullptr;
}

void TavrinFakeServicePeer::acceptClient()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        disconnectClient();
        m_client = socket;
        m_splitter.clear();
        ++m_clientCount;
        connect(socket, &QLocalSocket::readyRead, this, &TavrinFakeServicePeer::readClient);
        readClient();
    }
}

void TavrinFakeServicePeer::readClient()
{
    if (!m_client)
        return;
    m_splitter.append(m_client->readAll());
    QByteArray frame;
    while (m_splitter.nextFrame(&frame))
        m_frames.append(frame);
}

QList<int> TavrinFakeServicePeer::frameTypes() const
{
    QList<int> types;
    for (const QByteArray &frame : m_frames)
        types.append(frame.size() > 2 ? quint8(frame.at(2)) : -1);
    return types;
}

void TavrinFakeServicePeer::send(const QByteArray &bytes)
{
    if (!m_client)
        return;
    m_client->write(bytes);
    m_client->flush();
}

void TavrinFakeServicePeer::sendBandwidth(quint8 type, quint32 download, quint32 upload)
{
    send(buildBandwidthFrame(type, download, upload));
}
