#include "tavrinframe.h"
#include "tavrintestenvironment.h"

#include <QtCore/qrandom.h>
#include <QtTest/qtest.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QList<QByteArray> drain(QTavrinFrameSplitter *splitter)
{
    QList<QByteArray> frames;
    QByteArray frame;
    while (splitter->nextFrame(&frame))
        frames.append(frame);
    return frames;
}

// Feeds the stream in pieces of the given sizes (the last piece takes the rest).
QList<QByteArray> splitInPieces(const QByteArray &stream, const QVector<int> &pieces)
{
    QTavrinFrameSplitter splitter;
    QList<QByteArray> frames;
    int offset = 0;
    for (int piece : pieces) {
        splitter.append(stream.mid(offset, piece));
        offset += piece;
        frames += drain(&splitter);
    }
    splitter.append(stream.mid(offset));
    return frames + drain(&splitter);
}

QByteArray frameOfSize(int size, quint8 type, char fill)
{
    return buildFrame(type, QByteArray(size - MinimumFrameSize, fill));
}

// The frames the service sends, long ones included, with malformed ones between them;
// *expected receives the frames a reader must hand out.
QByteArray mixedStream(QList<QByteArray> *expected)
{
    *expected = {buildStatusFrame(Connecting),
                 buildConnectedFrame("10.8.0.6", 1700000000u),
                 buildBandwidthFrame(1, 1000, 2000),
                 frameOfSize(128, CredentialsReply, char(0x80)),
                 buildFrame(LoginFailed),
                 frameOfSize(200, CredentialsReply, 'x'),
                 buildStatusFrame(200),
                 frameOfSize(255, 77, 'y')};
    const QList<QByteArray> bad = {hex("05040d02"), hex("01050d0303"), hex("0100"), hex("0102")};
    QByteArray stream;
    for (int i = 0; i < expected->size(); ++i)
        stream += expected->at(i) + bad.value(i);
    return stream;
}

} // namespace

class tst_FrameSplitter : public QObject
{
    Q_OBJECT

private slots:
    void frameBytes_data();
    void frameBytes();
    void frameLimits();
    void connectRequestParsing_data();
    void connectRequestParsing();

    void everySplitGivesTheSameFrames();
    void droppedBytes_data();
    void droppedBytes();
    void incompleteFrameWaitsUntilCleared();
    void appendKeepsItsOwnBytes();
    void hostileInputAlwaysMakesProgress();

    void decodeServiceFrames_data();
    void decodeServiceFrames();
    void bandwidthBaseline_data();
    void bandwidthBaseline();
};

void tst_FrameSplitter::frameBytes_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("connect") << buildFrame(ConnectToVPNRequest,
                                           buildConnectPayload("abc", "oyKjLg=="))
                             << hex("0111030361626308") + "oyKjLg==" + hex("02");
    QTest::newRow("state") << buildStatusFrame(Disconnected) << hex("01050d0302");
    QTest::newRow("connected") << buildConnectedFrame("1.2", 0x04030201u)
                               << hex("010d0d0103") + "1.2" + hex("0102030402");
    QTest::newRow("bandwidth") << buildBandwidthFrame(1, 0x11223344u, 0xAABBCCDDu)
                               << hex("010d0e0144332211ddccbbaa02");
    QTest::newRow("credentials reply")
            << buildCredentialsReplyFrame("QQ==") << hex("01080a") + "QQ==" + hex("02");
}

void tst_FrameSplitter::frameBytes()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(), expected.toHex());
}

