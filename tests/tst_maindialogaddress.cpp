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
    void init() { TavrinFakeDesktop::resetSettings(); }
    void shown_data();
    void shown();
    void retriedFourTimesThenUnknown_data();
    void retriedFourTimesThenUnknown();
};

// Each row lets the web API fail a number of times before it answers with 10.1.2.3.
void tst_MainDialogAddress::shown_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QList<Reply>>("failures");
    QTest::newRow("Connected") << true << QList<Reply>();
    QTest::newRow("Disconnected, first attempt") << false << QList<Reply>();
    QTest::newRow("after an HTTP error and a number")
            << false << QList<Reply>({{500, R"({"ip": "10.9.9.9"})"}, {200, R"({"ip": 10})"}});
    QTest::newRow("after three failures") << false
                                          << QList<Reply>({{200, "not json"},
                                                           {200, R"({"address": "10.9.9.9"})"},
                                                           {200, R"({"ip": ""})"}});
}

void tst_MainDialogAddress::shown()
{
    QFETCH(bool, connected);
    QFETCH(QList<Reply>, failures);

    TavrinFakeDesktop desktop;
    desktop.webApi.setAddressReply({200, R"({"ip": "10.1.2.3", "country": "nowhere"})"});
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    desktop.webApi.scriptAddressReplies(failures);

    // The window looks the address up for a Connected or Disconnected that it shows.
    QVERIFY(desktop.deliver(connected ? buildConnectedFrame("10.8.0.2", 1)
                                      : buildStatusFrame(Disconnected)));
    QCOMPARE(desktop.widget<QLabel>("ipaddress_label")->text(),
             connected ? QStringLiteral("Tavrin IP ADDRESS") : QStringLiteral("PUBLIC IP ADDRESS"));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.widget<QLabel>("ipaddress_value_label")->text(),
                              QStringLiteral("10.1.2.3"), 30000);
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
    auto *value = desktop.widget<QLabel>("ipaddress_value_label");

    // The settings button re-runs the Disconnected display, which starts a lookup.
    QTest::mouseClick(desktop.widget<QPushButton>("settings_button"), Qt::LeftButton);
    QCOMPARE(value->text(), QStringLiteral("Detecting..."));
    QTRY_COMPARE_WITH_TIMEOUT(value->text(), QStringLiteral("Unknown."), 40000);
    QCOMPARE(desktop.webApi.addressRequests(), 4);

    // No fifth request follows on its own; a new Disconnected starts a new round.
    desktop.webApi.setAddressReply({200, R"({"ip": "10.4.5.6"})"});
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QTRY_COMPARE_WITH_TIMEOUT(value->text(), QStringLiteral("10.4.5.6"), 30000);
    QCOMPARE(desktop.webApi.addressRequests(), 5);
}

TAVRIN_TEST_MAIN(tst_MainDialogAddress)
#include "tst_maindialogaddress.moc"
