#include "ui/qconnectionnotifier.h"

#include "service/tavrinframe.h"

#include <QtCore/qelapsedtimer.h>

#include <utility>

namespace {

qint64 monotonicClock()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

} // namespace

QConnectionNotifier::QConnectionNotifier(QObject *parent, Clock clock)
    : QObject(parent)
    , m_clock(clock ? clock : monotonicClock)
    , m_wait(this) // a child, so that a test can find the wait and end it at once
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &QConnectionNotifier::wait_timeout);
}

void QConnectionNotifier::userEndsConnection()
{
    m_userEnds = true;
}

void QConnectionNotifier::stateChanged(quint8 code, const QString &serverName, bool seen)
{
    QString text;
    if (code == Connected && m_phase != Up) {
        m_phase = Up;
        text = tr("Connected to %1").arg(serverName);
    } else if (code == Timeout && m_phase == Up && !m_userEnds) {
        m_phase = Retrying;
        text = tr("Connection to %1 lost, trying again").arg(serverName);
    } else if (code == Disconnected) {
        if (m_phase != Down && !m_userEnds)
            text = tr("Connection to %1 lost").arg(serverName);
        m_phase = Down;
        m_userEnds = false;
    }
    if (seen) {
        // The window shows the state: what waits is old news, and what was told too.
        m_shown.clear();
        m_waiting.clear();
        m_wait.stop();
    } else if (!text.isEmpty()) {
        show(text);
    }
}

void QConnectionNotifier::show(const QString &text)
{
    const qint64 since = m_clock() - m_shownAt;
    if (!m_wait.isActive() && (!m_anyShown || since >= Interval)) {
        showNow(text);
        return;
    }
    if (text == m_shown) { // back where the last notification left the user
        m_waiting.clear();
        m_wait.stop();
        return;
    }
    m_waiting = text;
    if (!m_wait.isActive())
        m_wait.start(int(qBound<qint64>(0, Interval - since, Interval)));
}

void QConnectionNotifier::showNow(const QString &text)
{
    m_shown = text;
    m_shownAt = m_clock();
    m_anyShown = true;
    emit notify(text);
}

void QConnectionNotifier::wait_timeout()
{
    if (!m_waiting.isEmpty())
        showNow(std::exchange(m_waiting, QString()));
}
