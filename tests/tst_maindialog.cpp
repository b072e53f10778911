// The main window in-process against the stand-in service and web API, driven as a person
// drives it: mouse and keys go through the window system's event path (QTest on the window
// handle), so that Qt's popup, focus and default-button handling run as on a desktop.

#include "service/tavrincredentials.h"
#include "service/tavrinframe.h"
#include "settings/qvpnclientsettings.h"
#include "sim/qtavrinsimsession.h"
#include "tavrintestdesktop.h"
#include "tavrintestenvironment.h"
#include "ui/qconnectionclock.h"
#include "ui/qpublicaddresslookup.h"
#include "widgets/qfocusring.h"
#include "widgets/qvpnservercombobox.h"

#include <QtCore/qabstracteventdispatcher.h>
#include <QtCore/qelapsedtimer.h>
#include <QtCore/qfileinfo.h>
#include <QtCore/qregularexpression.h>
#include <QtGui/qdesktopservices.h>
#include <QtGui/qscreen.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qabstractitemview.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qcheckbox.h>
#include <QtWidgets/qlabel.h>
#include <QtWidgets/qlineedit.h>
#include <QtWidgets/qpushbutton.h>
#include <QtWidgets/qstackedwidget.h>

namespace {

const int Patience = 20000;
// The stand-in's list for these tests: "Automatic" is not the first row.
const char serverList[] = R"({"Zambia": {"code": "ZM", "host": "127.0.0.4"},
    "Automatic": {"code": "auto", "host": "127.0.0.3"},
    "Trinidad & Tobago": {"code": "TT", "host": "127.0.0.2"}})";

QByteArray hostOf(const QByteArray &frame)
{
    QByteArray host;
    return parseConnectRequest(frame, &host, nullptr) ? host : QByteArray("no connect request");
}

QByteArray credentialsOf(const QByteArray &frame)
{
    QByteArray credentials;
    return parseConnectRequest(frame, nullptr, &credentials) ? credentials : QByteArray();
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
    if (pos == QPoint(-1, -1))
        pos = widget->rect().center();
    QWidget *window = widget->window();
    QTest::mouseClick(window->windowHandle(), button, {}, widget->mapTo(window, pos));
}

QWidget *popupOf(QVPNServerComboBox *chooser)
{
    return chooser->view()->isVisible() ? chooser->view()->window() : nullptr;
}

// A click on a row of the open popup, x pixels from the row's left end.
void clickRow(QVPNServerComboBox *chooser, int row, int x)
{
    QWidget *viewport = chooser->view()->viewport();
    const QPoint at(x, chooser->view()->visualRect(chooser->model()->index(row, 0)).center().y());
    QTest::mouseClick(popupOf(chooser)->windowHandle(), Qt::LeftButton, {},
                      viewport->mapTo(popupOf(chooser), at));
}

// Connects through the stand-in with the demo account (the fields as the settings filled them)
// and waits until the window shows the tunnel up.
bool connectForReal(TavrinTestDesktop &desktop)
{
    desktop.tray()->connectAction()->trigger();
    return desktop.waitForLog("state=Connected ") && desktop.deliver({})
           && desktop.widget<QLabel>("connecton_label")->text() == QLatin1String("CONNECTED");
}

// The longest the event loop may be away while the window works through a flood: the window's
// promise, with room for the sanitizer build, which runs everything several times slower.
#if defined(__SANITIZE_ADDRESS__)
const qint64 LongestPause = 400;
#elif defined(__has_feature)
const qint64 LongestPause = __has_feature(address_sanitizer) ? 400 : 100;
#else
const qint64 LongestPause = 100;
#endif

// Runs the work, noting the longest time the event loop was away meanwhile (-1 when the work
// failed).
qint64 longestPause(const std::function<bool()> &work)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = qMax(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start(2);
    return work() ? qMax(longest, clock.elapsed() - last) : -1;
}

quint32 secondsFromNow(qint64 seconds)
{
    return quint32(QDateTime::currentSecsSinceEpoch() + seconds);
}

// The one-second timers of the window's clock.
QList<QAbstractEventDispatcher::TimerInfo> clockTimers(QObject *window)
{
    QList<QAbstractEventDispatcher::TimerInfo> timers;
    QObject *clock = window->findChild<QConnectionClock *>();
    for (const auto &timer : QAbstractEventDispatcher::instance()->registeredTimers(clock)) {
        if (timer.interval == 1000)
            timers.append(timer);
    }
    return timers;
}

