#ifndef QICMPECHO_H
#define QICMPECHO_H

#include <QtCore/qstring.h>

// Sends one ICMP echo request to a host and waits for its reply. The ping service measures
// through this interface; each platform supplies QSystemIcmpEcho, and tests inject their own.
class QIcmpEcho
{
public:
    virtual ~QIcmpEcho();

    // Resolves the host name to an IPv4 address, sends one echo request and waits for the
    // matching reply. Returns the round trip in milliseconds (0 or more), or -1 when the name
    // does not resolve, no ICMP socket can be opened or no reply arrives in time. Blocks the
    // calling thread for as long as that takes.
    virtual int echo(const QString &hostname) = 0;

    // Called from another thread: makes a running echo() give up and return -1 as soon as it
    // can, and every later one at once. The owner calls it before it stops the echo's thread.
    virtual void abort();

    // The time-out of one echo, in milliseconds.
    static constexpr int TimeoutMs = 1000;
    // The payload of every echo request (20 bytes, no terminating zero).
    static QByteArray payload();
};

#endif // QICMPECHO_H
