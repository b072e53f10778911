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
    , m_random(options.seed ^ (0x9e3779b9u * quint32(number)))
{
    m_socket->setParent(this);
    connect(m_socket, &QLocalSocket::readyRead, this, &QTavrinSimSession::socket_readyRead);
    connect(m_socket, &QLocalSocket::disconnected, this, &QTavrinSimSession::socket_disconnected);
    connect(m_tunnel, &QTavrinSimTunnel::frameReady, this, &QTavrinSimSession::tunnel_frameReady);
    m_writeTimer.setInterval(1);
    connect(&m_writeTimer, &QTimer::timeout, this, &QTavrinSimSession::writeTimer_timeout);
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &QTavrinSimSession::closeTimer_timeout);
    if (options.closeAfterSeconds > 0)
        m_closeTimer.start(options.closeAfterSeconds * 1000);
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

QByteArray QTavrinSimSession::malformedFrame(int index)
{
    static const QByteArray frames[] = {
            // A Disconnected state frame with a wrong start byte.
            QByteArray::fromHex("7f050d0302"),
            // A LoginFailed frame with a wrong end byte.
            QByteArray::fromHex("01040fff"),
            // A frame of a type the client does not read.
            QByteArray::fromHex("0106633a2902"),
            // A length byte of 3: three bytes to skip, which would read as a LoginFailed.
            QByteArray::fromHex("01030f"),
            // A bandwidth frame whose last byte is not the end byte.
            QByteArray::fromHex("010d0e01ffffff00ffffff0000"),
            // A Connected frame with a wrong start byte.
            QByteArray::fromHex("000e0d010331323378563412ff02"),
    };
    const int count = int(sizeof(frames) / sizeof(frames[0]));
    return frames[((index % count) + count) % count];
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
            closeWhenWritten(QStringLiteral("after %1 frames received").arg(m_received));
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
    if (m_options.malformed) {
        const QByteArray bad = malformedFrame(m_malformedSent++);
        log("SEND-BAD", QStringLiteral("len=%1 %2").arg(bad.size()).arg(simHexBytes(bad)));
        sendBytes(bad);
    }
    ++m_sent;
    log("SEND", QStringLiteral("type=%1 len=%2 %3")
                        .arg(quint8(frame.at(2)))
                        .arg(frame.size())
                        .arg(simHexBytes(frame)));
    sendBytes(frame);
    if (m_options.closeAfterSent > 0 && m_sent == m_options.closeAfterSent)
        closeWhenWritten(QStringLiteral("after %1 frames sent").arg(m_sent));
}

void QTavrinSimSession::sendBytes(const QByteArray &bytes)
{
    if (!m_options.fragment) {
        m_socket->write(bytes);
        return;
    }
    for (int offset = 0; offset < bytes.size();) {
        const int size = qMin(1 + int(m_random.bounded(3)), bytes.size() - offset);
        m_pending.append(bytes.mid(offset, size));
        offset += size;
    }
    if (!m_writeTimer.isActive())
        m_writeTimer.start();
}

void QTavrinSimSession::writeTimer_timeout()
{
    // One piece per tick, each flushed on its own, so the client sees many small arrivals.
    if (!m_pending.isEmpty()) {
        m_socket->write(m_pending.takeFirst());
        m_socket->flush();
    }
    if (m_pending.isEmpty()) {
        m_writeTimer.stop();
        if (m_closing)
            closeLink(m_closeReason);
    }
}

void QTavrinSimSession::closeTimer_timeout()
{
    m_pending.clear();
    m_writeTimer.stop();
    m_closing = true;
    closeLink(QStringLiteral("after %1 seconds").arg(m_options.closeAfterSeconds));
}

void QTavrinSimSession::closeWhenWritten(const QString &reason)
{
    m_closing = true;
    m_closeReason = reason;
    if (m_pending.isEmpty())
        closeLink(reason);
}

void QTavrinSimSession::closeLink(const QString &reason)
{
    if (m_closed)
        return;
    m_closed = true;
    log("CLOSE", reason);
    m_tunnel->shutDown();
    m_closeTimer.stop();
    // Bytes already written still go out before the link closes.
    m_socket->disconnectFromServer();
}

void QTavrinSimSession::socket_disconnected()
{
    m_closing = true;
    m_closed = true;
    m_pending.clear();
    m_writeTimer.stop();
    m_closeTimer.stop();
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
