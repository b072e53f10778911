// Whole-program tests: the real tavrin-client, started from a working folder with its Fonts, on
// its own Xvfb display with a tray host (trayer) and, where a service is wanted, a real
// tavrin-sim on the run's own TMPDIR and a loopback port. Every run has its own home, config,
// runtime and temp folders; every process started is ended when the run ends, even on failure.
// A screenshot of each run is kept in the test artifact folder.

#include "tavrincredentials.h"
#include "tavrindeployment.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdeadlinetimer.h>
#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qprocess.h>
#include <QtCore/qregularexpression.h>
#include <QtCore/qsettings.h>
#include <QtCore/qstandardpaths.h>
#include <QtCore/qtemporarydir.h>
#include <QtGui/qimage.h>
#include <QtTest/qtest.h>

static const int longWait = 60000; // generous: a loaded machine, sanitizer builds

static QString toolPath(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

static QString trayWaitProgram()
{
    const QString path = TavrinTestEnvironment::buildDir() + QStringLiteral("/tools/traywait");
    return QFile::exists(path) ? path : QString();
}

static QString buildFontsFolder()
{
    return TavrinTestEnvironment::buildDir() + QStringLiteral("/Fonts");
}

// One run of the real programs: an isolated home, an X server, and what runs on it.
class ProgramRun
{
public:
    ProgramRun();
    ~ProgramRun();

    bool isValid() const { return m_root.isValid(); }
    QString root() const { return m_root.path(); }
    QString configFile() const;

    bool startDisplay(QString *error);
    bool startTrayHost(QString *error);
    bool startSim(const QStringList &arguments, QString *error);
    QProcess *startClient(const QString &workingFolder);

    // Runs a short tool on the display; its standard output, or a null array when it failed.
    QByteArray tool(const QString &program, const QStringList &arguments, int *exitCode = nullptr);
    // The X id of a visible window whose title matches the pattern, waiting up to timeout.
    QString waitForWindow(const QString &titlePattern, int timeout = longWait);
    // Visible windows by title, or all visible windows of a process.
    QStringList visibleWindows(const QString &titlePattern, const QString &pid = QString());
    bool pressKey(const QString &windowId, const QString &key);
    bool click(const QPoint &point, int button = 1);
    QImage screenshot(const QString &name);

    // Waits until the sim's log holds a line matching the pattern, at least count times.
    bool waitForSimLog(const QString &pattern, int count = 1, int timeout = longWait);
    QString simLog() const { return QString::fromLocal8Bit(m_simLog); }

    static bool waitForExit(QProcess *process, int timeout = longWait);

private:
    QProcess *start(const QString &program, const QStringList &arguments,
                    const QString &workingFolder = QString());

    QTemporaryDir m_root;
    QProcessEnvironment m_environment;
    QList<QProcess *> m_processes;
    QProcess *m_sim = nullptr;
    QByteArray m_simLog;
};

ProgramRun::ProgramRun()
    : m_root(QDir::tempPath() + QStringLiteral("/program-run-XXXXXX"))
{
    const QString home = root() + QStringLiteral("/home");
    const QStringList folders = {home,
                                 home + QStringLiteral("/.config"),
                                 home + QStringLiteral("/.local/share"),
                                 home + QStringLiteral("/.cache"),
                                 root() + QStringLiteral("/run"),
                                 root() + QStringLiteral("/tmp")};
    for (const QString &folder : folders) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("HOME"), folders.at(0));
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folders.at(1));
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), folders.at(2));
    m_environment.insert(QStringLiteral("XDG_CACHE_HOME"), folders.at(3));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folders.at(4));
    m_environment.insert(QStringLiteral("TMPDIR"), folders.at(5));
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_environment.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    // libxkbcommon-x11 hands strndup() names that end at the given length without a NUL, which
    // strict string checks of a sanitizer build take for an overflow; the rest stays as set.
    const QString asan = m_environment.value(QStringLiteral("ASAN_OPTIONS"));
    if (!asan.isEmpty())
        m_environment.insert(QStringLiteral("ASAN_OPTIONS"),
                             asan + QStringLiteral(":strict_string_checks=0"));
    // Nothing of the user's desktop session may leak into the run.
    for (const char *name :
         {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS",
          "QT_QPA_PLATFORMTHEME", "SESSION_MANAGER", "TAVRIN_API_HOST", "TAVRIN_SITE_HOST"})
        m_environment.remove(QString::fromLatin1(name));
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

