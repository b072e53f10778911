#include "qtavrinserviceconnection.h"
#include "tavrincredentials.h"
#include "tavrinframe.h"
#include "tavrinservicepeer.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>
#include <QtCore/qeventloop.h>
#include <QtCore/qfile.h>
#include <QtCore/qpointer.h>
#include <QtCore/qrandom.h>
#include <QtCore/qtimer.h>
#include <QtNetwork/qlocalserver.h>
#include <QtNetwork/qlocalsocket.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qmessagebox.h>
#include <QtWidgets/qpushbutton.h>

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const int Patience = 20000;

// Stands in for the service: listens on "Tavrin" in the test's own temp folder and keeps the
// bytes it receives.
class FakeService : public QObject
{
    Q_OBJECT

public:
    FakeService()
    {
        QLocalServer::removeServer(QStringLiteral("Tavrin"));
        m_server.listen(QStringLiteral("Tavrin"));
        connect(&m_server, &QLocalServer::newConnection, this, [this] {
            m_client = m_server.nextPendingConnection();
            connect(m_client, &QLocalSocket::readyRead, this,
                    [this] { m_received += m_client->readAll(); });
            connect(m_client, &QLocalSocket::disconnected, this, [this] { m_clientGone = true; });
        });
    }

    bool isListening() const { return m_server.isListening(); }
    bool waitForClient()
    {
        return QTest::qWaitFor([this] { return m_client != nullptr; }, Patience);
    }
    bool waitForBytes(int count)
    {
        return QTest::qWaitFor([this, count] { return m_received.size() >= count; }, Patience);
    }
    QByteArray received() const { return m_received; }
    bool clientGone() const { return m_clientGone; }

    void send(const QByteArray &bytes)
    {
        m_client->write(bytes);
        m_client->flush();
    }
    void closeClient() { m_client->disconnectFromServer(); }

private:
    QLocalServer m_server;
    QPointer<QLocalSocket> m_client;
    QByteArray m_received;
    bool m_clientGone = false;
};

// Closes every connection-error box that appears and remembers what it said.
class BoxCloser : public QObject
{
    Q_OBJECT

public:
    BoxCloser()
    {
        connect(&m_timer, &QTimer::timeout, this, &BoxCloser::closeBoxes);
        m_timer.start(20);
    }

    int count() const { return m_texts.size(); }
    QStringList texts() const { return m_texts; }
    QList<bool> hadParent() const { return m_hadParent; }
    QList<bool> hadDefault() const { return m_hadDefault; }

private:
    void closeBoxes()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto box = qobject_cast<QMessageBox *>(widget);
            if (!box || !box->isVisible())
                continue;
            m_texts.append(box->windowTitle() + QLatin1Char('|') + box->text() + QLatin1Char('|')
                           + QString::number(box->icon()) + QLatin1Char('|')
                           + QString::number(int(box->standardButtons())));
            m_hadParent.append(box->parentWidget() != nullptr);
            m_hadDefault.append(box->defaultButton() != nullptr);
            box->button(QMessageBox::Ok)->click();
        }
    }

    QTimer m_timer;
    QStringList m_texts;
    QList<bool> m_hadParent;
    QList<bool> m_hadDefault;
};

// Reaches the reader without a socket.
class FedConnection : public QTavrinServiceConnection
{
public:
    using QTavrinServiceConnection::processIncomingData;
};

