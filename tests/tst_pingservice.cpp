#include "qicmpecho.h"
#include "qicmppacket.h"
#include "qpingservice.h"
#include "qsystemicmpecho.h"
#include "tavrintestenvironment.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qendian.h>
#include <QtCore/qmutex.h>
#include <QtCore/qthread.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#ifdef Q_OS_UNIX
#include "qicmpsocket_unix.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

// An echo that answers from a table and remembers every host name it was given.
class ScriptedEcho : public QIcmpEcho
{
public:
    explicit ScriptedEcho(QHash<QString, int> latencies)
        : m_latencies(std::move(latencies))
    {}

    int echo(const QString &hostname) override
    {
        QMutexLocker locker(&s_mutex);
        s_asked.append(hostname);
        return m_latencies.value(hostname, -1);
    }

    static QStringList takeAsked()
    {
        QMutexLocker locker(&s_mutex);
        QStringList asked = s_asked;
        s_asked.clear();
        return asked;
    }

private:
    QHash<QString, int> m_latencies;
    static QMutex s_mutex;
    static QStringList s_asked;
};

QMutex ScriptedEcho::s_mutex;
QStringList ScriptedEcho::s_asked;

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

class tst_PingService : public QObject
{
    Q_OBJECT

private slots:
    void checksum();
    void echoRequest();
    void replyMatching_data();
    void replyMatching();
    void injectedEcho_data();
    void injectedEcho();
    void resultsCrossThreads();
    void unresolvableName();
    void emptyName();
    void realEchoToLoopback();
    void socketWaitsForItsOwnReply();
    void socketTimesOutOnStrayReplies();
    void socketWaitIsInterrupted();
    void abortedEchoFailsAtOnce();
};

void tst_PingService::checksum()
{
    // The worked example of the Internet checksum: the sum of the words is 0xddf2.
    const QByteArray words = QByteArray::fromHex("0001f203f4f5f6f7");
    QCOMPARE(QIcmpPacket::checksum(words), quint16(0x220d));
    // An odd length pads the last byte with a zero byte.
    QCOMPARE(QIcmpPacket::checksum(QByteArray::fromHex("0001f203f4f5f6")),
             QIcmpPacket::checksum(QByteArray::fromHex("0001f203f4f5f600")));
}

void tst_PingService::echoRequest()
{
    const QByteArray payload = QIcmpEcho::payload();
    QCOMPARE(payload, QByteArray("abcdefghijklmnopqest"));
    QCOMPARE(payload.size(), 20);
    const QByteArray request = QIcmpPacket::echoRequest(0x1234, 0xabcd, payload);
    QCOMPARE(request.size(), 28);
    QCOMPARE(quint8(request.at(0)), quint8(8));
    QCOMPARE(quint8(request.at(1)), quint8(0));
    QCOMPARE(qFromBigEndian<quint16>(request.constData() + 4), quint16(0x1234));
    QCOMPARE(qFromBigEndian<quint16>(request.constData() + 6), quint16(0xabcd));
    QCOMPARE(request.mid(8), payload);
    QCOMPARE(QIcmpPacket::checksum(request), quint16(0)); // a valid checksum sums to zero
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
        auto row = [&](const char *name) -> QTestData & {
            return QTest::newRow(QByteArray(kind + name).constData());
        };
        row("our reply") << craftReply(id, seq, payload, raw) << raw << Loopback << true;
        row("late reply to the previous echo")
                << craftReply(id, seq - 1, payload, raw) << raw << Loopback << false;
        row("reply to a later echo")
                << craftReply(id, seq + 1, payload, raw) << raw << Loopback << false;
        row("another program's echo")
                << craftReply(id + 1, seq, payload, raw) << raw << Loopback << false;
        row("other payload") << craftReply(id, seq, "abcdefghijklmnopqrst", raw) << raw << Loopback
                             << false;
        row("short payload") << craftReply(id, seq, payload.left(19), raw) << raw << Loopback
                             << false;
        row("our own request") << craftReply(id, seq, payload, raw, Loopback,
                                             QIcmpPacket::EchoRequest)
                               << raw << Loopback << false;
        row("stray host") << craftReply(id, seq, payload, raw, Loopback) << raw << OtherLoopback
                          << false;
        QByteArray corrupted = craftReply(id, seq, payload, raw);
        corrupted[corrupted.size() - 1] = 'X';
        row("bad checksum") << corrupted << raw << Loopback << false;
        row("truncated") << craftReply(id, seq, payload, raw).left(raw ? 30 : 10) << raw << Loopback
                         << false;
        row("empty") << QByteArray() << raw << Loopback << false;
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
    QFETCH(bool, ours);
    QIcmpPacket::Expectation expected;
    expected.address = Loopback;
    expected.identifier = 0x4242;
    expected.sequence = 7;
    expected.payload = QIcmpEcho::payload();
    QCOMPARE(QIcmpPacket::isEchoReply(packet, withIpHeader, sender, expected), ours);
}

