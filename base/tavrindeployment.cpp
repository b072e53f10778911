#include "base/tavrindeployment.h"

#include "tavrinconfig.h"

#include <QtCore/qbytearray.h>
#include <QtCore/qcoreapplication.h>

const char tavrinApiKey[] = "3c9e07b1d25a48f6e0b7c41a9d8f2e65";
const char tavrinLogOnOption[] = "--autostart";

static QString hostFromEnvironment(const char *variable, const char *builtIn)
{
    const QString value = qEnvironmentVariable(variable).trimmed();
    return value.isEmpty() ? QString::fromLatin1(builtIn) : value;
}

QString tavrinApiHost()
{
    return hostFromEnvironment("TAVRIN_API_HOST", TAVRIN_DEFAULT_API_HOST);
}

QString tavrinSiteHost()
{
    return hostFromEnvironment("TAVRIN_SITE_HOST", TAVRIN_DEFAULT_SITE_HOST);
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
