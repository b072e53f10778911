// The tray as a StatusNotifierItem and the desktop's notifications about the connection: the
// rules with a clock of the test's, then the real program, in English and in German, on a
// desktop whose session bus has its tray and a stand-in notification service (the watcher of
// tools/ in place of a panel) and no XEmbed tray, against the stand-in VPN service in this
// process; in English also as a screen reader reads the window. The program
// tells only what comes a second or more after its last notification at once: the runs tell
// one thing each.

#include "programrun.h"
#include "service/tavrinframe.h"
#include "tavrintestdesktop.h"
#include "tavrintesttrayitem_unix.h"
#include "ui/qconnectionnotifier.h"

#include <QtDBus/QtDBus>
#include <QtTest/QtTest>

namespace {

const QString atSpiLauncher = "/usr/libexec/at-spi-bus-launcher";

// The client's elements as the desktop's accessibility bus shows them to a screen reader:
// "<role>|<name>" by service and path.
class AccessibilityTree
{
public:
    explicit AccessibilityTree(const QString &sessionAddress)
        : m_session(sessionAddress, "tst_a11y-s")
        , m_bus(m_session.call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress")
                        .value(0)
                        .toString(),
                "tst_a11y")
    {}

    // Every element below the desktop's root.
    QMap<QString, QPair<QString, QString>> nodes()
    {
        QMap<QString, QPair<QString, QString>> found;
        walk("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root", &found);
        return found;
    }
    // Runs the element's action of that name.
    bool act(const QString &text, const QString &action)
    {
        const auto node = nodes().value(text);
        const QString interface = "org.a11y.atspi.Action";
        const auto call = [&](const char *method, int i) {
            return m_bus.call(node.first, node.second, interface, method, {i}).value(0);
        };
        const int count = m_bus.property(node.first, node.second, interface, "NActions").toInt();
        for (int i = 0; i < count; ++i) {
            if (call("GetName", i) == action)
                return call("DoAction", i).toBool();
        }
        return false;
    }

private:
    void walk(const QString &service, const QString &path,
              QMap<QString, QPair<QString, QString>> *found)
    {
        const QString accessible = "org.a11y.atspi.Accessible";
        found->insert(m_bus.call(service, path, accessible, "GetRoleName").value(0).toString() + '|'
                              + m_bus.property(service, path, accessible, "Name").toString(),
                      {service, path});
        const auto children = qdbus_cast<QList<QPair<QString, QDBusObjectPath>>>(
                m_bus.call(service, path, accessible, "GetChildren").value(0));
        for (const auto &child : children)
            walk(child.first, child.second.path(), found);
    }

    TavrinTestBus m_session;
    TavrinTestBus m_bus;
};

} // namespace

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
    QRect start(const char *language, bool screenReader = false);
    QRect windowInFront();
    QStringList menu(const QString &click = {}) { return m_item->menu(click); }
    bool hide();
    // The notifications shown so far, each "title|text".
    QStringList shown();

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

// The tray item's tool tip, icon and menu follow the state, and its menu works. A screen reader
// reads every element by role and name, the chooser's rows their servers, and logs in through
// the Connect button's press action, the window in front (nothing told), after which the state
// reads anew. Hidden to the tray, the user disconnects (nothing told) and connects from the
// tray's menu (told); a flood of states that ends where that notification left the user tells
// nothing more, and nothing at once. Exit from the item's menu while connected takes the tunnel
// down first, then ends the program.
void tst_Notifications::wholeProgram()
{
    if (!QFile::exists(atSpiLauncher))
        QSKIP("at-spi2-core is not installed (scripts/install-deps.sh installs it)");
    QVERIFY2(!start("en", true).isEmpty(), "no desktop with the window in front and a tray item");
    WAIT_FOR(m_item->toolTipTitle() == QString("Tavrin: Disconnected"));
    QStringList entries{"_Connect",  "_Status", "_Jump to fastest", "C_hange country", "_Feedback",
                        "Se_ttings", "E_xit"};
    QCOMPARE(menu(), entries);
    AccessibilityTree tree(m_run->sessionBusAddress());
    QStringList texts;
    WAIT_FOR(!(texts = tree.nodes().keys())
                      .filter(QRegularExpression("^list item\\|Germany, favourite"))
                      .isEmpty());
    for (const char *text :
         {"text|Username", "text|Password", "push button|Connect", "push button|Settings",
          "push button|Minimise", "push button|Hide to tray", "check box|Auto Start",
          "check box|Auto Login", "chart|Bandwidth", "combo box|Connect, Germany",
          "label|VPN connection is disconnected."})
        QVERIFY2(texts.contains(text), text);
    QVERIFY(tree.act("push button|Connect", "Press"));
    QVERIFY(m_service->waitForLog("connect host=127\\.0\\.0\\.12 outcome=success"));
    WAIT_FOR((texts = tree.nodes().keys()).contains("push button|Disconnect - Germany"));
    QVERIFY(texts.contains("label|VPN connection is connected to Germany."));
    WAIT_FOR(m_item->showsConnected());
    entries[0] = "Disconnect";
    entries[5] += " (off)";
    QCOMPARE(menu(), entries);
    const QMap<int, QByteArray> icon = TavrinTestTrayItem::iconImages(
            m_item->property("IconPixmap").value<QDBusArgument>());
    QCOMPARE(icon.value(22), TavrinTestTrayItem::itemImage(":/imgs/tray/tray_on.ico", 22));

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
        if (m_client->waitForFinished(300))
            return true;
        menu("E_xit");
        return m_client->state() == QProcess::NotRunning;
    };
    QVERIFY2(QTest::qWaitFor(ended, LongPatience), "Exit from the menu did not end the program");
    QCOMPARE(m_client->exitCode(), 0);
    QVERIFY(m_service->waitForLog("session=1 state=Disconnecting", 2));
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
