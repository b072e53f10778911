// The service layer: frames, credential text, and the connection against a real local server.

#include "base/tavrinlog.h"
#include "service/qtavrinserviceconnection.h"
#include "service/tavrincredentials.h"
#include "service/tavrinservicepeer.h"
#include "tavrintestenvironment.h"
#include "tavrintestplatform.h"

#include <QtNetwork/QtNetwork>
#include <QtTest/QtTest>

namespace {

// Stands in for the service: takes one client on the socket "Tavrin".
struct Service : QLocalServer
{
    QLocalSocket *client = nullptr;
    QByteArray received;
    Service()
    {
        removeServer("Tavrin");
        // As a service does: the pipe gets a security descriptor of its own, owner and all.
        setSocketOptions(QLocalServer::UserAccessOption);
        listen("Tavrin");
        connect(this, &QLocalServer::newConnection, [this] {
            client = nextPendingConnection();
            connect(client, &QLocalSocket::readyRead, [this] { received += client->readAll(); });
        });
    }
    bool accept(QTavrinServiceConnection *c)
    {
        return c->connectToService() && waitUntil([this] { return client; });
    }
};

// What a service connection raises, one short line per signal, in order.
struct Recorder : QStringList
{
    QObject context; // the connections end with the recorder
    explicit Recorder(QTavrinServiceConnection *c)
    {
        const auto on = [&](auto signal, auto text) {
            QObject::connect(c, signal, &context, [=](auto... values) { append(text(values...)); });
        };
        using C = QTavrinServiceConnection;
        on(&C::credentials, [](QByteArray t) { return QString("credentials %1").arg(t.data()); });
        on(&C::notifyStatusChange, [](char s) { return QString("state %1").arg(quint8(s)); });
        on(&C::assignedIP, [](QByteArray ip) { return QString("ip %1").arg(QLatin1String(ip)); });
        on(&C::startTime, [](uint time) { return QString("start %1").arg(time); });
        on(&C::updateBandwidth, [](uchar type, uint down, uint up) {
            return QString("bandwidth %1 %2 %3").arg(type).arg(down).arg(up);
        });
        on(&C::loginFailed, [] { return QString("login failed"); });
        on(&C::error, [](QString text) { return QString("error %1").arg(text); });
        on(&C::connectionLost, [] { return QString("lost"); });
    }
};

} // namespace

class tst_Service : public QObject
{
    Q_OBJECT

    static QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
    static QString lastLogEntry() { return TavrinTestEnvironment::logText().section('\n', -1); }

private slots:
    void init() { QFile::remove(TavrinTestEnvironment::instance()->home() + "/tavrin-client.log"); }
    // However the stream is cut (so whatever bytes are behind a frame), and whether or not the
    // frames of one arrival wait for the next turn, the same signals come in the same order.
    void readerGivesSameSignalsForEverySplit()
    {
        // A session's frames and their signals; every run raises the same, as its first bandwidth
        // type differs from its last.
        const QList<QPair<QByteArray, QString>> frames{
                {QByteArray(hex("010c0a") + "oyKjLg==" + hex("02")), "credentials oyKjLg=="},
                {hex("01050d0002"), "state 0"},
                {QByteArray(hex("01120d0108") + "10.8.0.6" + hex("00f1536502")),
                 "ip 10.8.0.6|start 1700000000|state 1"},
                {hex("010a0d01800102030402"), ""}, // address length 0x80, past the end
                {hex("010d0e01e80300000a00000002"), "bandwidth 1 0 0"},
                {hex("010d0e01dc0500001e00000002"), "bandwidth 1 500 20"},
                {buildBandwidthFrame(0, 7, 8), "bandwidth 0 7 8"},
                {buildBandwidthFrame(2, 0, 0), "bandwidth 2 0 0"},
                {buildBandwidthFrame(2, 50, 0), "bandwidth 2 0 0"}, // a baseline of 0 is replaced
                {buildBandwidthFrame(2, 80, 5), "bandwidth 2 30 0"},
                {buildBandwidthFrame(2, 70, 5), "bandwidth 2 4294967286 0"}, // going down wraps
                {hex("01040a02"), "credentials "},
                {hex("01060faabb02"), "login failed"},
                {buildStatusFrame(200), "state 200"},
                {buildStatusFrame(Disconnected), "state 3"}}; // the only one: the run's end
        QByteArray stream;
        QStringList expected;
        for (const auto &frame : frames) {
            stream += frame.first;
            expected += frame.second.split('|', Qt::SkipEmptyParts);
        }
        Service service;
        QTavrinServiceConnection connection;
        QVERIFY(service.accept(&connection));
        Recorder recorder(&connection);
        // The signals of the stream cut at the given offsets, each piece read before the next.
        const auto run = [&](QVector<int> cuts) {
            recorder.clear();
            cuts << stream.size();
            for (int i = 0, from = 0; i < cuts.size(); from = cuts.at(i++)) {
                service.client->write(stream.mid(from, cuts.at(i) - from));
                service.client->flush();
                if (!waitUntil([&] { return TavrinTestPlatform::allTaken(service.client); }))
                    return QStringList{"not delivered"};
            }
            waitUntil([&] { return recorder.value(recorder.size() - 1) == expected.last(); });
            return QStringList(recorder);
        };
        for (int readTurn : {5, 0}) { // 0: one frame per turn
            connection.setReadTurn(readTurn);
            QVector<int> everyByte;
            for (int cut = 0; cut < stream.size(); ++cut) { // 0: all at once
                everyByte << cut;
                QVERIFY2(run({cut}) == expected, qPrintable(QString("cut at %1").arg(cut)));
            }
            QCOMPARE(run(everyByte), expected);
        }
    }

