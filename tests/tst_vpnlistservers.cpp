#include "qvpnlistservers.h"
#include "tavrindeployment.h"
#include "tavrintestenvironment.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qmutex.h>
#include <QtNetwork/qtcpserver.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <httplib.h>

#include <memory>
#include <thread>

typedef QList<VPNServer> ServerList;
Q_DECLARE_METATYPE(ServerList)

// A loopback web API whose list answer the test sets; it remembers the paths it was asked for.
class FakeWebApi
{
public:
    bool start()
    {
        m_server.Get(R"(/.*)", [this](const httplib::Request &request, httplib::Response &response) {
            QMutexLocker locker(&m_mutex);
            m_paths.append(QString::fromStdString(request.path));
            response.status = m_status;
            response.set_content(m_body.constData(), size_t(m_body.size()), "application/json");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0)
            return false;
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        return true;
    }

    void stop()
    {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    void setAnswer(int status, const QByteArray &body)
    {
        QMutexLocker locker(&m_mutex);
        m_status = status;
        m_body = body;
    }

    QStringList takePaths()
    {
        QMutexLocker locker(&m_mutex);
        QStringList paths = m_paths;
        m_paths.clear();
        return paths;
    }

    int port() const { return m_port; }

private:
    httplib::Server m_server;
    std::thread m_thread;
    QMutex m_mutex;
    QStringList m_paths;
    QByteArray m_body;
    int m_status = 200;
    int m_port = 0;
};

class tst_VPNListServers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void requestUrl();
    void answer_data();
    void answer();
    void unreachableHostEndsWithEmptyList();
    void secondRequestStartsOver();

private:
    ServerList fetch(int *finishedCount = nullptr);

    FakeWebApi m_api;
};

void tst_VPNListServers::initTestCase()
{
    // The loopback web API is reached directly, never through a proxy of the environment.
    for (const char *variable : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(variable);
    QVERIFY(m_api.start());
    qputenv("TAVRIN_API_HOST", QByteArray("127.0.0.1:") + QByteArray::number(m_api.port()));
}

void tst_VPNListServers::cleanupTestCase()
{
    m_api.stop();
}

ServerList tst_VPNListServers::fetch(int *finishedCount)
{
    QVPNListServers client;
    QSignalSpy finished(&client, &QVPNListServers::finished);
    client.sendRequest();
    if (!finished.wait(20000))
        return ServerList() << VPNServer{QStringLiteral("no answer"), QString(), QString()};
    QCoreApplication::processEvents();
    if (finishedCount)
        *finishedCount = finished.count();
    return client.servers();
}

void tst_VPNListServers::requestUrl()
{
    const QString expected = QStringLiteral("/get_list/") + QLatin1String(tavrinApiKey);
    QCOMPARE(QVPNListServers::requestUrl().toString(),
             QStringLiteral("http://127.0.0.1:%1").arg(m_api.port()) + expected);

    m_api.setAnswer(200, "{}");
    m_api.takePaths();
    int finished = 0;
    QVERIFY(fetch(&finished).isEmpty());
    QCOMPARE(finished, 1);
    QCOMPARE(m_api.takePaths(), QStringList() << expected);
}

void tst_VPNListServers::answer_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<ServerList>("expected");

    const VPNServer automatic{QStringLiteral("Automatic"), QStringLiteral("auto"),
                              QStringLiteral("auto.example.test")};
    const VPNServer germany{QStringLiteral("Germany"), QStringLiteral("DE"),
                            QStringLiteral("de.example.test")};
    const VPNServer kingdom{QStringLiteral("United Kingdom"), QStringLiteral("UK"),
                            QStringLiteral("uk.example.test")};

    QTest::newRow("descending text gives ascending keys")
            << 200 << QByteArray(R"({"United Kingdom": {"code": "UK", "host": "uk.example.test"},
                              "Germany": {"code": "DE", "host": "de.example.test"},
                              "Automatic": {"code": "auto", "host": "auto.example.test"}})")
            << (ServerList() << automatic << germany << kingdom);
    QTest::newRow("keys sort by code unit, capitals first")
            << 200
            << QByteArray(R"({"b": {"code": "B", "host": "b"}, "a": {"code": "A", "host": "a"},
                              "Z": {"code": "Z", "host": "z"}})")
            << (ServerList() << VPNServer{"Z", "Z", "z"} << VPNServer{"a", "A", "a"}
                             << VPNServer{"b", "B", "b"});
    QTest::newRow("bad members are skipped one by one")
            << 200 << QByteArray(R"({"A string": "de.example.test",
                              "No host": {"code": "FR"},
                              "No code": {"host": "nocode.example.test"},
                              "An array": [1, 2],
                              "Germany": {"code": "DE", "host": "de.example.test", "extra": 5}})")
            << (ServerList() << germany);
    QTest::newRow("non-string code and host become empty")
            << 200 << QByteArray(R"({"Numbers": {"code": 49, "host": null}})")
            << (ServerList() << VPNServer{QStringLiteral("Numbers"), QString(), QString()});
    QTest::newRow("array") << 200 << QByteArray(R"([{"code": "DE", "host": "de"}])")
                           << ServerList();
    QTest::newRow("broken body") << 200 << QByteArray(R"({"Germany": {"code": "DE", "host": "de")")
                                 << ServerList();
    QTest::newRow("empty body") << 200 << QByteArray() << ServerList();
    QTest::newRow("error status, the body still decides")
            << 500 << QByteArray(R"({"Germany": {"code": "DE", "host": "de.example.test"}})")
            << (ServerList() << germany);
    QTest::newRow("error status, no list") << 404 << QByteArray("Not found") << ServerList();
}

void tst_VPNListServers::answer()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(ServerList, expected);
    m_api.setAnswer(status, body);
    int finished = 0;
    const ServerList servers = fetch(&finished);
    QCOMPARE(finished, 1);
    QCOMPARE(servers.size(), expected.size());
    for (int i = 0; i < servers.size(); ++i) {
        QCOMPARE(servers.at(i).name, expected.at(i).name);
        QCOMPARE(servers.at(i).code, expected.at(i).code);
        QCOMPARE(servers.at(i).hostname, expected.at(i).hostname);
    }
    QCOMPARE(QVPNListServers::parseServers(body).size(), expected.size());
}

void tst_VPNListServers::unreachableHostEndsWithEmptyList()
{
    // A port that was just free: nobody listens there any more.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    const QByteArray previous = qgetenv("TAVRIN_API_HOST");
    qputenv("TAVRIN_API_HOST", QByteArray("127.0.0.1:") + QByteArray::number(port));
    int finished = 0;
    const ServerList servers = fetch(&finished);
    qputenv("TAVRIN_API_HOST", previous);
    QCOMPARE(finished, 1);
    QVERIFY(servers.isEmpty());
}

void tst_VPNListServers::secondRequestStartsOver()
{
    QVPNListServers client;
    QSignalSpy finished(&client, &QVPNListServers::finished);
    m_api.setAnswer(200, R"({"Germany": {"code": "DE", "host": "de.example.test"}})");
    client.sendRequest();
    QVERIFY(finished.wait(20000));
    QCOMPARE(client.servers().size(), 1);

    m_api.setAnswer(200, "[]");
    client.sendRequest();
    QVERIFY(client.servers().isEmpty()); // cleared as soon as the request leaves
    QVERIFY(finished.wait(20000));
    QVERIFY(client.servers().isEmpty());
    QCOMPARE(finished.count(), 2);
}

TAVRIN_TEST_GUILESS_MAIN(tst_VPNListServers)
#include "tst_vpnlistservers.moc"
