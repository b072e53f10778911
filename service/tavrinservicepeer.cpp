#include "service/tavrinservicepeer.h"

bool isTrustedServicePeer(quint64 peerUid, quint64 selfUid)
{
    return peerUid == 0 || peerUid == selfUid;
}

static bool isSystemOwner(const QString &sid)
{
    // LocalSystem, LocalService, NetworkService and the Administrators group, which owns what
    // the system account and elevated administrators create; S-1-5-80-... is a service's own.
    static const char *const system[] = {"S-1-5-18", "S-1-5-19", "S-1-5-20", "S-1-5-32-544"};
    for (const char *trusted : system) {
        if (sid == QLatin1String(trusted))
            return true;
    }
    return sid.startsWith(QLatin1String("S-1-5-80-"));
}

bool isTrustedServicePipe(const QString &ownerSid, const QString &selfSid, qint64 serverSession,
                          qint64 ownSession, QString *note)
{
    note->clear();
    if (!ownerSid.isEmpty()) {
        if (isSystemOwner(ownerSid) || ownerSid == selfSid)
            return true;
        *note = QStringLiteral("the service pipe belongs to %1, neither the system, the "
                               "administrators nor the current user %2")
                        .arg(ownerSid, selfSid);
        return false;
    }
    if (serverSession == 0)
        return true;
    if (serverSession > 0 && ownSession >= 0 && serverSession != ownSession) {
        *note = QStringLiteral("the service pipe's owner cannot be read and its server runs in "
                               "session %1, another user's desktop, not with the services")
                        .arg(serverSession);
        return false;
    }
    *note = QStringLiteral("the service pipe's owner cannot be read (server session %1); "
                           "talking to it as the only service there is")
                    .arg(serverSession);
    return true;
}
