#include "tavrintestplatform.h"

#include "ping/qicmpsocket_unix.h"
#include "tavrintestenvironment.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

bool TavrinTestPlatform::allTaken(QLocalSocket *socket)
{
    int unsent = -1;
    return ::ioctl(int(socket->socketDescriptor()), SIOCOUTQ, &unsent) == 0 && unsent == 0;
}

void TavrinTestPlatform::chooseLanguage(const QString &language)
{
    qputenv("LANGUAGE", language.toLocal8Bit());
}

QString TavrinTestPlatform::systemEchoUnavailable()
{
    if (QIcmpSocket().isValid())
        return QString();
    return "No ICMP socket here: net.ipv4.ping_group_range leaves out this group, and no raw "
           "socket without root or CAP_NET_RAW.";
}

QString TavrinTestPlatform::listenAsAnotherUser(QLocalServer *server, QString *skip)
{
    if (::geteuid() != 0) {
        *skip = QStringLiteral("only root can listen as another user");
        return QString();
    }
    // The peer of a connection is whoever last called listen(): a child that has become nobody.
    const pid_t child = ::fork();
    if (child == 0) // only async-signal-safe calls in the child of a threaded process
        ::_exit(::setuid(65534) || ::listen(int(server->socketDescriptor()), 4));
    int status = -1;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status))
        return QStringLiteral("(the child that listens failed)");
    return QStringLiteral("user 65534");
}

static QString config(const char *path = "/Tavrin/Tavrin.conf")
{
    return TavrinTestEnvironment::instance()->configHome() + QLatin1String(path);
}

static int mode(const QString &path) // -1 when missing
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

QStringList TavrinTestPlatform::storedSettings()
{
    const QSettings file(config(), QSettings::IniFormat);
    QStringList stored;
    for (const QString &key : file.allKeys())
        stored << key + '=' + file.value(key).toString();
    stored.sort();
    return stored;
}

void TavrinTestPlatform::clearSettings()
{
    ::umask(022); // so that only the program itself can keep the store private
    QDir(config("/Tavrin")).removeRecursively();
    QDir(config("/autostart")).removeRecursively();
}

QString TavrinTestPlatform::storeAccessProblem()
{
    const int file = mode(config()), folder = mode(config("/Tavrin"));
    return file == 0600 && folder == 0700
                   ? QString()
                   : QStringLiteral("file %1, folder %2").arg(file, 0, 8).arg(folder, 0, 8);
}

bool TavrinTestPlatform::openStoreToOthers()
{
    return QFile::setPermissions(config(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
}