// Opens a window on the stand-in, the list above served and the settings as the test left them.
QMainDialog *open(TavrinTestDesktop &desktop, bool withService = true)
{
    desktop.setServerList(serverList);
    return desktop.start(withService) ? desktop.openWindow() : nullptr;
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
    void serverListFillsChooserAndMenu();
    void stateDisplay_data();
    void stateDisplay();
    void clock_data();
    void clock();
    void loginFailureShownOnNextDisconnected();
    void credentialsReplyFillsTheFields();
    void connectCommand_data();
    void connectCommand();
    void serverChangeWhileDisconnected_data();
    void serverChangeWhileDisconnected();
    void serverChangeWhileConnected();
    void exit_data();
    void exit();
    void chooserWithTheMouse();
    void optionsAndStars();
    void keyboardAndTheTray();
    void keyboardOnly();
    void refusedRequestIsShown();
    void settingsTitleFeedbackAndIcons();
    void chrome_data();
    void chrome();
    void floodsKeepTheWindowAnswering_data();
    void floodsKeepTheWindowAnswering();
    void framesAreHandledWhileABoxIsOpen();
    void serviceThatNeverReadsGetsOneAbort();
    void graphPaintsAtMostThirtyTimesASecond();
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
    QCOMPARE(window->size(), QSize(344, 545));
    QVERIFY(desktop.tray()->icon()->isVisible());
    QCOMPARE(desktop.widget<QLineEdit>("username_edit")->text(), stored ? "alice" : "");
    QCOMPARE(desktop.widget<QCheckBox>("autoStart_checkBox")->isChecked(), stored);
    QCOMPARE(desktop.widget<QCheckBox>("autoLogin_checkBox")->isChecked(), autoLogin);
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), autoLogin ? 1 : 0);
    // Reading the options at start writes nothing back.
    QCOMPARE(QVPNClientSettings::isAutoStart(), stored);

    // Auto-login does not wait for the answer to the credentials request: empty fields go out.
    QVERIFY(desktop.deliver(QByteArray()));
    QCOMPARE(desktop.receivedTypes(), startFrames);
    if (!autoLogin)
        click(desktop.widget<QPushButton>("connect_button"));
    QVERIFY(desktop.waitForReceived(startFrames.size() + (autoLogin ? 0 : 1)));
    const QByteArray request = desktop.received().last();
    QCOMPARE(hostOf(request), stored ? QByteArray("127.0.0.9") : tavrinAutoHostname().toUtf8());
    QCOMPARE(credentialsOf(request), stored ? encodeUserPass("alice", "s3cret pass")
                                            : encodeUserPass(QString(), QString()));
    QVERIFY(desktop.waitForLog("^HTTP GET /get_list/"));
}

void tst_MainDialog::serviceUnreachable()
{
    TavrinTestDesktop desktop;
    QMainDialog *window = open(desktop, false);
    QVERIFY(window);
    QVERIFY(!window->isServiceAvailable() && !window->isInitialized());
    QCOMPARE(desktop.boxes().size(), 1);
    const TavrinTestDesktop::Box box = desktop.boxes().first();
    QCOMPARE(box.title + '|' + box.text,
             QStringLiteral("Connection error|Can't connect to Tavrin service."));
    QCOMPARE(box.icon, QMessageBox::Critical);
    // Centred on the screen the window would have opened on, not in its corner.
    const QPoint offset = box.geometry.center()
                          - QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() < 100, qPrintable(QString::number(offset.x())));
    QVERIFY(!desktop.tray()->icon()->isVisible());
    QTest::qWait(50);
    QVERIFY(desktop.log().filter("HTTP GET").isEmpty());
}

// The chooser and the change-country menu hold the list in key order; the favourites come from
// the settings; the server remembered from the last run stays on the face; names are shown as
// they are, "&" included, and each entry connects to its own server.
void tst_MainDialog::serverListFillsChooserAndMenu()
{
    QVPNClientSettings::setFavoriteServers("Zambia");
    QVPNClientSettings::setConnection({"Zambia", "ZM", "127.0.0.4"});
    const QString longName(10000, QLatin1Char('W'));
    TavrinTestDesktop desktop;
    desktop.setServerList(
            QByteArray(serverList)
                    .replace("}}", QStringLiteral("}, \"%1\": {\"code\": \"WW\", \"host\": \"w\"}}")
                                           .arg(longName)
                                           .toLatin1()));
    QVERIFY(desktop.start() && desktop.openWindow());
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 4, Patience);
    QCOMPARE(chooser->serverAt(0).name, QStringLiteral("Automatic"));
    QCOMPARE(chooser->favoriteServers(), QStringLiteral("Zambia"));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Zambia"));
    QCOMPARE(chooser->currentIndex(), 3);

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
    QCOMPARE(hostOf(desktop.received().last()), QByteArray("127.0.0.2"));
}

