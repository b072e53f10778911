#include "service/tavrinservicepeer.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

// The client cannot open the token of a service that runs under another account: that needs
// the debug privilege, which neither a standard user nor an administrator without elevation
// has. Everything below is read from the client's own pipe handle and its own process.
namespace {

QString sidText(PSID sid)
{
    LPWSTR text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text))
        return QString();
    const QString result = QString::fromWCharArray(text);
    LocalFree(text);
    return result;
}

// The owner of the pipe object. Qt opens the pipe for reading, which carries READ_CONTROL, all
// that reading the owner needs.
QString pipeOwner(HANDLE pipe)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor)
        != ERROR_SUCCESS) {
        return QString();
    }
    const QString text = sidText(owner);
    LocalFree(descriptor);
    return text;
}

// The user this process runs as: its own token, which it may always read.
QString currentUser()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return QString();
    QString user;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    QByteArray buffer(int(size), '\0');
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        user = sidText(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid);
    CloseHandle(token);
    return user;
}

} // namespace

bool checkServicePeer(qintptr socketDescriptor, QString *note)
{
    const HANDLE pipe = reinterpret_cast<HANDLE>(socketDescriptor);
    if (socketDescriptor == -1) {
        *note = QStringLiteral("cannot tell who runs the service: no pipe");
        return false;
    }
    ULONG serverSession = 0;
    DWORD ownSession = 0;
    const bool serverSessionKnown = GetNamedPipeServerSessionId(pipe, &serverSession);
    const bool ownSessionKnown = ProcessIdToSessionId(GetCurrentProcessId(), &ownSession);
    if (isTrustedServicePipe(pipeOwner(pipe), currentUser(),
                             serverSessionKnown ? qint64(serverSession) : -1,
                             ownSessionKnown ? qint64(ownSession) : -1, note)) {
        return true;
    }
    ULONG pid = 0;
    if (GetNamedPipeServerProcessId(pipe, &pid))
        note->append(QStringLiteral(" (server process %1)").arg(pid));
    return false;
}
