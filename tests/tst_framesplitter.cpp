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

// Feeds the stream in pieces of the given sizes (the last piece takes the rest) and collects
// every frame handed out.
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
    frames += drain(&splitter);
    return frames;
}

QByteArray frameOfSize(int size, quint8 type, char fill)
{
    return buildFrame(type, QByteArray(size - MinimumFrameSize, fill));
}

// A stream of the frames the service sends, with a few malformed ones between them; *expected
// receives the frames a reader must hand out.
QByteArray mixedStream(QList<QByteArray> *expected)
{
    const QList<QByteArray> good = {
            buildStatusFrame(Connecting),
            buildConnectedFrame("10.8.0.6", 1700000000u),
            buildBandwidthFrame(1, 1000, 2000),
            buildCredentialsReplyFrame("oyKjLg=="),
            buildFrame(LoginFailed),
            frameOfSize(200, CredentialsReply, 'x'),
            buildStatusFrame(200),
            frameOfSize(255, 77, 'y'),
    };
    const QList<QByteArray> bad = {
            hex("05040d02"),   // wrong start byte
            hex("01050d0303"), // wrong end byte
            hex("0100"),       // length 0
            hex("0102"),       // length 2
    };
    QByteArray stream;
    for (int i = 0; i < good.size(); ++i) {
        stream += good.at(i);
        expected->append(good.at(i));
        if (i < bad.size())
            stream += bad.at(i);
    }
    return stream;
}

} // namespace

class tst_FrameSplitter : public QObject
{
    Q_OBJECT

private slots:
    void requestFrames_data();
    void requestFrames();
    void frameLimits();
    void connectRequestRoundTrip();
    void connectRequestRejectsMalformed_data();
    void connectRequestRejectsMalformed();

    void everySplitGivesTheSameFrames();
    void randomPiecesGiveTheSameFrames();
    void longFrames_data();
    void longFrames();
    void shortLengthBytes_data();
    void shortLengthBytes();
    void malformedFrameIsSkippedByItsLength();
    void incompleteFrameWaits();
    void hostileInputAlwaysMakesProgress();
    void clearForgetsBufferedBytes();
    void appendKeepsItsOwnBytes();

    void decodeServiceFrames_data();
    void decodeServiceFrames();
    void bandwidthBaseline_data();
    void bandwidthBaseline();
};

void tst_FrameSplitter::requestFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("status") << buildFrame(StatusRequest) << hex("01040102");
    QTest::newRow("abort") << buildFrame(AbortRequest) << hex("01040502");
    QTest::newRow("server list") << buildFrame(ServerListRequest) << hex("01040702");
    QTest::newRow("credentials") << buildFrame(CredentialsRequest) << hex("01040902");
    QTest::newRow("CA file") << buildFrame(UpdateCAFileRequest) << hex("01040b02");
    QTest::newRow("connect") << buildFrame(ConnectToVPNRequest,
                                           buildConnectPayload("abc", "oyKjLg=="))
                             << hex("0111030361626308") + "oyKjLg==" + hex("02");
    QTest::newRow("state") << buildStatusFrame(Disconnected) << hex("01050d0302");
    QTest::newRow("connected") << buildConnectedFrame("", 0x04030201u)
                               << hex("010a0d01000102030402");
    QTest::newRow("connected with address")
            << buildConnectedFrame("1.2", 7u) << hex("010d0d0103") + "1.2" + hex("0700000002");
    QTest::newRow("bandwidth") << buildBandwidthFrame(1, 0x11223344u, 0xAABBCCDDu)
                               << hex("010d0e0144332211ddccbbaa02");
    QTest::newRow("credentials reply")
            << buildCredentialsReplyFrame("QQ==") << hex("01080a") + "QQ==" + hex("02");
    QTest::newRow("empty credentials reply") << buildCredentialsReplyFrame("") << hex("01040a02");
}

void tst_FrameSplitter::requestFrames()
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
    QVERIFY(buildFrame(ConnectToVPNRequest,
                       buildConnectPayload(QByteArray(200, 'h'), QByteArray(50, 'c')))
                    .isEmpty());
    QCOMPARE(buildFrame(ConnectToVPNRequest,
                        buildConnectPayload(QByteArray(200, 'h'), QByteArray(49, 'c')))
                     .size(),
             255);
    QVERIFY(buildConnectedFrame(QByteArray(256, '1'), 0).isEmpty());
    QCOMPARE(buildConnectedFrame(QByteArray(245, '1'), 0).size(), 255);
}

