#include "sim/qtavrinsimwebapi.h"

#include "base/tavrindeployment.h"
#include "sim/qtavrinsimsharedstate.h"
#include "sim/tavrinsimlog.h"

#include <QtCore/qfile.h>
#include <QtCore/qjsondocument.h>
#include <QtCore/qjsonobject.h>

#include <httplib.h>

#include <chrono>

static const char jsonType[] = "application/json";

static void setBody(httplib::Response &response, int status, const QByteArray &body)
{
    response.status = status;
    response.set_content(body.constData(), size_t(body.size()), jsonType);
}

QTavrinSimWebApi::QTavrinSimWebApi(const QTavrinSimOptions &options, const QByteArray &serverList,
                                   QTavrinSimSharedState *state, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_serverList(serverList)
    , m_state(state)
{
    if (m_options.tlsCertificate.isEmpty()) {
        m_server = std::make_unique<httplib::Server>();
    } else {
        m_server = std::make_unique<httplib::SSLServer>(
                QFile::encodeName(m_options.tlsCertificate).constData(),
                QFile::encodeName(m_options.tlsKey).constData());
    }
    m_server->Get(R"(/get_list/([^/]*))",
                  [this](const httplib::Request &request, httplib::Response &response) {
                      answerList(request, response);
                  });
    m_server->Get(R"(/get_ip/([^/]*))",
                  [this](const httplib::Request &request, httplib::Response &response) {
                      answerIp(request, response);
                  });
    // One request per connection: the client clears its connection cache before every request
    // anyway, and an idle kept-alive connection would hold up the end of the program.
    m_server->set_keep_alive_max_count(1);
    m_server->set_logger([](const httplib::Request &request, const httplib::Response &response) {
        simLog("HTTP", QStringLiteral("%1 %2 %3")
                               .arg(QString::fromStdString(request.method),
                                    QString::fromStdString(request.path))
                               .arg(response.status));
    });
}

QTavrinSimWebApi::~QTavrinSimWebApi()
{
    stop();
}

bool QTavrinSimWebApi::bind(int port, QString *errorText)
{
    if (!m_server->is_valid()) {
        *errorText = QStringLiteral("cannot use the certificate %1 with the key %2")
                             .arg(m_options.tlsCertificate, m_options.tlsKey);
        return false;
    }
    if (port == 0) {
        m_port = m_server->bind_to_any_port("127.0.0.1");
    } else if (m_server->bind_to_port("127.0.0.1", port)) {
        m_port = port;
    }
    if (m_port <= 0) {
        *errorText = QStringLiteral("cannot listen on 127.0.0.1 port %1").arg(port);
        return false;
    }
    return true;
}

void QTavrinSimWebApi::start()
{
    if (m_thread.joinable() || m_port <= 0)
        return;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() only reaches a server that has begun to listen; wait for that moment, so that an
    // early request to end cannot leave the thread running for ever.
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void QTavrinSimWebApi::stop()
{
    {
        std::lock_guard<std::mutex> locker(m_delayMutex);
        m_stopping = true;
    }
    m_delayWake.notify_all();
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

bool QTavrinSimWebApi::checkKey(const httplib::Request &request, httplib::Response &response) const
{
    if (request.matches.size() > 1 && request.matches[1].str() == tavrinApiKey)
        return true;
    setBody(response, 403, QByteArrayLiteral(R"({"error":"forbidden"})"));
    return false;
}

// A JSON answer that never ends: as fast as the client reads it, or a byte every tenth of a
// second. It stops when the client goes or the web API stops.
void QTavrinSimWebApi::sendForever(httplib::Response &response, bool trickle)
{
    response.status = 200;
    response.set_chunked_content_provider(jsonType, [this, trickle](size_t offset,
                                                                    httplib::DataSink &sink) {
        const std::string chunk = offset == 0 ? std::string(R"({"ip":")")
                                              : std::string(trickle ? 1 : 65536, '1');
        if (trickle) {
            std::unique_lock<std::mutex> locker(m_delayMutex);
            if (m_delayWake.wait_for(locker, std::chrono::milliseconds(100),
                                     [this] { return m_stopping; }))
                return false;
        } else {
            std::lock_guard<std::mutex> locker(m_delayMutex);
            if (m_stopping)
                return false;
        }
        return sink.write(chunk.data(), chunk.size());
    });
}

void QTavrinSimWebApi::answerList(const httplib::Request &request, httplib::Response &response)
{
    if (!checkKey(request, response))
        return;
    switch (m_options.listBody) {
    case QTavrinSimListBody::Normal:
        setBody(response, 200, m_serverList);
        break;
    case QTavrinSimListBody::Broken:
        setBody(response, 200, m_serverList.left(m_serverList.size() / 2));
        break;
    case QTavrinSimListBody::Endless:
    case QTavrinSimListBody::Trickle:
        sendForever(response, m_options.listBody == QTavrinSimListBody::Trickle);
        break;
    }
}

void QTavrinSimWebApi::answerIp(const httplib::Request &request, httplib::Response &response)
{
    if (!checkKey(request, response))
        return;
    if (++m_ipRequests <= m_options.ipFailures) {
        setBody(response, 500, QByteArrayLiteral(R"({"error":"internal server error"})"));
        return;
    }
    const QString address = m_state->publicAddress();
    switch (m_options.ipBody) {
    case QTavrinSimIpBody::Normal:
        setBody(response, 200,
                QJsonDocument(QJsonObject{{QStringLiteral("ip"), address}})
                        .toJson(QJsonDocument::Compact));
        break;
    case QTavrinSimIpBody::Broken:
        setBody(response, 200, QStringLiteral("{\"ip\": \"%1\"").arg(address).toUtf8());
        break;
    case QTavrinSimIpBody::Number:
        setBody(response, 200, QByteArrayLiteral(R"({"ip":3405803786})"));
        break;
    case QTavrinSimIpBody::Endless:
    case QTavrinSimIpBody::Trickle:
        sendForever(response, m_options.ipBody == QTavrinSimIpBody::Trickle);
        break;
    case QTavrinSimIpBody::Long:
        setBody(response, 200, "{\"ip\":\"" + QByteArray(1000000, '1') + "\"}");
        break;
    }
}
