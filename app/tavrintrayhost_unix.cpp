#include "app/tavrintrayhost.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qscopedpointer.h>
#include <QtDBus/qdbusconnection.h>
#include <QtDBus/qdbusextratypes.h>
#include <QtDBus/qdbusmessage.h>
#include <QtGui/qguiapplication.h>

#include <xcb/xcb.h>

static const int busTimeoutMs = 2000;

// A StatusNotifierItem is shown when a watcher runs and a host (a panel) has registered with it.
static bool statusNotifierHostRegistered()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call
            = QDBusMessage::createMethodCall(QStringLiteral("org.kde.StatusNotifierWatcher"),
                                             QStringLiteral("/StatusNotifierWatcher"),
                                             QStringLiteral("org.freedesktop.DBus.Properties"),
                                             QStringLiteral("Get"));
    call << QStringLiteral("org.kde.StatusNotifierWatcher")
         << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(call, QDBus::Block, busTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage
           && reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

// An XEmbed tray owns the selection _NET_SYSTEM_TRAY_S<screen> of the display.
static bool xembedTrayOwned()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screen);
    bool owned = false;
    if (!xcb_connection_has_error(connection)) {
        const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
        QScopedPointer<xcb_intern_atom_reply_t, QScopedPointerPodDeleter> atom(
                xcb_intern_atom_reply(connection,
                                      xcb_intern_atom(connection, 1, uint16_t(name.size()),
                                                      name.constData()),
                                      nullptr));
        if (atom && atom->atom != XCB_ATOM_NONE) {
            QScopedPointer<xcb_get_selection_owner_reply_t, QScopedPointerPodDeleter> owner(
                    xcb_get_selection_owner_reply(connection,
                                                  xcb_get_selection_owner(connection, atom->atom),
                                                  nullptr));
            owned = owner && owner->owner != XCB_NONE;
        }
    }
    xcb_disconnect(connection);
    return owned;
}

bool isTrayHostPresent()
{
    return xembedTrayOwned() || statusNotifierHostRegistered();
}

bool notifyNoTrayHost()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call
            = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                             QStringLiteral("/org/freedesktop/Notifications"),
                                             QStringLiteral("org.freedesktop.Notifications"),
                                             QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("tavrin-client")}};
    call << QStringLiteral("Tavrin Client") << uint(0) << QStringLiteral("tavrin-client")
         << QCoreApplication::translate("TavrinTrayHost", "Tavrin Client needs a system tray")
         << QCoreApplication::translate(
                    "TavrinTrayHost",
                    "Tavrin Client lives in the system tray (the notification area of the "
                    "panel), and this desktop shows none. Add a system tray to the panel, or turn "
                    "on the desktop's support for tray icons, then start Tavrin Client again.")
         << QStringList() << hints << int(-1);
    return bus.call(call, QDBus::Block, busTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

void setTrayDisplayName()
{
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tavrin Client"));
}
