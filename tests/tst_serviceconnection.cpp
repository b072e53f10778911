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
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qmessagebox.h>
#include <QtWidgets/qpushbutton.h>

#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const int Patience = 20000;

// Stands in for the service on "Tavrin" in the test's own temp folder.
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

    // Connects the client to this service.
    bool accept(QTavrinServiceConnection *connection)
    {
        return connection->connectToService()
               && QTest::qWaitFor([this] { return m_client != nullptr; }, Patience);
    }
    bool waitForBytes(int count)
    {
        return QTest::qWaitFor([this, count] { return m_received.size() >= count; }, Patience);
    }
    QByteArray receivedHex() const { return m_received.toHex(); }
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

// Closes every message box that appears and notes "title|text|icon|buttons|parent|default".
class BoxCloser : public QObject
{
    Q_OBJECT

public:
    BoxCloser()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto box = qobject_cast<QMessageBox *>(widget);
                if (!box || !box->isVisible())
                    continue;
                texts << QStringLiteral("%1|%2|%3|%4|%5|%6")
                                 .arg(box->windowTitle(), box->text())
                                 .arg(box->icon())
                                 .arg(int(box->standardButtons()))
                                 .arg(box->parentWidget() != nullptr)
                                 .arg(box->defaultButton() != nullptr);
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_timer.start(20);
    }

    QStringList texts;

private:
    QTimer m_timer;
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
    explicit SignalLog(QTavrinServiceConnection *c)
    {
        using C = QTavrinServiceConnection;
        connect(c, &C::credentials, this,
                [this](const QByteArray &text) { add("credentials " + text); });
        connect(c, &C::notifyStatusChange, this,
                [this](char state) { add("state " + QByteArray::number(quint8(state))); });
        connect(c, &C::assignedIP, this, [this](const QByteArray &ip) { add("ip " + ip); });
        connect(c, &C::startTime, this,
                [this](uint time) { add("start " + QByteArray::number(time)); });
        connect(c, &C::updateBandwidth, this, [this](uchar type, uint download, uint upload) {
            add("bandwidth " + QByteArray::number(type) + ' ' + QByteArray::number(download) + ' '
                + QByteArray::number(upload));
        });
        connect(c, &C::loginFailed, this, [this] { add("login failed"); });
        connect(c, &C::error, this, [this](const QString &text) { add("error " + text.toUtf8()); });
    }

    QList<QByteArray> entries;
    void add(const QByteArray &entry) { entries.append(entry); }
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray notOpen(const char *method)
{
    return QByteArray("error TavrinServiceConnection is not open for method ") + method;
}

// Waits until the connection reports that it is no longer open (each try sends an abort).
bool waitUntilClosed(QTavrinServiceConnection *connection)
{
    return QTest::qWaitFor(
            [connection] {
                SignalLog log(connection);
                connection->sendAbortRequest();
                return log.entries == QList<QByteArray>{notOpen("sendAbortRequest")};
            },
            Patience);
}