void tst_MainDialog::stateDisplay_data()
{
    // State strip | big button | country | page, button page, time page | tray icon | tray's
    // first entry | the tray entries enabled | status box.
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");
    const QString unknown = "UNKNOWN|Disconnected||0 0 0|tray_off|Connect|1111111|"
                            "Unknown VPN connection state.";
    QTest::newRow("Connecting") << 0
                                << "CONNECTING|Connecting..|Freedonia|1 0 0|tray_connect|"
                                   "Connecting|0100101|VPN connection is trying to connect to "
                                   "Freedonia.";
    QTest::newRow("Connected") << 1
                               << "CONNECTED|Disconnect|Freedonia|1 0 0|tray_on|Disconnect|"
                                  "1111101|VPN connection is connected to Freedonia.";
    QTest::newRow("Disconnecting") << 2
                                   << "DISCONNECTING|Disconnecting..||0 0 0|tray_connect|"
                                      "Disconnect|0100101|VPN connection is disconnected.";
    QTest::newRow("Disconnected") << 3
                                  << "DISCONNECTED|Connect|Freedonia|0 1 1|tray_off|Connect|"
                                     "1111111|VPN connection is disconnected.";
    QTest::newRow("Timeout") << 4
                             << "TIMEOUT|Disconnect|Freedonia|1 0 0|tray_off|Disconnect|1111101|"
                                "VPN connection is disconnecting, but it's trying to connect to "
                                "Freedonia.";
    QTest::newRow("code 200") << 200 << unknown;
    QTest::newRow("code -1") << 255 << unknown;
}

void tst_MainDialog::stateDisplay()
{
    QFETCH(int, code);
    QFETCH(QString, expected);
    QVPNClientSettings::setConnection({"Freedonia", "FD", "127.0.0.9"});
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    desktop.widget<QLineEdit>("username_edit")->setText("alice");
    desktop.widget<QLineEdit>("password_edit")->setText("secret");
    QVERIFY(desktop.deliver(code == Connected ? buildConnectedFrame("10.8.0.2", 1)
                                              : buildStatusFrame(quint8(code))));

    const auto text = [&](const char *name) { return desktop.widget<QLabel>(name)->text(); };
    const auto page = [&](const char *name) {
        return QString::number(desktop.widget<QStackedWidget>(name)->currentIndex());
    };
    QString enabled;
    for (QAction *entry : desktop.tray()->menu()->actions())
        enabled += entry->isEnabled() && (!entry->menu() || entry->menu()->isEnabled()) ? '1' : '0';
    const QImage trayIcon = desktop.tray()->icon()->icon().pixmap(32).toImage();
    QString icon;
    for (const char *name : {"tray_off", "tray_connect", "tray_on"}) {
        if (QIcon(QStringLiteral(":/imgs/tray/%1.ico").arg(name)).pixmap(32).toImage() == trayIcon)
            icon = name;
    }
    desktop.tray()->statusAction()->trigger();
    QCOMPARE(QStringList({text("connecton_label"), text("connect_label"),
                          text("connect_country_label"),
                          page("stackedWidget") + ' ' + page("connect_stackedWidget") + ' '
                                  + page("timeconnected_section"),
                          icon, desktop.tray()->connectAction()->text(), enabled,
                          desktop.boxes().value(0).text})
                     .join('|'),
             expected);
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
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(-7322))));
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(startFromNow))));
    QVERIFY2(QRegularExpression(pattern).match(time->text()).hasMatch(), qPrintable(time->text()));
    QCOMPARE(clockTimers(window).size(), 1); // the newer connection's clock only

    QVERIFY(desktop.deliver(buildStatusFrame(Timeout)));
    QCOMPARE(time->text(), QString());
    QTimerEvent tick(clockTimers(window).first().timerId);
    QCoreApplication::sendEvent(window->findChild<QConnectionClock *>(), &tick);
    QVERIFY(QRegularExpression(pattern).match(time->text()).hasMatch());
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnecting)));
    QVERIFY(clockTimers(window).isEmpty());
}

