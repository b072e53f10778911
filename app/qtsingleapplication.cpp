#include "app/qtsingleapplication.h"

#include <QtCore/qdir.h>
#include <QtCore/qlockfile.h>
#include <QtCore/qstandardpaths.h>

QtInstanceLock takeInstanceLock(const QStringList &folders, const QString &fileName)
{
    QtInstanceLock result;
    for (const QString &folder : folders) {
        if (folder.isEmpty() || !QDir().mkpath(folder))
            continue;
        const QString path = QDir(folder).absoluteFilePath(fileName);
        auto lock = std::make_unique<QLockFile>(path);
        // Only a lock whose owner has died is stale; a long-running instance keeps its lock.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            result.lock = std::move(lock);
            result.path = path;
            return result;
        }
        if (lock->error() == QLockFile::LockFailedError) {
            result.heldElsewhere = true;
            result.path = path;
            return result;
        }
        // The folder cannot hold a lock (read-only, full, ...): try the next one.
    }
    return result;
}

QtSingleApplication::QtSingleApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    QtInstanceLock taken = takeInstanceLock(lockFolders(),
                                            lockFileName(applicationName(), currentUserKey()));
    m_lock = std::move(taken.lock);
    // When no folder can hold a lock at all the program runs unguarded rather than not at all.
    m_running = taken.heldElsewhere;
}

QtSingleApplication::~QtSingleApplication() = default;

bool QtSingleApplication::isRunning() const
{
    return m_running;
}

QString QtSingleApplication::lockFileName(const QString &applicationName, const QString &userKey)
{
    QString name = applicationName + QLatin1Char('-') + userKey;
    for (QChar &c : name) {
        const bool safe = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                          || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                          || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                          || c == QLatin1Char('-') || c == QLatin1Char('_')
                          || c == QLatin1Char('.');
        if (!safe)
            c = QLatin1Char('_');
    }
    return name + QStringLiteral(".lock");
}

QStringList QtSingleApplication::lockFolders()
{
    QStringList folders;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        folders << runtime;
    const QString temp = QDir::tempPath();
    if (!folders.contains(temp))
        folders << temp;
    return folders;
}
