#include "app/qtsingleapplication.h"

#include <qt_windows.h>

QString QtSingleApplication::currentUserKey()
{
    wchar_t name[257];
    DWORD size = DWORD(sizeof(name) / sizeof(name[0]));
    if (!::GetUserNameW(name, &size) || size == 0)
        return QStringLiteral("user");
    return QString::fromWCharArray(name, int(size) - 1);
}
