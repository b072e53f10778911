#include "tavrintestenvironment.h"

QList<QPair<QString, QString>> TavrinTestEnvironment::makeSessionFolders(const QString &root)
{
    QList<QPair<QString, QString>> folders;
    for (const QString entry : {"HOME=/home", "XDG_CONFIG_HOME=/home/.config", "TMPDIR=/tmp",
                                "XDG_DATA_HOME=/home/.local/share", "XDG_RUNTIME_DIR=/run",
                                "XDG_CACHE_HOME=/home/.cache"}) {
        folders.append({entry.section('=', 0, 0), root + entry.section('=', 1)});
        QDir().mkpath(folders.last().second);
        QFile::setPermissions(folders.last().second,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return folders;
}

QString TavrinTestEnvironment::builtProgram(const char *path)
{
    const QString file = buildDir() + QLatin1String(path) + QStringLiteral(TAVRIN_TEST_EXE_SUFFIX);
    return QFile::exists(file) ? file : QString();
}

QStringList TavrinTestEnvironment::logEntries(const QString &path)
{
    QFile file(path.isEmpty() ? s_instance->home() + QStringLiteral("/tavrin-client.log") : path);
    QStringList lines = file.open(QIODevice::ReadOnly)
                                ? QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts)
                                : QStringList();
    for (QString &line : lines)
        line.remove(0, 26); // "yyyy.MM.dd hh:mm:ss.zzz - "
    return lines;
}
