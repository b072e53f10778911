#pragma once

#include "base/tavrindeployment.h"

#include <QtCore/QtCore>
#include <QtGui/qguiapplication.h>

// Reached only when something is broken; the real programs get longer (sanitizer builds).
constexpr int Patience = 20000, LongPatience = 60000;

// Unlike QTest::qWaitFor, looks again as soon as anything has happened.
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

// Keeps a test away from the user's files and settings: HOME, XDG folders, TMPDIR (Windows: TMP,
// TEMP, USERPROFILE and HKEY_CURRENT_USER) of its own, made before the application.
class TavrinTestEnvironment
{
public:
    TavrinTestEnvironment()
    {
        Q_ASSERT(m_dir.isValid());
        isolate();
        s_instance = this;
    }
    ~TavrinTestEnvironment()
    {
        restore();
        s_instance = nullptr;
    }

    static TavrinTestEnvironment *instance() { return s_instance; }

    QString root() const { return m_dir.path(); }
    QString home() const { return root() + QStringLiteral("/home"); }
    QString configHome() const { return home() + QStringLiteral("/.config"); }
    QString tempDir() const { return root() + QStringLiteral("/tmp"); }
    static const char *homeVariable(); // HOME, USERPROFILE on Windows
    static QList<QPair<QString, QString>> makeSessionFolders(const QString &root);

    static QString simProgram() { return builtProgram("/sim/tavrin-sim"); }
    static QString clientProgram() { return builtProgram("/app/tavrin-client"); }
    static QString sourceDir() { return QStringLiteral(TAVRIN_TEST_SOURCE_DIR); }
    static QString buildDir() { return QStringLiteral(TAVRIN_TEST_BUILD_DIR); }
    static QString registryRoot(); // Windows: HKEY_CURRENT_USER's own key, in full
    static QStringList logEntries(const QString &path = QString());
    static QString logText() { return logEntries().join('\n'); }

private:
    static QString builtProgram(const char *path);
    void isolate();
    void restore();

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/tavrin-test-XXXXXX")};
    static inline TavrinTestEnvironment *s_instance = nullptr;
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

#define TAVRIN_TEST_MAIN(TestObject) TAVRIN_TEST_MAIN_IMPL(QApplication, TestObject)
#define TAVRIN_TEST_GUILESS_MAIN(TestObject) TAVRIN_TEST_MAIN_IMPL(QCoreApplication, TestObject)
