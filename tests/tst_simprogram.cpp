// The pieces of tavrin-sim that need no client: its command line, its server list reader, and
// the program's start and end around the socket file.

#include "qtavrinsimoptions.h"
#include "qtavrinsimprocess.h"
#include "tavrinsimserverlist.h"
#include "tavrintestenvironment.h"

#include <QtCore/qfile.h>
#include <QtNetwork/qlocalserver.h>
#include <QtNetwork/qlocalsocket.h>
#include <QtTest/qtest.h>

#include <csignal>

namespace {

bool parse(const QString &arguments, QTavrinSimOptions *options, QString *error)
{
    return parseSimOptions(QString("tavrin-sim " + arguments).split(' ', Qt::SkipEmptyParts),
                           options, error);
}

QString socketFile()
{
    return TavrinTestEnvironment::instance()->tempDir() + "/Tavrin";
}

bool clientReaches()
{
    QLocalSocket socket;
    socket.connectToServer("Tavrin");
    return socket.waitForConnected(30000);
}

} // namespace

class tst_SimProgram : public QObject
{
    Q_OBJECT

private slots:
    void badOptions_data();
    void badOptions();
    void listHosts_data();
    void listHosts();
    void commandLineOnly_data();
    void commandLineOnly();
    void endsCleanlyOnSignal_data();
    void endsCleanlyOnSignal();
    void staleSocketIsReplaced();
    void liveServiceIsLeftAlone();
};

void tst_SimProgram::badOptions_data()
{
    QTest::addColumn<QString>("arguments"); // the error names the first word's option
    QTest::newRow("unknown option") << "--colour";
    QTest::newRow("missing value") << "--port";
    QTest::newRow("not a number") << "--connect-delay fast";
    QTest::newRow("negative") << "--ip-fail -1";
    QTest::newRow("port too big") << "--port 65536";
    QTest::newRow("zero interval") << "--bandwidth-interval 0";
    QTest::newRow("account without password") << "--account demo:";
    QTest::newRow("account without colon") << "--account demo";
    QTest::newRow("unknown list body") << "--list-body huge";
    QTest::newRow("stray argument") << "now";
}

void tst_SimProgram::badOptions()
{
    QFETCH(QString, arguments);
    QTavrinSimOptions options;
    QString error;
    QVERIFY(!parse(arguments, &options, &error));
    const QString mentions = arguments.section(' ', 0, 0).remove("--");
    QVERIFY2(error.contains(mentions), qPrintable(error));
}

void tst_SimProgram::listHosts_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("hosts");
    QTest::newRow("object") << QByteArray(R"({"B":{"code":"BE","host":"h2"},"A":{"host":"h1"}})")
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

void tst_SimProgram::commandLineOnly_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // options it names; none: nothing on standard output
    QTest::newRow("help") << "--help" << 0
                          << "--socket-name --account --stored --connect-delay --disconnect-delay "
                             "--retry-delay --bandwidth-interval --seed --close-after-seconds "
                             "--close-after-sent --close-after-received --fragment --malformed "
                             "--spontaneous-timeout --bandwidth-reset --port --list-file "
                             "--list-body --ip-body --ip-fail --http-delay";
    QTest::newRow("bad option") << "--port x" << 2 << QString();
}

void tst_SimProgram::commandLineOnly()
{
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QProcess process;
    process.start(TavrinTestEnvironment::simProgram(), arguments.split(' '));
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), exitCode);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QCOMPARE(out.isEmpty(), output.isEmpty());
    for (const QString &name : output.split(' ', Qt::SkipEmptyParts))
        QVERIFY2(out.contains(name), qPrintable(name));
    if (exitCode != 0)
        QVERIFY(process.readAllStandardError().contains("--port"));
    QVERIFY(!QFile::exists(socketFile()));
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
    QTavrinSimProcess sim;
    QVERIFY2(sim.start(TavrinTestEnvironment::simProgram()), qPrintable(sim.errorString()));
    // The first line carries the port, machine-readably.
    QVERIFY(QRegularExpression("^PORT [1-9]\\d*$").match(sim.lines().first()).hasMatch());
    QVERIFY(QFile::exists(socketFile()));
    ::kill(pid_t(sim.process()->processId()), signalNumber);
    QVERIFY(sim.process()->waitForFinished(30000));
    QCOMPARE(sim.process()->exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process()->exitCode(), 0);
    QVERIFY(!QFile::exists(socketFile()));
}

void tst_SimProgram::staleSocketIsReplaced()
{
    {
        // A killed program leaves its socket file behind.
        QTavrinSimProcess killed;
        QVERIFY2(killed.start(TavrinTestEnvironment::simProgram()),
                 qPrintable(killed.errorString()));
        killed.process()->kill();
        QVERIFY(killed.process()->waitForFinished(30000));
    }
    QVERIFY(QFile::exists(socketFile()));
    QTavrinSimProcess sim;
    QVERIFY2(sim.start(TavrinTestEnvironment::simProgram()), qPrintable(sim.errorString()));
    QVERIFY(clientReaches());
    QTRY_COMPARE_WITH_TIMEOUT(sim.countLines(
                                      QRegularExpression(" SVC CLIENT session=1 connected$")),
                              1, 30000);
    QVERIFY(sim.stop());
}

void tst_SimProgram::liveServiceIsLeftAlone()
{
    QLocalServer::removeServer("Tavrin");
    QLocalServer live;
    QVERIFY(live.listen("Tavrin"));
    QProcess second;
    second.start(TavrinTestEnvironment::simProgram(), {"--port", "0"});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(second.readAllStandardError().contains("already listens"));
    QVERIFY(clientReaches()); // the service that was there still takes clients
}

TAVRIN_TEST_GUILESS_MAIN(tst_SimProgram)
#include "tst_simprogram.moc"
