#ifndef QPUBLICADDRESSLOOKUP_H
#define QPUBLICADDRESSLOOKUP_H

#include <QtCore/qobject.h>
#include <QtCore/qstring.h>
#include <QtCore/qtimer.h>

class QNetworkAccessManager;
class QNetworkReply;

// The machine's address as the internet sees it, asked of the web API; only a well-formed IPv4
// or IPv6 address counts as an answer. A lookup starts one
// retry interval after restart(); a failed answer is tried again one interval later, up to
// four requests in all since the last restart, after which the text reads "Unknown.". Every
// request first shows "Detecting...". One request at most waits to be sent: a restart while
// one waits sets the count back and the wait starts over, so that a flood of state changes
// brings one request once it is over. An answer still to come counts on, and the text is that
// of the answer that came last.
class QPublicAddressLookup : public QObject
{
    Q_OBJECT

public:
    explicit QPublicAddressLookup(QObject *parent = nullptr);

    // Sets the count to 0 and (re)schedules the request.
    void restart();
    // Schedules one request after the retry interval, unless one is scheduled already.
    void schedule();
    // Sends one request now, through the given network manager, and reads its answer when it
    // comes; the manager's other replies are left alone.
    void sendRequest(QNetworkAccessManager *manager);

    int attempts() const { return m_attempts; }
    // The longest answer read: an address and a little JSON around it.
    static constexpr qint64 MaximumAnswerSize = 4096;
    // The pause before each request (1 s unless set) and the longest an answer may take (5 s).
    void setRetryInterval(int milliseconds) { m_retryInterval = milliseconds; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

signals:
    void textChanged(const QString &text);
    // A request is due: the owner calls sendRequest().
    void requestDue();

private:
    // Shows the answer, or retries.
    void handleReply(QNetworkReply *reply);

    QTimer m_due;
    int m_attempts = 0;
    int m_retryInterval = 1000;
    int m_timeout = 5000;
};

#endif // QPUBLICADDRESSLOOKUP_H
