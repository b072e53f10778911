// The main window in-process against the stand-in service and web API, driven as a person
// drives it: mouse and keys go through the window system's event path (QTest on the window
// handle), so that Qt's popup, focus and default-button handling run as on a desktop. What the
// session decides without the window is tst_session's.

#include "service/tavrincredentials.h"
#include "service/tavrinframe.h"
#include "settings/qvpnclientsettings.h"
#include "tavrintestdesktop.h"
#include "ui/qpublicaddresslookup.h"
#include "widgets/qfocusring.h"
#include "widgets/qvpnservercombobox.h"

#include <QtNetwork/QtNetwork>
#include <QtTest/QtTest>
#include <QtWidgets/QtWidgets>

namespace {

// "Automatic" is not the first entry; the list is read in key order.
const char serverList[] = R"({"Zambia": {"code": "ZM", "host": "127.0.0.4"},
    "Automatic": {"code": "auto", "host": "127.0.0.3"},
    "Trinidad & Tobago": {"code": "TT", "host": "127.0.0.2"})";

// A press and release at a point of a widget, sent to the window the widget is on.
void click(QWidget *widget, QPoint pos = QPoint(-1, -1), Qt::MouseButton button = Qt::LeftButton)
{
    QWidget *window = widget->window();
    QTest::mouseClick(window->windowHandle(), button, {},
                      widget->mapTo(window, pos == QPoint(-1, -1) ? widget->rect().center() : pos));
}

// The stand-in and a window on it, with what the window shows.
struct Desktop : TavrinTestDesktop
{
    using TavrinTestDesktop::TavrinTestDesktop;
    // Opens the window, the list given served and the settings as the test left them.
    QMainDialog *open(bool withService = true, const QByteArray &list = serverList + QByteArray("}"))
    {
        setServerList(list);
        return start(withService) ? openWindow() : nullptr;
    }
    QString text(const char *name) const { return widget<QLabel>(name)->text(); }
    int page(const char *name = "stackedWidget") const
    {
        return widget<QStackedWidget>(name)->currentIndex();
    }
    QString box(int index = 0) const // "title|text|icon"
    {
        const Box box = boxes().value(index);
        return box.title + '|' + box.text + '|' + QString::number(box.icon);
    }
};

} // namespace

class tst_MainDialog : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { m_opened.append(url); } // the desktop's browser

private slots:
    void init() { TavrinTestDesktop::resetSettings(); }
    void serviceGone_data();
    void serviceGone();
    void storedSettingsAndServerList();
    void stateDisplay_data();
    void stateDisplay();
    void loginBoxes();
    void autoLoginAndTray();
    void keysTitleAndFeedback();
    void chrome_data();
    void chrome();

private:
    QList<QUrl> m_opened;
};

void tst_MainDialog::serviceGone_data()
{
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<QString>("text");
    QTest::newRow("unreachable") << false << "Can't connect to Tavrin service.";
    QTest::newRow("closes the link")
            << true << "Connection to Tavrin service was closed.\nTerminating this app.";
}

