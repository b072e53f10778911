#include "app/tavrinfonts.h"

#include "app/tavrinfontconfiguration.h"

#include <QtCore/qdir.h>
#include <QtCore/qfileinfo.h>
#include <QtGui/qfontdatabase.h>

QList<int> registeredFontIds;

QString fontsFolderPath(const QString &workingFolder, const QString &programFolder)
{
    // An installed program takes its own fonts whatever folder it was started from: that one is
    // anybody's (C:\Windows holds the system's whole font folder as "Fonts"). Installed on
    // Windows the folder lies beside the program, elsewhere in the data folder.
    for (const QLatin1String installed :
         {QLatin1String("/Fonts"), QLatin1String("/../share/tavrin-client/Fonts")}) {
        const QString path = QDir::cleanPath(programFolder + installed);
        if (QFileInfo(path).isDir())
            return path;
    }
    // A program run from its build folder, which holds them.
    return QDir(workingFolder).filePath(QStringLiteral("Fonts"));
}

static void printLines(FILE *out, const QByteArray &lines)
{
    // Through the printf family, which a hardened build checks.
    std::fprintf(out, "%s", lines.constData());
    std::fflush(out);
}

bool registerFonts(const QString &folderPath, QByteArray *messages)
{
    QDir folder(folderPath);
    folder.setSorting(QDir::Name | QDir::IgnoreCase);
    const QFileInfoList files = folder.entryInfoList();
    for (const QFileInfo &file : files) {
        // "*.ttf" in any case, matched by hand: a name filter is a pattern that would have the
        // regular expression library loaded and a matcher compiled at every start.
        if (!file.fileName().endsWith(QLatin1String(".ttf"), Qt::CaseInsensitive))
            continue;
        const int id = QFontDatabase::addApplicationFont(file.absoluteFilePath());
        if (id == -1) {
            messages->append("Error registering font " + file.baseName().toLatin1() + '\n');
            return false;
        }
        registeredFontIds.append(id);
    }
    return true;
}

bool registerFonts(const QString &folderPath, FILE *out)
{
    QByteArray messages;
    const bool registered = registerFonts(folderPath, &messages);
    printLines(out, messages);
    return registered;
}

void unregisterFonts(FILE *out)
{
    while (!registeredFontIds.isEmpty()) {
        if (!QFontDatabase::removeApplicationFont(registeredFontIds.takeLast()))
            printLines(out, "Unable to unregister font.\n");
    }
}

// The font database guards itself with a lock of its own: fonts may be added from any thread.
// The thread first has the system's fonts read (the font configuration is read once per
// process), then adds the program's. It matches no font for the window: the engines a match
// makes are kept per thread, so the window's thread would make its own all the same.
TavrinFontRegistration::TavrinFontRegistration(const QString &folderPath,
                                               TavrinFontConfiguration *configuration)
    : m_thread([this, folderPath, configuration] {
        if (configuration)
            configuration->wait();
        QFontDatabase systemFonts;
        m_registered = registerFonts(folderPath, &m_messages);
    })
{}

TavrinFontRegistration::~TavrinFontRegistration()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool TavrinFontRegistration::finish(FILE *out)
{
    if (m_thread.joinable())
        m_thread.join();
    printLines(out, m_messages);
    return m_registered;
}
