#ifndef QWINDOWCHROME_H
#define QWINDOWCHROME_H

#include <QtCore/qpoint.h>
#include <QtGui/qpixmap.h>

QT_BEGIN_NAMESPACE
class QMouseEvent;
class QWidget;
QT_END_NAMESPACE

// The chrome of a frameless window: it is dragged with the mouse from wherever a press reaches
// the window itself, and it is cut to a rounded rectangle with a one-pixel grey outline.
class QWindowChrome
{
public:
    explicit QWindowChrome(QWidget *window);

    // The window's mouse events. A press with any button starts a drag; each move while
    // dragging keeps the pressed point under the cursor; the release ends the drag.
    void press(QMouseEvent *event);
    void release();
    void move(QMouseEvent *event);

    // The window's shape and background at its current size, and the mask cut from it. Built
    // again when the size changes.
    void resize();
    const QPixmap &pixmap() const { return m_pixmap; }

    // The shape for a size: transparent outside a rounded rectangle (radius 7) with a grey
    // outline, filled with the window's background colour.
    static QPixmap shapePixmap(const QSize &size);

private:
    QWidget *m_window;
    QPixmap m_pixmap;
    QPoint m_dragPosition;
    bool m_dragging = false;
};

#endif // QWINDOWCHROME_H
