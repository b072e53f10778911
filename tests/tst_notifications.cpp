// The tray as a StatusNotifierItem and the desktop's notifications: the rules with a clock of
// the test's, then the real program, in English (also as a screen reader reads it) and German,
// on a session bus with a stand-in tray and notification service (tools/) and no XEmbed tray,
// against the stand-in VPN service in this process.

#include "programrun.h"
#include "service/tavrinframe.h"
#include "tavrintestdesktop.h"
#include "tavrintesttrayitem_unix.h"
#include "ui/qconnectionnotifier.h"

#include <QtDBus/QtDBus>
#include <QtTest/QtTest>

static const QString atSpiLauncher = "/usr/libexec/at-spi-bus-launcher";

class tst_Notifications : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void wholeProgram();
    void germanTray();

private:
    // The desktop and the program on it, in the language; the window's place once in front.
    QRect start(const char *language, bool screenReader = false);
    QStringList menu(const QString &click = {}) { return m_item->menu(click); }
    bool hide();
    QStringList shown(); // the notifications so far, each "title|text"

    std::unique_ptr<TavrinTestDesktop> m_service;
    std::unique_ptr<ProgramRun> m_run;
    QProcess *m_watcher = nullptr;
    std::unique_ptr<TavrinTestTrayItem> m_item;
    QProcess *m_client = nullptr;
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

