// End-to-end tests of the stand-in service: the real tavrin-sim program, driven through the
// client's own service connection over the local socket "Tavrin" in the isolated TMPDIR.

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

// Short timings so that every cycle takes a fraction of a second.
QStringList fastTimings()
{
    return {QStringLiteral("--connect-delay"),      QStringLiteral("100"),
            QStringLiteral("--disconnect-delay"),   QStringLiteral("50"),
            QStringLiteral("--retry-delay"),        QStringLiteral("100"),
            QStringLiteral("--bandwidth-interval"), QStringLiteral("100")};
}

// Exposes the reader, so that frames can be read without a socket.
class FedConnection : public QTavrinServiceConnection
{
public:
    using QTavrinServiceConnection::processIncomingData;
};

// Every signal of a connection, in order, as text.
class Recorder : public QObject
{
    Q_OBJECT

public:
    explicit Recorder(QTavrinServiceConnection *connection)
    {
        connect(connection, &QTavrinServiceConnection::credentials, this,
                [this](const QByteArray &text) {
                    entries << QStringLiteral("credentials ") + QString::fromLatin1(text);
                });
        connect(connection, &QTavrinServiceConnection::notifyStatusChange, this,
                [this](char state) { entries << QStringLiteral("state %1").arg(uchar(state)); });
        connect(connection, &QTavrinServiceConnection::assignedIP, this,
                [this](const QByteArray &ip) {
                    entries << QStringLiteral("ip ") + QString::fromLatin1(ip);
                });
        connect(connection, &QTavrinServiceConnection::startTime, this,
                [this](uint time) { entries << QStringLiteral("start %1").arg(time); });
        connect(connection, &QTavrinServiceConnection::updateBandwidth, this,
                [this](uchar type, uint download, uint upload) {
                    entries << QStringLiteral("bandwidth %1 %2 %3")
                                       .arg(type)
                                       .arg(download)
                                       .arg(upload);
                });
        connect(connection, &QTavrinServiceConnection::loginFailed, this,
                [this] { entries << QStringLiteral("login-failed"); });
    }

    int count(const QString &prefix) const
    {
        int n = 0;
        for (const QString &entry : entries)
            n += entry.startsWith(prefix) ? 1 : 0;
        return n;
    }
    // The entries without bandwidth samples.
    QStringList withoutBandwidth() const
    {
        QStringList result;
        for (const QString &entry : entries) {
            if (!entry.startsWith(QLatin1String("bandwidth")))
                result << entry;
        }
        return result;
    }

    QStringList entries;
};

// The client's view of one cycle with the start time and address replaced by placeholders.
QStringList masked(const QStringList &entries)
{
    QStringList result;
    for (QString entry : entries) {
        if (entry.startsWith(QLatin1String("start ")))
            entry = QStringLiteral("start T");
        else if (entry.startsWith(QLatin1String("ip ")))
            entry = QStringLiteral("ip A");
        result << entry;
    }
    return result;
}

// The running totals the program logged for its bandwidth samples, in order.
QList<QPair<quint32, quint32>> loggedTotals(const QTavrinSimProcess &sim)
{
    static const QRegularExpression pattern(
            QStringLiteral("TUNNEL session=\\d+ bandwidth download=(\\d+) upload=(\\d+)$"));
    QList<QPair<quint32, quint32>> totals;
    for (const QString &line : sim.linesMatching(pattern)) {
        const QRegularExpressionMatch match = pattern.match(line);
        totals.append({match.captured(1).toUInt(), match.captured(2).toUInt()});
    }
    return totals;
}

// The good frames the program logged as sent, in order, joined into one byte stream.
QByteArray loggedGoodFrames(const QTavrinSimProcess &sim)
{
    static const QRegularExpression pattern(
            QStringLiteral(" SVC SEND session=\\d+ type=\\d+ len=\\d+ ([0-9A-F ]+)$"));
    QByteArray stream;
    for (const QString &line : sim.linesMatching(pattern))
        stream += QByteArray::fromHex(pattern.match(line).captured(1).toLatin1());
    return stream;
}

} // namespace

class tst_SimService : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void storedCredentials_data();
    void storedCredentials();
    void login_data();
    void login();
    void connectedCycle();
    void hosts_data();
    void hosts();
    void abortWhileConnecting();
    void abortWhileIdle();
    void transportFailuresKeepTheGoodFrames_data();
    void transportFailuresKeepTheGoodFrames();
    void spontaneousTimeoutReconnects();
    void bandwidthReset();
    void clientsHaveTheirOwnSessions();

