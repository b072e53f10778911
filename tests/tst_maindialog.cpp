// The main window in-process, against a real local socket peer standing in for the VPN service
// and a loopback web API: construction, the display of every state, the clock, the commands of
// the window and of the tray menu, and the frames the service receives.

#include "qvpnclientsettings.h"
#include "qvpnlistservers.h"
#include "qvpnservercombobox.h"
#include "tavrincredentials.h"
#include "tavrindeployment.h"
#include "tavrinfakedesktop.h"
#include "tavrinframe.h"
#include "tavrintestenvironment.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qregularexpression.h>
#include <QtGui/qdesktopservices.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qcheckbox.h>
#include <QtWidgets/qlabel.h>
#include <QtWidgets/qlineedit.h>
#include <QtWidgets/qpushbutton.h>
#include <QtWidgets/qstackedwidget.h>

namespace {

const QString keep = QStringLiteral("=");
const QString seed = QStringLiteral("seed");
const VPNServer freedonia{QStringLiteral("Freedonia"), QStringLiteral("FD"),
                          QStringLiteral("127.0.0.9")};

QImage imageOf(const QString &path)
{
    return QPixmap(path).toImage();
}

QImage trayImage(const QIcon &icon)
{
    return icon.pixmap(QSize(32, 32)).toImage();
}

QImage trayImage(const QString &name)
{
    return trayImage(QIcon(QStringLiteral(":/imgs/tray/") + name));
}

QByteArray hostOf(const QByteArray &frame)
{
    QByteArray host;
    QByteArray credentials;
    return parseConnectRequest(frame, &host, &credentials) ? host : QByteArray("not a request");
}

QByteArray credentialsOf(const QByteArray &frame)
{
    QByteArray host;
    QByteArray credentials;
    return parseConnectRequest(frame, &host, &credentials) ? credentials : QByteArray("none");
}

QString storedCredentials()
{
    QString username;
    QString password;
    if (!QVPNClientSettings::getCredentials(username, password))
        return QString();
    return username + '/' + password;
}

// Every box the user dismissed, one line each.
QString boxes(const TavrinFakeUser &user)
{
    QStringList lines;
    for (const TavrinFakeUser::Box &box : user.boxes()) {
        lines.append(box.title + '|' + box.text + '|' + QString::number(box.icon)
                     + (box.hasParent ? "|parent" : "|no parent"));
    }
    return lines.join('\n');
}

QString box(const QString &title, const QString &text, QMessageBox::Icon icon)
{
    return title + '|' + text + '|' + QString::number(icon) + "|parent";
}

quint32 secondsFromNow(qint64 seconds)
{
    return quint32(QDateTime::currentSecsSinceEpoch() + seconds);
}

bool matches(const QString &pattern, const QString &text)
{
    return QRegularExpression(pattern).match(text).hasMatch();
}

bool open(TavrinFakeDesktop &desktop)
{
    return desktop.start() && desktop.openWindow();
}

// Sends the frames of this state (Connected started an hour ago) and waits until they are handled.
bool bringToState(TavrinFakeDesktop &desktop, int code)
{
    if (code == Connected)
        return desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(-3600)));
    return desktop.deliver(buildStatusFrame(quint8(code)));
}

} // namespace

// Catches what the window hands to the desktop's browser.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class tst_MainDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { TavrinFakeDesktop::resetSettings(); }
    void construction_data();
    void construction();
    void construction_fonts();
    void construction_serviceUnreachable();
    void serverList_fillsChooserAndMenu();
    void stateDisplay_data();
    void stateDisplay();
    void clock_data();
    void clock();
    void clock_timeoutKeepsItRunningDisconnectingStopsIt();
    void loginFailure_shownOnNextDisconnected();
    void credentialsReply_fillsTheFields();
    void connectCommand_data();
    void connectCommand();
    void serverChange_whileDisconnected_data();
    void serverChange_whileDisconnected();
    void serverChange_whileConnected();
    void exit_data();
    void exit();
    void options_written();
    void settingsAndTitle();
    void feedbackAndLoginIcons();
};

