#include "app/tavrintrayhost.h"

#include <QtWidgets/qsystemtrayicon.h>

bool isTrayHostPresent()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool notifyNoTrayHost()
{
    // The notification area is part of the shell here; there is nobody else to tell.
    return false;
}

void setTrayDisplayName()
{
    // Nothing: a display name would be appended to the title of every window and box.
}
