// The session without a window, against a service of the test's own and the stand-in's web API.

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
    // Returns once the session has handled the bytes: a sample of type 0 follows them.
    bool deliver(const QByteArray &bytes)
    {
        client->write(bytes + buildBandwidthFrame(0, ++barrier, 0));
        return waitUntil([this] { return handled == barrier; });
    }
    bool waitForSent(int n)
    {
        return waitUntil([&] { return received.size() >= n; });
    }
    QString tale() const { return told.join('|'); }
    // "connect host user password" (or the credential text as it is), "abort", "ask".
    QString sent() const
    {
        QStringList lines;
        for (const QByteArray &frame : received) {
            QByteArray host, text;
            QString user, word;
            if (parseConnectRequest(frame, &host, &text))
                lines << "connect " + host + ' '
                                 + (decodeUserPass(text, user, word) ? user + ' ' + word
                                                                     : QString(text));
            else
                lines << (frame.at(2) == AbortRequest         ? "abort"
                          : frame.at(2) == CredentialsRequest ? "ask"
                                                              : "?");
        }
        return lines.join('|');
    }
    static QString stored()
    {
        QString name, word;
        return QVPNClientSettings::getCredentials(name, word) ? name + '/' + word : QString();
    }
    QList<QAbstractEventDispatcher::TimerInfo> clockTimers() const
    {
        return QAbstractEventDispatcher::instance()->registeredTimers(
                findChild<QConnectionClock *>());
    }
};

} // namespace

class tst_Session : public QObject
{
    Q_OBJECT

private slots:
    void init() { TavrinTestDesktop::resetSettings(); }
    void loginAndRefusals();
    void autoLogin();
    void commands_data();
    void commands();
    void switchServer_data();
    void switchServer();
    void clockAndFloods_data();
    void clockAndFloods();
};

// A credentials reply that does not decode is none; its text ends at a zero byte. A refused login
// gets one abort however often repeated, told on the next Disconnected; a closed link, none.
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
    session.client->close();
    QVERIFY(waitUntil([&] { return session.told.contains("lost"); }));
    session.toggleConnection();
    QCOMPARE(session.tale(), "credentials dörte pa55 wörd|credentials erin pw|connecting|state 4 |"
                             "state 3 |login failed|state 3 |lost|refused");
    QCOMPARE(session.sent(), "connect  erin pw|abort");
    QVERIFY(!session.isLinkOpen() && session.stored().isEmpty());
}

// Auto-login connects with what is stored as soon as the session is restored.
void tst_Session::autoLogin()
{
    QVPNClientSettings::setConnection({"Freedonia", "FD", "127.0.0.9"});
    QVPNClientSettings::setCredentials("demo", "demo");
    QVPNClientSettings::setAutoLogin(true);
    Session session;
    QVERIFY(session.open());
    session.restore();
    QVERIFY(session.waitForSent(1));
    QCOMPARE(session.sent(), "connect 127.0.0.9 demo demo");
}

void tst_Session::commands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("told");
    // Toggle: Disconnected connects, a tunnel up or being brought back is taken down. Exit ends
    // at once when disconnected, once the tunnel is down when connected, else does nothing.
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

// Every state is told with the server's name; the credentials are stored once connected only.
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
    const bool waits = code == Connected && command == "exit"; // for the tunnel to be down
    QVERIFY(session.deliver(waits ? buildStatusFrame(Disconnected) : QByteArray()));
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

// Jump to fastest connects at once when disconnected. While connected a switch takes the tunnel
// down first (once), the last choice is connected to on the next Disconnected, none remembered.
void tst_Session::switchServer()
{
    QFETCH(QByteArray, list);
    QFETCH(QString, told);
    QFETCH(QString, host);
    QVPNClientSettings::setConnection({"Zambia", "ZM", "127.0.0.4"});
    TavrinTestDesktop web({"--list-body", list});
    web.setServerList(serverList), web.start(false);
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
}

void tst_Session::clockAndFloods_data()
{
    QTest::addColumn<QByteArray>("flood");
    const QByteArray cycle = buildStatusFrame(Connecting) + buildConnectedFrame("10.8.0.2", 1)
                             + buildStatusFrame(Disconnecting) + buildStatusFrame(Disconnected);
    QTest::newRow("state cycles") << cycle.repeated(100);
    QTest::newRow("Disconnected burst") << buildStatusFrame(Disconnected).repeated(1000);
}

// The time connected wraps past a day, counts from the day before when ahead; one clock, kept by
// Timeout. A flood stores unchanged credentials no more and looks the address up once, after.
void tst_Session::clockAndFloods()
{
    QFETCH(QByteArray, flood);
    QVPNClientSettings::setCredentials("demo", "demo");
    TavrinTestDesktop web;
    web.setServerList(serverList), web.start(false);
    Session session;
    QVERIFY(session.open());
    session.restore();
    const QString store = QVPNClientSettings().fileName();
    const QDateTime written = QFileInfo(store).lastModified();
    const std::pair<qint64, const char *> starts[] = {{-7322, "^02:02:0\\d$"},
                                                      {-86400 - 125, "^00:02:0\\d$"},
                                                      {5, "^23:59:5\\d$"}};
    for (const auto &[start, pattern] : starts) {
        const qint64 since = QDateTime::currentSecsSinceEpoch() + start;
        QVERIFY(session.deliver(buildConnectedFrame("10.8.0.2", quint32(since))));
        QVERIFY2(QRegularExpression(pattern).match(session.timeConnected).hasMatch(),
                 qPrintable(session.timeConnected));
        QCOMPARE(session.clockTimers().size(), 1); // the newer connection's only
    }
    QVERIFY(session.deliver(buildStatusFrame(Timeout)));
    session.timeConnected.clear();
    const auto timers = session.clockTimers(); // Timeout keeps it
    QTimerEvent tick(timers.isEmpty() ? 0 : timers.first().timerId);
    QCoreApplication::sendEvent(session.findChild<QConnectionClock *>(), &tick);
    QVERIFY(QRegularExpression(starts[2].second).match(session.timeConnected).hasMatch());
    QVERIFY(session.deliver(buildStatusFrame(Disconnecting)));
    QVERIFY(session.clockTimers().isEmpty());
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
