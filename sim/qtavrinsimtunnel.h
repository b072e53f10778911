#ifndef QTAVRINSIMTUNNEL_H
#define QTAVRINSIMTUNNEL_H

#include "sim/qtavrinsimoptions.h"

#include <QtCore/qobject.h>
#include <QtCore/qrandom.h>
#include <QtCore/qstringlist.h>
#include <QtCore/qtimer.h>

class QTavrinSimSharedState;

// The scripted tunnel of one client: reads the client's request frames and answers with the
// frames a VPN service would send, on its own timers.
//
//   connect, right account      Connecting ... Connected (address, start time), then a
//                               bandwidth sample (running totals, type 1) every interval
//   connect, wrong account      Connecting ... LoginFailed; the client is expected to abort
//   connect, unknown host       Connecting ... Timeout ... Connecting ... Timeout, until aborted
//   abort                       Disconnecting ... Disconnected (just Disconnected when idle)
//   credentials request         the stored credentials, when there are any; else no reply
//
// A connect request while a tunnel is up or being set up drops it without a word and starts
// over. The bandwidth totals run on for the whole life of the object, across tunnels, like the
// counters of a network interface.
class QTavrinSimTunnel : public QObject
{
    Q_OBJECT

public:
    enum State { Idle, Dialling, Up, LoginRejected, TearingDown, WaitingToRetry };
    Q_ENUM(State)

    QTavrinSimTunnel(const QTavrinSimOptions &options, const QStringList &knownHosts, int session,
                     QTavrinSimSharedState *sharedState, QObject *parent = nullptr);
    ~QTavrinSimTunnel() override;

    State state() const { return m_state; }
    // The tunnel address handed out on Connected: 10.8.0.x, x following the session number.
    QByteArray address() const { return m_address; }
    quint32 downloadTotal() const { return m_download; }
    quint32 uploadTotal() const { return m_upload; }

    // Handles one well-formed frame from the client.
    void handleFrame(const QByteArray &frame);
    // Stops every timer and takes the tunnel down without sending anything (the client left).
    void shutDown();

signals:
    void frameReady(const QByteArray &frame);

private slots:
    void stepTimer_timeout();
    void bandwidthTimer_timeout();

private:
    enum Outcome { Success, Rejected, Unreachable };

    void handleConnectRequest(const QByteArray &frame);
    void handleAbortRequest();
    void handleCredentialsRequest();
    Outcome outcomeFor(const QString &host, const QByteArray &credentials) const;
    void enterState(State state, int nextStepDelay = -1);
    void sendState(quint8 state);
    void bringUp();
    void takeDown();
    void log(const QString &text) const;

    QTavrinSimOptions m_options;
    QStringList m_knownHosts;
    int m_session;
    QTavrinSimSharedState *m_sharedState;
    QTimer m_stepTimer;
    QTimer m_bandwidthTimer;
    QRandomGenerator m_random;
    State m_state = Idle;
    Outcome m_outcome = Success;
    QString m_host;
    QByteArray m_address;
    bool m_up = false;
    quint32 m_download = 0;
    quint32 m_upload = 0;
    double m_phase = 0;
};

#endif // QTAVRINSIMTUNNEL_H
