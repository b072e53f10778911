#pragma once

#include "sim/qtavrinsimprocess.h"
#include "tavrintestenvironment.h"

#include <QtGui/qimage.h>
#include <QtTest/qtest.h>

#include <memory>

// Whole-program runs: the real programs on a display of their own, in folders of their own.

inline QString toolPath(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}
QString missingTool(const QStringList &names);
bool runTool(const char *name, const QStringList &arguments, QByteArray *output);
inline bool waitForExit(QProcess *process)
{
    return process->state() == QProcess::NotRunning || process->waitForFinished(LongPatience);
}
QByteArray waitForLine(QProcess *process, const QByteArray &prefix, int count = 1);

// Empty when a screenshot shows the window's last row as the outline's grey, its cut corners as
// the black root window; otherwise that row as 'o' grey, '#' black and '?' anything else.
QString outlineFaults(const QImage &shot, const QRect &window);

#define WAIT_FOR(condition) \
    QVERIFY2(QTest::qWaitFor([&] { return bool(condition); }, LongPatience), #condition)

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

    QString setUp(bool trayHost, bool sim, const QStringList &simArguments = {},
                  bool windowManager = false);
    void setScreenSize(const QString &size) { m_screenSize = size; }           // before the set-up
    void setSimCommand(const QStringList &command) { m_simCommand = command; } // and its program
    QString startX(bool windowManager);
    QString startTrayHost();
    QString startSim(const QStringList &simArguments);
    QString startSessionBus();
    QString startWatcher(const QStringList &arguments, QProcess **watcher);
    QProcessEnvironment &environment() { return m_environment; }
    QProcess *start(const QString &program = TavrinTestEnvironment::clientProgram(),
                    const QStringList &arguments = {},
                    const QString &folder = TavrinTestEnvironment::buildDir());
    QString home() const { return m_root.path() + "/home"; }
    QSettings *settings();
    // The login of an earlier run: Germany (127.0.0.12) chosen, demo/demo stored, no auto-login.
    void storeLogin();

    QByteArray tool(const char *name, const QStringList &arguments, int *exitCode = nullptr);
    bool xdotool(const QStringList &arguments);
    bool click(const QPoint &at, int button = 1)
    {
        return xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click",
                        QString::number(button)});
    }
    bool key(const QString &keys) { return xdotool({"key", "--clearmodifiers", keys}); }
    // Visible windows by title pattern, or of a process with "--pid".
    QStringList windows(const QString &title, const QString &pid = QString());
    QString waitForWindow(const QString &title);
    QRect geometry(const QString &window);
    QImage screenshot(const QString &name);
    QRgb pixel(const QPoint &at); // far quicker than a screenshot
    bool waitForSimLog(const QString &pattern, int count = 1);
    QString simLog() const { return m_sim.lines().join('\n'); }

private:
    QString m_screenSize = "1024x768";
    QStringList m_simCommand{TavrinTestEnvironment::simProgram()};
    QTemporaryDir m_root{QDir::tempPath() + "/program-run-XXXXXX"};
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QList<QProcess *> m_processes;
    QTavrinSimProcess m_sim;
    std::unique_ptr<QSettings> m_settings;
};
