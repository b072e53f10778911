#include "app/tavrinstartup.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void startSocketLibrary()
{
    // Sockets need no start-up call here.
}

void setUpMemoryAllocator()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
#endif
}
