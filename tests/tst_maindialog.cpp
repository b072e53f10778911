// The main window in-process against the stand-in service and web API, driven as a person
// drives it: mouse and keys go through the window system's event path (QTest on the window
// handle), so that Qt's popup, focus and default-button handling run as on a desktop.

#include "service/tavrincredentials.h"
#include "service/tavrinframe.h"
#include "settings/qvpnclientsettings.h"
#include "sim/qtavrinsimsession.h"
#include "tavrintestdesktop.h"
#include "ui/qconnectionclock.h"
#include "ui/qpublicaddresslookup.h"
#include "widgets/qfocusring.h"
#include "widgets/qvpnservercombobox.h"

#include <QtNetwork/QtNetwork>
#include <QtTest/QtTest>
#include <QtWidgets/QtWidgets>

namespace {

// The stand-in's list for these tests: "Automatic" is not the first row.
const char serverList[] = R"({"Zambia": {"code": "ZM", "host": "127.0.0.4"},
    "Automatic": {"code": "auto", "host": "127.0.0.3"},
    "Trinidad & Tobago": {"code": "TT", "host": "127.0.0.2"}})";

// A connect request's host and credential text, "host|text".
QByteArray request(const QByteArray &frame)
{
    QByteArray host, credentials;
    return parseConnectRequest(frame, &host, &credentials) ? QByteArray(host + '|' + credentials)
                                                           : QByteArray("none");
}

QString storedCredentials()
{
    QString username, password;
    return QVPNClientSettings::getCredentials(username, password) ? username + '/' + password
                                                                  : QString();
}

// A press and release at a point of a widget, sent to the window the widget is on.
void click(QWidget *widget, QPoint pos = QPoint(-1, -1), Qt::MouseButton button = Qt::LeftButton)
{
    QWidget *window = widget->window();
    QTest::mouseClick(window->windowHandle(), button, {},
                      widget->mapTo(window, pos == QPoint(-1, -1) ? widget->rect().center() : pos));
}

// Connects through the stand-in with the demo account (the fields as the settings filled them)
// and waits until the window shows the tunnel up.
bool connectForReal(TavrinTestDesktop &desktop)
{
    desktop.tray()->connectAction()->trigger();
    return desktop.waitForLog("state=Connected ") && desktop.deliver({})
           && desktop.widget<QLabel>("connecton_label")->text() == QLatin1String("CONNECTED");
}

// The one-second timers of the window's clock.
QList<int> clockTimers(QObject *window)
{
    QList<int> timers;
    QObject *clock = window->findChild<QConnectionClock *>();
    for (const auto &timer : QAbstractEventDispatcher::instance()->registeredTimers(clock)) {
        if (timer.interval == 1000)
            timers.append(timer.timerId);
    }
    return timers;
}

// Opens a window on the stand-in, the list above served and the settings as the test left them.
QMainDialog *open(TavrinTestDesktop &desktop, bool withService = true)
{
    desktop.setServerList(serverList);
    return desktop.start(withService) ? desktop.openWindow() : nullptr;
}

QString pages(TavrinTestDesktop &desktop) // the window's page, the button's, the time's
{
    QString pages;
    for (const char *name : {"stackedWidget", "connect_stackedWidget", "timeconnected_section"})
        pages += QString::number(desktop.widget<QStackedWidget>(name)->currentIndex());
    return pages;
}

} // namespace

class tst_MainDialog : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { m_opened.append(url); } // the desktop's browser

private slots:
    void init() { TavrinTestDesktop::resetSettings(); }
    void construction_data();
    void construction();
    void serviceUnreachable();
    void serviceClosesTheLink();
    void serverListFillsChooserAndMenu();
    void jumpToFastest_data();
    void jumpToFastest();
    void stateDisplay_data();
    void stateDisplay();
    void clock_data();
    void clock();
    void loginFailure();
    void loginFields();
    void commands_data();
    void commands();
    void serverChangeWhileConnected();
    void trayBringsTheWindowBack();
    void keyboardAndFocusRing();
    void settingsTitleFeedbackAndIcons();
    void chrome_data();
    void chrome();
    void floods_data();
    void floods();
    void serviceThatNeverReadsGetsOneAbort();
    void hugeServerList();

private:
    QList<QUrl> m_opened;
};

