#pragma once

#include "tavrintestenvironment.h"

#include <QtDBus/QtDBus>

// The test's own connection to a D-Bus bus, by name; disconnected with it.
class TavrinTestBus
{
public:
    TavrinTestBus(const QString &address, const QString &name)
        : m_bus(QDBusConnection::connectToBus(address, name))
    {}
    ~TavrinTestBus() { QDBusConnection::disconnectFromBus(m_bus.name()); }

    QVariantList call(const QString &service, const QString &path, const QString &interface,
                      const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, LongPatience).arguments();
    }
    QVariant property(const QString &service, const QString &path, const QString &interface,
                      const char *name)
    {
        const QString properties = "org.freedesktop.DBus.Properties";
        const QVariant value = call(service, path, properties, "Get", {interface, name}).value(0);
        return value.value<QDBusVariant>().variant();
    }

private:
    QDBusConnection m_bus;
};