// Writes every signal of a connection into one list, in order.
class SignalLog : public QObject
{
    Q_OBJECT

public:
    explicit SignalLog(QTavrinServiceConnection *connection)
    {
        connect(connection, &QTavrinServiceConnection::credentials, this,
                [this](const QByteArray &text) { add("credentials " + text); });
        connect(connection, &QTavrinServiceConnection::notifyStatusChange, this,
                [this](char state) { add("state " + QByteArray::number(quint8(state))); });
        connect(connection, &QTavrinServiceConnection::assignedIP, this,
                [this](const QByteArray &ip) { add("ip " + ip); });
        connect(connection, &QTavrinServiceConnection::startTime, this,
                [this](uint time) { add("start " + QByteArray::number(time)); });
        connect(connection, &QTavrinServiceConnection::updateBandwidth, this,
                [this](uchar type, uint download, uint upload) {
                    add("bandwidth " + QByteArray::number(type) + ' ' + QByteArray::number(download)
                        + ' ' + QByteArray::number(upload));
                });
        connect(connection, &QTavrinServiceConnection::loginFailed, this,
                [this] { add("login failed"); });
        connect(connection, &QTavrinServiceConnection::error, this,
                [this](const QString &text) { add("error " + text.toUtf8()); });
    }

    QList<QByteArray> entries;

private:
    void add(const QByteArray &entry) { entries.append(entry); }
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Waits until the connection reports that it is no longer open (each try sends an abort).
bool waitUntilClosed(QTavrinServiceConnection *connection)
{
    return QTest::qWaitFor(
            [connection] {
                QSignalSpy errors(connection, &QTavrinServiceConnection::error);
                connection->sendAbortRequest();
                return !errors.isEmpty()
                       && errors.first().first().toString().contains(QStringLiteral("is not open"));
            },
            Patience);
}

// Kills and reaps a child process when the test leaves, whichever way it leaves.
struct ChildProcess
{
    pid_t pid = -1;
    ~ChildProcess()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

// The frames of a short session, and what they must raise.
QByteArray sessionStream(QList<QByteArray> *expected)
{
    QByteArray stream;
    stream += buildCredentialsReplyFrame("oyKjLg==");
    stream += buildStatusFrame(Connecting);
    stream += hex("01050d0303"); // malformed: no end byte
    stream += buildConnectedFrame("10.8.0.6", 1700000000u);
    stream += buildBandwidthFrame(1, 1000, 10);
    stream += buildBandwidthFrame(1, 1500, 30);
    stream += hex("010c0e01010000000200000002"); // 13 bytes but its length says 12: dropped
    stream += buildBandwidthFrame(1, 1600, 60);
    stream += buildFrame(99, "unknown");
    stream += buildBandwidthFrame(0, 7, 8);
    stream += buildBandwidthFrame(1, 2000, 90);
    stream += hex("01060faabb02");
    stream += buildStatusFrame(200);
    stream += buildStatusFrame(Disconnected);
    *expected = {"credentials oyKjLg==",
                 "state 0",
                 "ip 10.8.0.6",
                 "start 1700000000",
                 "state 1",
                 "bandwidth 1 0 0",
                 "bandwidth 1 500 20",
                 "bandwidth 1 100 30",
                 "bandwidth 0 7 8",
                 "bandwidth 1 0 0",
                 "login failed",
                 "state 200",
                 "state 3"};
    return stream;
}

} // namespace

class tst_ServiceConnection : public QObject
{
    Q_OBJECT

private slots:
    void nothingListening();
    void requestBytes_data();
    void requestBytes();
    void connectRequestCarriesHostAndCredentials();
    void unexpressibleRequestIsNotSent_data();
    void unexpressibleRequestIsNotSent();
    void requestBeforeConnecting();
    void pendingRequestWarnsButSends();
    void credentialsReplyMakesIdle();

    void readerGivesSameSignalsForEverySplit();
    void framesFromTheSocket();
    void stateArrivesAsChar();

    void quietCloseAfterStatusRequest();
    void disconnectFromServiceShowsNoBox();
    void destructionShowsNoBox();
    void lossOfTheServiceEndsTheProgram();

