#include "sim/qtavrinsimsession.h"

#include "sim/qtavrinsimtunnel.h"
#include "sim/tavrinsimlog.h"

#include <QtNetwork/qlocalsocket.h>

QTavrinSimSession::QTavrinSimSession(QLocalSocket *socket, int number,
                                     const QTavrinSimOptions &options,
                                     const QStringList &knownHosts,
                                     QTavrinSimSharedState *sharedState, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_number(number)
    , m_options(options)
    , m_tunnel(new QTavrinSimTunnel(options, knownHosts, number, sharedState, this))
{
    m_socket->setParent(this);
    connect(m_socket, &QLocalSocket::readyRead, this, &QTavrinSimSession::socket_readyRead);
    connect(m_socket, &QLocalSocket::disconnected, this, &QTavrinSimSession::socket_disconnected);
    connect(m_tunnel, &QTavrinSimTunnel::frameReady, this, &QTavrinSimSession::tunnel_frameReady);
    log("CLIENT", QStringLiteral("connected"));
    // Bytes may have arrived before the signals were connected.
    if (m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, "socket_readyRead", Qt::QueuedConnection);
}

QTavrinSimSession::~QTavrinSimSession()
{
    m_socket->disconnect(this);
    m_tunnel->shutDown();
}

void QTavrinSimSession::setReading(bool reading)
{
    m_reading = reading;
    // Qt reads what the client sends into the socket's own buffer; kept small, the rest stays
    // in the system's buffers, which fill up, as with a service that is stuck.
    m_socket->setReadBufferSize(reading ? 0 : 1);
    if (reading)
        socket_readyRead();
}

void QTavrinSimSession::socket_readyRead()
{
    if (!m_reading)
        return;
    m_splitter.append(m_socket->readAll());
    QByteArray frame;
    while (!m_closing && m_splitter.nextFrame(&frame)) {
        ++m_received;
        log("RECV", QStringLiteral("type=%1 len=%2 %3")
                            .arg(quint8(frame.at(2)))
                            .arg(frame.size())
                            .arg(simHexBytes(frame)));
        m_tunnel->handleFrame(frame);
        if (m_options.closeAfterReceived > 0 && m_received == m_options.closeAfterReceived)
            closeLink(QStringLiteral("after %1 frames received").arg(m_received));
    }
    if (m_splitter.droppedFrames() != m_droppedLogged) {
        log("DROP", QStringLiteral("malformed=%1 total=%2")
                            .arg(m_splitter.droppedFrames() - m_droppedLogged)
                            .arg(m_splitter.droppedFrames()));
        m_droppedLogged = m_splitter.droppedFrames();
    }
}

void QTavrinSimSession::tunnel_frameReady(const QByteArray &frame)
{
    if (m_closing) {
        log("UNSENT",
            QStringLiteral("type=%1 len=%2 (closing)").arg(quint8(frame.at(2))).arg(frame.size()));
        return;
    }
    log("SEND", QStringLiteral("type=%1 len=%2 %3")
                        .arg(quint8(frame.at(2)))
                        .arg(frame.size())
                        .arg(simHexBytes(frame)));
    m_socket->write(frame);
}

void QTavrinSimSession::send(const QByteArray &bytes)
{
    m_socket->write(bytes);
}

void QTavrinSimSession::closeLink(const QString &reason)
{
    m_closing = true;
    if (m_closed)
        return;
    m_closed = true;
    log("CLOSE", reason);
    m_tunnel->shutDown();
    // Bytes already written still go out before the link closes.
    m_socket->disconnectFromServer();
}

void QTavrinSimSession::socket_disconnected()
{
    m_closing = true;
    m_closed = true;
    m_tunnel->shutDown();
    log("CLIENT", QStringLiteral("disconnected"));
    emit finished();
}

void QTavrinSimSession::log(const char *verb, const QString &text) const
{
    QString line = QLatin1String(verb) + QStringLiteral(" session=%1").arg(m_number);
    if (!text.isEmpty())
        line += QLatin1Char(' ') + text;
    simLog("SVC", line);
}
