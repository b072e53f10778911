// Whole-program tests: the real tavrin-client, started from a working folder with its Fonts, on
// its own Xvfb display with a tray host (trayer) and, where wanted, a real tavrin-sim on the
// run's own TMPDIR and a loopback port. Every run has its own home, config, runtime and temp
// folders; every process started is ended with the run, even on failure. A screenshot of each
// run is kept in the test artifact folder.

#include "service/tavrincredentials.h"
#include "base/tavrindeployment.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qprocess.h>
#include <QtCore/qregularexpression.h>
#include <QtCore/qsettings.h>
#include <QtCore/qstandardpaths.h>
#include <QtCore/qtemporarydir.h>
#include <QtGui/qimage.h>
#include <QtTest/qtest.h>

namespace {

const int longWait = 60000; // generous: a loaded machine, sanitizer builds
const QString mainWindow = "^Tavrin Client$";

QString toolPath(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

QStringList words(const QString &text)
{
    return text.split(' ', Qt::SkipEmptyParts);
}

QString buildPath(const char *path)
{
    return TavrinTestEnvironment::buildDir() + QLatin1String(path);
}

// One run of the real programs: an isolated home, an X server, and what runs on it.
class ProgramRun
{
public:
    ProgramRun();
    ~ProgramRun();

    // Starts Xvfb, then the window manager, the tray host and tavrin-sim as asked; the reason
    // when one failed.
    QString setUp(bool trayHost, bool sim, const QStringList &simArguments = {},
                  bool windowManager = false);
    QProcess *startClient(const QString &workingFolder = TavrinTestEnvironment::buildDir())
    {
        return launch(TavrinTestEnvironment::clientProgram(), {}, workingFolder);
    }
    QProcess *startProgram(const QString &program)
    {
        return launch(program, {}, TavrinTestEnvironment::buildDir());
    }
    QString configFile() const { return m_root.path() + "/home/.config/Tavrin/Tavrin.conf"; }

    // Runs a short tool on the display: its standard output; exitCode -1 when it failed.
    QByteArray tool(const QString &program, const QStringList &arguments, int *exitCode = nullptr);
    bool xdotool(const QStringList &arguments);
    bool click(const QPoint &point, int button = 1)
    {
        return xdotool({"mousemove", QString::number(point.x()), QString::number(point.y()),
                        "click", QString::number(button)});
    }
    bool key(const QString &keys) { return xdotool({"key", "--clearmodifiers", keys}); }
    // Visible windows by title pattern, or of a process with "--pid".
    QStringList windows(const QString &title, const QString &pid = QString());
    QString waitForWindow(const QString &title);
    QRect geometry(const QString &windowId);
    QImage screenshot(const QString &name);
    bool waitForSimLog(const QString &pattern, int count = 1);
    QString simLog() const { return QString::fromLocal8Bit(m_simLog); }

private:
    QProcess *launch(const QString &program, const QStringList &arguments,
                     const QString &workingFolder = QString());

    QTemporaryDir m_root;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QList<QProcess *> m_processes;
    QProcess *m_sim = nullptr;
    QByteArray m_simLog;
};

ProgramRun::ProgramRun()
    : m_root(QDir::tempPath() + "/program-run-XXXXXX")
{
    for (const QString &folder : words("HOME=/home XDG_CONFIG_HOME=/home/.config TMPDIR=/tmp "
                                       "XDG_DATA_HOME=/home/.local/share XDG_RUNTIME_DIR=/run "
                                       "XDG_CACHE_HOME=/home/.cache")) {
        const QString path = m_root.path() + folder.section('=', 1);
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_environment.insert(folder.section('=', 0, 0), path);
    }
    m_environment.insert("QT_QPA_PLATFORM", "xcb");
    m_environment.insert("QT_XCB_GL_INTEGRATION", "none");
    // libxkbcommon-x11 hands strndup() names that end at the given length without a NUL, which
    // strict string checks of a sanitizer build take for an overflow.
    const QString asan = m_environment.value("ASAN_OPTIONS");
    if (!asan.isEmpty())
        m_environment.insert("ASAN_OPTIONS", asan + ":strict_string_checks=0");
    // Nothing of the user's desktop session may leak into the run.
    for (const QString &name : words("DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS "
                                     "QT_QPA_PLATFORMTHEME SESSION_MANAGER TAVRIN_API_HOST "
                                     "TAVRIN_SITE_HOST"))
        m_environment.remove(name);
}

ProgramRun::~ProgramRun()
{
    // Newest first: the client before the sim, the tray host before the X server.
    for (int i = m_processes.size() - 1; i >= 0; --i) {
        QProcess *process = m_processes.at(i);
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(10000)) {
                process->kill();
                process->waitForFinished(10000);
            }
        }
        delete process;
    }
}

