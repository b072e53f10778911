#include "settings/qvpnautostart.h"

#include "base/tavrindeployment.h"

#include <QtCore/qsettings.h>

static const char entryName[] = "Tavrin Client";

// The per-user list of programs started at log-on:
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run.
namespace {
// Without fallbacks: the machine-wide list (HKEY_LOCAL_MACHINE) is not the user's choice.
class RunKey : public QSettings
{
public:
    RunKey()
        : QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Microsoft"),
                    QStringLiteral("Windows\\CurrentVersion\\Run"))
    {
        setFallbacksEnabled(false);
    }
};
} // namespace

bool hasAutoStartEntry()
{
    const RunKey run;
    return run.contains(QLatin1String(entryName));
}

bool writeAutoStartEntry(const QString &program)
{
    if (program.isEmpty())
        return false;
    RunKey run;
    // Quoted: the system splits an unquoted path at its first space, and would start
    // C:\Program.exe for a program under C:\Program Files. The option marks a start at log-on.
    run.setValue(QLatin1String(entryName), QString(QLatin1Char('"') + program + QLatin1String("\" ")
                                                   + QLatin1String(tavrinLogOnOption)));
    run.sync();
    return run.status() == QSettings::NoError;
}

bool removeAutoStartEntry()
{
    RunKey run;
    run.remove(QLatin1String(entryName));
    run.sync();
    return run.status() == QSettings::NoError;
}