    void trustedPeers_data();
    void trustedPeers();
    void peerCheckOnARealSocket();
    void foreignServiceIsRefused();
};

void tst_ServiceConnection::nothingListening()
{
    QLocalServer::removeServer(QStringLiteral("Tavrin"));
    QTavrinServiceConnection connection;
    QVERIFY(!connection.connectToService());
}

void tst_ServiceConnection::requestBytes_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("status") << QByteArray("sendStatusRequest") << hex("01040102");
    QTest::newRow("abort") << QByteArray("sendAbortRequest") << hex("01040502");
    QTest::newRow("server list") << QByteArray("sendServerListRequest") << hex("01040702");
    QTest::newRow("credentials") << QByteArray("sendCredentialsRequest") << hex("01040902");
    QTest::newRow("CA file") << QByteArray("sendUpdateCAFileRequest") << hex("01040b02");
}

void tst_ServiceConnection::requestBytes()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, expected);
    FakeService service;
    QVERIFY(service.isListening());
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QVERIFY(service.waitForClient());
    QSignalSpy errors(&connection, &QTavrinServiceConnection::error);

    QVERIFY(QMetaObject::invokeMethod(&connection, method.constData()));
    QVERIFY(service.waitForBytes(expected.size()));
    QCOMPARE(service.received().toHex(), expected.toHex());
    QCOMPARE(errors.count(), 0);
}

void tst_ServiceConnection::connectRequestCarriesHostAndCredentials()
{
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QVERIFY(service.waitForClient());
    const QString host = QStringLiteral("de1.vpn.example.test");
    const QString user = QStringLiteral("J\u00fcrgen");
    connection.sendConnectToVPNRequest(host, user, QStringLiteral("pa55"));

    const QByteArray text = encodeUserPass(user, QStringLiteral("pa55"));
    const int size = 6 + host.size() + text.size();
    QVERIFY(service.waitForBytes(size));
    const QByteArray frame = service.received();
    QCOMPARE(frame.size(), size);
    const QByteArray expected = hex("01") + char(size) + hex("03") + char(host.size())
                                + host.toUtf8() + char(text.size()) + text + hex("02");
    QCOMPARE(frame.toHex(), expected.toHex());
    QByteArray parsedHost;
    QByteArray parsedText;
    QVERIFY(parseConnectRequest(frame, &parsedHost, &parsedText));
    QString parsedUser;
    QString parsedPassword;
    QVERIFY(decodeUserPass(QString::fromLatin1(parsedText), parsedUser, parsedPassword));
    QCOMPARE(parsedUser, user);
    QCOMPARE(parsedPassword, QStringLiteral("pa55"));
}

void tst_ServiceConnection::unexpressibleRequestIsNotSent_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::newRow("user name over 255 bytes") << "h" << QString(256, QLatin1Char('u')) << "p";
    QTest::newRow("password over 255 bytes") << "h"
                                             << "u" << QString(300, QChar(0x00e9));
    QTest::newRow("host over 255 bytes") << QString(256, QLatin1Char('h')) << "u"
                                         << "p";
    QTest::newRow("frame over 255 bytes")
            << QString(200, QLatin1Char('h')) << QString(40, QLatin1Char('u')) << "p";
}

void tst_ServiceConnection::unexpressibleRequestIsNotSent()
{
    QFETCH(QString, host);
    QFETCH(QString, username);
    QFETCH(QString, password);
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QVERIFY(service.waitForClient());
    SignalLog log(&connection);

    connection.sendConnectToVPNRequest(host, username, password);
    QCOMPARE(log.entries.size(), 1);
    QVERIFY2(log.entries.first().startsWith("error TavrinServiceConnection cannot send method "
                                            "sendConnectToVPNRequest"),
             log.entries.first().constData());

    // Nothing went out and the connection is still idle: the next request is the first thing
    // the service receives, and it raises no "was not idle" warning.
    connection.sendCredentialsRequest();
    QVERIFY(service.waitForBytes(4));
    QCOMPARE(service.received().toHex(), hex("01040902").toHex());
    QCOMPARE(log.entries.size(), 1);
}

