// The real tavrin-sim driven through the client's own service connection over the local socket
// "Tavrin" in the isolated TMPDIR, with short timings so that every cycle is quick.

#include "qtavrinserviceconnection.h"
#include "qtavrinsimprocess.h"
#include "tavrincredentials.h"
#include "tavrindeployment.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdatetime.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>

namespace {

const int Patience = 30000;

// Exposes the reader, so that frames can be read without a socket.
class FedConnection : public QTavrinServiceConnection
{
public:
    using QTavrinServiceConnection::processIncomingData;
};

// Every signal of a connection, in order, as text.
class Recorder : public QObject
{
public:
    explicit Recorder(QTavrinServiceConnection *c)
    {
        using C = QTavrinServiceConnection;
        connect(c, &C::credentials, this, [this](const QByteArray &text) {
            entries << "credentials " + QString::fromLatin1(text);
        });
        connect(c, &C::notifyStatusChange, this,
                [this](char state) { entries << QString("state %1").arg(uchar(state)); });
        connect(c, &C::assignedIP, this,
                [this](const QByteArray &ip) { entries << "ip " + QString::fromLatin1(ip); });
        connect(c, &C::startTime, this,
                [this](uint time) { entries << QString("start %1").arg(time); });
        connect(c, &C::updateBandwidth, this, [this](uchar type, uint down, uint up) {
            entries << QString("bandwidth %1 %2 %3").arg(type).arg(down).arg(up);
        });
        connect(c, &C::loginFailed, this, [this] { entries << "login-failed"; });
    }
    int count(const QString &text) const { return entries.filter(text).size(); }
    // Without bandwidth samples; start time and address replaced by placeholders.
    QStringList masked() const
    {
        QStringList result;
        for (const QString &e : entries) {
            if (!e.startsWith("bandwidth"))
                result << (e.startsWith("start ") ? "start T" : e.startsWith("ip ") ? "ip A" : e);
        }
        return result;
    }
    QStringList entries;
};

QStringList words(const QString &text)
{
    return text.split(' ', Qt::SkipEmptyParts);
}

const QStringList down = {"state 2", "state 3"};

} // namespace

class tst_SimService : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void storedCredentials_data();
    void storedCredentials();
    void cycle_data();
    void cycle();
    void connectedCycle();
    void abort_data();
    void abort();
    void transportFailuresKeepTheGoodFrames_data();
    void transportFailuresKeepTheGoodFrames();
    void spontaneousTimeoutReconnects();
    void bandwidthReset();
    void clientsHaveTheirOwnSessions();

private:
    // Starts the program with short timings and connects a client to it.
    bool open(const QString &arguments, const QStringList &more = {});
    int lines(const QString &pattern) const
    {
        return m_sim->countLines(QRegularExpression(pattern));
    }
    QList<QPair<quint32, quint32>> loggedTotals() const;
    void connectTo(const QString &host, const QString &password = "demo")
    {
        m_connection->sendConnectToVPNRequest(host, "demo", password);
    }
    bool abortAndWait()
    {
        m_connection->sendAbortRequest();
        return QTest::qWaitFor([this] { return m_log->count("state 3") > 0; }, Patience)
               && m_log->count("state 3") == 1;
    }

    QScopedPointer<QTavrinSimProcess> m_sim;
    QScopedPointer<QTavrinServiceConnection> m_connection;
    QScopedPointer<Recorder> m_log;
};

bool tst_SimService::open(const QString &arguments, const QStringList &more)
{
    if (TavrinTestEnvironment::simProgram().isEmpty()) {
        qWarning("tavrin-sim is not built");
        return false;
    }
    m_sim.reset(new QTavrinSimProcess);
    const QString fast = "--connect-delay 100 --disconnect-delay 50 --retry-delay 100 "
                         "--bandwidth-interval 100 ";
    if (!m_sim->start(TavrinTestEnvironment::simProgram(), words(fast + arguments) + more)) {
        qWarning("%s", qPrintable(m_sim->errorString()));
        return false;
    }
    m_connection.reset(new QTavrinServiceConnection);
    m_log.reset(new Recorder(m_connection.data()));
    return m_connection->connectToService();
}

void tst_SimService::cleanup()
{
    m_log.reset();
    m_connection.reset();
    m_sim.reset();
}

