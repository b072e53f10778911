// The real program on a desktop session: the tray as a StatusNotifierItem on a private session
// bus (the stand-in watcher of tools/ in place of a panel), the tray wait at log-on, the
// notification when no tray comes, and a run on a headless Wayland compositor.

#include "app/tavrintrayhost.h"
#include "programrun.h"
#include "service/tavrincredentials.h"

#include <QtDBus/qdbusargument.h>
#include <QtDBus/qdbusconnection.h>
#include <QtDBus/qdbusextratypes.h>
#include <QtDBus/qdbusmessage.h>
#include <QtGui/qicon.h>

namespace {

using ProgramRunLimits::longWait;

// The test's own connection to the run's session bus, and the tray item the client registered.
class TrayItem
{
public:
    TrayItem(const QString &address, const QByteArray &watcherLine)
        : m_bus(QDBusConnection::connectToBus(address, "tst_desktop"))
    {
        const QString item = QString::fromLatin1(watcherLine.trimmed().mid(5)); // "ITEM "
        m_service = item.section('/', 0, 0);
        m_path = '/' + item.section('/', 1);
    }
    ~TrayItem() { QDBusConnection::disconnectFromBus("tst_desktop"); }

    QVariant property(const char *name, const QString &interface = "org.kde.StatusNotifierItem")
    {
        return call(m_path, "org.freedesktop.DBus.Properties", "Get", {interface, name})
                .value(0)
                .value<QDBusVariant>()
                .variant();
    }
    QString toolTipTitle()
    {
        // (icon name, icon images, title, text)
        const QDBusArgument tip = property("ToolTip").value<QDBusArgument>();
        QString icon, title, text;
        tip.beginStructure();
        tip >> icon;
        iconImages(tip);
        tip >> title >> text;
        tip.endStructure();
        return title;
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
    // The top entries of the item's menu: their labels, "(off)" after a disabled one.
    QStringList menu(QList<int> *ids = nullptr)
    {
        const QString path = property("Menu").value<QDBusObjectPath>().path();
        const QVariantList reply = call(path, "com.canonical.dbusmenu", "GetLayout",
                                        {0, -1, QStringList()});
        const QDBusArgument layout = reply.value(1).value<QDBusArgument>();
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
            entries.append(properties.value("label").toString()
                           + (properties.value("enabled", true).toBool() ? "" : " (off)"));
            if (ids)
                ids->append(id);
        }
        layout.endArray();
        layout.endStructure();
        return entries;
    }
    // Clicks the top entry of the menu with the label given.
    bool click(const QString &label)
    {
        QList<int> ids;
        const QStringList entries = menu(&ids);
        for (int i = 0; i < entries.size(); ++i) {
            if (entries.at(i) == label) {
                const QString path = property("Menu").value<QDBusObjectPath>().path();
                call(path, "com.canonical.dbusmenu", "Event",
                     {ids.at(i), "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
                return true;
            }
        }
        return false;
    }

private:
    QVariantList call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(m_service, path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, longWait).arguments();
    }

    QDBusConnection m_bus;
    QString m_service;
    QString m_path;
};

// Waits for a line of the watcher that starts with the prefix given.
QByteArray waitForLine(QProcess *watcher, const QByteArray &prefix, int *count = nullptr)
{
    QByteArray found;
    (void) QTest::qWaitFor(
            [&] {
                while (found.isEmpty() && watcher->canReadLine()) {
                    const QByteArray line = watcher->readLine();
                    if (line.startsWith(prefix) && (!count || --*count == 0))
                        found = line;
                }
                return !found.isEmpty();
            },
            longWait);
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

// The client's elements as the desktop's accessibility bus shows them to a screen reader.
class AccessibilityTree
{
public:
    struct Node
    {
        QString service;
        QString path;
        QString text; // "<role>|<name>"
    };

    explicit AccessibilityTree(const QString &sessionAddress)
    {
        QDBusConnection session = QDBusConnection::connectToBus(sessionAddress, "tst_a11y-s");
        const QDBusMessage reply = session.call(
                QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                                               "GetAddress"));
        m_bus = QDBusConnection::connectToBus(reply.arguments().value(0).toString(), "tst_a11y");
    }
    ~AccessibilityTree()
    {
        QDBusConnection::disconnectFromBus("tst_a11y");
        QDBusConnection::disconnectFromBus("tst_a11y-s");
    }

    // Every element below the desktop's root.
    QList<Node> nodes()
    {
        QList<Node> found;
        walk("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root", &found);
        return found;
    }
    QStringList texts()
    {
        QStringList texts;
        for (const Node &node : nodes())
            texts += node.text;
        return texts;
    }
    // Runs the element's action of that name.
    bool act(const QString &text, const QString &action)
    {
        for (const Node &node : nodes()) {
            if (node.text != text)
                continue;
            const int count = call(node, "org.freedesktop.DBus.Properties", "Get",
                                   {"org.a11y.atspi.Action", "NActions"})
                                      .value(0)
                                      .value<QDBusVariant>()
                                      .variant()
                                      .toInt();
            for (int i = 0; i < count; ++i) {
                if (call(node, "org.a11y.atspi.Action", "GetName", {i}).value(0) == action)
                    return call(node, "org.a11y.atspi.Action", "DoAction", {i}).value(0).toBool();
            }
        }
        return false;
    }

private:
    QVariantList call(const Node &node, const QString &interface, const QString &method,
                      const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, interface,
                                                              method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, longWait).arguments();
    }
    void walk(const QString &service, const QString &path, QList<Node> *found)
    {
        Node node{service, path, QString()};
        const QString accessible = "org.a11y.atspi.Accessible";
        node.text = call(node, accessible, "GetRoleName").value(0).toString() + '|'
                    + call(node, "org.freedesktop.DBus.Properties", "Get", {accessible, "Name"})
                              .value(0)
                              .value<QDBusVariant>()
                              .variant()
                              .toString();
        found->append(node);
        const QDBusArgument children
                = call(node, accessible, "GetChildren").value(0).value<QDBusArgument>();
        QList<Node> below;
        children.beginArray();
        while (!children.atEnd()) {
            QString childService;
            QDBusObjectPath childPath;
            children.beginStructure();
            children >> childService >> childPath;
            children.endStructure();
            below.append({childService, childPath.path(), QString()});
        }
        children.endArray();
        for (const Node &child : below)
            walk(child.service, child.path, found);
    }

