#include "qicmpecho.h"
#include "qicmppacket.h"
#include "qpingservice.h"
#include "qsystemicmpecho.h"
#include "tavrintestenvironment.h"

#include <QtCore/qendian.h>
#include <QtNetwork/qnetworkdatagram.h>
#include <QtNetwork/qudpsocket.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include "qicmpsocket_unix.h"

#include <unistd.h>

// An echo with a fixed outcome that remembers the host names it was given.
class ScriptedEcho : public QIcmpEcho
{
public:
    ScriptedEcho(int latency, QStringList *asked)
        : m_latency(latency)
        , m_asked(asked)
    {}
    int echo(const QString &hostname) override
    {
        m_asked->append(hostname);
        return m_latency;
    }

private:
    int m_latency;
    QStringList *m_asked;
};

static const quint32 Loopback = 0x7f000001;      // 127.0.0.1
static const quint32 OtherLoopback = 0x7f000002; // 127.0.0.2

// An echo reply as a host would send it, optionally behind a 20-byte IPv4 header.
static QByteArray craftReply(quint16 identifier, quint16 sequence, const QByteArray &payload,
                             bool withIpHeader = false, quint32 source = Loopback,
                             quint8 type = QIcmpPacket::EchoReply)
{
    QByteArray message = QIcmpPacket::echoRequest(identifier, sequence, payload);
    message[0] = char(type);
    message[2] = message[3] = 0;
    qToBigEndian<quint16>(QIcmpPacket::checksum(message), message.data() + 2);
    if (!withIpHeader)
        return message;
    QByteArray header(QIcmpPacket::MinIpHeaderSize, '\0');
    header[0] = char(0x45);
    qToBigEndian<quint16>(quint16(header.size() + message.size()), header.data() + 2);
    header[8] = char(64);
    header[9] = char(1);
    qToBigEndian<quint32>(source, header.data() + 12);
    qToBigEndian<quint32>(Loopback, header.data() + 16);
    return header + message;
}

// UDP sockets on loopback stand in for the network: the reply matching reads from one, and
// the test answers from the others.
static bool sendTo(QUdpSocket &from, const QUdpSocket &to, const QByteArray &packet)
{
    return from.writeDatagram(packet, QHostAddress::LocalHost, to.localPort()) == packet.size();
}

class tst_PingService : public QObject
{
    Q_OBJECT

private slots:
    void echoRequest();
    void replyMatching_data();
    void replyMatching();
    void injectedEcho();
    void failingNames();
    void realEchoToLoopback();
    void socketWaitsForItsOwnReply();
    void abortedEchoFailsAtOnce();
};

void tst_PingService::echoRequest()
{
    // The worked example of the Internet checksum; an odd length is padded with a zero byte.
    QCOMPARE(QIcmpPacket::checksum(QByteArray::fromHex("0001f203f4f5f6f7")), quint16(0x220d));
    QCOMPARE(QIcmpPacket::checksum(QByteArray::fromHex("0001f203f4f5f6")),
             QIcmpPacket::checksum(QByteArray::fromHex("0001f203f4f5f600")));
    const QByteArray payload = QIcmpEcho::payload();
    QCOMPARE(payload, QByteArray("abcdefghijklmnopqest"));
    QCOMPARE(QIcmpPacket::echoRequest(0x1234, 0xabcd, payload).toHex(), QByteArray("08"
                                                                                   "00"
                                                                                   "11d9"
                                                                                   "1234"
                                                                                   "abcd")
                                                                                + payload.toHex());
}

void tst_PingService::replyMatching_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("withIpHeader");
    QTest::addColumn<quint32>("sender");
    QTest::addColumn<bool>("ours");

    const QByteArray payload = QIcmpEcho::payload();
    const quint16 id = 0x4242;
    const quint16 seq = 7;
    for (const bool raw : {false, true}) {
        const QByteArray kind = raw ? "raw: " : "datagram: ";
        auto row = [&](const char *name, const QByteArray &packet, bool ours,
                       quint32 sender = Loopback) {
            QTest::newRow(QByteArray(kind + name).constData()) << packet << raw << sender << ours;
        };
        row("our reply", craftReply(id, seq, payload, raw), true);
        row("late reply to the previous echo", craftReply(id, seq - 1, payload, raw), false);
        row("reply to a later echo", craftReply(id, seq + 1, payload, raw), false);
        row("another program's echo", craftReply(id + 1, seq, payload, raw), false);
        row("other payload", craftReply(id, seq, "abcdefghijklmnopqrst", raw), false);
        row("short payload", craftReply(id, seq, payload.left(19), raw), false);
        row("our own request",
            craftReply(id, seq, payload, raw, Loopback, QIcmpPacket::EchoRequest), false);
        row("stray host", craftReply(id, seq, payload, raw), false, OtherLoopback);
        QByteArray corrupted = craftReply(id, seq, payload, raw);
        corrupted[corrupted.size() - 1] = 'X';
        row("bad checksum", corrupted, false);
        row("truncated", craftReply(id, seq, payload, raw).left(raw ? 30 : 10), false);
        row("empty", QByteArray(), false);
    }
    QTest::newRow("raw: header names another source")
            << craftReply(id, seq, payload, true, OtherLoopback) << true << Loopback << false;
    QByteArray udp = craftReply(id, seq, payload, true);
    udp[9] = char(17);
    QTest::newRow("raw: not ICMP") << udp << true << Loopback << false;
    QByteArray options = craftReply(id, seq, payload, true);
    options.insert(20, QByteArray(4, '\1'));
    options[0] = char(0x46);
    QTest::newRow("raw: header with options") << options << true << Loopback << true;
    QTest::newRow("datagram packet read as raw")
            << craftReply(id, seq, payload, false) << true << Loopback << false;
}

