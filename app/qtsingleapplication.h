#ifndef QTSINGLEAPPLICATION_H
#define QTSINGLEAPPLICATION_H

#include <QtCore/qstringlist.h>
#include <QtWidgets/qapplication.h>

#include <memory>

class QLockFile;

// The application object of a program that runs once per user. The first instance takes a lock
// file named after the program and the user in the user's runtime folder (the temp folder when
// there is none or it cannot hold the lock) and keeps it for its whole life; a later instance
// finds the lock held and reports isRunning(). A lock left behind by an instance that died is
// taken over.
class QtSingleApplication : public QApplication
{
    Q_OBJECT

public:
    QtSingleApplication(int &argc, char **argv);
    ~QtSingleApplication() override;

    // True when another live instance of the program holds the lock for this user.
    bool isRunning() const;

    // The lock file's name for a program and a user key, safe as a file name.
    static QString lockFileName(const QString &applicationName, const QString &userKey);
    // What tells this user from others on the machine (platform file).
    static QString currentUserKey();
    // The folders tried for the lock, in order.
    static QStringList lockFolders();

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_running = false;
};

// Outcome of takeInstanceLock().
struct QtInstanceLock
{
    std::unique_ptr<QLockFile> lock; // held by us, or null
    QString path;                    // the lock file taken or found held
    bool heldElsewhere = false;      // a live process holds it
};

// Takes the lock file fileName in the first of folders that can hold it. Stops at the first
// folder where the lock is held by a live process; a stale lock (its owner died) is taken over.
QtInstanceLock takeInstanceLock(const QStringList &folders, const QString &fileName);

#endif // QTSINGLEAPPLICATION_H
