// The main window in-process, against a real local socket peer standing in for the VPN service
// and a loopback web API: construction, the display of every state, the clock, the commands of
// the window and of the tray menu, and the frames the service receives.

#include "qvpnbandwidthwidget.h"
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
#include <QtGui/qstandarditemmodel.h>
#include <QtTest/qtest.h>
#include <QtWidgets/qapplication.h>
#include <QtWidgets/qcheckbox.h>
#include <QtWidgets/qlabel.h>
#include <QtWidgets/qlineedit.h>
#include <QtWidgets/qpushbutton.h>
#include <QtWidgets/qstackedwidget.h>

namespace {

const QString keep = QStringLiteral("=");
const QString seed = QStringLiteral("seed");
const char seedPixmap[] = ":/imgs/star.png";

QImage imageOf(const QString &path)
{
    return QPixmap(path).toImage();
}

QImage labelImage(const QLabel *label)
{
    return label->pixmap(Qt::ReturnByValue).toImage();
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(QSize(32, 32)).toImage();
}

QImage trayImage(const char *name)
{
    return iconImage(QIcon(QStringLiteral(":/imgs/tray/") + QLatin1String(name)));
}

struct ConnectRequest
{
    QByteArray host;
    QString username;
    QString password;
    QByteArray credentials;
};

ConnectRequest readConnectRequest(const QByteArray &frame)
{
    ConnectRequest request;
    if (parseConnectRequest(frame, &request.host, &request.credentials))
        decodeUserPass(QString::fromLatin1(request.credentials), request.username, request.password);
    return request;
}

quint32 secondsFromNow(qint64 seconds)
{
    return quint32(QDateTime::currentSecsSinceEpoch() + seconds);
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
    void init();

    void construction_trayAndPages();
    void construction_fonts_data();
    void construction_fonts();
    void construction_restoresSettings();
    void construction_autoLogin_data();
    void construction_autoLogin();
    void construction_serviceUnreachable();
    void serverList_fillsChooserAndMenu();

    void stateDisplay_data();
    void stateDisplay();
    void stateFromService_data();
    void stateFromService();
    void clock_showsTimeSinceStart();
    void clock_startInTheFuture();
    void clock_timeoutKeepsItRunningDisconnectingStopsIt();
    void clock_followsTheNewestConnection();
    void loginFailure_shownOnNextDisconnected();
    void credentialsReply_fillsTheFields();
    void bandwidth_reachesTheGraph();
    void statusBox_data();
    void statusBox();

    void connectButton_sendsFieldsAndShowsConnectionPage();
    void connectFrame_data();
    void connectFrame();
    void trayConnect_data();
    void trayConnect();
    void chooserPress_connectsAndRemembersServer();
    void jumpToFastest_whileDisconnected();
    void changeCountry_whileDisconnected();
    void serverChange_whileConnected();
    void exit_data();
    void exit();
    void favourites_stored();
    void optionCheckBoxes_written();
    void settingsAndTitle();
    void trayActivation_data();
    void trayActivation();
    void feedback_opensSiteAddress();
    void loginIcons_focusTheirFields();

private:
    bool bringToState(TavrinFakeDesktop &desktop, int code);
    static void storeCredentials(const QString &username, const QString &password);
};

void tst_MainDialog::initTestCase()
{
    // Without distinct tray images the icon comparisons below would prove nothing.
    QVERIFY(!trayImage("tray_off.ico").isNull());
    QVERIFY(trayImage("tray_off.ico") != trayImage("tray_on.ico"));
    QVERIFY(trayImage("tray_off.ico") != trayImage("tray_connect.ico"));
    QVERIFY(imageOf(QStringLiteral(":/imgs/key.png")) != imageOf(":/imgs/key-disabled.png"));
    QVERIFY(!imageOf(QLatin1String(seedPixmap)).isNull());
}

void tst_MainDialog::init()
{
    TavrinFakeDesktop::resetSettings();
}

void tst_MainDialog::storeCredentials(const QString &username, const QString &password)
{
    QVPNClientSettings::setCredentials(username, password);
}

// Sends the frames that put the window into the state with this code (Connected with a start
// time one hour ago) and waits until it has handled them.
bool tst_MainDialog::bringToState(TavrinFakeDesktop &desktop, int code)
{
    if (code == Connected)
        return desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(-3600)));
    return desktop.deliver(buildStatusFrame(quint8(code)));
}

void tst_MainDialog::construction_trayAndPages()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QMainDialog *window = desktop.openWindow();
    QVERIFY(window);
    QVERIFY(window->isServiceAvailable());
    QVERIFY(window->isInitialized());

    QMenu *menu = desktop.trayMenu();
    QVERIFY(menu);
    QStringList texts;
    for (QAction *action : menu->actions()) {
        QVERIFY(!action->isSeparator());
        QVERIFY(action->isEnabled());
        texts.append(action->text());
    }
    QCOMPARE(texts, QStringList({"&Connect", "&Status", "&Jump to fastest", "C&hange country",
                                 "&Feedback", "Se&ttings", "E&xit"}));
    QVERIFY(desktop.changeCountryMenu());
    QVERIFY(desktop.trayIcon()->isVisible());
    QCOMPARE(iconImage(desktop.trayIcon()->icon()), trayImage("tray_off.ico"));

    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 0);
    QCOMPARE(window->size(), QSize(344, 545));

    // Nothing stored: the service is asked for the credentials it holds, and for nothing else.
    QVERIFY(desktop.syncWithWindow());
    QCOMPARE(desktop.peer.frameTypes(), QList<int>({CredentialsRequest}));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.webApi.listRequests(), 1, 20000);
    QCOMPARE(desktop.webApi.listKeys().first(), QByteArray(tavrinApiKey));
}