void tst_ServiceConnection::requestBeforeConnecting()
{
    QTavrinServiceConnection connection;
    SignalLog log(&connection);
    connection.sendAbortRequest();
    connection.sendConnectToVPNRequest("h", "u", "p");
    connection.sendStatusRequest();
    QCOMPARE(log.entries, (QList<QByteArray>{"error TavrinServiceConnection is not open for method "
                                             "sendAbortRequest",
                                             "error TavrinServiceConnection is not open for method "
                                             "sendConnectToVPNRequest",
                                             "error TavrinServiceConnection is not open for method "
                                             "sendStatusRequest"}));

    // Still idle once open: nothing was noted as pending.
    FakeService service;
    QVERIFY(connection.connectToService());
    QVERIFY(service.waitForClient());
    log.entries.clear();
    connection.sendAbortRequest();
    QVERIFY(service.waitForBytes(4));
    QVERIFY(log.entries.isEmpty());
}

void tst_ServiceConnection::pendingRequestWarnsButSends()
{
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QVERIFY(service.waitForClient());
    SignalLog log(&connection);

    connection.sendCredentialsRequest();
    connection.sendAbortRequest();
    connection.sendConnectToVPNRequest("h", "u", "p");
    QCOMPARE(log.entries,
             (QList<QByteArray>{"error TavrinServiceConnection was not idle for method "
                                "sendAbortRequest",
                                "error TavrinServiceConnection was not idle for method "
                                "sendConnectToVPNRequest"}));
    const QByteArray connectFrame = buildFrame(ConnectToVPNRequest,
                                               buildConnectPayload("h", encodeUserPass("u", "p")));
    QVERIFY(service.waitForBytes(8 + connectFrame.size()));
    QCOMPARE(service.received().toHex(), QByteArray(hex("0104090201040502") + connectFrame).toHex());

    // Only a credentials reply makes the connection idle; state frames do not.
    service.send(buildStatusFrame(Connecting));
    QTRY_COMPARE_WITH_TIMEOUT(log.entries.size(), 3, Patience);
    connection.sendAbortRequest();
    QCOMPARE(log.entries.size(), 4);
    QCOMPARE(log.entries.last(),
             QByteArray("error TavrinServiceConnection was not idle for method sendAbortRequest"));
}

void tst_ServiceConnection::credentialsReplyMakesIdle()
{
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QVERIFY(service.waitForClient());
    SignalLog log(&connection);

    connection.sendCredentialsRequest();
    QVERIFY(service.waitForBytes(4));
    service.send(buildCredentialsReplyFrame(""));
    QTRY_COMPARE_WITH_TIMEOUT(log.entries.size(), 1, Patience);
    QCOMPARE(log.entries.first(), QByteArray("credentials "));
    connection.sendConnectToVPNRequest("h", "u", "p");
    QCOMPARE(log.entries.size(), 1);
}

void tst_ServiceConnection::readerGivesSameSignalsForEverySplit()
{
    QList<QByteArray> expected;
    const QByteArray stream = sessionStream(&expected);

    auto run = [&stream](const QVector<int> &cuts) {
        FedConnection connection;
        SignalLog log(&connection);
        int offset = 0;
        for (int cut : cuts) {
            connection.processIncomingData(stream.mid(offset, cut - offset));
            offset = cut;
        }
        connection.processIncomingData(stream.mid(offset));
        return log.entries;
    };

    QCOMPARE(run({}), expected);
    QVector<int> everyByte;
    for (int i = 1; i < stream.size(); ++i)
        everyByte.append(i);
    QCOMPARE(run(everyByte), expected);
    for (int cut = 0; cut <= stream.size(); ++cut)
        QVERIFY2(run({cut}) == expected, qPrintable(QString::number(cut)));

    QRandomGenerator random(4242);
    for (int round = 0; round < 200; ++round) {
        QVector<int> cuts;
        for (int cut = random.bounded(1, 30); cut < stream.size(); cut += random.bounded(1, 30))
            cuts.append(cut);
        QVERIFY2(run(cuts) == expected, qPrintable(QString::number(round)));
    }
}

