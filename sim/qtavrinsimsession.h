#ifndef QTAVRINSIMSESSION_H
#define QTAVRINSIMSESSION_H

#include "service/tavrinframe.h"
#include "sim/qtavrinsimoptions.h"

#include <QtCore/qobject.h>

class QLocalSocket;
class QTavrinSimSharedState;
class QTavrinSimTunnel;

// One client of the stand-in service: cuts the bytes the client sends into frames for the
// session's tunnel, writes the tunnel's answers back, logs every frame both ways, and closes
// the link after a number of frames received when the command line asks for it. Takes ownership
// of the socket; emits finished() once the link is closed.
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
    void send(const QByteArray &bytes);
    // A service that stops reading: what the client sends waits in the socket until reading
    // resumes.
    void setReading(bool reading);
    QTavrinSimTunnel *tunnel() const { return m_tunnel; }

signals:
    void finished();

private slots:
    void socket_readyRead();
    void socket_disconnected();
    void tunnel_frameReady(const QByteArray &frame);

private:
    void closeLink(const QString &reason);
    void log(const char *verb, const QString &text) const;

    QLocalSocket *m_socket;
    int m_number;
    QTavrinSimOptions m_options;
    QTavrinSimTunnel *m_tunnel;
    QTavrinFrameSplitter m_splitter;
    int m_received = 0;
    quint64 m_droppedLogged = 0;
    bool m_closing = false;
    bool m_closed = false;
    bool m_reading = true;
};

#endif // QTAVRINSIMSESSION_H