private:
    bool startSim(QTavrinSimProcess *sim, const QStringList &arguments);
};

void tst_SimService::init()
{
    QVERIFY2(!TavrinTestEnvironment::simProgram().isEmpty(), "tavrin-sim is not built");
}

bool tst_SimService::startSim(QTavrinSimProcess *sim, const QStringList &arguments)
{
    if (sim->start(TavrinTestEnvironment::simProgram(), fastTimings() + arguments))
        return true;
    qWarning("%s", qPrintable(sim->errorString()));
    return false;
}

void tst_SimService::storedCredentials_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::newRow("stored") << QStringList{QStringLiteral("--stored"),
                                           QStringLiteral("alice:s3cret")}
                            << true << QStringLiteral("alice") << QStringLiteral("s3cret");
    QTest::newRow("password with colon and space")
            << QStringList{QStringLiteral("--stored"), QStringLiteral("bob:pa:ss w0rd")} << true
            << QStringLiteral("bob") << QStringLiteral("pa:ss w0rd");
    QTest::newRow("nothing stored") << QStringList() << false << QString() << QString();
}

void tst_SimService::storedCredentials()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, answered);
    QFETCH(QString, username);
    QFETCH(QString, password);

    QTavrinSimProcess sim;
    QVERIFY(startSim(&sim, arguments));
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    Recorder recorder(&connection);
    connection.sendCredentialsRequest();

    if (answered) {
        QTRY_COMPARE_WITH_TIMEOUT(recorder.entries.size(), 1, Patience);
        QVERIFY(recorder.entries.first().startsWith(QLatin1String("credentials ")));
        QString user;
        QString pass;
        QVERIFY(decodeUserPass(recorder.entries.first().mid(12), user, pass));
        QCOMPARE(user, username);
        QCOMPARE(pass, password);
    } else {
        const QRegularExpression unanswered(QStringLiteral("credentials request not answered"));
        QTRY_COMPARE_WITH_TIMEOUT(sim.countLines(unanswered), 1, Patience);
        // The log line comes after the request was read; an answer would have been written
        // before it. A status request sent afterwards is read after anything sent so far.
        connection.sendStatusRequest();
        QTRY_COMPARE_WITH_TIMEOUT(sim.countLines(QRegularExpression(
                                          QStringLiteral("status request ignored"))),
                                  1, Patience);
        QVERIFY(recorder.entries.isEmpty());
    }
    connection.disconnectFromService();
}

void tst_SimService::login_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    const QStringList none;
    const QStringList alice = {QStringLiteral("--account"), QStringLiteral("alice:x:y"),
                               QStringLiteral("--account"), QStringLiteral("carol:Zz9")};
    QTest::newRow("demo account") << none << "demo"
                                  << "demo" << true;
    QTest::newRow("wrong password") << none << "demo"
                                    << "demO" << false;
    QTest::newRow("unknown user") << none << "guest"
                                  << "demo" << false;
    QTest::newRow("empty password") << none << "demo"
                                    << "" << false;
    QTest::newRow("empty user name") << none << ""
                                     << "demo" << false;
    QTest::newRow("first given account") << alice << "alice"
                                         << "x:y" << true;
    QTest::newRow("second given account") << alice << "carol"
                                          << "Zz9" << true;
    QTest::newRow("demo gone when accounts given") << alice << "demo"
                                                   << "demo" << false;
}

void tst_SimService::login()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(bool, accepted);

    QTavrinSimProcess sim;
    QVERIFY(startSim(&sim, arguments));
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    Recorder recorder(&connection);
    connection.sendConnectToVPNRequest(QStringLiteral("127.0.0.12"), username, password);

    const QStringList expected = accepted ? QStringList{QStringLiteral("state 0"),
                                                        QStringLiteral("ip A"),
                                                        QStringLiteral("start T"),
                                                        QStringLiteral("state 1")}
                                          : QStringList{QStringLiteral("state 0"),
                                                        QStringLiteral("login-failed")};
    QTRY_COMPARE_WITH_TIMEOUT(masked(recorder.withoutBandwidth()), expected, Patience);

    // The client answers either with an abort.
    connection.sendAbortRequest();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("state 3")), 1, Patience);
    const QStringList afterAbort = expected
                                   + QStringList{QStringLiteral("state 2"),
                                                 QStringLiteral("state 3")};
    QCOMPARE(masked(recorder.withoutBandwidth()), afterAbort);
    if (!accepted)
        QCOMPARE(recorder.count(QStringLiteral("bandwidth")), 0);
    connection.disconnectFromService();
}

