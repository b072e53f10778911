#include "app/tavrinstartup.h"

#include <QtGui/qicon.h>

QIcon tavrinApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/imgs/app/tavrin-client-%1.png").arg(size), QSize(size, size));
    return icon;
}
