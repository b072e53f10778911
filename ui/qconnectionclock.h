#ifndef QCONNECTIONCLOCK_H
#define QCONNECTIONCLOCK_H

#include <QtCore/qdatetime.h>
#include <QtCore/qobject.h>

// The time connected: from the start of the connection to now, as hours, minutes and seconds
// ("01:02:03", starting again after a day), told at once when started and then once a second.
class QConnectionClock : public QObject
{
    Q_OBJECT

public:
    explicit QConnectionClock(QObject *parent = nullptr);

    // (Re)starts the clock for a connection that started then; one clock runs at a time.
    void start(const QDateTime &since);
    void stop();

    static QString text(const QDateTime &since, const QDateTime &now);

signals:
    void textChanged(const QString &text);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    QDateTime m_since;
    int m_timerId = 0;
};

#endif // QCONNECTIONCLOCK_H
