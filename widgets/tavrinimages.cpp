#include "widgets/tavrinimages.h"

#include <QtGui/qimagereader.h>
#include <QtGui/qpixmapcache.h>

// The images are PNG, read by Qt's own reader: named, so that no image plugin is loaded to find
// the format out from the data.
static bool loadPng(QPixmap *pixmap, const QString &path)
{
    QImageReader reader(path, QByteArrayLiteral("png"));
    reader.setAutoDetectImageFormat(false);
    *pixmap = QPixmap::fromImageReader(&reader);
    return !pixmap->isNull();
}

QPixmap tavrinPixmap(const QString &path, qreal devicePixelRatio)
{
    const bool doubled = devicePixelRatio > 1.0;
    const QString key = doubled ? path + QLatin1String("@2x") : path;
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    if (doubled && dot > 0
        && loadPng(&pixmap, path.left(dot) + QLatin1String("@2x") + path.mid(dot)))
        pixmap.setDevicePixelRatio(2.0);
    if (pixmap.isNull())
        loadPng(&pixmap, path);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}