void tst_SimService::connectedCycle()
{
    QTavrinSimProcess sim;
    // Taking the tunnel down lasts three bandwidth intervals, so that a sample still running
    // after the abort would show before Disconnected.
    QVERIFY(startSim(&sim, {QStringLiteral("--disconnect-delay"), QStringLiteral("300")}));
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    Recorder recorder(&connection);

    const qint64 before = QDateTime::currentSecsSinceEpoch();
    connection.sendConnectToVPNRequest(QStringLiteral("127.0.0.12"), QStringLiteral("demo"),
                                       QStringLiteral("demo"));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.count(QStringLiteral("bandwidth")) >= 5, Patience);
    const qint64 after = QDateTime::currentSecsSinceEpoch();

    // Address and start time come before the state, the first sample of a kind reports 0.
    const QStringList &entries = recorder.entries;
    QCOMPARE(entries.at(0), QStringLiteral("state 0"));
    QVERIFY2(QRegularExpression(QStringLiteral("^ip 10\\.8\\.0\\.\\d{1,3}$"))
                     .match(entries.at(1))
                     .hasMatch(),
             qPrintable(entries.at(1)));
    QVERIFY(entries.at(2).startsWith(QLatin1String("start ")));
    const qint64 start = entries.at(2).mid(6).toLongLong();
    QVERIFY2(start >= before && start <= after, qPrintable(entries.at(2)));
    QCOMPARE(entries.at(3), QStringLiteral("state 1"));
    QCOMPARE(entries.at(4), QStringLiteral("bandwidth 1 0 0"));

    // Every later sample is the increase of the running totals the program sent.
    const int samples = recorder.count(QStringLiteral("bandwidth"));
    QTRY_VERIFY_WITH_TIMEOUT(loggedTotals(sim).size() >= samples, Patience);
    const QList<QPair<quint32, quint32>> totals = loggedTotals(sim);
    for (int i = 1; i < samples; ++i) {
        const quint32 download = totals.at(i).first - totals.at(i - 1).first;
        const quint32 upload = totals.at(i).second - totals.at(i - 1).second;
        QCOMPARE(entries.at(4 + i), QStringLiteral("bandwidth 1 %1 %2").arg(download).arg(upload));
        // Plausible traffic: something both ways, more down than up.
        QVERIFY(download > 0);
        QVERIFY(upload > 0);
        QVERIFY(upload < download);
    }

    connection.sendAbortRequest();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("state 3")), 1, Patience);
    QStringList tail = recorder.withoutBandwidth().mid(4);
    QCOMPARE(tail, (QStringList{QStringLiteral("state 2"), QStringLiteral("state 3")}));

    // Bandwidth stops with the abort: none between Disconnecting and Disconnected, which is
    // three intervals later.
    const int disconnecting = recorder.entries.indexOf(QStringLiteral("state 2"));
    QCOMPARE(recorder.entries.mid(disconnecting),
             (QStringList{QStringLiteral("state 2"), QStringLiteral("state 3")}));
    connection.disconnectFromService();
}

void tst_SimService::hosts_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("reachable");
    QTest::newRow("loopback location") << QStringLiteral("127.0.0.29") << true;
    QTest::newRow("automatic entry of the list") << QStringLiteral("127.0.0.1") << true;
    QTest::newRow("listed host that does not resolve")
            << QStringLiteral("mx.vpn.tavrin-sim.invalid") << true;
    QTest::newRow("automatic-selection host") << tavrinAutoHostname() << true;
    QTest::newRow("unlisted host") << QStringLiteral("nowhere.example.invalid") << false;
    QTest::newRow("unlisted loopback") << QStringLiteral("127.0.0.200") << false;
    QTest::newRow("empty host") << QString() << false;
}

void tst_SimService::hosts()
{
    QFETCH(QString, host);
    QFETCH(bool, reachable);

    QTavrinSimProcess sim;
    QVERIFY(startSim(&sim, {}));
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    Recorder recorder(&connection);
    connection.sendConnectToVPNRequest(host, QStringLiteral("demo"), QStringLiteral("demo"));

    if (reachable) {
        QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("state 1")), 1, Patience);
        QCOMPARE(recorder.count(QStringLiteral("state 4")), 0);
    } else {
        // Like a real service it keeps trying: Connecting, Timeout, Connecting, Timeout...
        QTRY_VERIFY_WITH_TIMEOUT(recorder.count(QStringLiteral("state 4")) >= 2, Patience);
        QCOMPARE(recorder.entries.mid(0, 4),
                 (QStringList{QStringLiteral("state 0"), QStringLiteral("state 4"),
                              QStringLiteral("state 0"), QStringLiteral("state 4")}));
    }
    connection.sendAbortRequest();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("state 3")), 1, Patience);
    const QStringList states = recorder.withoutBandwidth();
    QCOMPARE(states.mid(states.size() - 2),
             (QStringList{QStringLiteral("state 2"), QStringLiteral("state 3")}));
    QCOMPARE(recorder.count(QStringLiteral("login-failed")), 0);
    QCOMPARE(recorder.count(QStringLiteral("state 1")), reachable ? 1 : 0);
    connection.disconnectFromService();
}