// A wrong password through the stand-in: the window aborts and shows the failure once, on the
// next Disconnected, back on the login page; nothing is stored.
void tst_MainDialog::loginFailureShownOnNextDisconnected()
{
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    desktop.widget<QLineEdit>("username_edit")->setText("demo");
    desktop.widget<QLineEdit>("password_edit")->setText("wrong");
    click(desktop.widget<QPushButton>("connect_button"));
    QVERIFY(desktop.waitForLog("^TUNNEL session=1 state=Disconnected"));
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(desktop.receivedTypes(),
             QList<int>({CredentialsRequest, ConnectToVPNRequest, AbortRequest}));
    QTRY_COMPARE(desktop.boxes().size(), 1);
    QCOMPARE(desktop.boxes().first().title + '|' + desktop.boxes().first().text,
             "Login error|Login failed.\nPlease check your username and password and try again.");
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 0);
    QCOMPARE(storedCredentials(), QString());
}

void tst_MainDialog::credentialsReplyFillsTheFields()
{
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    const auto fields = [&]() -> QString {
        return desktop.widget<QLineEdit>("username_edit")->text() + '/'
               + desktop.widget<QLineEdit>("password_edit")->text();
    };
    QVERIFY(desktop.deliver(buildCredentialsReplyFrame(encodeUserPass("dörte", "pa55 wörd"))));
    QCOMPARE(fields(), QStringLiteral("dörte/pa55 wörd"));
    // A reply that does not decode leaves the fields; the text ends at a zero byte.
    QVERIFY(desktop.deliver(buildCredentialsReplyFrame("!!!")));
    QCOMPARE(fields(), QStringLiteral("dörte/pa55 wörd"));
    QVERIFY(desktop.deliver(
            buildCredentialsReplyFrame(encodeUserPass("erin", "pw") + QByteArray("\0junk", 5))));
    QCOMPARE(fields(), QStringLiteral("erin/pw"));
    QCOMPARE(storedCredentials(), QString());
}

void tst_MainDialog::connectCommand_data()
{
    QTest::addColumn<bool>("fromTray"); // else the big button
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("request"); // 0: none
    for (bool fromTray : {false, true}) {
        const char *via = fromTray ? "tray" : "button";
        QTest::addRow("%s, Connected", via) << fromTray << 1 << int(AbortRequest);
        QTest::addRow("%s, Disconnecting", via) << fromTray << 2 << 0;
        QTest::addRow("%s, Timeout", via) << fromTray << 4 << int(AbortRequest);
        QTest::addRow("%s, code 200", via) << fromTray << 200 << 0;
    }
    // Disconnected shows the chooser in the button's place: only the tray connects from there.
    QTest::newRow("tray, Disconnected") << true << 3 << int(ConnectToVPNRequest);
}

void tst_MainDialog::connectCommand()
{
    QFETCH(bool, fromTray);
    QFETCH(int, code);
    QFETCH(int, request);
    QVPNClientSettings::setCredentials("demo", "demo");
    TavrinTestDesktop desktop({"--disconnect-delay", "600000"});
    QVERIFY(open(desktop));
    click(desktop.widget<QPushButton>("settings_button"));
    if (code == Connected || code == Timeout)
        QVERIFY(connectForReal(desktop));
    if (code != Connected && code != Disconnected)
        QVERIFY(desktop.deliver(buildStatusFrame(quint8(code))));
    const int before = desktop.received().size();
    if (fromTray)
        desktop.tray()->connectAction()->trigger();
    else
        click(desktop.widget<QWidget>("connect_frame"));
    QVERIFY(desktop.deliver({}));
    QCOMPARE(desktop.receivedTypes().mid(before), request ? QList<int>{request} : QList<int>());
    if (request == ConnectToVPNRequest)
        QCOMPARE(credentialsOf(desktop.received().last()), encodeUserPass("demo", "demo"));
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);
}

void tst_MainDialog::serverChangeWhileDisconnected_data()
{
    QTest::addColumn<int>("command"); // 0 the chooser's face, 1 jump to fastest, 2 a country
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QByteArray>("host");
    QTest::newRow("chooser") << 0 << QByteArray(serverList) << QByteArray("127.0.0.4");
    QTest::newRow("jump to fastest") << 1 << QByteArray(serverList) << QByteArray("127.0.0.3");
    QTest::newRow("change country") << 2 << QByteArray(serverList) << QByteArray("127.0.0.4");
    // Without an "Automatic" row the settings' automatic entry serves.
    QTest::newRow("jump, no list") << 1 << QByteArray("broken") << tavrinAutoHostname().toUtf8();
}

