#include "app/tavrinfonts.h"

#include <QtCore/qdir.h>
#include <QtCore/qfileinfo.h>
#include <QtGui/qfontdatabase.h>

QList<int> registeredFontIds;

static void printLine(FILE *out, const QByteArray &line)
{
    fputs(line.constData(), out);
    fflush(out);
}

bool registerFonts()
{
    return registerFonts(QStringLiteral("Fonts"), stdout);
}

bool registerFonts(const QString &folderPath, FILE *out)
{
    QDir folder(folderPath);
    folder.setNameFilters({QStringLiteral("*.ttf")});
    folder.setSorting(QDir::Name | QDir::IgnoreCase);
    const QFileInfoList files = folder.entryInfoList();
    for (const QFileInfo &file : files) {
        const int id = QFontDatabase::addApplicationFont(file.absoluteFilePath());
        if (id == -1) {
            printLine(out, "Error registering font " + file.baseName().toLatin1() + '\n');
            return false;
        }
        registeredFontIds.append(id);
    }
    return true;
}

void unregisterFonts()
{
    unregisterFonts(stdout);
}

void unregisterFonts(FILE *out)
{
    while (!registeredFontIds.isEmpty()) {
        if (!QFontDatabase::removeApplicationFont(registeredFontIds.takeLast()))
            printLine(out, "Unable to unregister font.\n");
    }
}
