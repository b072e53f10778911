#include "settings/qvpnautostart.h"

#include <QtCore/qsettings.h>

static const char entryName[] = "Tavrin Client";

// The per-user list of programs started at log-on:
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run.
static QSettings runKey()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Microsoft"),
                     QStringLiteral("Windows\\CurrentVersion\\Run"));
}

bool hasAutoStartEntry()
{
    const QSettings run = runKey();
    return run.contains(QLatin1String(entryName));
}

bool writeAutoStartEntry(const QString &program)
{
    if (program.isEmpty())
        return false;
    QSettings run = runKey();
    run.setValue(QLatin1String(entryName), program);
    run.sync();
    return run.status() == QSettings::NoError;
}

bool removeAutoStartEntry()
{
    QSettings run = runKey();
    run.remove(QLatin1String(entryName));
    run.sync();
    return run.status() == QSettings::NoError;
}
