#ifndef QTAVRINSIMSESSION_H
#define QTAVRINSIMSESSION_H

#include "service/tavrinframe.h"
#include "sim/qtavrinsimoptions.h"

#include <QtCore/qlist.h>
#include <QtCore/qobject.h>
#include <QtCore/qrandom.h>
#include <QtCore/qtimer.h>

class QLocalSocket;
class QTavrinSimSharedState;
class QTavrinSimTunnel;

// One client of the stand-in service: cuts the bytes the client sends into frames for the
// session's tunnel, writes the tunnel's answers back, logs every frame both ways, and injects
// the transport failures chosen on the command line (split writes, malformed frames, closing
// the link). Takes ownership of the socket; emits finished() once the link is closed.
class QTavrinSimSession : public QObject
{
    Q_OBJECT

public:
    QTavrinSimSession(QLocalSocket *socket, int number, const QTavrinSimOptions &options,
                      const QStringList &knownHosts, QTavrinSimSharedState *sharedState,
                      QObject *parent = nullptr);
    ~QTavrinSimSession() override;

    int number() const { return m_number; }
    // Writes bytes to the client as they are, past the tunnel (frames a test makes up).
    void send(const QByteArray &bytes) { sendBytes(bytes); }
    // A service that stops reading: what the client sends waits in the socket until reading
    // resumes.
    void setReading(bool reading);
    QTavrinSimTunnel *tunnel() const { return m_tunnel; }

    // The malformed frames sent by the malformed failure, one after the other (index taken
    // modulo their number). Each declares its true length, so a reader that skips a frame
    // by its length byte lands on the next good frame.
    static QByteArray malformedFrame(int index);

signals:
    void finished();

private slots:
    void socket_readyRead();
    void socket_disconnected();
    void tunnel_frameReady(const QByteArray &frame);
    void writeTimer_timeout();
    void closeTimer_timeout();

private:
    void sendBytes(const QByteArray &bytes);
    void closeWhenWritten(const QString &reason);
    void closeLink(const QString &reason);
    void log(const char *verb, const QString &text) const;

    QLocalSocket *m_socket;
    int m_number;
    QTavrinSimOptions m_options;
    QTavrinSimTunnel *m_tunnel;
    QTavrinFrameSplitter m_splitter;
    QTimer m_writeTimer;
    QTimer m_closeTimer;
    QList<QByteArray> m_pending;
    QRandomGenerator m_random;
    int m_sent = 0;
    int m_received = 0;
    int m_malformedSent = 0;
    quint64 m_droppedLogged = 0;
    bool m_closing = false;
    bool m_closed = false;
    bool m_reading = true;
    QString m_closeReason;
};

#endif // QTAVRINSIMSESSION_H