void tst_MainDialog::serverChangeWhileDisconnected()
{
    QFETCH(int, command);
    QFETCH(QByteArray, list);
    QFETCH(QByteArray, host);
    TavrinTestDesktop desktop({"--list-body", list == "broken" ? "broken" : "normal"});
    QVERIFY(open(desktop));
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), list == "broken" ? 0 : 3, Patience);
    QVERIFY(desktop.waitForLog("^HTTP GET /get_list"));
    if (command == 0) {
        click(desktop.widget<QPushButton>("settings_button"));
        chooser->setCurrentIndex(2);
        click(chooser, QPoint(10, chooser->height() / 2));
    } else if (command == 1) {
        desktop.tray()->jumpToFastestAction()->trigger();
    } else {
        // The menu fills in slices after the chooser.
        QMenu *menu = desktop.tray()->changeCountryMenu();
        QTRY_COMPARE_WITH_TIMEOUT(menu->actions().size(), 3, Patience);
        menu->actions().at(2)->trigger();
    }
    QVERIFY(desktop.waitForReceived(2));
    QCOMPARE(hostOf(desktop.received().last()), host);
    QCOMPARE(chooser->currentServer().hostname.toUtf8(), host);
    // Only a choice in the chooser is remembered.
    QCOMPARE(QVPNClientSettings::getConnection().hostname.toUtf8(),
             command == 0 ? host : tavrinAutoHostname().toUtf8());
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
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)) && desktop.waitForReceived(3));
    // One abort: the second choice does not repeat the one still outstanding.
    QCOMPARE(desktop.receivedTypes(),
             QList<int>({ConnectToVPNRequest, AbortRequest, ConnectToVPNRequest}));
    QCOMPARE(hostOf(desktop.received().last()), QByteArray("127.0.0.4"));
    QCOMPARE(desktop.widget<QLabel>("connecton_label")->text(), QStringLiteral("DISCONNECTING"));
    // The next Disconnected is an ordinary one again.
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(desktop.widget<QLabel>("connecton_label")->text(), QStringLiteral("DISCONNECTED"));
    QCOMPARE(desktop.received().size(), 3);
}

void tst_MainDialog::exit_data()
{
    QTest::addColumn<int>("code");
    for (int code : {0, 1, 2, 3, 4, 200})
        QTest::addRow("code %d", code) << code;
}

// Exit ends the program at once when disconnected, after the tunnel is down when connected,
// and does nothing in between.
void tst_MainDialog::exit()
{
    QFETCH(int, code);
    QVPNClientSettings::setCredentials("demo", "demo");
    TavrinTestDesktop desktop({"--disconnect-delay", "600000"});
    QMainDialog *window = open(desktop);
    QVERIFY(window);
    QSignalSpy finished(window, &QDialog::finished);
    if (code == Connected)
        QVERIFY(connectForReal(desktop));
    else
        QVERIFY(desktop.deliver(buildStatusFrame(code == 3 ? 0 : 3) + buildStatusFrame(code)));
    desktop.tray()->exitAction()->trigger();
    QCOMPARE(finished.count(), code == Disconnected ? 1 : 0);
    if (code != Connected)
        return;
    // Connected: the tunnel goes down first; the window waits for Disconnected.
    QVERIFY(desktop.waitForLog("state=Disconnecting") && desktop.deliver({}));
    QCOMPARE(desktop.receivedTypes().last(), int(AbortRequest));
    QCOMPARE(finished.count(), 0);
    desktop.send(buildStatusFrame(Disconnected));
    QVERIFY(finished.wait(Patience));
}

