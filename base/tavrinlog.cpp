#include "base/tavrinlog.h"

#include "base/tavrinhomefolder.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qdatetime.h>
#include <QtCore/qdir.h>
#include <QtCore/qfile.h>
#include <QtCore/qfileinfo.h>
#include <QtCore/qlocale.h>
#include <QtCore/qmutex.h>

namespace {

struct LogState
{
    QMutex lock;
    int threshold = Warning;
    bool besideProgram = false;
    QString logFilePath;
    qint64 (*clock)() = QDateTime::currentMSecsSinceEpoch;
};

// Constructed on first use; the construction of a function-local static is thread-safe.
LogState &logState()
{
    static LogState state;
    return state;
}

QString logPathFor(bool besideProgram)
{
    QString path;
    if (besideProgram) {
        const QFileInfo program(QCoreApplication::applicationFilePath());
        path = program.absolutePath() + QLatin1Char('/') + program.completeBaseName()
               + QLatin1String(".log");
    } else {
        path = tavrinHomeFolder() + QLatin1Char('/') + QCoreApplication::applicationName()
               + QLatin1String(".log");
    }
    return QDir::toNativeSeparators(path);
}

QByteArray logLine(const QString &message, int level, qint64 now)
{
    const QString stamp = QLocale::c().toString(QDateTime::fromMSecsSinceEpoch(now),
                                                QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz"));
    return (stamp + QLatin1String(" - ") + logLevelWord(level) + message + QLatin1String("\r\n"))
            .toUtf8();
}

} // namespace

QString logLevelWord(int level)
{
    switch (level) {
    case Information:
        return QStringLiteral("Information: ");
    case Debug:
        return QStringLiteral("Debug: ");
    case Warning:
        return QStringLiteral("Warning: ");
    case Error:
        return QStringLiteral("Error: ");
    case Critical:
        return QStringLiteral("Critical: ");
    default:
        return QStringLiteral("Unknown: ");
    }
}

void writeLog(const QString &message, int level)
{
    LogState &state = logState();
    QMutexLocker locker(&state.lock);
    if (level < state.threshold)
        return;
    if (state.logFilePath.isEmpty())
        state.logFilePath = logPathFor(state.besideProgram);

    QFile file(state.logFilePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(logLine(message, level, state.clock()));
    file.close();
}

void setLogOptions(int threshold, bool besideProgram)
{
    LogState &state = logState();
    QMutexLocker locker(&state.lock);
    state.threshold = threshold;
    state.besideProgram = besideProgram;
    state.logFilePath.clear();
}

void setLogClock(qint64 (*clock)())
{
    LogState &state = logState();
    QMutexLocker locker(&state.lock);
    state.clock = clock ? clock : QDateTime::currentMSecsSinceEpoch;
}
