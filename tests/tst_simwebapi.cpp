// End-to-end tests of the stand-in web API: the real tavrin-sim program on a free loopback
// port, asked with QNetworkAccessManager and with the client's own server list client.

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
    bool startSim(const QStringList &arguments);
    Answer get(const QString &path);

    QTavrinSimProcess *m_sim = nullptr;
    QNetworkAccessManager m_manager;
};

void tst_SimWebApi::init()
{
    QVERIFY2(!TavrinTestEnvironment::simProgram().isEmpty(), "tavrin-sim is not built");
}

void tst_SimWebApi::cleanup()
{
    delete m_sim;
    m_sim = nullptr;
    qunsetenv("TAVRIN_API_HOST");
}

bool tst_SimWebApi::startSim(const QStringList &arguments)
{
    m_sim = new QTavrinSimProcess;
    if (!m_sim->start(TavrinTestEnvironment::simProgram(), arguments)) {
        qWarning("%s", qPrintable(m_sim->errorString()));
        return false;
    }
    qputenv("TAVRIN_API_HOST", m_sim->apiHost().toLatin1());
    return true;
}

Answer tst_SimWebApi::get(const QString &path)
{
    m_manager.clearAccessCache();
    QNetworkReply *reply = m_manager.get(
            QNetworkRequest(QUrl(QStringLiteral("http://") + m_sim->apiHost() + path)));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    Answer answer;
    if (!reply->isFinished() && !finished.wait(Patience)) {
        reply->deleteLater();
        return answer;
    }
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.error = reply->error();
    answer.body = reply->readAll();
    reply->deleteLater();
    return answer;
}

void tst_SimWebApi::paths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::newRow("server list") << keyPath("/get_list/") << 200;
    QTest::newRow("public address") << keyPath("/get_ip/") << 200;
    QTest::newRow("list, wrong key")
            << QStringLiteral("/get_list/0123456789abcdef0123456789abcdef") << 403;
    QTest::newRow("address, wrong key") << QStringLiteral("/get_ip/nope") << 403;
    QTest::newRow("list, no key") << QStringLiteral("/get_list/") << 403;
    QTest::newRow("list, upper-case key")
            << QStringLiteral("/get_list/") + QString::fromLatin1(tavrinApiKey).toUpper() << 403;
    QTest::newRow("key, then more") << keyPath("/get_ip/") + QStringLiteral("/x") << 404;
    QTest::newRow("other path") << QStringLiteral("/feedback/") << 404;
    QTest::newRow("root") << QStringLiteral("/") << 404;
}

void tst_SimWebApi::paths()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QVERIFY(startSim({}));
    const Answer answer = get(path);
    QCOMPARE(answer.status, status);
    // Every request is logged with its answer.
    const QRegularExpression logged(
            QStringLiteral(" HTTP GET %1 %2$").arg(QRegularExpression::escape(path)).arg(status));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->countLines(logged), 1, Patience);
    if (status == 200) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(answer.body, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(document.isObject());
    }
}

void tst_SimWebApi::serverListThroughTheClient()
{
    QVERIFY(startSim({}));
    QVPNListServers client;
    QSignalSpy finished(&client, &QVPNListServers::finished);
    client.sendRequest();
    QVERIFY(finished.wait(Patience));
    const QList<VPNServer> servers = client.servers();
    QVERIFY2(servers.size() >= 30, qPrintable(QString::number(servers.size())));

    static const QRegularExpression loopback(QStringLiteral("^127\\.0\\.0\\.\\d{1,3}$"));
    int unresolvable = 0;
    QStringList codes;
    for (const VPNServer &server : servers) {
        QVERIFY(!server.name.isEmpty());
        QVERIFY2(server.code == QLatin1String("auto")
                         || QRegularExpression(QStringLiteral("^[A-Z]{2}$"))
                                    .match(server.code)
                                    .hasMatch(),
                 qPrintable(server.code));
        QVERIFY2(!codes.contains(server.code), qPrintable(server.code));
        codes << server.code;
        if (server.hostname.endsWith(QLatin1String(".invalid")))
            ++unresolvable;
        else
            QVERIFY2(loopback.match(server.hostname).hasMatch(), qPrintable(server.hostname));
    }
    QVERIFY(unresolvable >= 2 && unresolvable <= 3);
    const VPNServer automatic{QStringLiteral("Automatic"), QStringLiteral("auto"),
                              QStringLiteral("127.0.0.1")};
    QVERIFY(servers.contains(automatic));
    // The United Kingdom carries the code of its flag image.
    bool uk = false;
    for (const VPNServer &server : servers)
        uk = uk
             || (server.name == QLatin1String("United Kingdom")
                 && server.code == QLatin1String("UK"));
    QVERIFY(uk);
    QVERIFY(!codes.contains(QStringLiteral("GB")));
}

