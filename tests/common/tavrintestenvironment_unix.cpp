#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>

static QString makeFolder(const QString &path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void TavrinTestEnvironment::isolate()
{
    qputenv("HOME", makeFolder(home()).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", makeFolder(configHome()).toLocal8Bit());
    qputenv("XDG_DATA_HOME",
            makeFolder(root() + QStringLiteral("/home/.local/share")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", makeFolder(root() + QStringLiteral("/home/.cache")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", makeFolder(runtimeDir()).toLocal8Bit());
    qputenv("TMPDIR", makeFolder(tempDir()).toLocal8Bit());
}

void TavrinTestEnvironment::restore() {}

const char *TavrinTestEnvironment::homeVariable()
{
    return "HOME";
}