// The frames of a session and the signals each raises. Malformed frames, frames too short for
// their layout and types the client does not read raise none.
QByteArray sessionStream(QList<QByteArray> *expected)
{
    const QByteArray longText(200, 'x');
    const QList<QPair<QByteArray, QByteArray>> frames
            = {{buildCredentialsReplyFrame("oyKjLg=="), "credentials oyKjLg=="},
               {hex("05040d02"), ""}, // wrong start byte
               {buildStatusFrame(Connecting), "state 0"},
               {hex("01050d0303"), ""}, // no end byte
               {hex("01040d02"), ""},   // state without state byte
               {buildConnectedFrame("10.8.0.6", 1700000000u),
                "ip 10.8.0.6|start 1700000000|state 1"},
               {hex("01050d0102"), ""},           // connected without address length
               {hex("01080d0100010202"), ""},     // connected without start time
               {hex("010a0d01010102030402"), ""}, // address past the end
               {hex("010a0d01800102030402"), ""}, // address length 0x80
               {hex("010a0d01000102030402"), "ip |start 67305985|state 1"},
               {buildConnectedFrame(longText, 99u), "ip " + longText + "|start 99|state 1"},
               {hex("01070d02ffff02"), "state 2"},
               {buildBandwidthFrame(1, 1000, 10), "bandwidth 1 0 0"},
               {hex("0100"), ""}, // length 0, then length 1
               {buildBandwidthFrame(1, 1500, 30), "bandwidth 1 500 20"},
               {hex("010c0e01010000000200000002"), ""}, // 13 bytes but its length says 12
               {hex("010c0e010100000002000002"), ""},   // bandwidth of 12 bytes
               {buildBandwidthFrame(1, 1600, 60), "bandwidth 1 100 30"},
               {buildFrame(99, "unknown"), ""},
               {hex("01040902"), ""}, // a request type
               {buildBandwidthFrame(0, 7, 8), "bandwidth 0 7 8"},
               {buildCredentialsReplyFrame(longText), "credentials " + longText},
               {hex("0102"), ""},
               {buildBandwidthFrame(1, 2000, 90), "bandwidth 1 0 0"},
               {buildBandwidthFrame(2, 0, 0), "bandwidth 2 0 0"},
               {buildBandwidthFrame(2, 50, 0), "bandwidth 2 0 0"}, // a zero baseline is replaced
               {buildBandwidthFrame(2, 80, 5), "bandwidth 2 30 0"},
               {buildBandwidthFrame(2, 70, 5), "bandwidth 2 4294967286 0"}, // going down wraps
               {hex("01040a02"), "credentials "},
               {hex("01060faabb02"), "login failed"},
               {buildStatusFrame(200), "state 200"},
               {buildStatusFrame(Disconnected), "state 3"}};
    QByteArray stream;
    expected->clear();
    for (const auto &frame : frames) {
        stream += frame.first;
        if (!frame.second.isEmpty())
            *expected += frame.second.split('|');
    }
    return stream;
}

} // namespace

class tst_ServiceConnection : public QObject
{
    Q_OBJECT

private slots:
    void pendingAndIdle();
    void requestBytes_data();
    void requestBytes();
    void unexpressibleRequestIsNotSent_data();
    void unexpressibleRequestIsNotSent();

    void readerGivesSameSignalsForEverySplit();
    void framesFromTheSocket();

    void closingShowsNoBox_data();
    void closingShowsNoBox();
    void lossOfTheServiceEndsTheProgram();

    void trustedPeers_data();
    void trustedPeers();
    void foreignServiceIsRefused();
};

void tst_ServiceConnection::pendingAndIdle()
{
    QLocalServer::removeServer(QStringLiteral("Tavrin"));
    QTavrinServiceConnection connection;
    QVERIFY(!connection.connectToService());
    SignalLog log(&connection);
    QVERIFY(!connection.sendCredentialsRequest());
    QVERIFY(!connection.sendConnectToVPNRequest("h", "u", "p"));
    QCOMPARE(log.entries, (QList<QByteArray>{notOpen("sendCredentialsRequest"),
                                             notOpen("sendConnectToVPNRequest")}));

    // Requests follow each other without waiting for answers, and without warnings.
    FakeService service;
    QVERIFY(service.accept(&connection));
    log.entries.clear();
    QVERIFY(connection.sendCredentialsRequest());
    QVERIFY(connection.sendAbortRequest());
    QVERIFY(service.waitForBytes(8));
    QCOMPARE(service.receivedHex(), QByteArray("0104090201040502"));
    QVERIFY(log.entries.isEmpty());
}

