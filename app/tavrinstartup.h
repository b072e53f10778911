#ifndef TAVRINSTARTUP_H
#define TAVRINSTARTUP_H

#include <QtCore/qglobal.h>

// Prepares the platform's socket library once at start (the ping service relies on it). Nothing
// needs doing on Unix.
void startSocketLibrary();

// Sets the memory allocator up before the first thread starts: one heap for every thread. The
// program's threads (fonts, icon, latency monitor) are few and light; a heap for each, the C
// library's default on Linux, keeps what they free apart from the rest, resident.
void setUpMemoryAllocator();

#endif // TAVRINSTARTUP_H
