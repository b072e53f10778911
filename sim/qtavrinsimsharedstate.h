#ifndef QTAVRINSIMSHAREDSTATE_H
#define QTAVRINSIMSHAREDSTATE_H

#include <QtCore/qmutex.h>
#include <QtCore/qstring.h>

// What the local socket side and the web API side share: whether a tunnel is up and which
// public address the machine shows. Written on the main thread, read on the HTTP threads.
class QTavrinSimSharedState
{
public:
    // The address the machine shows while no tunnel is up (documentation range).
    static QString disconnectedAddress() { return QStringLiteral("203.0.113.10"); }
    // The address the machine shows through the tunnel to the location with this index in the
    // list of known hosts (documentation range, never the disconnected one).
    static QString exitAddress(int hostIndex);

    void tunnelUp(const QString &exitAddress);
    void tunnelDown();

    bool isConnected() const;
    QString publicAddress() const;

private:
    mutable QMutex m_mutex;
    int m_tunnelsUp = 0;
    QString m_exitAddress;
};

#endif // QTAVRINSIMSHAREDSTATE_H
