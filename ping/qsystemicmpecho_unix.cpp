#include "ping/qsystemicmpecho.h"

#include "ping/qicmpsocket_unix.h"

#include <QtCore/qelapsedtimer.h>
#include <QtCore/qurl.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The first IPv4 address of the host (host byte order), 0 when there is none.
static quint32 resolveIPv4(const QString &hostname)
{
    const QByteArray name = QUrl::toAce(hostname);
    if (name.isEmpty())
        return 0;
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    addrinfo *result = nullptr;
    if (::getaddrinfo(name.constData(), nullptr, &hints, &result) != 0 || !result)
        return 0;
    quint32 address = 0;
    for (const addrinfo *entry = result; entry && !address; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr)
            address = ntohl(reinterpret_cast<const sockaddr_in *>(entry->ai_addr)->sin_addr.s_addr);
    }
    ::freeaddrinfo(result);
    return address;
}

QSystemIcmpEcho::QSystemIcmpEcho()
{
    if (::pipe2(m_wakeup, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wakeup[0] = m_wakeup[1] = -1;
}

QSystemIcmpEcho::~QSystemIcmpEcho()
{
    for (const int descriptor : m_wakeup) {
        if (descriptor >= 0)
            ::close(descriptor);
    }
}

void QSystemIcmpEcho::abort()
{
    m_aborted.storeRelease(1);
    if (m_wakeup[1] >= 0) {
        const char byte = 0;
        ssize_t written;
        do {
            written = ::write(m_wakeup[1], &byte, 1);
        } while (written < 0 && errno == EINTR);
    }
}

int QSystemIcmpEcho::echo(const QString &hostname)
{
    if (m_aborted.loadAcquire())
        return -1;
    const quint32 address = resolveIPv4(hostname);
    if (!address || m_aborted.loadAcquire())
        return -1;
    QIcmpSocket socket;
    if (!socket.isValid())
        return -1;
    const QByteArray data = payload();
    const quint16 sequence = QIcmpSocket::nextSequence();
    QElapsedTimer clock; // monotonic
    clock.start();
    const QDeadlineTimer deadline(TimeoutMs);
    if (!socket.sendEcho(address, sequence, data))
        return -1;
    if (socket.waitForReply(address, sequence, data, deadline, m_wakeup[0]) != QIcmpSocket::Reply)
        return -1;
    return int(clock.elapsed());
}
