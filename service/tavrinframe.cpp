#include "service/tavrinframe.h"

#include <QtCore/qendian.h>

namespace {

const int MaximumFieldSize = 255;
const int PrefetchDistance = 1024;

quint8 byteAt(const char *data, int index)
{
    return quint8(data[index]);
}

// Asks the processor for bytes the reader needs soon. The reader walks a large arrival front to
// back, each step depending on a length byte it has just read, which the processor's own
// prefetching follows poorly; without this a single large arrival reads at half the speed of
// many small ones.
inline void prefetch(const char *address)
{
#if defined(Q_CC_GNU) || defined(Q_CC_CLANG)
    __builtin_prefetch(address);
#else
    Q_UNUSED(address);
#endif
}

QByteArray littleEndian32(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

bool decodeStatusChange(const char *frame, int size, TavrinServiceMessage *message)
{
    // state byte at 3, end byte behind it
    if (size < 5)
        return false;
    message->state = byteAt(frame, 3);
    if (message->state != Connected)
        return true;
    // 01 n 0D 01 L address(L) time(4) 02
    if (size < 10)
        return false;
    const int addressSize = byteAt(frame, 4);
    if (size < 10 + addressSize)
        return false;
    message->data = QByteArray(frame + 5, addressSize);
    message->startTime = qFromLittleEndian<quint32>(frame + 5 + addressSize);
    return true;
}

bool decodeBandwidthUpdate(const char *frame, int size, TavrinServiceMessage *message)
{
    if (size < 13)
        return false;
    message->bandwidthType = byteAt(frame, 3);
    message->download = qFromLittleEndian<quint32>(frame + 4);
    message->upload = qFromLittleEndian<quint32>(frame + 8);
    return true;
}

} // namespace

QByteArray buildFrame(quint8 type, const QByteArray &payload)
{
    const int size = payload.size() + MinimumFrameSize;
    if (size > MaximumFrameSize)
        return QByteArray();
    QByteArray frame;
    frame.reserve(size);
    frame.append(char(FrameStartByte));
    frame.append(char(size));
    frame.append(char(type));
    frame.append(payload);
    frame.append(char(FrameEndByte));
    return frame;
}

QByteArray packLengthPrefixedPair(const QByteArray &first, const QByteArray &second)
{
    if (first.size() > MaximumFieldSize || second.size() > MaximumFieldSize)
        return QByteArray();
    QByteArray packed;
    packed.reserve(first.size() + second.size() + 2);
    packed.append(char(first.size()));
    packed.append(first);
    packed.append(char(second.size()));
    packed.append(second);
    return packed;
}

QByteArray buildConnectPayload(const QByteArray &host, const QByteArray &credentials)
{
    return packLengthPrefixedPair(host, credentials);
}

QByteArray buildStatusFrame(quint8 state)
{
    return buildFrame(StatusChange, QByteArray(1, char(state)));
}

QByteArray buildConnectedFrame(const QByteArray &address, quint32 startTime)
{
    if (address.size() > MaximumFieldSize)
        return QByteArray();
    QByteArray payload;
    payload.append(char(Connected));
    payload.append(char(address.size()));
    payload.append(address);
    payload.append(littleEndian32(startTime));
    return buildFrame(StatusChange, payload);
}

QByteArray buildBandwidthFrame(quint8 type, quint32 download, quint32 upload)
{
    QByteArray payload(1, char(type));
    payload.append(littleEndian32(download));
    payload.append(littleEndian32(upload));
    return buildFrame(BandwidthUpdate, payload);
}

QByteArray buildCredentialsReplyFrame(const QByteArray &credentials)
{
    return buildFrame(CredentialsReply, credentials);
}

bool parseConnectRequest(const QByteArray &frame, QByteArray *host, QByteArray *credentials)
{
    const int size = frame.size();
    const char *data = frame.constData();
    // 01 n 03 hostLength host credentialLength credentials 02
    if (size < 6 || size > MaximumFrameSize || byteAt(data, 0) != FrameStartByte
        || byteAt(data, 1) != size || byteAt(data, 2) != ConnectToVPNRequest
        || byteAt(data, size - 1) != FrameEndByte) {
        return false;
    }
    const int hostSize = byteAt(data, 3);
    const int credentialsAt = 4 + hostSize;
    if (credentialsAt >= size - 1)
        return false;
    const int credentialsSize = byteAt(data, credentialsAt);
    if (credentialsAt + 1 + credentialsSize != size - 1)
        return false;
    if (host)
        *host = frame.mid(4, hostSize);
    if (credentials)
        *credentials = frame.mid(credentialsAt + 1, credentialsSize);
    return true;
}

void QTavrinFrameSplitter::append(const QByteArray &data)
{
    // Nothing buffered: take the arrival over as it is, without a copy, unless it only points
    // at someone else's bytes (QByteArray::fromRawData() has no capacity of its own).
    if (bufferedSize() == 0 && !data.isEmpty() && data.capacity() >= data.size()) {
        m_buffer = data;
        m_offset = 0;
        return;
    }
    append(data.constData(), data.size());
}

void QTavrinFrameSplitter::append(const char *data, qsizetype size)
{
    if (size <= 0)
        return;
    // Drop what has been read once it is at least as large as what is left, so that every
    // byte is moved at most once more than it is read: linear however the bytes arrive.
    if (m_offset > 0 && m_offset >= bufferedSize()) {
        if (bufferedSize() == 0)
            m_buffer.clear();
        else if (m_buffer.isDetached())
            m_buffer.remove(0, int(m_offset));
        else
            m_buffer = m_buffer.mid(int(m_offset)); // copies only what is left
        m_offset = 0;
    }
    m_buffer.append(data, int(size));
}

bool QTavrinFrameSplitter::nextFrame(const char **data, int *size)
{
    while (bufferedSize() >= MinimumFrameSize) {
        const char *frame = m_buffer.constData() + m_offset;
        if (bufferedSize() > PrefetchDistance)
            prefetch(frame + PrefetchDistance);
        const int length = byteAt(frame, 1);
        if (length < MinimumFrameSize) {
            // No frame is this short: drop that many bytes (one for a length of 0) and go on.
            m_offset += qMax(length, 1);
            ++m_dropped;
            continue;
        }
        if (length > bufferedSize())
            return false;
        m_offset += length;
        if (byteAt(frame, 0) != FrameStartByte || byteAt(frame, length - 1) != FrameEndByte) {
            ++m_dropped;
            continue;
        }
        *data = frame;
        *size = length;
        return true;
    }
    return false;
}

bool QTavrinFrameSplitter::nextFrame(QByteArray *frame)
{
    const char *data = nullptr;
    int size = 0;
    if (!nextFrame(&data, &size))
        return false;
    *frame = QByteArray(data, size);
    return true;
}

void QTavrinFrameSplitter::clear()
{
    m_buffer.clear();
    m_offset = 0;
}

bool decodeServiceFrame(const char *frame, int size, TavrinServiceMessage *message)
{
    if (size < MinimumFrameSize)
        return false;
    *message = TavrinServiceMessage();
    message->type = byteAt(frame, 2);
    switch (message->type) {
    case CredentialsReply:
        message->data = QByteArray(frame + 3, size - MinimumFrameSize);
        return true;
    case StatusChange:
        return decodeStatusChange(frame, size, message);
    case BandwidthUpdate:
        return decodeBandwidthUpdate(frame, size, message);
    case LoginFailed:
        return true;
    default:
        return false;
    }
}

void applyBandwidthBaseline(quint8 type, quint32 *download, quint32 *upload, quint32 *lastDownload,
                            quint32 *lastUpload, quint8 *lastBandwidthType)
{
    const quint32 currentDownload = *download;
    const quint32 currentUpload = *upload;
    if (type != *lastBandwidthType) {
        *lastBandwidthType = type;
        *lastDownload = currentDownload;
        *lastUpload = currentUpload;
    } else {
        if (*lastDownload == 0)
            *lastDownload = currentDownload;
        if (*lastUpload == 0)
            *lastUpload = currentUpload;
    }
    if (type != 0) {
        *download = currentDownload - *lastDownload;
        *upload = currentUpload - *lastUpload;
    }
    *lastDownload = currentDownload;
    *lastUpload = currentUpload;
}
