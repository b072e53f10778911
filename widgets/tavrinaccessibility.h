#ifndef TAVRINACCESSIBILITY_H
#define TAVRINACCESSIBILITY_H

#include <QtCore/qglobal.h>

QT_BEGIN_NAMESPACE
class QKeyEvent;
QT_END_NAMESPACE

// Makes the widgets of this folder known to Qt's accessibility: the clickable label and frame
// as buttons, the server chooser as a combo box that connects or opens its list, the bandwidth
// graph as a chart. Safe to call more than once.
void installWidgetAccessibility();

// Space, Enter and Return without modifiers: the keys that click a focused clickable widget.
bool isClickKey(const QKeyEvent *event);

#endif // TAVRINACCESSIBILITY_H
