// When the desktop is told about the connection: the rules, with a clock of the test's.

#include "tavrintestdesktop.h"
#include "ui/qconnectionnotifier.h"

#include <QtTest/QtTest>

class tst_Notifications : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
};

void tst_Notifications::rules_data()
{
    // Steps: a state code (a for one the window shows while active), u the user ending the
    // connection, +n the clock going on n ms, e the end of a notification's wait.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("shown");
    const QString up = "Connected to Germany", lost = "Connection to Germany lost",
                  retrying = "Connection to Germany lost, trying again";
    QTest::newRow("up once, lost, retried, given up")
            << "0 1 1 +1000 4 0 4 0 4 +1000 3" << QStringList{up, retrying, lost};
    QTest::newRow("back up") << "1 +1000 4 0 +1000 1" << QStringList{up, retrying, up};
    QTest::newRow("the user's disconnect, server change, exit")
            << "1 +1000 u 2 3 0 +1000 1 +1000 4 +1000 u 2 3" << QStringList{up, up, retrying};
    QTest::newRow("never up") << "0 4 0 4 2 3 200" << QStringList{};
    QTest::newRow("window active") << "a1 +1000 4 a1 a3 0 +1000 1" << QStringList{retrying, up};
    QTest::newRow("flood") << "1 4 1 4 1 e 4 1 4 3 e e" << QStringList{up, lost};
    QTest::newRow("flood, then seen") << "1 4 3 a0 e" << QStringList{up};
    QTest::newRow("told, seen, lost again")
            << "1 +1000 3 a0 a1 +500 4 3 e" << QStringList{up, lost, lost};
    QTest::newRow("wait ends with a change")
            << "1 +400 4 +600 e 3 +999 e" << QStringList{up, retrying, lost};
}

void tst_Notifications::rules()
{
    QFETCH(QString, steps);
    static qint64 now = 0;
    QConnectionNotifier notifier(nullptr, [] { return now; });
    QStringList shown;
    connect(&notifier, &QConnectionNotifier::notify, [&](const QString &text) { shown << text; });
    for (const QString &step : steps.split(' ')) {
        QTimer *wait = notifier.findChild<QTimer *>();
        if (step == "u")
            notifier.userEndsConnection();
        else if (step == "e" && wait->isActive())
            TavrinTestDesktop::expire(wait);
        else if (step.startsWith('+'))
            now += step.mid(1).toInt();
        else if (step != "e")
            notifier.stateChanged(quint8(QString(step).remove('a').toInt()), "Germany",
                                  step.startsWith('a'));
    }
    QTEST(shown, "shown");
}

TAVRIN_TEST_MAIN(tst_Notifications)
#include "tst_notifications.moc"