void tst_MainDialog::construction_fonts_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("weight");
    QTest::addColumn<qreal>("letterSpacing");
    QTest::addColumn<QString>("styleSheet");

    const QString roboto = QStringLiteral("Roboto");
    QTest::newRow("username") << "username_edit" << roboto << 16 << 60 << 0.0 << keep;
    QTest::newRow("password") << "password_edit" << roboto << 16 << 60 << 0.0 << keep;
    QTest::newRow("connect") << "connect_button" << roboto << 20 << 70 << 0.0 << keep;
    QTest::newRow("settings") << "settings_button" << roboto << 20 << 70 << 0.0 << keep;
    // The check boxes are left out: the form's own style sheet gives them their font.
    QTest::newRow("connect label") << "connect_label" << roboto << 20 << 50 << 0.0 << keep;
    QTest::newRow("country") << "connect_country_label" << roboto << 10 << 75 << 0.0
                             << "color: #863d38";
    QTest::newRow("state") << "connecton_label"
                           << "Roboto Condensed" << 14 << 100 << 5.0 << keep;
    QTest::newRow("address") << "ipaddress_label" << roboto << 10 << 100 << 0.0 << "color: #999999";
    QTest::newRow("address value")
            << "ipaddress_value_label" << roboto << 16 << 40 << 0.0 << "color: #333333";
    QTest::newRow("time") << "time_connected_label" << roboto << 10 << 100 << 0.0
                          << "color: #999999";
    QTest::newRow("time value") << "time_connected_value_label" << roboto << 16 << 40 << 0.0
                                << "color: #333333";
    QTest::newRow("encryption") << "encryption_text" << roboto << 10 << 100 << 0.0
                                << "color: #999999";
    QTest::newRow("encryption value")
            << "encryption_value_text" << roboto << 16 << 40 << 0.0 << "color: #333333";
}

void tst_MainDialog::construction_fonts()
{
    QFETCH(QString, widget);
    QFETCH(QString, family);
    QFETCH(int, pointSize);
    QFETCH(int, weight);
    QFETCH(qreal, letterSpacing);
    QFETCH(QString, styleSheet);

    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow(false));
    QWidget *target = desktop.widget<QWidget>(widget.toLatin1().constData());
    QVERIFY(target);

    const QFont font = target->font();
    QCOMPARE(font.family(), family);
    QCOMPARE(font.pointSize(), pointSize);
    QCOMPARE(font.weight(), weight);
    QVERIFY(!font.italic());
    QCOMPARE(font.styleStrategy(), QFont::PreferAntialias);
    QCOMPARE(font.letterSpacing(), letterSpacing);
    if (letterSpacing != 0)
        QCOMPARE(font.letterSpacingType(), QFont::AbsoluteSpacing);
    if (styleSheet != keep)
        QCOMPARE(target->styleSheet(), styleSheet);
}

void tst_MainDialog::construction_restoresSettings()
{
    const VPNServer chosen{QStringLiteral("Freedonia"), QStringLiteral("FD"),
                           QStringLiteral("127.0.0.9")};
    QVPNClientSettings::setConnection(chosen);
    storeCredentials(QStringLiteral("alice"), QStringLiteral("s3cret pass"));
    QVPNClientSettings::setAutoStart(true);

    TavrinFakeDesktop desktop;
    desktop.webApi.setServerList("{}"); // an empty list leaves the chosen server in place
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());

    QCOMPARE(desktop.widget<QLineEdit>("username_edit")->text(), QStringLiteral("alice"));
    QCOMPARE(desktop.widget<QLineEdit>("password_edit")->text(), QStringLiteral("s3cret pass"));
    QVERIFY(desktop.widget<QCheckBox>("autoStart_checkBox")->isChecked());
    QVERIFY(!desktop.widget<QCheckBox>("autoLogin_checkBox")->isChecked());
    QTRY_COMPARE_WITH_TIMEOUT(desktop.webApi.listRequests(), 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!desktop.window()->findChild<QVPNListServers *>(), 20000);
    QCOMPARE(desktop.widget<QVPNServerComboBox>("comboBox")->currentServer(), chosen);

    // Stored credentials: no credentials request; not logged in automatically.
    QVERIFY(desktop.syncWithWindow());
    QVERIFY(desktop.peer.frames().isEmpty());
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 0);

    // Reading the options at start writes nothing back.
    QVERIFY(QVPNClientSettings::isAutoStart());
    QVERIFY(!QVPNClientSettings::getAutoLogin());

    // The restored server is the one the login connects to.
    QTest::mouseClick(desktop.widget<QPushButton>("connect_button"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frames().size(), 1, 20000);
    const ConnectRequest request = readConnectRequest(desktop.peer.frames().first());
    QCOMPARE(request.host, QByteArray("127.0.0.9"));
    QCOMPARE(request.username, QStringLiteral("alice"));
    QCOMPARE(request.password, QStringLiteral("s3cret pass"));
}

void tst_MainDialog::construction_autoLogin_data()
{
    QTest::addColumn<bool>("stored");
    QTest::newRow("stored credentials") << true;
    QTest::newRow("nothing stored") << false;
}

void tst_MainDialog::construction_autoLogin()
{
    QFETCH(bool, stored);
    if (stored)
        storeCredentials(QStringLiteral("bob"), QStringLiteral("hunter2"));
    QVPNClientSettings::setAutoLogin(true);

    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    QVERIFY(desktop.window()->isInitialized());
    QVERIFY(desktop.widget<QCheckBox>("autoLogin_checkBox")->isChecked());
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);

    QVERIFY(desktop.syncWithWindow());
    const QList<QByteArray> frames = desktop.peer.frames();
    const QList<int> expectedTypes = stored ? QList<int>({ConnectToVPNRequest})
                                            : QList<int>({CredentialsRequest, ConnectToVPNRequest});
    QCOMPARE(desktop.peer.frameTypes(), expectedTypes);
    const ConnectRequest request = readConnectRequest(frames.last());
    QCOMPARE(request.host, tavrinAutoHostname().toUtf8());
    if (stored) {
        QCOMPARE(request.username, QStringLiteral("bob"));
        QCOMPARE(request.password, QStringLiteral("hunter2"));
    } else {
        // The connect request does not wait for the service's answer: empty fields go out.
        QCOMPARE(request.credentials, encodeUserPass(QString(), QString()));
    }
}

void tst_MainDialog::construction_serviceUnreachable()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start(false)); // nothing listens on "Tavrin"
    QMainDialog *window = desktop.openWindow();
    QVERIFY(window);

    QCOMPARE(desktop.user.boxCount(), 1);
    const TavrinFakeUser::Box box = desktop.user.boxes().first();
    QCOMPARE(box.title, QStringLiteral("Connection error"));
    QCOMPARE(box.text, QStringLiteral("Can't connect to Tavrin service."));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(box.hasParent);

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
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
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

    const QAbstractItemModel *model = chooser->model();
    QCOMPARE(model->index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(model->index(0, 0).data(Qt::CheckStateRole).toInt() != int(Qt::Checked));
    QTRY_VERIFY_WITH_TIMEOUT(!desktop.window()->findChild<QVPNListServers *>(), 20000);
}

