#include "widgets/qfocusring.h"

#include <QtCore/qtimer.h>
#include <QtGui/qevent.h>
#include <QtGui/qpainter.h>
#include <QtWidgets/qapplication.h>

// The outline lies this far around the widget.
static const int RingMargin = 3;

QFocusRing::QFocusRing(QWidget *window)
    : QWidget(window)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &QFocusRing::follow);
}

bool QFocusRing::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::MouseButtonPress)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != window())
        return false;
    if (type == QEvent::MouseButtonPress) {
        m_keyboard = false;
    } else {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            m_keyboard = true;
    }
    // After the event has done its work: the focus may move, pages may change.
    QTimer::singleShot(0, this, &QFocusRing::follow);
    return false;
}

void QFocusRing::follow()
{
    QWidget *window = parentWidget();
    QWidget *focus = QApplication::focusWidget();
    if (!m_keyboard || !focus || focus->window() != window || !focus->isVisible()) {
        m_target = nullptr;
        hide();
        return;
    }
    m_target = focus;
    const QRect area(focus->mapTo(window, QPoint(0, 0)), focus->size());
    setGeometry(area.adjusted(-RingMargin, -RingMargin, RingMargin, RingMargin));
    raise();
    show();
    update();
}

void QFocusRing::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    // Brand blue with a white rim inside, so that it shows on the white pages, the blue title
    // and the coloured buttons alike.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x00, 0x9b, 0xdd), 2));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 5, 5);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRoundedRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5), 4, 4);
}