void tst_PingService::replyMatching()
{
    QFETCH(QByteArray, packet);
    QFETCH(bool, withIpHeader);
    QFETCH(quint32, sender);
    QIcmpPacket::Expectation expected;
    expected.address = Loopback;
    expected.identifier = 0x4242;
    expected.sequence = 7;
    expected.payload = QIcmpEcho::payload();
    QTEST(QIcmpPacket::isEchoReply(packet, withIpHeader, sender, expected), "ours");
}

// The echo's outcome reaches pingResult with the very host string; any failure is -1.
void tst_PingService::injectedEcho()
{
    const QList<QPair<int, int>> outcomes{{37, 37}, {0, 0}, {-1, -1}, {-42, -1}};
    for (const auto &outcome : outcomes) {
        const QString hostname = QStringLiteral(" Odd.Host %1 ").arg(outcome.first);
        QStringList asked;
        QPingService service(new ScriptedEcho(outcome.first, &asked));
        QSignalSpy results(&service, &QPingService::pingResult);
        service.pingHost(hostname);
        QCOMPARE(results.count(), 1);
        QCOMPARE(results.at(0), (QVariantList{hostname, outcome.second}));
        QCOMPARE(asked, QStringList{hostname});
    }
}

void tst_PingService::failingNames()
{
    QPingService service; // the system's echo
    QSignalSpy results(&service, &QPingService::pingResult);
    const QStringList names{QStringLiteral("No-Such-Server.tavrin.invalid"), QString()};
    for (const QString &hostname : names)
        service.pingHost(hostname);
    QCOMPARE(results.count(), 2);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(results.at(i), (QVariantList{names.at(i), -1}));
}

void tst_PingService::realEchoToLoopback()
{
    if (!QIcmpSocket().isValid())
        QSKIP("This process may open neither a datagram ICMP socket (net.ipv4.ping_group_range) "
              "nor a raw one (root or CAP_NET_RAW): no real echo possible here.");
    QPingService service;
    QSignalSpy results(&service, &QPingService::pingResult);
    for (const QString &host : {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")}) {
        service.pingHost(host);
        QCOMPARE(results.last().at(0).toString(), host);
        const int latency = results.last().at(1).toInt();
        QVERIFY2(latency >= 0 && latency <= QIcmpEcho::TimeoutMs, qPrintable(host));
    }
    QCOMPARE(results.count(), 2);
}

void tst_PingService::socketWaitsForItsOwnReply()
{
    QUdpSocket mine, host, stranger;
    QVERIFY(mine.bind(QHostAddress(Loopback), 0) && host.bind(QHostAddress(Loopback), 0)
            && stranger.bind(QHostAddress(OtherLoopback), 0));
    QIcmpSocket socket(::dup(int(mine.socketDescriptor())), 0x5151);
    QVERIFY(socket.isValid());
    const QByteArray payload = QIcmpEcho::payload();
    const quint16 sequence = QIcmpSocket::nextSequence();
    QCOMPARE(quint16(QIcmpSocket::nextSequence() - sequence), quint16(1));

    QVERIFY(socket.sendEcho(Loopback, sequence, payload, host.localPort()));
    QVERIFY(host.waitForReadyRead(20000));
    const QByteArray request = host.receiveDatagram().data();
    QCOMPARE(request, QIcmpPacket::echoRequest(0x5151, sequence, payload));

    // Stray, late and mismatched packets never end the wait: it times out having consumed them.
    QVERIFY(sendTo(stranger, mine, craftReply(0x5151, sequence, payload)));
    QVERIFY(sendTo(host, mine, craftReply(0x5151, sequence - 1, payload)));
    QVERIFY(sendTo(host, mine, craftReply(0x5152, sequence, payload)));
    QVERIFY(sendTo(host, mine, request));
    QCOMPARE(socket.waitForReply(Loopback, sequence, payload, QDeadlineTimer(QIcmpEcho::TimeoutMs)),
             QIcmpSocket::TimedOut);
    QVERIFY(sendTo(host, mine, craftReply(0x5151, sequence, payload)));
    QCOMPARE(socket.waitForReply(Loopback, sequence, payload, QDeadlineTimer(20000)),
             QIcmpSocket::Reply);
}

void tst_PingService::abortedEchoFailsAtOnce()
{
    // A wait with a readable wake-up descriptor ends at once instead of at its deadline.
    QUdpSocket mine;
    QVERIFY(mine.bind(QHostAddress(Loopback), 0));
    QIcmpSocket socket(::dup(int(mine.socketDescriptor())), 0x7171);
    int wakeup[2];
    QCOMPARE(::pipe(wakeup), 0);
    QCOMPARE(::write(wakeup[1], "x", 1), ssize_t(1));
    const QIcmpSocket::WaitResult result = socket.waitForReply(Loopback, 1, QIcmpEcho::payload(),
                                                               QDeadlineTimer(60000), wakeup[0]);
    ::close(wakeup[0]);
    ::close(wakeup[1]);
    QCOMPARE(result, QIcmpSocket::Interrupted);

    QSystemIcmpEcho echo;
    echo.abort();
    QCOMPARE(echo.echo(QStringLiteral("127.0.0.1")), -1);
}

TAVRIN_TEST_GUILESS_MAIN(tst_PingService)
#include "tst_pingservice.moc"