// A service that cannot be reached, or that closes the link after the user's first request: the
// box tells it (the program then ends with 3 or 4, see tst_program).
void tst_MainDialog::serviceGone()
{
    QFETCH(bool, reachable);
    Desktop desktop({"--close-after-received", "2"});
    QMainDialog *window = desktop.open(reachable);
    QVERIFY(window && window->isServiceAvailable() == reachable
            && window->isInitialized() == reachable);
    if (reachable) {
        QVERIFY(desktop.deliver(QByteArray()));
        click(desktop.widget<QPushButton>("connect_button"));
        QEventLoop loop;
        QTimer::singleShot(LongPatience, &loop, [&loop] { loop.exit(-1); }); // should it hang
        QCOMPARE(loop.exec(), 4);
        // QCoreApplication::exit() ends every later event loop of this thread at once until
        // QCoreApplication::exec() runs again: let it run once so that later waits work.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
    QCOMPARE(desktop.boxes().size(), 1);
    QFETCH(QString, text);
    QCOMPARE(desktop.box(), QString("Connection error|%1|%2").arg(text).arg(QMessageBox::Critical));
    if (reachable)
        return;
    // No tray icon and no list: the web API sees the test's own request, sent after the
    // window's start, and nothing else.
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(
            manager.get(QNetworkRequest(QUrl(desktop.sim()->apiHost() + "/get_ip/x"))));
    QVERIFY(desktop.waitForLog("^HTTP GET /get_ip/x"));
    QCOMPARE(desktop.log().filter("HTTP GET").size(), 1);
    QVERIFY(!desktop.tray()->icon()->isVisible());
}

// The fields and option boxes as stored (reading them writes nothing back). The chooser and the
// change-country menu hold the list in key order, cut at 20,000 servers with a line in the log;
// the menu fills a slice at a time, the window answering between the slices. The favourites come
// from the settings; the server remembered from the last run stays on the face; names are shown
// as they are, "&" included, and each entry connects to its own server, which only a choice in
// the chooser is remembered as.
void tst_MainDialog::storedSettingsAndServerList()
{
    QVPNClientSettings::setCredentials("alice", "s3cret pass");
    QVPNClientSettings::setAutoStart(true);
    QVPNClientSettings::setFavoriteServers("Zambia");
    QVPNClientSettings::setConnection({"Zambia", "ZM", "127.0.0.4"});
    const QString longName(10000, QLatin1Char('W'));
    QByteArray list = serverList;
    list += ", \"" + longName.toLatin1() + "\": {\"code\": \"WW\", \"host\": \"w\"}";
    for (int i = 0; i < 25000; ++i)
        list += QStringLiteral(R"(,"Zz%1":{"code":"DE","host":"h"})")
                        .arg(i, 6, 10, QChar('0'))
                        .toLatin1();
    Desktop desktop;
    QVERIFY(desktop.open(true, list + '}'));
    QCOMPARE(desktop.widget<QLineEdit>("username_edit")->text() + '|'
                     + desktop.widget<QLineEdit>("password_edit")->text(),
             "alice|s3cret pass");
    QVERIFY(desktop.widget<QCheckBox>("autoStart_checkBox")->isChecked());
    QVERIFY(!desktop.widget<QCheckBox>("autoLogin_checkBox")->isChecked());
    QVERIFY(QVPNClientSettings::isAutoStart() && desktop.tray()->icon()->isVisible());
    QMenu *menu = desktop.tray()->changeCountryMenu();
    QSet<int> seen; // the menu's sizes at the turns of the event loop
    QTimer turn;
    connect(&turn, &QTimer::timeout, [&] { seen.insert(menu->actions().size()); });
    turn.start(0);
    QTRY_COMPARE_WITH_TIMEOUT(menu->actions().size(), 20000, Patience);
    QVERIFY(seen.contains(QTavrinTray::EntriesPerSlice));
    QVERIFY(TavrinTestEnvironment::logText().contains("more than 20000 servers"));
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QCOMPARE(chooser->count(), 20000);
    QCOMPARE(chooser->serverAt(0).name + '|' + chooser->favoriteServers() + '|'
                     + chooser->currentServer().name + '|'
                     + QString::number(chooser->currentIndex()),
             QStringLiteral("Automatic|Zambia|Zambia|3"));
    QStringList shown;
    for (QAction *entry : menu->actions().mid(0, 5))
        shown.append(entry->iconText());
    QCOMPARE(shown.mid(0, 2) + shown.mid(3),
             QStringList({"Automatic", "Trinidad & Tobago", "Zambia", "Zz000000"}));
    QAction *longEntry = menu->actions().at(2);
    QVERIFY(longEntry->text().endsWith(QChar(0x2026)) && longEntry->text().size() < 100);
    QCOMPARE(longEntry->toolTip(), longName);
    menu->actions().at(1)->trigger();
    QVERIFY(desktop.waitForReceived(1));
    QByteArray host, credentials;
    QVERIFY(parseConnectRequest(desktop.received().last(), &host, &credentials));
    QCOMPARE(host, QByteArray("127.0.0.2"));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Trinidad & Tobago"));
    QCOMPARE(QVPNClientSettings::getConnection().name, QStringLiteral("Zambia"));
}

void tst_MainDialog::stateDisplay_data()
{
    // State strip | big button | country | pages | tray icon | tray's first entry | the tray
    // entries enabled | status box.
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");
    const QString unknown = "UNKNOWN|Disconnected||000|tray_off|Connect|1111111|"
                            "Unknown VPN connection state.";
    QTest::newRow("Connecting") << 0
                                << "CONNECTING|Connecting..|Freedonia|100|tray_connect|"
                                   "Connecting|0100101|VPN connection is trying to connect to "
                                   "Freedonia.";
    QTest::newRow("Connected") << 1
                               << "CONNECTED|Disconnect|Freedonia|100|tray_on|Disconnect|"
                                  "1111101|VPN connection is connected to Freedonia.";
    QTest::newRow("Disconnecting") << 2
                                   << "DISCONNECTING|Disconnecting..||000|tray_connect|"
                                      "Disconnect|0100101|VPN connection is disconnected.";
    QTest::newRow("Disconnected") << 3
                                  << "DISCONNECTED|Connect|Freedonia|011|tray_off|Connect|"
                                     "1111111|VPN connection is disconnected.";
    QTest::newRow("Timeout") << 4
                             << "TIMEOUT|Disconnect|Freedonia|100|tray_off|Disconnect|1111101|"
                                "VPN connection is disconnecting, but it's trying to connect to "
                                "Freedonia.";
    QTest::newRow("code 200") << 200 << unknown;
    QTest::newRow("code -1") << 255 << unknown;
}

// Also: the fields are the session's credentials (stored once connected); the clock's and the
// address lookup's texts reach their labels.
void tst_MainDialog::stateDisplay()
{
    QFETCH(int, code);
    QVPNClientSettings::setConnection({"Freedonia", "FD", "127.0.0.9"});
    Desktop desktop;
    QMainDialog *window = desktop.open();
    QVERIFY(window);
    desktop.widget<QLineEdit>("username_edit")->setText("alice");
    desktop.widget<QLineEdit>("password_edit")->setText("secret");
    QVERIFY(desktop.deliver(code == Connected ? buildConnectedFrame("10.8.0.2", 1)
                                              : buildStatusFrame(quint8(code))));
    QStringList shown;
    for (const char *name : {"connecton_label", "connect_label", "connect_country_label"})
        shown << desktop.text(name);
    shown << QString::number(desktop.page())
                     + QString::number(desktop.page("connect_stackedWidget"))
                     + QString::number(desktop.page("timeconnected_section"));
    const QImage trayIcon = desktop.tray()->icon()->icon().pixmap(32).toImage();
    for (const char *name : {"tray_off", "tray_connect", "tray_on"}) {
        if (QIcon(QStringLiteral(":/imgs/tray/%1.ico").arg(name)).pixmap(32).toImage() == trayIcon)
            shown << name;
    }
    shown << desktop.tray()->connectAction()->text() << QString();
    for (QAction *entry : desktop.tray()->menu()->actions())
        shown.last() += entry->isEnabled() && (!entry->menu() || entry->menu()->isEnabled()) ? '1'
                                                                                             : '0';
    desktop.tray()->statusAction()->trigger();
    QTEST((shown << desktop.boxes().value(0).text).join('|'), "expected");
    QString username, password;
    QCOMPARE(QVPNClientSettings::getCredentials(username, password), code == Connected);
    if (code != Connected)
        return;
    QCOMPARE(username + '/' + password, "alice/secret");
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$")
                    .match(desktop.text("time_connected_value_label"))
                    .hasMatch());
    TavrinTestDesktop::expire(window->findChild<QPublicAddressLookup *>()->findChild<QTimer *>());
    QTRY_COMPARE(desktop.text("ipaddress_value_label"), "203.0.113.10");
}

