#ifndef TAVRINIMAGES_H
#define TAVRINIMAGES_H

#include <QtGui/qpixmap.h>

// A compiled-in PNG image for a device pixel ratio: where the ratio is above 1 and
// "<name>@2x.png" lies beside "<name>.png", the double-size image, marked with its ratio so that
// it is drawn at the single image's size in sharp detail (below 2 made smaller to the ratio's
// size first); the single image otherwise. Each is made once per ratio.
QPixmap tavrinPixmap(const QString &path, qreal devicePixelRatio);

#endif // TAVRINIMAGES_H