QString ProgramRun::configFile() const
{
    return root() + QStringLiteral("/home/.config/Tavrin/Tavrin.conf");
}

QProcess *ProgramRun::start(const QString &program, const QStringList &arguments,
                            const QString &workingFolder)
{
    auto *process = new QProcess;
    m_processes.append(process);
    process->setProcessEnvironment(m_environment);
    if (!workingFolder.isEmpty())
        process->setWorkingDirectory(workingFolder);
    process->start(program, arguments);
    process->waitForStarted(longWait);
    return process;
}

bool ProgramRun::startDisplay(QString *error)
{
    // The server picks a free display and writes its number to standard output once it is
    // ready. -noreset keeps it up when its first client goes; -br gives a black root window.
    QProcess *server = start(toolPath("Xvfb"),
                             {QStringLiteral("-displayfd"), QStringLiteral("1"),
                              QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                              QStringLiteral("1024x768x24"), QStringLiteral("-br")});
    QDeadlineTimer deadline(longWait);
    while (!server->canReadLine() && server->state() == QProcess::Running && !deadline.hasExpired())
        server->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    bool ok = false;
    const int number = server->readLine().trimmed().toInt(&ok);
    if (!ok) {
        *error = QStringLiteral("Xvfb did not report a display: ")
                 + QString::fromLocal8Bit(server->readAllStandardError());
        return false;
    }
    m_environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(number));
    return true;
}

bool ProgramRun::startTrayHost(QString *error)
{
    start(toolPath("trayer"),
          {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
           QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
           QStringLiteral("--height"), QStringLiteral("24")});
    int exitCode = -1;
    tool(trayWaitProgram(), {QString::number(longWait / 1000)}, &exitCode);
    if (exitCode != 0)
        *error = QStringLiteral("no tray host came up");
    return exitCode == 0;
}

bool ProgramRun::startSim(const QStringList &arguments, QString *error)
{
    m_sim = start(TavrinTestEnvironment::simProgram(), QStringList{"--port", "0"} + arguments);
    m_sim->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(m_sim, &QProcess::readyReadStandardOutput,
                     [this] { m_simLog += m_sim->readAllStandardOutput(); });
    QDeadlineTimer deadline(longWait);
    while (!m_simLog.contains('\n') && m_sim->state() == QProcess::Running && !deadline.hasExpired())
        QTest::qWait(50);
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^PORT (\\d+)\n"))
                                                  .match(simLog());
    if (!match.hasMatch()) {
        *error = QStringLiteral("tavrin-sim did not report its port: ") + simLog();
        return false;
    }
    m_environment.insert(QStringLiteral("TAVRIN_API_HOST"),
                         QStringLiteral("127.0.0.1:") + match.captured(1));
    return true;
}

QProcess *ProgramRun::startClient(const QString &workingFolder)
{
    return start(TavrinTestEnvironment::clientProgram(), {}, workingFolder);
}

