#include "settings/qvpnclientsettings.h"

#include "base/tavrindeployment.h"
#include "service/tavrincredentials.h"
#include "settings/qvpnautostart.h"
#include "settings/qvpnclientsettings_p.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qdir.h>
#include <QtCore/qlogging.h>

static const char connectionNameKey[] = "Connection Name";
static const char connectionCodeKey[] = "Connection Code";
static const char connectionHostnameKey[] = "Connection Hostname";
static const char credentialsKey[] = "Creditentials";
static const char autoLoginKey[] = "AutoLogin";
static const char favoriteServersKey[] = "FavoriteServers";

// Hands the pending writes to the store now rather than in the destructor, so that a failure
// can be noticed. QSettings writes a file store atomically and, when the file on disk cannot
// be read or written, leaves it as it is, so a failed write never costs the other items.
static void commit(QVPNClientSettings &settings)
{
    qvpnProtectSettingsStore(settings.fileName());
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qWarning("QVPNClientSettings: could not write the settings to %s",
                 qPrintable(QDir::toNativeSeparators(settings.fileName())));
        return;
    }
    qvpnProtectSettingsStore(settings.fileName());
}

VPNServer QVPNClientSettings::defaultConnection()
{
    return VPNServer{QStringLiteral("Automatic"), QStringLiteral("auto"), tavrinAutoHostname()};
}

VPNServer QVPNClientSettings::getConnection()
{
    QVPNClientSettings settings;
    const VPNServer automatic = defaultConnection();
    VPNServer server;
    server.name = settings.value(QLatin1String(connectionNameKey), automatic.name).toString();
    server.code = settings.value(QLatin1String(connectionCodeKey), automatic.code).toString();
    server.hostname = settings.value(QLatin1String(connectionHostnameKey), automatic.hostname)
                              .toString();
    return server;
}

void QVPNClientSettings::setConnection(const VPNServer &server)
{
    QVPNClientSettings settings;
    settings.setValue(QLatin1String(connectionNameKey), server.name);
    settings.setValue(QLatin1String(connectionCodeKey), server.code);
    settings.setValue(QLatin1String(connectionHostnameKey), server.hostname);
    commit(settings);
}

bool QVPNClientSettings::getCredentials(QString &username, QString &password)
{
    QVPNClientSettings settings;
    const QString text = settings.value(QLatin1String(credentialsKey)).toString();
    return decodeUserPass(text, username, password);
}

void QVPNClientSettings::setCredentials(const QString &username, const QString &password)
{
    QByteArray text = encodeUserPass(username, password);
    // A user name or password too long for the credential text yields no text at all;
    // keep what is stored rather than wiping it.
    if (text.isEmpty())
        return;
    const int end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);

    QVPNClientSettings settings;
    settings.setValue(QLatin1String(credentialsKey), QString::fromLatin1(text));
    commit(settings);
}

bool QVPNClientSettings::getAutoLogin()
{
    QVPNClientSettings settings;
    return settings.value(QLatin1String(autoLoginKey), false).toBool();
}

void QVPNClientSettings::setAutoLogin(bool autoLogin)
{
    QVPNClientSettings settings;
    settings.setValue(QLatin1String(autoLoginKey), autoLogin);
    commit(settings);
}

QString QVPNClientSettings::getFavoriteServers()
{
    QVPNClientSettings settings;
    return settings.value(QLatin1String(favoriteServersKey), QString()).toString();
}

void QVPNClientSettings::setFavoriteServers(const QString &favorites)
{
    QVPNClientSettings settings;
    settings.setValue(QLatin1String(favoriteServersKey), favorites);
    commit(settings);
}

bool QVPNClientSettings::isAutoStart()
{
    return hasAutoStartEntry();
}

void QVPNClientSettings::setAutoStart(bool enable)
{
    if (enable)
        writeAutoStartEntry(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
    else
        removeAutoStartEntry();
}
