#include "sim/qtavrinsimoptions.h"

#include <QtCore/qcommandlineparser.h>

namespace {

struct IntegerOption
{
    const char *name;
    int QTavrinSimOptions::*field;
    int minimum;
    int maximum;
};

const IntegerOption integerOptions[] = {
        {"connect-delay", &QTavrinSimOptions::connectDelay, 0, 600000},
        {"disconnect-delay", &QTavrinSimOptions::disconnectDelay, 0, 600000},
        {"retry-delay", &QTavrinSimOptions::retryDelay, 0, 600000},
        {"bandwidth-interval", &QTavrinSimOptions::bandwidthInterval, 1, 600000},
        {"close-after-received", &QTavrinSimOptions::closeAfterReceived, 0, 1000000},
        {"port", &QTavrinSimOptions::port, 0, 65535},
        {"ip-fail", &QTavrinSimOptions::ipFailures, 0, 1000000},
};

QList<QCommandLineOption> optionList()
{
    const QTavrinSimOptions d;
    const auto number = [](int value) { return QString::number(value); };
    return {
            {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help.")},
            {QStringLiteral("connect-delay"),
             QStringLiteral(
                     "Time from Connecting to Connected, LoginFailed or Timeout (default %1).")
                     .arg(number(d.connectDelay)),
             QStringLiteral("ms")},
            {QStringLiteral("disconnect-delay"),
             QStringLiteral("Time from Disconnecting to Disconnected (default %1).")
                     .arg(number(d.disconnectDelay)),
             QStringLiteral("ms")},
            {QStringLiteral("retry-delay"),
             QStringLiteral("Time from Timeout to the next Connecting attempt (default %1).")
                     .arg(number(d.retryDelay)),
             QStringLiteral("ms")},
            {QStringLiteral("bandwidth-interval"),
             QStringLiteral("Time between bandwidth samples while connected (default %1).")
                     .arg(number(d.bandwidthInterval)),
             QStringLiteral("ms")},
            {QStringLiteral("close-after-received"),
             QStringLiteral("Failure: close each client's socket once its Nth frame has been "
                            "received and answered."),
             QStringLiteral("n")},
            {QStringLiteral("port"),
             QStringLiteral("Web API port on 127.0.0.1; 0 picks a free one (default %1). The first "
                            "line of output is always \"PORT <n>\".")
                     .arg(number(d.port)),
             QStringLiteral("n")},
            {QStringLiteral("tls-cert"),
             QStringLiteral("Serve HTTPS with this certificate (PEM; with --tls-key)."),
             QStringLiteral("file")},
            {QStringLiteral("tls-key"),
             QStringLiteral("The private key (PEM) of the certificate of --tls-cert."),
             QStringLiteral("file")},
            {QStringLiteral("list-file"),
             QStringLiteral("Serve this file as the server list instead of the built-in one; the "
                            "hosts in it become the hosts the service knows."),
             QStringLiteral("path")},
            {QStringLiteral("list-body"),
             QStringLiteral("Failure: answer the server list with broken JSON, a body that never "
                            "ends or one that trickles for ever (default normal)."),
             QStringLiteral("normal|broken|endless|trickle")},
            {QStringLiteral("ip-body"),
             QStringLiteral("Failure: answer the public address with broken JSON, \"ip\" as a "
                            "number, a body that never ends or trickles for ever, or an \"ip\" of "
                            "a million characters (default normal)."),
             QStringLiteral("normal|broken|number|endless|trickle|long")},
            {QStringLiteral("ip-fail"),
             QStringLiteral("Failure: answer the first N public address requests with HTTP 500."),
             QStringLiteral("n")},
    };
}

bool parseInteger(const QString &text, int minimum, int maximum, int *value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok || parsed < minimum || parsed > maximum)
        return false;
    *value = parsed;
    return true;
}

template<typename Enum>
bool parseChoice(const QString &text, const QStringList &names, Enum *value)
{
    const int index = names.indexOf(text);
    if (index < 0)
        return false;
    *value = Enum(index);
    return true;
}

} // namespace

bool parseSimOptions(const QStringList &arguments, QTavrinSimOptions *options, QString *errorText)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(optionList());
    if (!parser.parse(arguments)) {
        *errorText = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *errorText = QStringLiteral("Unexpected argument: %1")
                             .arg(parser.positionalArguments().first());
        return false;
    }

    QTavrinSimOptions result;
    result.helpRequested = parser.isSet(QStringLiteral("help"));
    for (const IntegerOption &option : integerOptions) {
        const QString name = QLatin1String(option.name);
        if (parser.isSet(name)
            && !parseInteger(parser.value(name), option.minimum, option.maximum,
                             &(result.*option.field))) {
            *errorText = QStringLiteral("--%1 takes a number from %2 to %3, not \"%4\"")
                                 .arg(name)
                                 .arg(option.minimum)
                                 .arg(option.maximum)
                                 .arg(parser.value(name));
            return false;
        }
    }
    result.tlsCertificate = parser.value(QStringLiteral("tls-cert"));
    result.tlsKey = parser.value(QStringLiteral("tls-key"));
    if (result.tlsCertificate.isEmpty() != result.tlsKey.isEmpty()) {
        *errorText = QStringLiteral("--tls-cert and --tls-key go together");
        return false;
    }
    result.listFile = parser.value(QStringLiteral("list-file"));
    if (parser.isSet(QStringLiteral("list-body"))
        && !parseChoice(parser.value(QStringLiteral("list-body")),
                        {QStringLiteral("normal"), QStringLiteral("broken"),
                         QStringLiteral("endless"), QStringLiteral("trickle")},
                        &result.listBody)) {
        *errorText = QStringLiteral("--list-body takes normal, broken, endless or trickle");
        return false;
    }
    if (parser.isSet(QStringLiteral("ip-body"))
        && !parseChoice(parser.value(QStringLiteral("ip-body")),
                        {QStringLiteral("normal"), QStringLiteral("broken"),
                         QStringLiteral("number"), QStringLiteral("endless"),
                         QStringLiteral("trickle"), QStringLiteral("long")},
                        &result.ipBody)) {
        *errorText = QStringLiteral("--ip-body takes normal, broken, number, endless, trickle or "
                                    "long");
        return false;
    }
    *options = result;
    return true;
}

QString simHelpText()
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Stand-in for the local VPN service (local socket) and the web API (HTTP, or HTTPS "
            "with --tls-cert and --tls-key, on 127.0.0.1), for demonstrations and tests. Every "
            "frame and request is logged on standard output, one time-stamped line each."));
    parser.addOptions(optionList());
    return parser.helpText();
}
