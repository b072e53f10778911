#include "widgets/qclicableframe.h"

QClicableFrame::QClicableFrame(QWidget *parent)
    : QFrame(parent)
{}

void QClicableFrame::mousePressEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
    emit clicked();
}
