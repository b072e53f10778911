#ifndef QTAVRINSERVICECONNECTION_H
#define QTAVRINSERVICECONNECTION_H

#include "service/tavrinframe.h"

#include <QtCore/qobject.h>
#include <QtNetwork/qlocalsocket.h>

// The link to the local VPN service over the local socket "Tavrin". The public slots send the
// requests; the frames the service sends come back as signals, in the order of the frames.
// When the service closes the link unexpectedly the program tells the user and ends with
// exit code 4.
class QTavrinServiceConnection : public QObject
{
    Q_OBJECT

public:
    explicit QTavrinServiceConnection(QObject *parent = nullptr);
    ~QTavrinServiceConnection();

    // Connects to the service, waiting at most 100 ms; returns whether the link is open. On
    // Unix the service must run as root or as the current user.
    bool connectToService();
    // How long connectToService() goes on looking for a service that is not there yet: 0, the
    // default, gives it one attempt. A start at log-on may come before the system has started
    // the service.
    static void setStartPatience(int milliseconds);
    void disconnectFromService();
    // Whether the link to the service is up: requests can be sent.
    bool isConnected() const;
    // The longest the frames of one arrival are handled before the event loop runs again, 5 ms
    // by default; at least one frame is handled each turn.
    void setReadTurn(int milliseconds) { readTurn = milliseconds; }

signals:
    void disconnected();
    void status();
    void serverList();
    void credentials(QByteArray credentials);
    void notifyStatusChange(char status);
    void assignedIP(QByteArray ip);
    void startTime(uint startTime);
    void caFile(QByteArray fileContent);
    void updateBandwidth(uchar type, uint download, uint upload);
    void error(QString description);
    void loginFailed();
    // The service closed the link without being asked to; the program cannot go on without it.
    void connectionLost();

public slots:
    // Each returns whether the request was written. A request is refused, with error() and
    // nothing written, while the link is not up or when the frame format cannot express it
    // (a host name or a credential part over 255 bytes).
    bool sendStatusRequest();
    bool sendConnectToVPNRequest(QString host, QString username, QString password);
    bool sendAbortRequest();
    bool sendServerListRequest();
    bool sendCredentialsRequest();
    bool sendUpdateCAFileRequest();

private slots:
    void socket_readyRead();
    void socket_disconnected();

private:
    bool sendRequest(const char *method, const QByteArray &frame, bool closesLink = false);
    bool takeFrame(QByteArray *frame);
    void dispatchFrame(const char *frame, int size);
    bool checkPeer();
    bool isLinkOpen() const;

    QLocalSocket socket;
    QTavrinFrameSplitter readBuffer;
    quint32 lastDownload = 0;
    quint32 lastUpload = 0;
    quint8 lastBandwidthType = 0xFF;
    int readTurn = 5;
    bool quietClose = false;
    bool readScheduled = false;
};

#endif // QTAVRINSERVICECONNECTION_H