void tst_MainDialog::initTestCase()
{
    // Without distinct images the image comparisons below would prove nothing.
    QVERIFY(!trayImage("tray_off.ico").isNull());
    QVERIFY(trayImage("tray_off.ico") != trayImage("tray_on.ico"));
    QVERIFY(trayImage("tray_off.ico") != trayImage("tray_connect.ico"));
    QVERIFY(imageOf(QStringLiteral(":/imgs/key.png")) != imageOf(":/imgs/key-disabled.png"));
    QVERIFY(!imageOf(QStringLiteral(":/imgs/star.png")).isNull());
}

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
        QVPNClientSettings::setConnection(freedonia);
        QVPNClientSettings::setCredentials(QStringLiteral("alice"), QStringLiteral("s3cret pass"));
        QVPNClientSettings::setAutoStart(true);
    }
    QVPNClientSettings::setAutoLogin(autoLogin);
    TavrinFakeDesktop desktop;
    desktop.webApi.setServerList("{}"); // an empty list leaves the chosen server in place
    QVERIFY(open(desktop));
    QMainDialog *window = desktop.window();
    QVERIFY(window->isServiceAvailable() && window->isInitialized());
    QCOMPARE(window->size(), QSize(344, 545));

    QStringList texts;
    for (QAction *action : desktop.trayMenu()->actions()) {
        QVERIFY(!action->isSeparator() && (autoLogin || action->isEnabled()));
        texts.append(action->text());
    }
    QCOMPARE(texts, QStringList({"&Connect", "&Status", "&Jump to fastest", "C&hange country",
                                 "&Feedback", "Se&ttings", "E&xit"}));
    QVERIFY(desktop.changeCountryMenu());
    QVERIFY(desktop.trayIcon()->isVisible());
    QCOMPARE(trayImage(desktop.trayIcon()->icon()), trayImage("tray_off.ico"));

    const QString fields = desktop.widget<QLineEdit>("username_edit")->text() + '/'
                           + desktop.widget<QLineEdit>("password_edit")->text();
    QCOMPARE(fields, stored ? QStringLiteral("alice/s3cret pass") : QStringLiteral("/"));
    QCOMPARE(desktop.widget<QCheckBox>("autoStart_checkBox")->isChecked(), stored);
    QCOMPARE(desktop.widget<QCheckBox>("autoLogin_checkBox")->isChecked(), autoLogin);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.webApi.listRequests(), 1, 20000);
    QCOMPARE(desktop.webApi.listKeys().first(), QByteArray(tavrinApiKey));
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QVPNListServers *>(), 20000);
    if (stored)
        QCOMPARE(desktop.widget<QVPNServerComboBox>("comboBox")->currentServer(), freedonia);
    // Reading the options at start writes nothing back.
    QCOMPARE(QVPNClientSettings::isAutoStart(), stored);
    QCOMPARE(QVPNClientSettings::getAutoLogin(), autoLogin);

    // Credentials are asked for when none are stored; auto-login sends a connect request at once
    // (without waiting for the answer: empty fields go out).
    QVERIFY(desktop.syncWithWindow());
    QCOMPARE(desktop.peer.frameTypes(), startFrames);
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), autoLogin ? 1 : 0);
    if (!autoLogin) {
        QTest::mouseClick(desktop.widget<QPushButton>("connect_button"), Qt::LeftButton);
        QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frames().size(), startFrames.size() + 1, 20000);
    }
    const QByteArray request = desktop.peer.frames().last();
    QCOMPARE(hostOf(request), stored ? QByteArray("127.0.0.9") : tavrinAutoHostname().toUtf8());
    QCOMPARE(credentialsOf(request), stored ? encodeUserPass("alice", "s3cret pass")
                                            : encodeUserPass(QString(), QString()));
    QCOMPARE(storedCredentials(), stored ? QStringLiteral("alice/s3cret pass") : QString());

    // Status before any message from the service.
    desktop.trayAction(1)->trigger();
    QCOMPARE(boxes(desktop.user),
             box("Tavrin Status", "VPN connection is disconnected.", QMessageBox::Information));
}

void tst_MainDialog::construction_fonts()
{
    // Family/point size/weight/letter spacing, all upright and antialiased; then the style sheet
    // where the window sets one. The check boxes are left out: the form's own style sheet gives
    // them their font.
    const QStringList rows{"username_edit: Roboto/16/60/0",
                           "password_edit: Roboto/16/60/0",
                           "connect_button: Roboto/20/70/0",
                           "settings_button: Roboto/20/70/0",
                           "connect_label: Roboto/20/50/0",
                           "connect_country_label: Roboto/10/75/0; color: #863d38",
                           "connecton_label: Roboto Condensed/14/100/5",
                           "ipaddress_label: Roboto/10/100/0; color: #999999",
                           "ipaddress_value_label: Roboto/16/40/0; color: #333333",
                           "time_connected_label: Roboto/10/100/0; color: #999999",
                           "time_connected_value_label: Roboto/16/40/0; color: #333333",
                           "encryption_text: Roboto/10/100/0; color: #999999",
                           "encryption_value_text: Roboto/16/40/0; color: #333333"};
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow(false));
    for (const QString &row : rows) {
        const QString name = row.section(QLatin1String(": "), 0, 0);
        const QWidget *target = desktop.widget<QWidget>(qPrintable(name));
        QVERIFY2(target, qPrintable(name));
        const QFont font = target->font();
        QString actual = QStringLiteral("%1: %2/%3/%4/%5")
                                 .arg(name, font.family())
                                 .arg(font.pointSize())
                                 .arg(font.weight())
                                 .arg(font.letterSpacing());
        if (row.contains(';'))
            actual += QLatin1String("; ") + target->styleSheet();
        QCOMPARE(actual, row);
        QVERIFY(!font.italic() && font.styleStrategy() == QFont::PreferAntialias);
        if (font.letterSpacing() != 0)
            QCOMPARE(font.letterSpacingType(), QFont::AbsoluteSpacing);
    }
}

