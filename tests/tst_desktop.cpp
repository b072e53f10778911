// The real program on a desktop session: the tray as a StatusNotifierItem on a private session
// bus (the stand-in watcher of tools/ in place of a panel), the tray wait at log-on, the
// notification when no tray comes, a run on a headless Wayland compositor, and the window as a
// screen reader reads it.

#include "app/tavrintrayhost.h"
#include "programrun.h"

#include <QtDBus/QtDBus>
#include <QtGui/QtGui>
#include <QtTest/QtTest>

namespace {

// The test's own connection to a bus, by name, and calls on it.
class Bus
{
public:
    Bus(const QString &address, const QString &name)
        : m_name(name)
        , m_bus(QDBusConnection::connectToBus(address, name))
    {}
    ~Bus() { QDBusConnection::disconnectFromBus(m_name); }

    QVariantList call(const QString &service, const QString &path, const QString &interface,
                      const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, LongPatience).arguments();
    }
    QVariant property(const QString &service, const QString &path, const QString &interface,
                      const char *name)
    {
        return call(service, path, "org.freedesktop.DBus.Properties", "Get", {interface, name})
                .value(0)
                .value<QDBusVariant>()
                .variant();
    }

private:
    QString m_name;
    QDBusConnection m_bus;
};

// The tray item the client registered, as the watcher's line "ITEM <service><path>" names it.
class TrayItem : public Bus
{
public:
    TrayItem(const QString &address, const QByteArray &watcherLine)
        : Bus(address, "tst_desktop")
        , m_service(QString::fromLatin1(watcherLine.trimmed().mid(5)).section('/', 0, 0))
        , m_path('/' + QString::fromLatin1(watcherLine.trimmed()).section('/', 1))
    {}

    QVariant property(const char *name)
    {
        return Bus::property(m_service, m_path, "org.kde.StatusNotifierItem", name);
    }
    // The tool tip's title; for as long as a notification is shown, the item shows it as its
    // tool tip instead, and its title and text are told as "<title>|<text>".
    QString toolTipTitle() // (icon name, icon images, title, text)
    {
        const QDBusArgument tip = property("ToolTip").value<QDBusArgument>();
        QString icon, title, text;
        tip.beginStructure();
        tip >> icon;
        iconImages(tip);
        tip >> title >> text;
        return text.isEmpty() ? title : title + '|' + text;
    }
    bool showsConnected()
    {
        const QString tip = toolTipTitle();
        return tip == "Tavrin: Connected to Germany" || tip == "Tavrin Client|Connected to Germany";
    }
    // The images of the icon, by width, in the item's byte order (ARGB, big-endian).
    static QMap<int, QByteArray> iconImages(const QDBusArgument &images)
    {
        QMap<int, QByteArray> found;
        images.beginArray();
        while (!images.atEnd()) {
            int width = 0, height = 0;
            QByteArray data;
            images.beginStructure();
            images >> width >> height >> data;
            images.endStructure();
            found.insert(width, data);
        }
        images.endArray();
        return found;
    }
    // The top entries of the item's menu: their labels, "(off)" after a disabled one; with a
    // label given, clicks that entry.
    QStringList menu(const QString &click = QString())
    {
        const QString path = property("Menu").value<QDBusObjectPath>().path();
        const QDBusArgument layout = call(m_service, path, "com.canonical.dbusmenu", "GetLayout",
                                          {0, -1, QStringList()})
                                             .value(1)
                                             .value<QDBusArgument>();
        QStringList entries;
        int id = 0;
        QVariantMap properties;
        layout.beginStructure();
        layout >> id >> properties;
        layout.beginArray();
        while (!layout.atEnd()) {
            QDBusVariant child;
            layout >> child;
            const QDBusArgument entry = child.variant().value<QDBusArgument>();
            entry.beginStructure();
            entry >> id >> properties;
            entry.endStructure();
            const QString label = properties.value("label").toString();
            if (label == click)
                call(m_service, path, "com.canonical.dbusmenu", "Event",
                     {id, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
            entries << label + (properties.value("enabled", true).toBool() ? "" : " (off)");
        }
        return entries;
    }

private:
    QString m_service;
    QString m_path;
};

// Waits for a line of the watcher that starts with the prefix given, the count-th one.
QByteArray waitForLine(QProcess *watcher, const QByteArray &prefix, int count = 1)
{
    QByteArray found;
    (void) QTest::qWaitFor(
            [&] {
                while (found.isEmpty() && watcher->canReadLine()) {
                    const QByteArray line = watcher->readLine();
                    if (line.startsWith(prefix) && --count == 0)
                        found = line;
                }
                return !found.isEmpty();
            },
            LongPatience);
    return found;
}

// The image of a tray icon file as a StatusNotifierItem carries it.
QByteArray itemImage(const QString &file, int size)
{
    QImage image = QIcon(file).pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    QByteArray data;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            data += char(qAlpha(pixel)) + QByteArray(1, char(qRed(pixel))) + char(qGreen(pixel))
                    + char(qBlue(pixel));
        }
    }
    return data;
}

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
        const auto call = [&](const char *method, const QVariantList &arguments) {
            return m_bus.call(node.first, node.second, "org.a11y.atspi.Action", method, arguments)
                    .value(0);
        };
        const int count = m_bus.property(node.first, node.second, "org.a11y.atspi.Action",
                                         "NActions")
                                  .toInt();
        for (int i = 0; i < count; ++i) {
            if (call("GetName", {i}) == action)
                return call("DoAction", {i}).toBool();
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
        const QDBusArgument children = m_bus.call(service, path, accessible, "GetChildren")
                                               .value(0)
                                               .value<QDBusArgument>();
        QList<QPair<QString, QDBusObjectPath>> below;
        children.beginArray();
        while (!children.atEnd()) {
            below.append(QPair<QString, QDBusObjectPath>());
            children.beginStructure();
            children >> below.last().first >> below.last().second;
            children.endStructure();
        }
        children.endArray();
        for (const auto &child : below)
            walk(child.first, child.second.path(), found);
    }

    Bus m_session;
    Bus m_bus;
};

} // namespace

