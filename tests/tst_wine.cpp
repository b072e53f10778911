// Whole-program runs of the Windows build under Wine: the real tavrin-client.exe against the
// real Windows tavrin-sim.exe, in a Wine prefix of the test's own, on an Xvfb display with a tray
// host (trayer) and a window manager (openbox), driven with xdotool as a person would.

#include "programrun.h"

#include <QtCore/qdiriterator.h>

namespace {

const QString windowsBuild = QStringLiteral(TAVRIN_WINDOWS_BUILD_DIR);
const QString mainWindow = QStringLiteral("^Tavrin Client$");
const QPoint trayIcon(1600 - 12, 12); // trayer sits in the top right corner

QString windowsProgram(const char *path)
{
    return windowsBuild + '/' + QLatin1String(path);
}

// Ends every process of the prefix, the stand-in's too, when the run ends (declared after the
// run, so it goes first).
struct WineSession
{
    ~WineSession()
    {
        run->tool("wineserver", {"-k"});
        run->tool("wineserver", {"-w"});
    }
    ProgramRun *run;
};

} // namespace

class tst_Wine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loginSecondInstanceAndTrayExit_data();
    void loginSecondInstanceAndTrayExit();
    void serviceEnds_data();
    void serviceEnds();

private:
    void useWine(ProgramRun *run);
    QString setUp(ProgramRun *run, bool sim, const QStringList &simArguments = {});
    QProcess *startClient(ProgramRun *run, const QStringList &arguments = {})
    {
        return run->start("wine", QStringList{windowsProgram("app/tavrin-client.exe")} + arguments,
                          windowsBuild);
    }

    QTemporaryDir m_prefix{QDir::tempPath() + "/wine-prefix-XXXXXX"};
    QString m_winePath;
};

void tst_Wine::initTestCase()
{
    QString missing = missingTool({"wine", "wineserver", "wineboot", "Xvfb", "trayer", "openbox",
                                   "xdotool", "xwininfo", "xprop", "import"});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing.replace("install-deps.sh", "install-deps.sh --windows")));
    for (const char *program : {"app/tavrin-client.exe", "sim/tavrin-sim.exe", "winepath.txt"})
        QVERIFY2(QFile::exists(windowsProgram(program)), program);
    QFile winePath(windowsProgram("winepath.txt"));
    QVERIFY(winePath.open(QIODevice::ReadOnly));
    m_winePath = QString::fromLocal8Bit(winePath.readAll().trimmed());
    // The prefix is made once for the whole program; each run ends every process in it.
    ProgramRun run;
    useWine(&run);
    int exitCode = -1;
    run.tool("wineboot", {"-i"}, &exitCode);
    run.tool("wineserver", {"-w"});
    QCOMPARE(exitCode, 0);
}

void tst_Wine::useWine(ProgramRun *run)
{
    QProcessEnvironment &environment = run->environment();
    environment.insert("WINEPREFIX", m_prefix.path());
    environment.insert("WINEDEBUG", "-all");
    environment.insert("WINEDLLOVERRIDES", "mscoree,mshtml=");
    environment.insert("WINEPATH", m_winePath);
    run->setSimCommand({"wine", windowsProgram("sim/tavrin-sim.exe")});
    // The Windows program has its own platform plugin.
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("QT_XCB_GL_INTEGRATION");
}

QString tst_Wine::setUp(ProgramRun *run, bool sim, const QStringList &simArguments)
{
    useWine(run);
    const QString error = run->setUp(true, false, {}, true);
    if (!error.isEmpty())
        return error;
    // Wine's desktop process, which docks the programs' tray icons into the tray host, comes up
    // with the prefix: a tray icon added before it is ready stays an empty slot.
    int exitCode = -1;
    run->tool("wineboot", {}, &exitCode);
    if (exitCode != 0)
        return "wineboot did not start the prefix";
    return sim ? run->startSim(simArguments) : QString();
}

// At Windows' scales (LogPixels, read by every program Wine starts; 100 % last, for later runs)
// the window is larger by the scale with its outline on its very edges; a person logs in with the
// keys, a second start ends at once with 0 and leaves the first alone, and Exit from the tray
// menu (by its mnemonic) ends the program with 0.
void tst_Wine::loginSecondInstanceAndTrayExit_data()
{
    QTest::addColumn<int>("dpi");
    QTest::newRow("125 %") << 120;
    QTest::newRow("150 %") << 144;
    QTest::newRow("100 %") << 96;
}

