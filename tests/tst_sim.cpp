// The tavrin-sim program as clients and scripts see it, with short timings: its first line and
// its end, its service through the client's own connection, and its web API.

#include "base/tavrindeployment.h"
#include "service/qtavrinserviceconnection.h"
#include "sim/qtavrinsimprocess.h"
#include "tavrinsignalrecorder.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qfile.h>
#include <QtCore/qjsondocument.h>
#include <QtCore/qjsonobject.h>
#include <QtNetwork/qnetworkreply.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>

class tst_Sim : public QObject
{
    Q_OBJECT

    QScopedPointer<QTavrinSimProcess> m_sim;

    // The status and body of a GET of the path from the web API.
    QPair<int, QByteArray> get(const QString &path)
    {
        QNetworkAccessManager manager;
        QScopedPointer<QNetworkReply> reply(
                manager.get(QNetworkRequest(QUrl(m_sim->apiHost() + path))));
        QSignalSpy finished(reply.data(), &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(20000);
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                reply->readAll()};
    }
    QString address()
    {
        const QByteArray body = get("/get_ip/" + QLatin1String(tavrinApiKey)).second;
        return QJsonDocument::fromJson(body).object().value("ip").toString();
    }

private slots:
    void init()
    {
        m_sim.reset(new QTavrinSimProcess);
        QVERIFY2(m_sim->start(TavrinTestEnvironment::simProgram(),
                              {"--connect-delay", "20", "--disconnect-delay", "20",
                               "--bandwidth-interval", "20"}),
                 qPrintable(m_sim->errorString()));
    }
    void cleanup() { m_sim.reset(); }

    void startAndEnd()
    {
        QVERIFY(QRegularExpression("^PORT [1-9]\\d*$").match(m_sim->lines().value(0)).hasMatch());
        // Its web API answers the client's own key only.
        QCOMPARE(get("/get_list/" + QString(tavrinApiKey).toUpper()).first, 403);
        QCOMPARE(get("/get_ip/nope").first, 403);
        const QString socket = TavrinTestEnvironment::instance()->tempDir() + "/Tavrin";
        QVERIFY(QFile::exists(socket));
        m_sim->process()->terminate(); // SIGTERM
        QVERIFY(m_sim->process()->waitForFinished(20000));
        QCOMPARE(m_sim->process()->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_sim->process()->exitCode(), 0);
        QVERIFY(!QFile::exists(socket));

        // A bad option ends it with 2, a certificate it cannot use with 1.
        const std::tuple<QString, int, QByteArray> failures[]
                = {{"--connect-delay soon", 2, "--connect-delay"},
                   {"--tls-cert c.pem --tls-key c.key", 1, "certificate c.pem"}};
        for (const auto &[arguments, exitCode, error] : failures) {
            QProcess bad;
            bad.start(TavrinTestEnvironment::simProgram(), arguments.split(' '));
            QVERIFY(bad.waitForFinished(20000));
            QCOMPARE(bad.exitCode(), exitCode);
            QVERIFY2(bad.readAllStandardError().contains(error), error.constData());
        }
    }

    void service()
    {
        QTavrinServiceConnection connection;
        QVERIFY(connection.connectToService());
        TavrinSignalRecorder recorder(&connection);
        const QString disconnected = address();
        QVERIFY(!disconnected.isEmpty());
        const uint before = QDateTime::currentSecsSinceEpoch();
        connection.sendConnectToVPNRequest("127.0.0.12", "demo", "demo");
        QTRY_VERIFY(recorder.lines.filter("bandwidth ").size() >= 3);
        const uint after = QDateTime::currentSecsSinceEpoch();
        QCOMPARE(recorder.lines.mid(0, 2), (QStringList{"state 0", "ip 10.8.0.2"}));
        const uint start = recorder.lines.value(2).mid(6).toUInt();
        QVERIFY2(recorder.lines.value(2).startsWith("start ") && start >= before && start <= after,
                 qPrintable(recorder.lines.value(2)));
        QCOMPARE(recorder.lines.value(3), "state 1");
        // The first sample starts the count; the next ones carry traffic both ways.
        QCOMPARE(recorder.lines.value(4), "bandwidth 1 0 0");
        const QRegularExpression traffic("^bandwidth 1 [1-9]\\d* [1-9]\\d*$");
        QVERIFY2(traffic.match(recorder.lines.value(5)).hasMatch(),
                 qPrintable(recorder.lines.value(5)));
        const QString connected = address();
        QVERIFY(!connected.isEmpty() && connected != disconnected);

        connection.sendAbortRequest();
        QVERIFY(recorder.waitFor("state 3"));
        QCOMPARE(recorder.lines.mid(recorder.lines.indexOf("state 2")),
                 (QStringList{"state 2", "state 3"}));
        QCOMPARE(address(), disconnected);
    }
};

TAVRIN_TEST_MAIN(tst_Sim)
#include "tst_sim.moc"