// The running totals the program logged for its bandwidth samples, in order.
QList<QPair<quint32, quint32>> tst_SimService::loggedTotals() const
{
    static const QRegularExpression pattern(
            "TUNNEL session=\\d+ bandwidth download=(\\d+) upload=(\\d+)$");
    QList<QPair<quint32, quint32>> totals;
    for (const QString &line : m_sim->linesMatching(pattern)) {
        const QRegularExpressionMatch match = pattern.match(line);
        totals.append({match.captured(1).toUInt(), match.captured(2).toUInt()});
    }
    return totals;
}

void tst_SimService::storedCredentials_data()
{
    QTest::addColumn<QString>("stored"); // the password is all after the first colon
    QTest::newRow("stored") << "alice:s3cret";
    QTest::newRow("colon and space") << "bob:pa:ss w0rd";
    QTest::newRow("nothing stored") << QString();
}

void tst_SimService::storedCredentials()
{
    QFETCH(QString, stored);
    QVERIFY(open(QString(), stored.isEmpty() ? QStringList() : QStringList{"--stored", stored}));
    m_connection->sendCredentialsRequest();
    if (stored.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(lines("credentials request not answered"), 1, Patience);
        // A status request is read after anything sent so far, so an answer would show by now.
        m_connection->sendStatusRequest();
        QTRY_COMPARE_WITH_TIMEOUT(lines("status request ignored"), 1, Patience);
        QVERIFY(m_log->entries.isEmpty());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_log->entries.size(), 1, Patience);
    QVERIFY(m_log->entries.first().startsWith("credentials "));
    QString user, pass;
    QVERIFY(decodeUserPass(m_log->entries.first().mid(12), user, pass));
    QCOMPARE(user + ':' + pass, stored);
}

void tst_SimService::cycle_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("credentials");
    QTest::addColumn<QStringList>("expected");
    const QStringList accepted = {"state 0", "ip A", "start T", "state 1"};
    const QStringList refused = {"state 0", "login-failed"};
    // Like a real service it keeps trying an unknown host: Connecting, Timeout, Connecting...
    const QStringList retrying = {"state 0", "state 4", "state 0", "state 4"};
    const QString accounts = "--account alice:x:y --account carol:Zz9";
    const QString l = "127.0.0.12";
    const QString demo = "demo:demo";
    QTest::newRow("demo account") << QString() << l << demo << accepted;
    QTest::newRow("wrong password") << QString() << l << "demo:demO" << refused;
    QTest::newRow("unknown user") << QString() << l << "guest:demo" << refused;
    QTest::newRow("empty password") << QString() << l << "demo:" << refused;
    QTest::newRow("empty user name") << QString() << l << ":demo" << refused;
    QTest::newRow("first given account") << accounts << l << "alice:x:y" << accepted;
    QTest::newRow("second given account") << accounts << l << "carol:Zz9" << accepted;
    QTest::newRow("demo gone with accounts") << accounts << l << demo << refused;
    QTest::newRow("loopback location") << QString() << "127.0.0.29" << demo << accepted;
    QTest::newRow("automatic entry") << QString() << "127.0.0.1" << demo << accepted;
    QTest::newRow("listed, unresolvable")
            << QString() << "mx.vpn.tavrin-sim.invalid" << demo << accepted;
    QTest::newRow("automatic host") << QString() << tavrinAutoHostname() << demo << accepted;
    QTest::newRow("unlisted host") << QString() << "nowhere.example.invalid" << demo << retrying;
    QTest::newRow("unlisted loopback") << QString() << "127.0.0.200" << demo << retrying;
    QTest::newRow("empty host") << QString() << QString() << demo << retrying;
}

void tst_SimService::cycle()
{
    QFETCH(QString, arguments);
    QFETCH(QString, host);
    QFETCH(QString, credentials);
    QFETCH(QStringList, expected);
    QVERIFY(open(arguments));
    m_connection->sendConnectToVPNRequest(host, credentials.section(':', 0, 0),
                                          credentials.section(':', 1));
    QTRY_COMPARE_WITH_TIMEOUT(m_log->masked().mid(0, expected.size()), expected, Patience);
    // The client answers each with an abort.
    QVERIFY(abortAndWait());
    const QStringList states = m_log->masked();
    if (expected.last() == "state 4") {
        QCOMPARE(states.mid(states.size() - 2), down);
        for (const QString &state : states.mid(0, states.size() - 2))
            QVERIFY2(state == "state 0" || state == "state 4", qPrintable(state));
    } else {
        QCOMPARE(states, expected + down);
    }
    if (!expected.contains("state 1"))
        QCOMPARE(m_log->count("bandwidth"), 0);
}

