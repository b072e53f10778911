#include "ping/qicmppacket.h"

#include <QtCore/qendian.h>

namespace QIcmpPacket {

static quint16 word(const QByteArray &data, int offset)
{
    return qFromBigEndian<quint16>(data.constData() + offset);
}

quint16 checksum(const QByteArray &data)
{
    quint32 sum = 0;
    const int size = data.size();
    for (int i = 0; i + 1 < size; i += 2)
        sum += word(data, i);
    if (size % 2)
        sum += quint32(quint8(data.at(size - 1))) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return quint16(~sum);
}

QByteArray echoRequest(quint16 identifier, quint16 sequence, const QByteArray &payload)
{
    QByteArray packet(HeaderSize, '\0');
    packet[0] = char(EchoRequest);
    packet[1] = 0;
    qToBigEndian<quint16>(identifier, packet.data() + 4);
    qToBigEndian<quint16>(sequence, packet.data() + 6);
    packet += payload;
    qToBigEndian<quint16>(checksum(packet), packet.data() + 2);
    return packet;
}

// The ICMP message inside a raw packet, or a null array when the IP header does not belong to
// an ICMP packet from the expected address.
static QByteArray icmpMessage(const QByteArray &packet, quint32 address)
{
    if (packet.size() < MinIpHeaderSize)
        return QByteArray();
    const quint8 versionAndLength = quint8(packet.at(0));
    const int headerSize = (versionAndLength & 0x0f) * 4;
    if ((versionAndLength >> 4) != 4 || headerSize < MinIpHeaderSize || packet.size() < headerSize)
        return QByteArray();
    const quint8 protocol = quint8(packet.at(9));
    const quint32 source = qFromBigEndian<quint32>(packet.constData() + 12);
    if (protocol != 1 || source != address)
        return QByteArray();
    return packet.mid(headerSize);
}

bool isEchoReply(const QByteArray &packet, bool withIpHeader, quint32 sender,
                 const Expectation &expected)
{
    if (sender != expected.address)
        return false;
    const QByteArray message = withIpHeader ? icmpMessage(packet, expected.address) : packet;
    if (message.size() != HeaderSize + expected.payload.size())
        return false;
    if (quint8(message.at(0)) != EchoReply || message.at(1) != 0)
        return false;
    if (checksum(message) != 0)
        return false;
    return word(message, 4) == expected.identifier && word(message, 6) == expected.sequence
           && message.mid(HeaderSize) == expected.payload;
}

} // namespace QIcmpPacket
