#include "tavrinfakewebapi.h"

#include <httplib.h>

#include <mutex>
#include <thread>

struct TavrinFakeWebApi::Private
{
    httplib::Server server;
    std::thread thread;
    int port = -1;

    mutable std::mutex mutex;
    QByteArray serverList = "{}";
    Reply addressReply{200, R"({"ip": "192.0.2.1"})"};
    QList<Reply> scriptedReplies;
    QList<QByteArray> addressKeys;
    QList<QByteArray> listKeys;
};

static void answer(httplib::Response &response, const TavrinFakeWebApi::Reply &reply)
{
    response.status = reply.status;
    response.set_content(reply.body.constData(), size_t(reply.body.size()), "application/json");
}

TavrinFakeWebApi::TavrinFakeWebApi()
    : d(new Private)
{
    d->server.Get(R"(/get_list/([^/]*))",
                  [this](const httplib::Request &request, httplib::Response &response) {
                      std::lock_guard<std::mutex> lock(d->mutex);
                      d->listKeys.append(QByteArray::fromStdString(request.matches[1].str()));
                      answer(response, Reply{200, d->serverList});
                  });
    d->server.Get(R"(/get_ip/([^/]*))", [this](const httplib::Request &request,
                                               httplib::Response &response) {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->addressKeys.append(QByteArray::fromStdString(request.matches[1].str()));
        answer(response,
               d->scriptedReplies.isEmpty() ? d->addressReply : d->scriptedReplies.takeFirst());
    });
}

TavrinFakeWebApi::~TavrinFakeWebApi()
{
    stop();
}

bool TavrinFakeWebApi::start()
{
    if (d->port > 0)
        return true;
    d->port = d->server.bind_to_any_port("127.0.0.1");
    if (d->port <= 0)
        return false;
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    // stop() only reaches a server whose accept loop runs, so wait for it to start.
    while (!d->server.is_running())
        std::this_thread::yield();
    return true;
}

void TavrinFakeWebApi::stop()
{
    if (!d->thread.joinable())
        return;
    d->server.stop();
    d->thread.join();
}

QString TavrinFakeWebApi::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(d->port);
}

void TavrinFakeWebApi::setServerList(const QByteArray &json)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->serverList = json;
}

void TavrinFakeWebApi::setAddressReply(const Reply &reply)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->addressReply = reply;
}

void TavrinFakeWebApi::scriptAddressReplies(const QList<Reply> &replies)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->scriptedReplies = replies;
}

int TavrinFakeWebApi::listRequests() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->listKeys.size();
}

int TavrinFakeWebApi::addressRequests() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->addressKeys.size();
}

QList<QByteArray> TavrinFakeWebApi::addressKeys() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->addressKeys;
}

QList<QByteArray> TavrinFakeWebApi::listKeys() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->listKeys;
}