QProcess *ProgramRun::launch(const QString &program, const QStringList &arguments,
                             const QString &workingFolder)
{
    auto *process = new QProcess;
    m_processes.append(process);
    process->setProcessEnvironment(m_environment);
    process->setWorkingDirectory(workingFolder);
    process->start(program, arguments);
    process->waitForStarted(longWait);
    return process;
}

QString ProgramRun::setUp(bool trayHost, bool sim, const QStringList &simArguments,
                          bool windowManager)
{
    if (!m_root.isValid())
        return "no temporary folder";
    // Xvfb picks a free display and writes its number once it is ready; -noreset keeps it up
    // when its first client goes; -br gives a black root window.
    QProcess *server
            = launch(toolPath("Xvfb"),
                     words("-displayfd 1 -noreset -nolisten tcp -screen 0 1024x768x24 -br"));
    QTest::qWaitFor(
            [server] { return server->canReadLine() || server->state() != QProcess::Running; },
            longWait);
    bool ok = false;
    const int display = server->readLine().trimmed().toInt(&ok);
    if (!ok)
        return "Xvfb did not report a display: "
               + QString::fromLocal8Bit(server->readAllStandardError());
    m_environment.insert("DISPLAY", QString(":%1").arg(display));

    if (windowManager) {
        launch(toolPath("openbox"), {"--sm-disable"});
        if (!QTest::qWaitFor(
                    [this] {
                        return tool(toolPath("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"})
                                .contains("window id");
                    },
                    longWait))
            return "openbox did not come up";
    }

    if (trayHost) {
        launch(toolPath("trayer"),
               words("--edge top --align right --widthtype request --height 24"));
        int exitCode = -1;
        tool(buildPath("/tools/traywait"), {QString::number(longWait / 1000)}, &exitCode);
        if (exitCode != 0)
            return "no tray host came up";
    }
    if (!sim)
        return QString();
    m_sim = launch(TavrinTestEnvironment::simProgram(), QStringList{"--port", "0"} + simArguments);
    m_sim->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(m_sim, &QProcess::readyReadStandardOutput,
                     [this] { m_simLog += m_sim->readAllStandardOutput(); });
    QTest::qWaitFor([this] { return m_simLog.contains('\n') || m_sim->state() != QProcess::Running; },
                    longWait);
    const QRegularExpressionMatch port = QRegularExpression("^PORT (\\d+)\n").match(simLog());
    if (!port.hasMatch())
        return "tavrin-sim did not report its port: " + simLog();
    m_environment.insert("TAVRIN_API_HOST", "127.0.0.1:" + port.captured(1));
    return QString();
}

QByteArray ProgramRun::tool(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(longWait);
    if (!finished) {
        process.kill();
        process.waitForFinished(10000);
    }
    if (exitCode)
        *exitCode = finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode()
                                                                             : -1;
    return finished ? process.readAllStandardOutput() : QByteArray();
}

bool ProgramRun::xdotool(const QStringList &arguments)
{
    int exitCode = -1;
    tool(toolPath("xdotool"), arguments, &exitCode);
    return exitCode == 0;
}

QStringList ProgramRun::windows(const QString &title, const QString &pid)
{
    const QStringList how = pid.isEmpty() ? QStringList{"--name", title}
                                          : QStringList{"--pid", pid};
    const QByteArray out = tool(toolPath("xdotool"), QStringList{"search", "--onlyvisible"} + how);
    return QString::fromLatin1(out).split('\n', Qt::SkipEmptyParts);
}

QString ProgramRun::waitForWindow(const QString &title)
{
    QString found;
    QTest::qWaitFor([&] { return !(found = windows(title).value(0)).isEmpty(); }, longWait);
    return found;
}

