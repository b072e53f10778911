// Throughput of the frame reader over a realistic stream from the service: mostly bandwidth
// samples and state changes, with credentials replies, login failures and a few malformed
// frames, delivered in arrivals of 4 KiB (as a local socket hands them over) and in one
// arrival of 64 MiB. The arrivals are made before the clock runs, as the socket would have
// made them. A plain memcpy of the same bytes is the yardstick.

#include "service/qtavrinserviceconnection.h"
#include "service/tavrinframe.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qtemporarydir.h>
#include <QtNetwork/qlocalserver.h>
#include <QtNetwork/qlocalsocket.h>

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

const int StreamSize = 64 * 1024 * 1024;
const int SmallArrival = 4 * 1024;

QList<QByteArray> cycle()
{
    return {
            buildStatusFrame(Connecting),
            buildConnectedFrame("10.8.0.6", 1700000000u),
            buildBandwidthFrame(1, 1000, 2000),
            buildBandwidthFrame(1, 1500, 2600),
            buildBandwidthFrame(1, 2100, 3300),
            buildBandwidthFrame(1, 2800, 4100),
            buildCredentialsReplyFrame("oyKjLg=="),
            buildBandwidthFrame(1, 3600, 5000),
            QByteArray::fromHex("01050d0303"), // malformed: no end byte
            buildBandwidthFrame(1, 4500, 6000),
            buildFrame(LoginFailed),
            buildStatusFrame(Disconnecting),
            QByteArray::fromHex("0102"), // malformed: length 2
            buildStatusFrame(Disconnected),
    };
}

// One cycle of the stream ends with its one Disconnected.
const int CycleSize = [] {
    int size = 0;
    for (const QByteArray &frame : cycle())
        size += frame.size();
    return size;
}();

QByteArray makeStream()
{
    const QList<QByteArray> frames = cycle();
    QByteArray stream;
    stream.reserve(StreamSize + 256);
    while (stream.size() < StreamSize) {
        for (const QByteArray &frame : frames)
            stream += frame;
    }
    return stream;
}

const QByteArray &stream()
{
    static const QByteArray bytes = makeStream();
    return bytes;
}

// The stream cut into arrivals, each its own array as the socket's readAll() hands it over.
QVector<QByteArray> arrivals(int size)
{
    QVector<QByteArray> pieces;
    for (int offset = 0; offset < stream().size(); offset += size)
        pieces.append(stream().mid(offset, size));
    return pieces;
}

// Splits (and, when asked, decodes) the whole stream in arrivals of the given size.
void readStream(int arrival, bool decode, benchmark::State &state)
{
    const QVector<QByteArray> pieces = arrivals(arrival);
    for (auto _ : state) {
        QTavrinFrameSplitter splitter;
        quint64 frames = 0;
        quint64 sum = 0;
        for (const QByteArray &piece : pieces) {
            splitter.append(piece);
            const char *frame = nullptr;
            int size = 0;
            while (splitter.nextFrame(&frame, &size)) {
                ++frames;
                if (decode) {
                    TavrinServiceMessage message;
                    if (decodeServiceFrame(frame, size, &message))
                        sum += message.download + message.state;
                } else {
                    sum += quint8(frame[2]);
                }
            }
        }
        benchmark::DoNotOptimize(frames);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(qint64(state.iterations()) * stream().size());
}

void BM_SplitArrivalsOf4KiB(benchmark::State &state)
{
    readStream(SmallArrival, false, state);
}

void BM_SplitOneArrivalOf64MiB(benchmark::State &state)
{
    readStream(stream().size(), false, state);
}

void BM_SplitAndDecodeArrivalsOf4KiB(benchmark::State &state)
{
    readStream(SmallArrival, true, state);
}

void BM_SplitAndDecodeOneArrivalOf64MiB(benchmark::State &state)
{
    readStream(stream().size(), true, state);
}

// The whole connection: the stream written by a service on a real local socket, read, split,
// copied, decoded and raised as signals. The socket lives in a folder of its own.
void readWithConnection(int arrival, benchmark::State &state)
{
    QTemporaryDir folder;
    qputenv("TMPDIR", folder.path().toLocal8Bit());
    const QVector<QByteArray> pieces = arrivals(arrival);
    for (auto _ : state) {
        QLocalServer service;
        service.listen(QStringLiteral("Tavrin"));
        QTavrinServiceConnection connection;
        if (!connection.connectToService() || !service.waitForNewConnection(1000)) {
            state.SkipWithError("no local socket");
            return;
        }
        QLocalSocket *peer = service.nextPendingConnection();
        qint64 disconnections = 0;
        QObject::connect(&connection, &QTavrinServiceConnection::notifyStatusChange,
                         [&disconnections](char code) { disconnections += code == Disconnected; });
        for (const QByteArray &piece : pieces)
            peer->write(piece);
        while (disconnections < stream().size() / CycleSize) {
            peer->waitForBytesWritten(10);
            QCoreApplication::processEvents();
        }
    }
    state.SetBytesProcessed(qint64(state.iterations()) * stream().size());
}

void BM_ConnectionArrivalsOf4KiB(benchmark::State &state)
{
    readWithConnection(SmallArrival, state);
}

void BM_ConnectionOneArrivalOf64MiB(benchmark::State &state)
{
    readWithConnection(stream().size(), state);
}

void BM_Memcpy(benchmark::State &state)
{
    const QByteArray &bytes = stream();
    QByteArray target(bytes.size(), Qt::Uninitialized);
    for (auto _ : state) {
        std::memcpy(target.data(), bytes.constData(), size_t(bytes.size()));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(qint64(state.iterations()) * bytes.size());
}

} // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitArrivalsOf4KiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitOneArrivalOf64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitAndDecodeArrivalsOf4KiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitAndDecodeOneArrivalOf64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConnectionArrivalsOf4KiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConnectionOneArrivalOf64MiB)->Unit(benchmark::kMillisecond);

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv); // the local socket needs an event loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
