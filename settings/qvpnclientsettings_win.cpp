#include "settings/qvpnclientsettings.h"
#include "settings/qvpnclientsettings_p.h"

// HKEY_CURRENT_USER\Software\Tavrin in the registry.
QVPNClientSettings::QVPNClientSettings()
    : QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\Tavrin"), QSettings::NativeFormat)
{}

void qvpnProtectSettingsStore(const QString &fileName)
{
    // The registry key is the user's own; nothing to do.
    Q_UNUSED(fileName);
}