// Every column of the display table. The handler is run directly through the window's
// meta-object so that the display is read before any timer of the window can fire; the same
// codes travel through the service socket in stateFromService.
void tst_MainDialog::stateDisplay_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QVariantMap>("expected");

    const QString busyFrame = QStringLiteral(
            "background: #ffc62b; border: none; border-radius: 5px;");
    const QString upFrame = QStringLiteral(
            "background: #f27168; border: none; border-radius: 5px;");
    const QString grey = QStringLiteral("background: #cacacd; color: white");
    const QString blue = QStringLiteral("background: #42b0e3; color: white");

    QTest::newRow("Connecting") << 0
                                << QVariantMap{{"tray", "tray_connect.ico"},
                                               {"title", ":/imgs/title-logo.png"},
                                               {"page", 1},
                                               {"connectPage", 0},
                                               {"frameStyle", busyFrame},
                                               {"connectText", "Connecting.."},
                                               {"country", "Freedonia"},
                                               {"countryStyle", "color: #b67e00"},
                                               {"stateText", "CONNECTING"},
                                               {"stateStyle", grey},
                                               {"addressIcon", ":/imgs/encryption-disabled.png"},
                                               {"addressLabel", "Tavrin IP ADDRESS"},
                                               {"addressValue", "Detecting..."},
                                               {"clockIcon", ":/imgs/clock-disabled.png"},
                                               {"time", ""},
                                               {"keyIcon", ":/imgs/key-disabled.png"},
                                               {"timePage", 0},
                                               {"cursor", int(Qt::ArrowCursor)},
                                               {"menuText", "Connecting"},
                                               {"enabled", QVariantList{false, false, false, false}},
                                               {"stored", false}};
    QTest::newRow("Connected") << 1
                               << QVariantMap{{"tray", "tray_on.ico"},
                                              {"title", ":/imgs/title-logo.png"},
                                              {"page", 1},
                                              {"connectPage", 0},
                                              {"frameStyle", upFrame},
                                              {"connectText", "Disconnect"},
                                              {"country", "Freedonia"},
                                              {"countryStyle", "color: #853d38"},
                                              {"stateText", "CONNECTED"},
                                              {"stateStyle", blue},
                                              {"addressIcon", ":/imgs/encryption.png"},
                                              {"addressLabel", "Tavrin IP ADDRESS"},
                                              {"addressValue", keep},
                                              {"clockIcon", ":/imgs/clock.png"},
                                              {"time", "^01:01:\\d\\d$"},
                                              {"keyIcon", ":/imgs/key.png"},
                                              {"timePage", 0},
                                              {"cursor", keep},
                                              {"menuText", "Disconnect"},
                                              {"enabled", QVariantList{true, true, true, false}},
                                              {"stored", true}};
    QTest::newRow("Disconnecting")
            << 2
            << QVariantMap{{"tray", "tray_connect.ico"},
                           {"title", ":/imgs/title-logo.png"},
                           {"page", keep},
                           {"connectPage", 0},
                           {"frameStyle", busyFrame},
                           {"connectText", "Disconnecting.."},
                           {"country", keep},
                           {"countryStyle", keep},
                           {"stateText", "DISCONNECTING"},
                           {"stateStyle", grey},
                           {"addressIcon", ":/imgs/encryption-disabled.png"},
                           {"addressLabel", keep},
                           {"addressValue", "Detecting..."},
                           {"clockIcon", ":/imgs/clock-disabled.png"},
                           {"time", ""},
                           {"keyIcon", ":/imgs/key-disabled.png"},
                           {"timePage", 0},
                           {"cursor", keep},
                           {"menuText", "Disconnect"},
                           {"enabled", QVariantList{false, false, false, false}},
                           {"stored", false}};
    QTest::newRow("Disconnected")
            << 3
            << QVariantMap{{"tray", "tray_off.ico"},
                           {"title", keep},
                           {"page", keep},
                           {"connectPage", 1},
                           {"frameStyle",
                            "background: blue; color: white; border: none; border-radius: 5px;"},
                           {"connectText", "Connect"},
                           {"country", "Freedonia"},
                           {"countryStyle", "color: #863d38"},
                           {"stateText", "DISCONNECTED"},
                           {"stateStyle", grey},
                           {"addressIcon", ":/imgs/encryption-disabled.png"},
                           {"addressLabel", "PUBLIC IP ADDRESS"},
                           {"addressValue", "Detecting..."},
                           {"clockIcon", ":/imgs/clock-disabled.png"},
                           {"time", "Not Connected"},
                           {"keyIcon", ":/imgs/key-disabled.png"},
                           {"timePage", 1},
                           {"cursor", int(Qt::PointingHandCursor)},
                           {"menuText", "Connect"},
                           {"enabled", QVariantList{true, true, true, true}},
                           {"stored", false}};
    QTest::newRow("Timeout") << 4
                             << QVariantMap{{"tray", "tray_off.ico"},
                                            {"title", ":/imgs/title-logo.png"},
                                            {"page", 1},
                                            {"connectPage", 0},
                                            {"frameStyle", upFrame},
                                            {"connectText", "Disconnect"},
                                            {"country", "Freedonia"},
                                            {"countryStyle", "color: #853d38"},
                                            {"stateText", "TIMEOUT"},
                                            {"stateStyle", blue},
                                            {"addressIcon", ":/imgs/encryption.png"},
                                            {"addressLabel", "Tavrin IP ADDRESS"},
                                            {"addressValue", keep},
                                            {"clockIcon", ":/imgs/clock.png"},
                                            {"time", ""},
                                            {"keyIcon", ":/imgs/key.png"},
                                            {"timePage", 0},
                                            {"cursor", keep},
                                            {"menuText", "Disconnect"},
                                            {"enabled", QVariantList{true, true, true, false}},
                                            {"stored", false}};
    const QVariantMap
            unknown{{"tray", "tray_off.ico"}, {"title", keep},
                    {"page", keep},           {"connectPage", 0},
                    {"frameStyle", keep},     {"connectText", keep},
                    {"country", keep},        {"countryStyle", keep},
                    {"stateText", "UNKNOWN"}, {"stateStyle", grey},
                    {"addressIcon", keep},    {"addressLabel", keep},
                    {"addressValue", keep},   {"clockIcon", keep},
                    {"time", keep},           {"keyIcon", keep},
                    {"timePage", 0},          {"cursor", keep},
                    {"menuText", "Connect"},  {"enabled", QVariantList{true, true, true, true}},
                    {"stored", false}};
    QTest::newRow("code 5") << 5 << unknown;
    QTest::newRow("code 200") << 200 << unknown;
    QTest::newRow("code -1") << -1 << unknown;
}

