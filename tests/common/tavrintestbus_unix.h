#ifndef TAVRINTESTBUS_UNIX_H
#define TAVRINTESTBUS_UNIX_H

#include <QtCore/qvariant.h>
#include <QtDBus/qdbusconnection.h>

// The test's own connection to a D-Bus bus, by name, and calls on it; disconnected with it.
class TavrinTestBus
{
public:
    TavrinTestBus(const QString &address, const QString &name);
    ~TavrinTestBus();

    QVariantList call(const QString &service, const QString &path, const QString &interface,
                      const QString &method, const QVariantList &arguments = {});
    QVariant property(const QString &service, const QString &path, const QString &interface,
                      const char *name);

private:
    QString m_name;
    QDBusConnection m_bus;
};

#endif // TAVRINTESTBUS_UNIX_H