QByteArray ProgramRun::tool(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(program, arguments);
    if (!process.waitForFinished(longWait)) {
        process.kill();
        process.waitForFinished(10000);
        if (exitCode)
            *exitCode = -1;
        return QByteArray();
    }
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

QStringList ProgramRun::visibleWindows(const QString &titlePattern, const QString &pid)
{
    QStringList arguments = {QStringLiteral("search"), QStringLiteral("--onlyvisible")};
    if (pid.isEmpty())
        arguments << QStringLiteral("--name") << titlePattern;
    else
        arguments << QStringLiteral("--pid") << pid;
    const QByteArray out = tool(toolPath("xdotool"), arguments);
    return QString::fromLatin1(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString ProgramRun::waitForWindow(const QString &titlePattern, int timeout)
{
    QDeadlineTimer deadline(timeout);
    do {
        const QStringList windows = visibleWindows(titlePattern);
        if (!windows.isEmpty())
            return windows.first();
        QTest::qWait(200);
    } while (!deadline.hasExpired());
    return QString();
}

bool ProgramRun::pressKey(const QString &windowId, const QString &key)
{
    // There is no window manager: give the window the focus, then type into it.
    int exitCode = -1;
    tool(toolPath("xdotool"), {QStringLiteral("windowfocus"), windowId}, &exitCode);
    if (exitCode != 0)
        return false;
    tool(toolPath("xdotool"), {QStringLiteral("key"), key}, &exitCode);
    return exitCode == 0;
}

bool ProgramRun::click(const QPoint &point, int button)
{
    int exitCode = -1;
    tool(toolPath("xdotool"),
         {QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
          QStringLiteral("click"), QString::number(button)},
         &exitCode);
    return exitCode == 0;
}

QImage ProgramRun::screenshot(const QString &name)
{
    QString fileName = name;
    fileName.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]+")), QStringLiteral("-"));
    const QString path = TavrinTestEnvironment::artifactDir()
                         + QStringLiteral("/program-%1.png").arg(fileName);
    tool(toolPath("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    return QImage(path);
}

bool ProgramRun::waitForSimLog(const QString &pattern, int count, int timeout)
{
    const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
    QDeadlineTimer deadline(timeout);
    forever {
        int found = 0;
        auto matches = expression.globalMatch(simLog());
        while (matches.hasNext() && found < count) {
            matches.next();
            ++found;
        }
        if (found >= count)
            return true;
        if (deadline.hasExpired() || !m_sim || m_sim->state() != QProcess::Running)
            return false;
        QTest::qWait(100);
    }
}

bool ProgramRun::waitForExit(QProcess *process, int timeout)
{
    return process->state() == QProcess::NotRunning || process->waitForFinished(timeout);
}

// Geometry of a window from xwininfo.
static QRect windowGeometry(ProgramRun &run, const QString &windowId)
{
    const QString info = QString::fromLatin1(
            run.tool(toolPath("xwininfo"), {QStringLiteral("-id"), windowId}));
    const auto value = [&info](const char *label) {
        const QRegularExpression re(QString::fromLatin1(label) + QStringLiteral(":\\s+(-?\\d+)"));
        return re.match(info).captured(1).toInt();
    };
    return QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
                 value("Height"));
}

class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startupEnds_data();
    void startupEnds();
    void secondInstanceEndsAtOnce();
    void autoLoginConnectsAndStoresCredentials();
    void windowIsRoundedAndFixedInSize();
    void hideToTrayAndExitFromTray();

private:
    QString damagedFontsFolder(const QTemporaryDir &dir);
};

void tst_Program::initTestCase()
{
    for (const char *name : {"Xvfb", "trayer", "xdotool", "xwininfo", "import"}) {
        if (toolPath(name).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh installs "
                                            "the X test tools)")
                                     .arg(QLatin1String(name))));
    }
    QVERIFY2(!TavrinTestEnvironment::clientProgram().isEmpty(), "tavrin-client is not built");
    QVERIFY2(!TavrinTestEnvironment::simProgram().isEmpty(), "tavrin-sim is not built");
    QVERIFY2(!trayWaitProgram().isEmpty(), "tools/traywait is not built");
    QVERIFY2(QFile::exists(buildFontsFolder()), "the build has no Fonts folder");
}

