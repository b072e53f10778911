#ifndef TAVRINFONTS_H
#define TAVRINFONTS_H

#include <QtCore/qlist.h>
#include <QtCore/qstring.h>

#include <cstdio>

// The ids the font database gave the fonts registered at start-up, in registration order.
extern QList<int> registeredFontIds;

// Registers every "*.ttf" file (any case) of the folder "Fonts" in the current working folder,
// in name order ignoring case, and appends each id to registeredFontIds. Stops at the first file
// that fails, after printing "Error registering font <base name>" on standard output, and returns
// false; a missing or empty folder registers nothing and returns true.
bool registerFonts();
// The same for a given folder, with the messages going to out.
bool registerFonts(const QString &folderPath, FILE *out);

// Removes the fonts of registeredFontIds, last registered first, and empties the list. A font
// that cannot be removed prints "Unable to unregister font." on standard output (or to out).
void unregisterFonts();
void unregisterFonts(FILE *out);

#endif // TAVRINFONTS_H