void tst_MainDialog::construction_data()
{
    QTest::addColumn<bool>("stored"); // credentials, a chosen server and auto start
    QTest::addColumn<bool>("autoLogin");
    QTest::addColumn<QList<int>>("startFrames");
    QTest::newRow("nothing stored") << false << false << QList<int>{CredentialsRequest};
    QTest::newRow("stored") << true << false << QList<int>{};
    QTest::newRow("stored, auto-login") << true << true << QList<int>{ConnectToVPNRequest};
    QTest::newRow("auto-login, nothing stored")
            << false << true << QList<int>{CredentialsRequest, ConnectToVPNRequest};
}

void tst_MainDialog::construction()
{
    QFETCH(bool, stored);
    QFETCH(bool, autoLogin);
    QFETCH(QList<int>, startFrames);
    if (stored) {
        QVPNClientSettings::setConnection({"Freedonia", "FD", "127.0.0.9"});
        QVPNClientSettings::setCredentials("alice", "s3cret pass");
        QVPNClientSettings::setAutoStart(true);
    }
    QVPNClientSettings::setAutoLogin(autoLogin);
    TavrinTestDesktop desktop({"--connect-delay", "600000"});
    QMainDialog *window = open(desktop);
    QVERIFY(window && window->isServiceAvailable() && window->isInitialized());
    QVERIFY(desktop.tray()->icon()->isVisible());
    // The fields and boxes as stored; reading the options at start writes nothing back.
    QCOMPARE(QStringList(
                     {desktop.widget<QLineEdit>("username_edit")->text(),
                      QString::number(desktop.widget<QCheckBox>("autoStart_checkBox")->isChecked()),
                      QString::number(desktop.widget<QCheckBox>("autoLogin_checkBox")->isChecked()),
                      pages(desktop).left(1), QString::number(QVPNClientSettings::isAutoStart())}),
             QStringList({stored ? "alice" : "", QString::number(stored), QString::number(autoLogin),
                          QString::number(autoLogin), QString::number(stored)}));
    // Auto-login does not wait for the answer to the credentials request: empty fields go out.
    QVERIFY(desktop.deliver(QByteArray()));
    QCOMPARE(desktop.receivedTypes(), startFrames);
    if (!autoLogin)
        click(desktop.widget<QPushButton>("connect_button"));
    QVERIFY(desktop.waitForReceived(startFrames.size() + (autoLogin ? 0 : 1)));
    QCOMPARE(request(desktop.received().last()),
             stored ? QByteArray("127.0.0.9|" + encodeUserPass("alice", "s3cret pass"))
                    : QByteArray(tavrinAutoHostname().toUtf8() + '|' + encodeUserPass({}, {})));
    QVERIFY(desktop.waitForLog("^HTTP GET /get_list/"));
}

void tst_MainDialog::serviceUnreachable()
{
    TavrinTestDesktop desktop;
    QMainDialog *window = open(desktop, false);
    QVERIFY(window && !window->isServiceAvailable() && !window->isInitialized());
    QCOMPARE(desktop.boxes().size(), 1);
    const TavrinTestDesktop::Box box = desktop.boxes().first();
    QCOMPARE(box.title + '|' + box.text + '|' + QString::number(box.icon),
             QString("Connection error|Can't connect to Tavrin service.|%1")
                     .arg(QMessageBox::Critical));
    // Centred on the screen the window would have opened on, not in its corner.
    const QPoint offset = box.geometry.center()
                          - QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() < 100, qPrintable(QString::number(offset.x())));
    QVERIFY(!desktop.tray()->icon()->isVisible());
    // No list is asked for: the web API sees the test's own request, sent after the window's
    // start, and nothing else.
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(
            manager.get(QNetworkRequest(QUrl(desktop.sim()->apiHost() + "/get_ip/x"))));
    QVERIFY(desktop.waitForLog("^HTTP GET /get_ip/x"));
    QCOMPARE(desktop.log().filter("HTTP GET").size(), 1);
}