// The popup opens on the press on its button and stays open after the release; a click on a
// row picks it, a click outside closes the list, holding the button from the face and letting
// go over a row picks that row; the face then connects to the server shown.
void tst_MainDialog::chooserWithTheMouse()
{
    TavrinTestDesktop desktop({"--connect-delay", "600000"});
    QVERIFY(open(desktop));
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    click(desktop.widget<QPushButton>("settings_button"));
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, Patience);
    QVERIFY(QTest::qWaitForWindowExposed(chooser->window()));
    const QPoint popupButton(chooser->width() - 30, chooser->height() / 2);

    click(chooser, popupButton);
    QTRY_VERIFY(popupOf(chooser));
    QTest::qWait(20);
    QVERIFY2(popupOf(chooser), "the release of the opening click closed the list");
    clickRow(chooser, 2, 150);
    QTRY_VERIFY(!popupOf(chooser));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Zambia"));

    click(chooser, popupButton);
    QTRY_VERIFY(popupOf(chooser));
    QTest::mouseClick(popupOf(chooser)->windowHandle(), Qt::LeftButton, {}, QPoint(-40, -40));
    QTRY_VERIFY(!popupOf(chooser));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Zambia"));

    QWidget *window = desktop.window();
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, {},
                      chooser->mapTo(window, popupButton));
    QTRY_VERIFY(popupOf(chooser));
    const QRect row = chooser->view()->visualRect(chooser->model()->index(0, 0));
    const QPoint target = popupOf(chooser)->mapFromGlobal(
            chooser->view()->viewport()->mapToGlobal(row.center()));
    QTest::mouseMove(popupOf(chooser)->windowHandle(), target);
    QTest::mouseRelease(popupOf(chooser)->windowHandle(), Qt::LeftButton, {}, target);
    QTRY_VERIFY(!popupOf(chooser));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Automatic"));

    click(chooser, QPoint(20, chooser->height() / 2));
    QVERIFY(desktop.waitForReceived(2));
    QCOMPARE(hostOf(desktop.received().last()), QByteArray("127.0.0.3"));
    QCOMPARE(QVPNClientSettings::getConnection().name, QStringLiteral("Automatic"));
}

// A click on a star in the list toggles the favourite and keeps the list open; the two check
// boxes switch their options.
void tst_MainDialog::optionsAndStars()
{
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    click(desktop.widget<QPushButton>("settings_button"));
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, Patience);
    QVERIFY(QTest::qWaitForWindowExposed(chooser->window()));
    click(chooser, QPoint(chooser->width() - 30, chooser->height() / 2));
    QTRY_VERIFY(popupOf(chooser));
    for (int row : {0, 2, 0}) {
        clickRow(chooser, row, 30);
        QVERIFY(popupOf(chooser));
    }
    QCOMPARE(QVPNClientSettings::getFavoriteServers(), QStringLiteral("Zambia"));
    chooser->hidePopup();

    auto *autoStart = desktop.widget<QCheckBox>("autoStart_checkBox");
    auto *autoLogin = desktop.widget<QCheckBox>("autoLogin_checkBox");
    click(autoStart, QPoint(6, autoStart->height() / 2));
    QVERIFY(QVPNClientSettings::isAutoStart() && !QVPNClientSettings::getAutoLogin());
    click(autoLogin, QPoint(6, autoLogin->height() / 2));
    QVERIFY(QVPNClientSettings::getAutoLogin());
    click(autoStart, QPoint(6, autoStart->height() / 2));
    QVERIFY(!QVPNClientSettings::isAutoStart());
}

