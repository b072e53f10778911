#ifndef TAVRINTESTENVIRONMENT_H
#define TAVRINTESTENVIRONMENT_H

#include "base/tavrindeployment.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qdeadlinetimer.h>
#include <QtCore/qstringlist.h>
#include <QtCore/qtemporarydir.h>
#include <QtCore/qtimer.h>
#include <QtGui/qguiapplication.h>

// How long a test waits for what must come, reached only when something is broken; runs of the
// real programs wait longer (a loaded machine, sanitizer builds).
constexpr int Patience = 20000, LongPatience = 60000;

// Runs the event loop until done() holds or the patience runs out; unlike QTest::qWaitFor it
// looks again as soon as anything has happened, not after a 10 ms nap.
template<class Done>
bool waitUntil(Done done, int patience = Patience)
{
    QTimer tick; // wakes the wait when nothing else happens
    tick.start(5);
    const QDeadlineTimer deadline(patience);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

// Keeps a test away from the real user's files, sockets and settings, constructed before the
// application object (see TAVRIN_TEST_MAIN). On Unix it points HOME, XDG_CONFIG_HOME,
// XDG_DATA_HOME, XDG_CACHE_HOME, XDG_RUNTIME_DIR and TMPDIR at folders inside one fresh
// temporary folder. On Windows it points TMP, TEMP and USERPROFILE there, and HKEY_CURRENT_USER
// at a fresh key of its own for the whole process (removed at the end); what Qt takes for the
// home folder stays the profile's, which the Windows tests only run in inside a private Wine
// prefix.
class TavrinTestEnvironment
{
public:
    TavrinTestEnvironment();
    ~TavrinTestEnvironment();

    static TavrinTestEnvironment *instance();

    QString root() const { return m_dir.path(); }
    QString home() const { return root() + QStringLiteral("/home"); }
    QString configHome() const { return home() + QStringLiteral("/.config"); }
    QString runtimeDir() const { return root() + QStringLiteral("/run"); }
    QString tempDir() const { return root() + QStringLiteral("/tmp"); }
    // The variable that names the home folder: HOME, or USERPROFILE on Windows.
    static const char *homeVariable();
    // Makes the private folders of a Unix session under the root: each variable with its path.
    static QList<QPair<QString, QString>> makeSessionFolders(const QString &root);

    // Where a test writes files for a person to look at (PNG renderings, screenshots).
    static QString artifactDir();
    // The build's programs, empty when not built.
    static QString simProgram() { return builtProgram("/sim/tavrin-sim"); }
    static QString clientProgram() { return builtProgram("/app/tavrin-client"); }
    static QString sourceDir();
    static QString buildDir();
    // Windows: the registry key that the process sees as HKEY_CURRENT_USER, in full.
    static QString registryRoot();
    // The lines of the client's log (in the home folder unless named) behind their time stamps:
    // "Warning: text".
    static QStringList logEntries(const QString &path = QString());
    // The same entries of the log in the home folder as one text, a line each.
    static QString logText() { return logEntries().join('\n'); }

private:
    static QString builtProgram(const char *path);
    void isolate();
    void restore();

    QTemporaryDir m_dir;
};

#define TAVRIN_TEST_MAIN_IMPL(AppClass, TestObject) \
    int main(int argc, char *argv[]) \
    { \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) \
            qputenv("QT_QPA_PLATFORM", "offscreen"); \
        TavrinTestEnvironment environment; \
        setTavrinApplicationIdentity(); \
        QGuiApplication::setQuitOnLastWindowClosed(false); \
        AppClass app(argc, argv); \
        app.setAttribute(Qt::AA_Use96Dpi, true); \
        TestObject tc; \
        QTEST_SET_MAIN_SOURCE_PATH \
        return QTest::qExec(&tc, argc, argv); \
    }

// A test main() for widget tests (offscreen platform unless the caller chose one).
#define TAVRIN_TEST_MAIN(TestObject) TAVRIN_TEST_MAIN_IMPL(QApplication, TestObject)
// A test main() for tests that need no GUI.
#define TAVRIN_TEST_GUILESS_MAIN(TestObject) TAVRIN_TEST_MAIN_IMPL(QCoreApplication, TestObject)

#endif // TAVRINTESTENVIRONMENT_H