// The service closes the link after the user's first request: the box tells it, then the
// program ends with 4.
void tst_MainDialog::serviceClosesTheLink()
{
    TavrinTestDesktop desktop({"--close-after-received", "2"});
    QVERIFY(open(desktop));
    QVERIFY(desktop.deliver(QByteArray()));
    click(desktop.widget<QPushButton>("connect_button"));
    QEventLoop loop;
    QTimer::singleShot(LongPatience, &loop, [&loop] { loop.exit(-1); }); // should it hang
    QCOMPARE(loop.exec(), 4);
    // QCoreApplication::exit() ends every later event loop of this thread at once until
    // QCoreApplication::exec() runs again: let it run once so that later waits work.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(desktop.boxes().size(), 1);
    const TavrinTestDesktop::Box box = desktop.boxes().first();
    QCOMPARE(box.title + '|' + box.text + '|' + QString::number(box.icon),
             QString("Connection error|Connection to Tavrin service was closed.\nTerminating "
                     "this app.|%1")
                     .arg(QMessageBox::Critical));
}

// The chooser and the change-country menu hold the list in key order; the favourites come from
// the settings; the server remembered from the last run stays on the face; names are shown as
// they are, "&" included, and each entry connects to its own server, which only a choice in the
// chooser is remembered as.
void tst_MainDialog::serverListFillsChooserAndMenu()
{
    QVPNClientSettings::setFavoriteServers("Zambia");
    QVPNClientSettings::setConnection({"Zambia", "ZM", "127.0.0.4"});
    const QString longName(10000, QLatin1Char('W'));
    TavrinTestDesktop desktop;
    desktop.setServerList(
            QByteArray(serverList)
                    .replace("}}", "}, \"" + longName.toLatin1()
                                           + "\": {\"code\": \"WW\", \"host\": \"w\"}}"));
    QVERIFY(desktop.start() && desktop.openWindow());
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 4, Patience);
    QCOMPARE(chooser->serverAt(0).name + '|' + chooser->favoriteServers() + '|'
                     + chooser->currentServer().name + '|'
                     + QString::number(chooser->currentIndex()),
             QStringLiteral("Automatic|Zambia|Zambia|3"));
    // Names as they are, "&" included; a long one ends in "..." and is whole in its tool tip.
    QMenu *menu = desktop.tray()->changeCountryMenu();
    QTRY_COMPARE(menu->actions().size(), 4);
    QStringList shown;
    for (QAction *entry : menu->actions())
        shown.append(entry->iconText());
    QCOMPARE(shown.mid(0, 2) + shown.mid(3),
             QStringList({"Automatic", "Trinidad & Tobago", "Zambia"}));
    QAction *longEntry = menu->actions().at(2);
    QVERIFY(longEntry->text().endsWith(QChar(0x2026)) && longEntry->text().size() < 100);
    QCOMPARE(longEntry->toolTip(), longName);
    menu->actions().at(1)->trigger();
    QVERIFY(desktop.waitForReceived(2));
    QCOMPARE(request(desktop.received().last()).left(10), QByteArray("127.0.0.2|"));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Trinidad & Tobago"));
    QCOMPARE(QVPNClientSettings::getConnection().name, QStringLiteral("Zambia"));
}

void tst_MainDialog::jumpToFastest_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QByteArray>("host");
    QTest::newRow("list") << QByteArray("normal") << QByteArray("127.0.0.3");
    // Without an "Automatic" row the settings' automatic entry serves.
    QTest::newRow("no list") << QByteArray("broken") << tavrinAutoHostname().toUtf8();
}

// Jump to fastest connects to the automatic entry; it is not remembered as the choice.
void tst_MainDialog::jumpToFastest()
{
    QFETCH(QByteArray, list);
    QFETCH(QByteArray, host);
    QVPNClientSettings::setConnection({"Zambia", "ZM", "127.0.0.4"});
    TavrinTestDesktop desktop({"--list-body", list});
    QVERIFY(open(desktop));
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QVERIFY(desktop.waitForLog("^HTTP GET /get_list"));
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), list == "broken" ? 0 : 3, Patience);
    desktop.tray()->jumpToFastestAction()->trigger();
    QVERIFY(desktop.waitForReceived(2));
    QCOMPARE(request(desktop.received().last()).split('|').first(), host);
    QCOMPARE(chooser->currentServer().hostname.toUtf8(), host);
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

