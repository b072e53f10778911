// The main window driven as a person drives it: mouse and keys go to the window through the
// window system's event path (QTest on the window handle), so that Qt's popup, focus and
// default-button handling run as they do on a desktop.

#include "qvpnclientsettings.h"
#include "qvpnservercombobox.h"
#include "tavrindeployment.h"
#include "tavrinfakedesktop.h"
#include "tavrinframe.h"
#include "tavrintestenvironment.h"

#include <QtCore/qfile.h>
#include <QtGui/qscreen.h>
#include <QtGui/qwindow.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qabstractitemview.h>
#include <QtWidgets/qlineedit.h>
#include <QtWidgets/qpushbutton.h>
#include <QtWidgets/qstackedwidget.h>

namespace {

const int Patience = 20000;

QByteArray hostOf(const QByteArray &frame)
{
    QByteArray host;
    return parseConnectRequest(frame, &host, nullptr) ? host : QByteArray("no connect request");
}

// A press and release at a point of a widget, sent to the window the widget is on.
void click(QWidget *widget, QPoint pos = QPoint(-1, -1))
{
    if (pos == QPoint(-1, -1))
        pos = widget->rect().center();
    QWidget *window = widget->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, widget->mapTo(window, pos));
}

void key(QWidget *window, Qt::Key key)
{
    QTest::keyClick(window->windowHandle(), key);
}

// The chooser's popup, once it is open.
QWidget *popupOf(QVPNServerComboBox *chooser)
{
    return chooser->view()->isVisible() ? chooser->view()->window() : nullptr;
}

QPoint rowCentre(QVPNServerComboBox *chooser, int row)
{
    const QModelIndex index = chooser->model()->index(row, 0);
    return chooser->view()->visualRect(index).center();
}

} // namespace

class tst_MainDialogInput : public QObject
{
    Q_OBJECT

private slots:
    void init() { TavrinFakeDesktop::resetSettings(); }
    void chooserPicksWithTheMouse();
    void chooserReleaseOnARowPicksIt();
    void rememberedServerStaysOnTheFace();
    void enterInTheFieldsLogsIn();
    void escapeAndCloseHideToTheTray();
    void trayBringsTheWindowBack();
    void changeCountryShowsNamesAsTheyAre();
    void jumpToFastestWithoutAutomaticEntry();
    void refusedRequestIsShown();
    void unreachableServiceBoxIsCentred();
};

// The popup opens on the press on its button and stays open after the release; a click on a
// star toggles the favourite, a click on a row picks it, and the face connects to it.
void tst_MainDialogInput::chooserPicksWithTheMouse()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start() && desktop.openWindow());
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    click(desktop.widget<QPushButton>("settings_button"));
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, Patience);
    QVERIFY(QTest::qWaitForWindowExposed(chooser->window()));

    const QPoint popupButton(chooser->width() - 30, chooser->height() / 2);
    click(chooser, popupButton);
    QTRY_VERIFY(popupOf(chooser));
    QTest::qWait(50);
    QVERIFY2(popupOf(chooser), "the release of the opening click closed the popup");

    QWidget *popup = popupOf(chooser);
    const QPoint star = chooser->view()->viewport()->mapTo(popup, rowCentre(chooser, 2))
                        - QPoint(rowCentre(chooser, 2).x() - 30, 0);
    QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, {}, star);
    QCOMPARE(QVPNClientSettings::getFavoriteServers(), QStringLiteral("Zambia"));
    QVERIFY(popupOf(chooser));

    const QPoint row = chooser->view()->viewport()->mapTo(popup, rowCentre(chooser, 2));
    QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, {}, row);
    QTRY_VERIFY(!popupOf(chooser));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Zambia"));

    // A click outside an open popup closes it and picks nothing.
    click(chooser, popupButton);
    QTRY_VERIFY(popupOf(chooser));
    QTest::mouseClick(popupOf(chooser)->windowHandle(), Qt::LeftButton, {}, QPoint(-40, -40));
    QTRY_VERIFY(!popupOf(chooser));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Zambia"));

    click(chooser, QPoint(20, chooser->height() / 2));
    QTRY_COMPARE_WITH_TIMEOUT(hostOf(desktop.peer.frames().last()), QByteArray("127.0.0.4"),
                              Patience);
    QCOMPARE(QVPNClientSettings::getConnection().name, QStringLiteral("Zambia"));
}