// The service's answer to the credentials request fills the fields. A login the service
// connection cannot send is shown and leaves the login page. A wrong password through the
// stand-in shows the failure once, back on the login page; while the box is open the service
// goes on sending: its frames are read and shown all the same.
void tst_MainDialog::loginBoxes()
{
    Desktop desktop;
    QVERIFY(desktop.open());
    auto *username = desktop.widget<QLineEdit>("username_edit");
    auto *password = desktop.widget<QLineEdit>("password_edit");
    QVERIFY(desktop.deliver(buildCredentialsReplyFrame(encodeUserPass("dörte", "pa55 wörd"))));
    QCOMPARE(username->text() + '/' + password->text(), QStringLiteral("dörte/pa55 wörd"));
    username->setText(QString(256, QLatin1Char('u')));
    click(desktop.widget<QPushButton>("connect_button"));
    QTRY_COMPARE(desktop.boxes().size(), 1);
    QCOMPARE(desktop.box(), QString("Connection error|The user name, the password or the server "
                                    "name is too long to be sent to the Tavrin service.|%1")
                                    .arg(QMessageBox::Warning));
    QCOMPARE(desktop.page(), 0);
    desktop.holdBoxes(true);
    bool shownWhileOpen = false;
    int pageThen = -1;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && desktop.boxes().size() == 2) { // once the user has seen it
            watcher.stop();
            pageThen = desktop.page();
            shownWhileOpen = desktop.deliver(buildStatusFrame(Timeout)) && box->isVisible()
                             && desktop.text("connecton_label") == "TIMEOUT";
            box->accept();
        }
    });
    watcher.start(10);
    username->setText("demo");
    password->setText("wrong");
    click(desktop.widget<QPushButton>("connect_button"));
    QTRY_VERIFY_WITH_TIMEOUT(shownWhileOpen, Patience);
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(desktop.boxes().size(), 2);
    QCOMPARE(desktop.box(1), QString("Login error|Login failed.\nPlease check your username and "
                                     "password and try again.|%1")
                                     .arg(QMessageBox::Warning));
    QCOMPARE(pageThen, 0);
}

