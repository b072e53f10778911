#include "ui/qwindowchrome.h"

#include <QtCore/qmath.h>
#include <QtCore/qvector.h>
#include <QtGui/qevent.h>
#include <QtGui/qguiapplication.h>
#include <QtGui/qimage.h>
#include <QtGui/qpainter.h>
#include <QtGui/qwindow.h>
#include <QtWidgets/qwidget.h>

#include <cstring>

QWindowChrome::QWindowChrome(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    window->installEventFilter(this);
}

bool QWindowChrome::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_dragPosition = static_cast<QMouseEvent *>(event)->localPos().toPoint();
        m_dragging = true;
        return true;
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        return true;
    case QEvent::MouseMove:
        move(static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::Resize:
        // The shape is worked out again only for a new size; the window keeps its one size.
        if (m_window->size() != m_maskSize && !m_window->size().isEmpty()) {
            m_maskSize = m_window->size();
            m_window->setMask(shapeRegion(m_maskSize));
        }
        return false;
    case QEvent::Paint:
        paint();
        return true;
    default:
        return false;
    }
}

void QWindowChrome::move(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    // Windowing systems that do not let a client place its own window (Wayland) move it for
    // us; the release may then never reach the window.
    QWindow *handle = m_window->windowHandle();
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && handle
        && handle->startSystemMove()) {
        m_dragging = false;
        return;
    }
    m_window->move(event->globalPos() - m_dragPosition);
}

static void drawShape(QPainter *painter, const QSize &size)
{
    painter->setPen(QPen(QBrush(QColor(160, 160, 160, 255)), 1, Qt::SolidLine));
    painter->setBrush(QBrush(QColor(247, 247, 247, 255), Qt::SolidPattern));
    painter->setRenderHint(QPainter::Qt4CompatiblePainting, true);
    painter->drawRoundedRect(QRect(QPoint(0, 0), size - QSize(1, 1)), 7.0, 7.0, Qt::AbsoluteSize);
}

// The pixels the drawing covers. It is drawn without antialiasing, so that a pixel is either
// covered or not, onto an alpha-only image, the smallest one the drawing can go to.
static QImage shapeCoverage(const QSize &size)
{
    QImage coverage(size, QImage::Format_Alpha8);
    coverage.fill(0);
    QPainter painter(&coverage);
    drawShape(&painter, size);
    return coverage;
}

QRegion QWindowChrome::shapeRegion(const QSize &size)
{
    const QImage coverage = shapeCoverage(size);
    QRegion region;
    const int width = size.width();
    for (int y = 0; y < size.height(); ++y) {
        const uchar *line = coverage.constScanLine(y);
        int x = 0;
        while (x < width) {
            if (!line[x]) {
                ++x;
                continue;
            }
            // A covered run spans most of a row; its end is looked for a word at a time.
            const void *end = std::memchr(line + x, 0, size_t(width - x));
            const int start = x;
            x = end ? int(static_cast<const uchar *>(end) - line) : width;
            region += QRect(start, y, x - start, 1);
        }
    }
    return region;
}

// The logical pixel that each of the screen's pixels along one side shows. The window's mask is
// cut on the screen edge by edge, each edge rounded to the nearest pixel: the pixels from
// round(i * ratio) up to round((i + 1) * ratio) show logical pixel i.
static QVector<int> logicalPixels(int length, qreal ratio)
{
    QVector<int> pixels;
    for (int i = 0; i < length; ++i)
        pixels.insert(pixels.size(), qRound((i + 1) * ratio) - pixels.size(), i);
    return pixels;
}

// How deep each of the screen's pixels lies in the shape, in steps to a side neighbour up to the
// limit, 0 outside: counted from above and the left, then from below and the right.
static QVector<uchar> shapeDepths(const QSize &size, qreal ratio, int limit)
{
    const QImage coverage = shapeCoverage(size);
    const QVector<int> columns = logicalPixels(size.width(), ratio);
    const QVector<int> rows = logicalPixels(size.height(), ratio);
    const int width = columns.size(), height = rows.size();
    QVector<uchar> depths(width * height, 0);
    const auto at = [&](int x, int y) {
        return x < 0 || y < 0 || x >= width || y >= height ? 0 : int(depths[y * width + x]);
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (coverage.constScanLine(rows[y])[columns[x]])
                depths[y * width + x] = uchar(qMin(qMin(at(x - 1, y), at(x, y - 1)) + 1, limit));
        }
    }
    for (int y = height - 1; y >= 0; --y) {
        for (int x = width - 1; x >= 0; --x) {
            uchar &depth = depths[y * width + x];
            depth = uchar(qMin(int(depth), qMin(at(x + 1, y), at(x, y + 1)) + 1));
        }
    }
    return depths;
}

// The face in the screen's pixels: the light background with the grey outline along the very
// edge of the shape as the screen cuts it (one pixel wide, two from twice the scale), transparent
// outside.
static QImage faceImage(const QSize &size, qreal ratio)
{
    const int outline = qMax(1, qFloor(ratio));
    const QVector<uchar> depths = shapeDepths(size, ratio, outline + 1);
    QImage face(size * ratio, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < face.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(face.scanLine(y));
        for (int x = 0; x < face.width(); ++x) {
            const int depth = depths[y * face.width() + x];
            line[x] = !depth ? 0 : depth <= outline ? qRgb(160, 160, 160) : qRgb(247, 247, 247);
        }
    }
    face.setDevicePixelRatio(ratio);
    return face;
}

// The face is the window's own image in the screen's pixels; the pixels outside the shape are cut
// away by the mask.
void QWindowChrome::paint()
{
    const qreal ratio = m_window->devicePixelRatioF();
    if (m_face.isNull() || m_face.devicePixelRatio() != ratio
        || m_face.size() != m_window->size() * ratio)
        m_face = faceImage(m_window->size(), ratio);
    QPainter painter(m_window);
    painter.drawImage(QPointF(0, 0), m_face);
}

void QWindowChrome::bringBack()
{
    m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
