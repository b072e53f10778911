#include "app/tavrinstartup.h"

#include <winsock2.h>

void startSocketLibrary()
{
    // Version 2.2. The result is not checked and the library is never shut down explicitly.
    WSADATA data;
    ::WSAStartup(0x0202, &data);
}

void setUpMemoryAllocator()
{
    // The process heap is shared by every thread already.
}
