#include "base/tavrinhomefolder.h"

#include <QtCore/qdir.h>

QString tavrinHomeFolder()
{
    const QString profile = qEnvironmentVariable("USERPROFILE");
    return profile.isEmpty() ? QDir::homePath() : QDir::fromNativeSeparators(profile);
}
