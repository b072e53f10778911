#include "app/tavrinapplicationicon.h"

#include <QtGui/qimagereader.h>
#include <QtGui/qpixmap.h>

// Every size of a window's icon goes to the windowing system with each window (on X11 all of them
// in one property) and stays in memory as a pixmap: the 256-pixel image alone would hold
// more than twice all the others together, for launchers, which take the installed icon.
static const int iconSizes[] = {16, 22, 24, 32, 48, 64, 128};

static QString iconPath(int size)
{
    return QStringLiteral(":/imgs/app/tavrin-client-%1.png").arg(size);
}

// Read as QIcon::addFile() reads a file, format found out by the readers of every image plugin,
// which the thread so loads ahead of the window's images.
TavrinApplicationIcon::TavrinApplicationIcon()
    : m_thread([this] {
        for (int size : iconSizes)
            m_images.append(QImageReader(iconPath(size)).read());
    })
{}

TavrinApplicationIcon::~TavrinApplicationIcon()
{
    if (m_thread.joinable())
        m_thread.join();
}

// An image that did not come at its size is left to the icon to read, as a file.
QIcon TavrinApplicationIcon::icon()
{
    if (m_thread.joinable())
        m_thread.join();
    // The images go with the call: the icon keeps pixmaps of its own.
    const QList<QImage> images = std::move(m_images);
    m_images.clear();
    QIcon icon;
    int read = 0;
    for (int side : iconSizes) {
        const QImage image = images.value(read++);
        if (image.size() == QSize(side, side))
            icon.addPixmap(QPixmap::fromImage(image));
        else
            icon.addFile(iconPath(side), QSize(side, side));
    }
    return icon;
}
