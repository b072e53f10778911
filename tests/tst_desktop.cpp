// The real program on a desktop session with a private session bus (the stand-in watcher of
// tools/ in place of a panel): the tray wait at log-on and the notification when no tray comes.

#include "programrun.h"

class tst_Desktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString missing = missingTool({"Xvfb", "dbus-daemon"});
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
    }
    void trayWaitAtLogOn();
};

// Started by hand without a tray, the program ends at once and tells the user through the
// desktop's notifications. Started from the log-on entry before the panel and the service, it
// asks the bus again and again, finds the panel that comes, then waits for the service and runs.
void tst_Desktop::trayWaitAtLogOn()
{
    ProgramRun run;
    QProcess *watcher = nullptr;
    VERIFY_SET_UP(run.setUp(false, false));
    VERIFY_SET_UP(run.startSessionBus());
    VERIFY_SET_UP(run.startWatcher({"--no-host", "--notifications"}, &watcher));
    QProcess *byHand = run.start();
    QVERIFY(waitForExit(byHand));
    QCOMPARE(byHand->exitCode(), 1);
    QCOMPARE(byHand->readAllStandardOutput(),
             QByteArray("Systray is not supported by this operating system.\n"));
    QVERIFY(!waitForLine(watcher, "NOTIFY Tavrin Client needs a system tray|").isEmpty());

    QProcess *atLogOn = run.start(TavrinTestEnvironment::clientProgram(), {"--autostart"});
    QVERIFY(!waitForLine(watcher, "GET IsStatusNotifierHostRegistered", 2).isEmpty());
    QCOMPARE(atLogOn->state(), QProcess::Running);
    watcher->kill();
    QVERIFY(waitForExit(watcher));
    VERIFY_SET_UP(run.startWatcher({}, &watcher)); // now with a panel as its host
    WAIT_FOR(TavrinTestEnvironment::logEntries(run.home() + "/tavrin-client.log")
                     .join('\n')
                     .contains("not there yet"));
    VERIFY_SET_UP(run.startSim({}));
    QVERIFY2(!run.waitForWindow("^Tavrin Client$").isEmpty(), "no window once the tray came");
    QVERIFY(run.waitForSimLog("SVC CLIENT session=1 connected"));
    QCOMPARE(atLogOn->state(), QProcess::Running);
}

TAVRIN_TEST_MAIN(tst_Desktop)
#include "tst_desktop.moc"
