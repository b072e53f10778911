#ifndef TAVRINDEPLOYMENT_H
#define TAVRINDEPLOYMENT_H

#include <QtCore/qstring.h>

// The deployment constants of this build. The web API host and the product web site host may
// be overridden at start through the environment (TAVRIN_API_HOST, TAVRIN_SITE_HOST), each a
// "host" or "host:port"; the automatic-selection host name is fixed at build time.

QString tavrinApiHost();
QString tavrinSiteHost();
QString tavrinAutoHostname();

// Gives the application its fixed name ("tavrin-client") and organisation, whatever name the
// program was started under: the single-instance lock and the log file are named after it.
// Call before the application object is built.
void setTavrinApplicationIdentity();

// The command-line option the log-on entry passes, marking a start at log-on (the program's
// only option).
extern const char tavrinLogOnOption[];

// The key of the web API, the last path segment of the get_list and get_ip calls.
extern const char tavrinApiKey[];

#endif // TAVRINDEPLOYMENT_H
