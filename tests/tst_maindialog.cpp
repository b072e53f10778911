// The main window against the stand-in, driven through the window system's event path (QTest
// on the window handle) so that Qt's popup, focus and default-button handling run as on a desktop.

#include "base/tavrindeployment.h"
#include "ping/qlatencymonitor.h"
#include "service/tavrincredentials.h"
#include "service/tavrinframe.h"
#include "settings/qvpnclientsettings.h"
#include "tavrintestdesktop.h"
#include "ui/qconnectionnotifier.h"
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

void click(QWidget *widget, QPoint pos = QPoint(-1, -1), Qt::MouseButton button = Qt::LeftButton)
{
    QWidget *window = widget->window();
    QTest::mouseClick(window->windowHandle(), button, {},
                      widget->mapTo(window, pos == QPoint(-1, -1) ? widget->rect().center() : pos));
}

struct Desktop : TavrinTestDesktop
{
    using TavrinTestDesktop::TavrinTestDesktop;
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
    QString box(int i = 0) const
    {
        return boxes().value(i).title + '|' + boxes().value(i).text + '|'
               + QString::number(boxes().value(i).icon);
    }
};

} // namespace

class tst_MainDialog : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE void openUrl(const QUrl &url) { m_opened = url.toString(); }

private:
    QString m_opened;

private slots:
    void init() { TavrinTestDesktop::resetSettings(); }
    void serviceGone();
    void storedSettingsAndServerList();
    void stateDisplay_data();
    void stateDisplay();
    void loginBoxes();
    void screenReaderAndNotifications();
    void keysTitleAndDrag();
};

// A service that closes the link after the first request: the box, and the loop ends with 4.
void tst_MainDialog::serviceGone()
{
    Desktop desktop({"--close-after-received", "2"});
    QVERIFY(desktop.open() && desktop.deliver(QByteArray()));
    click(desktop.widget<QPushButton>("connect_button"));
    QEventLoop loop;
    QTimer::singleShot(LongPatience, &loop, [&loop] { loop.exit(-1); });
    QCOMPARE(loop.exec(), 4);
    // The exit ends every later event loop until QCoreApplication::exec() has run once.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(desktop.boxes().size(), 1);
    QCOMPARE(desktop.box(), QString("Connection error|Connection to Tavrin service was closed.\n"
                                    "Terminating this app.|%1")
                                    .arg(QMessageBox::Critical));
}

// The fields and options as stored. The chooser and the tray's menu hold the list in key order,
// cut at 20,000 servers. Names are shown as they are; a menu entry connects, unremembered.
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
    QVERIFY(desktop.widget<QCheckBox>("autoStart_checkBox")->isChecked()
            && !desktop.widget<QCheckBox>("autoLogin_checkBox")->isChecked());
    QVERIFY(QVPNClientSettings::isAutoStart() && desktop.tray()->icon()->isVisible());
    QMenu *menu = desktop.tray()->changeCountryMenu();
    QTRY_COMPARE_WITH_TIMEOUT(menu->actions().size(), 20000, Patience);
    QVERIFY(TavrinTestEnvironment::logText().contains("more than 20000 servers"));
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QCOMPARE(chooser->count(), 20000);
    QCOMPARE(chooser->serverAt(0).name + '|' + chooser->favoriteServers() + '|'
                     + chooser->currentServer().name + '|'
                     + QString::number(chooser->currentIndex()),
             QStringLiteral("Automatic|Zambia|Zambia|3"));
    QStringList shown;
    for (QAction *entry : menu->actions().mid(0, 5))
        shown += entry->iconText();
    shown.removeAt(2); // the long name's, elided
    QCOMPARE(shown.join('|'), "Automatic|Trinidad & Tobago|Zambia|Zz000000");
    QAction *longEntry = menu->actions().at(2);
    QVERIFY(longEntry->text().endsWith(QChar(0x2026)) && longEntry->text().size() < 100);
    QCOMPARE(longEntry->toolTip(), longName);
    menu->actions().at(1)->trigger();
    QVERIFY(desktop.waitForReceived(1));
    QByteArray host, credentials; // the first request: nothing is asked for or sent at start
    QVERIFY(parseConnectRequest(desktop.received().value(0), &host, &credentials));
    QCOMPARE(host, QByteArray("127.0.0.2"));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Trinidad & Tobago"));
    QCOMPARE(QVPNClientSettings::getConnection().name, QStringLiteral("Zambia"));
}

