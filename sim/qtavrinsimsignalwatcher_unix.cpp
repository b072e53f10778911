#include "sim/qtavrinsimsignalwatcher.h"

#include <QtCore/qsocketnotifier.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

// The handler only writes the signal number into one end of a socket pair; the notifier reads
// it on the Qt thread. Nothing else is safe inside a signal handler.
static int s_signalSockets[2] = {-1, -1};

static void handleTerminationSignal(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    const int savedErrno = errno;
    if (::write(s_signalSockets[0], &byte, 1) < 0) {
        // Nothing can be done about it here.
    }
    errno = savedErrno;
}

static bool installHandler(int signalNumber)
{
    struct sigaction action = {};
    action.sa_handler = handleTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(signalNumber, &action, nullptr) == 0;
}

QTavrinSimSignalWatcher::QTavrinSimSignalWatcher(QObject *parent)
    : QObject(parent)
{
    if (s_signalSockets[0] >= 0
        || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_signalSockets) != 0)
        return;
    ::fcntl(s_signalSockets[0], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(s_signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this,
            &QTavrinSimSignalWatcher::notifier_activated);
    // A client that vanishes must not end the program through SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    installHandler(SIGINT);
    installHandler(SIGTERM);
}

QTavrinSimSignalWatcher::~QTavrinSimSignalWatcher()
{
    if (!m_notifier)
        return;
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(s_signalSockets[0]);
    ::close(s_signalSockets[1]);
    s_signalSockets[0] = s_signalSockets[1] = -1;
}

void QTavrinSimSignalWatcher::notifier_activated()
{
    unsigned char byte = 0;
    if (::read(s_signalSockets[1], &byte, 1) == 1)
        emit terminationRequested(byte);
}