void tst_ServiceConnection::framesFromTheSocket()
{
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QVERIFY(service.waitForClient());
    SignalLog log(&connection);

    QList<QByteArray> expected;
    const QByteArray stream = sessionStream(&expected);
    // In a few uneven pieces, each written separately.
    for (int offset = 0; offset < stream.size(); offset += 17) {
        service.send(stream.mid(offset, 17));
        QTest::qWait(1);
    }
    QTRY_COMPARE_WITH_TIMEOUT(log.entries.size(), expected.size(), Patience);
    QCOMPARE(log.entries, expected);
}

void tst_ServiceConnection::stateArrivesAsChar()
{
    FedConnection connection;
    QSignalSpy states(&connection, &QTavrinServiceConnection::notifyStatusChange);
    for (int state : {0, 1, 2, 3, 4, 127, 128, 200, 255}) {
        if (state == Connected)
            connection.processIncomingData(buildConnectedFrame("a", 1));
        else
            connection.processIncomingData(buildStatusFrame(quint8(state)));
        QVERIFY(!states.isEmpty());
        QCOMPARE(quint8(states.takeFirst().at(0).value<char>()), quint8(state));
    }
}

void tst_ServiceConnection::quietCloseAfterStatusRequest()
{
    BoxCloser boxes;
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QVERIFY(service.waitForClient());
    SignalLog log(&connection);

    connection.sendStatusRequest();
    QVERIFY(service.waitForBytes(4));
    service.closeClient();
    // Once the link is down, requests report it; no box was shown meanwhile.
    QVERIFY(waitUntilClosed(&connection));
    QCOMPARE(boxes.count(), 0);
}

void tst_ServiceConnection::disconnectFromServiceShowsNoBox()
{
    BoxCloser boxes;
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QVERIFY(service.waitForClient());
    connection.sendCredentialsRequest();
    connection.disconnectFromService();
    QTRY_VERIFY_WITH_TIMEOUT(service.clientGone(), Patience);
    QCOMPARE(service.received().toHex(), hex("01040902").toHex());
    QVERIFY(waitUntilClosed(&connection));
    QCOMPARE(boxes.count(), 0);
}

void tst_ServiceConnection::destructionShowsNoBox()
{
    BoxCloser boxes;
    FakeService service;
    {
        QTavrinServiceConnection connection;
        QVERIFY(connection.connectToService());
        QVERIFY(service.waitForClient());
        connection.sendAbortRequest();
    }
    // A box would have been shown while the object was destroyed.
    QCOMPARE(boxes.count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(service.clientGone(), Patience);
    QCOMPARE(service.received().toHex(), hex("01040502").toHex());
}

void tst_ServiceConnection::lossOfTheServiceEndsTheProgram()
{
    BoxCloser boxes;
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QVERIFY(service.waitForClient());
    connection.sendCredentialsRequest();
    connection.sendConnectToVPNRequest("h", "u", "p");
    connection.sendAbortRequest();
    QVERIFY(service.waitForBytes(8));

    QEventLoop loop;
    QTimer::singleShot(0, &service, [&service] { service.closeClient(); });
    // A safety net only, so that a failing test cannot hang the run.
    QTimer::singleShot(60000, &loop, [&loop] { loop.exit(-1); });
    const int code = loop.exec();
    QCOMPARE(code, 4);
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.texts().first(),
             QStringLiteral("Connection error|Connection to Tavrin service was closed.\n"
                            "Terminating this app.|%1|%2")
                     .arg(int(QMessageBox::Critical))
                     .arg(int(QMessageBox::Ok)));
    QCOMPARE(boxes.hadParent().first(), false);
    QCOMPARE(boxes.hadDefault().first(), false);

    // QCoreApplication::exit() leaves every later event loop of this thread ending at once
    // until QCoreApplication::exec() runs again; let it run once so later tests can wait.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    QEventLoop after;
    QTimer::singleShot(0, &after, [&after] { after.exit(7); });
    QCOMPARE(after.exec(), 7);
}

