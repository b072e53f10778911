#include "widgets/tavrinimages.h"

#include <QtGui/qpixmapcache.h>

QPixmap tavrinPixmap(const QString &path, qreal devicePixelRatio)
{
    const bool doubled = devicePixelRatio > 1.0;
    const QString key = doubled ? path + QLatin1String("@2x") : path;
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    if (doubled && dot > 0 && pixmap.load(path.left(dot) + QLatin1String("@2x") + path.mid(dot)))
        pixmap.setDevicePixelRatio(2.0);
    if (pixmap.isNull())
        pixmap.load(path);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}
