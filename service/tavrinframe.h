#ifndef TAVRINFRAME_H
#define TAVRINFRAME_H

#include <QtCore/qbytearray.h>
#include <QtCore/qglobal.h>

// The frame format spoken with the local VPN service, in both directions:
//   0x01, length (whole frame, 4..255, one unsigned byte), type, payload..., 0x02
// Multi-byte numbers are little-endian.

// The VPN connection state that the service reports. Any other value is an unknown state.
enum ConnectionState : quint8 {
    Connecting = 0,
    Connected = 1,
    Disconnecting = 2,
    Disconnected = 3,
    Timeout = 4
};

enum MessageType : quint8 {
    StatusRequest = 1,
    ConnectToVPNRequest = 3,
    AbortRequest = 5,
    ServerListRequest = 7,
    CredentialsRequest = 9,
    CredentialsReply = 10,
    UpdateCAFileRequest = 11,
    StatusChange = 13,
    BandwidthUpdate = 14,
    LoginFailed = 15
};

enum : int {
    FrameStartByte = 0x01,
    FrameEndByte = 0x02,
    MinimumFrameSize = 4,
    MaximumFrameSize = 255
};

// Builds one frame around the payload. Returns an empty array when the frame would be longer
// than 255 bytes, which the one-byte length cannot express.
QByteArray buildFrame(quint8 type, const QByteArray &payload = QByteArray());

// Payload of a connect request: host length, host, credential length, credential text.
// Returns an empty array when the host or the credential text is longer than 255 bytes.
QByteArray buildConnectPayload(const QByteArray &host, const QByteArray &credentials);

// Frames the service sends (used by the stand-in service and by tests).
QByteArray buildStatusFrame(quint8 state);
QByteArray buildConnectedFrame(const QByteArray &address, quint32 startTime);
QByteArray buildBandwidthFrame(quint8 type, quint32 download, quint32 upload);
QByteArray buildCredentialsReplyFrame(const QByteArray &credentials);

// Reads a connect request frame (type 3) back into its host and credential text. Returns false
// when the frame is not a well-formed connect request.
bool parseConnectRequest(const QByteArray &frame, QByteArray *host, QByteArray *credentials);

// Cuts a byte stream into frames. Pure: no signals, no socket. Bytes are appended as they
// arrive; nextFrame() hands out complete frames in order. The length byte is unsigned: frames
// of 4 to 255 bytes are taken. A length byte of 0 drops one byte; 1 to 3 drop that many bytes.
// A frame whose first byte is not 0x01 or whose last byte is not 0x02 is dropped, and reading
// goes on behind its declared length. Runs in time linear in the bytes appended.
class QTavrinFrameSplitter
{
public:
    void append(const QByteArray &data);
    void append(const char *data, qsizetype size);

    // Stores the next well-formed frame in *frame and returns true; returns false when no
    // complete frame is buffered (an incomplete one stays until more bytes arrive).
    bool nextFrame(QByteArray *frame);

    // Bytes buffered and not yet handed out or dropped.
    qsizetype bufferedSize() const { return m_buffer.size() - m_offset; }
    // Frames dropped as malformed so far.
    quint64 droppedFrames() const { return m_dropped; }
    void clear();

private:
    QByteArray m_buffer;
    qsizetype m_offset = 0;
    quint64 m_dropped = 0;
};

#endif // TAVRINFRAME_H
