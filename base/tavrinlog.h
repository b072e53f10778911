#ifndef TAVRINLOG_H
#define TAVRINLOG_H

#include <QtCore/qstring.h>

// The levels of the log file. Information is the lowest level, below Debug.
enum LogLevel { Information = 0, Debug, Warning, Error, Critical };

// Appends one time-stamped line to the log file when level reaches the threshold (2, Warning,
// unless changed). Thread-safe; a file that cannot be written loses the line silently.
void writeLog(const QString &message, int level);

// Sets the threshold and the location rule: beside the executable (its folder, its complete
// base name, ".log") or in the home folder (application name, ".log"). The path is worked out
// afresh on the next line.
void setLogOptions(int threshold, bool besideProgram);

// Replaces the clock of the time stamps, milliseconds since the epoch shown in local time (for
// tests); null brings the system's clock back.
void setLogClock(qint64 (*clock)());

// The word that precedes the message in a line of the given level ("Warning: ").
QString logLevelWord(int level);

#endif // TAVRINLOG_H