// A Fonts folder with a good font, a file that is no font, and another good font.
QString tst_Program::damagedFontsFolder(const QTemporaryDir &dir)
{
    const QString fonts = dir.filePath(QStringLiteral("Fonts"));
    QDir().mkpath(fonts);
    const QStringList real = QDir(buildFontsFolder()).entryList({QStringLiteral("*.ttf")});
    if (real.isEmpty())
        return QString();
    const QString source = buildFontsFolder() + QLatin1Char('/') + real.first();
    QFile::copy(source, fonts + QStringLiteral("/a.ttf"));
    QFile::copy(source, fonts + QStringLiteral("/c.ttf"));
    QFile junk(fonts + QStringLiteral("/b.ttf"));
    if (!junk.open(QIODevice::WriteOnly) || junk.write(QByteArray(2048, '\x5a')) != 2048)
        return QString();
    return dir.path();
}

void tst_Program::startupEnds_data()
{
    QTest::addColumn<bool>("trayHost");
    QTest::addColumn<bool>("damagedFonts");
    QTest::addColumn<QStringList>("simArguments"); // empty: no service listens
    QTest::addColumn<bool>("errorBox");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("no tray host") << false << false << QStringList() << false
                                  << QByteArray("Systray is not supported by this operating "
                                                "system.\n")
                                  << 1;
    QTest::newRow("damaged font") << true << true << QStringList() << false
                                  << QByteArray("Error registering font b\n"
                                                "Error while registering fonts.\n")
                                  << 2;
    QTest::newRow("no service") << true << false << QStringList() << true << QByteArray() << 3;
    QTest::newRow("service closes the link")
            << true << false << QStringList{"--close-after-seconds", "2"} << true << QByteArray()
            << 4;
}

void tst_Program::startupEnds()
{
    QFETCH(bool, trayHost);
    QFETCH(bool, damagedFonts);
    QFETCH(QStringList, simArguments);
    QFETCH(bool, errorBox);
    QFETCH(QByteArray, output);
    QFETCH(int, exitCode);

    ProgramRun run;
    QVERIFY(run.isValid());
    QString error;
    QVERIFY2(run.startDisplay(&error), qPrintable(error));
    if (trayHost)
        QVERIFY2(run.startTrayHost(&error), qPrintable(error));
    if (!simArguments.isEmpty())
        QVERIFY2(run.startSim(simArguments, &error), qPrintable(error));
    QTemporaryDir fontsDir;
    QString workingFolder = TavrinTestEnvironment::buildDir();
    if (damagedFonts) {
        workingFolder = damagedFontsFolder(fontsDir);
        QVERIFY(!workingFolder.isEmpty());
    }

    QProcess *client = run.startClient(workingFolder);
    QVERIFY2(client->error() != QProcess::FailedToStart, "tavrin-client did not start");
    if (errorBox) {
        const QString box = run.waitForWindow(QStringLiteral("^Connection error"));
        QVERIFY2(!box.isEmpty(), "no \"Connection error\" box");
        QVERIFY(client->state() == QProcess::Running);
        // Without a service the window is never shown.
        if (exitCode == 3)
            QVERIFY(run.visibleWindows(QStringLiteral("^Tavrin Client$")).isEmpty());
        run.screenshot(QString::fromLatin1(QTest::currentDataTag()));
        // The box holds the program until it is dismissed.
        QVERIFY(run.pressKey(box, QStringLiteral("Return")));
    }
    QVERIFY2(ProgramRun::waitForExit(client), "tavrin-client did not end");
    if (!errorBox)
        run.screenshot(QString::fromLatin1(QTest::currentDataTag()));
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), exitCode);
    QCOMPARE(client->readAllStandardOutput(), output);
    if (!simArguments.isEmpty())
        QVERIFY2(run.waitForSimLog(QStringLiteral("SVC CLOSE session=1")), qPrintable(run.simLog()));
}

