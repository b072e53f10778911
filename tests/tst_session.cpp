// The session without a window: against a service of the test's own on the socket "Tavrin", and
// the stand-in's web API where the server list or the public address is needed.

#include "service/tavrincredentials.h"
#include "service/tavrinframe.h"
#include "settings/qvpnclientsettings.h"
#include "tavrintestdesktop.h"
#include "ui/qconnectionclock.h"
#include "ui/qpublicaddresslookup.h"
#include "ui/qtavrinsession.h"

#include <QtNetwork/QtNetwork>
#include <QtTest/QtTest>

namespace {

// "Automatic" is not the first entry; the list is read in key order.
const char serverList[] = R"({"Zambia": {"code": "ZM", "host": "127.0.0.4"},
    "Automatic": {"code": "auto", "host": "127.0.0.3"},
    "Trinidad & Tobago": {"code": "TT", "host": "127.0.0.2"}})";

// The session under test, the service it talks to, and what it tells: a line per signal.
struct Session : QTavrinSession
{
    QLocalServer service;
    QLocalSocket *client = nullptr;
    QTavrinFrameSplitter splitter;
    QList<QByteArray> received; // the requests, as the service read them
    QStringList told;
    QString timeConnected, address;
    quint32 barrier = 0, handled = 0;

    Session()
    {
        QLocalServer::removeServer(QStringLiteral("Tavrin"));
        service.listen(QStringLiteral("Tavrin"));
        connect(&service, &QLocalServer::newConnection, this, [this] {
            client = service.nextPendingConnection();
            connect(client, &QLocalSocket::readyRead, this, [this] {
                splitter.append(client->readAll());
                for (QByteArray frame; splitter.nextFrame(&frame);)
                    received.append(frame);
            });
        });
        findChild<QPublicAddressLookup *>()->setRetryInterval(3600000); // ended by the tests
        using S = QTavrinSession;
        tell(&S::stateChanged, "state"), tell(&S::connectionChosen, "chosen");
        tell(&S::credentialsArrived, "credentials"), tell(&S::serversArrived, "servers");
        tell(&S::userEndsConnection, "ends"), tell(&S::connectRequested, "connecting");
        tell(&S::requestRefused, "refused"), tell(&S::loginFailed, "login failed");
        tell(&S::exitNow, "exit"), tell(&S::connectionLost, "lost");
        connect(this, &S::timeConnectedChanged, [this](const QString &t) { timeConnected = t; });
        connect(this, &S::publicAddressChanged, [this](const QString &t) { address = t; });
        connect(this, &S::bandwidthSample, [this](uchar, uint down) { handled = down; });
    }
    static QString said(qint64 number) { return QString::number(number); }
    static QString said(const QString &text) { return text; }
    static QString said(const VPNServer &server) { return server.name; }
    static QString said(const QList<VPNServer> &list) { return QString::number(list.size()); }
    template<class Signal>
    void tell(Signal signal, const char *name)
    {
        connect(this, signal, [this, name](const auto &...values) {
            told.append(QStringList{QString::fromLatin1(name), said(values)...}.join(' '));
        });
    }
    bool open()
    {
        return connectToService() && waitUntil([this] { return client; });
    }
    // Sends frames and returns once the session has handled them: a sample of type 0, handed on
    // as it is, follows them.
    bool deliver(const QByteArray &bytes)
    {
        client->write(bytes + buildBandwidthFrame(0, ++barrier, 0));
        return waitUntil([this] { return handled == barrier; });
    }
    QString tale() const { return told.join('|'); }
    // The requests the service read: "connect host user password" (or the credential text as it
    // is, when it holds no pair), "abort", "ask" (credentials).
    QString sent() const
    {
        QStringList lines;
        for (const QByteArray &frame : received) {
            const quint8 type = quint8(frame.at(2));
            QByteArray host, text;
            QString user, word;
            if (type == ConnectToVPNRequest) {
                const bool pair = parseConnectRequest(frame, &host, &text)
                                  && decodeUserPass(text, user, word);
                lines << "connect " + host + ' ' + (pair ? user + ' ' + word : QString(text));
            } else {
                lines << (type == AbortRequest         ? "abort"
                          : type == CredentialsRequest ? "ask"
                                                       : "?");
            }
        }
        return lines.join('|');
    }
    bool waitForSent(int n)
    {
        return waitUntil([&] { return received.size() >= n; });
    }
    static QString stored()
    {
        QString name, word;
        return QVPNClientSettings::getCredentials(name, word) ? name + '/' + word : QString();
    }
    // The one-second timers of the session's clock.
    QList<int> clockTimers() const
    {
        QList<int> timers;
        for (const auto &timer : QAbstractEventDispatcher::instance()->registeredTimers(
                     findChild<QConnectionClock *>()))
            if (timer.interval == 1000)
                timers.append(timer.timerId);
        return timers;
    }
};

