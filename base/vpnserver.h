#ifndef VPNSERVER_H
#define VPNSERVER_H

#include <QtCore/qlist.h>
#include <QtCore/qmetatype.h>
#include <QtCore/qstring.h>

// One server as the user chooses it: the location's display name (the key of the server in the
// web list), its flag code and the host that the VPN service connects to and that is pinged.
struct VPNServer
{
    QString name;
    QString code;
    QString hostname;
};

inline bool operator==(const VPNServer &a, const VPNServer &b)
{
    return a.name == b.name && a.code == b.code && a.hostname == b.hostname;
}

inline bool operator!=(const VPNServer &a, const VPNServer &b)
{
    return !(a == b);
}

Q_DECLARE_METATYPE(VPNServer)

#endif // VPNSERVER_H
