#include "service/qtavrinserviceconnection.h"

#include "base/tavrinlog.h"
#include "service/tavrincredentials.h"
#include "service/tavrinservicepeer.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qdeadlinetimer.h>
#include <QtCore/qthread.h>

namespace {

const int ConnectTimeout = 100;
// While the start patience lasts, a service that is not there is looked for this often.
const int StartRetryMs = 250;
int startPatienceMs = 0;
// The socket keeps at most this much of what the service sent; beyond it the bytes wait on
// the service's side.
const qint64 ReadBufferSize = 64 * 1024;
const qint64 ReadChunk = 4096;
// Requests waiting to be written beyond this mean a service that does not read them.
const qint64 MaximumUnwritten = 64 * 1024;

} // namespace

QTavrinServiceConnection::QTavrinServiceConnection(QObject *parent)
    : QObject(parent)
{
    socket.setReadBufferSize(ReadBufferSize);
    connect(&socket, &QLocalSocket::readyRead, this, &QTavrinServiceConnection::socket_readyRead);
    connect(&socket, &QLocalSocket::disconnected, this,
            &QTavrinServiceConnection::socket_disconnected);
}

QTavrinServiceConnection::~QTavrinServiceConnection()
{
    // The socket closes while it is destroyed; that is no loss to report. A request written
    // just before still goes out.
    quietClose = true;
    socket.disconnect(this);
    if (isLinkOpen())
        socket.flush();
}

void QTavrinServiceConnection::setStartPatience(int milliseconds)
{
    startPatienceMs = milliseconds;
}

bool QTavrinServiceConnection::connectToService()
{
    quietClose = false;
    const QDeadlineTimer patience(startPatienceMs);
    for (bool first = true;; first = false) {
        socket.connectToServer(QStringLiteral("Tavrin"), QIODevice::ReadWrite);
        socket.waitForConnected(ConnectTimeout);
        if (isLinkOpen())
            return checkPeer();
        socket.abort();
        if (patience.hasExpired())
            return false;
        if (first) {
            writeLog(QStringLiteral("QTavrinServiceConnection - the service is not there yet "
                                    "(%1); looking for it for up to %2 s")
                             .arg(socket.errorString())
                             .arg(startPatienceMs / 1000),
                     Warning);
        }
        // Nothing is on screen yet that could answer the user meanwhile.
        QThread::msleep(ulong(qMin<qint64>(StartRetryMs, patience.remainingTime())));
    }
}

bool QTavrinServiceConnection::isConnected() const
{
    return isLinkOpen();
}

// The socket stays open as a device after the link itself has gone down; what counts for the
// requests is the link.
bool QTavrinServiceConnection::isLinkOpen() const
{
    return socket.isOpen() && socket.state() == QLocalSocket::ConnectedState;
}

bool QTavrinServiceConnection::checkPeer()
{
    QString note;
    if (checkServicePeer(socket.socketDescriptor(), &note)) {
        if (!note.isEmpty())
            writeLog(QStringLiteral("QTavrinServiceConnection - service taken on trust: ") + note,
                     Warning);
        return true;
    }
    writeLog(QStringLiteral("QTavrinServiceConnection - not talking to the service: ") + note,
             Warning);
    quietClose = true;
    socket.abort();
    return false;
}

void QTavrinServiceConnection::disconnectFromService()
{
    quietClose = true;
    socket.disconnectFromServer();
}

bool QTavrinServiceConnection::sendStatusRequest()
{
    // The service closes the link after answering a status request.
    return sendRequest("sendStatusRequest", buildFrame(StatusRequest), true);
}

bool QTavrinServiceConnection::sendConnectToVPNRequest(QString host, QString username,
                                                       QString password)
{
    // An empty credential text means a part too long for its one-byte length.
    const QByteArray credentialText = encodeUserPass(username, password);
    const QByteArray payload = credentialText.isEmpty()
                                       ? QByteArray()
                                       : buildConnectPayload(host.toUtf8(), credentialText);
    // An empty payload means a host too long; an empty frame, a frame too long.
    const QByteArray frame = payload.isEmpty() ? QByteArray()
                                               : buildFrame(ConnectToVPNRequest, payload);
    return sendRequest("sendConnectToVPNRequest", frame);
}

