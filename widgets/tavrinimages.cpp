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

// Between the single and the double size (a screen at 125 % or 150 %) the double-size image is
// made smaller once, with smoothing, to the screen's own pixels, and is then drawn pixel for
// pixel; made smaller at every paint, without smoothing, its edges come out jagged.
static QPixmap doubleImage(const QString &path, qreal ratio)
{
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    QPixmap pixmap;
    if (dot <= 0 || !loadPng(&pixmap, path.left(dot) + QLatin1String("@2x") + path.mid(dot)))
        return QPixmap();
    if (ratio < 2.0)
        pixmap = pixmap.scaled((QSizeF(pixmap.size()) * ratio / 2.0).toSize(),
                               Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QPixmap tavrinPixmap(const QString &path, qreal devicePixelRatio)
{
    // Above twice the size the double-size image is drawn larger by Qt.
    const qreal ratio = qMin(devicePixelRatio, 2.0);
    const bool doubled = ratio > 1.0;
    const QString key = doubled ? path + QLatin1Char('@') + QString::number(ratio) : path;
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    if (doubled)
        pixmap = doubleImage(path, ratio);
    if (pixmap.isNull())
        loadPng(&pixmap, path);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}