void tst_FrameSplitter::frameLimits()
{
    const QByteArray largest = buildFrame(CredentialsReply, QByteArray(251, 'a'));
    QCOMPARE(largest.size(), 255);
    QCOMPARE(quint8(largest.at(1)), quint8(255));
    QVERIFY(buildFrame(CredentialsReply, QByteArray(252, 'a')).isEmpty());
    QCOMPARE(buildConnectPayload(QByteArray(255, 'h'), "c").size(), 258);
    QVERIFY(buildConnectPayload(QByteArray(256, 'h'), "c").isEmpty());
    QVERIFY(buildConnectPayload("h", QByteArray(256, 'c')).isEmpty());
    // Both fields fit, the frame does not.
    const QByteArray host(200, 'h');
    QVERIFY(buildFrame(ConnectToVPNRequest, buildConnectPayload(host, QByteArray(50, 'c')))
                    .isEmpty());
    QCOMPARE(buildFrame(ConnectToVPNRequest, buildConnectPayload(host, QByteArray(49, 'c'))).size(),
             255);
    QVERIFY(buildConnectedFrame(QByteArray(246, '1'), 0).isEmpty());
    QCOMPARE(buildConnectedFrame(QByteArray(245, '1'), 0).size(), 255);
}

void tst_FrameSplitter::connectRequestParsing_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("host"); // empty: the frame must be refused
    const QByteArray good = buildFrame(ConnectToVPNRequest, buildConnectPayload("abc", "xyz"));
    auto changed = [&good](int index, int value) {
        QByteArray frame = good;
        frame[index] = char(value);
        return frame;
    };
    QTest::newRow("good") << good << QByteArray("abc");
    QTest::newRow("longest") << buildFrame(ConnectToVPNRequest,
                                           buildConnectPayload(QByteArray(200, 'h'), "c"))
                             << QByteArray(200, 'h');
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("no payload") << buildFrame(ConnectToVPNRequest) << QByteArray();
    QTest::newRow("type") << changed(2, AbortRequest) << QByteArray();
    QTest::newRow("length byte") << changed(1, good.size() + 1) << QByteArray();
    QTest::newRow("host length") << changed(3, 4) << QByteArray();
    QTest::newRow("credential length") << changed(7, 2) << QByteArray();
    QTest::newRow("host past the end") << changed(3, 200) << QByteArray();
    QTest::newRow("no end byte") << good.left(good.size() - 1) << QByteArray();
}

void tst_FrameSplitter::connectRequestParsing()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, host);
    QByteArray parsedHost = "unchanged";
    QByteArray credentials;
    QCOMPARE(parseConnectRequest(frame, &parsedHost, &credentials), !host.isEmpty());
    QCOMPARE(parsedHost, host.isEmpty() ? QByteArray("unchanged") : host);
    if (!host.isEmpty())
        QCOMPARE(credentials, QByteArray(host.size() == 3 ? "xyz" : "c"));
}

void tst_FrameSplitter::everySplitGivesTheSameFrames()
{
    QList<QByteArray> expected;
    const QByteArray stream = mixedStream(&expected);
    QCOMPARE(splitInPieces(stream, {}), expected);
    QCOMPARE(splitInPieces(stream, QVector<int>(stream.size(), 1)), expected);
    for (int cut = 0; cut <= stream.size(); ++cut)
        QVERIFY2(splitInPieces(stream, {cut}) == expected, qPrintable(QString::number(cut)));

    QRandomGenerator random(20240611);
    for (int round = 0; round < 500; ++round) {
        QVector<int> pieces;
        for (int total = 0; total < stream.size(); total += pieces.last())
            pieces.append(random.bounded(1, 64));
        QVERIFY2(splitInPieces(stream, pieces) == expected, qPrintable(QString::number(round)));
    }
}

void tst_FrameSplitter::droppedBytes_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<int>("drops");
    // Length 0 drops one byte, 1 to 3 drop that many; each drop reads the next length byte.
    QTest::newRow("0") << hex("010002") << 2;
    QTest::newRow("1") << hex("0101") << 2;
    QTest::newRow("2") << hex("0102") << 1;
    QTest::newRow("3") << hex("01030f") << 1;
    QTest::newRow("runs of zeros") << QByteArray(64, '\0') << 64;
    QTest::newRow("wrong start byte") << hex("05040d02") << 1;
    // No search for the next start byte: a bad frame of 12 bytes takes the good one inside along.
    QTest::newRow("bad frame skipped by its length")
            << hex("070c0d") + buildFrame(LoginFailed) + hex("0000000002") << 1;
}