QRect ProgramRun::geometry(const QString &windowId)
{
    const QString info = QString::fromLatin1(tool(toolPath("xwininfo"), {"-id", windowId}));
    const auto value = [&info](const char *label) {
        return QRegularExpression(QLatin1String(label) + ":\\s+(-?\\d+)")
                .match(info)
                .captured(1)
                .toInt();
    };
    return QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
                 value("Height"));
}

QImage ProgramRun::screenshot(const QString &name)
{
    QString fileName = name;
    fileName.replace(QRegularExpression("[^A-Za-z0-9_-]+"), "-");
    const QString path = TavrinTestEnvironment::artifactDir() + "/program-" + fileName + ".png";
    tool(toolPath("import"), {"-window", "root", path});
    return QImage(path);
}

bool ProgramRun::waitForSimLog(const QString &pattern, int count)
{
    const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
    return QTest::qWaitFor([&] { return simLog().count(expression) >= count; }, longWait);
}

bool waitForExit(QProcess *process)
{
    return process->state() == QProcess::NotRunning || process->waitForFinished(longWait);
}

} // namespace

class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startupEnds_data();
    void startupEnds();
    void secondInstanceEndsAtOnce();
    void autoLoginConnectsAndStoresCredentials();
    void windowAndTray();
    void loginHideAndRestore();
    void chooserWithTheMouse();
};

void tst_Program::initTestCase()
{
    for (const char *name : {"Xvfb", "trayer", "xdotool", "xwininfo", "import"}) {
        if (toolPath(name).isEmpty())
            QSKIP(qPrintable(QString("%1 is not installed (scripts/install-deps.sh installs it)")
                                     .arg(QLatin1String(name))));
    }
    QVERIFY2(!TavrinTestEnvironment::clientProgram().isEmpty(), "tavrin-client is not built");
    QVERIFY2(!TavrinTestEnvironment::simProgram().isEmpty(), "tavrin-sim is not built");
    QVERIFY2(QFile::exists(buildPath("/tools/traywait")), "tools/traywait is not built");
    QVERIFY2(!QDir(buildPath("/Fonts")).entryList({"*.ttf"}).isEmpty(), "the build has no Fonts");
}

void tst_Program::startupEnds_data()
{
    QTest::addColumn<bool>("trayHost");
    QTest::addColumn<bool>("damagedFonts");
    QTest::addColumn<QStringList>("simArguments"); // empty: no service listens
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("no tray host") << false << false << QStringList()
                                  << QByteArray(
                                             "Systray is not supported by this operating system.\n")
                                  << 1;
    QTest::newRow("damaged font")
            << true << true << QStringList()
            << QByteArray("Error registering font b\nError while registering fonts.\n") << 2;
    // These two end after the "Connection error" box.
    QTest::newRow("no service") << true << false << QStringList() << QByteArray() << 3;
    QTest::newRow("service closes the link")
            << true << false << QStringList{"--close-after-seconds", "2"} << QByteArray() << 4;
}

void tst_Program::startupEnds()
{
    QFETCH(bool, trayHost);
    QFETCH(bool, damagedFonts);
    QFETCH(QStringList, simArguments);
    QFETCH(QByteArray, output);
    QFETCH(int, exitCode);
    ProgramRun run;
    const QString error = run.setUp(trayHost, !simArguments.isEmpty(), simArguments);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // A Fonts folder with a good font, a file that is no font, and another good font.
    QTemporaryDir fontsDir;
    if (damagedFonts) {
        const QString fonts = fontsDir.filePath("Fonts");
        const QString source = buildPath("/Fonts/")
                               + QDir(buildPath("/Fonts")).entryList({"*.ttf"}).value(0);
        QFile junk(fonts + "/b.ttf");
        QVERIFY(QDir().mkpath(fonts) && QFile::copy(source, fonts + "/a.ttf")
                && QFile::copy(source, fonts + "/c.ttf") && junk.open(QIODevice::WriteOnly)
                && junk.write(QByteArray(2048, 'Z')) == 2048);
    }
    QProcess *client = run.startClient(damagedFonts ? fontsDir.path()
                                                    : TavrinTestEnvironment::buildDir());
    QVERIFY2(client->error() != QProcess::FailedToStart, "tavrin-client did not start");
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    if (exitCode >= 3) {
        const QString box = run.waitForWindow("^Connection error");
        QVERIFY2(!box.isEmpty(), "no \"Connection error\" box");
        // The box holds the program until it is dismissed; without a service the window is
        // never shown.
        QCOMPARE(client->state(), QProcess::Running);
        if (exitCode == 3) {
            QVERIFY(run.windows(mainWindow).isEmpty());
            // In the middle of the screen, where the window would have opened.
            const QPoint offset = run.geometry(box).center() - QPoint(512, 384);
            QVERIFY2(offset.manhattanLength() < 100,
                     qPrintable(QString("%1,%2").arg(offset.x()).arg(offset.y())));
        }
        run.screenshot(tag);
        // There is no window manager: give the box the focus, then press its button.
        QVERIFY(run.xdotool({"windowfocus", box}) && run.xdotool({"key", "Return"}));
    }
    QVERIFY2(waitForExit(client), "tavrin-client did not end");
    if (exitCode < 3)
        run.screenshot(tag);
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), exitCode);
    QCOMPARE(client->readAllStandardOutput(), output);
    if (!simArguments.isEmpty())
        QVERIFY2(run.waitForSimLog("SVC CLOSE session=1"), qPrintable(run.simLog()));
}

