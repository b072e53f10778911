// The real program on a desktop session with a private session bus (the stand-in watcher of
// tools/ in place of a panel): the tray wait at log-on, the notification when no tray comes, and
// a run on a headless Wayland compositor.

#include "app/tavrintrayhost.h"
#include "programrun.h"
#include "tavrintesttrayitem_unix.h"

#include <QtDBus/QtDBus>

class tst_Desktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void trayWaitAtLogOn();
    void trayHostLookedForAgain();
    void wayland();
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

TAVRIN_TEST_MAIN(tst_Desktop)
#include "tst_desktop.moc"
