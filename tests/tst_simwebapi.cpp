// tavrin-sim's web API on a free loopback port, asked with QNetworkAccessManager and with the
// client's own server list client.

#include "qtavrinserviceconnection.h"
#include "qtavrinsimprocess.h"
#include "qvpnlistservers.h"
#include "tavrindeployment.h"
#include "tavrintestenvironment.h"

#include <QtCore/qfile.h>
#include <QtCore/qjsonarray.h>
#include <QtCore/qjsondocument.h>
#include <QtCore/qjsonobject.h>
#include <QtNetwork/qnetworkaccessmanager.h>
#include <QtNetwork/qnetworkreply.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>

namespace {

const int Patience = 30000;

struct Answer
{
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
};

QString keyPath(const char *call)
{
    return QLatin1String(call) + QLatin1String(tavrinApiKey);
}

// The states a connection reports, as numbers.
QList<int> states(const QSignalSpy &spy)
{
    QList<int> result;
    for (const QList<QVariant> &signal : spy)
        result << uchar(signal.first().value<char>());
    return result;
}

} // namespace

class tst_SimWebApi : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void paths_data();
    void paths();
    void serverListThroughTheClient();
    void listFailures_data();
    void listFailures();
    void listFileReplacesTheList();
    void addressFollowsTheTunnel();
    void addressFailures_data();
    void addressFailures();
    void delayedAnswerDoesNotHoldUpTheEnd();

private:
    bool startSim(const QString &arguments = QString(), const QStringList &more = {});
    QNetworkReply *request(const QString &path);
    Answer get(const QString &path);
    QList<VPNServer> clientList();

    QScopedPointer<QTavrinSimProcess> m_sim;
    QNetworkAccessManager m_manager;
};

void tst_SimWebApi::init()
{
    QVERIFY2(!TavrinTestEnvironment::simProgram().isEmpty(), "tavrin-sim is not built");
}

void tst_SimWebApi::cleanup()
{
    m_sim.reset();
    qunsetenv("TAVRIN_API_HOST");
}

bool tst_SimWebApi::startSim(const QString &arguments, const QStringList &more)
{
    m_sim.reset(new QTavrinSimProcess);
    if (!m_sim->start(TavrinTestEnvironment::simProgram(),
                      arguments.split(' ', Qt::SkipEmptyParts) + more)) {
        qWarning("%s", qPrintable(m_sim->errorString()));
        return false;
    }
    qputenv("TAVRIN_API_HOST", m_sim->apiHost().toLatin1());
    return true;
}

QNetworkReply *tst_SimWebApi::request(const QString &path)
{
    m_manager.clearAccessCache();
    return m_manager.get(QNetworkRequest(QUrl("http://" + m_sim->apiHost() + path)));
}

Answer tst_SimWebApi::get(const QString &path)
{
    QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(request(path));
    QSignalSpy finished(reply.data(), &QNetworkReply::finished);
    Answer answer;
    if (!reply->isFinished() && !finished.wait(Patience))
        return answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.error = reply->error();
    answer.body = reply->readAll();
    return answer;
}

QList<VPNServer> tst_SimWebApi::clientList()
{
    QVPNListServers client;
    QSignalSpy finished(&client, &QVPNListServers::finished);
    client.sendRequest();
    if (!finished.wait(Patience))
        qWarning("the server list client did not finish");
    return client.servers();
}

void tst_SimWebApi::paths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::newRow("server list") << keyPath("/get_list/") << 200;
    QTest::newRow("public address") << keyPath("/get_ip/") << 200;
    QTest::newRow("list, wrong key") << "/get_list/0123456789abcdef0123456789abcdef" << 403;
    QTest::newRow("address, wrong key") << "/get_ip/nope" << 403;
    QTest::newRow("list, no key") << "/get_list/" << 403;
    QTest::newRow("list, upper-case key")
            << "/get_list/" + QString::fromLatin1(tavrinApiKey).toUpper() << 403;
    QTest::newRow("key, then more") << keyPath("/get_ip/") + "/x" << 404;
    QTest::newRow("other path") << "/feedback/" << 404;
    QTest::newRow("root") << "/" << 404;
}

void tst_SimWebApi::paths()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QVERIFY(startSim());
    const Answer answer = get(path);
    QCOMPARE(answer.status, status);
    // Every request is logged with its answer.
    const QRegularExpression logged(
            QString(" HTTP GET %1 %2$").arg(QRegularExpression::escape(path)).arg(status));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->countLines(logged), 1, Patience);
    if (status == 200)
        QVERIFY(QJsonDocument::fromJson(answer.body).isObject());
}

void tst_SimWebApi::serverListThroughTheClient()
{
    QVERIFY(startSim());
    const QList<VPNServer> servers = clientList();
    QVERIFY2(servers.size() >= 30, qPrintable(QString::number(servers.size())));
    // Every code has a flag image in the client: "auto" or two upper-case letters, once each;
    // the United Kingdom is "UK", never "GB".
    const QRegularExpression code("^(auto|[A-Z]{2})$");
    const QRegularExpression loopback("^127\\.0\\.0\\.\\d{1,3}$");
    int unresolvable = 0;
    QStringList codes;
    for (const VPNServer &server : servers) {
        QVERIFY(!server.name.isEmpty());
        QVERIFY2(code.match(server.code).hasMatch(), qPrintable(server.code));
        QVERIFY2(!codes.contains(server.code), qPrintable(server.code));
        codes << server.code;
        if (server.hostname.endsWith(".invalid"))
            ++unresolvable;
        else
            QVERIFY2(loopback.match(server.hostname).hasMatch(), qPrintable(server.hostname));
    }
    QVERIFY(unresolvable >= 2 && unresolvable <= 3);
    QVERIFY(servers.contains(VPNServer{"Automatic", "auto", "127.0.0.1"}));
    QVERIFY(!codes.contains("GB") && codes.contains("UK"));
    QCOMPARE(servers.at(codes.indexOf("UK")).name, "United Kingdom");
}

