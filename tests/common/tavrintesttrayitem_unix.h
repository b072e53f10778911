#pragma once

#include "tavrintestbus_unix.h"

// The client's StatusNotifierItem that the stand-in watcher's line "ITEM <service><path>" names.
class TavrinTestTrayItem : public TavrinTestBus
{
public:
    TavrinTestTrayItem(const QString &address, const QByteArray &watcherLine);

    QVariant property(const char *name);
    // The tool tip's title; while a notification is shown, it as "<title>|<text>".
    QString toolTipTitle();
    bool showsConnected();
    static QMap<int, QByteArray> iconImages(const QDBusArgument &images);
    static QByteArray itemImage(const QString &file, int size);
    // The top menu entries' labels, "(off)" after a disabled one; clicks the one given.
    QStringList menu(const QString &click = QString());

private:
    QString m_service;
    QString m_path;
};
