#include "app/tavrinstartup.h"

void startSocketLibrary()
{
    // Sockets need no start-up call here.
}