void tst_MainDialog::construction_serviceUnreachable()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start(false)); // nothing listens on "Tavrin"
    QMainDialog *window = desktop.openWindow();
    QVERIFY(window);
    QCOMPARE(boxes(desktop.user),
             box("Connection error", "Can't connect to Tavrin service.", QMessageBox::Critical));
    QVERIFY(!window->isServiceAvailable());
    QVERIFY(!window->isInitialized());
    QVERIFY(!desktop.trayIcon()->isVisible());
    QVERIFY(!desktop.trayMenu()); // the menu is only given to the icon once the service answers
    QVERIFY(!window->findChild<QVPNListServers *>());
    QCOMPARE(desktop.webApi.listRequests(), 0);
}

void tst_MainDialog::serverList_fillsChooserAndMenu()
{
    QVPNClientSettings::setFavoriteServers(QStringLiteral("Zambia"));
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, 20000);

    QStringList names;
    for (int row = 0; row < chooser->count(); ++row)
        names.append(chooser->itemData(row, Qt::UserRole).toMap().value("name").toString());
    QCOMPARE(names, QStringList({"Albania", "Automatic", "Zambia"}));
    QStringList menuNames;
    for (QAction *action : desktop.changeCountryMenu()->actions())
        menuNames.append(action->text());
    QCOMPARE(menuNames, names);
    QCOMPARE(chooser->model()->index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(chooser->model()->index(0, 0).data(Qt::CheckStateRole).toInt() != int(Qt::Checked));
    QTRY_VERIFY_WITH_TIMEOUT(!desktop.window()->findChild<QVPNListServers *>(), 20000);
}

// The columns of the display table, in the order of each row ("=": left as it is). Enabled holds
// the seven tray entries in order; the clock of Connected is a pattern.
// clang-format off
enum Column {
    Tray, Title, Page, ConnectPage, FrameStyle, ConnectText, Country, CountryStyle, StateText,
    StateStyle, AddressIcon, AddressLabel, AddressValue, ClockIcon, Time, KeyIcon, TimePage,
    Cursor, MenuText, Enabled, Stored, Status
};
// clang-format on

void tst_MainDialog::stateDisplay_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("expected");

    const QString busy = QStringLiteral("background: #ffc62b; border: none; border-radius: 5px;");
    const QString up = QStringLiteral("background: #f27168; border: none; border-radius: 5px;");
    const QString grey = QStringLiteral("background: #cacacd; color: white");
    const QString blue = QStringLiteral("background: #42b0e3; color: white");
    const QString logo = QStringLiteral(":/imgs/title-logo.png");
    const QString arrow = QString::number(int(Qt::ArrowCursor));
    const QString tavrinIp = QStringLiteral("Tavrin IP ADDRESS");
    const QString detecting = QStringLiteral("Detecting...");
    const QString lockOn = QStringLiteral(":/imgs/encryption.png");
    const QString lockOff = QStringLiteral(":/imgs/encryption-disabled.png");
    const QString clockOn = QStringLiteral(":/imgs/clock.png");
    const QString clockOff = QStringLiteral(":/imgs/clock-disabled.png");
    const QString keyOn = QStringLiteral(":/imgs/key.png");
    const QString keyOff = QStringLiteral(":/imgs/key-disabled.png");
    // clang-format off
    QTest::newRow("Connecting") << 0 << QStringList{
            "tray_connect.ico", logo, "1", "0", busy, "Connecting..", "Freedonia",
            "color: #b67e00", "CONNECTING", grey, lockOff, tavrinIp, detecting, clockOff, "",
            keyOff, "0", arrow, "Connecting", "0100101", "",
            "VPN connection is trying to connect to Freedonia."};
    QTest::newRow("Connected") << 1 << QStringList{
            "tray_on.ico", logo, "1", "0", up, "Disconnect", "Freedonia", "color: #853d38",
            "CONNECTED", blue, lockOn, tavrinIp, keep, clockOn, "^01:01:\\d\\d$", keyOn, "0",
            keep, "Disconnect", "1111101", "alice/secret",
            "VPN connection is connected to Freedonia."};
    QTest::newRow("Disconnecting") << 2 << QStringList{
            "tray_connect.ico", logo, keep, "0", busy, "Disconnecting..", keep, keep,
            "DISCONNECTING", grey, lockOff, keep, detecting, clockOff, "", keyOff, "0", keep,
            "Disconnect", "0100101", "", "VPN connection is disconnected."};
    QTest::newRow("Disconnected") << 3 << QStringList{
            "tray_off.ico", keep, keep, "1",
            "background: blue; color: white; border: none; border-radius: 5px;", "Connect",
            "Freedonia", "color: #863d38", "DISCONNECTED", grey, lockOff, "PUBLIC IP ADDRESS",
            detecting, clockOff, "Not Connected", keyOff, "1",
            QString::number(int(Qt::PointingHandCursor)), "Connect", "1111111", "",
            "VPN connection is disconnected."};
    QTest::newRow("Timeout") << 4 << QStringList{
            "tray_off.ico", logo, "1", "0", up, "Disconnect", "Freedonia", "color: #853d38",
            "TIMEOUT", blue, lockOn, tavrinIp, keep, clockOn, "", keyOn, "0", keep, "Disconnect",
            "1111101", "",
            "VPN connection is disconnecting, but it's trying to connect to Freedonia."};
    const QStringList unknown{"tray_off.ico", keep, keep, "0", keep, keep, keep, keep, "UNKNOWN",
                              grey, keep, keep, keep, keep, keep, keep, "0", keep, "Connect",
                              "1111111", "", "Unknown VPN connection state."};
    // clang-format on
    QTest::newRow("code 5") << 5 << unknown;
    QTest::newRow("code 200") << 200 << unknown;
    QTest::newRow("code -1") << -1 << unknown;
}

