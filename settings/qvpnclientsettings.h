#ifndef QVPNCLIENTSETTINGS_H
#define QVPNCLIENTSETTINGS_H

#include "base/vpnserver.h"

#include <QtCore/qsettings.h>

// The per-user settings store of the client: the connection chosen last, the stored
// credentials, the auto-login flag, the favourite servers and the log-on start entry.
//
// Nothing is kept between calls: every static operation opens a fresh store, reads or writes
// one item and closes the store again, so a written value is on disk (or in the registry) when
// the call returns and every later call, in this process or the next run, sees it.
class QVPNClientSettings : public QSettings
{
public:
    QVPNClientSettings();

    // The connection of a first run: the entry for automatic server selection.
    static VPNServer defaultConnection();
    static VPNServer getConnection();
    static void setConnection(const VPNServer &server);

    static bool getCredentials(QString &username, QString &password);
    static void setCredentials(const QString &username, const QString &password);

    static bool getAutoLogin();
    static void setAutoLogin(bool autoLogin);

    static QString getFavoriteServers();
    static void setFavoriteServers(const QString &favorites);

    static bool isAutoStart();
    static void setAutoStart(bool enable);

private:
    Q_DISABLE_COPY(QVPNClientSettings)
};

#endif // QVPNCLIENTSETTINGS_H
