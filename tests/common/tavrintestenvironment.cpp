#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>

static TavrinTestEnvironment *s_instance = nullptr;

TavrinTestEnvironment::TavrinTestEnvironment()
    : m_dir(QDir::tempPath() + QStringLiteral("/tavrin-test-XXXXXX"))
{
    Q_ASSERT(m_dir.isValid());
    isolate();
    s_instance = this;
}

TavrinTestEnvironment::~TavrinTestEnvironment()
{
    restore();
    s_instance = nullptr;
}

TavrinTestEnvironment *TavrinTestEnvironment::instance()
{
    return s_instance;
}

QList<QPair<QString, QString>> TavrinTestEnvironment::makeSessionFolders(const QString &root)
{
    QList<QPair<QString, QString>> folders;
    for (const char *folder : {"HOME=/home", "XDG_CONFIG_HOME=/home/.config", "TMPDIR=/tmp",
                               "XDG_DATA_HOME=/home/.local/share", "XDG_RUNTIME_DIR=/run",
                               "XDG_CACHE_HOME=/home/.cache"}) {
        const QString entry = QString::fromLatin1(folder);
        folders.append({entry.section('=', 0, 0), root + entry.section('=', 1)});
        QDir().mkpath(folders.last().second);
        QFile::setPermissions(folders.last().second,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return folders;
}

QString TavrinTestEnvironment::artifactDir()
{
    const QString path = buildDir() + QStringLiteral("/test-artifacts");
    QDir().mkpath(path);
    return path;
}

QString TavrinTestEnvironment::builtProgram(const char *path)
{
    const QString file = buildDir() + QLatin1String(path) + QStringLiteral(TAVRIN_TEST_EXE_SUFFIX);
    return QFile::exists(file) ? file : QString();
}

QString TavrinTestEnvironment::sourceDir()
{
    return QStringLiteral(TAVRIN_TEST_SOURCE_DIR);
}

QString TavrinTestEnvironment::buildDir()
{
    return QStringLiteral(TAVRIN_TEST_BUILD_DIR);
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
