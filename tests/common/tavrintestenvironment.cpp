#include "tavrintestenvironment.h"

#include <QtCore/qdir.h>

#ifndef TAVRIN_TEST_BUILD_DIR
#define TAVRIN_TEST_BUILD_DIR ""
#endif
#ifndef TAVRIN_TEST_SOURCE_DIR
#define TAVRIN_TEST_SOURCE_DIR ""
#endif

static TavrinTestEnvironment *s_instance = nullptr;

static QString makeFolder(const QString &path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

TavrinTestEnvironment::TavrinTestEnvironment()
    : m_dir(QDir::tempPath() + QStringLiteral("/tavrin-test-XXXXXX"))
{
    Q_ASSERT(m_dir.isValid());
    qputenv("HOME", makeFolder(home()).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", makeFolder(configHome()).toLocal8Bit());
    qputenv("XDG_DATA_HOME",
            makeFolder(root() + QStringLiteral("/home/.local/share")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", makeFolder(root() + QStringLiteral("/home/.cache")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", makeFolder(runtimeDir()).toLocal8Bit());
    qputenv("TMPDIR", makeFolder(tempDir()).toLocal8Bit());
    s_instance = this;
}

TavrinTestEnvironment::~TavrinTestEnvironment()
{
    s_instance = nullptr;
}

TavrinTestEnvironment *TavrinTestEnvironment::instance()
{
    return s_instance;
}

QString TavrinTestEnvironment::home() const
{
    return root() + QStringLiteral("/home");
}

QString TavrinTestEnvironment::configHome() const
{
    return root() + QStringLiteral("/home/.config");
}

QString TavrinTestEnvironment::runtimeDir() const
{
    return root() + QStringLiteral("/run");
}

QString TavrinTestEnvironment::tempDir() const
{
    return root() + QStringLiteral("/tmp");
}

QString TavrinTestEnvironment::artifactDir()
{
    const QString path = buildDir() + QStringLiteral("/test-artifacts");
    QDir().mkpath(path);
    return path;
}

QString TavrinTestEnvironment::simProgram()
{
    const QString path = buildDir() + QStringLiteral("/sim/tavrin-sim");
    return QFile::exists(path) ? path : QString();
}

QString TavrinTestEnvironment::clientProgram()
{
    const QString path = buildDir() + QStringLiteral("/app/tavrin-client");
    return QFile::exists(path) ? path : QString();
}

QString TavrinTestEnvironment::sourceDir()
{
    return QStringLiteral(TAVRIN_TEST_SOURCE_DIR);
}

QString TavrinTestEnvironment::buildDir()
{
    return QStringLiteral(TAVRIN_TEST_BUILD_DIR);
}
