#include "tavrintesttrayitem_unix.h"

#include <QtGui/QtGui>

TavrinTestTrayItem::TavrinTestTrayItem(const QString &address, const QByteArray &watcherLine)
    : TavrinTestBus(address, "tavrin-test-tray")
    , m_service(QString::fromLatin1(watcherLine.trimmed().mid(5)).section('/', 0, 0))
    , m_path('/' + QString::fromLatin1(watcherLine.trimmed()).section('/', 1))
{}

QVariant TavrinTestTrayItem::property(const char *name)
{
    return TavrinTestBus::property(m_service, m_path, "org.kde.StatusNotifierItem", name);
}

QString TavrinTestTrayItem::toolTipTitle()
{
    const QDBusArgument tip = property("ToolTip").value<QDBusArgument>();
    QString icon, title, text;
    tip.beginStructure();
    tip >> icon;
    iconImages(tip);
    tip >> title >> text;
    return text.isEmpty() ? title : title + '|' + text;
}

bool TavrinTestTrayItem::showsConnected()
{
    const QString tip = toolTipTitle();
    return tip == "Tavrin: Connected to Germany" || tip == "Tavrin Client|Connected to Germany";
}

QMap<int, QByteArray> TavrinTestTrayItem::iconImages(const QDBusArgument &images)
{
    QMap<int, QByteArray> found;
    images.beginArray();
    while (!images.atEnd()) {
        int width = 0, height = 0;
        QByteArray data;
        images.beginStructure();
        images >> width >> height >> data;
        images.endStructure();
        found.insert(width, data);
    }
    images.endArray();
    return found;
}

QByteArray TavrinTestTrayItem::itemImage(const QString &file, int size)
{
    QImage image = QIcon(file).pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    auto *pixels = reinterpret_cast<QRgb *>(image.bits());
    for (int i = 0; i < image.width() * image.height(); ++i)
        pixels[i] = qToBigEndian(pixels[i]);
    return QByteArray(reinterpret_cast<const char *>(image.constBits()), int(image.sizeInBytes()));
}

QStringList TavrinTestTrayItem::menu(const QString &click)
{
    const QString path = property("Menu").value<QDBusObjectPath>().path();
    const auto menuCall = [&](const char *method, const QVariantList &arguments) {
        return call(m_service, path, "com.canonical.dbusmenu", method, arguments);
    };
    const QDBusArgument layout
            = menuCall("GetLayout", {0, -1, QStringList()}).value(1).value<QDBusArgument>();
    QStringList entries;
    int id = 0;
    QVariantMap properties;
    layout.beginStructure();
    layout >> id >> properties;
    layout.beginArray();
    while (!layout.atEnd()) {
        const QDBusArgument entry = qdbus_cast<QDBusVariant>(layout).variant().value<QDBusArgument>();
        entry.beginStructure();
        entry >> id >> properties;
        entry.endStructure();
        const QString label = properties.value("label").toString();
        if (label == click)
            menuCall("Event", {id, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
        entries << label + (properties.value("enabled", true).toBool() ? "" : " (off)");
    }
    return entries;
}