// The handler is run directly so that the display is read before any timer of the window can
// fire; the same code then travels through the service socket.
void tst_MainDialog::stateDisplay()
{
    QFETCH(int, code);
    QFETCH(QStringList, expected);
    QVPNClientSettings::setConnection(freedonia);
    TavrinFakeDesktop desktop;
    desktop.webApi.setServerList("{}");
    QVERIFY(open(desktop));
    auto label = [&](const char *name) { return desktop.widget<QLabel>(name); };
    auto stack = [&](const char *name) { return desktop.widget<QStackedWidget>(name); };
    QLabel *title = label("title_label");
    QLabel *stateLabel = label("connecton_label");
    QStackedWidget *pages = stack("stackedWidget");
    const QList<QPair<QLabel *, Column>> texts{{label("connect_label"), ConnectText},
                                               {label("connect_country_label"), Country},
                                               {label("ipaddress_label"), AddressLabel},
                                               {label("ipaddress_value_label"), AddressValue},
                                               {label("time_connected_value_label"), Time}};
    const QList<QPair<QLabel *, Column>> pixmaps{{title, Title},
                                                 {label("ipaddress_icon"), AddressIcon},
                                                 {label("time_connected_icon"), ClockIcon},
                                                 {label("encryption_icon"), KeyIcon}};
    const QList<QPair<QStackedWidget *, Column>> stacks{{pages, Page},
                                                        {stack("connect_stackedWidget"),
                                                         ConnectPage},
                                                        {stack("timeconnected_section"), TimePage}};
    const QList<QPair<QWidget *, Column>> styles{{desktop.widget<QWidget>("connect_frame"),
                                                  FrameStyle},
                                                 {label("connect_country_label"), CountryStyle}};
    const QList<QAction *> entries = desktop.trayMenu()->actions();
    auto expectedOr = [&](Column column, const QString &seeded) {
        return expected.at(column) == keep ? seeded : expected.at(column);
    };

    // Seed every element with a value no state gives it, so that "left as it is" shows.
    const QPixmap seeded(QStringLiteral(":/imgs/star.png"));
    for (const auto &entry : texts)
        entry.first->setText(seed);
    for (const auto &entry : pixmaps)
        entry.first->setPixmap(seeded);
    for (const auto &entry : stacks)
        entry.first->setCurrentIndex(1 - expectedOr(entry.second, "1").toInt());
    for (const auto &entry : styles)
        entry.first->setStyleSheet(QStringLiteral("color: green"));
    title->setCursor(Qt::WaitCursor);
    desktop.trayIcon()->setIcon(QIcon(seeded));
    entries.first()->setText(seed);
    for (int i : {0, 2, 3, 5}) { // Status, Feedback and Exit are never disabled
        entries.at(i)->setEnabled(expected.at(Enabled).at(i) == '0');
        if (QMenu *menu = entries.at(i)->menu())
            menu->setEnabled(expected.at(Enabled).at(i) == '0');
    }
    desktop.widget<QLineEdit>("username_edit")->setText(QStringLiteral("alice"));
    desktop.widget<QLineEdit>("password_edit")->setText(QStringLiteral("secret"));

    QMainDialog *window = desktop.window();
    if (code == Connected) {
        QVERIFY(QMetaObject::invokeMethod(window, "vpn_startTime", Qt::DirectConnection,
                                          Q_ARG(uint, secondsFromNow(-3661))));
    }
    QVERIFY(QMetaObject::invokeMethod(window, "vpn_notifyStatusChange", Qt::DirectConnection,
                                      Q_ARG(char, char(code))));

    QCOMPARE(trayImage(desktop.trayIcon()->icon()), trayImage(expected.at(Tray)));
    for (const auto &entry : texts) {
        if (code == Connected && entry.second == Time)
            QVERIFY2(matches(expected.at(Time), entry.first->text()),
                     qPrintable(entry.first->text()));
        else
            QCOMPARE(entry.first->text(), expectedOr(entry.second, seed));
    }
    for (const auto &entry : pixmaps) {
        const QString path = expected.at(entry.second);
        QCOMPARE(entry.first->pixmap(Qt::ReturnByValue).toImage(),
                 path == keep ? seeded.toImage() : imageOf(path));
    }
    for (const auto &entry : stacks)
        QCOMPARE(entry.first->currentIndex(), expectedOr(entry.second, "0").toInt());
    for (const auto &entry : styles)
        QCOMPARE(entry.first->styleSheet(), expectedOr(entry.second, "color: green"));
    QCOMPARE(stateLabel->text(), expected.at(StateText));
    QCOMPARE(stateLabel->styleSheet(), expected.at(StateStyle));
    QCOMPARE(int(title->cursor().shape()),
             expectedOr(Cursor, QString::number(int(Qt::WaitCursor))).toInt());
    QCOMPARE(entries.first()->text(), expected.at(MenuText));
    QString enabled;
    for (QAction *entry : entries)
        enabled += entry->isEnabled() && (!entry->menu() || entry->menu()->isEnabled()) ? '1' : '0';
    QCOMPARE(enabled, expected.at(Enabled));
    QCOMPARE(storedCredentials(), expected.at(Stored));

    // The status box tells the state and leaves the window as it was.
    entries.at(1)->trigger();
    QCOMPARE(boxes(desktop.user),
             box("Tavrin Status", expected.at(Status), QMessageBox::Information));
    QCOMPARE(stateLabel->text(), expected.at(StateText));
    QCOMPARE(pages->currentIndex(), expectedOr(Page, "0").toInt());

    // The same code from the service (-1 arrives as 255).
    stateLabel->setText(seed);
    entries.first()->setText(seed);
    QVERIFY(bringToState(desktop, code));
    QCOMPARE(stateLabel->text(), expected.at(StateText));
    QCOMPARE(entries.first()->text(), expected.at(MenuText));
}