// Holding the button from the face and letting go over a row picks that row.
void tst_MainDialogInput::chooserReleaseOnARowPicksIt()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start() && desktop.openWindow());
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    click(desktop.widget<QPushButton>("settings_button"));
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, Patience);
    QVERIFY(QTest::qWaitForWindowExposed(chooser->window()));

    QWidget *window = desktop.window();
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, {},
                      chooser->mapTo(window, QPoint(chooser->width() - 30, 20)));
    QTRY_VERIFY(popupOf(chooser));
    const QPoint target = chooser->view()->viewport()->mapToGlobal(rowCentre(chooser, 0));
    QTest::mouseMove(popupOf(chooser)->windowHandle(), popupOf(chooser)->mapFromGlobal(target));
    QTest::mouseRelease(popupOf(chooser)->windowHandle(), Qt::LeftButton, {},
                        popupOf(chooser)->mapFromGlobal(target));
    QTRY_VERIFY(!popupOf(chooser));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Albania"));
}

// The server chosen at an earlier run stays on the face when the list arrives, and pressing the
// face connects to it: the face and the tray's Connect go to the same server.
void tst_MainDialogInput::rememberedServerStaysOnTheFace()
{
    QVPNClientSettings::setConnection({"Zambia", "ZM", "127.0.0.4"});
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start() && desktop.openWindow());
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, Patience);
    QCOMPARE(chooser->currentIndex(), 2);
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Zambia"));

    click(desktop.widget<QPushButton>("settings_button"));
    click(chooser, QPoint(20, chooser->height() / 2));
    QTRY_COMPARE_WITH_TIMEOUT(hostOf(desktop.peer.frames().last()), QByteArray("127.0.0.4"),
                              Patience);
    QCOMPARE(QVPNClientSettings::getConnection().name, QStringLiteral("Zambia"));
}

// Enter in either field logs in as the Connect button does; the minimise button, first in the
// dialog, is no default button.
void tst_MainDialogInput::enterInTheFieldsLogsIn()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start() && desktop.openWindow());
    QMainDialog *window = desktop.window();
    QVERIFY(QTest::qWaitForWindowActive(window));
    for (const char *field : {"username_edit", "password_edit"}) {
        desktop.widget<QStackedWidget>("stackedWidget")->setCurrentIndex(0);
        desktop.peer.clearFrames();
        click(desktop.widget<QLineEdit>(field));
        QTest::keyClick(window->windowHandle(), 'a');
        QTest::keyClick(window->windowHandle(), 'b');
        key(window, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(), QList<int>{ConnectToVPNRequest},
                                  Patience);
        QVERIFY(!(window->windowState() & Qt::WindowMinimized));
        QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);
    }
    QCOMPARE(desktop.widget<QLineEdit>("password_edit")->text(), QStringLiteral("ab"));
}

// Escape and a close from the window manager hide the window while the tunnel stays up; only
// Exit ends the program.
void tst_MainDialogInput::escapeAndCloseHideToTheTray()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start() && desktop.openWindow());
    QMainDialog *window = desktop.window();
    QSignalSpy finished(window, &QDialog::finished);
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", 1)));
    desktop.peer.clearFrames();

    QVERIFY(QTest::qWaitForWindowActive(window));
    key(window, Qt::Key_Escape);
    QTRY_VERIFY(window->isHidden());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // What a window manager's close comes to: a spontaneous close event from the window system.
    QVERIFY(!window->windowHandle()->close());
    QVERIFY(window->isHidden());
    QVERIFY(desktop.syncWithWindow());
    QCOMPARE(finished.count(), 0);
    QVERIFY(desktop.peer.frames().isEmpty());

    // Exit while connected takes the tunnel down first and ends on Disconnected.
    desktop.trayAction(6)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(), QList<int>{AbortRequest}, Patience);
    QCOMPARE(finished.count(), 0);
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)) || finished.count() == 1);
    QCOMPARE(finished.count(), 1);
}

