#include "ping/qsystemicmpecho.h"

#include <QtCore/qurl.h>

// Winsock's headers come before the ones that include windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <icmpapi.h>

// The first IPv4 address of the host (network byte order), 0 when there is none. Winsock has
// been started by the program's start-up.
static IPAddr resolveIPv4(const QString &hostname)
{
    const QByteArray name = QUrl::toAce(hostname);
    if (name.isEmpty())
        return 0;
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    addrinfo *result = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &result) != 0 || !result)
        return 0;
    IPAddr address = 0;
    for (const addrinfo *entry = result; entry && !address; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr)
            address = reinterpret_cast<const sockaddr_in *>(entry->ai_addr)->sin_addr.s_addr;
    }
    freeaddrinfo(result);
    return address;
}

QSystemIcmpEcho::QSystemIcmpEcho() = default;

QSystemIcmpEcho::~QSystemIcmpEcho() = default;

void QSystemIcmpEcho::abort()
{
    // IcmpSendEcho cannot be interrupted; a running echo ends by its time-out.
    m_aborted.storeRelease(1);
}

int QSystemIcmpEcho::echo(const QString &hostname)
{
    if (m_aborted.loadAcquire())
        return -1;
    const IPAddr address = resolveIPv4(hostname);
    if (!address || m_aborted.loadAcquire())
        return -1;
    const HANDLE icmp = IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE)
        return -1;
    QByteArray data = payload();
    // One reply record, the echoed payload and the 8 bytes of an ICMP error message.
    QByteArray reply(int(sizeof(ICMP_ECHO_REPLY)) + data.size() + 8, '\0');
    const ULONGLONG start = GetTickCount64();
    const DWORD replies = IcmpSendEcho(icmp, address, data.data(), WORD(data.size()), nullptr,
                                       reply.data(), DWORD(reply.size()), TimeoutMs);
    const ULONGLONG end = GetTickCount64();
    const auto *record = reinterpret_cast<const ICMP_ECHO_REPLY *>(reply.constData());
    const int latency = replies > 0 && record->Status == IP_SUCCESS ? int(end - start) : -1;
    IcmpCloseHandle(icmp);
    return latency;
}
