#include "tavrintestplatform.h"

#include "tavrintestenvironment.h"

#include <qt_windows.h>

bool TavrinTestPlatform::allTaken(QLocalSocket *socket)
{
    return socket->bytesToWrite() == 0;
}

void TavrinTestPlatform::chooseLanguage(const QString &language)
{
    QLocale::setDefault(QLocale(language));
}

// IcmpSendEcho needs no privilege.
QString TavrinTestPlatform::systemEchoUnavailable()
{
    return QString();
}

QString TavrinTestPlatform::listenAsAnotherUser(QLocalServer *server, QString *skip)
{
    Q_UNUSED(server);
    *skip = QStringLiteral("Wine runs every process as its one user: no pipe of another user");
    return QString();
}

QStringList TavrinTestPlatform::storedSettings()
{
    return registryValues(QStringLiteral("Software\\Tavrin"));
}

// The registry tool runs as a process of its own, which sees the key that this process sees
// as HKEY_CURRENT_USER under its full name.
QStringList TavrinTestPlatform::registryValues(const QString &key)
{
    QProcess reg;
    reg.start(QStringLiteral("reg"), {"query", TavrinTestEnvironment::registryRoot() + '\\' + key});
    if (!reg.waitForFinished(LongPatience) || reg.exitCode() != 0)
        return {};
    QStringList stored;
    const QStringList lines = QString::fromLocal8Bit(reg.readAllStandardOutput())
                                      .split(QRegularExpression(QStringLiteral("[\r\n]+")));
    const QRegularExpression value(QStringLiteral("^ {4}(.+?) {4}(REG_\\w+) {4}(.*)$"));
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = value.match(line);
        if (!match.hasMatch())
            continue;
        const QString type = match.captured(2) == QLatin1String("REG_SZ")
                                     ? QString()
                                     : QStringLiteral("(%1) ").arg(match.captured(2));
        stored << match.captured(1) + QLatin1Char('=') + type + match.captured(3);
    }
    stored.sort();
    return stored;
}

void TavrinTestPlatform::clearSettings()
{
    const QString software = QStringLiteral("HKEY_CURRENT_USER\\Software");
    QSettings(software, QSettings::NativeFormat).remove(QStringLiteral("Tavrin"));
    QSettings(software + QStringLiteral("\\Microsoft\\Windows\\CurrentVersion\\Run"),
              QSettings::NativeFormat)
            .remove(QStringLiteral("Tavrin Client"));
}

// The key is under the user's own part of the registry.
QString TavrinTestPlatform::storeAccessProblem()
{
    return QString();
}

bool TavrinTestPlatform::openStoreToOthers()
{
    return true;
}