void tst_MainDialog::clock_data()
{
    QTest::addColumn<QList<int>>("startsFromNow"); // one Connected frame each, in order
    QTest::addColumn<QString>("pattern");
    QTest::newRow("an hour ago") << QList<int>{-3661} << "^01:01:\\d\\d$";
    QTest::newRow("newest connection counts") << QList<int>{-3661, -7322} << "^02:02:\\d\\d$";
    QTest::newRow("more than a day wraps") << QList<int>{-86400 - 125} << "^00:02:\\d\\d$";
    // A start time ahead of the local clock counts back from midnight.
    QTest::newRow("in the future") << QList<int>{3630} << "^22:59:[3-5]\\d$";
}

void tst_MainDialog::clock()
{
    QFETCH(QList<int>, startsFromNow);
    QFETCH(QString, pattern);
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    auto *time = desktop.widget<QLabel>("time_connected_value_label");
    for (int start : startsFromNow)
        QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(start))));
    QVERIFY2(matches(pattern, time->text()), qPrintable(time->text()));
    // The clock ticks by itself, and nothing brings an older start time back.
    for (int tick = 0; tick < 2; ++tick) {
        const QString before = time->text();
        QTRY_VERIFY_WITH_TIMEOUT(time->text() != before, 20000);
        QVERIFY2(matches(pattern, time->text()), qPrintable(time->text()));
    }
}

