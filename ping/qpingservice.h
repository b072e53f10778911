#ifndef QPINGSERVICE_H
#define QPINGSERVICE_H

#include <QtCore/qobject.h>
#include <QtCore/qscopedpointer.h>

class QIcmpEcho;

// Measures the latency of one host with a single ICMP echo. Lives on a worker thread of its
// own; requests and results travel as queued signals. Every request is answered with exactly
// one pingResult carrying the very host name string it was asked for.
class QPingService : public QObject
{
    Q_OBJECT

public:
    explicit QPingService(QObject *parent = nullptr);
    // Measures through the given echo instead of the system's; takes ownership of it.
    explicit QPingService(QIcmpEcho *echo, QObject *parent = nullptr);
    ~QPingService() override;

    // Thread-safe: makes a running echo give up and every later request fail at once. Called
    // by the owner from its own thread before it stops the service's thread.
    void abort();

signals:
    void pingResult(const QString &hostname, int latency);

public slots:
    void pingHost(const QString &hostname);

private:
    QScopedPointer<QIcmpEcho> m_echo;
};

#endif // QPINGSERVICE_H
