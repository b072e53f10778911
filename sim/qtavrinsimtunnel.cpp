#include "sim/qtavrinsimtunnel.h"

#include "base/tavrindeployment.h"
#include "service/tavrincredentials.h"
#include "service/tavrinframe.h"
#include "sim/qtavrinsimsharedstate.h"
#include "sim/tavrinsimlog.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qmetaobject.h>

#include <cmath>

namespace {

const char *stateName(quint8 state)
{
    switch (state) {
    case Connecting:
        return "Connecting";
    case Connected:
        return "Connected";
    case Disconnecting:
        return "Disconnecting";
    case Disconnected:
        return "Disconnected";
    case Timeout:
        return "Timeout";
    }
    return "Unknown";
}

// Traffic of one interval: a slow swell around 180 kB/s down, the odd burst of a download,
// and an upload of an eighth to a quarter of it plus acknowledgements.
void nextTraffic(QRandomGenerator *random, double *phase, int intervalMs, quint32 *download,
                 quint32 *upload)
{
    *phase += 0.35 + random->bounded(0.3);
    double rate = 180000.0 * (1.0 + 0.7 * std::sin(*phase)) * (0.7 + random->bounded(0.6));
    if (random->bounded(100) < 8)
        rate += 1500000.0 * (0.5 + random->bounded(1.0));
    const double seconds = intervalMs / 1000.0;
    const double down = 2000.0 + rate * seconds;
    const double up = 600.0 * seconds + down * (0.12 + random->bounded(0.13));
    *download = quint32(down);
    *upload = quint32(up);
}

} // namespace