void tst_MainDialog::stateDisplay()
{
    QFETCH(int, code);
    QVPNClientSettings::setConnection({"Freedonia", "FD", "127.0.0.9"});
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    desktop.widget<QLineEdit>("username_edit")->setText("alice");
    desktop.widget<QLineEdit>("password_edit")->setText("secret");
    QVERIFY(desktop.deliver(code == Connected ? buildConnectedFrame("10.8.0.2", 1)
                                              : buildStatusFrame(quint8(code))));
    QStringList shown;
    for (const char *name : {"connecton_label", "connect_label", "connect_country_label"})
        shown << desktop.widget<QLabel>(name)->text();
    shown << pages(desktop);
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
    // The fields are stored once connected, and only then.
    QCOMPARE(storedCredentials(), code == Connected ? "alice/secret" : "");
}

void tst_MainDialog::clock_data()
{
    QTest::addColumn<qint64>("startFromNow");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("an hour ago") << qint64(-3661) << "^01:01:0\\d$";
    QTest::newRow("over a day ago wraps") << qint64(-86400 - 125) << "^00:02:0\\d$";
    QTest::newRow("ahead of the clock") << qint64(5) << "^23:59:5\\d$";
}

// The time connected shows at once and at every tick of the one clock; Timeout keeps it
// running, Disconnecting stops it. Ticks are sent to the window rather than waited for.
void tst_MainDialog::clock()
{
    QFETCH(qint64, startFromNow);
    QFETCH(QString, pattern);
    TavrinTestDesktop desktop;
    QMainDialog *window = open(desktop);
    QVERIFY(window);
    auto *time = desktop.widget<QLabel>("time_connected_value_label");
    const auto connected = [&](qint64 seconds) {
        return desktop.deliver(
                buildConnectedFrame("10.8.0.2",
                                    quint32(QDateTime::currentSecsSinceEpoch() + seconds)));
    };
    QVERIFY(connected(-7322) && connected(startFromNow));
    QVERIFY2(QRegularExpression(pattern).match(time->text()).hasMatch(), qPrintable(time->text()));
    QCOMPARE(clockTimers(window).size(), 1); // the newer connection's clock only
    QVERIFY(desktop.deliver(buildStatusFrame(Timeout)));
    QCOMPARE(time->text(), QString());
    QTimerEvent tick(clockTimers(window).first());
    QCoreApplication::sendEvent(window->findChild<QConnectionClock *>(), &tick);
    QVERIFY(QRegularExpression(pattern).match(time->text()).hasMatch());
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnecting)));
    QVERIFY(clockTimers(window).isEmpty());
}

// A wrong password through the stand-in: the window aborts and shows the failure once, on the
// next Disconnected, back on the login page; nothing is stored. While the box is open the
// service goes on sending: its frames are read and shown all the same.
void tst_MainDialog::loginFailure()
{
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    desktop.holdBoxes(true);
    bool shownWhileOpen = false;
    int page = -1;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && !desktop.boxes().isEmpty()) { // once the user has seen it
            watcher.stop();
            page = desktop.widget<QStackedWidget>("stackedWidget")->currentIndex();
            shownWhileOpen = desktop.deliver(buildStatusFrame(Timeout)) && box->isVisible()
                             && desktop.widget<QLabel>("connecton_label")->text() == "TIMEOUT";
            box->accept();
        }
    });
    watcher.start(10);
    desktop.widget<QLineEdit>("username_edit")->setText("demo");
    desktop.widget<QLineEdit>("password_edit")->setText("wrong");
    click(desktop.widget<QPushButton>("connect_button"));
    QTRY_VERIFY_WITH_TIMEOUT(shownWhileOpen, Patience);
    QCOMPARE(desktop.receivedTypes(),
             QList<int>({CredentialsRequest, ConnectToVPNRequest, AbortRequest}));
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(desktop.boxes().size(), 1);
    QCOMPARE(desktop.boxes().first().title + '|' + desktop.boxes().first().text,
             "Login error|Login failed.\nPlease check your username and password and try again.");
    QCOMPARE(page, 0);
    QCOMPARE(storedCredentials(), QString());
}

