#include "base/tavrinhomefolder.h"

#include <QtCore/qdir.h>

QString tavrinHomeFolder()
{
    return QDir::homePath();
}
