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

const QString notOpen = QStringLiteral("error TavrinServiceConnection is not open for method ");

// Stands in for the service: takes one client on the socket "Tavrin".
struct Service : QLocalServer
{
    QLocalSocket *client = nullptr;
    QByteArray received;
    Service()
    {
        removeServer("Tavrin");
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
        using C = QTavrinServiceConnection;
        on(c, &C::credentials,
           [](QByteArray t) { return QString("credentials %1").arg(QLatin1String(t)); });
        on(c, &C::notifyStatusChange, [](char s) { return QString("state %1").arg(quint8(s)); });
        on(c, &C::assignedIP, [](QByteArray ip) { return QString("ip %1").arg(QLatin1String(ip)); });
        on(c, &C::startTime, [](uint time) { return QString("start %1").arg(time); });
        on(c, &C::updateBandwidth, [](uchar type, uint down, uint up) {
            return QString("bandwidth %1 %2 %3").arg(type).arg(down).arg(up);
        });
        on(c, &C::loginFailed, [] { return QString("login failed"); });
        on(c, &C::error, [](QString text) { return QString("error %1").arg(text); });
    }
    template<class Signal, class Text>
    void on(QTavrinServiceConnection *c, Signal signal, Text text)
    {
        QObject::connect(c, signal, &context, [=](auto... values) { append(text(values...)); });
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
    void hostileInputMakesProgressWithinFrames()
    {
        const auto decode = [](const QByteArray &frame, char behind) { // other bytes behind it
            const QByteArray padded = frame + QByteArray(256, behind);
            TavrinServiceMessage m;
            const bool ok = decodeServiceFrame(padded.constData(), frame.size(), &m);
            return QString::asprintf("%d %d %d %s %u %d %u %u", ok, m.type, m.state,
                                     m.data.toHex().constData(), m.startTime, m.bandwidthType,
                                     m.download, m.upload);
        };
        QRandomGenerator random(7);
        for (int round = 0; round < 40; ++round) {
            QByteArray noise(random.bounded(1, 20000), Qt::Uninitialized);
            for (char &byte : noise) // one in five a start byte or an end byte, so frames occur
                byte = char(random.bounded(10) < 2 ? random.bounded(1, 3) : random.bounded(256));
            QTavrinFrameSplitter splitter;
            for (int offset = 0; offset < noise.size();) {
                const int piece = qMin(random.bounded(1, 600), noise.size() - offset);
                splitter.append(noise.constData() + offset, piece);
                offset += piece;
                QByteArray f;
                while (splitter.nextFrame(&f)) {
                    QVERIFY(f.size() >= MinimumFrameSize && f.at(0) == FrameStartByte
                            && quint8(f.at(1)) == f.size() && f.at(f.size() - 1) == FrameEndByte);
                    QCOMPARE(decode(f, '\0'), decode(f, '\xff')); // bytes behind play no part
                }
                QVERIFY(splitter.bufferedSize() < MaximumFrameSize); // never stuck behind a frame
            }
        }
    }

    // However the stream is cut, and whether or not the frames of one arrival wait for the
    // next turn of the event loop, the same signals come in the same order.
    void readerGivesSameSignalsForEverySplit()
    {
        // A session's frames and the signals they raise (malformed, short or unread ones: none).
        // Every run through it raises the same, as its first bandwidth type differs from its last.
        const QList<QPair<QByteArray, QString>> frames{
                {QByteArray(hex("010c0a") + "oyKjLg==" + hex("02")), "credentials oyKjLg=="},
                {hex("05040d02"), ""}, // wrong start byte
                {hex("01050d0002"), "state 0"},
                {hex("01050d0303"), ""}, // no end byte
                {hex("01040d02"), ""},   // state without its state byte
                {QByteArray(hex("01120d0108") + "10.8.0.6" + hex("00f1536502")),
                 "ip 10.8.0.6|start 1700000000|state 1"},
                {hex("010a0d01010102030402"), ""}, // address past the end
                {hex("010a0d01800102030402"), ""}, // address length 0x80
                {buildConnectedFrame(QByteArray(200, 'x'), 99u),
                 "ip " + QString(200, 'x') + "|start 99|state 1"},
                {hex("010d0e01e80300000a00000002"), "bandwidth 1 0 0"},
                {hex("0100"), ""}, // length 0, then length 1
                {hex("010d0e01dc0500001e00000002"), "bandwidth 1 500 20"},
                {hex("010c0e01010000000200000002"), ""}, // 13 bytes, its length says 12
                {hex("010c0e010100000002000002"), ""},   // a bandwidth frame of 12 bytes
                {hex("01040902"), ""},                   // a request type
                {buildBandwidthFrame(0, 7, 8), "bandwidth 0 7 8"},
                {buildCredentialsReplyFrame(QByteArray(200, 'x')),
                 "credentials " + QString(200, 'x')},
                {hex("01030f"), ""}, // length 3: three bytes dropped
                {buildBandwidthFrame(1, 2000, 90), "bandwidth 1 0 0"},
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
        // Hands the stream over cut at the given offsets; returns the signals it raised once
        // the last frame's has come, however many turns the frames took.
        const auto run = [&](QVector<int> cuts) {
            recorder.clear();
            cuts << stream.size();
            for (int i = 0, from = 0; i < cuts.size(); from = cuts.at(i++)) {
                service.client->write(stream.mid(from, cuts.at(i) - from));
                service.client->flush(); // each piece on its own: read before the next goes out
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

    void credentialText_data()
    {
        QTest::addColumn<QStringList>("pair"); // user name, password; none: the text is refused
        QTest::addColumn<QByteArray>("text");  // "*": whatever the pair gives; empty: refused
        const auto row = [](const char *tag, const QStringList &pair, const QByteArray &text) {
            QTest::newRow(tag) << pair << text;
        };
        // 01 'a' 01 'b', every byte rotated left by two bits and XORed with A7, in Base64.
        row("known", {"a", "b"}, "oyKjLg==");
        row("known, high bits", {"\u00e9", "~"}, "r6gBo14=");
        row("non-ASCII", {"J\u00fcrgen.\u041f\u0435", "\u5bc6\U0001F511"}, "*");
        row("255 bytes each", {QString(255, 'u'), QString(85, QChar(0x20ac))}, "*");
        row("NUL, leading BOM", {QStringLiteral("\ufeffa\u0000b"), QString(1, QChar(0))}, "*");
        row("user name over 255 bytes", {QString(256, 'u'), "p"}, "");
        row("password over 255 bytes", {"u", QString(128, QChar(0xe9))}, "");
        row("no Base64 at all", {}, "!!**  ##");
        row("empty user name", {}, encodeUserPass(QString(), "p"));
        row("empty password", {}, encodeUserPass("u", QString()));
        // The scrambled bytes of the pair "user", "pass" (04 user 04 pass), cut or extended.
        const QByteArray bytes = QByteArray::fromBase64(encodeUserPass("user", "pass"));
        row("ends in the user name", {}, bytes.left(3).toBase64());
        row("ends after the user name", {}, bytes.left(5).toBase64());
        row("ends in the password", {}, bytes.left(8).toBase64());
        row("bytes after the password", {}, QByteArray(bytes + 'x').toBase64());
    }
    // A refused text leaves the pair as it was, and the log at Debug level says why.
    void credentialText()
    {
        QFETCH(QStringList, pair);
        QFETCH(QByteArray, text);
        const bool valid = !pair.isEmpty() && !text.isEmpty();
        const QByteArray encoded = pair.isEmpty() ? text : encodeUserPass(pair.at(0), pair.at(1));
        QCOMPARE(encoded, text == "*" ? encoded : text);
        setLogOptions(Debug, false);
        QStringList decoded{"kept", "kept"};
        QCOMPARE(decodeUserPass(QString::fromLatin1(encoded), decoded[0], decoded[1]), valid);
        QCOMPARE(decoded, valid ? pair : QStringList({"kept", "kept"}));
        QCOMPARE(TavrinTestEnvironment::logEntries().size(), valid ? 0 : 1);
        QVERIFY(valid || lastLogEntry().startsWith("Debug: decodeUserPass - "));
    }

    // Every request as the service receives it; one that the frame format cannot express is
    // refused, logged, and leaves nothing behind. A service that reads nothing gets requests up
    // to a bound, then refusals.
    void requests()
    {
        Service service;
        QTavrinServiceConnection connection;
        QVERIFY(service.accept(&connection));
        Recorder recorder(&connection);
        const QString host = "de1.vpn.example.test";
        const QByteArray text("\x08oyKjLg==\x02"); // the credential text of a, b; the end byte
        const QList<QPair<QStringList, QByteArray>>
                requests{{{"sendAbortRequest"}, hex("01040502")},
                         {{"sendServerListRequest"}, hex("01040702")},
                         {{"sendCredentialsRequest"}, hex("01040902")},
                         {{"sendUpdateCAFileRequest"}, hex("01040b02")},
                         {{host, "a", "b"}, hex("01220314") + host.toLatin1() + text},
                         {{QString(241, 'h'), "a", "b"},
                          hex("01ff03f1") + QByteArray(241, 'h') + text},
                         {{QString(242, 'h'), "a", "b"}, {}}, // a frame of 256 bytes
                         {{QString(256, 'h'), "a", "b"}, {}},
                         {{host, QString(256, 'u'), "b"}, {}},
                         {{"sendStatusRequest"}, hex("01040102")}};
        QByteArray expected;
        for (const auto &[request, frame] : requests) {
            bool sent = false;
            if (request.size() == 1)
                QVERIFY(QMetaObject::invokeMethod(&connection, qPrintable(request.at(0)),
                                                  Q_RETURN_ARG(bool, sent)));
            else
                sent = connection.sendConnectToVPNRequest(request.at(0), request.at(1),
                                                          request.at(2));
            QCOMPARE(sent, !frame.isEmpty());
            expected += frame;
        }
        QVERIFY(waitUntil([&] { return service.received.size() >= expected.size(); }));
        QCOMPARE(service.received.toHex(), expected.toHex());
        const QString tooLong = "TavrinServiceConnection cannot send method "
                                "sendConnectToVPNRequest: the host name or the credentials are "
                                "too long for a request";
        const QString error = "error " + tooLong, line = "Warning: " + tooLong;
        QCOMPARE(recorder, QStringList({error, error, error}));
        QCOMPARE(TavrinTestEnvironment::logEntries(), QStringList({line, line, line}));

        service.client->disconnect();
        recorder.clear();
        int sent = 0;
        while (sent < 100000 && connection.sendConnectToVPNRequest("host", "user", "secret"))
            ++sent;
        QVERIFY2(sent > 1000 && sent < 100000, qPrintable(QString::number(sent)));
        QVERIFY(recorder.value(0).endsWith("the service does not read the requests sent before"));
    }

    void closing_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("the service goes away") << 0;
        QTest::newRow("the service answers a status request and closes") << 1;
        QTest::newRow("disconnectFromService") << 2;
        QTest::newRow("destruction") << 3;
    }
    // Only the loss of the service is told, once, for the window to end the program on.
    void closing()
    {
        QFETCH(int, way);
        Service service;
        auto connection = std::make_unique<QTavrinServiceConnection>();
        QVERIFY(service.accept(connection.get()));
        Recorder recorder(connection.get());
        QSignalSpy lost(connection.get(), &QTavrinServiceConnection::connectionLost);
        QVERIFY(way == 1 ? connection->sendStatusRequest() : connection->sendAbortRequest());
        if (way <= 1) { // frames sent before the close are still handled
            QVERIFY(waitUntil([&] { return service.received.size() == 4; }));
            service.client->write(buildStatusFrame(way == 0 ? Connecting : Disconnected));
            service.client->disconnectFromServer();
        }
        if (way == 2)
            connection->disconnectFromService();
        if (way == 3)
            connection.reset();
        if (way == 0)
            QVERIFY(waitUntil([&] { return lost.count() == 1; }));
        QVERIFY(waitUntil([&] { // both ends see the close; a request sent just before went out
            return service.client->state() == QLocalSocket::UnconnectedState
                   && !(connection && connection->isConnected());
        }));
        QCOMPARE(service.received.toHex(), QByteArray(way == 1 ? "01040102" : "01040502"));
        QCOMPARE(recorder.join(' '), QStringList({"state 0", "state 3", "", ""}).at(way));
        QCOMPARE(lost.count(), way == 0 ? 1 : 0);
        if (connection) { // later requests are refused
            QVERIFY(!connection->sendAbortRequest());
            QCOMPARE(recorder.value(recorder.size() - 1), notOpen + "sendAbortRequest");
            QCOMPARE(lastLogEntry(), "Warning: " + notOpen.mid(6) + "sendAbortRequest");
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
        QCOMPARE(QStringList(recorder), QStringList{QString(notOpen + "sendCredentialsRequest")});
    }
};

TAVRIN_TEST_GUILESS_MAIN(tst_Service)
#include "tst_service.moc"
