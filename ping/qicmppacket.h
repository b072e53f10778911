#ifndef QICMPPACKET_H
#define QICMPPACKET_H

#include <QtCore/qbytearray.h>

// Building and recognising ICMP echo packets. Addresses are IPv4 addresses in host byte order.
namespace QIcmpPacket {

enum : quint8 { EchoReply = 0, EchoRequest = 8 };
enum : int { HeaderSize = 8, MinIpHeaderSize = 20 };

// What a reply must carry to be taken for the answer to our request.
struct Expectation
{
    quint32 address = 0;
    quint16 identifier = 0;
    quint16 sequence = 0;
    QByteArray payload;
};

// The Internet checksum (one's complement of the one's complement sum of 16-bit words).
quint16 checksum(const QByteArray &data);

// An echo request with a valid checksum.
QByteArray echoRequest(quint16 identifier, quint16 sequence, const QByteArray &payload);

// True only when the packet is the echo reply to the expected request: type 0, code 0, a valid
// checksum, the expected identifier, sequence and payload, coming from the expected address
// (both the address the socket reported and, with an IP header, the header's source).
// withIpHeader: the packet starts with the IPv4 header (raw sockets); datagram ICMP sockets
// deliver the ICMP message alone.
bool isEchoReply(const QByteArray &packet, bool withIpHeader, quint32 sender,
                 const Expectation &expected);

} // namespace QIcmpPacket

#endif // QICMPPACKET_H
