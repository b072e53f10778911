#ifndef TAVRINSIMSERVERLIST_H
#define TAVRINSIMSERVERLIST_H

#include <QtCore/qbytearray.h>
#include <QtCore/qjsonobject.h>
#include <QtCore/qstringlist.h>

// The server list the stand-in web API serves: one member per location, named by its display
// name, holding its flag code and host, for example
//   "Germany": {"code": "DE", "host": "127.0.0.12"}
// The hosts are loopback addresses, so every ping answers, except for a few names in the
// reserved ".invalid" domain, which never resolve and so show a failed ping.
QJsonObject builtInServerList();

// The hosts named by a server list text: the "host" strings of its members that are objects.
// Empty when the text is not a JSON object.
QStringList serverListHosts(const QByteArray &json);

#endif // TAVRINSIMSERVERLIST_H
