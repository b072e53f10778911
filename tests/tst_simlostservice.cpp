// The stand-in service closing the link, as its failure options make it do, seen by the
// client's own service connection: the user is told, and the program ends with exit code 4.

#include "qtavrinserviceconnection.h"
#include "qtavrinsimprocess.h"
#include "tavrinfakeuser.h"
#include "tavrintestenvironment.h"

#include <QtCore/qtimer.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>

class tst_SimLostService : public QObject
{
    Q_OBJECT

private slots:
    void closedLinkEndsTheClient_data();
    void closedLinkEndsTheClient();
};

void tst_SimLostService::closedLinkEndsTheClient_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("credentialsFirst");
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<QString>("reason");
    // The connect delay keeps Connected from coming before the close where it must not.
    QTest::newRow("after one second")
            << QStringList{QStringLiteral("--close-after-seconds"), QStringLiteral("1"),
                           QStringLiteral("--connect-delay"), QStringLiteral("600000")}
            << false << QList<int>{0} << QStringLiteral("after 1 seconds");
    QTest::newRow("after the second frame sent")
            << QStringList{QStringLiteral("--close-after-sent"), QStringLiteral("2"),
                           QStringLiteral("--connect-delay"), QStringLiteral("100")}
            << false << QList<int>{0, 1} << QStringLiteral("after 2 frames sent");
    QTest::newRow("after the second frame received")
            << QStringList{QStringLiteral("--close-after-received"), QStringLiteral("2"),
                           QStringLiteral("--connect-delay"), QStringLiteral("100")}
            << true << QList<int>{0} << QStringLiteral("after 2 frames received");
    QTest::newRow("after the second frame sent, split and malformed")
            << QStringList{QStringLiteral("--close-after-sent"), QStringLiteral("2"),
                           QStringLiteral("--connect-delay"),    QStringLiteral("100"),
                           QStringLiteral("--fragment"),         QStringLiteral("--malformed")}
            << false << QList<int>{0, 1} << QStringLiteral("after 2 frames sent");
}

void tst_SimLostService::closedLinkEndsTheClient()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, credentialsFirst);
    QFETCH(QList<int>, states);
    QFETCH(QString, reason);
    QVERIFY2(!TavrinTestEnvironment::simProgram().isEmpty(), "tavrin-sim is not built");

    QTavrinSimProcess sim;
    QVERIFY2(sim.start(TavrinTestEnvironment::simProgram(), arguments),
             qPrintable(sim.errorString()));
    TavrinFakeUser user;
    user.startWatching();
    QTavrinServiceConnection connection;
    QVERIFY(connection.connectToService());
    QSignalSpy stateSpy(&connection, &QTavrinServiceConnection::notifyStatusChange);
    if (credentialsFirst)
        connection.sendCredentialsRequest();
    connection.sendConnectToVPNRequest(QStringLiteral("127.0.0.12"), QStringLiteral("demo"),
                                       QStringLiteral("demo"));

    // The application's own loop, as the program runs it; a safety net ends a failing run.
    QTimer safetyNet;
    safetyNet.setSingleShot(true);
    connect(&safetyNet, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    safetyNet.start(60000);
    const int exitCode = QCoreApplication::exec();
    safetyNet.stop();

    QCOMPARE(exitCode, 4);
    QCOMPARE(user.boxCount(), 1);
    QCOMPARE(user.boxes().first().title, QStringLiteral("Connection error"));
    QCOMPARE(user.boxes().first().icon, QMessageBox::Critical);
    QList<int> seen;
    for (const QList<QVariant> &arguments : stateSpy)
        seen << uchar(arguments.first().value<char>());
    QCOMPARE(seen, states);
    QTRY_COMPARE_WITH_TIMEOUT(sim.countLines(
                                      QRegularExpression(QStringLiteral(" SVC CLOSE session=1 ")
                                                         + reason + QLatin1Char('$'))),
                              1, 30000);
    // The program itself goes on serving.
    QVERIFY(sim.isRunning());
}

TAVRIN_TEST_MAIN(tst_SimLostService)
#include "tst_simlostservice.moc"
