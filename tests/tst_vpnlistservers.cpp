#include "qvpnlistservers.h"
#include "tavrindeployment.h"
#include "tavrintestenvironment.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qmutex.h>
#include <QtNetwork/qtcpserver.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <httplib.h>

#include <thread>
#include <utility>

typedef QList<VPNServer> ServerList;
Q_DECLARE_METATYPE(ServerList)

// A loopback web API (port chosen by the system) whose answer the test sets; it remembers the
// paths it was asked for.
class FakeWebApi
{
public:
    FakeWebApi()
    {
        m_server.Get(R"(/.*)", [this](const httplib::Request &request, httplib::Response &response) {
            QMutexLocker locker(&m_mutex);
            m_paths.append(QString::fromStdString(request.path));
            response.status = m_status;
            response.set_content(m_body.constData(), size_t(m_body.size()), "application/json");
        });
        port = m_server.bind_to_any_port("127.0.0.1");
        if (port > 0)
            m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~FakeWebApi()
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
        return std::exchange(m_paths, QStringList());
    }

    int port = 0;

private:
    httplib::Server m_server;
    std::thread m_thread;
    QMutex m_mutex;
    QStringList m_paths;
    QByteArray m_body;
    int m_status = 200;
};

class tst_VPNListServers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answer_data();
    void answer();
    void secondRequestToNobody();

private:
    FakeWebApi m_api;
};

void tst_VPNListServers::initTestCase()
{
    for (const char *variable : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(variable);
    QVERIFY(m_api.port > 0);
    qputenv("TAVRIN_API_HOST", "127.0.0.1:" + QByteArray::number(m_api.port));
}

void tst_VPNListServers::answer_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<ServerList>("expected");

    const VPNServer germany{"Germany", "DE", "de.example.test"};
    QTest::newRow("descending text gives ascending keys")
            << 200 << QByteArray(R"({"United Kingdom": {"code": "UK", "host": "uk.example.test"},
                              "Germany": {"code": "DE", "host": "de.example.test"},
                              "Automatic": {"code": "auto", "host": "auto.example.test"}})")
            << (ServerList() << VPNServer{"Automatic", "auto", "auto.example.test"} << germany
                             << VPNServer{"United Kingdom", "UK", "uk.example.test"});
    QTest::newRow("keys sort by code unit, capitals first")
            << 200
            << QByteArray(R"({"b": {"code": "B", "host": "b"}, "a": {"code": "A", "host": "a"},
                              "Z": {"code": "Z", "host": "z"}})")
            << (ServerList() << VPNServer{"Z", "Z", "z"} << VPNServer{"a", "A", "a"}
                             << VPNServer{"b", "B", "b"});
    QTest::newRow("bad members are skipped one by one")
            << 200 << QByteArray(R"({"A string": "de.example.test", "No host": {"code": "FR"},
                              "No code": {"host": "nocode.example.test"}, "An array": [1, 2],
                              "Germany": {"code": "DE", "host": "de.example.test", "extra": 5}})")
            << (ServerList() << germany);
    QTest::newRow("non-string code and host become empty")
            << 200 << QByteArray(R"({"Numbers": {"code": 49, "host": null}})")
            << (ServerList() << VPNServer{"Numbers", QString(), QString()});
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
    m_api.takePaths();
    QVPNListServers client;
    QSignalSpy finished(&client, &QVPNListServers::finished);
    client.sendRequest();
    QVERIFY(finished.wait(20000));
    QCOMPARE(client.servers(), expected);
    QCOMPARE(m_api.takePaths(), QStringList{"/get_list/" + QLatin1String(tavrinApiKey)});
    QCoreApplication::processEvents(); // no second finished() follows
    QCOMPARE(finished.count(), 1);
}

// A second request starts over; one that reaches nobody still ends, with an empty list.
void tst_VPNListServers::secondRequestToNobody()
{
    QVPNListServers client;
    QSignalSpy finished(&client, &QVPNListServers::finished);
    m_api.setAnswer(200, R"({"Germany": {"code": "DE", "host": "de.example.test"}})");
    client.sendRequest();
    QVERIFY(finished.wait(20000));
    QCOMPARE(client.servers().size(), 1);

    QTcpServer closed; // a port that was just free: nobody listens there any more
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QByteArray previous = qgetenv("TAVRIN_API_HOST");
    qputenv("TAVRIN_API_HOST", "127.0.0.1:" + QByteArray::number(closed.serverPort()));
    closed.close();
    client.sendRequest();
    qputenv("TAVRIN_API_HOST", previous);
    QVERIFY(client.servers().isEmpty()); // cleared as soon as the request leaves
    QVERIFY(finished.wait(20000));
    QVERIFY(client.servers().isEmpty());
    QCOMPARE(finished.count(), 2);

    // A web API that takes the request and never answers: the time-out ends it as no answer.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    qputenv("TAVRIN_API_HOST", "127.0.0.1:" + QByteArray::number(silent.serverPort()));
    client.setTimeout(50);
    client.sendRequest();
    qputenv("TAVRIN_API_HOST", previous);
    QVERIFY(finished.wait(20000));
    QVERIFY(silent.hasPendingConnections());
    QVERIFY(client.servers().isEmpty());
    QCOMPARE(finished.count(), 3);
}

TAVRIN_TEST_GUILESS_MAIN(tst_VPNListServers)
#include "tst_vpnlistservers.moc"
