#include "programrun.h"

#include "service/tavrincredentials.h"

#include <QtCore/qstandardpaths.h>

QString toolPath(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

QString missingTool(const QStringList &names)
{
    for (const QString &name : names) {
        if (QStandardPaths::findExecutable(name).isEmpty())
            return name + " is not installed (scripts/install-deps.sh installs it)";
    }
    return QString();
}

bool runTool(const char *name, const QStringList &arguments, QByteArray *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(toolPath(name), arguments);
    const bool ended = process.waitForFinished(3 * LongPatience);
    *output = process.readAll();
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool waitForExit(QProcess *process)
{
    return process->state() == QProcess::NotRunning || process->waitForFinished(LongPatience);
}

QByteArray waitForLine(QProcess *process, const QByteArray &prefix, int count)
{
    QByteArray found;
    const auto seen = [&] {
        while (found.isEmpty() && process->canReadLine()) {
            const QByteArray line = process->readLine();
            if (line.startsWith(prefix) && --count == 0)
                found = line;
        }
        return !found.isEmpty();
    };
    return QTest::qWaitFor(seen, LongPatience) ? found : QByteArray();
}

ProgramRun::ProgramRun()
{
    for (const auto &[name, path] : TavrinTestEnvironment::makeSessionFolders(m_root.path()))
        m_environment.insert(name, path);
    m_environment.insert("QT_QPA_PLATFORM", "xcb");
    m_environment.insert("QT_XCB_GL_INTEGRATION", "none");
    // libxkbcommon-x11 hands strndup() names that end at the given length without a NUL, which
    // strict string checks of a sanitizer build take for an overflow.
    if (m_environment.contains("ASAN_OPTIONS"))
        m_environment.insert("ASAN_OPTIONS",
                             m_environment.value("ASAN_OPTIONS") + ":strict_string_checks=0");
    // Nothing of the user's desktop session may leak into the run.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORMTHEME",
                             "SESSION_MANAGER", "TAVRIN_API_HOST", "TAVRIN_SITE_HOST"})
        m_environment.remove(QString::fromLatin1(name));
    // Without an address, D-Bus would fork a bus launcher from the client's D-Bus thread; a bus
    // nobody serves fails at once, until startSessionBus() gives the run one.
    m_environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tavrin-test-no-bus");
}

ProgramRun::~ProgramRun()
{
    // Newest first: the client before the tray host, the tray host before the X server.
    m_sim.stop();
    for (int i = m_processes.size() - 1; i >= 0; --i) {
        QProcess *process = m_processes.at(i);
        process->terminate();
        if (!process->waitForFinished(10000))
            process->kill();
        process->waitForFinished(10000);
        delete process;
    }
}

QProcess *ProgramRun::start(const QString &program, const QStringList &arguments,
                            const QString &folder)
{
    auto *process = new QProcess;
    m_processes.append(process);
    process->setProcessEnvironment(m_environment);
    process->setWorkingDirectory(folder);
    process->start(program, arguments);
    process->waitForStarted(LongPatience);
    return process;
}

QSettings *ProgramRun::settings()
{
    m_settings.reset(new QSettings(home() + "/.config/Tavrin/Tavrin.conf", QSettings::IniFormat));
    return m_settings.get();
}

void ProgramRun::storeLogin(bool autoLogin)
{
    QSettings *stored = settings();
    stored->setValue("Connection Name", "Germany");
    stored->setValue("Connection Code", "DE");
    stored->setValue("Connection Hostname", "127.0.0.12");
    stored->setValue("Creditentials", encodeUserPass("demo", "demo")); // read as text
    stored->setValue("AutoLogin", autoLogin);
    stored->sync();
}

QString ProgramRun::setUp(bool trayHost, bool sim, const QStringList &simArguments,
                          bool windowManager)
{
    QString error = startX(windowManager);
    if (error.isEmpty() && trayHost)
        error = startTrayHost();
    if (error.isEmpty() && sim)
        error = startSim(simArguments);
    return error;
}

// The first line of output a process gives once it is ready, empty when none came.
static QString firstLine(QProcess *process)
{
    return QTest::qWaitFor([process] { return process->canReadLine(); }, LongPatience)
                   ? QString::fromLatin1(process->readLine().trimmed())
                   : QString();
}

QString ProgramRun::startX(bool windowManager)
{
    // Xvfb picks a free display and writes its number once it is ready; -noreset keeps it up
    // when its first client goes; -br gives a black root window.
    const QString display = firstLine(
            start(toolPath("Xvfb"),
                  QString("-displayfd 1 -noreset -nolisten tcp -screen 0 %1x24 -br")
                          .arg(m_screenSize)
                          .split(' ')));
    if (display.isEmpty())
        return "Xvfb did not report a display";
    m_environment.insert("DISPLAY", ':' + display);
    if (!windowManager)
        return QString();
    start(toolPath("openbox"), {"--sm-disable"});
    const auto managed = [this] {
        return tool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
    };
    return QTest::qWaitFor(managed, LongPatience) ? QString() : "openbox did not come up";
}