void tst_MainDialog::clock_timeoutKeepsItRunningDisconnectingStopsIt()
{
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    auto *time = desktop.widget<QLabel>("time_connected_value_label");
    const QString pattern = QStringLiteral("^00:1\\d:\\d\\d$");
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(-600))));
    QVERIFY(matches(pattern, time->text()));
    QVERIFY(desktop.deliver(buildStatusFrame(Timeout)));
    QCOMPARE(time->text(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(matches(pattern, time->text()), 20000);

    QVERIFY(desktop.deliver(buildStatusFrame(Disconnecting)));
    QCOMPARE(time->text(), QString());
    // A stopped clock never writes again; give a running one more than a tick to show itself.
    QTest::qWait(1600);
    QCOMPARE(time->text(), QString());
}

void tst_MainDialog::loginFailure_shownOnNextDisconnected()
{
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    desktop.widget<QLineEdit>("username_edit")->setText(QStringLiteral("carol"));
    desktop.widget<QLineEdit>("password_edit")->setText(QStringLiteral("äpfel"));
    QTest::mouseClick(desktop.widget<QPushButton>("connect_button"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(),
                              QList<int>({CredentialsRequest, ConnectToVPNRequest}), 20000);
    QCOMPARE(credentialsOf(desktop.peer.frames().last()), encodeUserPass("carol", "äpfel"));
    QVERIFY(desktop.deliver(buildStatusFrame(Connecting)));
    auto *pages = desktop.widget<QStackedWidget>("stackedWidget");
    QCOMPARE(pages->currentIndex(), 1);
    desktop.peer.clearFrames();

    // The failure itself only sends an abort request.
    QVERIFY(desktop.deliver(buildFrame(LoginFailed)));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(), QList<int>({AbortRequest}), 20000);
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnecting)));
    QCOMPARE(desktop.user.boxCount(), 0);
    QCOMPARE(pages->currentIndex(), 1);

    // It is reported on the next Disconnected, once.
    for (int i = 0; i < 2; ++i)
        QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(boxes(desktop.user),
             box("Login error",
                 "Login failed.\nPlease check your username and password and try again.",
                 QMessageBox::Warning));
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(desktop.widget<QLabel>("connecton_label")->text(), QStringLiteral("DISCONNECTED"));
    QCOMPARE(storedCredentials(), QString()); // only Connected stores the credentials
}

void tst_MainDialog::credentialsReply_fillsTheFields()
{
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    auto fields = [&]() -> QString {
        return desktop.widget<QLineEdit>("username_edit")->text() + '/'
               + desktop.widget<QLineEdit>("password_edit")->text();
    };
    QVERIFY(desktop.deliver(buildCredentialsReplyFrame(encodeUserPass("dörte", "pa55 wörd"))));
    QCOMPARE(fields(), QStringLiteral("dörte/pa55 wörd"));
    // A reply that does not decode leaves the fields as they are.
    QVERIFY(desktop.deliver(buildCredentialsReplyFrame("!!!")));
    QVERIFY(desktop.deliver(buildCredentialsReplyFrame(encodeUserPass(QString(), "x"))));
    QCOMPARE(fields(), QStringLiteral("dörte/pa55 wörd"));
    // The text ends at a zero byte.
    QVERIFY(desktop.deliver(
            buildCredentialsReplyFrame(encodeUserPass("erin", "pw") + QByteArray("\0junk", 5))));
    QCOMPARE(fields(), QStringLiteral("erin/pw"));
    QCOMPARE(storedCredentials(), QString()); // filling the fields stores nothing
}

void tst_MainDialog::connectCommand_data()
{
    QTest::addColumn<bool>("fromTray"); // else the big button on the connection page
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("request"); // 0: none
    for (bool fromTray : {false, true}) {
        const char *via = fromTray ? "tray" : "button";
        QTest::addRow("%s, Connecting", via) << fromTray << 0 << 0;
        QTest::addRow("%s, Connected", via) << fromTray << 1 << int(AbortRequest);
        QTest::addRow("%s, Disconnecting", via) << fromTray << 2 << 0;
        QTest::addRow("%s, Disconnected", via) << fromTray << 3 << int(ConnectToVPNRequest);
        QTest::addRow("%s, Timeout", via) << fromTray << 4 << int(AbortRequest);
        QTest::addRow("%s, code 200", via) << fromTray << 200 << 0;
    }
}

void tst_MainDialog::connectCommand()
{
    QFETCH(bool, fromTray);
    QFETCH(int, code);
    QFETCH(int, request);
    QVPNClientSettings::setCredentials(QStringLiteral("gina"), QStringLiteral("pw1"));
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    QVERIFY(bringToState(desktop, code));
    auto *pages = desktop.widget<QStackedWidget>("stackedWidget");
    const int page = pages->currentIndex();
    desktop.peer.clearFrames();

    if (!fromTray) {
        QTest::mousePress(desktop.widget<QWidget>("connect_frame"), Qt::LeftButton);
    } else if (desktop.trayAction(0)->isEnabled()) {
        desktop.trayAction(0)->trigger();
    } else { // disabled in Connecting and Disconnecting: run its slot directly
        QVERIFY(QMetaObject::invokeMethod(desktop.window(), "on_menuConnectTriggered",
                                          Qt::DirectConnection, Q_ARG(bool, false)));
    }
    QVERIFY(desktop.syncWithWindow());
    if (request == 0)
        QVERIFY(desktop.peer.frames().isEmpty());
    else
        QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(), QList<int>({request}), 20000);
    if (request == ConnectToVPNRequest)
        QCOMPARE(credentialsOf(desktop.peer.frames().first()), encodeUserPass("gina", "pw1"));
    QCOMPARE(pages->currentIndex(), page); // neither ever switches pages
}