void tst_SimWebApi::listFailures_data()
{
    QTest::addColumn<QString>("body");
    QTest::newRow("empty") << "empty";
    QTest::newRow("array") << "array";
    QTest::newRow("broken") << "broken";
}

void tst_SimWebApi::listFailures()
{
    QFETCH(QString, body);
    QVERIFY(startSim("--list-body " + body));
    const Answer answer = get(keyPath("/get_list/"));
    QCOMPARE(answer.status, 200);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(answer.body, &error);
    if (body == "empty")
        QVERIFY(answer.body.isEmpty());
    else if (body == "array")
        QVERIFY(error.error == QJsonParseError::NoError && !document.array().isEmpty());
    else
        QVERIFY(!answer.body.isEmpty() && error.error != QJsonParseError::NoError);
    // The client takes every one of them as an empty list.
    QVERIFY(clientList().isEmpty());
}

void tst_SimWebApi::listFileReplacesTheList()
{
    const QString path = TavrinTestEnvironment::instance()->tempDir() + "/list.json";
    const QByteArray text = R"({"Zeta": {"code": "SE", "host": "127.0.0.77"},
                                "Alpha": {"code": "AT", "host": "alpha.example.invalid"},
                                "Broken": "no object"})";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();
    QVERIFY(startSim(QString(), {"--list-file", path}));
    QCOMPARE(get(keyPath("/get_list/")).body, text); // served as it stands

    // The hosts of the file are the ones the service knows now.
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QSignalSpy spy(&connection, &QTavrinServiceConnection::notifyStatusChange);
    connection.sendConnectToVPNRequest("alpha.example.invalid", "demo", "demo");
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, Patience);
    connection.sendConnectToVPNRequest("127.0.0.12", "demo", "demo");
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 4, Patience);
    QCOMPARE(states(spy), (QList<int>{0, 1, 0, 4}));
}

void tst_SimWebApi::addressFollowsTheTunnel()
{
    QVERIFY(startSim("--connect-delay 100 --disconnect-delay 50"));
    const auto address = [this] {
        const QJsonDocument document = QJsonDocument::fromJson(get(keyPath("/get_ip/")).body);
        return document.object().value("ip").toString();
    };
    const QString disconnected = address();
    QVERIFY2(disconnected.startsWith("203.0.113."), qPrintable(disconnected));

    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QSignalSpy spy(&connection, &QTavrinServiceConnection::notifyStatusChange);
    connection.sendConnectToVPNRequest("127.0.0.12", "demo", "demo");
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, Patience);
    const QString connected = address();
    QVERIFY2(connected.startsWith("203.0.113."), qPrintable(connected));
    QVERIFY(connected != disconnected);

    connection.sendAbortRequest();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 4, Patience);
    QCOMPARE(states(spy), (QList<int>{0, 1, 2, 3}));
    QCOMPARE(address(), disconnected);

    // A client that leaves with its tunnel up takes the tunnel down with it.
    connection.sendConnectToVPNRequest("127.0.0.12", "demo", "demo");
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 6, Patience);
    QCOMPARE(address(), connected);
    connection.disconnectFromService();
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->countLines(
                                      QRegularExpression(" SVC CLIENT session=1 disconnected")),
                              1, Patience);
    QCOMPARE(address(), disconnected);
}

void tst_SimWebApi::addressFailures_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<QString>("kind");
    const QList<int> ok = {200};
    QTest::newRow("first two fail") << "--ip-fail 2" << QList<int>{500, 500, 200, 200} << "string";
    QTest::newRow("broken JSON") << "--ip-body broken" << ok << "broken";
    QTest::newRow("ip as a number") << "--ip-body number" << ok << "number";
    QTest::newRow("delayed") << "--http-delay 200" << ok << "string";
}

void tst_SimWebApi::addressFailures()
{
    QFETCH(QString, arguments);
    QFETCH(QList<int>, statuses);
    QFETCH(QString, kind);
    QVERIFY(startSim(arguments));
    Answer answer;
    for (int expected : statuses) {
        answer = get(keyPath("/get_ip/"));
        QCOMPARE(answer.status, expected);
        QCOMPARE(answer.error == QNetworkReply::NoError, expected == 200);
    }
    QJsonParseError error;
    const QJsonValue ip = QJsonDocument::fromJson(answer.body, &error).object().value("ip");
    QCOMPARE(error.error == QJsonParseError::NoError, kind != "broken");
    if (kind == "number")
        QVERIFY(ip.isDouble());
    else if (kind == "string")
        QCOMPARE(ip.toString(), "203.0.113.10");
    // The list is not affected by the address failures.
    QCOMPARE(get(keyPath("/get_list/")).status, 200);
}

void tst_SimWebApi::delayedAnswerDoesNotHoldUpTheEnd()
{
    QVERIFY(startSim("--http-delay 120000"));
    QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(request(keyPath("/get_ip/")));
    // Asked to end while a request is held, the program cuts the delayed answer short and
    // ends by itself with exit code 0, long before the delay, its socket file removed.
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->countLines(QRegularExpression(" HTTP DELAY GET /get_ip/")), 1,
                              Patience);
    QVERIFY(m_sim->stop(60000));
    QVERIFY(!QFile::exists(TavrinTestEnvironment::instance()->tempDir() + "/Tavrin"));
    QSignalSpy finished(reply.data(), &QNetworkReply::finished);
    QVERIFY(reply->isFinished() || finished.wait(Patience));
}

TAVRIN_TEST_MAIN(tst_SimWebApi)
#include "tst_simwebapi.moc"
