// The desktop's notifications about the connection: the rules with a clock of the test's, then
// the real program, in English and in German, on a desktop whose session bus has its tray and a
// stand-in notification service, against the stand-in VPN service in this process. The program
// tells only what comes a second or more after its last notification at once: the runs tell
// one thing each.

#include "programrun.h"
#include "service/tavrinframe.h"
#include "tavrintestdesktop.h"
#include "tavrintesttrayitem_unix.h"
#include "ui/qconnectionnotifier.h"

#include <QtTest/QtTest>

class tst_Notifications : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void wholeProgram();
    void germanTrayAndLoginFromTheTray();

private:
    // The desktop and the program on it, in the language; the window's place once in front.
    QRect start(const char *language);
    QRect windowInFront();
    QStringList menu(const QString &click = {}) { return m_item->menu(click); }
    bool hide();
    // The notifications shown so far, each "title|text".
    QStringList shown();

    std::unique_ptr<TavrinTestDesktop> m_service;
    std::unique_ptr<ProgramRun> m_run;
    QProcess *m_watcher = nullptr;
    std::unique_ptr<TavrinTestTrayItem> m_item;
    QRect m_window;
    QStringList m_shown;
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

QRect tst_Notifications::start(const char *language)
{
    m_item.reset();
    m_shown.clear();
    m_service.reset(new TavrinTestDesktop); // the stand-in service, in this process
    m_run.reset(new ProgramRun);
    m_run->storeLogin(false);
    if (!missingTool({"Xvfb", "openbox", "dbus-daemon", "xdotool", "xwininfo"}).isEmpty()
        || !m_service->start() || !m_run->startX(true).isEmpty()
        || !m_run->startSessionBus().isEmpty()
        || !m_run->startWatcher({"--notifications"}, &m_watcher).isEmpty())
        return QRect();
    m_run->environment().insert("TMPDIR", TavrinTestEnvironment::instance()->tempDir());
    m_run->environment().insert("TAVRIN_API_HOST", m_service->sim()->apiHost());
    m_run->environment().insert("LANGUAGE", language);
    m_run->start();
    const QByteArray item = waitForLine(m_watcher, "ITEM ");
    if (item.isEmpty())
        return QRect();
    m_item.reset(new TavrinTestTrayItem(m_run->sessionBusAddress(), item));
    return m_window = windowInFront();
}

QRect tst_Notifications::windowInFront()
{
    const QString window = m_run->waitForWindow("^Tavrin Client$");
    const QRect geometry = m_run->geometry(window);
    const auto ready = [&] {
        return m_run->pixel(geometry.center()) != qRgb(0, 0, 0) // painted
               && m_run->tool("xdotool", {"getactivewindow"}).trimmed() == window;
    };
    return QTest::qWaitFor(ready, LongPatience) ? geometry : QRect();
}

bool tst_Notifications::hide()
{
    return m_run->click(m_window.topRight() + QPoint(-15, 14))
           && QTest::qWaitFor([this] { return m_run->windows("^Tavrin Client$").isEmpty(); },
                              LongPatience);
}

QStringList tst_Notifications::shown()
{
    while (m_watcher->canReadLine()) {
        const QByteArray line = m_watcher->readLine().trimmed();
        if (line.startsWith("NOTIFY "))
            m_shown << QString::fromUtf8(line.mid(7));
    }
    return m_shown;
}

// Logged in with the window in front: nothing told. Hidden to the tray, the user disconnects
// (nothing) and connects from the tray's menu (told); a flood of states that ends where that
// notification left the user tells nothing more, and nothing at once (the wait is the rules').
void tst_Notifications::wholeProgram()
{
    QVERIFY2(!start("en").isEmpty(), "no desktop with the window in front and a tray item");
    QVERIFY(m_run->click(m_window.topLeft() + QPoint(90, 416))); // Connect
    WAIT_FOR(menu()
             == QStringList({"Disconnect", "_Status", "_Jump to fastest", "C_hange country",
                             "_Feedback", "Se_ttings (off)", "E_xit"}));
    QVERIFY(hide());
    menu("Disconnect");
    WAIT_FOR(menu().value(0) == "Connect");
    menu("Connect");
    WAIT_FOR(shown() == QStringList{"Tavrin Client|Connected to Germany"});
    const QByteArray flood = buildStatusFrame(Disconnected) + buildConnectedFrame("10.8.0.2", 1);
    m_service->send(flood.repeated(100) + buildStatusFrame(Connecting));
    WAIT_FOR(menu().value(0) == "Connecting (off)");
    // Once the notification service has answered, it has been sent whatever came before.
    m_item->call("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                 "org.freedesktop.Notifications", "GetServerInformation");
    QCOMPARE(shown().size(), 1);
}

// In German the tray's menu is German as the window is, and so are the notifications. A login
// with a mistyped password from the tray, the window hidden, brings the window back to the login
// page, where the user puts the password right.
void tst_Notifications::germanTrayAndLoginFromTheTray()
{
    QVERIFY2(!start("de").isEmpty(), "no desktop with the window in front and a tray item");
    QCOMPARE(menu(), QStringList({"_Verbinden", "Verbindungs_status", "_Zum schnellsten Server",
                                  "_Land wechseln", "_Rückmeldung", "_Optionen", "_Beenden"}));
    const QPoint password = m_window.topLeft() + QPoint(170, 322);
    QVERIFY(m_run->click(password) && m_run->key("ctrl+a") && m_run->xdotool({"type", "wrong"}));
    QVERIFY(hide());
    menu("_Verbinden");
    QVERIFY2(!m_run->waitForWindow("^Anmeldefehler").isEmpty(), "no login error box");
    QVERIFY(m_run->key("Return")); // the box's OK
    QVERIFY(!windowInFront().isEmpty());
    QVERIFY(m_run->click(password) && m_run->key("ctrl+a") && m_run->xdotool({"type", "demo"})
            && m_run->key("Return"));
    WAIT_FOR(menu().value(0) == "Trennen");
    QVERIFY(hide());
    m_service->send(buildStatusFrame(Timeout));
    WAIT_FOR(!shown().isEmpty());
    QCOMPARE(m_shown,
             QStringList{"Tavrin Client|Verbindung zu Germany verloren, neuer Versuch läuft"});
}

TAVRIN_TEST_MAIN(tst_Notifications)
#include "tst_notifications.moc"
