#ifndef TAVRINTESTTRAYITEM_UNIX_H
#define TAVRINTESTTRAYITEM_UNIX_H

#include "tavrintestbus_unix.h"

#include <QtCore/qmap.h>
#include <QtCore/qstringlist.h>

QT_BEGIN_NAMESPACE
class QDBusArgument;
QT_END_NAMESPACE

// The client's tray as a panel sees it: the StatusNotifierItem that the stand-in watcher's line
// "ITEM <service><path>" names, read on the run's session bus.
class TavrinTestTrayItem : public TavrinTestBus
{
public:
    TavrinTestTrayItem(const QString &address, const QByteArray &watcherLine);

    QVariant property(const char *name);
    // The title of the tool tip (icon name, icon images, title, text); for as long as a
    // notification is shown, the item shows it as its tool tip instead, told as "<title>|<text>".
    QString toolTipTitle();
    // The tool tip says Connected to Germany, or the notification that says so is shown.
    bool showsConnected();
    // The images of an icon, by width, in the item's byte order (ARGB, big-endian).
    static QMap<int, QByteArray> iconImages(const QDBusArgument &images);
    // The image of an icon file as the item carries it.
    static QByteArray itemImage(const QString &file, int size);
    // The top entries of the item's menu: their labels ("&" shown as "_"), "(off)" after a
    // disabled one; with a label given, clicks that entry.
    QStringList menu(const QString &click = QString());

private:
    QString m_service;
    QString m_path;
};

#endif // TAVRINTESTTRAYITEM_UNIX_H