void tst_Wine::loginSecondInstanceAndTrayExit()
{
    QFETCH(int, dpi);
    ProgramRun run;
    run.setScreenSize("1600x1200");
    const QString error = setUp(&run, true, {"--connect-delay", "50", "--disconnect-delay", "50"});
    WineSession wine{&run};
    QVERIFY2(error.isEmpty(), qPrintable(error));
    run.tool("wine", {"reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                      "REG_DWORD", "/d", QString::number(dpi), "/f"});
    run.tool("wine", {"reg", "delete", "HKCU\\Software\\Tavrin", "/f"}); // no earlier row's login
    // Wine now and then docks a program's first tray icon as an empty slot that takes no click
    // (Wine's own background, about every other fresh display here); a person would start the
    // program again, and so does the test, after ending it with Ctrl+Q.
    const QRgb emptySlot = qRgb(220, 218, 213);
    QProcess *client = nullptr;
    QString window;
    int session = 0; // the stand-in's number for the last start's link
    for (int start = 0; start < 6; ++start) {
        if (client) {
            QVERIFY(run.key("ctrl+q") && waitForExit(client));
            QCOMPARE(client->exitCode(), 0);
        }
        client = startClient(&run);
        ++session;
        window = run.waitForWindow(mainWindow);
        QVERIFY2(!window.isEmpty(), "no main window");
        QCOMPARE(run.geometry(window).size(), QSize(344, 545) * (dpi / 96.0));
        // Wine hands the window the keyboard a moment after the window manager activated it.
        QVERIFY(run.xdotool({"windowactivate", "--sync", window}));
        WAIT_FOR(run.tool("xdotool", {"getwindowfocus"}).trimmed() == window);
        if (QTest::qWaitFor([&] { return run.pixel(trayIcon + QPoint(4, -4)) != emptySlot; }, 3000))
            break;
        qInfo("Wine left the tray icon an empty slot; the program is started again");
    }
    const QString faults = outlineFaults(run.screenshot(QString("wine-scale-%1").arg(dpi)),
                                         run.geometry(window));
    QVERIFY2(faults.isEmpty(), qPrintable(faults));
    QVERIFY(run.xdotool({"type", "demo"}) && run.key("Tab") && run.xdotool({"type", "demo"})
            && run.key("Return"));
    QVERIFY2(run.waitForSimLog(QStringLiteral("TUNNEL session=%1 state=Connected ").arg(session)),
             qPrintable(run.simLog()));

    QProcess *second = startClient(&run);
    QVERIFY2(waitForExit(second), "the second instance kept running");
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(client->state(), QProcess::Running);
    QVERIFY(!run.simLog().contains(QStringLiteral("session=%1").arg(session + 1)));

    // The menu holds the keyboard once it shows; x is Exit's mnemonic. A click that comes
    // before Wine has the icon ready opens nothing: a person would click again.
    const auto menuOpens = [&] {
        const auto shown = [&] { return !run.windows("^tavrin-client$").isEmpty(); };
        return run.click(trayIcon, 3) && QTest::qWaitFor(shown, 2000);
    };
    WAIT_FOR(menuOpens());
    const bool ended = run.xdotool({"key", "x"}) && waitForExit(client);
    run.screenshot("wine-tray-exit");
    QVERIFY2(ended, "Exit from the tray menu did not end the program");
    QCOMPARE(client->exitCode(), 0);
}

// The service's two ends, each with its box under exactly its own title, then its code: none
// at start (3), and at log-on one that comes late, is waited for, then closes the link (4).
void tst_Wine::serviceEnds_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("no service") << 3;
    QTest::newRow("late service closes") << 4;
}

void tst_Wine::serviceEnds()
{
    QFETCH(int, code);
    ProgramRun run;
    const QString error = setUp(&run, false);
    WineSession wine{&run};
    QVERIFY2(error.isEmpty(), qPrintable(error));
    run.tool("wine", {"reg", "delete", "HKCU\\Software\\Tavrin", "/f"}); // asks for credentials
    QProcess *client = startClient(&run, code == 4 ? QStringList{"--autostart"} : QStringList());
    if (code == 4) {
        const auto waiting = [&] { // the log in the profile folder, named after the user
            QDirIterator logs(m_prefix.path() + "/drive_c/users", {"tavrin-client.log"},
                              QDir::Files, QDirIterator::Subdirectories);
            QFile log(logs.hasNext() ? logs.next() : QString());
            return log.open(QIODevice::ReadOnly) && log.readAll().contains("not there yet");
        };
        WAIT_FOR(waiting());
        VERIFY_SET_UP(run.startSim({"--close-after-received", "1"}));
    }
    const QString box = run.waitForWindow("^Connection error$");
    QVERIFY2(!box.isEmpty() && run.xdotool({"windowactivate", "--sync", box}), "no such box");
    WAIT_FOR(run.tool("xdotool", {"getwindowfocus"}).trimmed() == box);
    QVERIFY(run.key("Return") && waitForExit(client));
    QCOMPARE(client->exitCode(), code);
}

TAVRIN_TEST_MAIN(tst_Wine)
#include "tst_wine.moc"
