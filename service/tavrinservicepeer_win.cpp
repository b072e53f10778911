#include "service/tavrinservicepeer.h"

#include <windows.h>

#include <sddl.h>

namespace {

// The user a process runs as, in SID text ("S-1-5-18"); empty when it cannot be read.
QString processUser(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return QString();
    QString user;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    QByteArray buffer(int(size), '\0');
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        LPWSTR text = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid, &text)) {
            user = QString::fromWCharArray(text);
            LocalFree(text);
        }
    }
    CloseHandle(token);
    return user;
}

QString systemError()
{
    return QStringLiteral("error %1").arg(GetLastError());
}

} // namespace

// The process at the server end of the pipe runs as the local system account or as the
// current user; anyone else who made a pipe "Tavrin" first is not talked to.
bool checkServicePeer(qintptr socketDescriptor, QString *reason)
{
    ULONG pid = 0;
    if (socketDescriptor == -1
        || !GetNamedPipeServerProcessId(reinterpret_cast<HANDLE>(socketDescriptor), &pid)) {
        *reason = QStringLiteral("cannot tell who runs the service: %1").arg(systemError());
        return false;
    }
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    const QString peer = process ? processUser(process) : QString();
    if (process)
        CloseHandle(process);
    const QString self = processUser(GetCurrentProcess());
    if (peer.isEmpty() || self.isEmpty()) {
        *reason = QStringLiteral("cannot tell who runs the service (pid %1): %2")
                          .arg(pid)
                          .arg(systemError());
        return false;
    }
    const QString localSystem = QStringLiteral("S-1-5-18");
    if (peer != localSystem && peer != self) {
        *reason = QStringLiteral("the service pipe belongs to user %1 (pid %2), neither the "
                                 "system nor the current user %3")
                          .arg(peer)
                          .arg(pid)
                          .arg(self);
        return false;
    }
    return true;
}