void tst_ServiceConnection::requestBytes_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("status") << QByteArray("sendStatusRequest") << QStringList() << hex("01040102");
    QTest::newRow("abort") << QByteArray("sendAbortRequest") << QStringList() << hex("01040502");
    QTest::newRow("server list") << QByteArray("sendServerListRequest") << QStringList()
                                 << hex("01040702");
    QTest::newRow("credentials") << QByteArray("sendCredentialsRequest") << QStringList()
                                 << hex("01040902");
    QTest::newRow("CA file") << QByteArray("sendUpdateCAFileRequest") << QStringList()
                             << hex("01040b02");
    const QString user = QStringLiteral("J\u00fcrgen");
    const QByteArray text = encodeUserPass(user, QStringLiteral("pa55"));
    QTest::newRow("connect") << QByteArray("sendConnectToVPNRequest")
                             << QStringList{"de1.vpn.example.test", user, "pa55"}
                             << hex("012e0314") + "de1.vpn.example.test" + char(text.size()) + text
                                        + hex("02");
}

void tst_ServiceConnection::requestBytes()
{
    QFETCH(QByteArray, method);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(service.accept(&connection));
    SignalLog log(&connection);
    if (arguments.isEmpty())
        QVERIFY(QMetaObject::invokeMethod(&connection, method.constData()));
    else
        QVERIFY(QMetaObject::invokeMethod(&connection, method.constData(),
                                          Q_ARG(QString, arguments.at(0)),
                                          Q_ARG(QString, arguments.at(1)),
                                          Q_ARG(QString, arguments.at(2))));
    QVERIFY(service.waitForBytes(expected.size()));
    QCOMPARE(service.receivedHex(), expected.toHex());
    QVERIFY(log.entries.isEmpty());
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
    QVERIFY(service.accept(&connection));
    SignalLog log(&connection);

    connection.sendConnectToVPNRequest(host, username, password);
    QCOMPARE(log.entries.size(), 1);
    QVERIFY2(log.entries.first().startsWith("error TavrinServiceConnection cannot send method "
                                            "sendConnectToVPNRequest"),
             log.entries.first().constData());
    // Nothing went out and the connection is still idle.
    connection.sendCredentialsRequest();
    QVERIFY(service.waitForBytes(4));
    QCOMPARE(service.receivedHex(), QByteArray("01040902"));
    QCOMPARE(log.entries.size(), 1);
}

void tst_ServiceConnection::readerGivesSameSignalsForEverySplit()
{
    QList<QByteArray> expected;
    const QByteArray stream = sessionStream(&expected);
    auto run = [&stream](const QVector<int> &pieces) {
        FedConnection connection;
        SignalLog log(&connection);
        int offset = 0;
        for (int piece : pieces) {
            connection.processIncomingData(stream.mid(offset, piece));
            offset += piece;
        }
        connection.processIncomingData(stream.mid(offset));
        return log.entries;
    };

    QCOMPARE(run({}), expected);
    QCOMPARE(run(QVector<int>(stream.size(), 1)), expected);
    for (int cut = 0; cut <= stream.size(); ++cut)
        QVERIFY2(run({cut}) == expected, qPrintable(QString::number(cut)));
    QRandomGenerator random(4242);
    for (int round = 0; round < 200; ++round) {
        QVector<int> pieces;
        for (int total = 0; total < stream.size(); total += pieces.last())
            pieces.append(random.bounded(1, 30));
        QVERIFY2(run(pieces) == expected, qPrintable(QString::number(round)));
    }
}

void tst_ServiceConnection::framesFromTheSocket()
{
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(service.accept(&connection));
    SignalLog log(&connection);
    QList<QByteArray> expected;
    const QByteArray stream = sessionStream(&expected);
    for (int offset = 0; offset < stream.size(); offset += 17) {
        service.send(stream.mid(offset, 17));
        QTest::qWait(1);
    }
    QTRY_COMPARE_WITH_TIMEOUT(log.entries.size(), expected.size(), Patience);
    QCOMPARE(log.entries, expected);
}

enum CloseWay { ServiceClosesAfterStatus, DisconnectFromService, Destruction };

void tst_ServiceConnection::closingShowsNoBox_data()
{
    QTest::addColumn<int>("way");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("service closes after a status request")
            << int(ServiceClosesAfterStatus) << QByteArray("sendStatusRequest")
            << QByteArray("01040102");
    QTest::newRow("disconnectFromService")
            << int(DisconnectFromService) << QByteArray("sendCredentialsRequest")
            << QByteArray("01040902");
    QTest::newRow("destruction") << int(Destruction) << QByteArray("sendAbortRequest")
                                 << QByteArray("01040502");
}

