#include "ui/qconnectionclock.h"

#include <QtCore/qcoreevent.h>

QConnectionClock::QConnectionClock(QObject *parent)
    : QObject(parent)
{}

void QConnectionClock::start(const QDateTime &since)
{
    stop();
    m_since = since;
    emit textChanged(text(m_since, QDateTime::currentDateTime()));
    m_timerId = startTimer(1000, Qt::CoarseTimer);
}

void QConnectionClock::stop()
{
    if (m_timerId != 0)
        killTimer(m_timerId);
    m_timerId = 0;
}

QString QConnectionClock::text(const QDateTime &since, const QDateTime &now)
{
    const qint64 seconds = since.secsTo(now);
    return QTime(0, 0).addSecs(int(seconds % 86400)).toString(Qt::TextDate);
}

void QConnectionClock::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_timerId)
        emit textChanged(text(m_since, QDateTime::currentDateTime()));
}
