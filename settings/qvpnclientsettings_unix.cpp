#include "settings/qvpnclientsettings.h"
#include "settings/qvpnclientsettings_p.h"

#include <QtCore/qdir.h>
#include <QtCore/qfileinfo.h>

// $XDG_CONFIG_HOME/Tavrin/Tavrin.conf, with the same keys and value types as the registry
// key of the Windows build.
QVPNClientSettings::QVPNClientSettings()
    : QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrin"),
                QStringLiteral("Tavrin"))
{}

static const QFileDevice::Permissions ownerOnlyFolder = QFileDevice::ReadOwner
                                                        | QFileDevice::WriteOwner
                                                        | QFileDevice::ExeOwner;
static const QFileDevice::Permissions ownerOnlyFile = QFileDevice::ReadOwner
                                                      | QFileDevice::WriteOwner;
static const QFileDevice::Permissions othersAccess = QFileDevice::ReadGroup
                                                     | QFileDevice::WriteGroup
                                                     | QFileDevice::ExeGroup
                                                     | QFileDevice::ReadOther
                                                     | QFileDevice::WriteOther
                                                     | QFileDevice::ExeOther;

void qvpnProtectSettingsStore(const QString &fileName)
{
    const QFileInfo file(fileName);
    const QString folder = file.absolutePath();
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        QFile::setPermissions(folder, ownerOnlyFolder);

    if (file.isFile() && (file.permissions() & othersAccess))
        QFile::setPermissions(fileName, ownerOnlyFile);
}