// Auto-login connects at start, on the connection page. A close from the window manager hides
// the window with the tunnel on its way up; the tray icon's click and the Settings entry bring
// it back, minimised or not.
void tst_MainDialog::autoLoginAndTray()
{
    QVPNClientSettings::setCredentials("demo", "demo");
    QVPNClientSettings::setAutoLogin(true);
    Desktop desktop({"--connect-delay", "600000"});
    QMainDialog *window = desktop.open();
    QVERIFY(window);
    QVERIFY(desktop.widget<QCheckBox>("autoLogin_checkBox")->isChecked());
    QCOMPARE(desktop.page(), 1);
    QSignalSpy finished(window, &QDialog::finished);
    QVERIFY(desktop.waitForLog("state=Connecting") && desktop.deliver({}));
    QVERIFY(!window->windowHandle()->close()); // a window manager's close, refused
    QVERIFY(window->isHidden());
    desktop.tray()->settingsAction()->trigger(); // the way back where a click opens the menu
    QVERIFY(window->isVisible());
    click(desktop.widget<QPushButton>("minimize_button"));
    QTRY_VERIFY(window->windowState() & Qt::WindowMinimized);
    for (auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context}) {
        emit desktop.tray()->icon()->activated(reason);
        QVERIFY(window->windowState() & Qt::WindowMinimized);
    }
    emit desktop.tray()->icon()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(window->isVisible() && !(window->windowState() & Qt::WindowMinimized));
    QCOMPARE(finished.count(), 0);
    QCOMPARE(desktop.receivedTypes().count(AbortRequest), 0);
}

// Enter in the user name field logs in as the Connect button does (the minimise button, first in
// the dialog, is no default button). The keys have been in use since: the outline follows the
// focus as Tab moves it, and the mouse takes it away; Space switches a check box. The title's
// logo leads back to the login page in Disconnected only, Settings to the connection page; the
// field icons focus their fields, the check boxes switch their options, Feedback opens the site.
void tst_MainDialog::keysTitleAndFeedback()
{
    QVPNClientSettings::setCredentials("demo", "demo");
    Desktop desktop;
    QMainDialog *window = desktop.open();
    QVERIFY(window && QTest::qWaitForWindowActive(window));
    const auto press = [window](int key) { QTest::keyClick(window->windowHandle(), Qt::Key(key)); };
    QCOMPARE(QApplication::focusWidget(), desktop.widget<QWidget>("username_edit"));
    press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), desktop.widget<QWidget>("password_edit"));
    press(Qt::Key_Backtab);
    press(Qt::Key_Return);
    QVERIFY(!(window->windowState() & Qt::WindowMinimized));
    QVERIFY(desktop.waitForLog("state=Connected ") && desktop.deliver({}));
    press(Qt::Key_Space);
    QVERIFY(desktop.waitForLog("state=Disconnected") && desktop.deliver({}));
    auto *ring = window->findChild<QFocusRing *>();
    auto *chooser = desktop.widget<QWidget>("comboBox");
    QTRY_COMPARE(ring->target(), chooser);
    press(Qt::Key_Tab);
    QTRY_COMPARE(ring->target(), desktop.widget<QWidget>("autoStart_checkBox"));
    press(Qt::Key_Space);
    QVERIFY(QVPNClientSettings::isAutoStart());
    press(Qt::Key_Backtab);
    QTRY_COMPARE(ring->target(), chooser);
    click(desktop.widget<QWidget>("bandwidth_widget"));
    QTRY_VERIFY(!ring->target());

    auto *title = desktop.widget<QLabel>("title_label");
    click(title);
    QCOMPARE(desktop.page(), 0);
    QVERIFY(title->pixmap(Qt::ReturnByValue).isNull());
    click(desktop.widget<QWidget>("password_label"));
    QCOMPARE(window->focusWidget(), desktop.widget<QWidget>("password_edit"));
    click(desktop.widget<QPushButton>("settings_button"));
    QCOMPARE(desktop.page(), 1);
    QVERIFY(!title->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(desktop.text("connecton_label"), QStringLiteral("DISCONNECTED"));
    QString options;
    for (const char *name : {"autoStart_checkBox", "autoLogin_checkBox", "autoStart_checkBox"}) {
        auto *box = desktop.widget<QCheckBox>(name);
        click(box, QPoint(6, box->height() / 2));
        options += QString::number(QVPNClientSettings::isAutoStart())
                   + QString::number(QVPNClientSettings::getAutoLogin());
    }
    QCOMPARE(options, QStringLiteral("000111"));
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", 1)));
    click(title);
    QCOMPARE(desktop.page(), 1);

    qputenv("TAVRIN_SITE_HOST", "https://site.tavrin.test:8080");
    QDesktopServices::setUrlHandler("https", this, "openUrl");
    desktop.tray()->feedbackAction()->trigger();
    QDesktopServices::unsetUrlHandler("https");
    qunsetenv("TAVRIN_SITE_HOST");
    QCOMPARE(m_opened, QList<QUrl>{QUrl("https://site.tavrin.test:8080/feedback/")});
}

