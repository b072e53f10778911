// Feeds arbitrary bytes to the frame reader the service connection uses, in pieces whose sizes
// the input chooses: the splitter, the decoding of every frame and the bandwidth baseline. The
// reader must never crash, read outside the buffer, hand out a malformed frame or stall.

#include "service/tavrinframe.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

// Splits the input into arrivals: the first byte is a seed for the piece sizes.
template<typename Sink>
void deliver(const uint8_t *data, size_t size, Sink sink)
{
    if (size == 0)
        return;
    unsigned state = data[0] | 1u;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    size_t left = size - 1;
    while (left > 0) {
        state = state * 1103515245u + 12345u;
        const size_t piece = qMin<size_t>(left, 1 + (state >> 16) % 300);
        sink(bytes, int(piece));
        bytes += piece;
        left -= piece;
    }
}

void splitAndDecode(const uint8_t *data, size_t size)
{
    QTavrinFrameSplitter splitter;
    quint32 lastDownload = 0;
    quint32 lastUpload = 0;
    quint8 lastType = 0xFF;
    deliver(data, size, [&](const char *bytes, int length) {
        splitter.append(bytes, length);
        const char *frame = nullptr;
        int frameSize = 0;
        while (splitter.nextFrame(&frame, &frameSize)) {
            check(frameSize >= MinimumFrameSize && frameSize <= MaximumFrameSize);
            check(quint8(frame[0]) == FrameStartByte && quint8(frame[1]) == frameSize);
            check(quint8(frame[frameSize - 1]) == FrameEndByte);
            TavrinServiceMessage message;
            if (decodeServiceFrame(frame, frameSize, &message) && message.type == BandwidthUpdate)
                applyBandwidthBaseline(message.bandwidthType, &message.download, &message.upload,
                                       &lastDownload, &lastUpload, &lastType);
        }
        // Anything left is less than one frame: the reader always gets on.
        check(splitter.bufferedSize() < MaximumFrameSize);
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    splitAndDecode(data, size);
    return 0;
}
