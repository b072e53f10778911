#include "ui/qwindowchrome.h"

#include <QtGui/qbitmap.h>
#include <QtGui/qevent.h>
#include <QtGui/qguiapplication.h>
#include <QtGui/qpainter.h>
#include <QtGui/qwindow.h>
#include <QtWidgets/qwidget.h>

QWindowChrome::QWindowChrome(QWidget *window)
    : m_window(window)
{}

void QWindowChrome::press(QMouseEvent *event)
{
    m_dragPosition = event->localPos().toPoint();
    m_dragging = true;
}

void QWindowChrome::release()
{
    m_dragging = false;
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

void QWindowChrome::resize()
{
    m_pixmap = shapePixmap(m_window->size());
    if (!m_pixmap.isNull())
        m_window->setMask(m_pixmap.mask());
}

QPixmap QWindowChrome::shapePixmap(const QSize &size)
{
    if (size.isEmpty())
        return QPixmap();
    QPixmap pixmap(size);
    QBitmap transparent(size);
    transparent.fill(Qt::color0);
    pixmap.setMask(transparent);

    QPainter painter(&pixmap);
    painter.setPen(QPen(QBrush(QColor(160, 160, 160, 255)), 1, Qt::SolidLine));
    painter.setBrush(QBrush(QColor(247, 247, 247, 255), Qt::SolidPattern));
    painter.setRenderHint(QPainter::Qt4CompatiblePainting, true);
    painter.drawRoundedRect(QRect(QPoint(0, 0), size - QSize(1, 1)), 7.0, 7.0, Qt::AbsoluteSize);
    return pixmap;
}