void tst_Program::secondInstanceEndsAtOnce()
{
    ProgramRun run;
    QString error;
    QVERIFY2(run.startDisplay(&error), qPrintable(error));
    QVERIFY2(run.startTrayHost(&error), qPrintable(error));
    QVERIFY2(run.startSim({}, &error), qPrintable(error));

    QProcess *first = run.startClient(TavrinTestEnvironment::buildDir());
    QVERIFY2(!run.waitForWindow(QStringLiteral("^Tavrin Client$")).isEmpty(), "no main window");

    QProcess *second = run.startClient(TavrinTestEnvironment::buildDir());
    QVERIFY2(ProgramRun::waitForExit(second), "the second instance kept running");
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(second->readAllStandardOutput(), QByteArray());
    // The first instance goes on untouched, with its one window; only it reached the service.
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(run.visibleWindows(QStringLiteral("^Tavrin Client$")).size(), 1);
    QVERIFY(!run.simLog().contains(QLatin1String("session=2")));
    run.screenshot(QStringLiteral("second-instance"));

    // An instance that dies leaves its lock behind; the next one takes it over and runs.
    first->kill();
    QVERIFY(ProgramRun::waitForExit(first));
    QVERIFY2(run.waitForSimLog(QStringLiteral("SVC CLIENT session=1 disconnected")),
             qPrintable(run.simLog()));
    QProcess *third = run.startClient(TavrinTestEnvironment::buildDir());
    QVERIFY2(run.waitForSimLog(QStringLiteral("SVC CLIENT session=2 connected")),
             qPrintable(run.simLog()));
    QVERIFY2(!run.waitForWindow(QStringLiteral("^Tavrin Client$")).isEmpty(),
             "no main window after the first instance died");
    QCOMPARE(third->state(), QProcess::Running);
}

void tst_Program::autoLoginConnectsAndStoresCredentials()
{
    ProgramRun run;
    QString error;
    QVERIFY2(run.startDisplay(&error), qPrintable(error));
    QVERIFY2(run.startTrayHost(&error), qPrintable(error));
    QVERIFY2(run.startSim({QStringLiteral("--bandwidth-interval"), QStringLiteral("300")}, &error),
             qPrintable(error));

    // Stored credentials as a byte array: the program reads them as text and, once connected,
    // stores them again as plain text, which shows in the file.
    const QByteArray credentials = encodeUserPass(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY(!credentials.isEmpty());
    {
        QSettings seed(run.configFile(), QSettings::IniFormat);
        seed.setValue(QStringLiteral("AutoLogin"), true);
        seed.setValue(QStringLiteral("Creditentials"), credentials);
    }
    QFile conf(run.configFile());
    QVERIFY(conf.open(QIODevice::ReadOnly));
    QVERIFY(conf.readAll().contains("@ByteArray("));
    conf.close();

    QProcess *client = run.startClient(TavrinTestEnvironment::buildDir());
    const QString connect = QStringLiteral("TUNNEL session=1 connect host=%1 outcome=success")
                                    .arg(QRegularExpression::escape(tavrinAutoHostname()));
    QVERIFY2(run.waitForSimLog(connect), qPrintable(run.simLog()));
    QVERIFY2(run.waitForSimLog(QStringLiteral("TUNNEL session=1 state=Connected ")),
             qPrintable(run.simLog()));
    QVERIFY2(run.waitForSimLog(QStringLiteral("TUNNEL session=1 bandwidth "), 3),
             qPrintable(run.simLog()));
    QVERIFY2(!run.waitForWindow(QStringLiteral("^Tavrin Client$")).isEmpty(), "no main window");

    // The credentials are written back as a plain string once Connected has arrived.
    QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QFile file(run.configFile());
                return file.open(QIODevice::ReadOnly) && !file.readAll().contains("@ByteArray");
            }(),
            longWait);
    QSettings stored(run.configFile(), QSettings::IniFormat);
    QString username, password;
    QVERIFY(decodeUserPass(stored.value(QStringLiteral("Creditentials")).toString(), username,
                           password));
    QCOMPARE(username, QStringLiteral("demo"));
    QCOMPARE(password, QStringLiteral("demo"));
    QCOMPARE(stored.value(QStringLiteral("AutoLogin")).toBool(), true);
    run.screenshot(QStringLiteral("auto-login-connected"));
    QCOMPARE(client->state(), QProcess::Running);
}