// The service's answer to the credentials request fills the fields. A login whose request the
// service connection cannot send is shown, logged, and changes nothing.
void tst_MainDialog::loginFields()
{
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    const auto fields = [&](const QByteArray &reply) {
        return desktop.deliver(buildCredentialsReplyFrame(reply))
                       ? desktop.widget<QLineEdit>("username_edit")->text() + '/'
                                 + desktop.widget<QLineEdit>("password_edit")->text()
                       : QString();
    };
    QCOMPARE(fields(encodeUserPass("dörte", "pa55 wörd")), QStringLiteral("dörte/pa55 wörd"));
    // A reply that does not decode leaves the fields; the text ends at a zero byte.
    QCOMPARE(fields("!!!"), QStringLiteral("dörte/pa55 wörd"));
    QCOMPARE(fields(encodeUserPass("erin", "pw") + QByteArray("\0junk", 5)), "erin/pw");
    desktop.widget<QLineEdit>("username_edit")->setText(QString(256, QLatin1Char('u')));
    click(desktop.widget<QPushButton>("connect_button"));
    QTRY_COMPARE(desktop.boxes().size(), 1);
    QCOMPARE(desktop.boxes().first().title + '|' + QString::number(desktop.boxes().first().icon),
             QString("Connection error|%1").arg(QMessageBox::Warning));
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 0);
    QVERIFY(desktop.deliver(QByteArray()));
    QCOMPARE(desktop.receivedTypes(), QList<int>{CredentialsRequest});
    QVERIFY(TavrinTestEnvironment::logText().contains(
            "Warning: TavrinServiceConnection cannot send"));
    QCOMPARE(storedCredentials(), QString());
}

void tst_MainDialog::commands_data()
{
    QTest::addColumn<QString>("command"); // the big button, the tray's first entry, exit
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("request"); // 0: none
    for (const char *command : {"button", "tray"}) {
        QTest::addRow("%s, Connected", command) << command << 1 << int(AbortRequest);
        QTest::addRow("%s, Disconnecting", command) << command << 2 << 0;
        QTest::addRow("%s, Timeout", command) << command << 4 << int(AbortRequest);
        QTest::addRow("%s, code 200", command) << command << 200 << 0;
    }
    // Disconnected shows the chooser in the button's place: only the tray connects from there.
    QTest::newRow("tray, Disconnected") << "tray" << 3 << int(ConnectToVPNRequest);
    // Exit ends the program at once when disconnected, after the tunnel is down when connected,
    // and does nothing in between.
    for (int code : {0, 1, 2, 3, 4, 200})
        QTest::addRow("exit, code %d", code)
                << "exit" << code << (code == 1 ? int(AbortRequest) : 0);
}

void tst_MainDialog::commands()
{
    QFETCH(QString, command);
    QFETCH(int, code);
    QFETCH(int, request);
    QVPNClientSettings::setCredentials("demo", "demo");
    TavrinTestDesktop desktop({"--disconnect-delay", "600000"});
    QMainDialog *window = open(desktop);
    QVERIFY(window);
    QSignalSpy finished(window, &QDialog::finished);
    click(desktop.widget<QPushButton>("settings_button"));
    if (code == Connected || code == Timeout)
        QVERIFY(connectForReal(desktop));
    if (code != Connected) // a change to the state, from another one
        QVERIFY(desktop.deliver(
                (code == Timeout ? QByteArray() : buildStatusFrame(code == 3 ? 0 : 3))
                + buildStatusFrame(code)));
    const int before = desktop.received().size();
    if (command == "button")
        click(desktop.widget<QWidget>("connect_frame"));
    else
        (command == "tray" ? desktop.tray()->connectAction() : desktop.tray()->exitAction())
                ->trigger();
    QCOMPARE(finished.count(), command == "exit" && code == Disconnected ? 1 : 0);
    QVERIFY(desktop.deliver({}));
    QCOMPARE(desktop.receivedTypes().mid(before), request ? QList<int>{request} : QList<int>());
    if (request == ConnectToVPNRequest)
        QCOMPARE(::request(desktop.received().last()).split('|').last(),
                 encodeUserPass("demo", "demo"));
    if (command != "exit")
        QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);
    if (command == "exit" && code == Connected) { // the window waits for Disconnected
        QCOMPARE(finished.count(), 0);
        desktop.send(buildStatusFrame(Disconnected));
        QVERIFY(finished.wait(Patience));
    }
}

