#ifndef QVPNCLIENTSETTINGS_P_H
#define QVPNCLIENTSETTINGS_P_H

#include <QtCore/qstring.h>

// Platform part of QVPNClientSettings: called with the store's file name before and after
// each write. Where the store is a file (Unix), it holds the credential text, so it is kept
// readable and writable by its owner only; the registry needs nothing.
void qvpnProtectSettingsStore(const QString &fileName);

#endif // QVPNCLIENTSETTINGS_P_H