    QDBusConnection m_bus{QString()};
};

void storeLogin(ProgramRun &run, bool autoLogin)
{
    QSettings *settings = run.settings();
    settings->setValue("Connection Name", "Germany");
    settings->setValue("Connection Code", "DE");
    settings->setValue("Connection Hostname", "127.0.0.12");
    settings->setValue("Creditentials", encodeUserPass("demo", "demo"));
    settings->setValue("AutoLogin", autoLogin);
    settings->sync();
}

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
    for (const char *name : {"Xvfb", "trayer", "dbus-daemon", "weston"}) {
        if (toolPath(name).isEmpty())
            QSKIP(qPrintable(QString("%1 is not installed (scripts/install-deps.sh installs it)")
                                     .arg(QLatin1String(name))));
    }
}

// The tray on a desktop without an XEmbed tray: an item on the session bus whose tool tip,
// icon and menu follow the state, and whose menu works.
void tst_Desktop::statusNotifierItem()
{
    ProgramRun run;
    QProcess *watcher = nullptr;
    QString error = run.setUp(false, true, {"--connect-delay", "50"});
    if (error.isEmpty())
        error = run.startSessionBus();
    if (error.isEmpty())
        error = run.startWatcher({}, &watcher);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    storeLogin(run, false);
    QProcess *client = run.start();
    TrayItem item(run.sessionBusAddress(), waitForLine(watcher, "ITEM "));
    QTRY_COMPARE_WITH_TIMEOUT(item.toolTipTitle(), QString("Tavrin: Disconnected"), longWait);
    const QStringList disconnected{"_Connect",
                                   "_Status",
                                   "_Jump to fastest",
                                   "C_hange country",
                                   "_Feedback",
                                   "Se_ttings",
                                   "E_xit"};
    QCOMPARE(item.menu(), disconnected);

    QVERIFY(item.click("_Connect"));
    QTRY_COMPARE_WITH_TIMEOUT(item.toolTipTitle(), QString("Tavrin: Connected to Germany"),
                              longWait);
    QVERIFY2(run.waitForSimLog("connect host=127.0.0.12 outcome=success"), qPrintable(run.simLog()));
    QStringList connected = disconnected;
    connected[0] = "Disconnect";
    connected[5] += " (off)";
    QCOMPARE(item.menu(), connected);
    const QMap<int, QByteArray> icon = TrayItem::iconImages(
            item.property("IconPixmap").value<QDBusArgument>());
    QCOMPARE(icon.value(22), itemImage(":/imgs/tray/tray_on.ico", 22));

    // Exit while connected: the tunnel is taken down first, then the program ends.
    QVERIFY(item.click("E_xit"));
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
    QString error = run.setUp(false, true);
    if (error.isEmpty())
        error = run.startSessionBus();
    if (error.isEmpty())
        error = run.startWatcher({"--no-host", "--notifications"}, &watcher);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    QProcess *byHand = run.start();
    QVERIFY(waitForExit(byHand));
    QCOMPARE(byHand->exitCode(), 1);
    QCOMPARE(byHand->readAllStandardOutput(),
             QByteArray("Systray is not supported by this operating system.\n"));
    QVERIFY(waitForLine(watcher, "NOTIFY Tavrin Client needs a system tray|").size() > 0);

    QProcess *atLogOn = run.start(TavrinTestEnvironment::clientProgram(), {"--autostart"});
    int polls = 3; // it keeps looking
    QVERIFY(!waitForLine(watcher, "GET IsStatusNotifierHostRegistered", &polls).isEmpty());
    QCOMPARE(atLogOn->state(), QProcess::Running);
    QVERIFY(!run.simLog().contains("session=2"));
    QVERIFY2(run.startTrayHost().isEmpty(), "no tray host came up");
    QVERIFY2(!run.waitForWindow("^Tavrin Client$").isEmpty(), "no window once the tray came");
    QVERIFY(run.waitForSimLog("SVC CLIENT session=1 connected"));
    QCOMPARE(atLogOn->state(), QProcess::Running);
}