void tst_PingService::injectedEcho_data()
{
    QTest::addColumn<QString>("hostname");
    QTest::addColumn<int>("echoed");
    QTest::addColumn<int>("expected");
    QTest::newRow("answer") << QStringLiteral("de.example.test") << 37 << 37;
    QTest::newRow("zero") << QStringLiteral("fast.example.test") << 0 << 0;
    QTest::newRow("time-out") << QStringLiteral("Silent.Example.test") << -1 << -1;
    QTest::newRow("odd failure value") << QStringLiteral(" spaced host ") << -42 << -1;
}

void tst_PingService::injectedEcho()
{
    QFETCH(QString, hostname);
    QFETCH(int, echoed);
    QFETCH(int, expected);
    QPingService service(new ScriptedEcho({{hostname, echoed}}));
    QSignalSpy results(&service, &QPingService::pingResult);
    ScriptedEcho::takeAsked();
    service.pingHost(hostname);
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.at(0).at(0).toString(), hostname);
    QCOMPARE(results.at(0).at(1).toInt(), expected);
    QCOMPARE(ScriptedEcho::takeAsked(), QStringList() << hostname);
}

void tst_PingService::resultsCrossThreads()
{
    QThread thread;
    auto *service = new QPingService(new ScriptedEcho({{"a", 12}, {"b", -1}}));
    service->moveToThread(&thread);
    connect(&thread, &QThread::finished, service, &QObject::deleteLater);
    thread.start();

    QStringList hosts;
    QList<int> latencies;
    QList<QThread *> threads;
    connect(service, &QPingService::pingResult, this, [&](const QString &host, int latency) {
        hosts.append(host);
        latencies.append(latency);
        threads.append(QThread::currentThread());
    });
    for (const char *host : {"a", "b", "a"})
        QMetaObject::invokeMethod(service, "pingHost", Qt::QueuedConnection,
                                  Q_ARG(QString, QString::fromLatin1(host)));
    QTRY_COMPARE_WITH_TIMEOUT(hosts.size(), 3, 20000);
    QCOMPARE(hosts, QStringList() << "a"
                                  << "b"
                                  << "a");
    QCOMPARE(latencies, QList<int>() << 12 << -1 << 12);
    QCOMPARE(threads.count(QThread::currentThread()), 3);
    thread.quit();
    QVERIFY(thread.wait(20000));
}

void tst_PingService::unresolvableName()
{
    QPingService service;
    QSignalSpy results(&service, &QPingService::pingResult);
    const QString hostname = QStringLiteral("No-Such-Server.tavrin.invalid");
    service.pingHost(hostname);
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.at(0).at(0).toString(), hostname);
    QCOMPARE(results.at(0).at(1).toInt(), -1);
}

void tst_PingService::emptyName()
{
    QSystemIcmpEcho echo;
    QCOMPARE(echo.echo(QString()), -1);
}

