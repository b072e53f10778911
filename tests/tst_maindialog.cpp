#include "service/tavrinframe.h"
#include "tavrintestdesktop.h"
#include "tavrintestenvironment.h"

#include <QtTest/qtest.h>
#include <QtWidgets/qlabel.h>

class tst_MainDialog : public QObject
{
    Q_OBJECT

private slots:
    void smoke();
};

void tst_MainDialog::smoke()
{
    TavrinTestDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", 1)));
    QCOMPARE(desktop.widget<QLabel>("connecton_label")->text(), QStringLiteral("CONNECTED"));
    QVERIFY(desktop.waitForReceived(1));
    QCOMPARE(desktop.receivedTypes(), QList<int>{CredentialsRequest});
}

TAVRIN_TEST_MAIN(tst_MainDialog)
#include "tst_maindialog.moc"
