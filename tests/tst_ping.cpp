// Echo requests, which replies count as ours, the latency monitor over a fake echo, and a real
// echo where ICMP sockets open.
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
                 const QByteArray &payload = QIcmpEcho::payload(), quint8 type = 0, quint8 code = 0,
                 quint32 source = loopback)
{
    QByteArray message = QByteArray(1, char(type)) + char(code) + QByteArray(2, '\0')
                         + QIcmpPacket::echoRequest(id, sequence, payload).mid(4);
    qToBigEndian<quint16>(QIcmpPacket::checksum(message), message.data() + 2);
    const QByteArray header = QByteArray::fromHex(
            "450000000000000040010000" + QByteArray::number(source, 16).rightJustified(8, '0'));
    return raw ? header + QByteArray(4, '\0') + message : message;
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
    int echo(const QString &hostname) override
    {
        e->entered.release();
        const bool answered = e->release.tryAcquire(1, Patience);
        e->returned.ref();
        return answered ? e->latencies.value(hostname, -1) : -1;
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
        // The worked example of the Internet checksum; an odd length is padded with a zero.
        QCOMPARE(QIcmpPacket::checksum(QByteArray::fromHex("0001f203f4f5f6f7")), quint16(0x220d));
        QCOMPARE(QIcmpPacket::checksum(QByteArray::fromHex("0001f203f4f5f6")),
                 QIcmpPacket::checksum(QByteArray::fromHex("0001f203f4f5f600")));
        QCOMPARE(QIcmpPacket::echoRequest(0x1234, 0xabcd, QIcmpEcho::payload()),
                 QByteArray::fromHex("080011d91234abcd") + "abcdefghijklmnopqest");
        // Stray and forged packets are not the reply to our echo.
        const QIcmpPacket::Expectation expected{loopback, ourId, ourSequence, QIcmpEcho::payload()};
        const auto check = [&](bool raw, const QByteArray &packet, bool ours = false,
                               quint32 sender = loopback) {
            QVERIFY2(QIcmpPacket::isEchoReply(packet, raw, sender, expected) == ours,
                     packet.toHex().constData());
        };
        const QByteArray payload = expected.payload;
        for (const bool raw : {false, true}) {
            QByteArray corrupted = reply(raw);
            corrupted[raw ? 22 : 2] = char(~corrupted.at(raw ? 22 : 2)); // checksum
            check(raw, reply(raw), true);
            check(raw, reply(raw), false, otherLoopback);
            check(raw, reply(raw, ourId, ourSequence - 1)); // late reply to the previous echo
            check(raw, reply(raw, ourId + 1));              // another program's echo
            check(raw, reply(raw, ourId, ourSequence, "abcdefghijklmnopqrst"));
            check(raw, reply(raw, ourId, ourSequence, payload.left(19)));
            check(raw, reply(raw, ourId, ourSequence, payload, 8)); // our own request
            check(raw, reply(raw, ourId, ourSequence, payload, 0, 1));
            check(raw, corrupted);
            check(raw, reply(raw).left(raw ? 30 : 10));
        }
        // A raw packet's IP header names the host and ICMP; it may carry options.
        check(true, reply(true, ourId, ourSequence, payload, 0, 0, otherLoopback));
        check(true, reply(true).replace(9, 1, "\x11")); // UDP
        check(true, reply(true).insert(20, QByteArray(4, '\1')).replace(0, 1, "\x46"), true);
    }

    // A host of no name fails without an echo; a negative latency is a failure. A new list
    // while an echo is out starts no second one. Deleting the monitor never waits for an echo;
    // its thread and service end after it.
    void monitorCycleAndEnd()
    {
        const QStringList hosts{"", "a.test", "b.test", "c.test", "d.test"};
        for (const bool honoursAbort : {true, false}) {
            Echoes echoes{{{"a.test", 12}, {"b.test", 250}, {"c.test", -42}}, honoursAbort};
            auto *monitor = new QLatencyMonitor(new FakeEcho(&echoes));
            QSignalSpy requests(monitor, &QLatencyMonitor::pingHost);
            QSignalSpy results(monitor, &QLatencyMonitor::latencyMeasured);
            monitor->setInterval(Patience);
            monitor->setHosts(hosts);
            afterDueTimers();
            QVERIFY(results.isEmpty()); // the pause first
            monitor->setInterval(0);
            QTRY_COMPARE(echoes.entered.available(), 1);
            monitor->setHosts(hosts.mid(1));
            afterDueTimers();
            QCOMPARE(requests.count(), 1); // a.test's
            echoes.release.release(3);
            QTRY_COMPARE(echoes.entered.available(), 4); // d.test's echo blocks
            afterDueTimers();
            QCOMPARE(requests.count(), 4);
            QStringList measured;
            for (const QVariantList &result : qAsConst(results))
                measured << result.value(0).toString() + ':' + result.value(1).toString();
            QCOMPARE(measured.join(','), ":-1,a.test:12,b.test:250,c.test:-1");
            delete monitor;
            const int destroyedAtOnce = echoes.destroyed.loadAcquire();
            const int returnedAtOnce = echoes.returned.loadAcquire();
            echoes.release.release();
            // Given up, the echo ends with its thread and service at once; one that ignores the
            // abort has nothing deleted under it, and they end once it comes back.
            QVERIFY2(honoursAbort || returnedAtOnce == 3, "the monitor waited for the echo");
            QCOMPARE(destroyedAtOnce, honoursAbort ? 1 : 0);
            QTRY_COMPARE(echoes.destroyed.loadAcquire(), 1);
        }
    }

    void systemEcho()
    {
        const QString unavailable = TavrinTestPlatform::systemEchoUnavailable();
        if (!unavailable.isEmpty())
            QSKIP(qPrintable(unavailable));
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
