// The pieces of tavrin-sim that need no client: its command line, its built-in server list,
// its malformed frames, and the program's start and end around the socket file.

#include "qtavrinsimoptions.h"
#include "qtavrinsimprocess.h"
#include "qtavrinsimsession.h"
#include "tavrinframe.h"
#include "tavrinsimserverlist.h"
#include "tavrintestenvironment.h"

#include <QtCore/qfile.h>
#include <QtCore/qjsondocument.h>
#include <QtNetwork/qlocalserver.h>
#include <QtNetwork/qlocalsocket.h>
#include <QtTest/qtest.h>

#include <csignal>

class tst_SimProgram : public QObject
{
    Q_OBJECT

private slots:
    void options_data();
    void options();
    void badOptions_data();
    void badOptions();
    void builtInList();
    void listHosts_data();
    void listHosts();
    void malformedFramesAreSkippedByTheirLength();
    void helpNamesEveryOption();
    void badOptionEndsWithCode2();
    void endsCleanlyOnSignal_data();
    void endsCleanlyOnSignal();
    void staleSocketIsReplaced();
    void liveServiceIsLeftAlone();
};

static QTavrinSimOptions parsed(const QStringList &arguments, bool *ok, QString *error = nullptr)
{
    QTavrinSimOptions options;
    QString text;
    *ok = parseSimOptions(QStringList{QStringLiteral("tavrin-sim")} + arguments, &options, &text);
    if (error)
        *error = text;
    return options;
}

void tst_SimProgram::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("check");
    QTest::newRow("defaults") << QStringList() << "defaults";
    QTest::newRow("timings") << QStringList{"--connect-delay",
                                            "10",
                                            "--disconnect-delay=20",
                                            "--retry-delay",
                                            "30",
                                            "--bandwidth-interval",
                                            "40"}
                             << "timings";
    QTest::newRow("accounts") << QStringList{"--account", "a:b",      "--account",
                                             "c:d:e",     "--stored", "s:t"}
                              << "accounts";
    QTest::newRow("failures") << QStringList{"--fragment",  "--malformed", "--close-after-sent",
                                             "3",           "--ip-fail",   "2",
                                             "--list-body", "array",       "--ip-body",
                                             "number",      "--port",      "0"}
                              << "failures";
}

void tst_SimProgram::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, check);
    bool ok = false;
    const QTavrinSimOptions o = parsed(arguments, &ok);
    QVERIFY(ok);
    if (check == QLatin1String("defaults")) {
        QCOMPARE(o.socketName, QStringLiteral("Tavrin"));
        QCOMPARE(o.accounts, QList<QTavrinSimAccount>{simDemoAccount()});
        QVERIFY(!o.hasStoredCredentials);
        QCOMPARE(o.connectDelay, 1500);
        QCOMPARE(o.bandwidthInterval, 1000);
        QVERIFY(o.port > 1024);
        QVERIFY(!o.fragment && !o.malformed);
    } else if (check == QLatin1String("timings")) {
        QCOMPARE(o.connectDelay, 10);
        QCOMPARE(o.disconnectDelay, 20);
        QCOMPARE(o.retryDelay, 30);
        QCOMPARE(o.bandwidthInterval, 40);
    } else if (check == QLatin1String("accounts")) {
        QCOMPARE(o.accounts.size(), 2);
        QCOMPARE(o.accounts.at(1).username, QStringLiteral("c"));
        QCOMPARE(o.accounts.at(1).password, QStringLiteral("d:e"));
        QVERIFY(o.hasStoredCredentials);
        QCOMPARE(o.storedCredentials.username, QStringLiteral("s"));
    } else {
        QVERIFY(o.fragment && o.malformed);
        QCOMPARE(o.closeAfterSent, 3);
        QCOMPARE(o.ipFailures, 2);
        QCOMPARE(o.listBody, QTavrinSimListBody::Array);
        QCOMPARE(o.ipBody, QTavrinSimIpBody::Number);
        QCOMPARE(o.port, 0);
    }
}

