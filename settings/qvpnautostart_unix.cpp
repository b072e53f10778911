#include "settings/qvpnautostart.h"

#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qfileinfo.h>
#include <QtCore/qsavefile.h>
#include <QtCore/qstandardpaths.h>

// An XDG autostart entry: $XDG_CONFIG_HOME/autostart/tavrin-client.desktop.
static QString autoStartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QLatin1String("/autostart/tavrin-client.desktop");
}

bool hasAutoStartEntry()
{
    // Entries are short; a longer file is read no further than this.
    const qint64 maximumEntrySize = 64 * 1024;
    QFile file(autoStartEntryPath());
    if (!QFileInfo(file).isFile())
        return false;
    if (!file.open(QIODevice::ReadOnly))
        return true; // there, though unreadable: it cannot have been turned off
    return autoStartEntryEnabled(file.read(maximumEntrySize));
}

// Written as plain text (QSettings would escape the Exec line beyond what desktop entries
// allow) and atomically, so an earlier entry stays whole if the write fails.
bool writeAutoStartEntry(const QString &program)
{
    if (program.isEmpty())
        return false;
    const QString path = autoStartEntryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(autoStartDesktopEntry(program));
    return file.commit();
}

bool removeAutoStartEntry()
{
    const QString path = autoStartEntryPath();
    return !QFileInfo(path).isFile() || QFile::remove(path);
}