void tst_FrameSplitter::connectRequestRoundTrip()
{
    for (int hostSize : {0, 1, 17, 120, 200}) {
        const QByteArray host(hostSize, 'h');
        const QByteArray credentials(249 - hostSize, 'c');
        const QByteArray frame = buildFrame(ConnectToVPNRequest,
                                            buildConnectPayload(host, credentials));
        QVERIFY2(!frame.isEmpty(), qPrintable(QString::number(hostSize)));
        QByteArray parsedHost = "unchanged";
        QByteArray parsedCredentials;
        QVERIFY(parseConnectRequest(frame, &parsedHost, &parsedCredentials));
        QCOMPARE(parsedHost, host);
        QCOMPARE(parsedCredentials, credentials);
    }
}

void tst_FrameSplitter::connectRequestRejectsMalformed_data()
{
    QTest::addColumn<QByteArray>("frame");
    const QByteArray good = buildFrame(ConnectToVPNRequest, buildConnectPayload("abc", "xyz"));
    QByteArray wrongType = good;
    wrongType[2] = char(AbortRequest);
    QByteArray wrongLength = good;
    wrongLength[1] = char(good.size() + 1);
    QByteArray hostTooLong = good;
    hostTooLong[3] = 4;
    QByteArray credentialsTooShort = good;
    credentialsTooShort[7] = 2;
    QByteArray hostPastEnd = good;
    hostPastEnd[3] = char(200);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no payload") << buildFrame(ConnectToVPNRequest);
    QTest::newRow("type") << wrongType;
    QTest::newRow("length byte") << wrongLength;
    QTest::newRow("host length") << hostTooLong;
    QTest::newRow("credential length") << credentialsTooShort;
    QTest::newRow("host past the end") << hostPastEnd;
    QTest::newRow("no end byte") << good.left(good.size() - 1);
}

void tst_FrameSplitter::connectRequestRejectsMalformed()
{
    QFETCH(QByteArray, frame);
    QByteArray host = "unchanged";
    QVERIFY(!parseConnectRequest(frame, &host, nullptr));
    QCOMPARE(host, QByteArray("unchanged"));
}

void tst_FrameSplitter::everySplitGivesTheSameFrames()
{
    QList<QByteArray> expected;
    const QByteArray stream = mixedStream(&expected);
    QCOMPARE(splitInPieces(stream, {}), expected);

    // Byte by byte.
    QCOMPARE(splitInPieces(stream, QVector<int>(stream.size(), 1)), expected);

    // Every split into two pieces, and into three around every frame boundary region.
    for (int cut = 0; cut <= stream.size(); ++cut) {
        const QList<QByteArray> frames = splitInPieces(stream, {cut});
        QVERIFY2(frames == expected, qPrintable(QStringLiteral("cut at %1").arg(cut)));
    }
    for (int first = 0; first < 40; ++first) {
        for (int second = 0; second < 40; ++second) {
            const QList<QByteArray> frames = splitInPieces(stream, {first, second});
            QVERIFY2(frames == expected,
                     qPrintable(QStringLiteral("cuts at %1, +%2").arg(first).arg(second)));
        }
    }
}