void tst_SimService::connectedCycle()
{
    // Taking the tunnel down lasts three bandwidth intervals, so that a sample still running
    // after the abort would show before Disconnected.
    QVERIFY(open("--disconnect-delay 300"));
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    connectTo("127.0.0.12");
    QTRY_VERIFY_WITH_TIMEOUT(m_log->count("bandwidth") >= 5, Patience);
    const qint64 after = QDateTime::currentSecsSinceEpoch();

    // Address and start time come before the state, the first sample reports 0.
    const QStringList &entries = m_log->entries;
    QCOMPARE(entries.at(0), "state 0");
    QVERIFY2(QRegularExpression("^ip 10\\.8\\.0\\.\\d{1,3}$").match(entries.at(1)).hasMatch(),
             qPrintable(entries.at(1)));
    QVERIFY(entries.at(2).startsWith("start "));
    const qint64 start = entries.at(2).mid(6).toLongLong();
    QVERIFY2(start >= before && start <= after, qPrintable(entries.at(2)));
    QCOMPARE(entries.at(3), "state 1");
    QCOMPARE(entries.at(4), "bandwidth 1 0 0");

    // Every later sample is the increase of the running totals the program sent, with
    // traffic both ways and more down than up.
    const int samples = m_log->count("bandwidth");
    QTRY_VERIFY_WITH_TIMEOUT(loggedTotals().size() >= samples, Patience);
    const QList<QPair<quint32, quint32>> totals = loggedTotals();
    for (int i = 1; i < samples; ++i) {
        const quint32 received = totals.at(i).first - totals.at(i - 1).first;
        const quint32 sent = totals.at(i).second - totals.at(i - 1).second;
        QCOMPARE(entries.at(4 + i), QString("bandwidth 1 %1 %2").arg(received).arg(sent));
        QVERIFY(sent > 0 && sent < received);
    }
    // Bandwidth stops with the abort: nothing between Disconnecting and Disconnected.
    QVERIFY(abortAndWait());
    QCOMPARE(entries.mid(entries.indexOf("state 2")), down);
}

void tst_SimService::abort_data()
{
    QTest::addColumn<bool>("connecting");
    QTest::addColumn<QStringList>("expected");
    // Nothing to take down, but the client still learns that it is disconnected.
    QTest::newRow("idle") << false << QStringList("state 3");
    QTest::newRow("connecting") << true << QStringList("state 0") + down;
}

void tst_SimService::abort()
{
    QFETCH(bool, connecting);
    QFETCH(QStringList, expected);
    // Connected would come before Disconnected if the abort did not stop the attempt.
    QVERIFY(open("--connect-delay 300 --disconnect-delay 900"));
    if (connecting) {
        connectTo("127.0.0.2");
        QTRY_COMPARE_WITH_TIMEOUT(m_log->entries.size(), 1, Patience);
    }
    QVERIFY(abortAndWait());
    QCOMPARE(m_log->entries, expected);
}

void tst_SimService::transportFailuresKeepTheGoodFrames_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::newRow("plain") << QString();
    QTest::newRow("fragmented") << "--fragment";
    QTest::newRow("malformed") << "--malformed";
    QTest::newRow("fragmented and malformed") << "--fragment --malformed";
}

