#ifndef TAVRINFONTS_H
#define TAVRINFONTS_H

#include <QtCore/qbytearray.h>
#include <QtCore/qlist.h>
#include <QtCore/qstring.h>

#include <cstdio>
#include <thread>

// The folder whose fonts start-up registers: the installed one found from the program's folder,
// "Fonts" beside it (Windows) or <prefix>/bin/../share/tavrin-client/Fonts, whatever folder the
// program was started from; without one, as in the build, "Fonts" in the working folder (a
// missing folder registers nothing).
QString fontsFolderPath(const QString &workingFolder, const QString &programFolder);

// The ids the font database gave the fonts registered at start-up, in registration order.
extern QList<int> registeredFontIds;

// Registers every "*.ttf" file (any case) of the folder, in name order ignoring case, and
// appends each id to registeredFontIds. Stops at the first file that fails, after writing
// "Error registering font <base name>" to out, and returns false; a missing or empty folder
// registers nothing and returns true.
bool registerFonts(const QString &folderPath, FILE *out);
// The same, with the message kept in *messages.
bool registerFonts(const QString &folderPath, QByteArray *messages);

// Removes the fonts of registeredFontIds, last registered first, and empties the list. A font
// that cannot be removed writes "Unable to unregister font." to out.
void unregisterFonts(FILE *out = stdout);

class TavrinFontConfiguration;

// The start-up registration of the folder "Fonts": it runs on a thread of its own while the
// program goes on starting and looks for a tray, and its message is printed only when finish()
// is called, so that nothing of it shows when the program ends for want of a tray. Given the
// system's font configuration being read, it waits for that first.
class TavrinFontRegistration
{
public:
    explicit TavrinFontRegistration(const QString &folderPath = QStringLiteral("Fonts"),
                                    TavrinFontConfiguration *configuration = nullptr);
    ~TavrinFontRegistration();

    // Waits for the registration, prints its message to out and returns whether every font
    // was registered.
    bool finish(FILE *out = stdout);

private:
    QByteArray m_messages;
    bool m_registered = false;
    // Last: the thread starts once the members it writes are made.
    std::thread m_thread;
};

#endif // TAVRINFONTS_H
