#include "sim/tavrinsimlog.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qmutex.h>

#include <cstdio>

static QMutex s_logMutex;
static void (*s_sink)(const QString &line) = nullptr;

static void writeLine(const QByteArray &line)
{
    QMutexLocker locker(&s_logMutex);
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void setSimLogSink(void (*sink)(const QString &line))
{
    QMutexLocker locker(&s_logMutex);
    s_sink = sink;
}

void simLog(const char *channel, const QString &text)
{
    {
        QMutexLocker locker(&s_logMutex);
        if (s_sink)
            s_sink(QLatin1String(channel) + QLatin1Char(' ') + text);
    }
    const QString stamp = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    writeLine(QString(stamp + QLatin1Char(' ') + QLatin1String(channel) + QLatin1Char(' ') + text)
                      .toUtf8());
}

void simPrintRaw(const QString &line)
{
    writeLine(line.toUtf8());
}

QString simHexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}
