#ifndef TAVRINHOMEFOLDER_H
#define TAVRINHOMEFOLDER_H

#include <QtCore/qstring.h>

// The user's home folder, where the log file goes: $HOME on Unix, %USERPROFILE% on Windows
// (Qt's own home path there asks the system for the profile and ignores the variable).
QString tavrinHomeFolder();

#endif // TAVRINHOMEFOLDER_H
