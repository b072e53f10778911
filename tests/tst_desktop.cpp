// The real program on a desktop session: the tray as a StatusNotifierItem on a private session
// bus (the stand-in watcher of tools/ in place of a panel), the tray wait at log-on, the
// notification when no tray comes, a run on a headless Wayland compositor, and the window as a
// screen reader reads it.

#include "app/tavrintrayhost.h"
#include "programrun.h"
#include "tavrintesttrayitem_unix.h"

#include <QtDBus/QtDBus>

namespace {

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

class tst_Desktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void trayWaitAtLogOn();
    void trayHostLookedForAgain();
    void wayland();
    void trayItemAndScreenReader();
};

void tst_Desktop::initTestCase()
{
    const QString missing = missingTool({"Xvfb", "trayer", "dbus-daemon", "weston"});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
}

// Started from the log-on entry before the panel: the program waits for a tray and then runs.
// Started by hand, it ends at once, and tells the user through the desktop's notifications.
void tst_Desktop::trayWaitAtLogOn()
{
    ProgramRun run;
    QProcess *watcher = nullptr;
    VERIFY_SET_UP(run.setUp(false, true));
    VERIFY_SET_UP(run.startSessionBus());
    VERIFY_SET_UP(run.startWatcher({"--no-host", "--notifications"}, &watcher));
    QProcess *byHand = run.start();
    QVERIFY(waitForExit(byHand));
    QCOMPARE(byHand->exitCode(), 1);
    QCOMPARE(byHand->readAllStandardOutput(),
             QByteArray("Systray is not supported by this operating system.\n"));
    QVERIFY(!waitForLine(watcher, "NOTIFY Tavrin Client needs a system tray|").isEmpty());

    QProcess *atLogOn = run.start(TavrinTestEnvironment::clientProgram(), {"--autostart"});
    // It keeps looking: asks again after its first look.
    QVERIFY(!waitForLine(watcher, "GET IsStatusNotifierHostRegistered", 2).isEmpty());
    QCOMPARE(atLogOn->state(), QProcess::Running);
    QVERIFY(!run.simLog().contains("session=2"));
    VERIFY_SET_UP(run.startTrayHost());
    QVERIFY2(!run.waitForWindow("^Tavrin Client$").isEmpty(), "no window once the tray came");
    QVERIFY(run.waitForSimLog("SVC CLIENT session=1 connected"));
    QCOMPARE(atLogOn->state(), QProcess::Running);
}

// In-process: the look for a tray host asks the bus again each time, so a panel that comes up
// while the program waits is found; the notification goes to whoever serves notifications.
void tst_Desktop::trayHostLookedForAgain()
{
    ProgramRun run;
    VERIFY_SET_UP(run.startSessionBus());
    qputenv("DBUS_SESSION_BUS_ADDRESS", run.sessionBusAddress().toLatin1());
    QVERIFY(!waitForTrayHost(0, 10)); // one look, no wait
    QVERIFY(!notifyNoTrayHost());
    QProcess *watcher = nullptr;
    VERIFY_SET_UP(run.startWatcher({"--no-host"}, &watcher));
    QVERIFY(!waitForTrayHost(0, 10)); // one look, no wait
    watcher->kill();
    QVERIFY(waitForExit(watcher));
    // The panel comes while the program looks.
    run.start(TavrinTestEnvironment::sourceDir() + "/tools/statusnotifierwatcher.py",
              {"--notifications"});
    QVERIFY(waitForTrayHost(LongPatience, 10));
    QVERIFY(notifyNoTrayHost());
}

