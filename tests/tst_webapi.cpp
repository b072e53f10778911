// The web API clients against tavrin-sim's own web API in-process (over http and https) and
// against loopback peers.

#include "sim/tavrinsimserverlist.h"
#include "tavrintestdesktop.h"
#include "tavrintestenvironment.h"
#include "ui/qpublicaddresslookup.h"
#include "webapi/qvpnlistservers.h"
#include "webapi/tavrinwebapi.h"

#include <QtNetwork/QtNetwork>
#include <QtTest/QtTest>

typedef QList<VPNServer> ServerList;

namespace {

const QString detecting = QStringLiteral("Detecting...|");
const QString address = QStringLiteral("203.0.113.10"); // the stand-in's while no tunnel is up

// A loopback peer that answers every connection with the given bytes.
struct Peer : QTcpServer
{
    explicit Peer(const QByteArray &answer)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, [=] { nextPendingConnection()->write(answer); });
    }
    QByteArray host() const { return "http://127.0.0.1:" + QByteArray::number(serverPort()); }
};

// The list one request brings; a marker entry when finished() does not come exactly once.
ServerList fetch(const QByteArray &host, int timeout = 10000)
{
    qputenv("TAVRIN_API_HOST", host);
    QNetworkAccessManager manager;
    QVPNListServers client(&manager);
    client.setTimeout(timeout);
    QSignalSpy finished(&client, &QVPNListServers::finished);
    client.sendRequest();
    const bool ended = finished.wait(Patience);
    QCoreApplication::processEvents(); // a second finished() would come now
    const bool once = ended && finished.count() == 1;
    return once ? client.servers() : ServerList{{"finished() count", {}, {}}};
}

// A lookup wired as the window wires it to its requests and a network manager it shares.
struct Lookup : QPublicAddressLookup
{
    Lookup()
    {
        setRetryInterval(1);
        connect(this, &Lookup::requestDue, this, [this] { sendRequest(&manager); });
        connect(this, &Lookup::textChanged, [this](const QString &text) { texts << text; });
    }
    // The texts from restart() to the first that is not "Detecting...", joined by '|'.
    QString round()
    {
        texts.clear();
        QEventLoop loop;
        connect(this, &Lookup::textChanged, &loop, [&loop](const QString &text) {
            if (text != "Detecting...")
                loop.quit();
        });
        QTimer::singleShot(Patience, &loop, &QEventLoop::quit);
        restart();
        loop.exec();
        return texts.join('|');
    }
    QNetworkAccessManager manager;
    QStringList texts;
};

// A throwaway certificate authority and a server certificate it signed for 127.0.0.1, made in
// the folder: ca.pem, server.pem and server.key.
bool makeCertificates(const QString &folder)
{
    // A configuration of its own: a cross-built openssl has no system one.
    QFile config(folder + "/openssl.cnf");
    if (!config.open(QIODevice::WriteOnly)
        || config.write("[req]\ndistinguished_name = dn\n[dn]\n") < 0)
        return false;
    config.close();
    const QString request = "req -config openssl.cnf -x509 -newkey ec -pkeyopt "
                            "ec_paramgen_curve:P-256 -nodes -days 1 ";
    const QString server = "-keyout server.key -out server.pem -subj /CN=127.0.0.1 -CA ca.pem "
                           "-CAkey ca.key -addext subjectAltName=IP:127.0.0.1 "
                           "-addext basicConstraints=CA:FALSE";
    for (const QString &step :
         QStringList{request + "-keyout ca.key -out ca.pem -subj /CN=Tavrin-test-CA",
                     request + server}) {
        QProcess openssl;
        openssl.setWorkingDirectory(folder);
        openssl.start("openssl", step.split(' '));
        if (!openssl.waitForFinished(Patience) || openssl.exitCode() != 0)
            return false;
    }
    return true;
}

} // namespace