// The stand-in's web API, without its service.
struct WebApi : TavrinTestDesktop
{
    explicit WebApi(const QStringList &arguments = {})
        : TavrinTestDesktop(arguments)
    {
        setServerList(serverList), start(false);
    }
};

} // namespace

class tst_Session : public QObject
{
    Q_OBJECT

private slots:
    void init() { TavrinTestDesktop::resetSettings(); }
    void restore_data();
    void restore();
    void loginAndRefusals();
    void commands_data();
    void commands();
    void switchServer_data();
    void switchServer();
    void clock();
    void floods_data();
    void floods();
};

void tst_Session::restore_data()
{
    QTest::addColumn<bool>("stored"); // credentials and a chosen server
    QTest::addColumn<bool>("autoLogin");
    QTest::addColumn<QString>("told");
    QTest::addColumn<QString>("sent"); // at start, and by a login then
    const QString alice = "chosen Freedonia -1|credentials alice s3cret pass|connecting";
    const QString nobody = "chosen Automatic -1|connecting";
    const QString login = "connect 127.0.0.9 alice s3cret pass";
    const QString empty = "connect " + tavrinAutoHostname() + ' ' + encodeUserPass({}, {});
    QTest::newRow("nothing stored") << false << false << nobody << "ask|" + empty;
    QTest::newRow("stored") << true << false << alice << login;
    QTest::newRow("stored, auto-login") << true << true << alice << login;
    // Auto-login does not wait for the answer to the credentials request: empty ones go out.
    QTest::newRow("auto-login, nothing stored") << false << true << nobody << "ask|" + empty;
}

void tst_Session::restore()
{
    QFETCH(bool, stored);
    QFETCH(bool, autoLogin);
    QFETCH(QString, sent);
    if (stored) {
        QVPNClientSettings::setConnection({"Freedonia", "FD", "127.0.0.9"});
        QVPNClientSettings::setCredentials("alice", "s3cret pass");
    }
    QVPNClientSettings::setAutoLogin(autoLogin);
    Session session;
    QVERIFY(session.open());
    session.restore();
    QVERIFY(session.deliver({}));
    QCOMPARE(session.sent(), autoLogin ? sent : sent.section('|', 0, -2));
    if (!autoLogin)
        session.connectToVPN();
    QTEST(session.tale(), "told");
    QVERIFY(session.waitForSent(sent.count('|') + 1));
    QCOMPARE(session.sent(), sent);
}

// The service's answer to the credentials request is the next login's; a reply that does not
// decode is none, and the text ends at a zero byte. A refused login gets one abort, however
// often the service repeats it (one that repeats LoginFailed and never reads), and is told once
// on the next Disconnected; nothing is stored. A request that cannot be sent is told, and
// nothing goes out; so it is once the service has closed the link.
void tst_Session::loginAndRefusals()
{
    Session session;
    QVERIFY(session.open());
    for (const QByteArray &reply : QList<QByteArray>{encodeUserPass("dörte", "pa55 wörd"), "!!!",
                                                     encodeUserPass("erin", "pw") + '\0' + "junk"})
        QVERIFY(session.deliver(buildCredentialsReplyFrame(reply)));
    session.connectToVPN();
    QVERIFY(session.deliver(buildFrame(LoginFailed).repeated(20000)));
    QVERIFY(session.deliver(buildStatusFrame(Timeout) + buildStatusFrame(Disconnected).repeated(2)));
    session.setCredentials(QString(256, QLatin1Char('u')), "pw");
    session.connectToVPN();
    QVERIFY(session.deliver({}) && session.isLinkOpen());
    QVERIFY(TavrinTestEnvironment::logText().contains(
            "Warning: TavrinServiceConnection cannot send"));
    session.client->close();
    QVERIFY(waitUntil([&] { return session.told.contains("lost"); }));
    session.toggleConnection();
    QCOMPARE(session.tale(), "credentials dörte pa55 wörd|credentials erin pw|connecting|state 4 |"
                             "state 3 |login failed|state 3 |refused|lost|refused");
    QCOMPARE(session.sent(), "connect  erin pw|abort");
    QVERIFY(!session.isLinkOpen() && session.stored().isEmpty());
}

