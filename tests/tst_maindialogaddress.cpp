// The main window's public address lookup against a loopback web API: the address shown, the
// retries one second apart, "Unknown." after the fourth failure, and what counts as a failure.

#include "tavrindeployment.h"
#include "tavrinfakedesktop.h"
#include "tavrinframe.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdatetime.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qlabel.h>
#include <QtWidgets/qpushbutton.h>

using Reply = TavrinFakeWebApi::Reply;
Q_DECLARE_METATYPE(Reply)

class tst_MainDialogAddress : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void shownAfterDisconnected_data();
    void shownAfterDisconnected();
    void retriedFourTimesThenUnknown_data();
    void retriedFourTimesThenUnknown();
    void shownAfterConnected();

private:
    static QLabel *valueLabel(TavrinFakeDesktop &desktop)
    {
        return desktop.widget<QLabel>("ipaddress_value_label");
    }
};

void tst_MainDialogAddress::init()
{
    TavrinFakeDesktop::resetSettings();
}

// Each row lets the web API fail a number of times before it answers with 10.1.2.3.
void tst_MainDialogAddress::shownAfterDisconnected_data()
{
    QTest::addColumn<QList<Reply>>("failures");
    QTest::newRow("first attempt") << QList<Reply>();
    QTest::newRow("after an HTTP error and a number")
            << QList<Reply>({{500, R"({"ip": "10.9.9.9"})"}, {200, R"({"ip": 10})"}});
    QTest::newRow("after three failures") << QList<Reply>(
            {{200, "not json"}, {200, R"({"address": "10.9.9.9"})"}, {200, R"({"ip": ""})"}});
}

void tst_MainDialogAddress::shownAfterDisconnected()
{
    QFETCH(QList<Reply>, failures);

    TavrinFakeDesktop desktop;
    desktop.webApi.setAddressReply({200, R"({"ip": "10.1.2.3", "country": "nowhere"})"});
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    desktop.webApi.scriptAddressReplies(failures);

    // The window looks the address up for a Disconnected that it shows.
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(desktop.widget<QLabel>("ipaddress_label")->text(),
             QStringLiteral("PUBLIC IP ADDRESS"));
    QTRY_COMPARE_WITH_TIMEOUT(valueLabel(desktop)->text(), QStringLiteral("10.1.2.3"), 30000);
    QCOMPARE(desktop.webApi.addressRequests(), failures.size() + 1);
    for (const QByteArray &key : desktop.webApi.addressKeys())
        QCOMPARE(key, QByteArray(tavrinApiKey));
}

void tst_MainDialogAddress::retriedFourTimesThenUnknown_data()
{
    QTest::addColumn<Reply>("failure");
    QTest::newRow("HTTP 500") << Reply{500, R"({"ip": "10.1.2.3"})"};
    QTest::newRow("ip is a number") << Reply{200, R"({"ip": 10123})"};
}

void tst_MainDialogAddress::retriedFourTimesThenUnknown()
{
    QFETCH(Reply, failure);

    TavrinFakeDesktop desktop;
    desktop.webApi.setAddressReply(failure);
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());

    // The settings button re-runs the Disconnected display, which starts a lookup.
    QTest::mouseClick(desktop.widget<QPushButton>("settings_button"), Qt::LeftButton);
    QCOMPARE(valueLabel(desktop)->text(), QStringLiteral("Detecting..."));

    QTRY_COMPARE_WITH_TIMEOUT(valueLabel(desktop)->text(), QStringLiteral("Unknown."), 40000);
    QCOMPARE(desktop.webApi.addressRequests(), 4);

    // No fifth request follows on its own; a new Disconnected starts a new round.
    desktop.webApi.setAddressReply({200, R"({"ip": "10.4.5.6"})"});
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QTRY_COMPARE_WITH_TIMEOUT(valueLabel(desktop)->text(), QStringLiteral("10.4.5.6"), 30000);
    QCOMPARE(desktop.webApi.addressRequests(), 5);
}

void tst_MainDialogAddress::shownAfterConnected()
{
    TavrinFakeDesktop desktop;
    desktop.webApi.setAddressReply({200, R"({"ip": "203.0.113.7"})"});
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());

    const quint32 start = quint32(QDateTime::currentSecsSinceEpoch());
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", start)));
    QCOMPARE(desktop.widget<QLabel>("ipaddress_label")->text(),
             QStringLiteral("Tavrin IP ADDRESS"));
    QTRY_COMPARE_WITH_TIMEOUT(valueLabel(desktop)->text(), QStringLiteral("203.0.113.7"), 30000);
    QCOMPARE(desktop.webApi.addressRequests(), 1);
}

TAVRIN_TEST_MAIN(tst_MainDialogAddress)
#include "tst_maindialogaddress.moc"