void tst_ServiceConnection::closingShowsNoBox()
{
    QFETCH(int, way);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, expected);
    BoxCloser boxes;
    FakeService service;
    auto connection = std::make_unique<QTavrinServiceConnection>();
    QVERIFY(service.accept(connection.get()));
    QVERIFY(QMetaObject::invokeMethod(connection.get(), method.constData()));
    if (way == ServiceClosesAfterStatus) {
        QVERIFY(service.waitForBytes(4));
        service.closeClient();
    } else if (way == DisconnectFromService) {
        connection->disconnectFromService();
    } else {
        connection.reset();
        QCOMPARE(boxes.texts, QStringList()); // a box would have been shown while destroyed
    }
    // Bytes sent before the close still arrive.
    QTRY_VERIFY_WITH_TIMEOUT(service.clientGone() || way == ServiceClosesAfterStatus, Patience);
    QCOMPARE(service.receivedHex(), expected);
    if (connection)
        QVERIFY(waitUntilClosed(connection.get()));
    QCOMPARE(boxes.texts, QStringList());
}

void tst_ServiceConnection::lossOfTheServiceEndsTheProgram()
{
    BoxCloser boxes;
    FakeService service;
    QTavrinServiceConnection connection;
    QVERIFY(service.accept(&connection));
    connection.sendCredentialsRequest();
    connection.sendConnectToVPNRequest("h", "u", "p");
    connection.sendAbortRequest();
    QVERIFY(service.waitForBytes(8));

    QEventLoop loop;
    QTimer::singleShot(0, &service, [&service] { service.closeClient(); });
    // A safety net only, so that a failing test cannot hang the run.
    QTimer::singleShot(60000, &loop, [&loop] { loop.exit(-1); });
    QCOMPARE(loop.exec(), 4);
    QCOMPARE(boxes.texts,
             QStringList(QStringLiteral("Connection error|Connection to Tavrin service was "
                                        "closed.\nTerminating this app.|%1|%2|0|0")
                                 .arg(int(QMessageBox::Critical))
                                 .arg(int(QMessageBox::Ok))));

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
}

void tst_ServiceConnection::trustedPeers()
{
    QFETCH(quint64, peer);
    QFETCH(quint64, self);
    QFETCH(bool, trusted);
    QCOMPARE(isTrustedServicePeer(peer, self), trusted);
}

void tst_ServiceConnection::foreignServiceIsRefused()
{
    if (geteuid() != 0)
        QSKIP("needs root to listen as another user");
    // The peer credentials of a listening socket are those of the caller of listen(): listen
    // as nobody, as another local user who created the socket file first would.
    QLocalServer::removeServer(QStringLiteral("Tavrin"));
    const QByteArray path = QFile::encodeName(QDir::tempPath() + QStringLiteral("/Tavrin"));
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    QVERIFY(size_t(path.size()) < sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(listener >= 0);
    QCOMPARE(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    QCOMPARE(::seteuid(65534), 0);
    const int listened = ::listen(listener, 4);
    QCOMPARE(::seteuid(0), 0);
    QCOMPARE(listened, 0);

    BoxCloser boxes;
    QTavrinServiceConnection connection;
    SignalLog log(&connection);
    const bool connected = connection.connectToService();
    connection.sendCredentialsRequest();
    ::close(listener);
    QFile::remove(QString::fromLocal8Bit(path));
    QVERIFY(!connected);
    QCOMPARE(log.entries, QList<QByteArray>{notOpen("sendCredentialsRequest")});
    QCOMPARE(boxes.texts, QStringList());

    QFile file(QDir::homePath() + QStringLiteral("/tavrin-client.log"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY2(content.contains(" - Warning: ") && content.contains("user 65534"),
             content.constData());
}

TAVRIN_TEST_MAIN(tst_ServiceConnection)
#include "tst_serviceconnection.moc"