void tst_MainDialog::stateDisplay()
{
    QFETCH(int, code);
    QFETCH(QVariantMap, expected);

    QVPNClientSettings::setConnection(VPNServer{QStringLiteral("Freedonia"), QStringLiteral("FD"),
                                                QStringLiteral("127.0.0.9")});
    TavrinFakeDesktop desktop;
    desktop.webApi.setServerList("{}");
    QVERIFY(desktop.start());
    QMainDialog *window = desktop.openWindow();
    QVERIFY(window);

    auto *title = desktop.widget<QLabel>("title_label");
    auto *pages = desktop.widget<QStackedWidget>("stackedWidget");
    auto *connectPages = desktop.widget<QStackedWidget>("connect_stackedWidget");
    auto *frame = desktop.widget<QWidget>("connect_frame");
    auto *connectLabel = desktop.widget<QLabel>("connect_label");
    auto *country = desktop.widget<QLabel>("connect_country_label");
    auto *stateLabel = desktop.widget<QLabel>("connecton_label");
    auto *addressIcon = desktop.widget<QLabel>("ipaddress_icon");
    auto *addressLabel = desktop.widget<QLabel>("ipaddress_label");
    auto *addressValue = desktop.widget<QLabel>("ipaddress_value_label");
    auto *clockIcon = desktop.widget<QLabel>("time_connected_icon");
    auto *time = desktop.widget<QLabel>("time_connected_value_label");
    auto *keyIcon = desktop.widget<QLabel>("encryption_icon");
    auto *timePages = desktop.widget<QStackedWidget>("timeconnected_section");
    QAction *connectAction = desktop.trayAction(0);
    QMenu *countries = desktop.changeCountryMenu();
    // The entries whose enabled state follows the state; the submenu through its own widget.
    const QList<QObject *> switchable{connectAction, desktop.trayAction(2), countries,
                                      desktop.trayAction(5)};
    auto isEnabled = [](QObject *entry) {
        if (auto *menu = qobject_cast<QMenu *>(entry))
            return menu->isEnabled() && menu->menuAction()->isEnabled();
        return qobject_cast<QAction *>(entry)->isEnabled();
    };
    auto setEnabled = [](QObject *entry, bool enabled) {
        if (auto *menu = qobject_cast<QMenu *>(entry))
            menu->setEnabled(enabled);
        else
            qobject_cast<QAction *>(entry)->setEnabled(enabled);
    };
    QVERIFY(title && pages && connectPages && frame && connectLabel && country && stateLabel
            && addressIcon && addressLabel && addressValue && clockIcon && time && keyIcon
            && timePages && connectAction && countries && desktop.trayAction(5));

    // Seed every element with a value no state gives it, so that "left as it is" shows.
    const QPixmap seeded = QPixmap(QLatin1String(seedPixmap));
    const QVariantList enabled = expected.value("enabled").toList();
    title->setPixmap(seeded);
    pages->setCurrentIndex(0);
    connectPages->setCurrentIndex(1 - expected.value("connectPage").toInt());
    frame->setStyleSheet(QStringLiteral("background: green"));
    for (QLabel *label : {connectLabel, country, addressLabel, addressValue, time})
        label->setText(seed);
    country->setStyleSheet(QStringLiteral("color: green"));
    for (QLabel *label : {addressIcon, clockIcon, keyIcon})
        label->setPixmap(seeded);
    timePages->setCurrentIndex(1 - expected.value("timePage").toInt());
    title->setCursor(Qt::WaitCursor);
    desktop.trayIcon()->setIcon(QIcon(seeded));
    connectAction->setText(seed);
    for (int i = 0; i < switchable.size(); ++i)
        setEnabled(switchable.at(i), !enabled.at(i).toBool());
    desktop.widget<QLineEdit>("username_edit")->setText(QStringLiteral("alice"));
    desktop.widget<QLineEdit>("password_edit")->setText(QStringLiteral("secret"));

    if (code == Connected) {
        QVERIFY(QMetaObject::invokeMethod(window, "vpn_startTime", Qt::DirectConnection,
                                          Q_ARG(uint, secondsFromNow(-3661))));
    }
    QVERIFY(QMetaObject::invokeMethod(window, "vpn_notifyStatusChange", Qt::DirectConnection,
                                      Q_ARG(char, char(code))));

    auto checkText = [&](QLabel *label, const char *key) {
        const QString value = expected.value(QLatin1String(key)).toString();
        return label->text() == (value == keep ? seed : value);
    };
    auto checkPixmap = [&](QLabel *label, const char *key) {
        const QString value = expected.value(QLatin1String(key)).toString();
        return labelImage(label) == (value == keep ? seeded.toImage() : imageOf(value));
    };

    QCOMPARE(iconImage(desktop.trayIcon()->icon()),
             trayImage(qPrintable(expected.value("tray").toString())));
    QVERIFY(checkPixmap(title, "title"));
    const QVariant page = expected.value("page");
    QCOMPARE(pages->currentIndex(), page.toString() == keep ? 0 : page.toInt());
    QCOMPARE(connectPages->currentIndex(), expected.value("connectPage").toInt());
    const QString frameStyle = expected.value("frameStyle").toString();
    QCOMPARE(frame->styleSheet(),
             frameStyle == keep ? QStringLiteral("background: green") : frameStyle);
    QVERIFY(checkText(connectLabel, "connectText"));
    QVERIFY(checkText(country, "country"));
    const QString countryStyle = expected.value("countryStyle").toString();
    QCOMPARE(country->styleSheet(),
             countryStyle == keep ? QStringLiteral("color: green") : countryStyle);
    QCOMPARE(stateLabel->text(), expected.value("stateText").toString());
    QCOMPARE(stateLabel->styleSheet(), expected.value("stateStyle").toString());
    QVERIFY(checkPixmap(addressIcon, "addressIcon"));
    QVERIFY(checkText(addressLabel, "addressLabel"));
    QVERIFY(checkText(addressValue, "addressValue"));
    QVERIFY(checkPixmap(clockIcon, "clockIcon"));
    if (code == Connected) {
        QVERIFY2(QRegularExpression(expected.value("time").toString()).match(time->text()).hasMatch(),
                 qPrintable(time->text()));
    } else {
        QVERIFY2(checkText(time, "time"), qPrintable(time->text()));
    }
    QVERIFY(checkPixmap(keyIcon, "keyIcon"));
    QCOMPARE(timePages->currentIndex(), expected.value("timePage").toInt());
    const QVariant cursor = expected.value("cursor");
    QCOMPARE(int(title->cursor().shape()),
             cursor.toString() == keep ? int(Qt::WaitCursor) : cursor.toInt());
    QCOMPARE(connectAction->text(), expected.value("menuText").toString());
    for (int i = 0; i < switchable.size(); ++i)
        QCOMPARE(isEnabled(switchable.at(i)), enabled.at(i).toBool());
    // Status, Feedback and Exit are never disabled.
    for (int index : {1, 4, 6})
        QVERIFY(desktop.trayAction(index)->isEnabled());

    QString username;
    QString password;
    QCOMPARE(QVPNClientSettings::getCredentials(username, password),
             expected.value("stored").toBool());
    if (expected.value("stored").toBool()) {
        QCOMPARE(username, QStringLiteral("alice"));
        QCOMPARE(password, QStringLiteral("secret"));
    }
}

