#ifndef TAVRINSTARTUP_H
#define TAVRINSTARTUP_H

#include <QtCore/qglobal.h>

// Prepares the platform's socket library once at start (the ping service relies on it). Nothing
// needs doing on Unix.
void startSocketLibrary();

#endif // TAVRINSTARTUP_H
