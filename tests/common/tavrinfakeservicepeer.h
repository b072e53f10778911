#ifndef TAVRINFAKESERVICEPEER_H
#define TAVRINFAKESERVICEPEER_H

#include "tavrinframe.h"

#include <QtCore/qlist.h>
#include <QtCore/qobject.h>
#include <QtCore/qpointer.h>
#include <QtNetwork/qlocalserver.h>
#include <QtNetwork/qlocalsocket.h>

// A stand-in for the local VPN service inside a test: listens on the local socket "Tavrin" (in
// the test's own temporary folder), records every frame the client sends and sends frames back
// to the client that connected last.
class TavrinFakeServicePeer : public QObject
{
    Q_OBJECT

public:
    explicit TavrinFakeServicePeer(QObject *parent = nullptr);
    ~TavrinFakeServicePeer() override;

    bool listen();
    void close();

    bool hasClient() const;
    int clientCount() const { return m_clientCount; }
    void disconnectClient();

    void send(const QByteArray &bytes);
    void sendBandwidth(quint8 type, quint32 download, quint32 upload);

    QList<QByteArray> frames() const { return m_frames; }
    QList<int> frameTypes() const;
    void clearFrames() { m_frames.clear(); }

private:
    void acceptClient();
    void readClient();

    QLocalServer m_server;
    QPointer<QLocalSocket> m_client;
    QTavrinFrameSplitter m_splitter;
    QList<QByteArray> m_frames;
    int m_clientCount = 0;
};

#endif // TAVRINFAKESERVICEPEER_H