void tst_SimWebApi::listFailures_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shape");
    QTest::newRow("empty") << "empty"
                           << "empty";
    QTest::newRow("array") << "array"
                           << "array";
    QTest::newRow("broken") << "broken"
                            << "broken";
}

void tst_SimWebApi::listFailures()
{
    QFETCH(QString, body);
    QFETCH(QString, shape);
    QVERIFY(startSim({QStringLiteral("--list-body"), body}));

    const Answer answer = get(keyPath("/get_list/"));
    QCOMPARE(answer.status, 200);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(answer.body, &error);
    if (shape == QLatin1String("empty"))
        QVERIFY(answer.body.isEmpty());
    else if (shape == QLatin1String("array"))
        QVERIFY(error.error == QJsonParseError::NoError && document.isArray()
                && !document.array().isEmpty());
    else
        QVERIFY(!answer.body.isEmpty() && error.error != QJsonParseError::NoError);

    // The client takes every one of them as an empty list.
    QVPNListServers client;
    QSignalSpy finished(&client, &QVPNListServers::finished);
    client.sendRequest();
    QVERIFY(finished.wait(Patience));
    QVERIFY(client.servers().isEmpty());
}

void tst_SimWebApi::listFileReplacesTheList()
{
    const QString path = TavrinTestEnvironment::instance()->tempDir()
                         + QStringLiteral("/list.json");
    const QByteArray text = R"({"Zeta": {"code": "SE", "host": "127.0.0.77"},
                                "Alpha": {"code": "AT", "host": "alpha.example.invalid"},
                                "Broken": "no object"})";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QVERIFY(startSim({QStringLiteral("--list-file"), path}));
    // Served as it stands.
    QCOMPARE(get(keyPath("/get_list/")).body, text);

    // The hosts of the file are the ones the service knows now.
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QSignalSpy states(&connection, &QTavrinServiceConnection::notifyStatusChange);
    connection.sendConnectToVPNRequest(QStringLiteral("alpha.example.invalid"),
                                       QStringLiteral("demo"), QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(states.count(), 2, Patience);
    QCOMPARE(states.at(1).at(0).value<char>(), char(1));
    connection.sendConnectToVPNRequest(QStringLiteral("127.0.0.12"), QStringLiteral("demo"),
                                       QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(states.count(), 4, Patience);
    QCOMPARE(states.at(2).at(0).value<char>(), char(0));
    QCOMPARE(states.at(3).at(0).value<char>(), char(4));
    connection.disconnectFromService();
}

void tst_SimWebApi::addressFollowsTheTunnel()
{
    QVERIFY(startSim({QStringLiteral("--connect-delay"), QStringLiteral("100"),
                      QStringLiteral("--disconnect-delay"), QStringLiteral("50")}));
    const auto address = [this] {
        const Answer answer = get(keyPath("/get_ip/"));
        return QJsonDocument::fromJson(answer.body).object().value(QStringLiteral("ip")).toString();
    };
    const QString disconnected = address();
    QVERIFY2(disconnected.startsWith(QLatin1String("203.0.113.")), qPrintable(disconnected));

    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QSignalSpy states(&connection, &QTavrinServiceConnection::notifyStatusChange);
    connection.sendConnectToVPNRequest(QStringLiteral("127.0.0.12"), QStringLiteral("demo"),
                                       QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(states.count(), 2, Patience);
    QCOMPARE(states.at(1).at(0).value<char>(), char(1));
    const QString connected = address();
    QVERIFY2(connected.startsWith(QLatin1String("203.0.113.")), qPrintable(connected));
    QVERIFY(connected != disconnected);

    connection.sendAbortRequest();
    QTRY_COMPARE_WITH_TIMEOUT(states.count(), 4, Patience);
    QCOMPARE(states.at(3).at(0).value<char>(), char(3));
    QCOMPARE(address(), disconnected);

    // A client that leaves with its tunnel up takes the tunnel down with it.
    connection.sendConnectToVPNRequest(QStringLiteral("127.0.0.12"), QStringLiteral("demo"),
                                       QStringLiteral("demo"));
    QTRY_COMPARE_WITH_TIMEOUT(states.count(), 6, Patience);
    QCOMPARE(address(), connected);
    connection.disconnectFromService();
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->countLines(QRegularExpression(
                                      QStringLiteral(" SVC CLIENT session=1 disconnected"))),
                              1, Patience);
    QCOMPARE(address(), disconnected);
}

void tst_SimWebApi::addressFailures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<QString>("kind");
    QTest::newRow("first two fail") << QStringList{QStringLiteral("--ip-fail"), QStringLiteral("2")}
                                    << QList<int>{500, 500, 200, 200} << "string";
    QTest::newRow("broken JSON") << QStringList{QStringLiteral("--ip-body"),
                                                QStringLiteral("broken")}
                                 << QList<int>{200} << "broken";
    QTest::newRow("ip as a number")
            << QStringList{QStringLiteral("--ip-body"), QStringLiteral("number")} << QList<int>{200}
            << "number";
    QTest::newRow("delayed") << QStringList{QStringLiteral("--http-delay"), QStringLiteral("200")}
                             << QList<int>{200} << "string";
}

