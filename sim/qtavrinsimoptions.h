#ifndef QTAVRINSIMOPTIONS_H
#define QTAVRINSIMOPTIONS_H

#include <QtCore/qstring.h>
#include <QtCore/qstringlist.h>

// How the web API answers the server list request.
// Endless: a body that never ends, sent as fast as the client takes it; Trickle: one byte every
// tenth of a second, for ever.
enum class QTavrinSimListBody { Normal, Broken, Endless, Trickle };
// How the web API answers the public address request.
// Long: an "ip" of a million characters.
enum class QTavrinSimIpBody { Normal, Broken, Number, Endless, Trickle, Long };

// Everything tavrin-sim can be told on its command line. Times are in milliseconds; a count of
// 0 switches the failure it belongs to off.
struct QTavrinSimOptions
{
    // Local socket side.
    QString socketName = QStringLiteral("Tavrin"); // set by in-process tests alone
    int connectDelay = 1500;
    int disconnectDelay = 300;
    int retryDelay = 2000;
    int bandwidthInterval = 1000;

    // Failure injection on the local socket side.
    int closeAfterReceived = 0;

    // Web API side.
    int port = 8377;
    QString listFile;
    QTavrinSimListBody listBody = QTavrinSimListBody::Normal;
    QTavrinSimIpBody ipBody = QTavrinSimIpBody::Normal;
    int ipFailures = 0;
    // HTTPS with this certificate and key (PEM files) when both are set; plain HTTP otherwise.
    QString tlsCertificate;
    QString tlsKey;
    QString webScheme() const
    {
        return tlsCertificate.isEmpty() ? QStringLiteral("http") : QStringLiteral("https");
    }

    bool helpRequested = false;
};

// The one account the service accepts.
constexpr char simDemoUser[] = "demo", simDemoPassword[] = "demo";

// Reads the command line (arguments[0] is the program). Returns false with a one-line reason
// in *errorText when an option is unknown, lacks its value or has a value out of range.
bool parseSimOptions(const QStringList &arguments, QTavrinSimOptions *options, QString *errorText);

// The text printed for --help: every option with its default.
QString simHelpText();

#endif // QTAVRINSIMOPTIONS_H
