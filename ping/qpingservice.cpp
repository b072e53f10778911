#include "ping/qpingservice.h"

#include "ping/qicmpecho.h"
#include "ping/qsystemicmpecho.h"

QPingService::QPingService(QObject *parent)
    : QPingService(new QSystemIcmpEcho, parent)
{}

QPingService::QPingService(QIcmpEcho *echo, QObject *parent)
    : QObject(parent)
    , m_echo(echo)
{}

QPingService::~QPingService() = default;

void QPingService::abort()
{
    if (m_echo)
        m_echo->abort();
}

void QPingService::pingHost(const QString &hostname)
{
    const int latency = m_echo ? m_echo->echo(hostname) : -1;
    emit pingResult(hostname, latency < 0 ? -1 : latency);
}
