#ifndef TAVRINSERVICEPEER_H
#define TAVRINSERVICEPEER_H

#include <QtCore/qglobal.h>
#include <QtCore/qstring.h>

// Anyone may create the local socket "Tavrin" before the real service does, and a client that
// talks to such a socket hands its credentials to whoever made it. The client therefore only
// talks to a service run by the system administrator or by the user it runs as.

// The decision: a service run by user peerUid may be trusted by a client run by selfUid.
bool isTrustedServicePeer(quint64 peerUid, quint64 selfUid);

// Checks the process at the other end of a connected local socket. Returns true when it may be
// trusted; otherwise returns false and puts the reason into *reason.
bool checkServicePeer(qintptr socketDescriptor, QString *reason);

#endif // TAVRINSERVICEPEER_H
