// Whole-program runs of the Windows build under Wine: the real tavrin-client.exe against the
// real Windows tavrin-sim.exe, in a Wine prefix of the test's own, on an Xvfb display with a tray
// host (trayer) and a window manager (openbox), driven with xdotool as a person would.

#include "programrun.h"

namespace {

const QString windowsBuild = QStringLiteral(TAVRIN_WINDOWS_BUILD_DIR);
const QString mainWindow = QStringLiteral("^Tavrin Client$");
const QPoint trayIcon(1024 - 12, 12); // trayer sits in the top right corner

QString windowsProgram(const char *path)
{
    return windowsBuild + '/' + QLatin1String(path);
}

// Ends every process of the prefix when the run ends (declared after the run and the stand-in,
// so it goes first).
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
    void loginSecondInstanceAndTrayExit();

private:
    void useWine(ProgramRun *run);
    QString setUp(ProgramRun *run, QTavrinSimProcess *sim, const QStringList &simArguments);
    QProcess *startClient(ProgramRun *run)
    {
        return run->start("wine", {windowsProgram("app/tavrin-client.exe")}, windowsBuild);
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
    // The Windows program has its own platform plugin.
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("QT_XCB_GL_INTEGRATION");
}

QString tst_Wine::setUp(ProgramRun *run, QTavrinSimProcess *sim, const QStringList &simArguments)
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
    sim->process()->setProcessEnvironment(run->environment());
    if (!sim->start("wine", QStringList{windowsProgram("sim/tavrin-sim.exe")} + simArguments,
                    LongPatience))
        return sim->errorString();
    run->environment().insert("TAVRIN_API_HOST", sim->apiHost());
    return QString();
}

// A person logs in with the keys, a second start ends at once with 0 and leaves the first
// alone, and Exit from the tray menu (by its mnemonic) ends the program with 0.
void tst_Wine::loginSecondInstanceAndTrayExit()
{
    ProgramRun run;
    QTavrinSimProcess sim;
    const QString error = setUp(&run, &sim, {"--connect-delay", "50", "--disconnect-delay", "50"});
    WineSession wine{&run};
    QVERIFY2(error.isEmpty(), qPrintable(error));
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
        QCOMPARE(run.geometry(window).size(), QSize(344, 545));
        // Wine hands the window the keyboard a moment after the window manager activated it.
        QVERIFY(run.xdotool({"windowactivate", "--sync", window}));
        WAIT_FOR(run.tool("xdotool", {"getwindowfocus"}).trimmed() == window);
        if (QTest::qWaitFor([&] { return run.pixel(trayIcon + QPoint(4, -4)) != emptySlot; }, 3000))
            break;
        qInfo("Wine left the tray icon an empty slot; the program is started again");
    }
    QVERIFY(run.xdotool({"type", "demo"}) && run.key("Tab") && run.xdotool({"type", "demo"})
            && run.key("Return"));
    const QRegularExpression connected(
            QStringLiteral("TUNNEL session=%1 state=Connected ").arg(session));
    QVERIFY2(QTest::qWaitFor([&] { return sim.countLines(connected) > 0; }, LongPatience),
             qPrintable(sim.lines().join('\n')));

    QProcess *second = startClient(&run);
    QVERIFY2(waitForExit(second), "the second instance kept running");
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(client->state(), QProcess::Running);
    QVERIFY(!sim.lines().join('\n').contains(QStringLiteral("session=%1").arg(session + 1)));

    // The menu opens a moment after the click and then holds the keyboard; x is Exit's
    // mnemonic. A key that came too early is lost, as a person's would be: open it again.
    const auto exitFromMenu = [&] {
        if (!run.click(trayIcon, 3))
            return false;
        QTest::qWait(500);
        return run.xdotool({"key", "x"}) && client->waitForFinished(2000);
    };
    const bool ended = QTest::qWaitFor(exitFromMenu, LongPatience);
    run.screenshot("wine-tray-exit");
    QVERIFY2(ended, "Exit from the tray menu did not end the program");
    QCOMPARE(client->exitCode(), 0);
}

TAVRIN_TEST_MAIN(tst_Wine)
#include "tst_wine.moc"
