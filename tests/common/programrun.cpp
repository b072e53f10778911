#include "programrun.h"

#include "service/tavrincredentials.h"

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

QByteArray waitForLine(QProcess *process, const QByteArray &prefix, int count)
{
    QByteArray line;
    const auto seen = [&] {
        while (count > 0 && process->canReadLine())
            count -= (line = process->readLine()).startsWith(prefix);
        return count == 0;
    };
    return waitUntil(seen, LongPatience) ? line : QByteArray();
}

QString outlineFaults(const QImage &shot, const QRect &window)
{
    QString row;
    for (int x = window.left(); x <= window.right(); ++x) {
        const QRgb pixel = shot.pixel(x, window.bottom());
        row += pixel == qRgb(160, 160, 160) ? 'o' : pixel == qRgb(0, 0, 0) ? '#' : '?';
    }
    return QRegularExpression("^#{1,12}o+#{1,12}$").match(row).hasMatch() ? QString() : row;
}

ProgramRun::ProgramRun()
{
    for (const auto &[name, path] : TavrinTestEnvironment::makeSessionFolders(m_root.path()))
        m_environment.insert(name, path);
    m_environment.insert("QT_QPA_PLATFORM", "xcb");
    m_environment.insert("QT_XCB_GL_INTEGRATION", "none");
    // libxkbcommon-x11 hands strndup() names without a NUL, which strict checks take for overflow.
    if (m_environment.contains("ASAN_OPTIONS"))
        m_environment.insert("ASAN_OPTIONS",
                             m_environment.value("ASAN_OPTIONS") + ":strict_string_checks=0");
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORMTHEME",
                             "SESSION_MANAGER", "TAVRIN_API_HOST", "TAVRIN_SITE_HOST"})
        m_environment.remove(QString::fromLatin1(name));
    // Without an address D-Bus would fork a bus launcher; a bus nobody serves fails at once.
    m_environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tavrin-test-no-bus");
}

ProgramRun::~ProgramRun()
{
    m_sim.stop();
    while (!m_processes.isEmpty()) { // newest first: the client before its X server
        const std::unique_ptr<QProcess> process(m_processes.takeLast());
        process->terminate();
        if (!process->waitForFinished(10000))
            process->kill();
        process->waitForFinished(10000);
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

void ProgramRun::storeLogin()
{
    QSettings *stored = settings();
    stored->setValue("Connection Name", "Germany");
    stored->setValue("Connection Code", "DE");
    stored->setValue("Connection Hostname", "127.0.0.12");
    stored->setValue("Creditentials", encodeUserPass("demo", "demo")); // read as text
    stored->setValue("AutoLogin", false);
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

QString ProgramRun::startX(bool windowManager)
{
    // -noreset keeps it up when its first client goes; -br gives a black root window.
    const QString options = "-displayfd 1 -noreset -nolisten tcp -screen 0 %1x24 -br";
    QProcess *xvfb = start(toolPath("Xvfb"), options.arg(m_screenSize).split(' '));
    const QString display = QString::fromLatin1(waitForLine(xvfb, "").trimmed());
    if (display.isEmpty())
        return "Xvfb did not report a display";
    m_environment.insert("DISPLAY", ':' + display);
    if (!windowManager)
        return QString();
    start(toolPath("openbox"), {"--sm-disable"});
    const auto managed = [this] {
        return tool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
    };
    return waitUntil(managed, LongPatience) ? QString() : "openbox did not come up";
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
    const bool started = m_sim.start(m_simCommand.first(), m_simCommand.mid(1) + simArguments,
                                     LongPatience);
    m_environment.insert("TAVRIN_API_HOST", m_sim.apiHost());
    return started ? QString() : m_sim.errorString();
}

QString ProgramRun::startSessionBus()
{
    QProcess *bus = start(toolPath("dbus-daemon"),
                          {"--session", "--nofork", "--nosyslog",
                           "--address=unix:path=" + m_root.path() + "/run/bus",
                           "--print-address=1"});
    const QString address = QString::fromLatin1(waitForLine(bus, "").trimmed());
    m_environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
    return address.isEmpty() ? "dbus-daemon did not start" : QString();
}

QString ProgramRun::startWatcher(const QStringList &arguments, QProcess **watcher)
{
    *watcher = start(TavrinTestEnvironment::sourceDir() + "/tools/statusnotifierwatcher.py",
                     arguments);
    // With a host, the tray is Qt's own item, whose menu entries Qt never frees.
    if (!arguments.contains("--no-host") && m_environment.contains("ASAN_OPTIONS"))
        m_environment.insert("ASAN_OPTIONS",
                             m_environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    if (waitForLine(*watcher, "").trimmed() != "READY")
        return "the StatusNotifierWatcher did not start: "
               + QString::fromLocal8Bit((*watcher)->readAllStandardError());
    return QString();
}

QByteArray ProgramRun::tool(const char *name, const QStringList &arguments, int *exitCode)
{
    const QString installed = toolPath(name);
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(installed.isEmpty() ? TavrinTestEnvironment::buildDir() + "/tools/" + name
                                      : installed,
                  arguments);
    const bool finished = process.waitForFinished(LongPatience);
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

QStringList ProgramRun::windows(const QString &title, const QString &pid)
{
    const QStringList how = pid.isEmpty() ? QStringList{"--name", title}
                                          : QStringList{"--pid", pid};
    const QByteArray found = tool("xdotool", QStringList{"search", "--onlyvisible"} + how);
    return QString::fromLatin1(found).split('\n', Qt::SkipEmptyParts);
}

QString ProgramRun::waitForWindow(const QString &title)
{
    QString found;
    const auto shown = [&] { return !(found = windows(title).value(0)).isEmpty(); };
    return waitUntil(shown, LongPatience) ? found : QString();
}

QRect ProgramRun::geometry(const QString &window)
{
    const QString info = QString::fromLatin1(tool("xwininfo", {"-id", window}));
    const auto value = [&info](const char *label) {
        return QRegularExpression(label + QString(":\\s+(-?\\d+)")).match(info).captured(1).toInt();
    };
    return QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
                 value("Height"));
}

QImage ProgramRun::screenshot(const QString &name)
{
    const QString folder = TavrinTestEnvironment::buildDir() + "/test-artifacts";
    const QString path = folder + "/program-" + name + ".png";
    QDir().mkpath(folder); // for a person to look at
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
    return waitUntil([&] { return m_sim.countLines(expression) >= count; }, LongPatience);
}
