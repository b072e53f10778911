#ifndef PROGRAMRUN_H
#define PROGRAMRUN_H

#include "sim/qtavrinsimprocess.h"
#include "tavrintestenvironment.h"

#include <QtCore/qprocess.h>
#include <QtCore/qsettings.h>
#include <QtGui/qimage.h>
#include <QtTest/qtest.h>

#include <memory>

// Whole-program test runs: the real tavrin-client on its own display (Xvfb) with a tray host
// (trayer), where wanted a window manager (openbox), and the real tavrin-sim on the run's own
// TMPDIR and a loopback port. Every run has its own home, config, runtime and temp folders;
// every process started is ended with the run.

QString toolPath(const char *name);
// Why a test cannot run here: the first of the tools that is not installed; empty when all are.
QString missingTool(const QStringList &names);
// Runs an installed tool to its end, in the test's environment: true when it ended with code 0;
// *output has what it printed, on either channel.
bool runTool(const char *name, const QStringList &arguments, QByteArray *output);
// Waits for the process to end; false when it kept running.
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

class ProgramRun
{
public:
    ProgramRun();
    ~ProgramRun();

    // Starts Xvfb, then the window manager, the tray host and tavrin-sim as asked; the reason
    // when one failed. The pieces return the same.
    QString setUp(bool trayHost, bool sim, const QStringList &simArguments = {},
                  bool windowManager = false);
    void setScreenSize(const QString &size) { m_screenSize = size; } // before the set-up
    QString startX(bool windowManager);
    QString startTrayHost();
    QString startSim(const QStringList &simArguments);
    // A headless Wayland compositor (weston) in place of the X server.
    QString startWayland();
    // A private session bus, and on it the stand-in StatusNotifierWatcher with its arguments,
    // whose standard output reports each event as a line.
    QString startSessionBus();
    QString startWatcher(const QStringList &arguments, QProcess **watcher);
    QString sessionBusAddress() const { return m_environment.value("DBUS_SESSION_BUS_ADDRESS"); }
    QProcessEnvironment &environment() { return m_environment; }
    QProcess *start(const QString &program = TavrinTestEnvironment::clientProgram(),
                    const QStringList &arguments = {},
                    const QString &folder = TavrinTestEnvironment::buildDir());
    QString home() const { return m_root.path() + "/home"; }
    QSettings *settings();
    // The login of an earlier run: Germany (127.0.0.12) chosen, demo/demo stored.
    void storeLogin(bool autoLogin);

    // A short tool on the display: its standard output; *exitCode -1 when it failed.
    QByteArray tool(const char *name, const QStringList &arguments, int *exitCode = nullptr);
    bool xdotool(const QStringList &arguments);
    bool click(const QPoint &at, int button = 1);
    bool key(const QString &keys) { return xdotool({"key", "--clearmodifiers", keys}); }
    // Visible windows by title pattern, or of a process with "--pid".
    QStringList windows(const QString &title, const QString &pid = QString());
    QString waitForWindow(const QString &title);
    QRect geometry(const QString &window);
    QImage screenshot(const QString &name);
    // One pixel of the screen, far quicker to take than a screenshot.
    QRgb pixel(const QPoint &at);
    bool waitForSimLog(const QString &pattern, int count = 1);
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
