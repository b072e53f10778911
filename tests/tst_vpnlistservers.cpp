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

// A loopback web API whose answer the test sets; it remembers the paths it was asked for.
class FakeWebApi
{
public:
    int start()
    {
        m_server.Get(R"(/.*)", [this](const httplib::Request &request, httplib::Response &response) {
            QMutexLocker locker(&m_mutex);
            paths.append(QString::fromStdString(request.path));
            response.status = status;
            response.set_content(body.constData(), size_t(body.size()), "application/json");
        });
        const int port = m_server.bind_to_any_port("127.0.0.1");
        if (port > 0)
            m_thread = std::thread([this] { m_server.listen_after_bind(); });
        return port;
    }
    void stop()
    {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    void setAnswer(int answerStatus, const QByteArray &answerBody)
    {
        QMutexLocker locker(&m_mutex);
        status = answerStatus;
        body = answerBody;
    }
    QStringList takePaths()
    {
        QMutexLocker locker(&m_mutex);
        return std::exchange(paths, QStringList());
    }

private:
    int status = 200;
    QByteArray body;
    QStringList paths;
    httplib::Server m_server;
    std::thread m_thread;
    QMutex m_mutex;
};

class tst_VPNListServers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_api.stop(); }
    void answer_data();
    void answer();
    void unreachableHostEndsWithEmptyList();
    void secondRequestStartsOver();

private:
    FakeWebApi m_api;
};

void tst_VPNListServers::initTestCase()
{
    for (const char *variable : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(variable);
    const int port = m_api.start();
    QVERIFY(port > 0);
    qputenv("TAVRIN_API_HOST", "127.0.0.1:" + QByteArray::number(port));
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

void tst_VPNListServers::unreachableHostEndsWithEmptyList()
{
    QTcpServer closed; // a port that was just free: nobody listens there any more
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QByteArray host = "127.0.0.1:" + QByteArray::number(closed.serverPort());
    closed.close();
    const QByteArray previous = qgetenv("TAVRIN_API_HOST");
    qputenv("TAVRIN_API_HOST", host);
    QVPNListServers client;
    QSignalSpy finished(&client, &QVPNListServers::finished);
    client.sendRequest();
    const bool ended = finished.wait(20000);
    qputenv("TAVRIN_API_HOST", previous);
    QVERIFY(ended);
    QVERIFY(client.servers().isEmpty());
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
