#include "app/qtsingleapplication.h"

#include <unistd.h>

QString QtSingleApplication::currentUserKey()
{
    // The user id: unique on the machine, unlike a name that may be missing or reused.
    return QString::number(::geteuid());
}
