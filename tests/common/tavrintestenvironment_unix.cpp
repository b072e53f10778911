#include "tavrintestenvironment.h"

void TavrinTestEnvironment::isolate()
{
    for (const auto &[name, path] : makeSessionFolders(root()))
        qputenv(qPrintable(name), path.toLocal8Bit());
}

void TavrinTestEnvironment::restore() {}

const char *TavrinTestEnvironment::homeVariable()
{
    return "HOME";
}
