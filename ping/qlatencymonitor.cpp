#include "ping/qlatencymonitor.h"

#include "ping/qicmpecho.h"
#include "ping/qpingservice.h"

#include <QtCore/qthread.h>

static constexpr int DefaultInterval = 500;
// How long the destructor waits for the thread to end.
static constexpr int ShutdownWait = 100;

QLatencyMonitor::QLatencyMonitor(QObject *parent)
    : QLatencyMonitor(nullptr, parent)
{}

QLatencyMonitor::QLatencyMonitor(QIcmpEcho *echo, QObject *parent)
    : QObject(parent)
    , m_thread(new QThread(this))
    , m_service(echo ? new QPingService(echo) : new QPingService)
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(DefaultInterval);
    connect(&m_pause, &QTimer::timeout, this, &QLatencyMonitor::pingNextHost);
    m_service->moveToThread(m_thread);
    connect(this, &QLatencyMonitor::pingHost, m_service, &QPingService::pingHost);
    connect(m_service, &QPingService::pingResult, this, &QLatencyMonitor::pingResult);
}

QLatencyMonitor::~QLatencyMonitor()
{
    // An echo may block the ping thread for up to a second, name resolution even longer: make
    // the echo give up, let no late result reach us, and give the thread a moment to end.
    if (!m_thread->isRunning() && !m_thread->isFinished()) {
        delete m_service; // never started: nothing runs on the thread
        return;
    }
    m_service->abort();
    disconnect(m_service, nullptr, this, nullptr);
    disconnect(this, nullptr, m_service, nullptr);
    // The service is deleted on its own thread as that thread ends, and the thread object
    // after it has ended: immediately below, or later if it cannot stop in time.
    connect(m_thread, &QThread::finished, m_service, &QObject::deleteLater);
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread->exit(0);
    if (m_thread->wait(ShutdownWait)) {
        delete m_thread;
    } else {
        // Still blocked where it cannot be interrupted. Terminating the thread would unwind it
        // through its event loop and corrupt it; it is left to end on its own instead.
        m_thread->setParent(nullptr);
    }
}

void QLatencyMonitor::setHosts(const QStringList &hostnames)
{
    // The thread starts with the first list: a program measures nothing until its servers come.
    if (!m_thread->isRunning() && !m_thread->isFinished())
        m_thread->start();
    m_hosts = hostnames;
    // A step already due, or the answer of the echo out, goes on with the new list.
    if (!m_echoOut && !m_pause.isActive())
        m_pause.start();
}

void QLatencyMonitor::pingResult(const QString &hostname, int latency)
{
    m_echoOut = false;
    m_hosts.removeAll(hostname);
    emit latencyMeasured(hostname, latency);
    if (!m_hosts.isEmpty())
        m_pause.start();
}

void QLatencyMonitor::pingNextHost()
{
    if (m_hosts.isEmpty())
        return;
    const QString hostname = m_hosts.constFirst();
    if (hostname.isEmpty()) {
        pingResult(hostname, -1);
        return;
    }
    m_echoOut = true;
    emit pingHost(hostname);
}