void tst_Program::secondInstanceEndsAtOnce()
{
    ProgramRun run;
    const QString error = run.setUp(true, true);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QProcess *first = run.startClient();
    QVERIFY2(!run.waitForWindow(mainWindow).isEmpty(), "no main window");

    // The program has one identity, whatever name it is started under.
    QTemporaryDir links;
    const QString link = links.filePath("another-name");
    QVERIFY(QFile::link(TavrinTestEnvironment::clientProgram(), link));
    QProcess *second = run.startProgram(link);
    QVERIFY2(waitForExit(second), "the second instance kept running");
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(second->readAllStandardOutput(), QByteArray());
    // The first instance goes on untouched, with its one window; only it reached the service.
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(run.windows(mainWindow).size(), 1);
    QVERIFY(!run.simLog().contains("session=2"));
    run.screenshot("second-instance");

    // An instance that dies leaves its lock behind; the next one takes it over and runs.
    first->kill();
    QVERIFY(waitForExit(first));
    QVERIFY2(run.waitForSimLog("SVC CLIENT session=1 disconnected"), qPrintable(run.simLog()));
    QProcess *third = run.startClient();
    QVERIFY2(run.waitForSimLog("SVC CLIENT session=2 connected"), qPrintable(run.simLog()));
    QVERIFY2(!run.waitForWindow(mainWindow).isEmpty(), "no main window after the first died");
    QCOMPARE(third->state(), QProcess::Running);
}

void tst_Program::autoLoginConnectsAndStoresCredentials()
{
    ProgramRun run;
    const QString error = run.setUp(true, true, {"--bandwidth-interval", "300"});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // Stored credentials as a byte array: the program reads them as text and, once connected,
    // stores them again as plain text, which shows in the file.
    const QByteArray credentials = encodeUserPass("demo", "demo");
    QVERIFY(!credentials.isEmpty());
    {
        QSettings seed(run.configFile(), QSettings::IniFormat);
        seed.setValue("AutoLogin", true);
        seed.setValue("Creditentials", credentials);
    }
    const auto storedAsBytes = [&run] {
        QFile file(run.configFile());
        return file.open(QIODevice::ReadOnly) && file.readAll().contains("@ByteArray(");
    };
    QVERIFY(storedAsBytes());

    QProcess *client = run.startClient();
    const QString connect = "TUNNEL session=1 connect host="
                            + QRegularExpression::escape(tavrinAutoHostname()) + " outcome=success";
    QVERIFY2(run.waitForSimLog(connect), qPrintable(run.simLog()));
    QVERIFY2(run.waitForSimLog("TUNNEL session=1 state=Connected "), qPrintable(run.simLog()));
    QVERIFY2(run.waitForSimLog("TUNNEL session=1 bandwidth ", 3), qPrintable(run.simLog()));
    QVERIFY2(!run.waitForWindow(mainWindow).isEmpty(), "no main window");

    QTRY_VERIFY_WITH_TIMEOUT(!storedAsBytes(), longWait);
    QSettings stored(run.configFile(), QSettings::IniFormat);
    QString username, password;
    QVERIFY(decodeUserPass(stored.value("Creditentials").toString(), username, password));
    QCOMPARE(username, "demo");
    QCOMPARE(password, "demo");
    QCOMPARE(stored.value("AutoLogin").toBool(), true);
    run.screenshot("auto-login-connected");
    QCOMPARE(client->state(), QProcess::Running);
}

