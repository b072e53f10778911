#include "widgets/qclickablelabel.h"

QClickableLabel::QClickableLabel(QWidget *parent)
    : QLabel(parent)
    , moved(false)
{}

void QClickableLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    moved = false;
}

void QClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    // A drag that started here (the window being moved) is not a click.
    if (!moved)
        emit clicked();
}

void QClickableLabel::mouseMoveEvent(QMouseEvent *event)
{
    QLabel::mouseMoveEvent(event);
    moved = true;
}
