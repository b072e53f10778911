// The web API clients against tavrin-sim's own web API in-process (over http and https) and
// against loopback peers; the tavrin-sim program itself as clients and scripts see it.

#include "sim/qtavrinsimprocess.h"
#include "sim/tavrinsimserverlist.h"
#include "tavrintestdesktop.h"
#include "tavrintestenvironment.h"
#include "tavrintestplatform.h"
#include "ui/qpublicaddresslookup.h"
#include "webapi/qvpnlistservers.h"
#include "webapi/tavrinwebapi.h"

#include <QtNetwork/QtNetwork>
#include <QtTest/QtTest>

typedef QList<VPNServer> ServerList;

namespace {

const QString detecting = QStringLiteral("Detecting...|");
const QString address = QStringLiteral("203.0.113.10"); // the stand-in's while no tunnel is up
const QString unknown = detecting.repeated(4) + "Unknown.";

// The list one request brings; a marker entry when finished() does not come exactly once.
ServerList fetch(const QByteArray &host, int timeout = Patience)
{
    qputenv("TAVRIN_API_HOST", host);
    QNetworkAccessManager manager;
    QVPNListServers client(&manager);
    client.setTimeout(timeout);
    QSignalSpy finished(&client, &QVPNListServers::finished);
    client.sendRequest();
    const bool ended = finished.wait(Patience);
    QCoreApplication::processEvents(); // a second finished() would come now
    return ended && finished.count() == 1 ? client.servers() : ServerList{{"finished()", {}, {}}};
}

// A lookup wired as the window wires it to its requests and a network manager it shares.
struct Lookup : QPublicAddressLookup
{
    QNetworkAccessManager manager;
    QStringList texts;
    explicit Lookup(int timeout = Patience)
    {
        setRetryInterval(1);
        setTimeout(timeout);
        connect(this, &Lookup::requestDue, this, [this] { sendRequest(&manager); });
        connect(this, &Lookup::textChanged, [this](const QString &text) { texts << text; });
    }
    // The texts from restart() to the first that is not "Detecting...", joined by '|'.
    QString round()
    {
        texts.clear();
        restart();
        waitUntil(
                [this] { return texts.value(texts.size() - 1, "Detecting...") != "Detecting..."; });
        return texts.join('|');
    }
};

} // namespace

class tst_WebApi : public QObject
{
    Q_OBJECT

    static ServerList builtIn()
    {
        return QVPNListServers::parseServers(QJsonDocument(builtInServerList()).toJson());
    }

private slots:
    void init() { QFile::remove(TavrinTestEnvironment::instance()->home() + "/tavrin-client.log"); }