void tst_ServiceConnection::trustedPeers_data()
{
    QTest::addColumn<quint64>("peer");
    QTest::addColumn<quint64>("self");
    QTest::addColumn<bool>("trusted");
    QTest::newRow("root service, user client") << quint64(0) << quint64(1000) << true;
    QTest::newRow("own service") << quint64(1000) << quint64(1000) << true;
    QTest::newRow("root service, root client") << quint64(0) << quint64(0) << true;
    QTest::newRow("other user's service") << quint64(1001) << quint64(1000) << false;
    QTest::newRow("user service, root client") << quint64(1000) << quint64(0) << false;
    QTest::newRow("nobody") << quint64(65534) << quint64(1000) << false;
}

void tst_ServiceConnection::trustedPeers()
{
    QFETCH(quint64, peer);
    QFETCH(quint64, self);
    QFETCH(bool, trusted);
    QCOMPARE(isTrustedServicePeer(peer, self), trusted);
}

void tst_ServiceConnection::peerCheckOnARealSocket()
{
    FakeService service;
    QLocalSocket socket;
    socket.connectToServer(QStringLiteral("Tavrin"));
    QVERIFY(socket.waitForConnected(Patience));
    QString reason;
    QVERIFY2(checkServicePeer(socket.socketDescriptor(), &reason), qPrintable(reason));
    QVERIFY(!checkServicePeer(-1, &reason));
    QVERIFY(!reason.isEmpty());
}

void tst_ServiceConnection::foreignServiceIsRefused()
{
    if (geteuid() != 0)
        QSKIP("needs root to run a listener as another user");
    QLocalServer::removeServer(QStringLiteral("Tavrin"));
    const QByteArray path = QFile::encodeName(QDir::tempPath() + QStringLiteral("/Tavrin"));

    // Bound here, listened on by a child that has become nobody: the peer credentials of a
    // listening socket are those of the process that called listen().
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(listener >= 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    QVERIFY(size_t(path.size()) < sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    QCOMPARE(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    int ready[2];
    QCOMPARE(::pipe(ready), 0);

    ChildProcess child;
    child.pid = ::fork();
    QVERIFY(child.pid >= 0);
    if (child.pid == 0) {
        const bool listening = ::setgid(65534) == 0 && ::setuid(65534) == 0
                               && ::listen(listener, 4) == 0;
        const char ok = listening ? 1 : 0;
        if (::write(ready[1], &ok, 1) != 1)
            ::_exit(1);
        for (;;) {
            if (::accept(listener, nullptr, nullptr) < 0)
                ::_exit(0);
        }
    }
    ::close(listener);
    char ok = 0;
    QCOMPARE(::read(ready[0], &ok, 1), ssize_t(1));
    ::close(ready[0]);
    ::close(ready[1]);

    BoxCloser boxes;
    bool connected = true;
    QString logText;
    {
        QTavrinServiceConnection connection;
        QSignalSpy errors(&connection, &QTavrinServiceConnection::error);
        if (ok)
            connected = connection.connectToService();
        connection.sendCredentialsRequest();
        QCOMPARE(errors.count(), 1);
        QVERIFY(errors.first().first().toString().contains(QStringLiteral("is not open")));
    }
    QFile::remove(QString::fromLocal8Bit(path));
    QVERIFY2(ok, "the child could not listen as nobody");
    QVERIFY(!connected);
    QCOMPARE(boxes.count(), 0);

    QFile log(QDir::homePath() + QStringLiteral("/tst_serviceconnection.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray content = log.readAll();
    QVERIFY2(content.contains(" - Warning: ") && content.contains("user 65534"),
             content.constData());
}

TAVRIN_TEST_MAIN(tst_ServiceConnection)
#include "tst_serviceconnection.moc"
