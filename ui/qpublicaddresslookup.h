#ifndef QPUBLICADDRESSLOOKUP_H
#define QPUBLICADDRESSLOOKUP_H

#include <QtCore/qobject.h>
#include <QtCore/qstring.h>

class QNetworkAccessManager;
class QNetworkReply;

// The machine's address as the internet sees it, asked of the web API. A lookup starts one
// retry interval after restart(); a failed answer is tried again one interval later, up to
// four requests in all since the last restart, after which the text reads "Unknown.". Every
// request first shows "Detecting...". Restarting while an older chain still retries starts a
// second chain on the same count, and the text is that of the answer that came last.
class QPublicAddressLookup : public QObject
{
    Q_OBJECT

public:
    explicit QPublicAddressLookup(QObject *parent = nullptr);

    // Sets the count to 0 and schedules a request.
    void restart();
    // Schedules one request after the retry interval.
    void schedule();
    // Sends one request now, through the given network manager.
    void sendRequest(QNetworkAccessManager *manager);
    // Reads an answer of the web API to one of its requests: shows it, or retries. Other
    // replies of the network manager are left alone.
    void handleReply(QNetworkReply *reply);

    int attempts() const { return m_attempts; }
    // The pause before each request (1 s unless set) and the longest an answer may take (5 s).
    void setRetryInterval(int milliseconds) { m_retryInterval = milliseconds; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

signals:
    void textChanged(const QString &text);
    // A request is due: the owner calls sendRequest().
    void requestDue();

private:
    int m_attempts = 0;
    int m_retryInterval = 1000;
    int m_timeout = 5000;
};

#endif // QPUBLICADDRESSLOOKUP_H