QRect tst_Notifications::start(const char *language, bool screenReader)
{
    m_item.reset();
    m_shown.clear();
    m_service.reset(new TavrinTestDesktop); // the stand-in service, in this process
    m_run.reset(new ProgramRun);
    m_run->storeLogin(false);
    m_run->settings()->setValue("FavoriteServers", "Germany");
    m_run->settings()->sync();
    if (!missingTool({"Xvfb", "openbox", "dbus-daemon", "xdotool", "xwininfo"}).isEmpty()
        || !m_service->start() || !m_run->startX(true).isEmpty()
        || !m_run->startSessionBus().isEmpty()
        || !m_run->startWatcher({"--notifications"}, &m_watcher).isEmpty())
        return QRect();
    m_run->environment().insert("TMPDIR", TavrinTestEnvironment::instance()->tempDir());
    m_run->environment().insert("TAVRIN_API_HOST", m_service->sim()->apiHost());
    m_run->environment().insert("LANGUAGE", language);
    if (screenReader) {
        m_run->start(atSpiLauncher, {"--launch-immediately"});
        m_run->environment().insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    }
    m_client = m_run->start();
    const QByteArray item = waitForLine(m_watcher, "ITEM ");
    if (item.isEmpty())
        return QRect();
    m_item.reset(new TavrinTestTrayItem(m_run->sessionBusAddress(), item));
    const QString window = m_run->waitForWindow("^Tavrin Client$");
    m_window = m_run->geometry(window);
    const auto ready = [&] { // painted, in front
        return m_run->pixel(m_window.center()) != qRgb(0, 0, 0)
               && m_run->tool("xdotool", {"getactivewindow"}).trimmed() == window;
    };
    return QTest::qWaitFor(ready, LongPatience) ? m_window : QRect();
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

// The tray item's tool tip, icon and menu follow the state, as what a screen reader reads of the
// window does. Connected with the window in front, nothing is told; hidden, a disconnect is not,
// a connect from the menu is, and a flood of states ending there tells nothing more. Exit from
// the menu while connected takes the tunnel down first, then ends the program.
void tst_Notifications::wholeProgram()
{
    if (!QFile::exists(atSpiLauncher))
        QSKIP("at-spi2-core is not installed (scripts/install-deps.sh installs it)");
    QVERIFY2(!start("en", true).isEmpty(), "no desktop with the window in front and a tray item");
    WAIT_FOR(m_item->toolTipTitle() == QString("Tavrin: Disconnected"));
    QStringList entries{"_Connect",  "_Status", "_Jump to fastest", "C_hange country", "_Feedback",
                        "Se_ttings", "E_xit"};
    QCOMPARE(menu(), entries);
    // The elements as the accessibility bus shows them to a screen reader, by "role|name".
    TavrinTestBus session(m_run->sessionBusAddress(), "tst_a11y-s");
    TavrinTestBus bus(session.call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress")
                              .value(0)
                              .toString(),
                      "tst_a11y");
    QStringList texts;
    const QString node = "org.a11y.atspi.Accessible";
    std::function<void(const QString &, const QString &)> walk = [&](const QString &service,
                                                                     const QString &path) {
        texts << bus.call(service, path, node, "GetRoleName").value(0).toString() + '|'
                         + bus.property(service, path, node, "Name").toString();
        for (const auto &child : qdbus_cast<QList<QPair<QString, QDBusObjectPath>>>(
                     bus.call(service, path, node, "GetChildren").value(0)))
            walk(child.first, child.second.path());
    };
    const auto read = [&] {
        texts.clear();
        walk("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root");
        return texts;
    };
    WAIT_FOR(!read().filter(QRegularExpression("^list item\\|Germany, favourite")).isEmpty());
    for (const char *text :
         {"text|Username", "push button|Connect", "check box|Auto Login", "chart|Bandwidth",
          "combo box|Connect, Germany", "label|VPN connection is disconnected."})
        QVERIFY2(texts.contains(text), text);
    menu("_Connect"); // the window in front
    QVERIFY(m_service->waitForLog("connect host=127\\.0\\.0\\.12 outcome=success"));
    WAIT_FOR(read().contains("push button|Disconnect - Germany"));
    QVERIFY(texts.contains("label|VPN connection is connected to Germany."));
    WAIT_FOR(m_item->showsConnected());
    entries[0] = "Disconnect";
    entries[5] += " (off)";
    QCOMPARE(menu(), entries);
    QCOMPARE(TavrinTestTrayItem::iconImages(m_item->property("IconPixmap").value<QDBusArgument>())
                     .value(22),
             TavrinTestTrayItem::itemImage(":/imgs/tray/tray_on.ico", 22));

    QVERIFY(hide());
    menu("Disconnect");
    WAIT_FOR(menu().value(0) == "Connect");
    menu("Connect");
    WAIT_FOR(shown() == QStringList{"Tavrin Client|Connected to Germany"});
    const QByteArray flood = buildStatusFrame(Disconnected) + buildConnectedFrame("10.8.0.2", 1);
    m_service->send(flood.repeated(100) + buildStatusFrame(Connecting));
    WAIT_FOR(menu().value(0) == "Connecting (off)");
    m_service->send(buildConnectedFrame("10.8.0.2", 1));
    WAIT_FOR(menu().value(0) == "Disconnect");
    // Once the notification service has answered, it has been sent whatever came before.
    m_item->call("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                 "org.freedesktop.Notifications", "GetServerInformation");
    QCOMPARE(shown().size(), 1);
    // The flood's last menu updates may still be on their way to the panel, which then clicks
    // an entry that has gone: a person would click again.
    QCOMPARE(menu("E_xit"), entries);
    const auto ended = [&] {
        return m_client->waitForFinished(300)
               || (menu("E_xit"), m_client->state() == QProcess::NotRunning);
    };
    QVERIFY2(QTest::qWaitFor(ended, LongPatience), "Exit from the menu did not end the program");
    QCOMPARE(m_client->exitCode(), 0);
    QVERIFY(m_service->waitForLog("session=1 state=Disconnecting", 2));
}

// In German the tray's menu is German as the window is, and so are the notifications.
void tst_Notifications::germanTray()
{
    QVERIFY2(!start("de").isEmpty(), "no desktop with the window in front and a tray item");
    QCOMPARE(menu(), QStringList({"_Verbinden", "Verbindungs_status", "_Zum schnellsten Server",
                                  "_Land wechseln", "_Rückmeldung", "_Optionen", "_Beenden"}));
    QVERIFY(hide());
    menu("_Verbinden");
    WAIT_FOR(menu().value(0) == "Trennen");
    WAIT_FOR(!shown().isEmpty());
    QCOMPARE(m_shown, QStringList{"Tavrin Client|Verbunden mit Germany"});
}

TAVRIN_TEST_MAIN(tst_Notifications)
#include "tst_notifications.moc"
