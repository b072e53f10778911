#ifndef TAVRINTESTPLATFORM_H
#define TAVRINTESTPLATFORM_H

#include <QtCore/qstringlist.h>

QT_BEGIN_NAMESPACE
class QLocalServer;
class QLocalSocket;
QT_END_NAMESPACE

// What the tests need of the operating system beyond Qt, one file per platform.
namespace TavrinTestPlatform {

// Whether the other end has taken everything written to the socket (Unix: the kernel's send
// queue is empty; Windows: the pipe has taken it, which may leave it unread).
bool allTaken(QLocalSocket *socket);

// Makes the language the one the user asked for: LANGUAGE on Linux, the user's locale on
// Windows (where the program takes the system's user interface language).
void chooseLanguage(const QString &language);

// Whether a local server of that name listens (Unix: its socket file is in the test's
// temporary folder; Windows: its pipe exists).
bool localServerExists(const QString &name);

// Why the system's ICMP echo cannot run here; empty when it can.
QString systemEchoUnavailable();

// Makes another user the one listening on the server's socket. Returns that user's name as
// the client's log names it, or an empty string with *skip set to why it cannot be done here.
QString listenAsAnotherUser(QLocalServer *server, QString *skip);

// The program's settings as the store holds them, "name=value" in name order (a value of a type
// other than text is shown as "name=(type) value"), read without Qt's help where it can be.
QStringList storedSettings();
// Removes the program's settings and its log-on start entry.
void clearSettings();
// Why the settings store is not the user's alone; empty when it is.
QString storeAccessProblem();
// Opens the settings store to other users, as another program might have left it.
bool openStoreToOthers();

// Windows: the values of a key under HKEY_CURRENT_USER, as storedSettings() shows them, read
// by the system's registry tool.
QStringList registryValues(const QString &key);

} // namespace TavrinTestPlatform

#endif // TAVRINTESTPLATFORM_H