void tst_FrameSplitter::droppedBytes()
{
    QFETCH(QByteArray, prefix);
    QFETCH(int, drops);
    const QByteArray frame = buildFrame(LoginFailed);
    QTavrinFrameSplitter splitter;
    splitter.append(prefix + frame);
    QCOMPARE(drain(&splitter), QList<QByteArray>{frame});
    QCOMPARE(splitter.droppedFrames(), quint64(drops));
    QCOMPARE(splitter.bufferedSize(), qsizetype(0));
}

void tst_FrameSplitter::incompleteFrameWaitsUntilCleared()
{
    const QByteArray frame = frameOfSize(150, CredentialsReply, 'q');
    QTavrinFrameSplitter splitter;
    splitter.append(frame.left(149));
    QVERIFY(drain(&splitter).isEmpty());
    QCOMPARE(splitter.bufferedSize(), qsizetype(149));
    splitter.clear();
    QCOMPARE(splitter.bufferedSize(), qsizetype(0));
    splitter.append(frame);
    QCOMPARE(drain(&splitter), QList<QByteArray>{frame});
}

void tst_FrameSplitter::appendKeepsItsOwnBytes()
{
    const QByteArray frame = buildCredentialsReplyFrame("oyKjLg==");
    // An arrival that only points at the caller's bytes: the caller may reuse them at once.
    QByteArray storage = frame + frame.left(5);
    QTavrinFrameSplitter splitter;
    splitter.append(QByteArray::fromRawData(storage.constData(), storage.size()));
    storage.fill('\0');
    QCOMPARE(drain(&splitter), QList<QByteArray>{frame});
    // An arrival taken over as it is: changing the caller's array changes nothing here.
    QByteArray arrival = frame.mid(5) + frame;
    splitter.append(arrival);
    arrival.fill('\0');
    QCOMPARE(drain(&splitter), (QList<QByteArray>{frame, frame}));
}

void tst_FrameSplitter::hostileInputAlwaysMakesProgress()
{
    QRandomGenerator random(7);
    for (int round = 0; round < 40; ++round) {
        QByteArray noise(random.bounded(1, 20000), Qt::Uninitialized);
        for (char &byte : noise) {
            // Biased towards the bytes that matter so that frames do occur.
            const quint32 pick = random.bounded(8);
            byte = char(pick == 0   ? FrameStartByte
                        : pick == 1 ? FrameEndByte
                                    : random.bounded(256));
        }
        QTavrinFrameSplitter splitter;
        qsizetype consumed = 0;
        for (int offset = 0; offset < noise.size();) {
            const int piece = qMin(random.bounded(1, 600), noise.size() - offset);
            splitter.append(noise.constData() + offset, piece);
            offset += piece;
            const char *data = nullptr;
            int size = 0;
            while (splitter.nextFrame(&data, &size)) {
                QVERIFY(size >= MinimumFrameSize && size <= MaximumFrameSize);
                QCOMPARE(quint8(data[0]), quint8(FrameStartByte));
                QCOMPARE(quint8(data[1]), quint8(size));
                QCOMPARE(quint8(data[size - 1]), quint8(FrameEndByte));
                TavrinServiceMessage message;
                decodeServiceFrame(data, size, &message);
                consumed += size;
            }
            // Whatever stays buffered is shorter than the longest frame: never a stall.
            QVERIFY2(splitter.bufferedSize() < MaximumFrameSize,
                     qPrintable(QString::number(splitter.bufferedSize())));
            QVERIFY(consumed + splitter.bufferedSize() <= offset);
        }
    }
}