// Enter in the user name field logs in as the Connect button does (the minimise button, first
// in the dialog, is no default button); a close from the window manager hides the window with
// the tunnel up; the tray icon's click and the Settings entry bring it back, minimised or not.
void tst_MainDialog::keyboardAndTheTray()
{
    TavrinTestDesktop desktop({"--connect-delay", "600000"});
    QMainDialog *window = open(desktop);
    QVERIFY(window && QTest::qWaitForWindowActive(window));
    QSignalSpy finished(window, &QDialog::finished);
    click(desktop.widget<QLineEdit>("username_edit"));
    QTest::keyClick(window->windowHandle(), 'a');
    QTest::keyClick(window->windowHandle(), Qt::Key_Return);
    QVERIFY(!(window->windowState() & Qt::WindowMinimized));
    QVERIFY(desktop.waitForReceived(2));
    QCOMPARE(credentialsOf(desktop.received().last()), encodeUserPass("a", ""));

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

// Everything with keys alone: log in, disconnect, pick a server and mark it a favourite in the
// list, connect to it, and exit. Tab moves the focus and the outline follows it.
void tst_MainDialog::keyboardOnly()
{
    QVPNClientSettings::setCredentials("", "");
    TavrinTestDesktop desktop;
    QMainDialog *window = open(desktop);
    QVERIFY(window && QTest::qWaitForWindowActive(window));
    QSignalSpy finished(window, &QDialog::finished);
    const auto press = [window](int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(window->windowHandle(), Qt::Key(key), modifiers);
    };
    const auto focused = [&desktop](const char *name) {
        return QApplication::focusWidget() == desktop.widget<QWidget>(name);
    };
    const auto type = [window](const char *text) {
        for (const char *c = text; *c; ++c)
            QTest::keyClick(window->windowHandle(), *c);
    };
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, Patience);
    QVERIFY(focused("username_edit"));
    type("demo");
    press(Qt::Key_Tab);
    type("demo");
    press(Qt::Key_Return);
    QVERIFY(desktop.waitForLog("state=Connected ") && desktop.deliver({}));
    QVERIFY(focused("connect_frame"));
    press(Qt::Key_Space);
    QVERIFY(desktop.waitForLog("state=Disconnected") && desktop.deliver({}));
    QTRY_VERIFY(focused("comboBox"));

    press(Qt::Key_Space);
    QTRY_VERIFY(popupOf(chooser));
    press(Qt::Key_Down);
    press(Qt::Key_End);
    press(Qt::Key_Space); // the star of the row under the cursor
    QVERIFY(popupOf(chooser));
    press(Qt::Key_Return);
    QTRY_VERIFY(!popupOf(chooser));
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Zambia"));
    QCOMPARE(QVPNClientSettings::getFavoriteServers(), QStringLiteral("Zambia"));
    press(Qt::Key_Space);
    QTRY_VERIFY(popupOf(chooser));
    QTest::keyClick(popupOf(chooser)->windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(!popupOf(chooser));
    QVERIFY(window->isVisible());

    auto *ring = window->findChild<QFocusRing *>();
    QTRY_COMPARE(ring->target(), chooser); // the keyboard has been in use since the login
    press(Qt::Key_Tab);
    QTRY_COMPARE(ring->target(), desktop.widget<QWidget>("autoStart_checkBox"));
    press(Qt::Key_Space);
    QVERIFY(QVPNClientSettings::isAutoStart());
    press(Qt::Key_Backtab);
    QTRY_COMPARE(ring->target(), chooser);
    click(desktop.widget<QWidget>("bandwidth_widget")); // the mouse: no outline
    QTRY_VERIFY(!ring->target());
    press(Qt::Key_Return);
    QVERIFY(desktop.waitForLog("connect host=127.0.0.4 outcome=success"));
    QVERIFY(desktop.waitForLog("state=Connected ", 2) && desktop.deliver({}));
    press(Qt::Key_Q, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Patience);
    QCOMPARE(desktop.receivedTypes().count(AbortRequest), 2);
}

// A request the service connection cannot send is shown, logged, and changes nothing.
void tst_MainDialog::refusedRequestIsShown()
{
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    desktop.widget<QLineEdit>("username_edit")->setText(QString(256, QLatin1Char('u')));
    click(desktop.widget<QPushButton>("connect_button"));
    QTRY_COMPARE(desktop.boxes().size(), 1);
    QCOMPARE(desktop.boxes().first().title, QStringLiteral("Connection error"));
    QCOMPARE(desktop.boxes().first().icon, QMessageBox::Warning);
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 0);
    QVERIFY(desktop.deliver(QByteArray()));
    QCOMPARE(desktop.receivedTypes(), QList<int>{CredentialsRequest});
    QFile log(TavrinTestEnvironment::instance()->home() + "/tavrin-client.log");
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("Warning: TavrinServiceConnection cannot send"));
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

void tst_MainDialog::floodsKeepTheWindowAnswering_data()
{
    QTest::addColumn<QByteArray>("flood");
    QByteArray cycles, burst;
    for (int i = 0; i < 500; ++i)
        cycles += buildStatusFrame(Connecting) + buildConnectedFrame("10.8.0.2", 1)
                  + buildStatusFrame(Disconnecting) + buildStatusFrame(Disconnected);
    for (int i = 0; i < 5000; ++i)
        burst += buildStatusFrame(Disconnected);
    QTest::newRow("state cycles") << cycles;
    QTest::newRow("Disconnected burst") << burst;
}

