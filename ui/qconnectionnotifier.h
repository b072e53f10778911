#ifndef QCONNECTIONNOTIFIER_H
#define QCONNECTIONNOTIFIER_H

#include <QtCore/qobject.h>
#include <QtCore/qstring.h>
#include <QtCore/qtimer.h>

// Decides when the desktop's notifications tell the user about the connection: when it comes
// up (once per connection, not on every repeated Connected), and when it is lost without the
// user asking (a Timeout after it was up, or a Disconnected while no Disconnect, Exit or server
// change of the user's is outstanding). Nothing is told while the window is shown and active,
// since the window shows it. At most one notification a second: one that comes sooner waits
// for the second to end, and a later one takes its place, so that a flood of states tells the
// state it ends in, once.
class QConnectionNotifier : public QObject
{
    Q_OBJECT

public:
    using Clock = qint64 (*)(); // milliseconds from any fixed point, never going back

    explicit QConnectionNotifier(QObject *parent = nullptr, Clock clock = nullptr);

    // The user takes the connection down (Disconnect, Exit, another server): the Disconnected
    // that follows is theirs.
    void userEndsConnection();
    // A state code from the service, with the name of the server connected to; seen when the
    // window is shown and active.
    void stateChanged(quint8 code, const QString &serverName, bool seen);

    static constexpr int Interval = 1000;

signals:
    void notify(const QString &text);

private:
    void show(const QString &text);
    void showNow(const QString &text);
    void wait_timeout();

    enum Phase { Down, Up, Retrying };

    Clock m_clock;
    QTimer m_wait;
    QString m_waiting;
    QString m_shown;
    qint64 m_shownAt = 0;
    bool m_anyShown = false;
    Phase m_phase = Down;
    bool m_userEnds = false;
};

#endif // QCONNECTIONNOTIFIER_H
