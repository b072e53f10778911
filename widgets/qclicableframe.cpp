#include "widgets/qclicableframe.h"

#include "widgets/tavrinaccessibility.h"

#include <QtGui/qevent.h>

QClicableFrame::QClicableFrame(QWidget *parent)
    : QFrame(parent)
{
    setFocusPolicy(Qt::TabFocus);
}

void QClicableFrame::mousePressEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
    emit clicked();
}

void QClicableFrame::keyPressEvent(QKeyEvent *event)
{
    if (isClickKey(event))
        click();
    else
        QFrame::keyPressEvent(event);
}