QTavrinSimTunnel::QTavrinSimTunnel(const QTavrinSimOptions &options, const QStringList &knownHosts,
                                   int session, QTavrinSimSharedState *sharedState, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_knownHosts(knownHosts)
    , m_session(session)
    , m_sharedState(sharedState)
    , m_random(quint32(session) + 1) // a traffic pattern of its own for every session
    , m_address(QByteArrayLiteral("10.8.0.") + QByteArray::number(2 + (session - 1) % 250))
{
    m_stepTimer.setSingleShot(true);
    m_bandwidthTimer.setInterval(options.bandwidthInterval);
    connect(&m_stepTimer, &QTimer::timeout, this, &QTavrinSimTunnel::stepTimer_timeout);
    connect(&m_bandwidthTimer, &QTimer::timeout, this, &QTavrinSimTunnel::bandwidthTimer_timeout);
}

QTavrinSimTunnel::~QTavrinSimTunnel()
{
    shutDown();
}

void QTavrinSimTunnel::handleFrame(const QByteArray &frame)
{
    if (frame.size() < MinimumFrameSize)
        return;
    const quint8 type = quint8(frame.at(2));
    switch (type) {
    case ConnectToVPNRequest:
        handleConnectRequest(frame);
        break;
    case AbortRequest:
        handleAbortRequest();
        break;
    case CredentialsRequest:
        handleCredentialsRequest();
        break;
    case StatusRequest:
        log(QStringLiteral("status request ignored"));
        break;
    case ServerListRequest:
        log(QStringLiteral("server list request ignored"));
        break;
    case UpdateCAFileRequest:
        log(QStringLiteral("CA file request ignored"));
        break;
    default:
        log(QStringLiteral("frame of unknown type %1 ignored").arg(type));
        break;
    }
}

void QTavrinSimTunnel::shutDown()
{
    m_stepTimer.stop();
    m_bandwidthTimer.stop();
    takeDown();
    m_state = Idle;
}

void QTavrinSimTunnel::handleConnectRequest(const QByteArray &frame)
{
    QByteArray host;
    QByteArray credentials;
    if (!parseConnectRequest(frame, &host, &credentials)) {
        log(QStringLiteral("malformed connect request ignored"));
        return;
    }
    if (m_state != Idle)
        log(QStringLiteral("connect request while %1: starting over")
                    .arg(QLatin1String(QMetaEnum::fromType<State>().valueToKey(m_state))));
    shutDown();
    m_host = QString::fromUtf8(host);
    m_outcome = outcomeFor(m_host, credentials);
    log(QStringLiteral("connect host=%1 outcome=%2")
                .arg(m_host, m_outcome == Success    ? QStringLiteral("success")
                             : m_outcome == Rejected ? QStringLiteral("login-failed")
                                                     : QStringLiteral("timeout")));
    sendState(Connecting);
    enterState(Dialling, m_options.connectDelay);
}

QTavrinSimTunnel::Outcome QTavrinSimTunnel::outcomeFor(const QString &host,
                                                       const QByteArray &credentials) const
{
    // The host is reached before the login is tried, so an unknown host never reports a
    // failed login.
    if (!m_knownHosts.contains(host) && host != tavrinAutoHostname())
        return Unreachable;
    QString username, password;
    return decodeUserPass(QString::fromLatin1(credentials), username, password)
                           && username == QLatin1String(simDemoUser)
                           && password == QLatin1String(simDemoPassword)
                   ? Success
                   : Rejected;
}

void QTavrinSimTunnel::handleAbortRequest()
{
    switch (m_state) {
    case Idle:
        // Nothing to take down; still tell the client where things stand.
        sendState(Disconnected);
        break;
    case TearingDown:
        log(QStringLiteral("abort while disconnecting ignored"));
        break;
    default:
        m_stepTimer.stop();
        m_bandwidthTimer.stop();
        takeDown();
        sendState(Disconnecting);
        enterState(TearingDown, m_options.disconnectDelay);
        break;
    }
}

void QTavrinSimTunnel::handleCredentialsRequest()
{
    // The service holds no credentials of its own: the request is not answered.
    log(QStringLiteral("no stored credentials: credentials request not answered"));
}

void QTavrinSimTunnel::enterState(State state, int nextStepDelay)
{
    m_state = state;
    if (nextStepDelay >= 0)
        m_stepTimer.start(nextStepDelay);
}

void QTavrinSimTunnel::stepTimer_timeout()
{
    switch (m_state) {
    case Dialling:
        if (m_outcome == Unreachable) {
            sendState(Timeout);
            enterState(WaitingToRetry, m_options.retryDelay);
        } else if (m_outcome == Rejected) {
            emit frameReady(buildFrame(LoginFailed));
            enterState(LoginRejected);
        } else {
            bringUp();
        }
        break;
    case WaitingToRetry:
        sendState(Connecting);
        enterState(Dialling, m_options.connectDelay);
        break;
    case TearingDown:
        sendState(Disconnected);
        enterState(Idle);
        break;
    default:
        break;
    }
}

void QTavrinSimTunnel::bringUp()
{
    const quint32 startTime = quint32(QDateTime::currentSecsSinceEpoch());
    const QString exitAddress = QTavrinSimSharedState::exitAddress(m_knownHosts.indexOf(m_host));
    m_sharedState->tunnelUp(exitAddress);
    m_up = true;
    log(QStringLiteral("state=Connected address=%1 start=%2 exit=%3")
                .arg(QString::fromLatin1(m_address))
                .arg(startTime)
                .arg(exitAddress));
    emit frameReady(buildConnectedFrame(m_address, startTime));
    enterState(Up);
    m_bandwidthTimer.start();
}

void QTavrinSimTunnel::takeDown()
{
    if (!m_up)
        return;
    m_up = false;
    m_sharedState->tunnelDown();
}

void QTavrinSimTunnel::bandwidthTimer_timeout()
{
    quint32 download = 0;
    quint32 upload = 0;
    nextTraffic(&m_random, &m_phase, m_options.bandwidthInterval, &download, &upload);
    m_download += download;
    m_upload += upload;
    log(QStringLiteral("bandwidth download=%1 upload=%2").arg(m_download).arg(m_upload));
    emit frameReady(buildBandwidthFrame(1, m_download, m_upload));
}

void QTavrinSimTunnel::sendState(quint8 state)
{
    log(QStringLiteral("state=%1").arg(QLatin1String(stateName(state))));
    emit frameReady(buildStatusFrame(state));
}

void QTavrinSimTunnel::log(const QString &text) const
{
    simLog("TUNNEL", QStringLiteral("session=%1 ").arg(m_session) + text);
}