void tst_Program::windowAndTray()
{
    ProgramRun run;
    const QString error = run.setUp(true, true);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QProcess *client = run.startClient();
    const QString window = run.waitForWindow(mainWindow);
    QVERIFY2(!window.isEmpty(), "no main window");
    const QRect geometry = run.geometry(window);
    QCOMPARE(geometry.size(), QSize(344, 545));
    QVERIFY(QRect(0, 0, 1024, 768).contains(geometry));

    // The corners outside the rounded outline show the black root window; inside is the window,
    // which reaches its very edge between the corners.
    const auto isRoot = [](const QImage &image, const QPoint &point) {
        return image.pixel(point) == qRgb(0, 0, 0);
    };
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                shot = run.screenshot("window");
                if (shot.isNull() || isRoot(shot, geometry.center()))
                    return false;
                for (const QPoint &corner : {geometry.topLeft(), geometry.topRight(),
                                             geometry.bottomLeft(), geometry.bottomRight()}) {
                    if (!isRoot(shot, corner))
                        return false;
                }
                return true;
            }(),
            longWait);
    QVERIFY(!isRoot(shot, QPoint(geometry.center().x(), geometry.bottom())));
    QVERIFY(!isRoot(shot, QPoint(geometry.left(), geometry.center().y())));

    // The title bar's close button (the right one) hides the window; the program goes on.
    const auto click = [&run](const QPoint &point, int button) {
        return run.xdotool({"mousemove", QString::number(point.x()), QString::number(point.y()),
                            "click", QString::number(button)});
    };
    QVERIFY(click(geometry.topRight() + QPoint(-15, 14), 1));
    QTRY_VERIFY_WITH_TIMEOUT(run.windows(mainWindow).isEmpty(), longWait);
    QCOMPARE(client->state(), QProcess::Running);

    // The tray host sits in the top right corner and holds only our icon: a click shows the
    // window again.
    const QPoint trayIcon(1024 - 12, 12);
    QVERIFY(click(trayIcon, 1));
    QVERIFY2(!run.waitForWindow(mainWindow).isEmpty(), "the tray icon did not show the window");
    run.screenshot("shown-from-tray");

    // Exit from the tray menu (its mnemonic) while disconnected ends the program normally. The
    // menu is one more window of the program; it holds the keyboard while open.
    const QString pid = QString::number(client->processId());
    const int windowsBefore = run.windows(QString(), pid).size();
    QVERIFY(click(trayIcon, 3));
    QTRY_VERIFY_WITH_TIMEOUT(run.windows(QString(), pid).size() > windowsBefore, longWait);
    QVERIFY(run.xdotool({"key", "x"}));
    QVERIFY2(waitForExit(client), "Exit from the tray menu did not end the program");
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), 0);
}

// Logging in with Enter, then Escape and the window manager's close (Alt+F4 under openbox) while
// connected: the window goes to the tray, the tunnel stays up. A click on the tray icon brings
// the window back, also when it was minimised.
void tst_Program::loginHideAndRestore()
{
    ProgramRun run;
    const QString error = run.setUp(true, true, {"--connect-delay", "50"}, true);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QProcess *client = run.startClient();
    const QString window = run.waitForWindow(mainWindow);
    QVERIFY2(!window.isEmpty(), "no main window");
    const QPoint origin = run.geometry(window).topLeft();
    const QPoint trayIcon(1024 - 12, 12);
    // What the window manager made of the window: the next step waits until it is done.
    const auto wmState = [&] {
        const QByteArray state = run.tool(toolPath("xprop"), {"-id", window, "WM_STATE"});
        return state.contains("Normal") ? "normal" : state.contains("Iconic") ? "iconic" : "gone";
    };

    // The fields' places in the fixed layout of the login page.
    QVERIFY(run.click(origin + QPoint(150, 271)) && run.xdotool({"type", "demo"}));
    QVERIFY(run.click(origin + QPoint(150, 334)) && run.xdotool({"type", "demo"}));
    QVERIFY(run.key("Return"));
    QVERIFY2(run.waitForSimLog("TUNNEL session=1 state=Connected "), qPrintable(run.simLog()));

    for (const char *close : {"Escape", "alt+F4", "minimise"}) {
        if (QByteArray(close) == "minimise")
            QVERIFY(run.xdotool({"windowminimize", window}));
        else
            QVERIFY(run.key(close));
        QTRY_COMPARE_WITH_TIMEOUT(wmState(), close[0] == 'm' ? "iconic" : "gone", longWait);
        // Right after a key binding openbox may still hold the pointer and swallow a click;
        // a person would click again.
        for (int attempt = 0; attempt < 5 && wmState() != QLatin1String("normal"); ++attempt) {
            QVERIFY(run.click(trayIcon));
            QTest::qWaitFor([&] { return wmState() == QLatin1String("normal"); }, 1000);
        }
        QCOMPARE(wmState(), "normal");
        QVERIFY(!run.windows(mainWindow).isEmpty());
    }
    run.screenshot("restored-from-tray");
    QCOMPARE(client->state(), QProcess::Running);
    QVERIFY2(!run.simLog().contains(QRegularExpression("RECV session=1 type=5 ")),
             "an abort request went out");
}

