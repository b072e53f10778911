#include "service/tavrinservicepeer.h"

bool isTrustedServicePeer(quint64 peerUid, quint64 selfUid)
{
    return peerUid == 0 || peerUid == selfUid;
}