void tst_MainDialog::chrome_data()
{
    QTest::addColumn<QString>("pressed"); // empty: the window itself
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("drags");
    QTest::newRow("window, right button") << QString() << int(Qt::RightButton) << true;
    QTest::newRow("title label") << "title_label" << int(Qt::LeftButton) << true;
    QTest::newRow("user icon") << "username_label" << int(Qt::MiddleButton) << true;
    QTest::newRow("edit field") << "username_edit" << int(Qt::LeftButton) << false;
    QTest::newRow("push button") << "settings_button" << int(Qt::LeftButton) << false;
}

// The rounded shape with its outline, and the drag from wherever a press reaches the window.
void tst_MainDialog::chrome()
{
    QFETCH(QString, pressed);
    QFETCH(int, button);
    QFETCH(bool, drags);
    Desktop desktop;
    QMainDialog *window = desktop.open();
    QVERIFY(window && QTest::qWaitForWindowExposed(window));
    const QRegion mask = window->mask();
    for (const QPoint &corner : {QPoint(0, 0), QPoint(343, 0), QPoint(1, 543), QPoint(342, 543)})
        QVERIFY(!mask.contains(corner));
    for (const QPoint &edge : {QPoint(10, 0), QPoint(0, 10), QPoint(343, 534), QPoint(172, 544)})
        QVERIFY(mask.contains(edge));
    const QImage shot = window->grab().toImage();
    QCOMPARE(QColor(shot.pixel(0, 300)), QColor(160, 160, 160));
    QCOMPARE(QColor(shot.pixel(5, 300)), QColor(247, 247, 247));

    window->move(100, 120);
    QTRY_COMPARE(window->pos(), QPoint(100, 120));
    // The mouse moves over the screen: each position is taken where the window stands then.
    QWindow *handle = window->windowHandle();
    QWidget *target = pressed.isEmpty() ? window : desktop.widget<QWidget>(qPrintable(pressed));
    const QPoint start = target->mapToGlobal(QPoint(3, 3));
    const auto at = [handle](const QPoint &global) { return handle->mapFromGlobal(global); };
    QTest::mousePress(handle, Qt::MouseButton(button), {}, at(start));
    QTest::mouseMove(handle, at(start + QPoint(40, 25)));
    QTest::mouseMove(handle, at(start + QPoint(-30, 60)));
    QTest::mouseRelease(handle, Qt::MouseButton(button), {}, at(start + QPoint(-30, 60)));
    QTest::mouseMove(handle, at(start + QPoint(90, 90))); // no drag after the release
    QTRY_COMPARE(window->pos(), drags ? QPoint(70, 180) : QPoint(100, 120));
}

TAVRIN_TEST_MAIN(tst_MainDialog)
#include "tst_maindialog.moc"