void tst_SimWebApi::addressFailures()
{
    QFETCH(QStringList, arguments);
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
    const QJsonValue ip
            = QJsonDocument::fromJson(answer.body, &error).object().value(QStringLiteral("ip"));
    if (kind == QLatin1String("broken")) {
        QVERIFY(error.error != QJsonParseError::NoError);
    } else if (kind == QLatin1String("number")) {
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(ip.isDouble());
        QVERIFY(ip.toString().isEmpty());
    } else {
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(ip.toString(), QStringLiteral("203.0.113.10"));
    }
    // The list is not affected by the address failures.
    QCOMPARE(get(keyPath("/get_list/")).status, 200);
}

void tst_SimWebApi::delayedAnswerDoesNotHoldUpTheEnd()
{
    QVERIFY(startSim({QStringLiteral("--http-delay"), QStringLiteral("120000")}));
    m_manager.clearAccessCache();
    QNetworkReply *reply = m_manager.get(QNetworkRequest(
            QUrl(QStringLiteral("http://") + m_sim->apiHost() + keyPath("/get_ip/"))));
    // Once the request is held inside the program, ask the program to end: the delayed answer
    // is cut short and the program ends by itself with exit code 0, long before the delay.
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->countLines(QRegularExpression(
                                      QStringLiteral(" HTTP DELAY GET /get_ip/"))),
                              1, Patience);
    QVERIFY(m_sim->stop(60000));
    QVERIFY(!QFile::exists(TavrinTestEnvironment::instance()->tempDir()
                           + QStringLiteral("/Tavrin")));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(reply->isFinished() || finished.wait(Patience));
    reply->deleteLater();
}

TAVRIN_TEST_MAIN(tst_SimWebApi)
#include "tst_simwebapi.moc"
