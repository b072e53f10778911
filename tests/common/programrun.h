#ifndef PROGRAMRUN_H
#define PROGRAMRUN_H

#include "tavrintestenvironment.h"

#include "sim/qtavrinsimprocess.h"

#include <QtCore/qprocess.h>
#include <QtCore/qregularexpression.h>
#include <QtCore/qsettings.h>
#include <QtCore/qtemporarydir.h>
#include <QtGui/qimage.h>
#include <QtTest/qtest.h>

#include <memory>

// Whole-program test runs: the real tavrin-client on its own display (Xvfb) with a tray host
// (trayer), where wanted a window manager (openbox), and the real tavrin-sim on the run's own
// TMPDIR and a loopback port. Every run has its own home, config, runtime and temp folders;
// every process started is ended with the run.

namespace ProgramRunLimits {
constexpr int longWait = LongPatience;
}

QString toolPath(const char *name);
// Why a test cannot run here: the first of the tools that is not installed; empty when all are.
QString missingTool(const QStringList &names);
// Runs an installed tool to its end, in the test's environment: true when it ended with code 0;
// *output has what it printed, on either channel.
bool runTool(const char *name, const QStringList &arguments, QByteArray *output);
// Waits (up to the long wait) for the process to end; false when it kept running.
bool waitForExit(QProcess *process);
// Waits for the count-th line of the process's output that starts with the prefix, passing over
// the others; empty when it did not come.
QByteArray waitForLine(QProcess *process, const QByteArray &prefix, int count = 1);

// Waits until the condition holds, looking again every 10 ms (QTRY looks every 50 ms).
#define WAIT_FOR(condition) \
    QVERIFY2(QTest::qWaitFor([&] { return bool(condition); }, LongPatience), #condition)

// Fails the test with the reason when the set-up step gave one.
#define VERIFY_SET_UP(step) \
    do { \
        const QString reason = (step); \
        QVERIFY2(reason.isEmpty(), qPrintable(reason)); \
    } while (false)

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
    // The size of the X screen, "1024x768" unless set before the set-up.
    void setScreenSize(const QString &size) { m_screenSize = size; }
    // The pieces of a set-up, each returning the reason when it failed.
    QString startX(bool windowManager);
    QString startTrayHost();
    QString startSim(const QStringList &simArguments);
    // A headless Wayland compositor (weston) in place of the X server; the client then runs on
    // it, with no X display.
    QString startWayland();
    // A private session bus, and on it the stand-in StatusNotifierWatcher with its arguments:
    // *watcher is the watcher, whose standard output reports each event as a line.
    QString startSessionBus();
    QString startWatcher(const QStringList &arguments, QProcess **watcher);
    QString sessionBusAddress() const { return m_environment.value("DBUS_SESSION_BUS_ADDRESS"); }
    QProcessEnvironment &environment() { return m_environment; }
    QProcess *start(const QString &program = TavrinTestEnvironment::clientProgram(),
                    const QStringList &arguments = {},
                    const QString &folder = TavrinTestEnvironment::buildDir());
    QString home() const { return m_root.path() + "/home"; }
    QSettings *settings()
    {
        m_settings.reset(new QSettings(m_root.path() + "/home/.config/Tavrin/Tavrin.conf",
                                       QSettings::IniFormat));
        return m_settings.get();
    }
    // The login of an earlier run: Germany (127.0.0.12) chosen, demo/demo stored.
    void storeLogin(bool autoLogin);

    // A short tool on the display: its standard output; *exitCode -1 when it failed.
    QByteArray tool(const char *name, const QStringList &arguments, int *exitCode = nullptr);
    bool xdotool(const QStringList &arguments)
    {
        int exitCode = -1;
        tool("xdotool", arguments, &exitCode);
        return exitCode == 0;
    }
    bool click(const QPoint &at, int button = 1)
    {
        return xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click",
                        QString::number(button)});
    }
    bool key(const QString &keys) { return xdotool({"key", "--clearmodifiers", keys}); }
    // Visible windows by title pattern, or of a process with "--pid".
    QStringList windows(const QString &title, const QString &pid = QString())
    {
        const QStringList how = pid.isEmpty() ? QStringList{"--name", title}
                                              : QStringList{"--pid", pid};
        return QString::fromLatin1(tool("xdotool", QStringList{"search", "--onlyvisible"} + how))
                .split('\n', Qt::SkipEmptyParts);
    }
    QString waitForWindow(const QString &title)
    {
        QString found;
        return QTest::qWaitFor([&] { return !(found = windows(title).value(0)).isEmpty(); },
                               LongPatience)
                       ? found
                       : QString();
    }
    QRect geometry(const QString &window);
    QImage screenshot(const QString &name);
    // One pixel of the screen, far quicker to take than a screenshot.
    QRgb pixel(const QPoint &at);
    bool waitForSimLog(const QString &pattern, int count = 1)
    {
        const QRegularExpression expression(pattern);
        return QTest::qWaitFor([&] { return m_sim.countLines(expression) >= count; }, LongPatience);
    }
    QString simLog() const { return m_sim.lines().join('\n'); }

private:
    QString m_screenSize = "1024x768";
    QTemporaryDir m_root{QDir::tempPath() + "/program-run-XXXXXX"};
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QList<QProcess *> m_processes;
    QTavrinSimProcess m_sim;
    std::unique_ptr<QSettings> m_settings;
};

#endif // PROGRAMRUN_H
