#include "service/tavrinservicepeer.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

bool checkServicePeer(qintptr socketDescriptor, QString *note)
{
    note->clear();
    struct ucred credentials;
    socklen_t size = sizeof(credentials);
    std::memset(&credentials, 0, sizeof(credentials));
    if (socketDescriptor < 0) {
        *note = QStringLiteral("cannot tell who runs the service: no socket");
        return false;
    }
    if (getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        *note = QStringLiteral("cannot tell who runs the service: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const uid_t self = geteuid();
    if (!isTrustedServicePeer(credentials.uid, self)) {
        *note = QStringLiteral("the service socket belongs to user %1 (pid %2), neither root "
                               "nor the current user %3")
                        .arg(credentials.uid)
                        .arg(credentials.pid)
                        .arg(self);
        return false;
    }
    return true;
}