    // A text that holds more or less than a pair is refused, leaves the pair as it was, and the
    // log at Debug level says why.
    void credentialText()
    {
        const QByteArray bytes = QByteArray::fromBase64(encodeUserPass("user", "pass"));
        QString user = "kept", password = "kept";
        setLogOptions(Debug, false);
        for (const QByteArray &text : {bytes.chopped(1), QByteArray(bytes + 'x')})
            QVERIFY(!decodeUserPass(QString::fromLatin1(text.toBase64()), user, password));
        QCOMPARE(user + password, "keptkept");
        QCOMPARE(TavrinTestEnvironment::logEntries().size(), 2);
        QVERIFY(lastLogEntry().startsWith("Debug: decodeUserPass - "));
    }

    // Every request as the service receives it; one that the frame format cannot express is
    // refused, logged, and leaves nothing behind. A service that reads nothing gets requests up
    // to a bound, then refusals.
    void requests()
    {
        Service service;
        QTavrinServiceConnection connection;
        QVERIFY(service.accept(&connection));
        // The whole peer check ran and knew who serves the socket: nothing taken on trust.
        QCOMPARE(TavrinTestEnvironment::logText(), QString());
        Recorder recorder(&connection);
        QVERIFY(connection.sendAbortRequest() && connection.sendServerListRequest()
                && connection.sendCredentialsRequest() && connection.sendUpdateCAFileRequest());
        const QString host = "de1.vpn.example.test";
        QVERIFY(connection.sendConnectToVPNRequest(host, "\u00e9", "~")
                && connection.sendConnectToVPNRequest(QString(241, 'h'), "\u00e9", "~"));
        // A frame of 256 bytes, a host name or a user name of 256.
        QVERIFY(!connection.sendConnectToVPNRequest(QString(242, 'h'), "a", "b")
                && !connection.sendConnectToVPNRequest(QString(256, 'h'), "a", "b")
                && !connection.sendConnectToVPNRequest(host, QString(256, 'u'), "b"));
        QVERIFY(connection.sendStatusRequest());
        // The credential text of 01 C3 A9 01 '~', every byte rotated left by two bits and XORed
        // with A7, in Base64; the end byte.
        const QByteArray text("\x08r6gBo14=\x02");
        const QByteArray expected = hex("01040502010407020104090201040b0201220314")
                                    + host.toLatin1() + text + hex("01ff03f1")
                                    + QByteArray(241, 'h') + text + hex("01040102");
        QVERIFY(waitUntil([&] { return service.received.size() >= expected.size(); }));
        QCOMPARE(service.received.toHex(), expected.toHex());
        const QString tooLong
                = "TavrinServiceConnection cannot send method sendConnectToVPNRequest: "
                  "the host name or the credentials are too long for a request";
        QCOMPARE((recorder + TavrinTestEnvironment::logEntries()).join('|'),
                 QString("error %1|error %1|error %1|Warning: %1|Warning: %1|Warning: %1")
                         .arg(tooLong));
        service.client->disconnect();
        recorder.clear();
        int sent = 0;
        while (sent < 100000 && connection.sendConnectToVPNRequest("host", "user", "secret"))
            ++sent;
        QVERIFY2(sent > 1000 && sent < 100000, qPrintable(QString::number(sent)));
        QVERIFY(recorder.value(0).endsWith("the service does not read the requests sent before"));
    }

