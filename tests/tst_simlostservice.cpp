// tavrin-sim closing the link, as its failure options make it do, seen by the client's own
// service connection: the user is told, and the program ends with exit code 4.

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
            << QStringList{"--close-after-seconds", "1", "--connect-delay", "600000"} << false
            << QList<int>{0} << "after 1 seconds";
    QTest::newRow("after the second frame sent")
            << QStringList{"--close-after-sent", "2", "--connect-delay", "100"} << false
            << QList<int>{0, 1} << "after 2 frames sent";
    QTest::newRow("after the second frame received")
            << QStringList{"--close-after-received", "2", "--connect-delay", "100"} << true
            << QList<int>{0} << "after 2 frames received";
    QTest::newRow("after the second frame sent, split and malformed")
            << QStringList{"--close-after-sent", "2",          "--connect-delay", "100",
                           "--fragment",         "--malformed"}
            << false << QList<int>{0, 1} << "after 2 frames sent";
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
    connection.sendConnectToVPNRequest("127.0.0.12", "demo", "demo");

    // The application's own loop, as the program runs it; a safety net ends a failing run.
    QTimer::singleShot(60000, &connection, [] { QCoreApplication::exit(-1); });
    QCOMPARE(QCoreApplication::exec(), 4);
    QCOMPARE(user.boxCount(), 1);
    QCOMPARE(user.boxes().first().title, QStringLiteral("Connection error"));
    QCOMPARE(user.boxes().first().icon, QMessageBox::Critical);
    QList<int> seen;
    for (const QList<QVariant> &signal : stateSpy)
        seen << uchar(signal.first().value<char>());
    QCOMPARE(seen, states);
    QTRY_COMPARE_WITH_TIMEOUT(sim.countLines(
                                      QRegularExpression(" SVC CLOSE session=1 " + reason + '$')),
                              1, 30000);
    // The program itself goes on serving.
    QVERIFY(sim.isRunning());
}

TAVRIN_TEST_MAIN(tst_SimLostService)
#include "tst_simlostservice.moc"
