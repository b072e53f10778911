#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>

void TavrinTestEnvironment::isolate()
{
    const QString folders[][2] = {{"HOME", home()},
                                  {"XDG_CONFIG_HOME", configHome()},
                                  {"XDG_DATA_HOME", home() + "/.local/share"},
                                  {"XDG_CACHE_HOME", home() + "/.cache"},
                                  {"XDG_RUNTIME_DIR", runtimeDir()},
                                  {"TMPDIR", tempDir()}};
    for (const auto &[name, path] : folders) {
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(qPrintable(name), path.toLocal8Bit());
    }
}

void TavrinTestEnvironment::restore() {}

const char *TavrinTestEnvironment::homeVariable()
{
    return "HOME";
}