void tst_SimService::abortWhileConnecting()
{
    QTavrinSimProcess sim;
    // Connected would come before Disconnected if the abort did not stop the attempt.
    QVERIFY(startSim(&sim, {QStringLiteral("--connect-delay"), QStringLiteral("300"),
                            QStringLiteral("--disconnect-delay"), QStringLiteral("900")}));
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    Recorder recorder(&connection);
    connection.sendConnectToVPNRequest(QStringLiteral("127.0.0.2"), QStringLiteral("demo"),
                                       QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.entries.size(), 1, Patience);
    connection.sendAbortRequest();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("state 3")), 1, Patience);
    QCOMPARE(recorder.entries, (QStringList{QStringLiteral("state 0"), QStringLiteral("state 2"),
                                            QStringLiteral("state 3")}));
    connection.disconnectFromService();
}

void tst_SimService::abortWhileIdle()
{
    QTavrinSimProcess sim;
    QVERIFY(startSim(&sim, {}));
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    Recorder recorder(&connection);
    connection.sendAbortRequest();
    // Nothing to take down, but the client still learns that it is disconnected.
    QTRY_COMPARE_WITH_TIMEOUT(recorder.entries, QStringList{QStringLiteral("state 3")}, Patience);
    connection.disconnectFromService();
}

void tst_SimService::transportFailuresKeepTheGoodFrames_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("plain") << QStringList();
    QTest::newRow("fragmented") << QStringList{QStringLiteral("--fragment")};
    QTest::newRow("malformed") << QStringList{QStringLiteral("--malformed")};
    QTest::newRow("fragmented and malformed")
            << QStringList{QStringLiteral("--fragment"), QStringLiteral("--malformed")};
}

void tst_SimService::transportFailuresKeepTheGoodFrames()
{
    QFETCH(QStringList, arguments);
    const bool malformed = arguments.contains(QStringLiteral("--malformed"));

    QTavrinSimProcess sim;
    QVERIFY(startSim(&sim, arguments
                                   + QStringList{QStringLiteral("--stored"),
                                                 QStringLiteral("demo:demo")}));
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    Recorder recorder(&connection);

    connection.sendCredentialsRequest();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.entries.size(), 1, Patience);
    connection.sendConnectToVPNRequest(QStringLiteral("127.0.0.5"), QStringLiteral("demo"),
                                       QStringLiteral("demo"));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.count(QStringLiteral("bandwidth")) >= 6, Patience);
    connection.sendAbortRequest();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("state 3")), 1, Patience);
    const QRegularExpression lastFrame(
            QStringLiteral(" SVC SEND session=1 type=13 len=5 01 05 0D 03 02$"));
    QTRY_COMPARE_WITH_TIMEOUT(sim.countLines(lastFrame), 1, Patience);

    // The good frames the program sent, read in one piece, give exactly what the client saw.
    FedConnection reference;
    Recorder expected(&reference);
    reference.processIncomingData(loggedGoodFrames(sim));
    QVERIFY(expected.entries.size() >= 11);
    QCOMPARE(recorder.entries, expected.entries);

    const int goodFrames = sim.countLines(QRegularExpression(QStringLiteral(" SVC SEND ")));
    const int badFrames = sim.countLines(QRegularExpression(QStringLiteral(" SVC SEND-BAD ")));
    QCOMPARE(badFrames, malformed ? goodFrames : 0);
    connection.disconnectFromService();
}

