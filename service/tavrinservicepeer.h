#ifndef TAVRINSERVICEPEER_H
#define TAVRINSERVICEPEER_H

#include <QtCore/qglobal.h>
#include <QtCore/qstring.h>

// Anyone may create the local socket "Tavrin" before the real service does, and a client that
// talks to such a socket hands its credentials to whoever made it. The client therefore only
// talks to a service run by the system or by the user it runs as.

// The decision on Unix: a service run by user peerUid may be trusted by a client run by selfUid.
bool isTrustedServicePeer(quint64 peerUid, quint64 selfUid);

// The decision on Windows, where a standard user cannot read the token of a service that runs
// under another account, but can read the owner of the pipe it opened. ownerSid is the pipe's
// owner as SID text, empty when it could not be read; selfSid the user the client runs as;
// serverSession and ownSession the sessions of the pipe's server and of the client, -1 when
// unknown. The system's accounts, the administrators, a service's own SID and the user himself
// are trusted. Without an owner the server's session decides: services run in session 0, and
// only a server in another desktop session is refused. Returns whether the service may be
// talked to; *note says why not, or what could not be told and why it is trusted all the same
// (empty when there is nothing to log).
bool isTrustedServicePipe(const QString &ownerSid, const QString &selfSid, qint64 serverSession,
                          qint64 ownSession, QString *note);

// Checks the process at the other end of a connected local socket. Returns true when it may be
// trusted; otherwise returns false. *note receives what is worth logging either way (empty
// when nothing is).
bool checkServicePeer(qintptr socketDescriptor, QString *note);

#endif // TAVRINSERVICEPEER_H
