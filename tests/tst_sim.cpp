// The tavrin-sim program as clients and scripts see it, with short timings: its first line and
// its end, and its web API's key check.

#include "base/tavrindeployment.h"
#include "sim/qtavrinsimprocess.h"
#include "tavrintestenvironment.h"
#include "tavrintestplatform.h"

#include <QtNetwork/QtNetwork>
#include <QtTest/QtTest>
#include <QtWidgets/QtWidgets>

class tst_Sim : public QObject
{
    Q_OBJECT

    QScopedPointer<QTavrinSimProcess> m_sim;

    // The status of a GET of the path from the web API.
    int get(const QString &path)
    {
        QNetworkAccessManager manager;
        QScopedPointer<QNetworkReply> reply(
                manager.get(QNetworkRequest(QUrl(m_sim->apiHost() + path))));
        QSignalSpy finished(reply.data(), &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(Patience);
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
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
        QCOMPARE(get("/get_list/" + QString(tavrinApiKey).toUpper()), 403);
        QCOMPARE(get("/get_ip/nope"), 403);
        QVERIFY(TavrinTestPlatform::localServerExists("Tavrin"));
        m_sim->process()->terminate(); // SIGTERM, or WM_CLOSE on Windows
        QVERIFY(m_sim->process()->waitForFinished(Patience));
        QCOMPARE(m_sim->process()->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_sim->process()->exitCode(), 0);
        QVERIFY(!TavrinTestPlatform::localServerExists("Tavrin"));

        // A bad option ends it with 2, a certificate it cannot use with 1.
        const std::tuple<QString, int, QByteArray> failures[]
                = {{"--connect-delay soon", 2, "--connect-delay"},
                   {"--tls-cert c.pem --tls-key c.key", 1, "certificate c.pem"}};
        for (const auto &[arguments, exitCode, error] : failures) {
            QProcess bad;
            bad.start(TavrinTestEnvironment::simProgram(), arguments.split(' '));
            QVERIFY(bad.waitForFinished(Patience));
            QCOMPARE(bad.exitCode(), exitCode);
            QVERIFY2(bad.readAllStandardError().contains(error), error.constData());
        }
    }
};

TAVRIN_TEST_MAIN(tst_Sim)
#include "tst_sim.moc"