void tst_SimService::transportFailuresKeepTheGoodFrames()
{
    QFETCH(QString, arguments);
    QVERIFY(open(arguments + " --stored demo:demo"));
    m_connection->sendCredentialsRequest();
    QTRY_COMPARE_WITH_TIMEOUT(m_log->entries.size(), 1, Patience);
    connectTo("127.0.0.5");
    QTRY_VERIFY_WITH_TIMEOUT(m_log->count("bandwidth") >= 6, Patience);
    QVERIFY(abortAndWait());
    QTRY_COMPARE_WITH_TIMEOUT(lines(" SVC SEND session=1 type=13 len=5 01 05 0D 03 02$"), 1,
                              Patience);

    // The good frames the program logged as sent, read in one piece, give what the client saw.
    static const QRegularExpression sent(" SVC SEND session=1 type=\\d+ len=\\d+ ([0-9A-F ]+)$");
    QByteArray stream;
    for (const QString &line : m_sim->linesMatching(sent))
        stream += QByteArray::fromHex(sent.match(line).captured(1).toLatin1());
    FedConnection reference;
    Recorder expected(&reference);
    reference.processIncomingData(stream);
    QVERIFY(expected.entries.size() >= 11);
    QCOMPARE(m_log->entries, expected.entries);
    QCOMPARE(lines(" SVC SEND-BAD "), arguments.contains("malformed") ? lines(" SVC SEND ") : 0);
}

void tst_SimService::spontaneousTimeoutReconnects()
{
    QVERIFY(open("--spontaneous-timeout 1"));
    connectTo("127.0.0.7");
    QTRY_COMPARE_WITH_TIMEOUT(m_log->count("state 1"), 2, Patience);
    QVERIFY(abortAndWait());
    const QStringList states = m_log->masked();
    const QStringList up = {"state 0", "ip A", "start T", "state 1"};
    QCOMPARE(states.mid(0, 9), up + QStringList("state 4") + up);
    QCOMPARE(states.mid(states.size() - 2), down);
    // No bandwidth while the tunnel is down between Timeout and the next Connected.
    const QStringList &entries = m_log->entries;
    const int timeout = entries.indexOf("state 4");
    const int reconnected = entries.indexOf("state 1", timeout);
    QVERIFY(timeout > 0 && reconnected > timeout);
    for (const QString &entry : entries.mid(timeout, reconnected - timeout))
        QVERIFY2(!entry.startsWith("bandwidth"), qPrintable(entry));
}

void tst_SimService::bandwidthReset()
{
    QVERIFY(open("--bandwidth-reset 3"));
    connectTo("127.0.0.7");
    QTRY_VERIFY_WITH_TIMEOUT(m_log->count("bandwidth") >= 4, Patience);
    QTRY_VERIFY_WITH_TIMEOUT(loggedTotals().size() >= 4, Patience);
    QCOMPARE(lines("bandwidth counters reset"), 1);
    // The totals start again from zero at the third sample, which the client, reading
    // running totals, takes as a wrapped increase.
    const QList<QPair<quint32, quint32>> t = loggedTotals();
    QVERIFY(t.at(2).first < t.at(1).first && t.at(3).first > t.at(2).first);
    const quint32 wrapped = t.at(2).first - t.at(1).first;
    QVERIFY(wrapped > 0x80000000u);
    QVERIFY(m_log->entries.at(6).startsWith(QString("bandwidth 1 %1 ").arg(wrapped)));
    QCOMPARE(m_log->entries.at(7), QString("bandwidth 1 %1 %2")
                                           .arg(t.at(3).first - t.at(2).first)
                                           .arg(t.at(3).second - t.at(2).second));
}

void tst_SimService::clientsHaveTheirOwnSessions()
{
    QVERIFY(open(QString()));
    QTavrinServiceConnection second;
    QVERIFY(second.connectToService());
    Recorder secondLog(&second);
    connectTo("127.0.0.3");
    second.sendConnectToVPNRequest("127.0.0.3", "demo", "nope");
    QTRY_COMPARE_WITH_TIMEOUT(m_log->count("state 1"), 1, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(secondLog.count("login-failed"), 1, Patience);
    QCOMPARE(m_log->count("login-failed"), 0);
    QCOMPARE(secondLog.count("state 1"), 0);
    // Each session has its own tunnel address.
    second.sendConnectToVPNRequest("127.0.0.3", "demo", "demo");
    QTRY_COMPARE_WITH_TIMEOUT(secondLog.count("state 1"), 1, Patience);
    const QString firstIp = m_log->entries.at(1);
    const QString secondIp = secondLog.entries.at(secondLog.entries.indexOf("state 1") - 2);
    QVERIFY(firstIp.startsWith("ip 10.8.0.") && secondIp.startsWith("ip 10.8.0."));
    QVERIFY(firstIp != secondIp);
}

TAVRIN_TEST_MAIN(tst_SimService)
#include "tst_simservice.moc"