void tst_FrameSplitter::randomPiecesGiveTheSameFrames()
{
    QList<QByteArray> expected;
    const QByteArray stream = mixedStream(&expected);
    QRandomGenerator random(20240611);
    for (int round = 0; round < 500; ++round) {
        QVector<int> pieces;
        for (int total = 0; total < stream.size();) {
            const int piece = random.bounded(1, 64);
            pieces.append(piece);
            total += piece;
        }
        const QList<QByteArray> frames = splitInPieces(stream, pieces);
        QVERIFY2(frames == expected, qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

void tst_FrameSplitter::longFrames_data()
{
    QTest::addColumn<int>("size");
    for (int size : {127, 128, 129, 200, 254, 255})
        QTest::addRow("%d bytes", size) << size;
}

void tst_FrameSplitter::longFrames()
{
    QFETCH(int, size);
    const QByteArray longFrame = frameOfSize(size, CredentialsReply, char(0x80));
    QCOMPARE(longFrame.size(), size);
    const QByteArray after = buildStatusFrame(Connected);
    const QByteArray stream = longFrame + after;
    const QList<QByteArray> expected = {longFrame, after};
    for (int cut = 0; cut <= stream.size(); ++cut)
        QCOMPARE(splitInPieces(stream, {cut}), expected);

    TavrinServiceMessage message;
    QVERIFY(decodeServiceFrame(longFrame.constData(), longFrame.size(), &message));
    QCOMPARE(message.data, QByteArray(size - 4, char(0x80)));
}

void tst_FrameSplitter::shortLengthBytes_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<int>("drops");
    // Length 0 drops one byte, 1 to 3 drop that many; each drop reads the next length byte.
    QTest::newRow("0") << hex("010002") << 2;
    QTest::newRow("1") << hex("0101") << 2;
    QTest::newRow("2") << hex("0102") << 1;
    QTest::newRow("3") << hex("01030f") << 1;
    QTest::newRow("runs of zeros") << QByteArray(64, '\0') << 64;
}

void tst_FrameSplitter::shortLengthBytes()
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

void tst_FrameSplitter::malformedFrameIsSkippedByItsLength()
{
    // The reader does not search for the next start byte: a bad frame that claims 12 bytes
    // takes the good frame inside it along.
    const QByteArray inner = buildFrame(LoginFailed);
    const QByteArray bad = hex("070c0d") + inner + hex("0000000002");
    QCOMPARE(bad.size(), 12);
    const QByteArray after = buildStatusFrame(Connecting);
    QTavrinFrameSplitter splitter;
    splitter.append(bad + after);
    QCOMPARE(drain(&splitter), QList<QByteArray>{after});
    QCOMPARE(splitter.droppedFrames(), quint64(1));
}

void tst_FrameSplitter::incompleteFrameWaits()
{
    const QByteArray frame = frameOfSize(150, CredentialsReply, 'q');
    QTavrinFrameSplitter splitter;
    splitter.append(frame.left(149));
    QByteArray out;
    QVERIFY(!splitter.nextFrame(&out));
    QCOMPARE(splitter.bufferedSize(), qsizetype(149));
    QCOMPARE(splitter.droppedFrames(), quint64(0));
    splitter.append(frame.right(1));
    QVERIFY(splitter.nextFrame(&out));
    QCOMPARE(out, frame);
    QVERIFY(!splitter.nextFrame(&out));
}

void tst_FrameSplitter::hostileInputAlwaysMakesProgress()
{
    QRandomGenerator random(7);
    for (int round = 0; round < 40; ++round) {
        QByteArray noise(random.bounded(1, 20000), Qt::Uninitialized);
        for (char &byte : noise) {
            // Bias towards the bytes that matter so that frames do occur.
            const quint32 pick = random.bounded(8);
            byte = pick == 0   ? char(FrameStartByte)
                   : pick == 1 ? char(FrameEndByte)
                               : char(random.bounded(256));
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

void tst_FrameSplitter::clearForgetsBufferedBytes()
{
    QTavrinFrameSplitter splitter;
    splitter.append(buildStatusFrame(Connecting).left(3));
    QCOMPARE(splitter.bufferedSize(), qsizetype(3));
    splitter.clear();
    QCOMPARE(splitter.bufferedSize(), qsizetype(0));
    splitter.append(buildStatusFrame(Timeout));
    QCOMPARE(drain(&splitter), QList<QByteArray>{buildStatusFrame(Timeout)});
}

void tst_FrameSplitter::appendKeepsItsOwnBytes()
{
    const QByteArray frame = buildCredentialsReplyFrame("oyKjLg==");
    // An arrival that only points at the caller's bytes: the caller may reuse them at once.
    QByteArray storage = frame + frame.left(5);
    QTavrinFrameSplitter splitter;
    splitter.append(QByteArray::fromRawData(storage.constData(), storage.size()));
    storage.fill('\0');
    QList<QByteArray> frames = drain(&splitter);
    QCOMPARE(frames, QList<QByteArray>{frame});

    // An arrival taken over as it is: the caller changing its array changes nothing here.
    QByteArray arrival = frame.mid(5) + frame;
    splitter.append(arrival);
    arrival.fill('\0');
    frames = drain(&splitter);
    QCOMPARE(frames, (QList<QByteArray>{frame, frame}));

    QByteArray whole = frame + frame;
    splitter.append(whole);
    whole[0] = 'x';
    QCOMPARE(drain(&splitter), (QList<QByteArray>{frame, frame}));
}

void tst_FrameSplitter::decodeServiceFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<uint>("startTime");

    const QByteArray none;
    QTest::newRow("login failed") << hex("01040f02") << true << int(LoginFailed) << 0 << none << 0u;
    QTest::newRow("login failed with bytes")
            << hex("01060faabb02") << true << int(LoginFailed) << 0 << none << 0u;
    QTest::newRow("disconnected") << hex("01050d0302") << true << int(StatusChange) << 3 << none
                                  << 0u;
    QTest::newRow("state with extra bytes")
            << hex("01070d02ffff02") << true << int(StatusChange) << 2 << none << 0u;
    QTest::newRow("unknown state 200")
            << hex("01050dc802") << true << int(StatusChange) << 200 << none << 0u;
    QTest::newRow("connected, empty address") << hex("010a0d010001020304 02") << true
                                              << int(StatusChange) << 1 << none << 0x04030201u;
    QTest::newRow("connected with address")
            << buildConnectedFrame("10.8.0.6", 1700000000u) << true << int(StatusChange) << 1
            << QByteArray("10.8.0.6") << 1700000000u;
    QTest::newRow("connected, address of 200 bytes")
            << buildConnectedFrame(QByteArray(200, 'a'), 99u) << true << int(StatusChange) << 1
            << QByteArray(200, 'a') << 99u;
    QTest::newRow("credentials") << buildCredentialsReplyFrame("oyKjLg==") << true
                                 << int(CredentialsReply) << 0 << QByteArray("oyKjLg==") << 0u;
    QTest::newRow("empty credentials")
            << hex("01040a02") << true << int(CredentialsReply) << 0 << none << 0u;

    // Too short for their layout, or of a type the client does not read.
    QTest::newRow("state without state byte") << hex("01040d02") << false << 0 << 0 << none << 0u;
    QTest::newRow("connected without address length")
            << hex("01050d0102") << false << 0 << 0 << none << 0u;
    QTest::newRow("connected without start time")
            << hex("01080d0100010202") << false << 0 << 0 << none << 0u;
    QTest::newRow("connected, address past the end")
            << hex("010a0d01010102030402") << false << 0 << 0 << none << 0u;
    QTest::newRow("connected, address length 0x80")
            << hex("010a0d01800102030402") << false << 0 << 0 << none << 0u;
    QTest::newRow("bandwidth of 12 bytes")
            << hex("010c0e0101000000020000 02") << false << 0 << 0 << none << 0u;
    QTest::newRow("unknown type") << hex("01041002") << false << 0 << 0 << none << 0u;
    QTest::newRow("request type") << hex("01040902") << false << 0 << 0 << none << 0u;
}

void tst_FrameSplitter::decodeServiceFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, accepted);
    QFETCH(int, type);
    QFETCH(int, state);
    QFETCH(QByteArray, data);
    QFETCH(uint, startTime);
    // The frames come as the splitter hands them out.
    QTavrinFrameSplitter splitter;
    splitter.append(frame);
    QByteArray taken;
    QVERIFY(splitter.nextFrame(&taken));
    QCOMPARE(taken, frame);

    TavrinServiceMessage message;
    QCOMPARE(decodeServiceFrame(taken.constData(), taken.size(), &message), accepted);
    if (!accepted)
        return;
    QCOMPARE(int(message.type), type);
    QCOMPARE(int(message.state), state);
    QCOMPARE(message.data, data);
    QCOMPARE(message.startTime, startTime);
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
    QTavrinFrameSplitter splitter;
    for (int i = 0; i + 2 < samples.size(); i += 3)
        splitter.append(
                buildBandwidthFrame(quint8(samples.at(i)), samples.at(i + 1), samples.at(i + 2)));
    QVector<quint32> reported;
    const char *data = nullptr;
    int size = 0;
    while (splitter.nextFrame(&data, &size)) {
        TavrinServiceMessage message;
        QVERIFY(decodeServiceFrame(data, size, &message));
        applyBandwidthBaseline(message.bandwidthType, &message.download, &message.upload,
                               &lastDownload, &lastUpload, &lastType);
        reported << message.download << message.upload;
    }
    QCOMPARE(reported, reports);
}

TAVRIN_TEST_GUILESS_MAIN(tst_FrameSplitter)
#include "tst_framesplitter.moc"
