#ifndef TAVRINSIGNALRECORDER_H
#define TAVRINSIGNALRECORDER_H

#include "service/qtavrinserviceconnection.h"

#include <QtCore/qstringlist.h>

// Records what a service connection raises, one short line per signal, in order:
// "credentials <text>", "ip <address>", "start <seconds>", "state <code>",
// "bandwidth <type> <download> <upload>", "login failed", "error <description>".
class TavrinSignalRecorder : public QObject
{
    Q_OBJECT

public:
    explicit TavrinSignalRecorder(QTavrinServiceConnection *connection);

    QStringList lines;
    int count(const QString &line) const { return lines.count(line); }
    // Waits until a line equal to the given one has been recorded.
    bool waitFor(const QString &line);
};

#endif // TAVRINSIGNALRECORDER_H
