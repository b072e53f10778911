#ifndef TAVRINSIMLOG_H
#define TAVRINSIMLOG_H

#include <QtCore/qbytearray.h>
#include <QtCore/qstring.h>

// The stand-in service's log: one line per event on standard output, flushed at once, safe to
// call from any thread. Every line reads
//   <local time, ISO 8601 with milliseconds> <channel> <text>
// for example "2026-12-06T18:30:01.123 SVC RECV session=1 type=9 len=4 01 04 09 02".
// Channels: SIM (the program), SVC (the local socket side), TUNNEL (the scripted tunnel),
// HTTP (the web API side).
void simLog(const char *channel, const QString &text);

// Hands every line, without time stamp, to a function of the caller's as well (a stand-in run
// in-process by a test), on whatever thread logs it. Null stops that.
void setSimLogSink(void (*sink)(const QString &line));

// Writes one line as it is, without time stamp (the machine-readable first line).
void simPrintRaw(const QString &line);

// "01 04 09 02": the bytes in upper-case hexadecimal, separated by single spaces.
QString simHexBytes(const QByteArray &bytes);

#endif // TAVRINSIMLOG_H
