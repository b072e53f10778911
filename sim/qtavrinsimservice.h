#ifndef QTAVRINSIMSERVICE_H
#define QTAVRINSIMSERVICE_H

#include "sim/qtavrinsimoptions.h"

#include <QtCore/qobject.h>
#include <QtCore/qstringlist.h>

class QLocalServer;
class QTavrinSimSharedState;

// The local socket side of the stand-in service. Every client that connects gets a session of
// its own, with its own tunnel; the web API reports the machine as connected while any of them
// has a tunnel up. A client that goes away takes its tunnel down with it.
class QTavrinSimService : public QObject
{
    Q_OBJECT

public:
    QTavrinSimService(const QTavrinSimOptions &options, const QStringList &knownHosts,
                      QTavrinSimSharedState *sharedState, QObject *parent = nullptr);
    ~QTavrinSimService() override;

    // Listens on the name, which only the current user may connect to. A socket file left
    // behind by a service that is gone is removed first; a service that still answers on the
    // name is left alone and listen() fails with the reason in *errorText.
    bool listen(const QString &name, QString *errorText);
    // Stops listening, drops every client and removes the socket file.
    void close();

    QString fullServerName() const;
    int sessionCount() const;

private slots:
    void server_newConnection();

private:
    QTavrinSimOptions m_options;
    QStringList m_knownHosts;
    QTavrinSimSharedState *m_sharedState;
    QLocalServer *m_server;
    int m_sessionsStarted = 0;
};

#endif // QTAVRINSIMSERVICE_H