class tst_WebApi : public QObject
{
    Q_OBJECT

private slots:
    void parseServers_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<ServerList>("expected");
        QTest::newRow("keys ascending, bad members skipped")
                << QByteArray(R"({"b":{"code":"B","host":"b"}, "a":{"code":"A","host":"a"},
                    "No host":{"code":"X"}, "No code":{"host":"x"}, "S":"x", "L":[1,2],
                    "G":{"code":"DE","host":"de","extra":5}, "N":{"code":4,"host":null}})")
                << ServerList{{"G", "DE", "de"}, {"N", {}, {}}, {"a", "A", "a"}, {"b", "B", "b"}};
        QTest::newRow("array") << QByteArray(R"([{"code":"DE","host":"de"}])") << ServerList();
        QTest::newRow("broken") << QByteArray(R"({"N":{"code":"DE","host":"de")") << ServerList();
    }
    void parseServers()
    {
        QFETCH(QByteArray, body);
        QTEST(QVPNListServers::parseServers(body), "expected");
    }

    void badPeers()
    {
        // Behind an error status a list still counts, an address does not; no answer gives none.
        Peer failing("HTTP/1.1 500 Error\r\nContent-Length: 47\r\n\r\n"
                     R"({"G":{"code":"DE","host":"de"},"ip":"10.9.9.9"})");
        QCOMPARE(fetch(failing.host()), (ServerList{{"G", "DE", "de"}}));
        QCOMPARE(fetch("http://127.0.0.1:1"), ServerList()); // nobody listens there
        qputenv("TAVRIN_API_HOST", failing.host());
        Lookup lookup;
        QCOMPARE(lookup.round(), detecting.repeated(4) + "Unknown.");
    }

    void addressLookup_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("again"); // after a restart
        const QString unknown = detecting.repeated(4) + "Unknown.";
        QTest::newRow("answer") << QStringList() << detecting + address << detecting + address;
        QTest::newRow("two HTTP errors") << QStringList{"--ip-fail", "2"}
                                         << detecting.repeated(3) + address << detecting + address;
        QTest::newRow("five HTTP errors")
                << QStringList{"--ip-fail", "5"} << unknown << detecting.repeated(2) + address;
        QTest::newRow("not JSON") << QStringList{"--ip-body", "broken"} << unknown << unknown;
        QTest::newRow("ip not a string")
                << QStringList{"--ip-body", "number"} << unknown << unknown;
        // Hostile answers: an "ip" of a million characters, a body that never ends (cut at the
        // size cap) and one that trickles for ever (ended by the time-out).
        for (const char *body : {"long", "endless", "trickle"})
            QTest::newRow(body) << QStringList{"--ip-body", body} << unknown << unknown;
    }
    void addressLookup()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, first);
        TavrinTestDesktop desktop(arguments);
        QVERIFY(desktop.start(false));
        Lookup lookup;
        // A trickle ends only by the time-out: a short one keeps the eight tries quick.
        lookup.setTimeout(arguments.contains("trickle") ? 40 : 150);
        QCOMPARE(lookup.round(), first);
        QVERIFY(!lookup.findChild<QTimer *>()->isActive()); // no request follows on its own
        QTEST(lookup.round(), "again");
    }

    // A list body that never ends is cut at the size cap, one that trickles by the time-out;
    // both count as no answer, with a line in the log.
    void hostileLists()
    {
        for (const char *body : {"endless", "trickle"}) {
            TavrinTestDesktop desktop({"--list-body", body});
            QVERIFY(desktop.start(false));
            QCOMPARE(fetch(qgetenv("TAVRIN_API_HOST"),
                           QByteArray(body) == "trickle" ? 150 : Patience),
                     ServerList());
        }
        for (const char *line :
             {"get_list was longer than 4194304 bytes", "get_list took more than 150 ms"})
            QVERIFY2(TavrinTestEnvironment::logText().contains(line), line);
    }

    // Over https the certificate is checked against the trusted authorities: a server signed by
    // none of them is asked nothing and shows nothing, and the log tells why; once its authority
    // is trusted, the list and the address arrive.
    void https()
    {
        const QString folder = TavrinTestEnvironment::instance()->tempDir();
        QVERIFY(makeCertificates(folder));
        TavrinTestDesktop desktop(
                {"--tls-cert", folder + "/server.pem", "--tls-key", folder + "/server.key"});
        QVERIFY(desktop.start(false));
        const QByteArray host = qgetenv("TAVRIN_API_HOST");
        QVERIFY(host.startsWith("https://127.0.0.1:"));
        Lookup lookup;
        QCOMPARE(fetch(host), ServerList());
        QCOMPARE(lookup.round(), detecting.repeated(4) + "Unknown.");
        QCOMPARE(desktop.log().filter(QRegularExpression("^HTTP ")), QStringList());
        for (const char *call : {"get_list", "get_ip"}) {
            const QString line = "TLS verification failed for " + QString(call) + " at " + host;
            QVERIFY2(TavrinTestEnvironment::logText().contains(line + ": "), qPrintable(line));
        }

        const QSslConfiguration system = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = system;
        QVERIFY(trusting.addCaCertificates(folder + "/ca.pem"));
        QSslConfiguration::setDefaultConfiguration(trusting);
        const ServerList servers = fetch(host);
        const QString shown = lookup.round();
        QSslConfiguration::setDefaultConfiguration(system);
        QCOMPARE(servers,
                 QVPNListServers::parseServers(QJsonDocument(builtInServerList()).toJson()));
        QCOMPARE(shown, detecting + address);
    }

    // The manager is shared: the lookup neither reads nor answers nor deletes others' replies.
    void foreignRepliesAreLeftAlone()
    {
        TavrinTestDesktop desktop;
        QVERIFY(desktop.start(false));
        Lookup lookup;
        QSignalSpy due(&lookup, &QPublicAddressLookup::requestDue);
        for (const QUrl &url : {tavrinPublicAddressUrl(), tavrinServerListUrl()}) {
            QPointer<QNetworkReply> reply = lookup.manager.get(QNetworkRequest(url));
            QTRY_VERIFY(!reply || reply->isFinished());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // would act now
            QVERIFY(reply && reply->bytesAvailable() > 0);
            delete reply;
        }
        // Nothing shown, asked for or waiting to be asked for.
        QVERIFY(lookup.texts.isEmpty() && due.isEmpty()
                && !lookup.findChild<QTimer *>()->isActive());
    }
};

TAVRIN_TEST_MAIN(tst_WebApi)
#include "tst_webapi.moc"
