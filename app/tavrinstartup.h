#ifndef TAVRINSTARTUP_H
#define TAVRINSTARTUP_H

#include <QtCore/qglobal.h>

// Prepares the platform's socket library once at start (the ping service relies on it). Nothing
// needs doing on Unix.
void startSocketLibrary();

QT_BEGIN_NAMESPACE
class QIcon;
QT_END_NAMESPACE

// The program's own icon (window, task bar, window switcher), every size it comes in.
QIcon tavrinApplicationIcon();

#endif // TAVRINSTARTUP_H
