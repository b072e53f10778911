#ifndef TAVRINFAKEWEBAPI_H
#define TAVRINFAKEWEBAPI_H

#include <QtCore/qbytearray.h>
#include <QtCore/qlist.h>
#include <QtCore/qstring.h>

#include <memory>

// A stand-in for the web API inside a test: an HTTP server on 127.0.0.1 (port chosen by the
// system) on a thread of its own, answering /get_list/<key> and /get_ip/<key>. Answers can be
// scripted; requests are counted. Set TAVRIN_API_HOST to hostAndPort() to point the client at it.
class TavrinFakeWebApi
{
public:
    struct Reply
    {
        int status;
        QByteArray body;
    };

    TavrinFakeWebApi();
    ~TavrinFakeWebApi();

    bool start();
    void stop();
    QString hostAndPort() const;

    // The body of every server list answer.
    void setServerList(const QByteArray &json);
    // The answer to the address requests that find no scripted reply left.
    void setAddressReply(const Reply &reply);
    // Answers for the next address requests, one each, before the default is used again.
    void scriptAddressReplies(const QList<Reply> &replies);

    int listRequests() const;
    int addressRequests() const;
    // The last path segment of every request, in order of arrival ("get_ip" and "get_list").
    QList<QByteArray> addressKeys() const;
    QList<QByteArray> listKeys() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

#endif // TAVRINFAKEWEBAPI_H