void tst_MainDialog::serverChange_whileDisconnected_data()
{
    QTest::addColumn<int>("command"); // 0: press on the chooser, 1: jump to fastest, 2: Zambia
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("host");
    QTest::newRow("chooser") << 0 << 2 << QByteArray("127.0.0.4");
    QTest::newRow("jump to fastest") << 1 << 1 << QByteArray("127.0.0.3");
    QTest::newRow("change country") << 2 << 2 << QByteArray("127.0.0.4");
}

void tst_MainDialog::serverChange_whileDisconnected()
{
    QFETCH(int, command);
    QFETCH(int, row);
    QFETCH(QByteArray, host);
    QVPNClientSettings::setCredentials(QStringLiteral("hank"), QStringLiteral("pw2"));
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(desktop.changeCountryMenu()->actions().size(), 3, 20000);
    const VPNServer remembered = QVPNClientSettings::getConnection();
    QCOMPARE(remembered.name, QStringLiteral("Automatic"));
    desktop.peer.clearFrames();

    if (command == 0) {
        // The settings button shows the connection page of Disconnected: the chooser.
        QTest::mouseClick(desktop.widget<QPushButton>("settings_button"), Qt::LeftButton);
        QCOMPARE(desktop.widget<QStackedWidget>("connect_stackedWidget")->currentIndex(), 1);
        chooser->setCurrentIndex(row);
        QTest::mousePress(chooser, Qt::LeftButton, {}, QPoint(10, chooser->height() / 2));
    } else if (command == 1) {
        desktop.trayAction(2)->trigger();
    } else {
        desktop.changeCountryMenu()->actions().at(row)->trigger();
    }
    QCOMPARE(chooser->currentIndex(), row);
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frames().size(), 1, 20000);
    QCOMPARE(hostOf(desktop.peer.frames().first()), host);
    QCOMPARE(credentialsOf(desktop.peer.frames().first()), encodeUserPass("hank", "pw2"));
    // Only a choice in the chooser is remembered.
    QCOMPARE(QVPNClientSettings::getConnection(),
             (command == 0 ? VPNServer{"Zambia", "ZM", "127.0.0.4"} : remembered));
    // The country label follows the server connected to.
    QVERIFY(desktop.deliver(buildStatusFrame(Connecting)));
    QCOMPARE(desktop.widget<QLabel>("connect_country_label")->text(), chooser->currentServer().name);
}

void tst_MainDialog::serverChange_whileConnected()
{
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.changeCountryMenu()->actions().size(), 3, 20000);
    QVERIFY(bringToState(desktop, Connected));
    desktop.peer.clearFrames();
    auto *stateLabel = desktop.widget<QLabel>("connecton_label");

    // Both commands take the connection down first; the second choice replaces the first.
    desktop.trayAction(2)->trigger();
    desktop.changeCountryMenu()->actions().at(0)->trigger(); // "Albania"
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(), QList<int>({AbortRequest, AbortRequest}),
                              20000);
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnecting)));
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(),
                              QList<int>({AbortRequest, AbortRequest, ConnectToVPNRequest}), 20000);
    QCOMPARE(hostOf(desktop.peer.frames().last()), QByteArray("127.0.0.2"));
    QCOMPARE(desktop.widget<QVPNServerComboBox>("comboBox")->currentIndex(), 0);
    // The reconnect does not show the Disconnected page.
    QCOMPARE(stateLabel->text(), QStringLiteral("DISCONNECTING"));
    QCOMPARE(desktop.widget<QStackedWidget>("connect_stackedWidget")->currentIndex(), 0);

    // The next Disconnected is an ordinary one again.
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(stateLabel->text(), QStringLiteral("DISCONNECTED"));
    QCOMPARE(desktop.peer.frames().size(), 3);
    QCOMPARE(QVPNClientSettings::getConnection().name, QStringLiteral("Automatic"));
}

void tst_MainDialog::exit_data()
{
    QTest::addColumn<int>("code");
    for (int code : {0, 1, 2, 3, 4, 200})
        QTest::addRow("code %d", code) << code;
}

void tst_MainDialog::exit()
{
    QFETCH(int, code);
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    QMainDialog *window = desktop.window();
    QVERIFY(bringToState(desktop, code));
    desktop.peer.clearFrames();

    desktop.trayAction(6)->trigger();
    QCOMPARE(window->isVisible(), code != Disconnected); // only Disconnected closes at once
    QVERIFY(desktop.syncWithWindow());
    QCOMPARE(window->isVisible(), code != Disconnected);
    if (code != Connected) {
        QVERIFY(desktop.peer.frames().isEmpty());
        return;
    }
    // Connected: the window waits for the service to go down.
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(), QList<int>({AbortRequest}), 20000);
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnecting)));
    QVERIFY(window->isVisible());
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QVERIFY(!window->isVisible());
    QCOMPARE(desktop.widget<QLabel>("connecton_label")->text(), QStringLiteral("DISCONNECTING"));
}