void tst_Program::windowIsRoundedAndFixedInSize()
{
    ProgramRun run;
    QString error;
    QVERIFY2(run.startDisplay(&error), qPrintable(error));
    QVERIFY2(run.startTrayHost(&error), qPrintable(error));
    QVERIFY2(run.startSim({}, &error), qPrintable(error));
    QProcess *client = run.startClient(TavrinTestEnvironment::buildDir());
    const QString window = run.waitForWindow(QStringLiteral("^Tavrin Client$"));
    QVERIFY2(!window.isEmpty(), "no main window");

    const QRect geometry = windowGeometry(run, window);
    QCOMPARE(geometry.size(), QSize(344, 545));
    QVERIFY(QRect(0, 0, 1024, 768).contains(geometry));

    // The corners outside the rounded outline show the black root window; inside is the window.
    const QList<QPoint> corners = {geometry.topLeft(), geometry.topRight(), geometry.bottomLeft(),
                                   geometry.bottomRight()};
    const auto isRoot = [](const QImage &image, const QPoint &point) {
        return image.pixel(point) == qRgb(0, 0, 0);
    };
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                shot = run.screenshot(QStringLiteral("window"));
                if (shot.isNull() || isRoot(shot, geometry.center()))
                    return false;
                for (const QPoint &corner : corners) {
                    if (!isRoot(shot, corner))
                        return false;
                }
                return true;
            }(),
            longWait);
    // Between the corners the window reaches its very edge.
    QVERIFY(!isRoot(shot, QPoint(geometry.center().x(), geometry.bottom())));
    QVERIFY(!isRoot(shot, QPoint(geometry.left(), geometry.center().y())));
    QCOMPARE(client->state(), QProcess::Running);
}

void tst_Program::hideToTrayAndExitFromTray()
{
    ProgramRun run;
    QString error;
    QVERIFY2(run.startDisplay(&error), qPrintable(error));
    QVERIFY2(run.startTrayHost(&error), qPrintable(error));
    QVERIFY2(run.startSim({}, &error), qPrintable(error));
    QProcess *client = run.startClient(TavrinTestEnvironment::buildDir());
    const QString window = run.waitForWindow(QStringLiteral("^Tavrin Client$"));
    QVERIFY2(!window.isEmpty(), "no main window");
    const QRect geometry = windowGeometry(run, window);

    // The title bar's close button (the right one) hides the window; the program goes on.
    QVERIFY(run.click(geometry.topRight() + QPoint(-15, 14)));
    QTRY_VERIFY_WITH_TIMEOUT(run.visibleWindows(QStringLiteral("^Tavrin Client$")).isEmpty(),
                             longWait);
    QCOMPARE(client->state(), QProcess::Running);

    // The tray host sits in the top right corner and holds only our icon: a click shows the
    // window again.
    const QPoint trayIcon(1024 - 12, 12);
    QVERIFY(run.click(trayIcon));
    QVERIFY2(!run.waitForWindow(QStringLiteral("^Tavrin Client$")).isEmpty(),
             "a click on the tray icon did not show the window");
    run.screenshot(QStringLiteral("shown-from-tray"));

    // Exit from the tray menu (its mnemonic) while disconnected ends the program normally.
    const QString pid = QString::number(client->processId());
    const int windowsBefore = run.visibleWindows(QString(), pid).size();
    QVERIFY(run.click(trayIcon, 3));
    // The menu is one more window of the program; it holds the keyboard while open.
    QTRY_VERIFY_WITH_TIMEOUT(run.visibleWindows(QString(), pid).size() > windowsBefore, longWait);
    int exitCode = -1;
    run.tool(toolPath("xdotool"), {QStringLiteral("key"), QStringLiteral("x")}, &exitCode);
    QCOMPARE(exitCode, 0);
    QVERIFY2(ProgramRun::waitForExit(client), "Exit from the tray menu did not end the program");
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), 0);
}

TAVRIN_TEST_MAIN(tst_Program)
#include "tst_program.moc"