void tst_Session::commands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("told");
    // The big button and the tray's first entry: Disconnected connects, a tunnel that is up or
    // being brought back is taken down. Exit ends the program at once when disconnected, once
    // the tunnel is down when connected, and does nothing in between.
    for (int code : {0, 1, 2, 3, 4, 200}) {
        const bool down = code == Connected || code == Timeout;
        const QString login = code == Disconnected ? "connect 127.0.0.9 alice secret" : "";
        QTest::addRow("toggle, code %d", code)
                << "toggle" << code << (down ? "abort" : login) << (down ? "ends" : "");
        QTest::addRow("exit, code %d", code) << "exit" << code << (code == 1 ? "abort" : "")
                                             << (code == 1   ? "ends|exit"
                                                 : code == 3 ? "exit"
                                                             : "");
    }
}

// Every state is told with the server's name; the credentials are stored once connected, and
// only then.
void tst_Session::commands()
{
    QFETCH(QString, command);
    QFETCH(int, code);
    QVPNClientSettings::setConnection({"Freedonia", "FD", "127.0.0.9"});
    QVPNClientSettings::setCredentials("demo", "demo");
    Session session;
    QVERIFY(session.open());
    session.restore();
    session.setCredentials("alice", "secret");
    QVERIFY(session.deliver(code == Connected ? buildConnectedFrame("10.8.0.2", 1)
                                              : buildStatusFrame(quint8(code))));
    QCOMPARE(session.told.last(), QStringLiteral("state %1 Freedonia").arg(code));
    QCOMPARE(session.stored(), code == Connected ? "alice/secret" : "demo/demo");
    session.told.clear();
    command == "exit" ? session.requestExit() : session.toggleConnection();
    QVERIFY(session.deliver(code == Connected && command == "exit"
                                    ? buildStatusFrame(Disconnected) // the exit waits for it
                                    : QByteArray()));
    QTEST(session.tale(), "told");
    QTEST(session.sent(), "sent");
}

void tst_Session::switchServer_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("told"); // the list and the first choice
    QTest::addColumn<QString>("host");
    QTest::newRow("list") << QByteArray("normal") << "servers 3|chosen Automatic 0"
                          << "127.0.0.3";
    // Without an "Automatic" entry the settings' automatic entry serves.
    QTest::newRow("no list") << QByteArray("broken") << "servers 0|chosen Automatic -1"
                             << tavrinAutoHostname();
}

