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

QByteArray frameOfSize(int size, quint8 type, char fill)
{
    return buildFrame(type, QByteArray(size - MinimumFrameSize, fill));
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

    void droppedBytes_data();
    void droppedBytes();
    void incompleteFrameWaitsUntilCleared();
    void appendKeepsItsOwnBytes();
    void hostileInputAlwaysMakesProgress();
};

void tst_FrameSplitter::frameBytes_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
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

TAVRIN_TEST_GUILESS_MAIN(tst_FrameSplitter)
#include "tst_framesplitter.moc"