// The server remembered from the last run stays on the chooser's face once the list is in; a
// server picked from the list with the mouse is the one the face then connects to.
void tst_Program::chooserWithTheMouse()
{
    ProgramRun run;
    const QString error = run.setUp(true, true,
                                    {"--connect-delay", "50", "--disconnect-delay", "50"});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    {
        QSettings seed(run.configFile(), QSettings::IniFormat);
        seed.setValue("Connection Name", "Germany");
        seed.setValue("Connection Code", "DE");
        seed.setValue("Connection Hostname", "127.0.0.12");
        seed.setValue("Creditentials", QString::fromLatin1(encodeUserPass("demo", "demo")));
    }
    QProcess *client = run.startClient();
    const QString window = run.waitForWindow(mainWindow);
    QVERIFY2(!window.isEmpty(), "no main window");
    const QPoint origin = run.geometry(window).topLeft();
    const QString pid = QString::number(client->processId());
    // Settings, then the chooser's face and its popup button, in the fixed layout.
    const QPoint face = origin + QPoint(100, 102);
    const QPoint popupButton = origin + QPoint(300, 102);
    // The popup: the program's one window narrower than the main window and six rows high.
    const auto popupGeometry = [&] {
        for (const QString &id : run.windows(QString(), pid)) {
            const QRect geometry = run.geometry(id);
            if (geometry.width() < 344 && geometry.height() >= 6 * 41)
                return geometry;
        }
        return QRect();
    };
    const auto openPopup = [&] {
        QRect popup;
        if (run.click(popupButton))
            QTest::qWaitFor([&] { return !(popup = popupGeometry()).isEmpty(); }, longWait);
        return popup;
    };

    QVERIFY(run.click(origin + QPoint(250, 440)));
    QRect popup = openPopup(); // its six rows show that the list is in
    QVERIFY2(!popup.isEmpty(), "the popup did not open with the list");
    run.screenshot("chooser-popup");
    QVERIFY(run.key("Escape"));
    QVERIFY(run.click(face));
    QVERIFY2(run.waitForSimLog("connect host=127\\.0\\.0\\.12 "), qPrintable(run.simLog()));
    // Once the window shows the tunnel up (the state strip turns blue), the big button
    // disconnects.
    QTRY_COMPARE_WITH_TIMEOUT(run.screenshot("chooser-connected").pixel(origin + QPoint(10, 330)),
                              qRgb(66, 176, 227), longWait);
    QVERIFY(run.click(face));
    QVERIFY2(run.waitForSimLog("state=Disconnected"), qPrintable(run.simLog()));
    popup = openPopup();
    QVERIFY2(!popup.isEmpty(), "the popup did not open");
    // The list opens scrolled so that the current server, Germany, is its last visible row;
    // the row above it is France (127.0.0.11).
    QVERIFY(run.click(popup.topLeft() + QPoint(150, 4 * 41 + 20)));
    QTRY_VERIFY_WITH_TIMEOUT(popupGeometry().isEmpty(), longWait);
    QVERIFY(run.click(face));
    QVERIFY2(run.waitForSimLog("connect host=127\\.0\\.0\\.11 "), qPrintable(run.simLog()));
}

TAVRIN_TEST_MAIN(tst_Program)
#include "tst_program.moc"
