#ifndef QTAVRINSIM_H
#define QTAVRINSIM_H

#include "sim/qtavrinsimoptions.h"

#include <QtCore/qobject.h>
#include <QtCore/qscopedpointer.h>

class QTavrinSimService;
class QTavrinSimSession;
class QTavrinSimSharedState;
class QTavrinSimWebApi;

// Both sides of the stand-in: the local socket service and the web API on 127.0.0.1, sharing
// whether a tunnel is up. tavrin-sim runs one; tests run one in-process.
class QTavrinSim : public QObject
{
    Q_OBJECT

public:
    explicit QTavrinSim(const QTavrinSimOptions &options, QObject *parent = nullptr);
    ~QTavrinSim() override;

    // Loads the server list, binds the web API's port and listens on the local socket, then
    // starts answering. Returns false with the reason in *errorText when a step fails.
    bool start(QString *errorText);
    void stop();

    int port() const;
    // "http://127.0.0.1:<port>" (https with a certificate), the value for TAVRIN_API_HOST.
    QString apiHost() const;
    QString socketPath() const;
    QStringList knownHosts() const { return m_hosts; }
    // The newest client's session, or null when no client is connected.
    QTavrinSimSession *session() const;

private:
    QTavrinSimOptions m_options;
    QStringList m_hosts;
    QScopedPointer<QTavrinSimSharedState> m_state;
    QScopedPointer<QTavrinSimWebApi> m_webApi;
    QTavrinSimService *m_service = nullptr;
};

#endif // QTAVRINSIM_H