class tst_Desktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void statusNotifierItem();
    void trayWaitAtLogOn();
    void trayHostLookedForAgain();
    void wayland();
    void screenReader();
};

void tst_Desktop::initTestCase()
{
    const QString missing = missingTool({"Xvfb", "trayer", "dbus-daemon", "weston"});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
}

// The tray on a desktop without an XEmbed tray: an item on the session bus whose tool tip,
// icon and menu follow the state, and whose menu works.
void tst_Desktop::statusNotifierItem()
{
    ProgramRun run;
    QProcess *watcher = nullptr;
    VERIFY_SET_UP(run.setUp(false, true, {"--connect-delay", "0"}));
    VERIFY_SET_UP(run.startSessionBus());
    VERIFY_SET_UP(run.startWatcher({}, &watcher));
    run.storeLogin(false);
    QProcess *client = run.start();
    TrayItem item(run.sessionBusAddress(), waitForLine(watcher, "ITEM "));
    WAIT_FOR(item.toolTipTitle() == QString("Tavrin: Disconnected"));
    const QStringList disconnected{"_Connect",
                                   "_Status",
                                   "_Jump to fastest",
                                   "C_hange country",
                                   "_Feedback",
                                   "Se_ttings",
                                   "E_xit"};
    QCOMPARE(item.menu("_Connect"), disconnected);
    WAIT_FOR(item.showsConnected());
    QVERIFY2(run.waitForSimLog("connect host=127.0.0.12 outcome=success"), qPrintable(run.simLog()));
    QStringList connected = disconnected;
    connected[0] = "Disconnect";
    connected[5] += " (off)";
    QCOMPARE(item.menu(), connected);
    const QMap<int, QByteArray> icon = TrayItem::iconImages(
            item.property("IconPixmap").value<QDBusArgument>());
    QCOMPARE(icon.value(22), itemImage(":/imgs/tray/tray_on.ico", 22));

    // Exit while connected: the tunnel is taken down first, then the program ends.
    QCOMPARE(item.menu("E_xit"), connected);
    QVERIFY2(waitForExit(client), "Exit from the item's menu did not end the program");
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(run.waitForSimLog("session=1 state=Disconnecting"));
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
    QVERIFY(!waitForTrayHost(50, 10));
    QVERIFY(!notifyNoTrayHost());
    QProcess *watcher = nullptr;
    VERIFY_SET_UP(run.startWatcher({"--no-host"}, &watcher));
    QVERIFY(!waitForTrayHost(50, 10));
    watcher->kill();
    QVERIFY(waitForExit(watcher));
    // The panel comes while the program looks.
    run.start(TavrinTestEnvironment::sourceDir() + "/tools/statusnotifierwatcher.py",
              {"--notifications"});
    QVERIFY(waitForTrayHost(LongPatience, 10));
    QVERIFY(notifyNoTrayHost());
}

// On Wayland, with the watcher as its tray: the window maps, auto-login connects, and Exit
// from the tray ends the program with 0.
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
    TrayItem item(run.sessionBusAddress(), waitForLine(watcher, "ITEM "));
    QVERIFY2(run.waitForSimLog("connect host=127.0.0.12 outcome=success"), qPrintable(run.simLog()));
    WAIT_FOR(item.showsConnected());
    // Mapped: a toplevel titled so, configured, with a buffer attached to its surface.
    QString protocol;
    WAIT_FOR((protocol += QString::fromLatin1(client->readAllStandardError()))
                     .contains(QRegularExpression("wl_surface@\\d+\\.attach\\(wl_buffer@")));
    QVERIFY(protocol.contains("set_title(\"Tavrin Client\")"));
    QVERIFY(protocol.contains(QRegularExpression("xdg_surface@\\d+\\.ack_configure")));
    QVERIFY(item.menu("E_xit").contains("E_xit"));
    QVERIFY2(waitForExit(client), "Exit from the tray did not end the program");
    QCOMPARE(client->exitCode(), 0);
}

// The window through the desktop's accessibility bus, as a screen reader reads it: every element
// by role and name, the chooser's rows reading their servers, and the login through the
// Connect button's press action, after which the state reads anew.
void tst_Desktop::screenReader()
{
    const QString launcher = "/usr/libexec/at-spi-bus-launcher";
    if (!QFile::exists(launcher))
        QSKIP("at-spi2-core is not installed (scripts/install-deps.sh installs it)");
    ProgramRun run;
    VERIFY_SET_UP(run.setUp(true, true, {"--connect-delay", "0"}));
    VERIFY_SET_UP(run.startSessionBus());
    run.start(launcher, {"--launch-immediately"});
    run.storeLogin(false);
    run.settings()->setValue("FavoriteServers", "Germany");
    run.settings()->sync();
    run.environment().insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    run.start();
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
}

TAVRIN_TEST_MAIN(tst_Desktop)
#include "tst_desktop.moc"