// A click on the tray icon brings back a minimised window too; the tray's Settings entry shows
// a hidden one.
void tst_MainDialogInput::trayBringsTheWindowBack()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start() && desktop.openWindow());
    QMainDialog *window = desktop.window();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    click(desktop.widget<QPushButton>("minimize_button"));
    QTRY_VERIFY(window->windowState() & Qt::WindowMinimized);
    // Only a plain click on the icon does; the others open the menu or nothing.
    for (auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context,
                        QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown}) {
        emit desktop.trayIcon()->activated(reason);
        QVERIFY(window->windowState() & Qt::WindowMinimized);
    }
    emit desktop.trayIcon()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(window->isVisible() && !(window->windowState() & Qt::WindowMinimized));
    QTRY_VERIFY(window->isActiveWindow());

    click(desktop.widget<QPushButton>("close_button"));
    QVERIFY(window->isHidden());
    desktop.trayAction(5)->trigger(); // Settings
    QVERIFY(window->isVisible());
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);
}

void tst_MainDialogInput::changeCountryShowsNamesAsTheyAre()
{
    TavrinFakeDesktop desktop;
    desktop.webApi.setServerList(R"({"Trinidad & Tobago": {"code": "TT", "host": "127.0.0.7"}})");
    QVERIFY(desktop.start() && desktop.openWindow());
    QTRY_COMPARE_WITH_TIMEOUT(desktop.changeCountryMenu()->actions().size(), 1, Patience);
    QAction *entry = desktop.changeCountryMenu()->actions().first();
    QCOMPARE(entry->iconText(), QStringLiteral("Trinidad & Tobago")); // no mnemonic
    entry->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(hostOf(desktop.peer.frames().last()), QByteArray("127.0.0.7"),
                              Patience);
}

// Without an "Automatic" row (here: no list at all) the settings' automatic entry serves.
void tst_MainDialogInput::jumpToFastestWithoutAutomaticEntry()
{
    TavrinFakeDesktop desktop;
    desktop.webApi.setServerList("not a list");
    QVERIFY(desktop.start() && desktop.openWindow());
    QTRY_COMPARE_WITH_TIMEOUT(desktop.webApi.listRequests(), 1, Patience);
    desktop.trayAction(2)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(hostOf(desktop.peer.frames().last()), tavrinAutoHostname().toUtf8(),
                              Patience);
    QCOMPARE(desktop.widget<QVPNServerComboBox>("comboBox")->currentServer().name,
             QStringLiteral("Automatic"));
}

// A request the service connection cannot send is shown, logged, and changes nothing.
void tst_MainDialogInput::refusedRequestIsShown()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start() && desktop.openWindow());
    desktop.widget<QLineEdit>("username_edit")->setText(QString(256, QLatin1Char('u')));
    const int framesBefore = desktop.peer.frames().size();
    click(desktop.widget<QPushButton>("connect_button"));
    QTRY_COMPARE(desktop.user.boxCount(), 1);
    QCOMPARE(desktop.user.boxes().first().title, QStringLiteral("Connection error"));
    QCOMPARE(desktop.user.boxes().first().icon, QMessageBox::Warning);
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 0);
    QVERIFY(desktop.syncWithWindow());
    QCOMPARE(desktop.peer.frames().size(), framesBefore);
    QFile log(TavrinTestEnvironment::instance()->home() + "/tavrin-client.log");
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("Warning: TavrinServiceConnection cannot send"));
}

void tst_MainDialogInput::unreachableServiceBoxIsCentred()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start(false));
    QVERIFY(desktop.openWindow());
    QCOMPARE(desktop.user.boxCount(), 1);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint offset = desktop.user.boxes().first().geometry.center() - screen.center();
    QVERIFY2(offset.manhattanLength() < 100,
             qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
}

TAVRIN_TEST_MAIN(tst_MainDialogInput)
#include "tst_maindialoginput.moc"
