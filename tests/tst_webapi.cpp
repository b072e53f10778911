// The web API clients against tavrin-sim's web API (over http and https) and a loopback peer.

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
        waitUntil([this] { return !texts.isEmpty() && texts.last() != "Detecting..."; });
        return texts.join('|');
    }
};

} // namespace

class tst_WebApi : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(TavrinTestEnvironment::instance()->home() + "/tavrin-client.log"); }

    void serverList_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<ServerList>("expected");
        QTest::newRow("keys ascending, bad members skipped")
                << QByteArray(R"({"b":{"code":"B","host":"b"}, "a":{"code":"A","host":"a"},
                    "No host":{"code":"X"}, "No code":{"host":"x"}, "S":"x", "L":[1,2],
                    "G":{"code":"DE","host":"de","extra":5}, "N":{"code":4,"host":null},
                    "ip":"10.9.9.9"})")
                << ServerList{{"G", "DE", "de"}, {"N", {}, {}}, {"a", "A", "a"}, {"b", "B", "b"}};
        QTest::newRow("broken") << QByteArray(R"({"N":{"code":"DE","host":"de")") << ServerList();
    }
    // Behind an error status a list still counts.
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
        QTEST(fetch("http://127.0.0.1:" + QByteArray::number(peer.serverPort())), "expected");
    }

    // Each answer as the list and the address lookup take it: hostile ones (too long, or trickling
    // for ever, ended by a short time-out) count as no answer, with a line in the log. Over https
    // a server signed by none of the trusted authorities is asked nothing, and the log tells why.
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
        const QString answer = detecting + address;
        row("answer", "", true, answer, answer);
        row("five HTTP errors", "--ip-fail 5", true, unknown, detecting.repeated(2) + address);
        row("ip long", "--ip-body long", true, unknown, unknown, "get_ip was longer than 4096");
        row("ip trickle", "--ip-body trickle", true, unknown, unknown, "get_ip took more than 40");
        row("list endless", "--list-body endless", false, answer, answer,
            "get_list was longer than 4194304 bytes");
        row("list trickle", "--list-body trickle", false, answer, answer, "get_list took more than");
        // A throwaway certificate for 127.0.0.1, made with a configuration of its own: a
        // cross-built openssl has no system one.
        const QString folder = TavrinTestEnvironment::instance()->tempDir();
        QFile config(folder + "/openssl.cnf");
        QVERIFY(config.open(QIODevice::WriteOnly)
                && config.write("[req]\ndistinguished_name=dn\n[dn]\n") && config.flush());
        const QString request
                = "req -config %1/openssl.cnf -x509 -newkey ec -pkeyopt "
                  "ec_paramgen_curve:P-256 -nodes -days 1 -subj /CN=127.0.0.1 -addext "
                  "subjectAltName=IP:127.0.0.1 -keyout %1/server.key -out %1/server.pem";
        QCOMPARE(QProcess::execute("openssl", request.arg(folder).split(' ')), 0);
        const QString tls = QString("--tls-cert %1/server.pem --tls-key %1/server.key").arg(folder);
        row("https", tls, false, unknown, unknown, "TLS verification failed for get_ip at https://");
        row("https, trusted", tls, true, answer, answer); // the last: the trust stays
    }
    void answers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, list);
        QFETCH(QString, log);
        const bool trusted = QByteArray(QTest::currentDataTag()).endsWith("trusted");
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        QVERIFY(!trusted || trusting.addCaCertificates(arguments.at(1)));
        QSslConfiguration::setDefaultConfiguration(trusting);
        TavrinTestDesktop desktop(arguments);
        QVERIFY(desktop.start(false));
        const QString options = arguments.join(' ');
        QCOMPARE(fetch(qgetenv("TAVRIN_API_HOST"), options == "--list-body trickle" ? 40 : Patience),
                 list ? QVPNListServers::parseServers(QJsonDocument(builtInServerList()).toJson())
                      : ServerList());
        Lookup lookup(options == "--ip-body trickle" ? 40 : Patience);
        QSignalSpy due(&lookup, &QPublicAddressLookup::requestDue); // nothing before restart()
        QVERIFY(lookup.texts.isEmpty() && due.isEmpty()
                && !lookup.findChild<QTimer *>()->isActive());
        QTEST(lookup.round(), "first");
        QVERIFY(!lookup.findChild<QTimer *>()->isActive()); // no request follows on its own
        QTEST(lookup.round(), "again");
        QVERIFY2(TavrinTestEnvironment::logText().contains(log), qPrintable(log));
        QVERIFY(!log.startsWith("TLS")
                || desktop.log().filter(QRegularExpression("^HTTP ")).isEmpty());
    }
};

TAVRIN_TEST_MAIN(tst_WebApi)
#include "tst_webapi.moc"
