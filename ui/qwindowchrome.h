#ifndef QWINDOWCHROME_H
#define QWINDOWCHROME_H

#include <QtCore/qobject.h>
#include <QtCore/qpoint.h>
#include <QtCore/qsize.h>
#include <QtGui/qimage.h>
#include <QtGui/qregion.h>

QT_BEGIN_NAMESPACE
class QMouseEvent;
class QWidget;
QT_END_NAMESPACE

// The chrome of a frameless window, watching the window's own events: the window is dragged
// with the mouse from wherever a press with any button reaches the window itself (the pressed
// point stays under the cursor until the release), it is cut to a rounded rectangle whenever
// its size changes, and it paints that rectangle's grey outline and light background, pixel for
// pixel as the screen cuts the window, whatever the screen's scale.
class QWindowChrome : public QObject
{
    Q_OBJECT

public:
    explicit QWindowChrome(QWidget *window);

    bool eventFilter(QObject *watched, QEvent *event) override;
    // Brings the window back whether it was hidden (to the tray) or minimised, raised and
    // active.
    void bringBack();

    // The shape for a size: a rounded rectangle (radius 7), its outline included.
    static QRegion shapeRegion(const QSize &size);

private:
    void move(QMouseEvent *event);
    void paint();

    QWidget *m_window;
    QPoint m_dragPosition;
    bool m_dragging = false;
    QSize m_maskSize;
    QImage m_face;
};

#endif // QWINDOWCHROME_H
