#include "sim/qtavrinsimsharedstate.h"

QString QTavrinSimSharedState::exitAddress(int hostIndex)
{
    const int octet = 100 + (hostIndex < 0 ? 0 : hostIndex % 150);
    return QStringLiteral("203.0.113.%1").arg(octet);
}

void QTavrinSimSharedState::tunnelUp(const QString &exitAddress)
{
    QMutexLocker locker(&m_mutex);
    ++m_tunnelsUp;
    m_exitAddress = exitAddress;
}

void QTavrinSimSharedState::tunnelDown()
{
    QMutexLocker locker(&m_mutex);
    if (m_tunnelsUp > 0)
        --m_tunnelsUp;
}

bool QTavrinSimSharedState::isConnected() const
{
    QMutexLocker locker(&m_mutex);
    return m_tunnelsUp > 0;
}

QString QTavrinSimSharedState::publicAddress() const
{
    QMutexLocker locker(&m_mutex);
    return m_tunnelsUp > 0 ? m_exitAddress : disconnectedAddress();
}