void tst_MainDialog::stateDisplay_data()
{
    // State strip|big button|country|pages|tray icon|tray's first entry|entries enabled|status box
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *tag, int code, const char *shown, const QString &box) {
        QTest::newRow(tag) << code << QString(shown) + '|' + box;
    };
    const QString is = "VPN connection is ";
    row("Connecting", 0, "CONNECTING|Connecting..|Freedonia|100|tray_connect|Connecting|0100101",
        is + "trying to connect to Freedonia.");
    row("Connected", 1, "CONNECTED|Disconnect|Freedonia|100|tray_on|Disconnect|1111101",
        is + "connected to Freedonia.");
    row("Disconnecting", 2, "DISCONNECTING|Disconnecting..||000|tray_connect|Disconnect|0100101",
        is + "disconnected.");
    row("Disconnected", 3, "DISCONNECTED|Connect|Freedonia|011|tray_off|Connect|1111111",
        is + "disconnected.");
    row("Timeout", 4, "TIMEOUT|Disconnect|Freedonia|100|tray_off|Disconnect|1111101",
        is + "disconnecting, but it's trying to connect to Freedonia.");
    row("code 200", 200, "UNKNOWN|Disconnected||000|tray_off|Connect|1111111",
        "Unknown VPN connection state.");
}

// Also: the clock's and the address lookup's labels once connected.
void tst_MainDialog::stateDisplay()
{
    QFETCH(int, code);
    QVPNClientSettings::setConnection({"Freedonia", "FD", "127.0.0.9"});
    Desktop desktop;
    QMainDialog *window = desktop.open();
    QVERIFY(window);
    QVERIFY(desktop.deliver(code == Connected ? buildConnectedFrame("10.8.0.2", 1)
                                              : buildStatusFrame(quint8(code))));
    QStringList shown{desktop.text("connecton_label"), desktop.text("connect_label"),
                      desktop.text("connect_country_label"),
                      QStringLiteral("%1%2%3")
                              .arg(desktop.page())
                              .arg(desktop.page("connect_stackedWidget"))
                              .arg(desktop.page("timeconnected_section"))};
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
    if (code != Connected)
        return;
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$")
                    .match(desktop.text("time_connected_value_label"))
                    .hasMatch());
    TavrinTestDesktop::expire(window->findChild<QPublicAddressLookup *>()->findChild<QTimer *>());
    QTRY_COMPARE(desktop.text("ipaddress_value_label"), "203.0.113.10");
}