void tst_PingService::realEchoToLoopback()
{
#ifdef Q_OS_UNIX
    if (!QIcmpSocket().isValid())
        QSKIP("This process may open neither a datagram ICMP socket (net.ipv4.ping_group_range) "
              "nor a raw one (root or CAP_NET_RAW): no real echo possible here.");
#endif
    QPingService service;
    QSignalSpy results(&service, &QPingService::pingResult);
    for (const QString &host : {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")}) {
        service.pingHost(host);
        QCOMPARE(results.last().at(0).toString(), host);
        const int latency = results.last().at(1).toInt();
        QVERIFY2(latency >= 0, qPrintable(host));
        QVERIFY(latency <= QIcmpEcho::TimeoutMs);
    }
    QCOMPARE(results.count(), 2);
}

#ifdef Q_OS_UNIX
// A pair of UDP sockets on loopback stands in for the network: the reply matching reads from
// one, and the test answers from the other (or from a second loopback address).
struct UdpPeer
{
    int descriptor = -1;
    quint16 port = 0;

    bool open(quint32 address)
    {
        descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(address);
        socklen_t length = sizeof(local);
        if (descriptor < 0 || ::bind(descriptor, reinterpret_cast<sockaddr *>(&local), length) != 0
            || ::getsockname(descriptor, reinterpret_cast<sockaddr *>(&local), &length) != 0)
            return false;
        port = ntohs(local.sin_port);
        return true;
    }

    bool sendTo(quint16 targetPort, const QByteArray &packet) const
    {
        sockaddr_in target = {};
        target.sin_family = AF_INET;
        target.sin_port = htons(targetPort);
        target.sin_addr.s_addr = htonl(Loopback);
        return ::sendto(descriptor, packet.constData(), size_t(packet.size()), 0,
                        reinterpret_cast<sockaddr *>(&target), sizeof(target))
               == packet.size();
    }

    QByteArray receive() const
    {
        QByteArray buffer(1024, '\0');
        const ssize_t size = ::recv(descriptor, buffer.data(), size_t(buffer.size()), 0);
        return size < 0 ? QByteArray() : buffer.left(int(size));
    }

    ~UdpPeer()
    {
        if (descriptor >= 0)
            ::close(descriptor);
    }
};
#endif

void tst_PingService::socketWaitsForItsOwnReply()
{
#ifdef Q_OS_UNIX
    UdpPeer mine;
    UdpPeer host;
    UdpPeer stranger;
    QVERIFY(mine.open(Loopback));
    QVERIFY(host.open(Loopback));
    QVERIFY(stranger.open(OtherLoopback));
    const int descriptor = ::dup(mine.descriptor);
    QVERIFY(descriptor >= 0);
    QIcmpSocket socket(descriptor, 0x5151);
    const QByteArray payload = QIcmpEcho::payload();
    const quint16 sequence = QIcmpSocket::nextSequence();
    QCOMPARE(quint16(QIcmpSocket::nextSequence() - sequence), quint16(1));

    QVERIFY(socket.sendEcho(Loopback, sequence, payload, host.port));
    const QByteArray request = host.receive();
    QCOMPARE(request, QIcmpPacket::echoRequest(0x5151, sequence, payload));

    // Stray and late packets first, then the answer; only the answer ends the wait.
    QVERIFY(stranger.sendTo(mine.port, craftReply(0x5151, sequence, payload)));
    QVERIFY(host.sendTo(mine.port, craftReply(0x5151, sequence - 1, payload)));
    QVERIFY(host.sendTo(mine.port, craftReply(0x5152, sequence, payload)));
    QVERIFY(host.sendTo(mine.port, request));
    QVERIFY(host.sendTo(mine.port, craftReply(0x5151, sequence, payload)));
    QCOMPARE(socket.waitForReply(Loopback, sequence, payload, QDeadlineTimer(20000)),
             QIcmpSocket::Reply);
#else
    QSKIP("ICMP sockets are a Unix matter");
#endif
}

void tst_PingService::socketTimesOutOnStrayReplies()
{
#ifdef Q_OS_UNIX
    UdpPeer mine;
    UdpPeer host;
    QVERIFY(mine.open(Loopback));
    QVERIFY(host.open(Loopback));
    QIcmpSocket socket(::dup(mine.descriptor), 0x6161);
    QVERIFY(socket.isValid());
    const QByteArray payload = QIcmpEcho::payload();
    const quint16 sequence = QIcmpSocket::nextSequence();
    QVERIFY(host.sendTo(mine.port, craftReply(0x6161, sequence + 1, payload)));
    QVERIFY(host.sendTo(mine.port, craftReply(0x6161, sequence, payload.left(10))));
    QCOMPARE(socket.waitForReply(Loopback, sequence, payload, QDeadlineTimer(QIcmpEcho::TimeoutMs)),
             QIcmpSocket::TimedOut);
    // The answer that comes after the time-out is still recognised by a new wait: the stray
    // packets before it were consumed, not left to confuse the next echo.
    QVERIFY(host.sendTo(mine.port, craftReply(0x6161, sequence, payload)));
    QCOMPARE(socket.waitForReply(Loopback, sequence, payload, QDeadlineTimer(20000)),
             QIcmpSocket::Reply);
#else
    QSKIP("ICMP sockets are a Unix matter");
#endif
}

void tst_PingService::socketWaitIsInterrupted()
{
#ifdef Q_OS_UNIX
    UdpPeer mine;
    QVERIFY(mine.open(Loopback));
    QIcmpSocket socket(::dup(mine.descriptor), 0x7171);
    int wakeup[2];
    QCOMPARE(::pipe(wakeup), 0);
    QCOMPARE(::write(wakeup[1], "x", 1), ssize_t(1));
    const QIcmpSocket::WaitResult result = socket.waitForReply(Loopback, 1, QIcmpEcho::payload(),
                                                               QDeadlineTimer(60000), wakeup[0]);
    ::close(wakeup[0]);
    ::close(wakeup[1]);
    QCOMPARE(result, QIcmpSocket::Interrupted);
#else
    QSKIP("ICMP sockets are a Unix matter");
#endif
}

void tst_PingService::abortedEchoFailsAtOnce()
{
    QSystemIcmpEcho echo;
    echo.abort();
    QCOMPARE(echo.echo(QStringLiteral("127.0.0.1")), -1);
    QPingService service(new ScriptedEcho({{"a", 3}}));
    service.abort(); // a scripted echo has nothing to interrupt and keeps answering
    QSignalSpy results(&service, &QPingService::pingResult);
    service.pingHost(QStringLiteral("a"));
    QCOMPARE(results.at(0).at(1).toInt(), 3);
}

TAVRIN_TEST_GUILESS_MAIN(tst_PingService)
#include "tst_pingservice.moc"
