#include "ui/qwindowchrome.h"

#include <QtGui/qevent.h>
#include <QtGui/qguiapplication.h>
#include <QtGui/qimage.h>
#include <QtGui/qpainter.h>
#include <QtGui/qwindow.h>
#include <QtWidgets/qwidget.h>

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

// The same drawing as the shape's, straight onto the window: the pixels outside the shape are
// cut away by the mask.
void QWindowChrome::paint()
{
    QPainter painter(m_window);
    drawShape(&painter, m_window->size());
}

// The pixels the drawing covers, row by row. It is drawn without antialiasing, so that a pixel
// is either covered or not, onto an alpha-only image, the smallest one the drawing can go to.
QRegion QWindowChrome::shapeRegion(const QSize &size)
{
    QImage coverage(size, QImage::Format_Alpha8);
    coverage.fill(0);
    QPainter painter(&coverage);
    drawShape(&painter, size);
    painter.end();
    QRegion region;
    for (int y = 0; y < size.height(); ++y) {
        const uchar *line = coverage.constScanLine(y);
        int x = 0;
        while (x < size.width()) {
            if (!line[x]) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < size.width() && line[x])
                ++x;
            region += QRect(start, y, x - start, 1);
        }
    }
    return region;
}

void QWindowChrome::bringBack()
{
    m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
