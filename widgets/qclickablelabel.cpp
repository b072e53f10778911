#include "widgets/qclickablelabel.h"

#include "widgets/tavrinaccessibility.h"

#include <QtGui/qevent.h>

QClickableLabel::QClickableLabel(QWidget *parent)
    : QLabel(parent)
    , moved(false)
{
    setFocusPolicy(Qt::TabFocus);
}

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

void QClickableLabel::keyPressEvent(QKeyEvent *event)
{
    if (isClickKey(event))
        click();
    else
        QLabel::keyPressEvent(event);
}