    void serverList_data()
    {
        QTest::addColumn<QByteArray>("body"); // null: nobody listens
        QTest::addColumn<ServerList>("expected");
        QTest::newRow("keys ascending, bad members skipped")
                << QByteArray(R"({"b":{"code":"B","host":"b"}, "a":{"code":"A","host":"a"},
                    "No host":{"code":"X"}, "No code":{"host":"x"}, "S":"x", "L":[1,2],
                    "G":{"code":"DE","host":"de","extra":5}, "N":{"code":4,"host":null},
                    "ip":"10.9.9.9"})")
                << ServerList{{"G", "DE", "de"}, {"N", {}, {}}, {"a", "A", "a"}, {"b", "B", "b"}};
        QTest::newRow("array") << QByteArray(R"([{"code":"DE","host":"de"}])") << ServerList();
        QTest::newRow("broken") << QByteArray(R"({"N":{"code":"DE","host":"de")") << ServerList();
        QTest::newRow("nobody listens") << QByteArray() << ServerList();
    }
    // Behind an error status a list still counts, an address does not.
    void serverList()
    {
        QFETCH(QByteArray, body);
        QTcpServer peer;
        QVERIFY(peer.listen(QHostAddress::LocalHost));
        connect(&peer, &QTcpServer::newConnection, [&] {
            peer.nextPendingConnection()->write("HTTP/1.1 500 Error\r\nContent-Length: "
                                                + QByteArray::number(body.size()) + "\r\n\r\n"
                                                + body);
        });
        const QByteArray host = "http://127.0.0.1:"
                                + QByteArray::number(body.isNull() ? 1 : peer.serverPort());
        QTEST(fetch(host), "expected");
        QCOMPARE(Lookup().round(), unknown);
    }

    // Each answer as the list and the address lookup take it: hostile ones (an "ip" of a
    // million characters, a body that never ends, cut at the size cap, and one that trickles
    // for ever, ended by a short time-out) count as no answer, with a line in the log.
    void answers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("list"); // whether the list arrives
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("again"); // after a restart
        QTest::addColumn<QString>("log");
        const auto row = [](const char *tag, const QString &arguments, bool list,
                            const QString &first, const QString &again, const char *log = "") {
            QTest::newRow(tag) << arguments.split(' ', Qt::SkipEmptyParts) << list << first << again
                               << QString(log);
        };
        row("answer", "", true, detecting + address, detecting + address);
        row("two HTTP errors", "--ip-fail 2", true, detecting.repeated(3) + address,
            detecting + address);
        row("five HTTP errors", "--ip-fail 5", true, unknown, detecting.repeated(2) + address);
        row("not JSON", "--ip-body broken", true, unknown, unknown);
        row("ip not a string", "--ip-body number", true, unknown, unknown);
        row("ip long", "--ip-body long", true, unknown, unknown, "get_ip was longer than 4096");
        row("ip endless", "--ip-body endless", true, unknown, unknown,
            "get_ip was longer than 4096");
        row("ip trickle", "--ip-body trickle", true, unknown, unknown,
            "get_ip took more than 40 ms");
        row("list endless", "--list-body endless", false, detecting + address, detecting + address,
            "get_list was longer than 4194304 bytes");
        row("list trickle", "--list-body trickle", false, detecting + address, detecting + address,
            "get_list took more than 40 ms");
    }
    void answers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, list);
        QFETCH(QString, log);
        TavrinTestDesktop desktop(arguments);
        QVERIFY(desktop.start(false));
        const QString options = arguments.join(' ');
        QCOMPARE(fetch(qgetenv("TAVRIN_API_HOST"), options == "--list-body trickle" ? 40 : Patience),
                 list ? builtIn() : ServerList());
        Lookup lookup(options == "--ip-body trickle" ? 40 : Patience);
        // The manager is shared: the lookup neither reads nor answers nor deletes others' replies
        // (where the web API answers them), nor shows, asks for or waits to ask for anything.
        QSignalSpy due(&lookup, &QPublicAddressLookup::requestDue);
        const QList<QUrl> foreign{tavrinPublicAddressUrl(), tavrinServerListUrl()};
        for (const QUrl &url : options.isEmpty() ? foreign : QList<QUrl>()) {
            QPointer<QNetworkReply> reply = lookup.manager.get(QNetworkRequest(url));
            QVERIFY(waitUntil([&] { return !reply || reply->isFinished(); }));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // would act now
            QVERIFY(reply && reply->bytesAvailable() > 0);
            delete reply;
        }
        QVERIFY(lookup.texts.isEmpty() && due.isEmpty()
                && !lookup.findChild<QTimer *>()->isActive());
        QTEST(lookup.round(), "first");
        QVERIFY(!lookup.findChild<QTimer *>()->isActive()); // no request follows on its own
        QTEST(lookup.round(), "again");
        QVERIFY2(TavrinTestEnvironment::logText().contains(log), qPrintable(log));
    }

    // Over https the certificate is checked against the trusted authorities: a server signed by
    // none of them is asked nothing and shows nothing, and the log tells why; once it is
    // trusted, the list and the address arrive.
    void https()
    {
        // A throwaway certificate for 127.0.0.1, made with a configuration of its own: a
        // cross-built openssl has no system one.
        const QString folder = TavrinTestEnvironment::instance()->tempDir();
        QFile config(folder + "/openssl.cnf");
        QVERIFY(config.open(QIODevice::WriteOnly)
                && config.write("[req]\ndistinguished_name=dn\n[dn]\n"));
        config.close();
        const QString request
                = "req -config %1/openssl.cnf -x509 -newkey ec -pkeyopt "
                  "ec_paramgen_curve:P-256 -nodes -days 1 -subj /CN=127.0.0.1 -addext "
                  "subjectAltName=IP:127.0.0.1 -keyout %1/server.key -out %1/server.pem";
        QCOMPARE(QProcess::execute("openssl", request.arg(folder).split(' ')), 0);
        TavrinTestDesktop desktop(
                {"--tls-cert", folder + "/server.pem", "--tls-key", folder + "/server.key"});
        QVERIFY(desktop.start(false));
        const QByteArray host = qgetenv("TAVRIN_API_HOST");
        QVERIFY(host.startsWith("https://127.0.0.1:"));
        Lookup lookup;
        QCOMPARE(fetch(host), ServerList());
        QCOMPARE(lookup.round(), unknown);
        QCOMPARE(desktop.log().filter(QRegularExpression("^HTTP ")), QStringList());
        for (const char *call : {"get_list", "get_ip"}) {
            const QString line = "TLS verification failed for " + QString(call) + " at " + host;
            QVERIFY2(TavrinTestEnvironment::logText().contains(line + ": "), qPrintable(line));
        }

        const QSslConfiguration system = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = system;
        QVERIFY(trusting.addCaCertificates(folder + "/server.pem"));
        QSslConfiguration::setDefaultConfiguration(trusting);
        const ServerList servers = fetch(host);
        const QString shown = lookup.round();
        QSslConfiguration::setDefaultConfiguration(system);
        QCOMPARE(servers, builtIn());
        QCOMPARE(shown, detecting + address);
    }

    // Its first line, its web API that answers the client's own key only, its end on SIGTERM
    // (WM_CLOSE on Windows) with 0; a bad option ends it with 2, a certificate it cannot use
    // with 1.
    void simProgram()
    {
        QTavrinSimProcess sim;
        QVERIFY2(sim.start(TavrinTestEnvironment::simProgram()), qPrintable(sim.errorString()));
        QVERIFY(QRegularExpression("^PORT [1-9]\\d*$").match(sim.lines().value(0)).hasMatch());
        QNetworkAccessManager manager;
        for (const QString &path :
             QStringList{"/get_list/" + QString(tavrinApiKey).toUpper(), "/get_ip/nope"}) {
            std::unique_ptr<QNetworkReply> reply(
                    manager.get(QNetworkRequest(QUrl(sim.apiHost() + path))));
            QVERIFY(waitUntil([&] { return reply->isFinished(); }));
            QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 403);
        }
        QVERIFY(TavrinTestPlatform::localServerExists("Tavrin"));
        QVERIFY(sim.stop());
        QVERIFY(!TavrinTestPlatform::localServerExists("Tavrin"));
        for (const auto &[arguments, exitCode, error] :
             {std::make_tuple("--connect-delay soon", 2, "--connect-delay"),
              std::make_tuple("--tls-cert c.pem --tls-key c.key", 1, "certificate c.pem")}) {
            QProcess bad;
            bad.start(TavrinTestEnvironment::simProgram(), QString(arguments).split(' '));
            QVERIFY(bad.waitForFinished(Patience));
            QCOMPARE(bad.exitCode(), exitCode);
            QVERIFY2(bad.readAllStandardError().contains(error), error);
        }
    }
};

TAVRIN_TEST_MAIN(tst_WebApi)
#include "tst_webapi.moc"