void tst_MainDialog::stateFromService_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("stateText");
    QTest::addColumn<QString>("menuText");
    QTest::newRow("Connecting") << 0 << "CONNECTING"
                                << "Connecting";
    QTest::newRow("Connected") << 1 << "CONNECTED"
                               << "Disconnect";
    QTest::newRow("Disconnecting") << 2 << "DISCONNECTING"
                                   << "Disconnect";
    QTest::newRow("Disconnected") << 3 << "DISCONNECTED"
                                  << "Connect";
    QTest::newRow("Timeout") << 4 << "TIMEOUT"
                             << "Disconnect";
    QTest::newRow("code 200") << 200 << "UNKNOWN"
                              << "Connect";
    QTest::newRow("code 255") << 255 << "UNKNOWN"
                              << "Connect";
}

void tst_MainDialog::stateFromService()
{
    QFETCH(int, code);
    QFETCH(QString, stateText);
    QFETCH(QString, menuText);

    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    auto *stateLabel = desktop.widget<QLabel>("connecton_label");
    stateLabel->setText(seed);
    desktop.trayAction(0)->setText(seed);

    QVERIFY(bringToState(desktop, code));
    QCOMPARE(stateLabel->text(), stateText);
    QCOMPARE(desktop.trayAction(0)->text(), menuText);
}

void tst_MainDialog::clock_showsTimeSinceStart()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    auto *time = desktop.widget<QLabel>("time_connected_value_label");

    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(-3661))));
    const QRegularExpression hourAgo(QStringLiteral("^01:01:\\d\\d$"));
    QVERIFY2(hourAgo.match(time->text()).hasMatch(), qPrintable(time->text()));

    // The clock ticks: the text moves on by itself.
    const QString first = time->text();
    QTRY_VERIFY_WITH_TIMEOUT(time->text() != first, 20000);
    QVERIFY2(hourAgo.match(time->text()).hasMatch(), qPrintable(time->text()));

    // More than a day wraps around midnight.
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(-86400 - 125))));
    QVERIFY2(QRegularExpression(QStringLiteral("^00:02:\\d\\d$")).match(time->text()).hasMatch(),
             qPrintable(time->text()));
}

void tst_MainDialog::clock_startInTheFuture()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    auto *time = desktop.widget<QLabel>("time_connected_value_label");

    // A start time ahead of the local clock counts back from midnight.
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(3630))));
    QVERIFY2(QRegularExpression(QStringLiteral("^22:59:[3-5]\\d$")).match(time->text()).hasMatch(),
             qPrintable(time->text()));
}

void tst_MainDialog::clock_timeoutKeepsItRunningDisconnectingStopsIt()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    auto *time = desktop.widget<QLabel>("time_connected_value_label");
    const QRegularExpression clock(QStringLiteral("^00:1\\d:\\d\\d$"));

    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(-600))));
    QVERIFY(clock.match(time->text()).hasMatch());

    QVERIFY(desktop.deliver(buildStatusFrame(Timeout)));
    QCOMPARE(time->text(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(clock.match(time->text()).hasMatch(), 20000);

    QVERIFY(desktop.deliver(buildStatusFrame(Disconnecting)));
    QCOMPARE(time->text(), QString());
    // A stopped clock never writes again; give a running one more than a tick to show itself.
    QTest::qWait(1600);
    QCOMPARE(time->text(), QString());
}

void tst_MainDialog::clock_followsTheNewestConnection()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    auto *time = desktop.widget<QLabel>("time_connected_value_label");

    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.2", secondsFromNow(-3661))));
    QVERIFY(desktop.deliver(buildConnectedFrame("10.8.0.3", secondsFromNow(-7322))));
    const QRegularExpression twoHours(QStringLiteral("^02:02:\\d\\d$"));
    QVERIFY2(twoHours.match(time->text()).hasMatch(), qPrintable(time->text()));
    // Over several ticks, nothing brings the older start time back.
    for (int tick = 0; tick < 2; ++tick) {
        const QString before = time->text();
        QTRY_VERIFY_WITH_TIMEOUT(time->text() != before, 20000);
        QVERIFY2(twoHours.match(time->text()).hasMatch(), qPrintable(time->text()));
    }
}

void tst_MainDialog::loginFailure_shownOnNextDisconnected()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    desktop.widget<QLineEdit>("username_edit")->setText(QStringLiteral("carol"));
    desktop.widget<QLineEdit>("password_edit")->setText(QStringLiteral("wrong"));
    QTest::mouseClick(desktop.widget<QPushButton>("connect_button"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(),
                              QList<int>({CredentialsRequest, ConnectToVPNRequest}), 20000);
    QVERIFY(desktop.deliver(buildStatusFrame(Connecting)));
    auto *pages = desktop.widget<QStackedWidget>("stackedWidget");
    QCOMPARE(pages->currentIndex(), 1);
    desktop.peer.clearFrames();

    // The failure itself only sends an abort request.
    QVERIFY(desktop.deliver(buildFrame(LoginFailed)));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(), QList<int>({AbortRequest}), 20000);
    QCOMPARE(desktop.user.boxCount(), 0);
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnecting)));
    QCOMPARE(desktop.user.boxCount(), 0);
    QCOMPARE(pages->currentIndex(), 1);

    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(desktop.user.boxCount(), 1);
    const TavrinFakeUser::Box box = desktop.user.boxes().first();
    QCOMPARE(box.title, QStringLiteral("Login error"));
    QCOMPARE(box.text,
             QStringLiteral(
                     "Login failed.\nPlease check your username and password and try again."));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(desktop.widget<QLabel>("connecton_label")->text(), QStringLiteral("DISCONNECTED"));
    // A failed login stores nothing.
    QString username;
    QString password;
    QVERIFY(!QVPNClientSettings::getCredentials(username, password));

    // The failure is reported once.
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QCOMPARE(desktop.user.boxCount(), 1);
}