// On Wayland, with the watcher as its tray: the window maps and auto-login connects.
void tst_Desktop::wayland()
{
    ProgramRun run;
    QProcess *watcher = nullptr;
    VERIFY_SET_UP(run.startWayland());
    VERIFY_SET_UP(run.startSessionBus());
    VERIFY_SET_UP(run.startWatcher({}, &watcher));
    VERIFY_SET_UP(run.startSim({"--connect-delay", "0"}));
    run.storeLogin(true);
    run.environment().insert("WAYLAND_DEBUG", "client");
    QProcess *client = run.start();
    TavrinTestTrayItem item(run.sessionBusAddress(), waitForLine(watcher, "ITEM "));
    QVERIFY2(run.waitForSimLog("connect host=127.0.0.12 outcome=success"), qPrintable(run.simLog()));
    WAIT_FOR(item.showsConnected());
    // Mapped: a toplevel titled so, configured, with a buffer attached to its surface.
    QString protocol;
    WAIT_FOR((protocol += QString::fromLatin1(client->readAllStandardError()))
                     .contains(QRegularExpression("wl_surface@\\d+\\.attach\\(wl_buffer@")));
    QVERIFY(protocol.contains("set_title(\"Tavrin Client\")"));
    QVERIFY(protocol.contains(QRegularExpression("xdg_surface@\\d+\\.ack_configure")));
}

// The tray on a desktop without an XEmbed tray: an item on the session bus whose tool tip, icon
// and menu follow the state, and whose menu works. The window through the desktop's
// accessibility bus, as a screen reader reads it: every element by role and name, the chooser's
// rows reading their servers, and the login through the Connect button's press action, after
// which the state reads anew. Exit from the item's menu while connected takes the tunnel down
// first, then ends the program.
void tst_Desktop::trayItemAndScreenReader()
{
    const QString launcher = "/usr/libexec/at-spi-bus-launcher";
    if (!QFile::exists(launcher))
        QSKIP("at-spi2-core is not installed (scripts/install-deps.sh installs it)");
    ProgramRun run;
    QProcess *watcher = nullptr;
    VERIFY_SET_UP(run.setUp(false, true, {"--connect-delay", "0"}));
    VERIFY_SET_UP(run.startSessionBus());
    VERIFY_SET_UP(run.startWatcher({}, &watcher));
    run.start(launcher, {"--launch-immediately"});
    run.storeLogin(false);
    run.settings()->setValue("FavoriteServers", "Germany");
    run.settings()->sync();
    run.environment().insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QProcess *client = run.start();
    TavrinTestTrayItem item(run.sessionBusAddress(), waitForLine(watcher, "ITEM "));
    WAIT_FOR(item.toolTipTitle() == QString("Tavrin: Disconnected"));
    const QStringList disconnected{"_Connect",
                                   "_Status",
                                   "_Jump to fastest",
                                   "C_hange country",
                                   "_Feedback",
                                   "Se_ttings",
                                   "E_xit"};
    QCOMPARE(item.menu(), disconnected);
    QVERIFY(!run.waitForWindow("^Tavrin Client$").isEmpty());
    AccessibilityTree tree(run.sessionBusAddress());
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
    QVERIFY2(run.waitForSimLog("connect host=127.0.0.12 outcome=success"), qPrintable(run.simLog()));
    WAIT_FOR((texts = tree.nodes().keys()).contains("push button|Disconnect - Germany"));
    QVERIFY(texts.contains("label|VPN connection is connected to Germany."));
    WAIT_FOR(item.showsConnected());
    QStringList connected = disconnected;
    connected[0] = "Disconnect";
    connected[5] += " (off)";
    QCOMPARE(item.menu(), connected);
    const QMap<int, QByteArray> icon = TavrinTestTrayItem::iconImages(
            item.property("IconPixmap").value<QDBusArgument>());
    QCOMPARE(icon.value(22), TavrinTestTrayItem::itemImage(":/imgs/tray/tray_on.ico", 22));

    QCOMPARE(item.menu("E_xit"), connected);
    QVERIFY2(waitForExit(client), "Exit from the item's menu did not end the program");
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(run.waitForSimLog("session=1 state=Disconnecting"));
}

TAVRIN_TEST_MAIN(tst_Desktop)
#include "tst_desktop.moc"
