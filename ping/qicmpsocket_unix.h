#ifndef QICMPSOCKET_UNIX_H
#define QICMPSOCKET_UNIX_H

#include <QtCore/qbytearray.h>
#include <QtCore/qdeadlinetimer.h>

// An IPv4 ICMP socket for echo requests: a datagram ICMP socket where the system allows it
// (net.ipv4.ping_group_range), otherwise a raw socket (root or CAP_NET_RAW). Closed on
// destruction.
class QIcmpSocket
{
public:
    QIcmpSocket();
    // Adopts an open datagram descriptor whose packets carry no IP header; the echo requests
    // are then sent to it as they are. Used to feed crafted replies to the reply matching.
    QIcmpSocket(int descriptor, quint16 identifier);
    ~QIcmpSocket();

    bool isValid() const { return m_descriptor >= 0; }
    bool hasIpHeader() const { return m_ipHeader; }
    quint16 identifier() const { return m_identifier; }

    // Sends one echo request to the address (host byte order); port is only used by an adopted
    // descriptor. False when the request could not be sent.
    bool sendEcho(quint32 address, quint16 sequence, const QByteArray &payload, quint16 port = 0);
    enum WaitResult { Reply, TimedOut, Interrupted, Failed };

    // Reads packets until the reply to that request arrives, the deadline passes, or
    // interruptDescriptor (when not -1) becomes readable. Every other packet is dropped.
    WaitResult waitForReply(quint32 address, quint16 sequence, const QByteArray &payload,
                            QDeadlineTimer deadline, int interruptDescriptor = -1);

    // The next sequence number of this process's echo requests.
    static quint16 nextSequence();

private:
    Q_DISABLE_COPY(QIcmpSocket)

    bool openDatagram();
    bool openRaw();

    int m_descriptor = -1;
    bool m_ipHeader = false;
    quint16 m_identifier = 0;
};

#endif // QICMPSOCKET_UNIX_H