void tst_MainDialog::credentialsReply_fillsTheFields()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    QVERIFY(desktop.syncWithWindow());
    QCOMPARE(desktop.peer.frameTypes(), QList<int>({CredentialsRequest}));
    auto *username = desktop.widget<QLineEdit>("username_edit");
    auto *password = desktop.widget<QLineEdit>("password_edit");

    QVERIFY(desktop.deliver(buildCredentialsReplyFrame(
            encodeUserPass(QStringLiteral("dörte"), QStringLiteral("pa55 wörd")))));
    QCOMPARE(username->text(), QStringLiteral("dörte"));
    QCOMPARE(password->text(), QStringLiteral("pa55 wörd"));

    // A reply that does not decode leaves the fields as they are.
    QVERIFY(desktop.deliver(buildCredentialsReplyFrame("!!!")));
    QVERIFY(desktop.deliver(buildCredentialsReplyFrame(encodeUserPass(QString(), "x"))));
    QCOMPARE(username->text(), QStringLiteral("dörte"));
    QCOMPARE(password->text(), QStringLiteral("pa55 wörd"));

    // The text ends at a zero byte.
    QVERIFY(desktop.deliver(
            buildCredentialsReplyFrame(encodeUserPass(QStringLiteral("erin"), QStringLiteral("pw"))
                                       + QByteArray("\0junk", 5))));
    QCOMPARE(username->text(), QStringLiteral("erin"));
    QCOMPARE(password->text(), QStringLiteral("pw"));

    // Filling the fields stores nothing.
    QString stored;
    QVERIFY(!QVPNClientSettings::getCredentials(stored, stored));
}

void tst_MainDialog::bandwidth_reachesTheGraph()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    auto *graph = desktop.widget<QVPNBandwidthWidget>("bandwidth_widget");
    desktop.peer.sendBandwidth(0, 600000, 1234);
    QTRY_COMPARE_WITH_TIMEOUT(graph->keptSamples().size(), 1, 20000);
    QCOMPARE(graph->keptSamples().first().type, quint8(0));
    QCOMPARE(graph->keptSamples().first().download, quint32(600000));
    QCOMPARE(graph->keptSamples().first().upload, quint32(1234));
    QCOMPARE(graph->scaleTop(), quint64(1000000));
}

void tst_MainDialog::statusBox_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("before any message") << -2 << "VPN connection is disconnected.";
    QTest::newRow("Connecting") << 0 << "VPN connection is trying to connect to Freedonia.";
    QTest::newRow("Connected") << 1 << "VPN connection is connected to Freedonia.";
    QTest::newRow("Disconnecting") << 2 << "VPN connection is disconnected.";
    QTest::newRow("Disconnected") << 3 << "VPN connection is disconnected.";
    QTest::newRow("Timeout")
            << 4 << "VPN connection is disconnecting, but it's trying to connect to Freedonia.";
    QTest::newRow("code 200") << 200 << "Unknown VPN connection state.";
}

void tst_MainDialog::statusBox()
{
    QFETCH(int, code);
    QFETCH(QString, text);

    QVPNClientSettings::setConnection(VPNServer{QStringLiteral("Freedonia"), QStringLiteral("FD"),
                                                QStringLiteral("127.0.0.9")});
    TavrinFakeDesktop desktop;
    desktop.webApi.setServerList("{}");
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    if (code >= 0)
        QVERIFY(bringToState(desktop, code));
    const QString stateText = desktop.widget<QLabel>("connecton_label")->text();
    const int page = desktop.widget<QStackedWidget>("stackedWidget")->currentIndex();

    desktop.trayAction(1)->trigger();
    QCOMPARE(desktop.user.boxCount(), 1);
    const TavrinFakeUser::Box box = desktop.user.boxes().first();
    QCOMPARE(box.title, QStringLiteral("Tavrin Status"));
    QCOMPARE(box.text, text);
    QCOMPARE(box.icon, QMessageBox::Information);
    QVERIFY(box.hasParent);
    // The window stays as it was.
    QCOMPARE(desktop.widget<QLabel>("connecton_label")->text(), stateText);
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), page);
}

void tst_MainDialog::connectButton_sendsFieldsAndShowsConnectionPage()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    QVERIFY(desktop.syncWithWindow());
    desktop.peer.clearFrames();

    // Empty fields go out as they are.
    QTest::mouseClick(desktop.widget<QPushButton>("connect_button"), Qt::LeftButton);
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frames().size(), 1, 20000);
    ConnectRequest request = readConnectRequest(desktop.peer.frames().first());
    QCOMPARE(request.host, tavrinAutoHostname().toUtf8());
    QCOMPARE(request.credentials, encodeUserPass(QString(), QString()));

    desktop.widget<QLineEdit>("username_edit")->setText(QStringLiteral("frank"));
    desktop.widget<QLineEdit>("password_edit")->setText(QStringLiteral("äpfel"));
    QTest::mouseClick(desktop.widget<QPushButton>("connect_button"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frames().size(), 2, 20000);
    request = readConnectRequest(desktop.peer.frames().last());
    QCOMPARE(request.username, QStringLiteral("frank"));
    QCOMPARE(request.password, QStringLiteral("äpfel"));
    // Nothing is stored until the service reports Connected.
    QString stored;
    QVERIFY(!QVPNClientSettings::getCredentials(stored, stored));
}

void tst_MainDialog::connectFrame_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("request"); // 0: none
    QTest::newRow("Connecting") << 0 << 0;
    QTest::newRow("Connected") << 1 << int(AbortRequest);
    QTest::newRow("Disconnecting") << 2 << 0;
    QTest::newRow("Disconnected") << 3 << int(ConnectToVPNRequest);
    QTest::newRow("Timeout") << 4 << int(AbortRequest);
    QTest::newRow("code 200") << 200 << 0;
}