void tst_SimService::spontaneousTimeoutReconnects()
{
    QTavrinSimProcess sim;
    QVERIFY(startSim(&sim, {QStringLiteral("--spontaneous-timeout"), QStringLiteral("1")}));
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    Recorder recorder(&connection);
    connection.sendConnectToVPNRequest(QStringLiteral("127.0.0.7"), QStringLiteral("demo"),
                                       QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("state 1")), 2, Patience);
    connection.sendAbortRequest();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("state 3")), 1, Patience);

    QStringList states = masked(recorder.withoutBandwidth());
    QCOMPARE(states.mid(0, 9), (QStringList{QStringLiteral("state 0"), QStringLiteral("ip A"),
                                            QStringLiteral("start T"), QStringLiteral("state 1"),
                                            QStringLiteral("state 4"), QStringLiteral("state 0"),
                                            QStringLiteral("ip A"), QStringLiteral("start T"),
                                            QStringLiteral("state 1")}));
    QCOMPARE(states.mid(states.size() - 2),
             (QStringList{QStringLiteral("state 2"), QStringLiteral("state 3")}));
    // No bandwidth while the tunnel is down between Timeout and the next Connected.
    const int timeout = recorder.entries.indexOf(QStringLiteral("state 4"));
    const int reconnected = recorder.entries.indexOf(QStringLiteral("state 1"), timeout);
    QVERIFY(timeout > 0 && reconnected > timeout);
    for (int i = timeout; i < reconnected; ++i)
        QVERIFY2(!recorder.entries.at(i).startsWith(QLatin1String("bandwidth")),
                 qPrintable(recorder.entries.at(i)));
    connection.disconnectFromService();
}

void tst_SimService::bandwidthReset()
{
    QTavrinSimProcess sim;
    QVERIFY(startSim(&sim, {QStringLiteral("--bandwidth-reset"), QStringLiteral("3")}));
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    Recorder recorder(&connection);
    connection.sendConnectToVPNRequest(QStringLiteral("127.0.0.7"), QStringLiteral("demo"),
                                       QStringLiteral("demo"));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.count(QStringLiteral("bandwidth")) >= 4, Patience);
    QTRY_VERIFY_WITH_TIMEOUT(loggedTotals(sim).size() >= 4, Patience);
    QCOMPARE(sim.countLines(QRegularExpression(QStringLiteral("bandwidth counters reset"))), 1);

    const QList<QPair<quint32, quint32>> totals = loggedTotals(sim);
    // The totals start again from zero at the third sample...
    QVERIFY(totals.at(2).first < totals.at(1).first);
    QVERIFY(totals.at(3).first > totals.at(2).first);
    // ...which the client, per its reading of running totals, takes as a wrapped increase.
    const quint32 wrapped = totals.at(2).first - totals.at(1).first;
    QVERIFY(wrapped > 0x80000000u);
    QVERIFY(recorder.entries.at(6).startsWith(QStringLiteral("bandwidth 1 %1 ").arg(wrapped)));
    QCOMPARE(recorder.entries.at(7), QStringLiteral("bandwidth 1 %1 %2")
                                             .arg(totals.at(3).first - totals.at(2).first)
                                             .arg(totals.at(3).second - totals.at(2).second));
    connection.disconnectFromService();
}

void tst_SimService::clientsHaveTheirOwnSessions()
{
    QTavrinSimProcess sim;
    QVERIFY(startSim(&sim, {}));
    QTavrinServiceConnection first;
    QTavrinServiceConnection second;
    QVERIFY(first.connectToService());
    QVERIFY(second.connectToService());
    Recorder firstLog(&first);
    Recorder secondLog(&second);
    first.sendConnectToVPNRequest(QStringLiteral("127.0.0.3"), QStringLiteral("demo"),
                                  QStringLiteral("demo"));
    second.sendConnectToVPNRequest(QStringLiteral("127.0.0.3"), QStringLiteral("demo"),
                                   QStringLiteral("nope"));
    QTRY_COMPARE_WITH_TIMEOUT(firstLog.count(QStringLiteral("state 1")), 1, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(secondLog.count(QStringLiteral("login-failed")), 1, Patience);
    QCOMPARE(firstLog.count(QStringLiteral("login-failed")), 0);
    QCOMPARE(secondLog.count(QStringLiteral("state 1")), 0);
    // Each session has its own tunnel address.
    const QString firstIp = firstLog.entries.at(1);
    second.sendConnectToVPNRequest(QStringLiteral("127.0.0.3"), QStringLiteral("demo"),
                                   QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(secondLog.count(QStringLiteral("state 1")), 1, Patience);
    const QString secondIp = secondLog.entries.at(
            secondLog.entries.indexOf(QStringLiteral("state 1")) - 2);
    QVERIFY(firstIp.startsWith(QLatin1String("ip 10.8.0.")));
    QVERIFY(secondIp.startsWith(QLatin1String("ip 10.8.0.")));
    QVERIFY(firstIp != secondIp);
    first.disconnectFromService();
    second.disconnectFromService();
}

TAVRIN_TEST_MAIN(tst_SimService)
#include "tst_simservice.moc"
