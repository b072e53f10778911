#pragma once

#include <QtNetwork/QtNetwork>

// What the tests need of the operating system beyond Qt, one file per platform.
namespace TavrinTestPlatform {

// Unix: the kernel's send queue is empty; Windows: the pipe has taken it all.
bool allTaken(QLocalSocket *socket);
void chooseLanguage(const QString &language);
QString systemEchoUnavailable(); // why; empty when the system's ICMP echo can run
// The other user's name as the client's log names it; empty with *skip set when impossible.
QString listenAsAnotherUser(QLocalServer *server, QString *skip);
// "name=value" in name order, "name=(type) value" for a value other than text.
QStringList storedSettings();
void clearSettings();         // and the log-on start entry
QString storeAccessProblem(); // why the store is not the user's alone; empty when it is
bool openStoreToOthers();
QStringList registryValues(const QString &key);

} // namespace TavrinTestPlatform