    // The service closes the link: after a status request that is no loss to tell, else it is
    // told. Either way every frame sent before the close is handled first, even one a turn.
    void closing()
    {
        for (const bool asked : {true, false}) {
            Service service;
            QTavrinServiceConnection connection;
            QVERIFY(service.accept(&connection));
            connection.setReadTurn(0);
            Recorder recorder(&connection);
            QVERIFY(!asked || connection.sendStatusRequest());
            QVERIFY(waitUntil([&] { return service.received.size() == (asked ? 4 : 0); }));
            service.client->write(buildStatusFrame(Timeout) + buildFrame(LoginFailed)
                                  + buildCredentialsReplyFrame("bGFzdA==")
                                  + buildStatusFrame(Disconnected));
            service.client->disconnectFromServer();
            QVERIFY(waitUntil([&] {
                return service.client->state() == QLocalSocket::UnconnectedState
                       && !connection.isConnected();
            }));
            QCOMPARE(recorder.join('|'),
                     QString("state 4|login failed|credentials bGFzdA==|state 3")
                             + (asked ? "" : "|lost"));
        }
    }

    // Windows: the pipe's owner ("-": unreadable) and its server's session against a client of
    // user ...-1001 in session 1: trusted or not, and a word of the note for the log, if any.
    void pipeOwnerDecides()
    {
        for (const char *row : {"S-1-5-18 3 1", "S-1-5-19 3 1", "S-1-5-20 3 1", "S-1-5-32-544 3 1",
                                "S-1-5-80-956008885-3418522649 3 1", "S-1-5-21-7-8-9-1001 3 1",
                                "S-1-5-21-7-8-9-1002 0 0 -1002", "S-1-5-32-545 0 0 -545", "- 0 1",
                                "- 1 1 talking", "- -1 1 talking", "- 2 0 desktop"}) {
            const QStringList c = QString(row).split(' ');
            const QString owner = c[0] == "-" ? QString() : c[0], self = "S-1-5-21-7-8-9-1001";
            QString note = "stale";
            QCOMPARE(isTrustedServicePipe(owner, self, c[1].toInt(), 1, &note), c[2] == "1");
            QVERIFY2(c.size() < 4 ? note.isEmpty() : note.contains(c[3]), row);
        }
    }

    void foreignServiceIsRefused()
    {
        QVERIFY(isTrustedServicePeer(0, 1000) && isTrustedServicePeer(1000, 1000)
                && !isTrustedServicePeer(1001, 1000) && !isTrustedServicePeer(1000, 0));
        // Another user made the socket "Tavrin" first.
        Service service;
        QString skip;
        const QString other = TavrinTestPlatform::listenAsAnotherUser(&service, &skip);
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
        QTavrinServiceConnection connection;
        Recorder recorder(&connection);
        QVERIFY(!connection.connectToService());
        QVERIFY2(lastLogEntry().startsWith("Warning: ") && lastLogEntry().contains(other),
                 qPrintable(lastLogEntry()));
        QVERIFY(!connection.isConnected() && !connection.sendCredentialsRequest());
        QCOMPARE(recorder.join('|'),
                 "error TavrinServiceConnection is not open for method sendCredentialsRequest");
    }
};

TAVRIN_TEST_GUILESS_MAIN(tst_Service)
#include "tst_service.moc"
