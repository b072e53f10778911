#ifndef TAVRINDEPLOYMENT_H
#define TAVRINDEPLOYMENT_H

#include <QtCore/qstring.h>
#include <QtCore/qurl.h>

// The deployment constants of this build. The web API and the product web site are reached
// over the built-in scheme (https unless the build chose http) at their built-in hosts. For
// tests, demos and staging the environment may name others at start (TAVRIN_API_HOST,
// TAVRIN_SITE_HOST), each a "host" or "host:port", which takes the built-in scheme, or the same
// behind "http://" or "https://". A value that is not one of these is ignored, with a line in
// the log: the program then uses its built-in address rather than guess at what was meant.
// The automatic-selection host name is fixed at build time.

QString tavrinWebScheme();
// The scheme and the host (and port) of the web API and of the product web site, without a
// path: "https://api.example.com".
QUrl tavrinApiBase();
QUrl tavrinSiteBase();
QString tavrinAutoHostname();

// Reads a web address as a deployment gives it: "host" or "host:port", bare (then it takes
// defaultScheme) or behind "http://" or "https://". Returns the scheme with the host and port
// alone, or an invalid URL for anything else: another scheme, user information, a path, a
// query or a fragment, no host, a malformed host or port.
QUrl tavrinWebBase(const QString &text, const QString &defaultScheme);

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