// A flood of state frames: the window keeps answering, stores the unchanged credentials no
// more, and looks the address up about once, not once per frame.
void tst_MainDialog::floodsKeepTheWindowAnswering()
{
    QFETCH(QByteArray, flood);
    QVPNClientSettings::setCredentials("demo", "demo");
    TavrinTestDesktop desktop;
    QMainDialog *window = open(desktop);
    QVERIFY(window);
    window->findChild<QPublicAddressLookup *>()->setRetryInterval(10);
    const QString store = QVPNClientSettings().fileName();
    const QDateTime written = QFileInfo(store).lastModified();
    const qint64 pause = longestPause([&] { return desktop.deliver(flood); });
    QVERIFY2(pause >= 0 && pause < LongestPause, qPrintable(QString::number(pause)));
    QCOMPARE(QFileInfo(store).lastModified(), written);
    QTRY_VERIFY(!desktop.log().filter("HTTP GET /get_ip").isEmpty());
    QTest::qWait(50);
    // A lookup goes out once a state has stood for the (shortened) retry interval: a slow
    // machine may send several during the flood; one per Connected would be 500.
    const int lookups = desktop.log().filter("HTTP GET /get_ip").size();
    QVERIFY2(lookups < 50, qPrintable(QString::number(lookups)));
}

// The login failure's box is open while the service goes on sending: its frames are read and
// shown all the same. The checks run inside the box's own event loop.
void tst_MainDialog::framesAreHandledWhileABoxIsOpen()
{
    TavrinTestDesktop desktop;
    QVERIFY(open(desktop));
    desktop.holdBoxes(true);
    bool shownWhileOpen = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            watcher.stop();
            shownWhileOpen = desktop.deliver(buildStatusFrame(Timeout)) && box->isVisible()
                             && desktop.widget<QLabel>("connecton_label")->text() == "TIMEOUT";
            box->accept();
        }
    });
    watcher.start(10);
    desktop.widget<QLineEdit>("username_edit")->setText("demo");
    click(desktop.widget<QPushButton>("connect_button")); // an empty password fails
    QTRY_VERIFY_WITH_TIMEOUT(shownWhileOpen, Patience);
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
    QVERIFY(desktop.waitForReceived(1));
    QVERIFY(desktop.deliver({}));
    QCOMPARE(desktop.receivedTypes(), QList<int>{AbortRequest});
}

// Samples a millisecond apart are all kept, but the graph is painted some thirty times a
// second.
void tst_MainDialog::graphPaintsAtMostThirtyTimesASecond()
{
    TavrinTestDesktop desktop;
    QMainDialog *window = open(desktop);
    QVERIFY(window && QTest::qWaitForWindowExposed(window));
    click(desktop.widget<QPushButton>("settings_button"));
    QWidget *graph = desktop.widget<QWidget>("bandwidth_widget");
    int paints = 0;
    struct Counter : QObject
    {
        int *paints;
        bool eventFilter(QObject *, QEvent *event) override
        {
            *paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    counter.paints = &paints;
    graph->installEventFilter(&counter);
    QTimer sampler;
    quint32 total = 0;
    connect(&sampler, &QTimer::timeout,
            [&] { desktop.send(buildBandwidthFrame(1, total += 997, 0)); });
    QElapsedTimer clock;
    clock.start();
    sampler.start(1);
    QTest::qWait(300);
    sampler.stop();
    QVERIFY(desktop.deliver({}));
    QVERIFY2(paints <= clock.elapsed() / 33 + 3, qPrintable(QString::number(paints)));
    QVERIFY(paints > 0);
}

// A list of 100,000 servers is cut at 20,000, with a line in the log; the chooser and the menu
// fill while the window keeps answering.
void tst_MainDialog::hugeServerList()
{
    QByteArray list = "{";
    for (int i = 0; i < 100000; ++i)
        list += QStringLiteral(R"("S%1":{"code":"DE","host":"h"},)")
                        .arg(i, 6, 10, QLatin1Char('0'))
                        .toLatin1();
    list[list.size() - 1] = '}';
    TavrinTestDesktop desktop;
    desktop.setServerList(list);
    QVERIFY(desktop.start() && desktop.openWindow());
    QMenu *menu = desktop.tray()->changeCountryMenu();
    const qint64 pause = longestPause([&] {
        return QTest::qWaitFor([&] { return menu->actions().size() == 20000; }, 60000);
    });
    QVERIFY2(pause >= 0 && pause < LongestPause, qPrintable(QString::number(pause)));
    QCOMPARE(desktop.widget<QVPNServerComboBox>("comboBox")->count(), 20000);
    QFile log(TavrinTestEnvironment::instance()->home() + "/tavrin-client.log");
    QVERIFY(log.open(QIODevice::ReadOnly) && log.readAll().contains("more than 20000 servers"));
}

TAVRIN_TEST_MAIN(tst_MainDialog)
#include "tst_maindialog.moc"
