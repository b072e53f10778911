#ifndef QVPNAUTOSTART_H
#define QVPNAUTOSTART_H

#include <QtCore/qbytearray.h>
#include <QtCore/qstring.h>

// The per-user entry "Tavrin Client" that starts the program at log-on. Its presence means
// "start at log-on", unless the desktop's own start-up tool turned it off (see below); its
// content is the path of the program to start, followed by the log-on option.
bool hasAutoStartEntry();
bool writeAutoStartEntry(const QString &program);
bool removeAutoStartEntry();

// The value of a desktop entry's Exec key that runs the single program path given: the path
// quoted as one argument (in double quotes, with '"', '`', '$' and '\' escaped by a
// backslash), then written with the file's string escapes ('\' doubled, newline, tab and
// carriage return as \n, \t, \r) and '%' doubled so it is not read as a field code.
QString desktopEntryExecValue(const QString &program);

// The whole XDG autostart desktop entry, UTF-8, that starts the program given at log-on.
QByteArray autoStartDesktopEntry(const QString &program);

// Whether an autostart desktop entry is in force: desktops' start-up tools turn an entry off
// in place with "Hidden=true" or "X-GNOME-Autostart-enabled=false" in its [Desktop Entry] group.
bool autoStartEntryEnabled(const QByteArray &entry);

#endif // QVPNAUTOSTART_H
