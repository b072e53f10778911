// Echo requests and the replies that count as ours, the latency monitor, the system echo.
#include "ping/qicmppacket.h"
#include "ping/qlatencymonitor.h"
#include "ping/qpingservice.h"
#include "ping/qsystemicmpecho.h"
#include "tavrintestenvironment.h"
#include "tavrintestplatform.h"

#include <QtTest/QtTest>

namespace {

const quint32 loopback = 0x7f000001, otherLoopback = 0x7f000002;
const quint16 ourId = 0x4242, ourSequence = 7;

// An echo reply as a host sends it: the ICMP message, behind an IPv4 header for a raw socket.
QByteArray reply(bool raw, quint16 id = ourId, quint16 sequence = ourSequence,
                 const QByteArray &payload = QIcmpEcho::payload(), quint8 type = 0, quint8 code = 0)
{
    QByteArray message = QByteArray(1, char(type)) + char(code) + QByteArray(2, '\0')
                         + QIcmpPacket::echoRequest(id, sequence, payload).mid(4);
    qToBigEndian<quint16>(QIcmpPacket::checksum(message), message.data() + 2);
    return (raw ? QByteArray::fromHex("4500000000000000400100007f00000100000000") : "") + message;
}

// Answers with the latencies (-1 for other hosts) once released or, if it honours that,
// aborted. What it did stays readable here after the monitor has deleted it.
struct Echoes
{
    QHash<QString, int> latencies;
    bool honoursAbort = true;
    QSemaphore entered{0}, release{0};
    QAtomicInt destroyed{0}, returned{0};
};
struct FakeEcho : QIcmpEcho
{
    Echoes *e;
    explicit FakeEcho(Echoes *echoes) { e = echoes; }
    ~FakeEcho() override { e->destroyed.storeRelease(1); }
    int echo(const QString &host) override
    {
        e->entered.release();
        const int latency = e->release.tryAcquire(1, Patience) ? e->latencies.value(host, -1) : -1;
        return e->returned.ref(), latency;
    }
    void abort() override { e->release.release(e->honoursAbort); }
};

void afterDueTimers() // returns once the zero-time timers started before have fired
{
    bool fired = false;
    QTimer::singleShot(0, [&fired] { fired = true; });
    QTRY_VERIFY(fired);
}

} // namespace

class tst_Ping : public QObject
{
    Q_OBJECT

private slots:
    void echoRequestAndReply()
    {
        // The worked example of the Internet checksum, and an odd length padded with a zero.
        QCOMPARE(QIcmpPacket::checksum(QByteArray::fromHex("0001f203f4f5f6f7")), quint16(0x220d));
        QCOMPARE(QIcmpPacket::checksum(QByteArray::fromHex("0001f203f4f5f6")), quint16(0x2304));
        QCOMPARE(QIcmpPacket::echoRequest(0x1234, 0xabcd, QIcmpEcho::payload()),
                 QByteArray::fromHex("080011d91234abcd") + "abcdefghijklmnopqest");
        const QIcmpPacket::Expectation expected{loopback, ourId, ourSequence, QIcmpEcho::payload()};
        const QByteArray payload = expected.payload;
        for (const bool raw : {false, true}) {
            QByteArray corrupted = reply(raw);
            corrupted[raw ? 22 : 2] = char(~corrupted.at(raw ? 22 : 2)); // checksum
            // Ours, then stray and forged packets: a late reply to the previous echo, another
            // program's, other payloads, our own request, another code, damaged and cut short;
            // on a raw socket also another host, UDP, and ours again behind IP options.
            // clang-format off
            QList<QByteArray> packets{reply(raw), reply(raw, ourId, ourSequence - 1), reply(raw, ourId + 1),
                    reply(raw, ourId, ourSequence, "abcdefghijklmnopqrst"),
                    reply(raw, ourId, ourSequence, payload.left(19)), reply(raw, ourId, ourSequence, payload, 8),
                    reply(raw, ourId, ourSequence, payload, 0, 1), corrupted, reply(raw).left(raw ? 30 : 10)};
            // clang-format on
            if (raw)
                packets << reply(true).replace(15, 1, "\x02") << reply(true).replace(9, 1, "\x11")
                        << reply(true).insert(20, QByteArray(4, '\1')).replace(0, 1, "\x46");
            for (int i = 0; i < packets.size(); ++i)
                QVERIFY2(QIcmpPacket::isEchoReply(packets[i], raw, loopback, expected)
                                 == (i == 0 || i == 11),
                         packets[i].toHex().constData());
            QVERIFY(!QIcmpPacket::isEchoReply(reply(raw), raw, otherLoopback, expected));
        }
    }

    // A pause of half a second (unless set) before each step; a host of no name fails without
    // an echo, a negative latency is a failure. A new list while an echo is out starts no second
    // one. Deleting the monitor never waits for an echo; its thread and service end after it.
    void monitorCycleAndEnd()
    {
        const QStringList hosts{"", "a.test", "b.test", "c.test", "d.test"};
        for (const bool honoursAbort : {true, false}) {
            Echoes echoes{{{"a.test", 12}, {"b.test", 250}, {"c.test", -42}}, honoursAbort};
            auto *monitor = new QLatencyMonitor(new FakeEcho(&echoes));
            QSignalSpy requests(monitor, &QLatencyMonitor::pingHost);
            QSignalSpy results(monitor, &QLatencyMonitor::latencyMeasured);
            QElapsedTimer pause;
            pause.start();
            monitor->setHosts(hosts);
            if (honoursAbort) {
                QTRY_COMPARE(results.count(), 1);
                QVERIFY(pause.elapsed() >= 475 && requests.isEmpty()); // a timer may be 5 % early
            }
            monitor->setInterval(0);
            QTRY_COMPARE(echoes.entered.available(), 1);
            monitor->setHosts(hosts.mid(1));
            afterDueTimers();
            QCOMPARE(requests.count(), 1); // a.test's
            echoes.release.release(3);
            QTRY_COMPARE(echoes.entered.available(), 4); // d.test's echo blocks
            afterDueTimers();
            QCOMPARE(requests.count(), 4);
            const QList<QVariantList> measured{{"", -1}, {"a.test", 12}, {"b.test", 250}};
            QCOMPARE(QList<QVariantList>(results), (measured + QList<QVariantList>{{"c.test", -1}}));
            delete monitor;
            // Given up, the echo ends with its thread and service at once; one that ignores the
            // abort has nothing deleted under it, and they end once it comes back.
            const QPoint atOnce(echoes.destroyed.loadAcquire(), echoes.returned.loadAcquire());
            echoes.release.release();
            QCOMPARE(atOnce, QPoint(honoursAbort, honoursAbort ? 4 : 3)); // never waited
            QTRY_COMPARE(echoes.destroyed.loadAcquire(), 1);
        }
    }

    void systemEcho()
    {
        if (const QString why = TavrinTestPlatform::systemEchoUnavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QPingService service;
        QSignalSpy results(&service, &QPingService::pingResult);
        service.pingHost(QStringLiteral("127.0.0.1"));
        const int latency = results.value(0).value(1).toInt();
        QVERIFY(latency >= 0 && latency < QIcmpEcho::TimeoutMs);
        QSystemIcmpEcho echo; // aborted, it fails even to a host that answers
        echo.abort();
        QCOMPARE(echo.echo(QStringLiteral("127.0.0.1")), -1);
    }
};

TAVRIN_TEST_MAIN(tst_Ping)
#include "tst_ping.moc"