void tst_FrameSplitter::decodeServiceFrames_data()
{
    // The message as "type state data startTime"; empty when the frame must be refused.
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("login failed with bytes") << hex("01060faabb02") << QByteArray("15 0  0");
    QTest::newRow("state with extra bytes") << hex("01070d02ffff02") << QByteArray("13 2  0");
    QTest::newRow("unknown state 200") << hex("01050dc802") << QByteArray("13 200  0");
    QTest::newRow("connected, empty address")
            << hex("010a0d01000102030402") << QByteArray("13 1  67305985");
    QTest::newRow("connected, address of 200 bytes")
            << buildConnectedFrame(QByteArray(200, 'a'), 99u)
            << "13 1 " + QByteArray(200, 'a') + " 99";
    QTest::newRow("credentials") << buildCredentialsReplyFrame("oyKjLg==")
                                 << QByteArray("10 0 oyKjLg== 0");
    QTest::newRow("empty credentials") << hex("01040a02") << QByteArray("10 0  0");

    // Too short for their layout, or of a type the client does not read.
    QTest::newRow("state without state byte") << hex("01040d02") << QByteArray();
    QTest::newRow("connected without address length") << hex("01050d0102") << QByteArray();
    QTest::newRow("connected without start time") << hex("01080d0100010202") << QByteArray();
    QTest::newRow("connected, address past the end") << hex("010a0d01010102030402") << QByteArray();
    QTest::newRow("connected, address length 0x80") << hex("010a0d01800102030402") << QByteArray();
    QTest::newRow("bandwidth of 12 bytes") << hex("010c0e010100000002000002") << QByteArray();
    QTest::newRow("unknown type") << hex("01041002") << QByteArray();
    QTest::newRow("request type") << hex("01040902") << QByteArray();
}

void tst_FrameSplitter::decodeServiceFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, message);
    TavrinServiceMessage decoded;
    QCOMPARE(decodeServiceFrame(frame.constData(), frame.size(), &decoded), !message.isEmpty());
    if (!message.isEmpty())
        QCOMPARE(QByteArray::number(decoded.type) + ' ' + QByteArray::number(decoded.state) + ' '
                         + decoded.data + ' ' + QByteArray::number(decoded.startTime),
                 message);
}

void tst_FrameSplitter::bandwidthBaseline_data()
{
    // Each sample: type, download, upload; each report: download, upload.
    QTest::addColumn<QVector<quint32>>("samples");
    QTest::addColumn<QVector<quint32>>("reports");
    QTest::newRow("increases, type change, back")
            << QVector<quint32>{1, 1000, 10, 1, 1500, 30, 1, 1600, 60, 0, 7, 8, 1, 2000, 90}
            << QVector<quint32>{0, 0, 500, 20, 100, 30, 7, 8, 0, 0};
    QTest::newRow("zero baseline is replaced")
            << QVector<quint32>{2, 0, 0, 2, 50, 0, 2, 80, 5} << QVector<quint32>{0, 0, 0, 0, 30, 0};
    QTest::newRow("counter going down wraps")
            << QVector<quint32>{3, 100, 100, 3, 50, 100} << QVector<quint32>{0, 0, 4294967246u, 0};
    QTest::newRow("type 0 hands counters on")
            << QVector<quint32>{0, 5, 6, 0, 5, 6, 0, 1, 2} << QVector<quint32>{5, 6, 5, 6, 1, 2};
}

void tst_FrameSplitter::bandwidthBaseline()
{
    QFETCH(QVector<quint32>, samples);
    QFETCH(QVector<quint32>, reports);
    quint32 lastDownload = 0;
    quint32 lastUpload = 0;
    quint8 lastType = 0xFF;
    QVector<quint32> reported;
    for (int i = 0; i + 2 < samples.size(); i += 3) {
        const QByteArray frame = buildBandwidthFrame(quint8(samples.at(i)), samples.at(i + 1),
                                                     samples.at(i + 2));
        TavrinServiceMessage message;
        QVERIFY(decodeServiceFrame(frame.constData(), frame.size(), &message));
        applyBandwidthBaseline(message.bandwidthType, &message.download, &message.upload,
                               &lastDownload, &lastUpload, &lastType);
        reported << message.download << message.upload;
    }
    QCOMPARE(reported, reports);
}

TAVRIN_TEST_GUILESS_MAIN(tst_FrameSplitter)
#include "tst_framesplitter.moc"