void tst_MainDialog::connectFrame()
{
    QFETCH(int, code);
    QFETCH(int, request);

    storeCredentials(QStringLiteral("gina"), QStringLiteral("pw1"));
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    QVERIFY(bringToState(desktop, code));
    auto *pages = desktop.widget<QStackedWidget>("stackedWidget");
    const int page = pages->currentIndex();
    desktop.peer.clearFrames();

    QTest::mousePress(desktop.widget<QWidget>("connect_frame"), Qt::LeftButton);
    QVERIFY(desktop.syncWithWindow());
    if (request == 0) {
        QVERIFY(desktop.peer.frames().isEmpty());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(), QList<int>({request}), 20000);
    }
    if (request == ConnectToVPNRequest) {
        const ConnectRequest sent = readConnectRequest(desktop.peer.frames().first());
        QCOMPARE(sent.username, QStringLiteral("gina"));
        QCOMPARE(sent.password, QStringLiteral("pw1"));
    }
    // The big button never switches pages.
    QCOMPARE(pages->currentIndex(), page);
}

void tst_MainDialog::trayConnect_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("request"); // 0: none
    QTest::newRow("Connecting") << 0 << 0;
    QTest::newRow("Connected") << 1 << int(AbortRequest);
    QTest::newRow("Disconnecting") << 2 << 0;
    QTest::newRow("Disconnected") << 3 << int(ConnectToVPNRequest);
    QTest::newRow("Timeout") << 4 << int(AbortRequest);
    QTest::newRow("code 200") << 200 << 0;
}

void tst_MainDialog::trayConnect()
{
    QFETCH(int, code);
    QFETCH(int, request);

    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    QVERIFY(bringToState(desktop, code));
    auto *pages = desktop.widget<QStackedWidget>("stackedWidget");
    const int page = pages->currentIndex();
    desktop.peer.clearFrames();

    // In Connecting and Disconnecting the entry is disabled; its slot is run directly there.
    if (desktop.trayAction(0)->isEnabled()) {
        desktop.trayAction(0)->trigger();
    } else {
        QVERIFY(QMetaObject::invokeMethod(desktop.window(), "on_menuConnectTriggered",
                                          Qt::DirectConnection, Q_ARG(bool, false)));
    }
    QVERIFY(desktop.syncWithWindow());
    if (request == 0)
        QVERIFY(desktop.peer.frames().isEmpty());
    else
        QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(), QList<int>({request}), 20000);
    QCOMPARE(pages->currentIndex(), page);
}

void tst_MainDialog::chooserPress_connectsAndRemembersServer()
{
    storeCredentials(QStringLiteral("hank"), QStringLiteral("pw2"));
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, 20000);

    // The settings button shows the connection page of Disconnected: the chooser.
    QTest::mouseClick(desktop.widget<QPushButton>("settings_button"), Qt::LeftButton);
    QCOMPARE(desktop.widget<QStackedWidget>("connect_stackedWidget")->currentIndex(), 1);
    chooser->setCurrentIndex(2);
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Zambia"));
    QVERIFY(desktop.syncWithWindow());
    desktop.peer.clearFrames();

    QTest::mousePress(chooser, Qt::LeftButton, {}, QPoint(10, chooser->height() / 2));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frames().size(), 1, 20000);
    const ConnectRequest request = readConnectRequest(desktop.peer.frames().first());
    QCOMPARE(request.host, QByteArray("127.0.0.4"));
    QCOMPARE(request.username, QStringLiteral("hank"));
    QCOMPARE(QVPNClientSettings::getConnection(),
             (VPNServer{QStringLiteral("Zambia"), QStringLiteral("ZM"),
                        QStringLiteral("127.0.0.4")}));
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);

    // The country label follows the server connected to.
    QVERIFY(desktop.deliver(buildStatusFrame(Connecting)));
    QCOMPARE(desktop.widget<QLabel>("connect_country_label")->text(), QStringLiteral("Zambia"));
}

void tst_MainDialog::jumpToFastest_whileDisconnected()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, 20000);
    QVERIFY(desktop.syncWithWindow());
    desktop.peer.clearFrames();
    const VPNServer remembered = QVPNClientSettings::getConnection();

    desktop.trayAction(2)->trigger();
    QCOMPARE(chooser->currentIndex(), 1);
    QCOMPARE(chooser->currentServer().name, QStringLiteral("Automatic"));
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frames().size(), 1, 20000);
    QCOMPARE(readConnectRequest(desktop.peer.frames().first()).host, QByteArray("127.0.0.3"));
    QCOMPARE(QVPNClientSettings::getConnection(), remembered);
}

void tst_MainDialog::changeCountry_whileDisconnected()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    QTRY_COMPARE_WITH_TIMEOUT(desktop.changeCountryMenu()->actions().size(), 3, 20000);
    QVERIFY(desktop.syncWithWindow());
    desktop.peer.clearFrames();

    desktop.changeCountryMenu()->actions().at(2)->trigger(); // "Zambia"
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QCOMPARE(chooser->currentIndex(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frames().size(), 1, 20000);
    QCOMPARE(readConnectRequest(desktop.peer.frames().first()).host, QByteArray("127.0.0.4"));
    QCOMPARE(QVPNClientSettings::getConnection().name, QStringLiteral("Automatic"));
}

void tst_MainDialog::serverChange_whileConnected()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
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
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frames().size(), 3, 20000);
    QCOMPARE(desktop.peer.frameTypes(),
             QList<int>({AbortRequest, AbortRequest, ConnectToVPNRequest}));
    QCOMPARE(readConnectRequest(desktop.peer.frames().last()).host, QByteArray("127.0.0.2"));
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
    QTest::addColumn<bool>("closesAtOnce");
    QTest::addColumn<bool>("aborts");
    QTest::newRow("Connecting") << 0 << false << false;
    QTest::newRow("Connected") << 1 << false << true;
    QTest::newRow("Disconnecting") << 2 << false << false;
    QTest::newRow("Disconnected") << 3 << true << false;
    QTest::newRow("Timeout") << 4 << false << false;
    QTest::newRow("code 200") << 200 << false << false;
}

