#include "ping/qicmpsocket_unix.h"

#include "ping/qicmppacket.h"

#include <QtCore/qatomic.h>
#include <QtCore/qrandom.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

static sockaddr_in socketAddress(quint32 address, quint16 port)
{
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(address);
    return target;
}

QIcmpSocket::QIcmpSocket()
{
    if (!openDatagram())
        openRaw();
}

QIcmpSocket::QIcmpSocket(int descriptor, quint16 identifier)
    : m_descriptor(descriptor)
    , m_identifier(identifier)
{}

QIcmpSocket::~QIcmpSocket()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool QIcmpSocket::openDatagram()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return false;
    // The kernel owns the identifier of a datagram ICMP socket: binding picks one and the
    // requests' identifier field is rewritten to it. Read it back to match the replies.
    sockaddr_in local = socketAddress(INADDR_ANY, 0);
    socklen_t length = sizeof(local);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof(local)) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length) != 0) {
        ::close(fd);
        return false;
    }
    m_descriptor = fd;
    m_ipHeader = false;
    m_identifier = ntohs(local.sin_port);
    return true;
}

bool QIcmpSocket::openRaw()
{
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return false;
    m_descriptor = fd;
    m_ipHeader = true;
    // A raw socket sees every ICMP packet of the machine; a random identifier keeps the echoes
    // of other programs (and of other ping threads) apart from ours.
    m_identifier = quint16(QRandomGenerator::global()->bounded(1, 0x10000));
    return true;
}

quint16 QIcmpSocket::nextSequence()
{
    static QBasicAtomicInteger<quint32> counter = Q_BASIC_ATOMIC_INITIALIZER(0);
    static const quint32 start = QRandomGenerator::global()->generate();
    return quint16(start + counter.fetchAndAddRelaxed(1));
}

bool QIcmpSocket::sendEcho(quint32 address, quint16 sequence, const QByteArray &payload,
                           quint16 port)
{
    if (m_descriptor < 0)
        return false;
    const QByteArray request = QIcmpPacket::echoRequest(m_identifier, sequence, payload);
    const sockaddr_in target = socketAddress(address, port);
    ssize_t sent;
    do {
        sent = ::sendto(m_descriptor, request.constData(), size_t(request.size()), 0,
                        reinterpret_cast<const sockaddr *>(&target), sizeof(target));
    } while (sent < 0 && errno == EINTR);
    return sent == request.size();
}

QIcmpSocket::WaitResult QIcmpSocket::waitForReply(quint32 address, quint16 sequence,
                                                  const QByteArray &payload,
                                                  QDeadlineTimer deadline, int interruptDescriptor)
{
    if (m_descriptor < 0)
        return Failed;
    QIcmpPacket::Expectation expected;
    expected.address = address;
    expected.identifier = m_identifier;
    expected.sequence = sequence;
    expected.payload = payload;

    QByteArray buffer(65536, Qt::Uninitialized);
    for (;;) {
        const qint64 remaining = deadline.remainingTime();
        if (remaining == 0)
            return TimedOut;
        pollfd descriptors[2] = {{m_descriptor, POLLIN, 0}, {interruptDescriptor, POLLIN, 0}};
        const nfds_t count = interruptDescriptor >= 0 ? 2 : 1;
        const int ready = ::poll(descriptors, count, int(qMin<qint64>(remaining, 60000)));
        if (ready < 0 && errno != EINTR)
            return Failed;
        if (ready <= 0)
            continue;
        if (count == 2 && descriptors[1].revents)
            return Interrupted;
        if (!(descriptors[0].revents & POLLIN))
            return Failed;
        sockaddr_in sender = {};
        socklen_t length = sizeof(sender);
        const ssize_t size = ::recvfrom(m_descriptor, buffer.data(), size_t(buffer.size()),
                                        MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&sender),
                                        &length);
        if (size < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return Failed;
        }
        const QByteArray packet = QByteArray::fromRawData(buffer.constData(), int(size));
        if (QIcmpPacket::isEchoReply(packet, m_ipHeader, ntohl(sender.sin_addr.s_addr), expected))
            return Reply;
    }
}
