#include "tavrintestbus_unix.h"

#include "tavrintestenvironment.h"

#include <QtDBus/qdbusmessage.h>
#include <QtDBus/qdbusmetatype.h>

QVariantList TavrinTestBus::call(const QString &service, const QString &path,
                                 const QString &interface, const QString &method,
                                 const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return m_bus.call(message, QDBus::Block, LongPatience).arguments();
}

QVariant TavrinTestBus::property(const QString &service, const QString &path,
                                 const QString &interface, const char *name)
{
    return call(service, path, "org.freedesktop.DBus.Properties", "Get", {interface, name})
            .value(0)
            .value<QDBusVariant>()
            .variant();
}