void tst_SimProgram::badOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("unknown option") << QStringList{"--colour"} << "colour";
    QTest::newRow("missing value") << QStringList{"--port"} << "port";
    QTest::newRow("not a number") << QStringList{"--connect-delay", "fast"} << "connect-delay";
    QTest::newRow("negative") << QStringList{"--ip-fail", "-1"} << "ip-fail";
    QTest::newRow("port too big") << QStringList{"--port", "65536"} << "port";
    QTest::newRow("interval of zero")
            << QStringList{"--bandwidth-interval", "0"} << "bandwidth-interval";
    QTest::newRow("account without password") << QStringList{"--account", "demo:"} << "account";
    QTest::newRow("account without colon") << QStringList{"--account", "demo"} << "account";
    QTest::newRow("unknown list body") << QStringList{"--list-body", "huge"} << "list-body";
    QTest::newRow("stray argument") << QStringList{"now"} << "now";
}

void tst_SimProgram::badOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    bool ok = true;
    QString error;
    parsed(arguments, &ok, &error);
    QVERIFY(!ok);
    QVERIFY2(error.contains(mentions), qPrintable(error));
}

void tst_SimProgram::builtInList()
{
    const QJsonObject list = builtInServerList();
    QVERIFY(list.size() >= 28 && list.size() <= 40);
    QCOMPARE(list.value(QStringLiteral("Automatic"))
                     .toObject()
                     .value(QStringLiteral("code"))
                     .toString(),
             QStringLiteral("auto"));
    QCOMPARE(list.value(QStringLiteral("United Kingdom"))
                     .toObject()
                     .value(QStringLiteral("code"))
                     .toString(),
             QStringLiteral("UK"));
    // Every code has a flag image in the client (upper-case two letters, "GB" is not one).
    for (auto it = list.constBegin(); it != list.constEnd(); ++it) {
        const QString code = it.value().toObject().value(QStringLiteral("code")).toString();
        QVERIFY2(code == QLatin1String("auto")
                         || (code.size() == 2 && code == code.toUpper()
                             && code != QLatin1String("GB")),
                 qPrintable(it.key()));
    }
    const QStringList hosts = serverListHosts(QJsonDocument(list).toJson());
    QCOMPARE(hosts.size(), list.size());
}

void tst_SimProgram::listHosts_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("hosts");
    QTest::newRow("object") << QByteArray(
            R"({"B":{"code":"BE","host":"h2"},"A":{"code":"AT","host":"h1"}})")
                            << QStringList{"h1", "h2"};
    QTest::newRow("members that are no servers")
            << QByteArray(R"({"A":"x","B":{"host":7},"C":{"host":"h3"}})") << QStringList{"h3"};
    QTest::newRow("array") << QByteArray(R"([{"host":"h1"}])") << QStringList();
    QTest::newRow("broken") << QByteArray(R"({"A":{"host":"h1")") << QStringList();
    QTest::newRow("empty") << QByteArray() << QStringList();
}

void tst_SimProgram::listHosts()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, hosts);
    QCOMPARE(serverListHosts(json), hosts);
}

void tst_SimProgram::malformedFramesAreSkippedByTheirLength()
{
    // Each malformed frame, followed by a good one, leaves exactly the good one to a reader
    // that skips by the length byte.
    const QByteArray good = buildStatusFrame(Connecting);
    QSet<QByteArray> distinct;
    for (int i = 0; i < 12; ++i) {
        const QByteArray bad = QTavrinSimSession::malformedFrame(i);
        distinct.insert(bad);
        QTavrinFrameSplitter splitter;
        splitter.append(bad + good);
        // Frames the client reads: the good one only. A well-formed frame of an unknown type
        // may come out of the splitter, but the client reads nothing from it.
        QList<QByteArray> read;
        QByteArray frame;
        while (splitter.nextFrame(&frame)) {
            TavrinServiceMessage message;
            if (decodeServiceFrame(frame.constData(), int(frame.size()), &message))
                read << frame;
        }
        QCOMPARE(read, QList<QByteArray>{good});
        QCOMPARE(splitter.bufferedSize(), qsizetype(0));
    }
    QVERIFY(distinct.size() >= 5);
}

