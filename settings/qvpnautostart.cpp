#include "settings/qvpnautostart.h"

#include "base/tavrindeployment.h"

#include <QtCore/qlist.h>

// Quotes the path as one argument of an Exec line.
static QString quotedArgument(const QString &argument)
{
    QString quoted;
    quoted.reserve(argument.size() + 8);
    quoted += QLatin1Char('"');
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
            || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

// Escapes a value as the file's string type requires; applied after the quoting, so every
// backslash of the quoted argument is doubled. '%' is doubled so it is no field code.
static QString escapedExecValue(const QString &value)
{
    QString escaped;
    escaped.reserve(value.size() * 2);
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            escaped += QLatin1String("\\\\");
            break;
        case '\n':
            escaped += QLatin1String("\\n");
            break;
        case '\t':
            escaped += QLatin1String("\\t");
            break;
        case '\r':
            escaped += QLatin1String("\\r");
            break;
        case '%':
            escaped += QLatin1String("%%");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QString desktopEntryExecValue(const QString &program)
{
    return escapedExecValue(quotedArgument(program));
}

QByteArray autoStartDesktopEntry(const QString &program)
{
    const QString entry = QLatin1String("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Tavrin Client\n"
                                        "Exec=")
                          + desktopEntryExecValue(program) + QLatin1Char(' ')
                          + QLatin1String(tavrinLogOnOption)
                          + QLatin1String("\n"
                                          "Terminal=false\n");
    return entry.toUtf8();
}

bool autoStartEntryEnabled(const QByteArray &entry)
{
    bool inMainGroup = false;
    const QList<QByteArray> lines = entry.split('\n');
    for (const QByteArray &raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const int equals = line.indexOf('=');
        if (!inMainGroup || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true")
            || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
    }
    return true;
}