void tst_MainDialog::exit()
{
    QFETCH(int, code);
    QFETCH(bool, closesAtOnce);
    QFETCH(bool, aborts);

    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QMainDialog *window = desktop.openWindow();
    QVERIFY(window);
    QVERIFY(bringToState(desktop, code));
    desktop.peer.clearFrames();
    auto *stateLabel = desktop.widget<QLabel>("connecton_label");

    desktop.trayAction(6)->trigger();
    QCOMPARE(window->isVisible(), !closesAtOnce);
    if (closesAtOnce)
        return;
    QVERIFY(desktop.syncWithWindow());
    if (!aborts) {
        QVERIFY(desktop.peer.frames().isEmpty());
        QVERIFY(window->isVisible());
        return;
    }

    // Connected: the window waits for the service to go down.
    QTRY_COMPARE_WITH_TIMEOUT(desktop.peer.frameTypes(), QList<int>({AbortRequest}), 20000);
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnecting)));
    QVERIFY(window->isVisible());
    QVERIFY(desktop.deliver(buildStatusFrame(Disconnected)));
    QVERIFY(!window->isVisible());
    QCOMPARE(stateLabel->text(), QStringLiteral("DISCONNECTING"));
}

void tst_MainDialog::favourites_stored()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    auto *chooser = desktop.widget<QVPNServerComboBox>("comboBox");
    QTRY_COMPARE_WITH_TIMEOUT(chooser->count(), 3, 20000);
    QAbstractItemModel *model = chooser->model();

    model->setData(model->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    model->setData(model->index(2, 0), Qt::Checked, Qt::CheckStateRole);
    emit chooser->starToggled();
    QCOMPARE(QVPNClientSettings::getFavoriteServers(), QStringLiteral("Albania,Zambia"));

    model->setData(model->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
    model->setData(model->index(2, 0), Qt::Unchecked, Qt::CheckStateRole);
    emit chooser->starToggled();
    QCOMPARE(QVPNClientSettings::getFavoriteServers(), QString());
    QVERIFY(QVPNClientSettings().contains(QStringLiteral("FavoriteServers")));
}

void tst_MainDialog::optionCheckBoxes_written()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    QTest::mouseClick(desktop.widget<QPushButton>("settings_button"), Qt::LeftButton);
    auto *autoStart = desktop.widget<QCheckBox>("autoStart_checkBox");
    auto *autoLogin = desktop.widget<QCheckBox>("autoLogin_checkBox");
    QVERIFY(autoStart->isVisible());

    // Click on the box itself, at the left end of the row.
    const QPoint startBox(6, autoStart->height() / 2);
    const QPoint loginBox(6, autoLogin->height() / 2);
    QTest::mouseClick(autoStart, Qt::LeftButton, {}, startBox);
    QVERIFY(autoStart->isChecked());
    QVERIFY(QVPNClientSettings::isAutoStart());
    QVERIFY(QFile::exists(TavrinTestEnvironment::instance()->configHome()
                          + QStringLiteral("/autostart/tavrin-client.desktop")));
    QVERIFY(!QVPNClientSettings::getAutoLogin());

    QTest::mouseClick(autoLogin, Qt::LeftButton, {}, loginBox);
    QVERIFY(QVPNClientSettings::getAutoLogin());

    QTest::mouseClick(autoStart, Qt::LeftButton, {}, startBox);
    QTest::mouseClick(autoLogin, Qt::LeftButton, {}, loginBox);
    QVERIFY(!QVPNClientSettings::isAutoStart());
    QVERIFY(!QVPNClientSettings::getAutoLogin());
}

void tst_MainDialog::settingsAndTitle()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    auto *title = desktop.widget<QLabel>("title_label");
    auto *pages = desktop.widget<QStackedWidget>("stackedWidget");
    auto *stateLabel = desktop.widget<QLabel>("connecton_label");
    const QImage logo = imageOf(QStringLiteral(":/imgs/title-logo.png"));
    stateLabel->setText(seed);

    // Settings: logo, pointing hand, connection page laid out for the recorded state.
    QTest::mouseClick(desktop.widget<QPushButton>("settings_button"), Qt::LeftButton);
    QCOMPARE(pages->currentIndex(), 1);
    QCOMPARE(labelImage(title), logo);
    QCOMPARE(title->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(stateLabel->text(), QStringLiteral("DISCONNECTED"));
    QCOMPARE(desktop.widget<QStackedWidget>("connect_stackedWidget")->currentIndex(), 1);
    QCOMPARE(desktop.widget<QStackedWidget>("timeconnected_section")->currentIndex(), 1);

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
    QCOMPARE(labelImage(title), logo);
    QCOMPARE(stateLabel->text(), QStringLiteral("CONNECTED"));
}

void tst_MainDialog::trayActivation_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("shows");
    QTest::newRow("Trigger") << int(QSystemTrayIcon::Trigger) << true;
    QTest::newRow("DoubleClick") << int(QSystemTrayIcon::DoubleClick) << false;
    QTest::newRow("Context") << int(QSystemTrayIcon::Context) << false;
    QTest::newRow("MiddleClick") << int(QSystemTrayIcon::MiddleClick) << false;
    QTest::newRow("Unknown") << int(QSystemTrayIcon::Unknown) << false;
}

void tst_MainDialog::trayActivation()
{
    QFETCH(int, reason);
    QFETCH(bool, shows);

    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QMainDialog *window = desktop.openWindow();
    QVERIFY(window);
    QTest::mouseClick(desktop.widget<QWidget>("close_button"), Qt::LeftButton);
    QVERIFY(!window->isVisible());

    emit desktop.trayIcon()->activated(QSystemTrayIcon::ActivationReason(reason));
    QCOMPARE(window->isVisible(), shows);
}

void tst_MainDialog::feedback_opensSiteAddress()
{
    qputenv("TAVRIN_SITE_HOST", "site.tavrin.test:8080");
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");

    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QVERIFY(desktop.openWindow());
    const int page = desktop.widget<QStackedWidget>("stackedWidget")->currentIndex();
    desktop.trayAction(4)->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    qunsetenv("TAVRIN_SITE_HOST");

    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.first(), QUrl(QStringLiteral("http://site.tavrin.test:8080/feedback/")));
    QCOMPARE(desktop.widget<QStackedWidget>("stackedWidget")->currentIndex(), page);
}

void tst_MainDialog::loginIcons_focusTheirFields()
{
    TavrinFakeDesktop desktop;
    QVERIFY(desktop.start());
    QMainDialog *window = desktop.openWindow();
    QVERIFY(window);

    QTest::mouseClick(desktop.widget<QWidget>("password_label"), Qt::LeftButton);
    QCOMPARE(window->focusWidget(), desktop.widget<QWidget>("password_edit"));
    QTest::mouseClick(desktop.widget<QWidget>("username_label"), Qt::LeftButton);
    QCOMPARE(window->focusWidget(), desktop.widget<QWidget>("username_edit"));
}

TAVRIN_TEST_MAIN(tst_MainDialog)
#include "tst_maindialog.moc"
