#ifndef QLATENCYMONITOR_H
#define QLATENCYMONITOR_H

#include <QtCore/qobject.h>
#include <QtCore/qstringlist.h>
#include <QtCore/qtimer.h>

class QIcmpEcho;
class QPingService;
class QThread;

// Measures the latency of a list of hosts, one after the other, by a ping service on a worker
// thread of its own: a pause, an echo, its answer (latencyMeasured()), the next pause, and so
// on until every host is measured. One echo is out at a time: a new list while one is out
// waits for its answer (which counts for the new list too) and goes on from there. A host of
// no name cannot be measured and fails at its turn without an echo.
class QLatencyMonitor : public QObject
{
    Q_OBJECT

public:
    explicit QLatencyMonitor(QObject *parent = nullptr);
    // Measures through the given echo instead of the system's; takes ownership.
    explicit QLatencyMonitor(QIcmpEcho *echo, QObject *parent = nullptr);
    // Never waits long for an echo: a thread stuck in one ends, and deletes itself, later.
    ~QLatencyMonitor() override;

    // The hosts to measure, each once, in order; the hosts measured before count no more.
    void setHosts(const QStringList &hostnames);
    // The pause before each echo (500 ms unless set).
    void setInterval(int milliseconds) { m_pause.setInterval(milliseconds); }

signals:
    // Milliseconds, or -1 for a failed echo.
    void latencyMeasured(const QString &hostname, int latency);
    // An echo goes out to the host.
    void pingHost(const QString &hostname);

private:
    void pingResult(const QString &hostname, int latency);
    void pingNextHost();

    QThread *m_thread;
    QPingService *m_service;
    QTimer m_pause;
    QStringList m_hosts;
    bool m_echoOut = false;
};

#endif // QLATENCYMONITOR_H