// A login too long to send is shown; a wrong password is shown once, on the login page, frames
// that come while the box is open read and shown all the same.
void tst_MainDialog::loginBoxes()
{
    Desktop desktop;
    QVERIFY(desktop.open() && desktop.waitForReceived(1));
    QCOMPARE(desktop.received().value(0), buildFrame(CredentialsRequest)); // nothing stored
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

// What a screen reader reads of the window, by "role|name", follows the state. Unless the window
// is shown and active, the desktop is told that the tunnel is up. Minimise, close (to the tray)
// and the tray's Settings entry, which brings it back.
void tst_MainDialog::screenReaderAndNotifications()
{
    QVPNClientSettings::setFavoriteServers("Zambia");
    QVPNClientSettings::setConnection({"Zambia", "ZM", "127.0.0.4"});
    Desktop desktop;
    QMainDialog *window = desktop.open();
    QVERIFY(window && QTest::qWaitForWindowActive(window));
    const QMetaEnum roles = QMetaEnum::fromType<QAccessible::Role>();
    QStringList texts;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
        texts << QString::fromLatin1(roles.valueToKey(node->role())) + '|'
                         + node->text(QAccessible::Name);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    const auto read = [&] {
        texts.clear();
        walk(QAccessible::queryAccessibleInterface(window));
        return texts;
    };
    window->findChild<QLatencyMonitor *>()->setInterval(0);
    // The rows read their latencies once measured (an answer within the millisecond reads as
    // none, as a failed echo does).
    const QRegularExpression measured("^ListItem\\|Zambia, favourite, (no answer|\\d+ ms)$");
    QTRY_VERIFY(!read().filter(measured).isEmpty());
    for (const char *text :
         {"EditableText|Username", "Button|Connect", "CheckBox|Auto Login", "Chart|Bandwidth",
          "ComboBox|Connect, Zambia", "StaticText|VPN connection is disconnected."})
        QVERIFY2(texts.contains(text), text);
    // Nothing is told while the window is shown and active; its minimise button minimises it,
    // its close button hides it.
    QSignalSpy told(window->findChild<QConnectionNotifier *>(), &QConnectionNotifier::notify);
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", 1) + buildStatusFrame(Disconnected)));
    QVERIFY(told.isEmpty() && !window->isMinimized());
    click(desktop.widget<QWidget>("minimize_button"));
    QVERIFY(window->isMinimized() && window->isVisible());
    desktop.tray()->settingsAction()->trigger();
    QVERIFY(QTest::qWaitForWindowActive(window) && !window->isMinimized());
    QWidget other; // shown, but another window is active
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", 1)));
    QVERIFY(read().contains("Button|Disconnect - Zambia")
            && texts.contains("StaticText|VPN connection is connected to Zambia."));
    QCOMPARE(told.value(0).value(0).toString(), "Connected to Zambia");
    click(desktop.widget<QWidget>("close_button"));
    QVERIFY(window->isHidden());
}

// Enter logs in; the focus outline follows Tab, the mouse takes it away. The title's logo leads
// back to the login page when disconnected only. F1 opens the feedback page. The window's shape
// and outline: the whole-program runs, at every scale.
void tst_MainDialog::keysTitleAndDrag()
{
    QVPNClientSettings::setCredentials("demo", "demo");
    Desktop desktop;
    QMainDialog *window = desktop.open();
    QVERIFY(window && QTest::qWaitForWindowActive(window));
    const auto press = [window](int key) { QTest::keyClick(window->windowHandle(), Qt::Key(key)); };
    QCOMPARE(QApplication::focusWidget(), desktop.widget<QWidget>("username_edit"));
    // The window is dragged from wherever a press reaches it but its fields and buttons.
    QWindow *handle = window->windowHandle();
    const auto at = [handle](const QPoint &global) { return handle->mapFromGlobal(global); };
    const std::tuple<const char *, Qt::MouseButton, bool> presses[]
            = {{nullptr, Qt::RightButton, true},
               {"title_label", Qt::LeftButton, true},
               {"username_label", Qt::MiddleButton, true},
               {"username_edit", Qt::LeftButton, false},
               {"settings_button", Qt::LeftButton, false}};
    for (const auto &[pressed, button, drags] : presses) {
        window->move(100, 120);
        QTRY_COMPARE(window->pos(), QPoint(100, 120));
        QWidget *target = pressed ? desktop.widget<QWidget>(pressed) : window;
        const QPoint start = target->mapToGlobal(QPoint(3, 3));
        QTest::mousePress(handle, button, {}, at(start));
        QTest::mouseMove(handle, at(start + QPoint(40, 25)));
        QTest::mouseMove(handle, at(start + QPoint(-30, 60)));
        QTest::mouseRelease(handle, button, {}, at(start + QPoint(-30, 60)));
        QTest::mouseMove(handle, at(start + QPoint(90, 90))); // no drag after the release
        QTRY_COMPARE(window->pos(), drags ? QPoint(70, 180) : QPoint(100, 120));
    }
    press(Qt::Key_Tab); // the keys in use: the outline shows from now on
    press(Qt::Key_Backtab);
    press(Qt::Key_Return);
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
    QVERIFY(desktop.page() == 0 && title->pixmap(Qt::ReturnByValue).isNull());
    click(desktop.widget<QWidget>("password_label"));
    QCOMPARE(window->focusWidget(), desktop.widget<QWidget>("password_edit"));
    click(desktop.widget<QPushButton>("settings_button"));
    QVERIFY(desktop.page() == 1 && !title->pixmap(Qt::ReturnByValue).isNull());
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
    QDesktopServices::setUrlHandler(tavrinSiteBase().scheme(), this, "openUrl");
    press(Qt::Key_F1); // Feedback, on the product's site
    QCOMPARE(m_opened, tavrinSiteBase().toString() + "/feedback/");
}

TAVRIN_TEST_MAIN(tst_MainDialog)
#include "tst_maindialog.moc"
