#ifndef QTAVRINSIMWEBAPI_H
#define QTAVRINSIMWEBAPI_H

#include "sim/qtavrinsimoptions.h"

#include <QtCore/qbytearray.h>
#include <QtCore/qobject.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

class QTavrinSimSharedState;

// The stand-in web API: HTTP on 127.0.0.1 (HTTPS when the options name a certificate and its
// key), answering
//   GET /get_list/<key>  the server list (JSON object)
//   GET /get_ip/<key>    {"ip": "<public address>"}, which follows the tunnel state
// A wrong key gets 403, any other path 404. The server runs on a thread of its own; bind()
// and start() are called from the thread that owns the object.
class QTavrinSimWebApi : public QObject
{
    Q_OBJECT

public:
    QTavrinSimWebApi(const QTavrinSimOptions &options, const QByteArray &serverList,
                     QTavrinSimSharedState *state, QObject *parent = nullptr);
    ~QTavrinSimWebApi() override;

    // Binds 127.0.0.1 on the port, or on a free one for port 0. Returns false with the reason
    // in *errorText when the certificate cannot be loaded or the port cannot be bound.
    bool bind(int port, QString *errorText);
    int port() const { return m_port; }

    // Starts answering on a thread of its own.
    void start();
    // Stops answering, ends any answer that never ends and waits for the thread.
    void stop();

private:
    void answerList(const httplib::Request &request, httplib::Response &response);
    void answerIp(const httplib::Request &request, httplib::Response &response);
    bool checkKey(const httplib::Request &request, httplib::Response &response) const;
    void sendForever(httplib::Response &response, bool trickle);

    QTavrinSimOptions m_options;
    QByteArray m_serverList;
    QTavrinSimSharedState *m_state;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = -1;
    std::atomic<int> m_ipRequests{0};
    std::mutex m_delayMutex;
    std::condition_variable m_delayWake;
    bool m_stopping = false;
};

#endif // QTAVRINSIMWEBAPI_H
