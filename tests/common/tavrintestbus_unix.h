#ifndef TAVRINTESTBUS_UNIX_H
#define TAVRINTESTBUS_UNIX_H

#include <QtCore/qvariant.h>
#include <QtDBus/qdbusconnection.h>

// The test's own connection to a D-Bus bus, by name, and calls on it; disconnected with it.
class TavrinTestBus
{
public:
    TavrinTestBus(const QString &address, const QString &name)
        : m_bus(QDBusConnection::connectToBus(address, name))
    {}
    ~TavrinTestBus() { QDBusConnection::disconnectFromBus(m_bus.name()); }

    QVariantList call(const QString &service, const QString &path, const QString &interface,
                      const QString &method, const QVariantList &arguments = {});
    QVariant property(const QString &service, const QString &path, const QString &interface,
                      const char *name);

private:
    QDBusConnection m_bus;
};

#endif // TAVRINTESTBUS_UNIX_H