// Jump to fastest connects to the automatic entry at once when disconnected. While connected a
// switch takes the connection down first; the last choice is connected to on the next
// Disconnected, which is not told; a second choice does not repeat the abort. No server of the
// list is remembered as the choice, which a connect to a chosen server is.
void tst_Session::switchServer()
{
    QFETCH(QByteArray, list);
    QFETCH(QString, told);
    QFETCH(QString, host);
    QVPNClientSettings::setConnection({"Zambia", "ZM", "127.0.0.4"});
    WebApi web({"--list-body", list});
    Session session;
    QVERIFY(session.open());
    session.requestServerList();
    QVERIFY(waitUntil([&] { return !session.told.isEmpty(); }));
    session.jumpToFastest();
    QVERIFY(session.deliver(buildConnectedFrame("10.8.0.2", 1)));
    session.switchServer("Zambia");
    session.jumpToFastest();
    QVERIFY(session.deliver({}));
    const QString login = "connect " + host + ' ' + encodeUserPass({}, {});
    QCOMPARE(session.sent(), login + "|abort");
    QVERIFY(session.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(session.state(), quint8(Connected));
    QVERIFY(session.deliver(buildStatusFrame(Disconnected))); // an ordinary one again
    QCOMPARE(session.tale(), QStringList({told, "connecting|state 1 Automatic|ends|ends",
                                          told.mid(10), "connecting|state 3 Automatic"})
                                     .join('|'));
    QVERIFY(session.waitForSent(3));
    QCOMPARE(session.sent(), login + "|abort|" + login);
    QCOMPARE(QVPNClientSettings::getConnection().name, QStringLiteral("Zambia"));
    session.connectTo({"Trinidad & Tobago", "TT", "127.0.0.2"});
    QCOMPARE(QVPNClientSettings::getConnection().hostname, QStringLiteral("127.0.0.2"));
}

// The time connected is told at once for each connection (from over a day ago it wraps, ahead
// of the clock it counts from the day before) and at every tick of the one clock; Timeout keeps
// it running, Disconnecting stops it. Ticks are sent to the clock rather than waited for.
void tst_Session::clock()
{
    Session session;
    QVERIFY(session.open());
    const std::pair<qint64, const char *> starts[] = {{-7322, "^02:02:0\\d$"},
                                                      {-3661, "^01:01:0\\d$"},
                                                      {-86400 - 125, "^00:02:0\\d$"},
                                                      {5, "^23:59:5\\d$"}};
    const QRegularExpression last(starts[3].second);
    for (const auto &[start, pattern] : starts) {
        const qint64 since = QDateTime::currentSecsSinceEpoch() + start;
        QVERIFY(session.deliver(buildConnectedFrame("10.8.0.2", quint32(since))));
        QVERIFY2(QRegularExpression(pattern).match(session.timeConnected).hasMatch(),
                 qPrintable(session.timeConnected));
        QCOMPARE(session.clockTimers().size(), 1); // the newer connection's clock only
    }
    QVERIFY(session.deliver(buildStatusFrame(Timeout)));
    session.timeConnected.clear();
    QTimerEvent tick(session.clockTimers().value(0));
    QCoreApplication::sendEvent(session.findChild<QConnectionClock *>(), &tick);
    QVERIFY(last.match(session.timeConnected).hasMatch());
    QVERIFY(session.deliver(buildStatusFrame(Disconnecting)));
    QVERIFY(session.clockTimers().isEmpty());
}

void tst_Session::floods_data()
{
    QTest::addColumn<QByteArray>("flood");
    QByteArray cycles;
    for (int i = 0; i < 100; ++i)
        cycles += buildStatusFrame(Connecting) + buildConnectedFrame("10.8.0.2", 1)
                  + buildStatusFrame(Disconnecting) + buildStatusFrame(Disconnected);
    QTest::newRow("state cycles") << cycles;
    QTest::newRow("Disconnected burst") << buildStatusFrame(Disconnected).repeated(1000);
}

// A flood of state frames: the unchanged credentials are stored no more, and the address is
// looked up once when the flood is over, not once per frame (the wait before the lookup is
// ended by the test, not waited out).
void tst_Session::floods()
{
    QFETCH(QByteArray, flood);
    QVPNClientSettings::setCredentials("demo", "demo");
    WebApi web;
    Session session;
    QVERIFY(session.open());
    session.restore();
    const QString store = QVPNClientSettings().fileName();
    const QDateTime written = QFileInfo(store).lastModified();
    QVERIFY(session.deliver(flood));
    QCOMPARE(QFileInfo(store).lastModified(), written);
    QTimer *due = session.findChild<QPublicAddressLookup *>()->findChild<QTimer *>();
    QVERIFY(due && due->isActive());
    TavrinTestDesktop::expire(due);
    QTRY_COMPARE(session.address, "203.0.113.10");
    QVERIFY(!due->isActive());
    QCOMPARE(web.log().filter("HTTP GET /get_ip").size(), 1);
}

TAVRIN_TEST_MAIN(tst_Session)
#include "tst_session.moc"
