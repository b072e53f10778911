// The public address lookup against a loopback web API: the address shown, the retries, "Unknown."
// after the fourth failure, what counts as a failure, and the window starting a lookup for the
// states it shows. Retry intervals are shortened; no test waits out the real second.

#include "qpublicaddresslookup.h"
#include "tavrindeployment.h"
#include "tavrinfakedesktop.h"
#include "tavrinframe.h"
#include "tavrintestenvironment.h"

#include <QtNetwork/qnetworkaccessmanager.h>
#include <QtNetwork/qtcpserver.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qlabel.h>

using Reply = TavrinFakeWebApi::Reply;
Q_DECLARE_METATYPE(Reply)

namespace {

// A lookup as the window wires it: its requests go out when due, and answers come back to it.
struct Lookup
{
    Lookup()
    {
        lookup.setRetryInterval(1);
        QObject::connect(&lookup, &QPublicAddressLookup::requestDue, &lookup,
                         &QPublicAddressLookup::sendRequest);
        QObject::connect(&manager, &QNetworkAccessManager::finished, &lookup,
                         &QPublicAddressLookup::handleReply);
    }
    QString waitForEnd()
    {
        texts.clear();
        lookup.restart();
        QTest::qWaitFor([this] { return !texts.isEmpty() && texts.last() != "Detecting..."; },
                        20000);
        return texts.join('|');
    }

    QNetworkAccessManager manager;
    QPublicAddressLookup lookup{&manager};
    QStringList texts;
    QMetaObject::Connection recorder = QObject::connect(&lookup, &QPublicAddressLookup::textChanged,
                                                        [this](const QString &t) { texts << t; });
};

} // namespace

class tst_MainDialogAddress : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answers_data();
    void answers();
    void silentWebApiTimesOut();
    void windowLooksUpForShownStates();

private:
    TavrinFakeWebApi m_api;
};

void tst_MainDialogAddress::initTestCase()
{
    QVERIFY(m_api.start());
    qputenv("TAVRIN_API_HOST", m_api.hostAndPort().toLatin1());
}

void tst_MainDialogAddress::answers_data()
{
    QTest::addColumn<QList<Reply>>("replies"); // then 10.1.2.3 for good
    QTest::addColumn<QString>("texts");
    const QString detecting = QStringLiteral("Detecting...|");
    QTest::newRow("first attempt") << QList<Reply>() << detecting + "10.1.2.3";
    QTest::newRow("after an HTTP error and a number")
            << QList<Reply>({{500, R"({"ip": "10.9.9.9"})"}, {200, R"({"ip": 10})"}})
            << detecting.repeated(3) + "10.1.2.3";
    QTest::newRow("after three failures") << QList<Reply>(
            {{200, "not json"}, {200, R"({"address": "1"})"}, {200, R"({"ip": ""})"}})
                                          << detecting.repeated(4) + "10.1.2.3";
    QTest::newRow("four failures")
            << QVector<Reply>(4, Reply{500, ""}).toList() << detecting.repeated(4) + "Unknown.";
}

void tst_MainDialogAddress::answers()
{
    QFETCH(QList<Reply>, replies);
    QFETCH(QString, texts);
    m_api.setAddressReply({200, R"({"ip": "10.1.2.3", "country": "nowhere"})"});
    m_api.scriptAddressReplies(replies);
    const int before = m_api.addressRequests();
    Lookup lookup;
    QCOMPARE(lookup.waitForEnd(), texts);
    const int requests = m_api.addressRequests() - before;
    QCOMPARE(requests, qMin(replies.size() + 1, 4));
    QCOMPARE(m_api.addressKeys().last(), QByteArray(tavrinApiKey));
    // No further request follows on its own; a restart begins a new round of four.
    QTest::qWait(20);
    QCOMPARE(m_api.addressRequests() - before, requests);
    QCOMPARE(lookup.waitForEnd(), "Detecting...|10.1.2.3");
}

void tst_MainDialogAddress::silentWebApiTimesOut()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    qputenv("TAVRIN_API_HOST", "127.0.0.1:" + QByteArray::number(silent.serverPort()));
    Lookup lookup;
    lookup.lookup.setTimeout(20);
    QCOMPARE(lookup.waitForEnd(), QStringLiteral("Detecting...|").repeated(4) + "Unknown.");
    qputenv("TAVRIN_API_HOST", m_api.hostAndPort().toLatin1());
}

// The window looks the address up after every Connected and every Disconnected it shows.
void tst_MainDialogAddress::windowLooksUpForShownStates()
{
    TavrinFakeDesktop desktop;
    m_api.setAddressReply({200, R"({"ip": "10.1.2.3"})"});
    desktop.webApi.setAddressReply({200, R"({"ip": "10.1.2.3"})"});
    QVERIFY(desktop.start() && desktop.openWindow());
    desktop.window()->findChild<QPublicAddressLookup *>()->setRetryInterval(1);
    auto *value = desktop.widget<QLabel>("ipaddress_value_label");
    for (const QByteArray &frame :
         {buildConnectedFrame("10.8.0.2", 1), buildStatusFrame(Disconnected)}) {
        const int before = desktop.webApi.addressRequests();
        QVERIFY(desktop.deliver(frame));
        QCOMPARE(value->text(), QStringLiteral("Detecting..."));
        QTRY_COMPARE(value->text(), QStringLiteral("10.1.2.3"));
        QCOMPARE(desktop.webApi.addressRequests(), before + 1);
    }
}

TAVRIN_TEST_MAIN(tst_MainDialogAddress)
#include "tst_maindialogaddress.moc"
