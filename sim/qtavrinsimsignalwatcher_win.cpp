#include "sim/qtavrinsimsignalwatcher.h"

#include <QtCore/qabstractnativeeventfilter.h>
#include <QtCore/qcoreapplication.h>
#include <QtCore/qpointer.h>

#include <qt_windows.h>

#include <csignal>

// The console's handler runs on a thread of its own that the system starts; it hands the
// request to the watcher's thread and returns at once.
static QPointer<QTavrinSimSignalWatcher> s_watcher;

static void requestTermination(int signalNumber)
{
    if (s_watcher) {
        QMetaObject::invokeMethod(s_watcher.data(), "terminationRequested", Qt::QueuedConnection,
                                  Q_ARG(int, signalNumber));
    }
}

static BOOL WINAPI consoleControl(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
        requestTermination(SIGINT);
        return TRUE;
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        requestTermination(SIGTERM);
        return TRUE;
    default:
        return FALSE;
    }
}

// QProcess::terminate() posts WM_CLOSE to the main thread of a program without windows.
class QTavrinSimCloseFilter : public QObject, public QAbstractNativeEventFilter
{
public:
    explicit QTavrinSimCloseFilter(QObject *parent)
        : QObject(parent)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~QTavrinSimCloseFilter() override
    {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
    bool nativeEventFilter(const QByteArray &, void *message, long *) override
    {
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->hwnd || msg->message != WM_CLOSE)
            return false;
        requestTermination(SIGTERM);
        return true;
    }
};

QTavrinSimSignalWatcher::QTavrinSimSignalWatcher(QObject *parent)
    : QObject(parent)
{
    if (s_watcher || !QCoreApplication::instance())
        return;
    s_watcher = this;
    m_filter = new QTavrinSimCloseFilter(this);
    ::SetConsoleCtrlHandler(consoleControl, TRUE);
}

QTavrinSimSignalWatcher::~QTavrinSimSignalWatcher()
{
    if (s_watcher != this)
        return;
    ::SetConsoleCtrlHandler(consoleControl, FALSE);
    s_watcher = nullptr;
}

void QTavrinSimSignalWatcher::notifier_activated() {}
