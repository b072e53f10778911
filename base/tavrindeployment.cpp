#include "base/tavrindeployment.h"

#include "base/tavrinlog.h"
#include "tavrinconfig.h"

#include <QtCore/qbytearray.h>
#include <QtCore/qcoreapplication.h>

const char tavrinApiKey[] = "3c9e07b1d25a48f6e0b7c41a9d8f2e65";
const char tavrinLogOnOption[] = "--autostart";

QUrl tavrinWebBase(const QString &text, const QString &defaultScheme)
{
    QString scheme = defaultScheme;
    QString authority = text;
    const int separator = text.indexOf(QLatin1String("://"));
    if (separator >= 0) {
        scheme = text.left(separator).toLower();
        authority = text.mid(separator + 3);
    }
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return QUrl();
    const QUrl url(scheme + QLatin1String("://") + authority, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() == 0 || !url.userInfo().isEmpty()
        || !url.path().isEmpty() || url.hasQuery() || url.hasFragment())
        return QUrl();
    return url;
}

// The override of the environment variable when it is a valid one, else the built-in base.
static QUrl baseFromEnvironment(const char *variable, const char *builtInHost)
{
    const QUrl builtIn = tavrinWebBase(QLatin1String(builtInHost), tavrinWebScheme());
    const QString value = qEnvironmentVariable(variable).trimmed();
    if (value.isEmpty())
        return builtIn;
    const QUrl base = tavrinWebBase(value, tavrinWebScheme());
    if (base.isValid())
        return base;
    writeLog(QStringLiteral("%1=\"%2\" is not an http or https host[:port]: ignored, %3 is used")
                     .arg(QLatin1String(variable), value, builtIn.toString()),
             Warning);
    return builtIn;
}

QString tavrinWebScheme()
{
    return QStringLiteral(TAVRIN_WEB_SCHEME);
}

QUrl tavrinApiBase()
{
    return baseFromEnvironment("TAVRIN_API_HOST", TAVRIN_DEFAULT_API_HOST);
}

QUrl tavrinSiteBase()
{
    return baseFromEnvironment("TAVRIN_SITE_HOST", TAVRIN_DEFAULT_SITE_HOST);
}

QString tavrinAutoHostname()
{
    return QString::fromLatin1(TAVRIN_AUTO_HOSTNAME);
}

void setTavrinApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("tavrin-client"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrin"));
}