// In-process: the look for a tray host asks the bus again each time, so a panel that comes up
// while the program waits is found; the notification goes to whoever serves notifications.
void tst_Desktop::trayHostLookedForAgain()
{
    ProgramRun run;
    QVERIFY2(run.startSessionBus().isEmpty(), "no session bus");
    qputenv("DBUS_SESSION_BUS_ADDRESS", run.sessionBusAddress().toLatin1());
    QVERIFY(!waitForTrayHost(50, 10));
    QVERIFY(!notifyNoTrayHost());
    QProcess *watcher = nullptr;
    QVERIFY(run.startWatcher({"--no-host"}, &watcher).isEmpty());
    QVERIFY(!waitForTrayHost(50, 10));
    watcher->kill();
    QVERIFY(waitForExit(watcher));

    // The panel comes while the program looks.
    run.start(TavrinTestEnvironment::sourceDir() + "/tools/statusnotifierwatcher.py",
              {"--notifications"});
    QVERIFY(waitForTrayHost(longWait, 10));
    QVERIFY(notifyNoTrayHost());
}

// On Wayland, with the watcher as its tray: the window maps, auto-login connects, and Exit
// from the tray ends the program with 0.
void tst_Desktop::wayland()
{
    ProgramRun run;
    QProcess *watcher = nullptr;
    QString error = run.startWayland();
    if (error.isEmpty())
        error = run.startSessionBus();
    if (error.isEmpty())
        error = run.startWatcher({}, &watcher);
    if (error.isEmpty())
        error = run.startSim({"--connect-delay", "50"});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    storeLogin(run, true);
    run.environment().insert("WAYLAND_DEBUG", "client");
    QProcess *client = run.start();
    TrayItem item(run.sessionBusAddress(), waitForLine(watcher, "ITEM "));
    QVERIFY2(run.waitForSimLog("connect host=127.0.0.12 outcome=success"), qPrintable(run.simLog()));
    QTRY_COMPARE_WITH_TIMEOUT(item.toolTipTitle(), QString("Tavrin: Connected to Germany"),
                              longWait);
    // Mapped: a toplevel titled so, configured, with a buffer attached to its surface.
    const QString protocol = QString::fromLatin1(client->readAllStandardError());
    QVERIFY(protocol.contains("set_title(\"Tavrin Client\")"));
    QVERIFY(protocol.contains(QRegularExpression("xdg_surface@\\d+\\.ack_configure")));
    QVERIFY(protocol.contains(QRegularExpression("wl_surface@\\d+\\.attach\\(wl_buffer@")));
    QVERIFY(item.click("E_xit"));
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
    QString error = run.setUp(true, true, {"--connect-delay", "50"});
    if (error.isEmpty())
        error = run.startSessionBus();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    run.start(launcher, {"--launch-immediately"});
    storeLogin(run, false);
    run.settings()->setValue("FavoriteServers", "Germany");
    run.settings()->sync();
    run.environment().insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    run.start();
    QVERIFY(!run.waitForWindow("^Tavrin Client$").isEmpty());
    AccessibilityTree tree(run.sessionBusAddress());
    QStringList texts;
    QTRY_VERIFY_WITH_TIMEOUT(!(texts = tree.texts())
                                      .filter(QRegularExpression("^list item\\|Germany, favourite"))
                                      .isEmpty(),
                             longWait);
    for (const char *text :
         {"text|Username", "text|Password", "push button|Connect", "push button|Settings",
          "push button|Minimise", "push button|Hide to tray", "check box|Auto Start",
          "check box|Auto Login", "chart|Bandwidth", "combo box|Connect, Germany",
          "label|VPN connection is disconnected."})
        QVERIFY2(texts.contains(text), text);

    QVERIFY(tree.act("push button|Connect", "Press"));
    QVERIFY2(run.waitForSimLog("connect host=127.0.0.12 outcome=success"), qPrintable(run.simLog()));
    QTRY_VERIFY_WITH_TIMEOUT((texts = tree.texts()).contains("push button|Disconnect - Germany"),
                             longWait);
    QVERIFY(texts.contains("label|VPN connection is connected to Germany."));
}

TAVRIN_TEST_MAIN(tst_Desktop)
#include "tst_desktop.moc"
