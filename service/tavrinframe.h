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

// Two byte strings, each behind a one-byte length: the layout of the connect payload and of the
// credential text before scrambling. Returns an empty array when either is longer than 255
// bytes, which the one-byte length cannot express.
QByteArray packLengthPrefixedPair(const QByteArray &first, const QByteArray &second);

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

    // The same without a copy: *data points into the buffer and stays valid until the next
    // append() or clear().
    bool nextFrame(const char **data, int *size);

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

// One frame from the service, taken apart. Only the fields of its type are filled.
struct TavrinServiceMessage
{
    quint8 type = 0;
    quint8 state = 0;      // StatusChange
    QByteArray data;       // CredentialsReply: the credential text; Connected: the assigned address
    quint32 startTime = 0; // StatusChange with the state Connected
    quint8 bandwidthType = 0; // BandwidthUpdate
    quint32 download = 0;
    quint32 upload = 0;
};

// Reads one well-formed frame from the service (as nextFrame() hands them out). Returns false,
// leaving *message unspecified, for a type the client does not read and for a frame too short
// for its type's layout: a state frame without its state byte, a Connected frame without room
// for its address (length byte unsigned) and start time, a bandwidth frame under 13 bytes.
bool decodeServiceFrame(const char *frame, int size, TavrinServiceMessage *message);

// Turns the counters of a bandwidth sample into the values reported. Type 0 hands them on as
// they are; any other type reports the increase since the previous sample of the same type
// (unsigned 32-bit arithmetic), and the first sample after a change of type reports 0, 0. A
// baseline of 0 is replaced by the current value. The baseline starts at 0, 0, type 0xFF.
void applyBandwidthBaseline(quint8 type, quint32 *download, quint32 *upload, quint32 *lastDownload,
                            quint32 *lastUpload, quint8 *lastBandwidthType);

#endif // TAVRINFRAME_H