bool QTavrinServiceConnection::sendAbortRequest()
{
    return sendRequest("sendAbortRequest", buildFrame(AbortRequest));
}

bool QTavrinServiceConnection::sendServerListRequest()
{
    return sendRequest("sendServerListRequest", buildFrame(ServerListRequest));
}

bool QTavrinServiceConnection::sendCredentialsRequest()
{
    return sendRequest("sendCredentialsRequest", buildFrame(CredentialsRequest));
}

bool QTavrinServiceConnection::sendUpdateCAFileRequest()
{
    return sendRequest("sendUpdateCAFileRequest", buildFrame(UpdateCAFileRequest));
}

// An empty frame is a request that the frame format cannot express: nothing is sent then.
bool QTavrinServiceConnection::sendRequest(const char *method, const QByteArray &frame,
                                           bool closesLink)
{
    const QLatin1String name(method);
    QString refusal;
    if (!isLinkOpen()) {
        refusal = QStringLiteral("TavrinServiceConnection is not open for method %1").arg(name);
    } else if (socket.bytesToWrite() > MaximumUnwritten) {
        refusal = QStringLiteral("TavrinServiceConnection cannot send method %1: the service "
                                 "does not read the requests sent before")
                          .arg(name);
    } else if (frame.isEmpty()) {
        refusal = QStringLiteral("TavrinServiceConnection cannot send method %1: the host name or "
                                 "the credentials are too long for a request")
                          .arg(name);
    }
    if (!refusal.isEmpty()) {
        writeLog(refusal, Warning);
        emit error(refusal);
        return false;
    }
    if (closesLink)
        quietClose = true;
    socket.write(frame);
    return true;
}

// A service that sends faster than the window can show must not freeze it: the frames are
// handled a few milliseconds at a time, and the rest waits for the next turn of the event loop.
// That next turn is asked for before each frame, so that a receiver that runs an event loop of
// its own (a modal box) does not hold the frames behind it up. Every turn handles at least one
// frame: a turn that ran out before its first one (a busy machine) would have asked for no next
// turn, and the frames would have waited for the service to send more.
void QTavrinServiceConnection::socket_readyRead()
{
    readScheduled = false;
    const QDeadlineTimer turn(readTurn);
    QByteArray frame;
    while (takeFrame(&frame)) {
        if (!readScheduled) {
            readScheduled = true;
            QMetaObject::invokeMethod(this, &QTavrinServiceConnection::socket_readyRead,
                                      Qt::QueuedConnection);
        }
        dispatchFrame(frame.constData(), frame.size());
        if (turn.hasExpired())
            break;
    }
}

// Takes the next whole frame, reading more of the socket when none is buffered. A copy: a
// receiver may run an event loop that reads on before the frame has been handled.
bool QTavrinServiceConnection::takeFrame(QByteArray *frame)
{
    while (!readBuffer.nextFrame(frame)) {
        if (socket.bytesAvailable() <= 0)
            return false;
        readBuffer.append(socket.read(ReadChunk));
    }
    return true;
}

void QTavrinServiceConnection::dispatchFrame(const char *frame, int size)
{
    TavrinServiceMessage message;
    if (!decodeServiceFrame(frame, size, &message))
        return;
    switch (message.type) {
    case CredentialsReply:
        emit credentials(message.data);
        break;
    case StatusChange:
        if (message.state == Connected) {
            // Receivers learn the address and the start time before the state.
            emit assignedIP(message.data);
            emit startTime(message.startTime);
        }
        emit notifyStatusChange(char(message.state));
        break;
    case BandwidthUpdate:
        applyBandwidthBaseline(message.bandwidthType, &message.download, &message.upload,
                               &lastDownload, &lastUpload, &lastBandwidthType);
        emit updateBandwidth(message.bandwidthType, message.download, message.upload);
        break;
    case LoginFailed:
        emit loginFailed();
        break;
    default:
        break;
    }
}

void QTavrinServiceConnection::socket_disconnected()
{
    // Frames the service sent before it closed the link are still handled.
    QByteArray frame;
    while (takeFrame(&frame))
        dispatchFrame(frame.constData(), frame.size());
    if (!quietClose)
        emit connectionLost();
}