void tst_SimProgram::helpNamesEveryOption()
{
    QProcess process;
    process.start(TavrinTestEnvironment::simProgram(), {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    const QString help = QString::fromUtf8(process.readAllStandardOutput());
    const QStringList names = {"socket-name",
                               "account",
                               "stored",
                               "connect-delay",
                               "disconnect-delay",
                               "retry-delay",
                               "bandwidth-interval",
                               "seed",
                               "close-after-seconds",
                               "close-after-sent",
                               "close-after-received",
                               "fragment",
                               "malformed",
                               "spontaneous-timeout",
                               "bandwidth-reset",
                               "port",
                               "list-file",
                               "list-body",
                               "ip-body",
                               "ip-fail",
                               "http-delay"};
    for (const QString &name : names)
        QVERIFY2(help.contains(QStringLiteral("--") + name), qPrintable(name));
    QVERIFY(!QFile::exists(TavrinTestEnvironment::instance()->tempDir()
                           + QStringLiteral("/Tavrin")));
}

void tst_SimProgram::badOptionEndsWithCode2()
{
    QProcess process;
    process.start(TavrinTestEnvironment::simProgram(),
                  {QStringLiteral("--port"), QStringLiteral("x")});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(process.readAllStandardError().contains("--port"));
}

void tst_SimProgram::endsCleanlyOnSignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_SimProgram::endsCleanlyOnSignal()
{
    QFETCH(int, signalNumber);
    const QString socketFile = TavrinTestEnvironment::instance()->tempDir()
                               + QStringLiteral("/Tavrin");
    QTavrinSimProcess sim;
    QVERIFY2(sim.start(TavrinTestEnvironment::simProgram()), qPrintable(sim.errorString()));
    // The first line carries the port, machine-readably.
    QVERIFY(QRegularExpression(QStringLiteral("^PORT [1-9]\\d*$"))
                    .match(sim.lines().first())
                    .hasMatch());
    QVERIFY(sim.port() > 0);
    QVERIFY(QFile::exists(socketFile));

    ::kill(pid_t(sim.process()->processId()), signalNumber);
    QVERIFY(sim.process()->waitForFinished(30000));
    QCOMPARE(sim.process()->exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process()->exitCode(), 0);
    QVERIFY(!QFile::exists(socketFile));
}

void tst_SimProgram::staleSocketIsReplaced()
{
    const QString socketFile = TavrinTestEnvironment::instance()->tempDir()
                               + QStringLiteral("/Tavrin");
    {
        // A killed program leaves its socket file behind.
        QTavrinSimProcess killed;
        QVERIFY2(killed.start(TavrinTestEnvironment::simProgram()),
                 qPrintable(killed.errorString()));
        killed.process()->kill();
        QVERIFY(killed.process()->waitForFinished(30000));
    }
    QVERIFY(QFile::exists(socketFile));
    QTavrinSimProcess sim;
    QVERIFY2(sim.start(TavrinTestEnvironment::simProgram()), qPrintable(sim.errorString()));
    QLocalSocket socket;
    socket.connectToServer(QStringLiteral("Tavrin"));
    QVERIFY(socket.waitForConnected(30000));
    QTRY_COMPARE_WITH_TIMEOUT(sim.countLines(QRegularExpression(
                                      QStringLiteral(" SVC CLIENT session=1 connected$"))),
                              1, 30000);
    QVERIFY(sim.stop());
}

void tst_SimProgram::liveServiceIsLeftAlone()
{
    QLocalServer::removeServer(QStringLiteral("Tavrin"));
    QLocalServer live;
    QVERIFY(live.listen(QStringLiteral("Tavrin")));
    QProcess second;
    second.start(TavrinTestEnvironment::simProgram(),
                 {QStringLiteral("--port"), QStringLiteral("0")});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(second.readAllStandardError().contains("already listens"));
    // The service that was there still takes clients.
    QLocalSocket socket;
    socket.connectToServer(QStringLiteral("Tavrin"));
    QVERIFY(socket.waitForConnected(30000));
}

TAVRIN_TEST_GUILESS_MAIN(tst_SimProgram)
#include "tst_simprogram.moc"