// While connected both commands take the connection down first; the last choice is connected
// to on the next Disconnected, without showing the Disconnected page.
void tst_MainDialog::serverChangeWhileConnected()
{
    QVPNClientSettings::setCredentials("demo", "demo");
    TavrinTestDesktop desktop({"--disconnect-delay", "600000"});
    QVERIFY(open(desktop));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.tray()->changeCountryMenu()->actions().size(), 3, Patience);
    QVERIFY(connectForReal(desktop));
    desktop.tray()->jumpToFastestAction()->trigger();
    desktop.tray()->changeCountryMenu()->actions().at(2)->trigger(); // Zambia
    QVERIFY(desktop.waitForLog("state=Disconnecting") && desktop.deliver({}));
    desktop.sim()->session()->setReading(false); // the service answers the request once asked
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(desktop.widget<QLabel>("connecton_label")->text(), QStringLiteral("DISCONNECTING"));
    desktop.sim()->session()->setReading(true);
    QVERIFY(desktop.waitForReceived(3));
    // One abort: the second choice does not repeat the one still outstanding.
    QCOMPARE(desktop.receivedTypes(),
             QList<int>({ConnectToVPNRequest, AbortRequest, ConnectToVPNRequest}));
    QCOMPARE(request(desktop.received().last()).left(10), QByteArray("127.0.0.4|"));
    // The next Disconnected is an ordinary one again.
    QVERIFY(desktop.waitForLog("state=Connected ", 2) && desktop.deliver({}));
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(desktop.widget<QLabel>("connecton_label")->text(), QStringLiteral("DISCONNECTED"));
    QCOMPARE(desktop.received().size(), 3);
}

// A close from the window manager hides the window with the tunnel on its way up; the tray
// icon's click and the Settings entry bring it back, minimised or not.
void tst_MainDialog::trayBringsTheWindowBack()
{
    QVPNClientSettings::setCredentials("demo", "demo");
    TavrinTestDesktop desktop({"--connect-delay", "600000"});
    QMainDialog *window = open(desktop);
    QVERIFY(window);
    QSignalSpy finished(window, &QDialog::finished);
    desktop.tray()->connectAction()->trigger();
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
// focus as Tab moves it, and the mouse takes it away; Space switches a check box.
void tst_MainDialog::keyboardAndFocusRing()
{
    QVPNClientSettings::setCredentials("demo", "demo");
    TavrinTestDesktop desktop;
    QMainDialog *window = open(desktop);
    QVERIFY(window && QTest::qWaitForWindowActive(window));
    const auto press = [window](int key) { QTest::keyClick(window->windowHandle(), Qt::Key(key)); };
    QCOMPARE(QApplication::focusWidget(), desktop.widget<QWidget>("username_edit"));
    press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), desktop.widget<QWidget>("password_edit"));
    press(Qt::Key_Backtab);
    press(Qt::Key_Return);
    QVERIFY(!(window->windowState() & Qt::WindowMinimized));
    QVERIFY(desktop.waitForLog("state=Connected ") && desktop.deliver({}));
    QCOMPARE(request(desktop.received().last()).split('|').last(), encodeUserPass("demo", "demo"));
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
}

