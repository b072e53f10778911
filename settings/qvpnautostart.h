#ifndef QVPNAUTOSTART_H
#define QVPNAUTOSTART_H

#include <QtCore/qbytearray.h>
#include <QtCore/qstring.h>

// The per-user entry "Tavrin Client" that starts the program at log-on. Its presence alone
// means "start at log-on"; its content is the path of the program to start.
bool hasAutoStartEntry();
bool writeAutoStartEntry(const QString &program);
bool removeAutoStartEntry();

// The value of a desktop entry's Exec key that runs the single program path given: the path
// quoted as one argument (in double quotes, with '"', '`', '$' and '\' escaped by a
// backslash), then written with the file's string escapes ('\' doubled, newline, tab and
// carriage return as \n, \t, \r) and '%' doubled so it is not read as a field code.
QString desktopEntryExecValue(const QString &program);

// The whole XDG autostart desktop entry, UTF-8, that starts the program given.
QByteArray autoStartDesktopEntry(const QString &program);

#endif // QVPNAUTOSTART_H
