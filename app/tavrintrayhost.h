#ifndef TAVRINTRAYHOST_H
#define TAVRINTRAYHOST_H

// Whether the desktop shows a tray the program's icon can go into: an XEmbed tray (the tray
// selection of the screen has an owner) or a StatusNotifierWatcher on the session bus with a
// host registered. Unlike QSystemTrayIcon::isSystemTrayAvailable(), which remembers its first
// answer about the session bus for the life of the process, this looks again at every call.
bool isTrayHostPresent();

// Looks for a tray host every pollMs until one is there or timeoutMs have passed, running the
// event loop meanwhile; whether one came.
bool waitForTrayHost(int timeoutMs, int pollMs = 250);

// Tells the user that the program ended for want of a tray, through the desktop's notification
// service when the session has one; whether the notification was taken.
bool notifyNoTrayHost();

// Gives the program the name desktops show for it, the title of its StatusNotifierItem among
// them. Qt appends that name to every window title; Windows, whose notification area shows the
// icon's tool tip instead, keeps the titles exactly as the program sets them.
void setTrayDisplayName();

#endif // TAVRINTRAYHOST_H