void tst_MainDialog::settingsTitleFeedbackAndIcons()
{
    qputenv("TAVRIN_SITE_HOST", "https://site.tavrin.test:8080");
    QDesktopServices::setUrlHandler("https", this, "openUrl");
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    desktop.tray()->feedbackAction()->trigger();
    QDesktopServices::unsetUrlHandler("https");
    qunsetenv("TAVRIN_SITE_HOST");
    QCOMPARE(m_opened, QList<QUrl>{QUrl("https://site.tavrin.test:8080/feedback/")});

    auto *title = desktop.widget<QLabel>("title_label");
    auto *pages = desktop.widget<QStackedWidget>("stackedWidget");
    click(desktop.widget<QWidget>("password_label"));
    QCOMPARE(desktop.window()->focusWidget(), desktop.widget<QWidget>("password_edit"));
    click(desktop.widget<QPushButton>("settings_button"));
    QCOMPARE(pages->currentIndex(), 1);
    QVERIFY(!title->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(desktop.widget<QLabel>("connecton_label")->text(), QStringLiteral("DISCONNECTED"));
    QString options; // the two check boxes switch their options
    for (const char *name : {"autoStart_checkBox", "autoLogin_checkBox", "autoStart_checkBox"}) {
        auto *box = desktop.widget<QCheckBox>(name);
        click(box, QPoint(6, box->height() / 2));
        options += QString::number(QVPNClientSettings::isAutoStart())
                   + QString::number(QVPNClientSettings::getAutoLogin());
    }
    QCOMPARE(options, QStringLiteral("101101"));
    click(title); // back to the login page, in Disconnected only
    QCOMPARE(pages->currentIndex(), 0);
    QVERIFY(title->pixmap(Qt::ReturnByValue).isNull());
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", 1)));
    click(title);
    QCOMPARE(pages->currentIndex(), 1);
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
    TavrinTestDesktop desktop;
    QMainDialog *window = open(desktop);
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

void tst_MainDialog::floods_data()
{
    QTest::addColumn<QByteArray>("flood");
    QByteArray cycles;
    for (int i = 0; i < 100; ++i)
        cycles += buildStatusFrame(Connecting) + buildConnectedFrame("10.8.0.2", 1)
                  + buildStatusFrame(Disconnecting) + buildStatusFrame(Disconnected);
    QTest::newRow("state cycles") << cycles;
    QTest::newRow("Disconnected burst") << buildStatusFrame(Disconnected).repeated(1000);
}

// A flood of state frames: the window stores the unchanged credentials no more, and looks the
// address up once when the flood is over, not once per frame (the wait before the lookup is
// ended by the test, not waited out).
void tst_MainDialog::floods()
{
    QFETCH(QByteArray, flood);
    QVPNClientSettings::setCredentials("demo", "demo");
    TavrinTestDesktop desktop;
    QMainDialog *window = open(desktop);
    QVERIFY(window);
    auto *lookup = window->findChild<QPublicAddressLookup *>();
    lookup->setRetryInterval(3600000);
    const QString store = QVPNClientSettings().fileName();
    const QDateTime written = QFileInfo(store).lastModified();
    QVERIFY(desktop.deliver(flood));
    QCOMPARE(QFileInfo(store).lastModified(), written);
    QTimer *due = lookup->findChild<QTimer *>();
    QVERIFY(due && due->isActive());
    TavrinTestDesktop::expire(due);
    QTRY_COMPARE(desktop.widget<QLabel>("ipaddress_value_label")->text(), "203.0.113.10");
    QVERIFY(!due->isActive());
    QCOMPARE(desktop.log().filter("HTTP GET /get_ip").size(), 1);
}

// A service that repeats LoginFailed and reads nothing gets one abort, not one per frame.
void tst_MainDialog::serviceThatNeverReadsGetsOneAbort()
{
    QVPNClientSettings::setCredentials("demo", "demo");
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    desktop.sim()->session()->setReading(false);
    QVERIFY(desktop.deliver(buildFrame(LoginFailed).repeated(20000)));
    desktop.sim()->session()->setReading(true);
    QVERIFY(desktop.waitForReceived(1) && desktop.deliver({}));
    QCOMPARE(desktop.receivedTypes(), QList<int>{AbortRequest});
}

// A list of 25,000 servers is cut at 20,000, with a line in the log; the menu fills a slice at
// a time, the window answering between the slices.
void tst_MainDialog::hugeServerList()
{
    QByteArray list = "{";
    for (int i = 0; i < 25000; ++i)
        list += QStringLiteral(R"("S%1":{"code":"DE","host":"h"},)")
                        .arg(i, 6, 10, QChar('0'))
                        .toLatin1();
    list[list.size() - 1] = '}';
    TavrinTestDesktop desktop;
    desktop.setServerList(list);
    QVERIFY(desktop.start() && desktop.openWindow());
    QMenu *menu = desktop.tray()->changeCountryMenu();
    QSet<int> seen; // the menu's sizes at the turns of the event loop
    QTimer turn;
    connect(&turn, &QTimer::timeout, [&] { seen.insert(menu->actions().size()); });
    turn.start(0);
    QTRY_COMPARE_WITH_TIMEOUT(menu->actions().size(), 20000, Patience);
    QVERIFY(seen.contains(QTavrinTray::EntriesPerSlice));
    QCOMPARE(desktop.widget<QVPNServerComboBox>("comboBox")->count(), 20000);
    QVERIFY(TavrinTestEnvironment::logText().contains("more than 20000 servers"));
}

TAVRIN_TEST_MAIN(tst_MainDialog)
#include "tst_maindialog.moc"