QString ProgramRun::startTrayHost()
{
    start(toolPath("trayer"),
          QString("--edge top --align right --widthtype request --height 24").split(' '));
    int exitCode = -1;
    tool("traywait", {QString::number(LongPatience / 1000)}, &exitCode);
    return exitCode == 0 ? QString() : "no tray host came up";
}

QString ProgramRun::startSim(const QStringList &simArguments)
{
    m_sim.process()->setProcessEnvironment(m_environment);
    if (!m_sim.start(TavrinTestEnvironment::simProgram(), simArguments, LongPatience))
        return m_sim.errorString();
    m_environment.insert("TAVRIN_API_HOST", m_sim.apiHost());
    return QString();
}

QString ProgramRun::startWayland()
{
    const QString socket = "wayland-tavrin";
    start(toolPath("weston"),
          {"--backend=headless-backend.so", "--socket=" + socket, "--idle-time=0", "--no-config"});
    const QString path = m_environment.value("XDG_RUNTIME_DIR") + '/' + socket;
    if (!QTest::qWaitFor([&path] { return QFile::exists(path); }, LongPatience))
        return "weston did not come up";
    m_environment.insert("WAYLAND_DISPLAY", socket);
    m_environment.insert("QT_QPA_PLATFORM", "wayland");
    return QString();
}

QString ProgramRun::startSessionBus()
{
    const QString address = firstLine(
            start(toolPath("dbus-daemon"),
                  {"--session", "--nofork", "--nosyslog",
                   "--address=unix:path=" + m_root.path() + "/run/bus", "--print-address=1"}));
    if (address.isEmpty())
        return "dbus-daemon did not start";
    m_environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
    return QString();
}

QString ProgramRun::startWatcher(const QStringList &arguments, QProcess **watcher)
{
    *watcher = start(TavrinTestEnvironment::sourceDir() + "/tools/statusnotifierwatcher.py",
                     arguments);
    // With a host on the bus the client's tray is Qt's own item there, whose menu entries Qt
    // never frees: a sanitizer build leaves the leak check out for the programs started next.
    if (!arguments.contains("--no-host") && m_environment.contains("ASAN_OPTIONS"))
        m_environment.insert("ASAN_OPTIONS",
                             m_environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    if (firstLine(*watcher) != "READY")
        return "the StatusNotifierWatcher did not start: "
               + QString::fromLocal8Bit((*watcher)->readAllStandardError());
    return QString();
}

QByteArray ProgramRun::tool(const char *name, const QStringList &arguments, int *exitCode)
{
    QString program = toolPath(name);
    if (program.isEmpty())
        program = TavrinTestEnvironment::buildDir() + "/tools/" + QLatin1String(name);
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(LongPatience);
    if (!finished)
        process.kill();
    if (exitCode)
        *exitCode = finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode()
                                                                             : -1;
    return finished ? process.readAllStandardOutput() : QByteArray();
}

bool ProgramRun::xdotool(const QStringList &arguments)
{
    int exitCode = -1;
    tool("xdotool", arguments, &exitCode);
    return exitCode == 0;
}

bool ProgramRun::click(const QPoint &at, int button)
{
    return xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click",
                    QString::number(button)});
}

QStringList ProgramRun::windows(const QString &title, const QString &pid)
{
    const QStringList how = pid.isEmpty() ? QStringList{"--name", title}
                                          : QStringList{"--pid", pid};
    return QString::fromLatin1(tool("xdotool", QStringList{"search", "--onlyvisible"} + how))
            .split('\n', Qt::SkipEmptyParts);
}

QString ProgramRun::waitForWindow(const QString &title)
{
    QString found;
    return QTest::qWaitFor([&] { return !(found = windows(title).value(0)).isEmpty(); },
                           LongPatience)
                   ? found
                   : QString();
}

QRect ProgramRun::geometry(const QString &window)
{
    const QString info = QString::fromLatin1(tool("xwininfo", {"-id", window}));
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
    const QString path = TavrinTestEnvironment::artifactDir() + "/program-" + name + ".png";
    tool("import", {"-window", "root", path});
    return QImage(path);
}

QRgb ProgramRun::pixel(const QPoint &at)
{
    const QString crop = QStringLiteral("1x1+%1+%2").arg(at.x()).arg(at.y());
    const QImage image = QImage::fromData(
            tool("import", {"-window", "root", "-crop", crop, "png:-"}));
    return image.isNull() ? 0 : image.pixel(0, 0) | 0xff000000u;
}

bool ProgramRun::waitForSimLog(const QString &pattern, int count)
{
    const QRegularExpression expression(pattern);
    return QTest::qWaitFor([&] { return m_sim.countLines(expression) >= count; }, LongPatience);
}