void tst_MainDialog::options_written()
{
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, 20000);
    QAbstractItemModel *model = chooser->model();
    for (Qt::CheckState state : {Qt::Checked, Qt::Unchecked}) {
        model->setData(model->index(0, 0), state, Qt::CheckStateRole);
        model->setData(model->index(2, 0), state, Qt::CheckStateRole);
        emit chooser->starToggled();
        QCOMPARE(QVPNClientSettings::getFavoriteServers(),
                 state == Qt::Checked ? QStringLiteral("Albania,Zambia") : QString());
    }
    QVERIFY(QVPNClientSettings().contains(QStringLiteral("FavoriteServers")));

    QTest::mouseClick(desktop.widget<QPushButton>("settings_button"), Qt::LeftButton);
    auto *autoStart = desktop.widget<QCheckBox>("autoStart_checkBox");
    auto *autoLogin = desktop.widget<QCheckBox>("autoLogin_checkBox");
    QVERIFY(autoStart->isVisible());
    auto click = [](QCheckBox *box) { // on the box itself, at the left end of the row
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    };
    click(autoStart);
    QVERIFY(autoStart->isChecked());
    QVERIFY(QVPNClientSettings::isAutoStart());
    QVERIFY(QFile::exists(TavrinTestEnvironment::instance()->configHome()
                          + QStringLiteral("/autostart/tavrin-client.desktop")));
    QVERIFY(!QVPNClientSettings::getAutoLogin());
    click(autoLogin);
    QVERIFY(QVPNClientSettings::getAutoLogin());
    click(autoStart);
    click(autoLogin);
    QVERIFY(!QVPNClientSettings::isAutoStart());
    QVERIFY(!QVPNClientSettings::getAutoLogin());
}

void tst_MainDialog::settingsAndTitle()
{
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    auto *title = desktop.widget<QLabel>("title_label");
    auto *pages = desktop.widget<QStackedWidget>("stackedWidget");
    auto *stateLabel = desktop.widget<QLabel>("connecton_label");
    const QImage logo = imageOf(QStringLiteral(":/imgs/title-logo.png"));
    stateLabel->setText(seed);

    // Settings: logo, pointing hand, connection page laid out for the recorded state.
    QTest::mouseClick(desktop.widget<QPushButton>("settings_button"), Qt::LeftButton);
    QCOMPARE(pages->currentIndex(), 1);
    QCOMPARE(title->pixmap(Qt::ReturnByValue).toImage(), logo);
    QCOMPARE(title->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(stateLabel->text(), QStringLiteral("DISCONNECTED"));

    // The title leads back to the login page, in Disconnected only.
    QTest::mouseClick(title, Qt::LeftButton);
    QCOMPARE(pages->currentIndex(), 0);
    QVERIFY(title->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(title->cursor().shape(), Qt::ArrowCursor);
    // The tray's settings entry does the same as the button while disconnected...
    desktop.trayAction(5)->trigger();
    QCOMPARE(pages->currentIndex(), 1);

    // ...and neither it nor the title does anything in another state.
    QVERIFY(bringToState(desktop, Connected));
    QVERIFY(QMetaObject::invokeMethod(desktop.window(), "on_menuSettingsTriggered",
                                      Qt::DirectConnection, Q_ARG(bool, false)));
    QTest::mouseClick(title, Qt::LeftButton);
    QCOMPARE(pages->currentIndex(), 1);
    QCOMPARE(title->pixmap(Qt::ReturnByValue).toImage(), logo);
    QCOMPARE(stateLabel->text(), QStringLiteral("CONNECTED"));
}

void tst_MainDialog::feedbackAndLoginIcons()
{
    qputenv("TAVRIN_SITE_HOST", "site.tavrin.test:8080");
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    TavrinFakeDesktop desktop;
    QVERIFY(open(desktop));
    desktop.trayAction(4)->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    qunsetenv("TAVRIN_SITE_HOST");
    QCOMPARE(catcher.urls, QList<QUrl>({QUrl("http://site.tavrin.test:8080/feedback/")}));
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 0);

    // The icons beside the login fields focus their fields.
    QTest::mouseClick(desktop.widget<QWidget>("password_label"), Qt::LeftButton);
    QCOMPARE(desktop.window()->focusWidget(), desktop.widget<QWidget>("password_edit"));
    QTest::mouseClick(desktop.widget<QWidget>("username_label"), Qt::LeftButton);
    QCOMPARE(desktop.window()->focusWidget(), desktop.widget<QWidget>("username_edit"));
}

TAVRIN_TEST_MAIN(tst_MainDialog)
#include "tst_maindialog.moc"
