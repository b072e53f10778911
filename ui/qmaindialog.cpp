#include "qmaindialog.h"
#include "ui_qmaindialog.h"

#include "qpublicaddresslookup.h"
#include "qvpnbandwidthwidget.h"
#include "qvpnclientsettings.h"
#include "qvpnlistservers.h"
#include "qvpnservercombobox.h"
#include "tavrincredentials.h"
#include "tavrindeployment.h"
#include "tavrinframe.h"
#include "tavrinlog.h"
#include "tavrinwebrequest.h"

#include <QtCore/qstringlist.h>
#include <QtCore/qtimer.h>
#include <QtCore/qurl.h>
#include <QtGui/qbitmap.h>
#include <QtGui/qdesktopservices.h>
#include <QtGui/qevent.h>
#include <QtGui/qguiapplication.h>
#include <QtGui/qicon.h>
#include <QtGui/qpainter.h>
#include <QtGui/qscreen.h>
#include <QtGui/qwindow.h>
#include <QtNetwork/qnetworkreply.h>
#include <QtWidgets/qaction.h>
#include <QtWidgets/qmessagebox.h>

// What the connection page, the tray icon and the tray menu show for one state code. A null
// text or pixmap path and a page or cursor of -1 leave that element as it is.
struct QMainDialogStateLook
{
    const char *trayIcon;
    const char *titlePixmap;
    int page;
    int connectPage;
    const char *connectFrameStyle;
    const char *connectText; // translated
    bool showServerName;
    const char *serverNameStyle;
    const char *stateText; // translated
    const char *stateStyle;
    const char *addressIcon;
    const char *addressLabel; // translated
    const char *addressValue; // translated
    const char *clockIcon;
    const char *timeConnected; // translated when not empty
    const char *encryptionIcon;
    int timeSectionPage;
    int titleCursor;
    const char *connectActionText;
    bool connectEnabled;
    bool jumpEnabled;
    bool changeCountryEnabled;
    bool settingsEnabled;
};

namespace {

const char trayOff[] = ":/imgs/tray/tray_off.ico";
const char trayBusy[] = ":/imgs/tray/tray_connect.ico";
const char trayOn[] = ":/imgs/tray/tray_on.ico";
const char titleLogo[] = ":/imgs/title-logo.png";

const char busyFrame[] = "background: #ffc62b; border: none; border-radius: 5px;";
const char upFrame[] = "background: #f27168; border: none; border-radius: 5px;";
const char idleFrame[] = "background: blue; color: white; border: none; border-radius: 5px;";
const char greyState[] = "background: #cacacd; color: white";
const char blueState[] = "background: #42b0e3; color: white";

const char tavrinAddress[] = QT_TRANSLATE_NOOP("QMainDialog", "Tavrin IP ADDRESS");
const char detecting[] = QT_TRANSLATE_NOOP("QMainDialog", "Detecting...");

const int keepCursor = -1;
const int keepPage = -1;

// Indexed by state code; the last entry is used for every unknown code.
const QMainDialogStateLook stateLooks[] = {
        // Connecting
        {trayBusy,
         titleLogo,
         1,
         0,
         busyFrame,
         QT_TRANSLATE_NOOP("QMainDialog", "Connecting.."),
         true,
         "color: #b67e00",
         QT_TRANSLATE_NOOP("QMainDialog", "CONNECTING"),
         greyState,
         ":/imgs/encryption-disabled.png",
         tavrinAddress,
         detecting,
         ":/imgs/clock-disabled.png",
         "",
         ":/imgs/key-disabled.png",
         0,
         Qt::ArrowCursor,
         "Connecting",
         false,
         false,
         false,
         false},
        // Connected
        {trayOn,
         titleLogo,
         1,
         0,
         upFrame,
         QT_TRANSLATE_NOOP("QMainDialog", "Disconnect"),
         true,
         "color: #853d38",
         QT_TRANSLATE_NOOP("QMainDialog", "CONNECTED"),
         blueState,
         ":/imgs/encryption.png",
         tavrinAddress,
         nullptr,
         ":/imgs/clock.png",
         "",
         ":/imgs/key.png",
         0,
         keepCursor,
         "Disconnect",
         true,
         true,
         true,
         false},
        // Disconnecting
        {trayBusy,
         titleLogo,
         keepPage,
         0,
         busyFrame,
         QT_TRANSLATE_NOOP("QMainDialog", "Disconnecting.."),
         false,
         nullptr,
         QT_TRANSLATE_NOOP("QMainDialog", "DISCONNECTING"),
         greyState,
         ":/imgs/encryption-disabled.png",
         nullptr,
         detecting,
         ":/imgs/clock-disabled.png",
         "",
         ":/imgs/key-disabled.png",
         0,
         keepCursor,
         "Disconnect",
         false,
         false,
         false,
         false},
        // Disconnected
        {trayOff,
         nullptr,
         keepPage,
         1,
         idleFrame,
         QT_TRANSLATE_NOOP("QMainDialog", "Connect"),
         true,
         "color: #863d38",
         QT_TRANSLATE_NOOP("QMainDialog", "DISCONNECTED"),
         greyState,
         ":/imgs/encryption-disabled.png",
         QT_TRANSLATE_NOOP("QMainDialog", "PUBLIC IP ADDRESS"),
         detecting,
         ":/imgs/clock-disabled.png",
         QT_TRANSLATE_NOOP("QMainDialog", "Not Connected"),
         ":/imgs/key-disabled.png",
         1,
         Qt::PointingHandCursor,
         "Connect",
         true,
         true,
         true,
         true},
        // Timeout
        {trayOff,
         titleLogo,
         1,
         0,
         upFrame,
         QT_TRANSLATE_NOOP("QMainDialog", "Disconnect"),
         true,
         "color: #853d38",
         QT_TRANSLATE_NOOP("QMainDialog", "TIMEOUT"),
         blueState,
         ":/imgs/encryption.png",
         tavrinAddress,
         nullptr,
         ":/imgs/clock.png",
         "",
         ":/imgs/key.png",
         0,
         keepCursor,
         "Disconnect",
         true,
         true,
         true,
         false},
        // any other code
        {trayOff,   nullptr, keepPage,
         0,         nullptr, nullptr,
         false,     nullptr, QT_TRANSLATE_NOOP("QMainDialog", "UNKNOWN"),
         greyState, nullptr, nullptr,
         nullptr,   nullptr, nullptr,
         nullptr,   0,       keepCursor,
         "Connect", true,    true,
         true,      true},
};

const QMainDialogStateLook &stateLook(quint8 code)
{
    const quint8 unknown = quint8(sizeof(stateLooks) / sizeof(stateLooks[0]) - 1);
    return stateLooks[qMin(code, unknown)];
}

// The status box text for a state code; %1 stands for the server name.
const char *statusText(quint8 code)
{
    switch (code) {
    case Connecting:
        return QT_TRANSLATE_NOOP("QMainDialog", "VPN connection is trying to connect to %1.");
    case Connected:
        return QT_TRANSLATE_NOOP("QMainDialog", "VPN connection is connected to %1.");
    case Disconnecting:
    case Disconnected:
        return QT_TRANSLATE_NOOP("QMainDialog", "VPN connection is disconnected.");
    case Timeout:
        return QT_TRANSLATE_NOOP(
                "QMainDialog",
                "VPN connection is disconnecting, but it's trying to connect to %1.");
    default:
        return QT_TRANSLATE_NOOP("QMainDialog", "Unknown VPN connection state.");
    }
}

struct FontRow
{
    const char *family;
    int pointSize;
    int weight;
    const char *styleSheet;
};

void applyFontRow(const FontRow &row, std::initializer_list<QWidget *> widgets,
                  qreal letterSpacing = 0)
{
    QFont font(QString::fromLatin1(row.family), row.pointSize, row.weight, false);
    font.setStyleStrategy(QFont::PreferAntialias);
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    for (QWidget *widget : widgets) {
        widget->setFont(font);
        if (row.styleSheet)
            widget->setStyleSheet(QString::fromLatin1(row.styleSheet));
    }
}

// Windowing systems that do not let a client place its own window (Wayland) move it for us.
bool windowSystemPlacesWindows()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QString credentialsText(const QByteArray &bytes)
{
    const int end = bytes.indexOf('\0');
    return QString::fromUtf8(end < 0 ? bytes : bytes.left(end));
}

} // namespace

QMainDialog::QMainDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::QMainDialog)
    , trayIcon(this)
    , trayMenu(this)
    , service(nullptr)
    , addressLookup(new QPublicAddressLookup(&networkManager, this))
    , state(Disconnected)
{
    ui->setupUi(this);
    setUpKeyboard();
    buildTrayMenu();
    applyFonts();
    if (QVPNClientSettings::isAutoStart())
        ui->autoStart_checkBox->setChecked(true);
    if (QVPNClientSettings::getAutoLogin())
        ui->autoLogin_checkBox->setChecked(true);
    buildWindowPixmap();
    connectService();

    if (!service.connectToService()) {
        showServiceUnreachable();
        serviceAvailable = false;
        return;
    }
    restoreSession();
}

QMainDialog::~QMainDialog()
{
    delete ui;
}

bool QMainDialog::isServiceAvailable() const
{
    return serviceAvailable;
}

bool QMainDialog::isInitialized() const
{
    return initialized;
}

// Enter in the login fields logs in as the Connect button does. No button is a default button:
// the dialog would otherwise make the first one (the title bar's minimise button) the target
// of Enter.
void QMainDialog::setUpKeyboard()
{
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);
    connect(ui->username_edit, &QLineEdit::returnPressed, this,
            &QMainDialog::on_connect_button_clicked);
    connect(ui->password_edit, &QLineEdit::returnPressed, this,
            &QMainDialog::on_connect_button_clicked);
}

// The window itself is never shown in this case. The box is centred on its parent, so the
// window is first placed where it would open: in the middle of its screen.
void QMainDialog::showServiceUnreachable()
{
    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QMessageBox::critical(this, tr("Connection error"), tr("Can't connect to Tavrin service."),
                          QMessageBox::Ok, QMessageBox::NoButton);
}

void QMainDialog::buildTrayMenu()
{
    connectAction = trayMenu.addAction(QStringLiteral("&Connect"));
    statusAction = trayMenu.addAction(QStringLiteral("&Status"));
    jumpToFastestAction = trayMenu.addAction(QStringLiteral("&Jump to fastest"));
    changeCountryMenu = trayMenu.addMenu(QStringLiteral("C&hange country"));
    feedbackAction = trayMenu.addAction(QStringLiteral("&Feedback"));
    settingsAction = trayMenu.addAction(QStringLiteral("Se&ttings"));
    exitAction = trayMenu.addAction(QStringLiteral("E&xit"));
}

void QMainDialog::applyFonts()
{
    applyFontRow({"Roboto", 16, 60, nullptr}, {ui->username_edit, ui->password_edit});
    applyFontRow({"Roboto", 20, 70, nullptr}, {ui->connect_button, ui->settings_button});
    applyFontRow({"Roboto", 14, 70, nullptr}, {ui->autoStart_checkBox, ui->autoLogin_checkBox});
    applyFontRow({"Roboto", 20, 50, nullptr}, {ui->connect_label});
    applyFontRow({"Roboto", 10, 75, "color: #863d38"}, {ui->connect_country_label});
    applyFontRow({"Roboto Condensed", 14, 100, nullptr}, {ui->connecton_label}, 5.0);
    applyFontRow({"Roboto", 10, 100, "color: #999999"}, {ui->ipaddress_label});
    applyFontRow({"Roboto", 16, 40, "color: #333333"}, {ui->ipaddress_value_label});
    applyFontRow({"Roboto", 10, 100, "color: #999999"}, {ui->time_connected_label});
    applyFontRow({"Roboto", 16, 40, "color: #333333"}, {ui->time_connected_value_label});
    applyFontRow({"Roboto", 10, 100, "color: #999999"}, {ui->encryption_text});
    applyFontRow({"Roboto", 16, 40, "color: #333333"}, {ui->encryption_value_text});
}

void QMainDialog::connectService()
{
    connect(&service, &QTavrinServiceConnection::credentials, this, &QMainDialog::vpn_credentials);
    connect(&service, &QTavrinServiceConnection::notifyStatusChange, this,
            &QMainDialog::vpn_notifyStatusChange);
    connect(&service, &QTavrinServiceConnection::startTime, this, &QMainDialog::vpn_startTime);
    connect(&service, &QTavrinServiceConnection::updateBandwidth, this,
            &QMainDialog::vpn_updateBandwidth);
    connect(&service, &QTavrinServiceConnection::loginFailed, this, &QMainDialog::vpn_loginFailed);
    connect(&networkManager, &QNetworkAccessManager::finished, this, &QMainDialog::http_finished);
    connect(addressLookup, &QPublicAddressLookup::requestDue, this, &QMainDialog::updateIPAddress);
    connect(addressLookup, &QPublicAddressLookup::textChanged, ui->ipaddress_value_label,
            &QLabel::setText);
    connect(&trayIcon, &QSystemTrayIcon::activated, this, &QMainDialog::on_TrayActivated);
    connect(connectAction, &QAction::triggered, this, &QMainDialog::on_menuConnectTriggered);
    connect(statusAction, &QAction::triggered, this, &QMainDialog::on_menuStatusTriggered);
    connect(jumpToFastestAction, &QAction::triggered, this,
            &QMainDialog::on_menuJumptToFastestTriggered);
    connect(feedbackAction, &QAction::triggered, this, &QMainDialog::on_menuFeedbacktTriggered);
    connect(settingsAction, &QAction::triggered, this, &QMainDialog::on_menuSettingsTriggered);
    connect(exitAction, &QAction::triggered, this, &QMainDialog::on_menuExitTriggered);
}

// The part of the construction that needs the service: tray icon, chosen server, credentials,
// auto-login and the server list.
void QMainDialog::restoreSession()
{
    trayIcon.setContextMenu(&trayMenu);
    trayIcon.setIcon(QIcon(QString::fromLatin1(trayOff)));
    trayIcon.show();

    connection = QVPNClientSettings::getConnection();
    ui->comboBox->setCurrentServer(connection);

    QString username;
    QString password;
    if (QVPNClientSettings::getCredentials(username, password)) {
        ui->username_edit->setText(username);
        ui->password_edit->setText(password);
    } else {
        service.sendCredentialsRequest();
    }

    initialized = true;
    if (QVPNClientSettings::getAutoLogin())
        on_connect_button_clicked();
    requestServerList();
}

void QMainDialog::requestServerList()
{
    auto *list = new QVPNListServers(this);
    connect(list, &QVPNListServers::finished, this, [this, list] { serverListArrived(list); });
    list->sendRequest();
}

void QMainDialog::serverListArrived(QVPNListServers *list)
{
    const QList<VPNServer> servers = list->servers();
    ui->comboBox->setServers(servers);
    ui->comboBox->setFavoriteServers(QVPNClientSettings::getFavoriteServers());

    // The chooser keeps showing the server the next connect goes to, when the list has it.
    const int remembered = ui->comboBox->findServer(connection.name);
    if (remembered >= 0)
        ui->comboBox->setCurrentIndex(remembered);

    changeCountryMenu->clear();
    for (const VPNServer &server : servers) {
        // Names are shown as they are: an "&" is no mnemonic. The entry keeps the name itself.
        QString text = server.name;
        QAction *action = changeCountryMenu->addAction(
                text.replace(QLatin1Char('&'), QLatin1String("&&")));
        action->setData(server.name);
        connect(action, &QAction::triggered, this, &QMainDialog::on_menuChangeCountryTriggered);
    }
    list->deleteLater();
}

// Shared operations

void QMainDialog::on_connect_button_clicked()
{
    if (sendConnectRequest())
        ui->stackedWidget->setCurrentIndex(1);
}

bool QMainDialog::sendConnectRequest()
{
    const QString password = ui->password_edit->text();
    const QString username = ui->username_edit->text();
    if (service.sendConnectToVPNRequest(connection.hostname, username, password))
        return true;
    reportRefusedRequest();
    return false;
}

void QMainDialog::sendAbortRequest()
{
    if (!service.sendAbortRequest())
        reportRefusedRequest();
}

// The service connection refused a request (and said why in its error signal, which is in
// the log): the user learns that the command went nowhere; the window stays as it is.
void QMainDialog::reportRefusedRequest()
{
    const QString text
            = service.isConnected()
                      ? tr("The user name, the password or the server name is too long to be sent "
                           "to the "
                           "Tavrin service.")
                      : tr("The request could not be sent: the connection to the Tavrin service is "
                           "closed.");
    QMessageBox::warning(this, tr("Connection error"), text, QMessageBox::Ok, QMessageBox::NoButton);
}

void QMainDialog::saveCredentials()
{
    QVPNClientSettings::setCredentials(ui->username_edit->text(), ui->password_edit->text());
}

int QMainDialog::serverIndexByName(const QString &name)
{
    return qMax(ui->comboBox->findServer(name), 0);
}

VPNServer QMainDialog::serverByName(const QString &name)
{
    return ui->comboBox->serverAt(ui->comboBox->findServer(name));
}

// Selects the chooser's row of the named server and makes it the connection. Without a row of
// the automatic entry (the list failed or lacks it) the settings' automatic entry serves, so
// that no connect request goes out with an empty host name.
void QMainDialog::selectServerNamed(const QString &name)
{
    if (ui->comboBox->findServer(name) < 0 && name == QVPNClientSettings::defaultConnection().name) {
        connection = QVPNClientSettings::defaultConnection();
        ui->comboBox->setCurrentServer(connection);
        return;
    }
    ui->comboBox->setCurrentIndex(serverIndexByName(name));
    connection = serverByName(name);
}

// Selects the chooser's row of the named server and connects to it, without remembering it.
void QMainDialog::connectToServerNamed(const QString &name)
{
    selectServerNamed(name);
    on_connect_button_clicked();
}

// Connects to the named server now when disconnected; otherwise takes the current connection
// down first and connects once the service reports Disconnected.
void QMainDialog::switchServer(const QString &name)
{
    if (state != Disconnected) {
        pendingServerName = name;
        sendAbortRequest();
        return;
    }
    connectToServerNamed(name);
}

// Messages from the service

void QMainDialog::vpn_notifyStatusChange(char state)
{
    handleState(quint8(state));
}

void QMainDialog::handleState(quint8 code)
{
    if (code == Disconnected && exitRequested) {
        quit();
        return;
    }
    if (code == Disconnected && !pendingServerName.isEmpty()) {
        reconnectToPendingServer();
        return;
    }

    const QMainDialogStateLook &look = stateLook(code);
    showStateOnPage(look);
    if (code == Connected) {
        updateTimeConnected();
        saveCredentials();
    } else if (code == Disconnecting) {
        stopClock();
    }
    showStateInTray(look);

    if (code == Connected) {
        startClock();
        restartIPAddressLookup();
    } else if (code == Disconnected) {
        if (loginFailed)
            showLoginFailure();
        restartIPAddressLookup();
    }
    state = code;
}

void QMainDialog::reconnectToPendingServer()
{
    selectServerNamed(pendingServerName);
    pendingServerName.clear();
    on_connect_button_clicked();
}

void QMainDialog::showStateOnPage(const QMainDialogStateLook &look)
{
    trayIcon.setIcon(QIcon(QString::fromLatin1(look.trayIcon)));
    if (look.titlePixmap)
        ui->title_label->setPixmap(QPixmap(QString::fromLatin1(look.titlePixmap)));
    if (look.page != keepPage)
        ui->stackedWidget->setCurrentIndex(look.page);
    ui->connect_stackedWidget->setCurrentIndex(look.connectPage);
    if (look.connectFrameStyle)
        ui->connect_frame->setStyleSheet(QString::fromLatin1(look.connectFrameStyle));
    if (look.connectText)
        ui->connect_label->setText(tr(look.connectText));
    if (look.showServerName)
        ui->connect_country_label->setText(connection.name);
    if (look.serverNameStyle)
        ui->connect_country_label->setStyleSheet(QString::fromLatin1(look.serverNameStyle));
    ui->connecton_label->setText(tr(look.stateText));
    ui->connecton_label->setStyleSheet(QString::fromLatin1(look.stateStyle));
    if (look.addressIcon)
        ui->ipaddress_icon->setPixmap(QPixmap(QString::fromLatin1(look.addressIcon)));
    if (look.addressLabel)
        ui->ipaddress_label->setText(tr(look.addressLabel));
    if (look.addressValue)
        ui->ipaddress_value_label->setText(tr(look.addressValue));
    if (look.clockIcon)
        ui->time_connected_icon->setPixmap(QPixmap(QString::fromLatin1(look.clockIcon)));
    if (look.timeConnected) {
        ui->time_connected_value_label->setText(*look.timeConnected ? tr(look.timeConnected)
                                                                    : QString());
    }
    if (look.encryptionIcon)
        ui->encryption_icon->setPixmap(QPixmap(QString::fromLatin1(look.encryptionIcon)));
    ui->timeconnected_section->setCurrentIndex(look.timeSectionPage);
}

void QMainDialog::showStateInTray(const QMainDialogStateLook &look)
{
    connectAction->setText(QString::fromLatin1(look.connectActionText));
    connectAction->setEnabled(look.connectEnabled);
    jumpToFastestAction->setEnabled(look.jumpEnabled);
    changeCountryMenu->setEnabled(look.changeCountryEnabled);
    settingsAction->setEnabled(look.settingsEnabled);
    if (look.titleCursor != keepCursor)
        ui->title_label->setCursor(Qt::CursorShape(look.titleCursor));
}

// Each Connected starts the clock anew. A clock still running from an earlier Connected is
// stopped first, so that only one timer ever ticks.
void QMainDialog::startClock()
{
    stopClock();
    clockTimerId = startTimer(1000, Qt::CoarseTimer);
}

void QMainDialog::stopClock()
{
    if (clockTimerId != 0)
        killTimer(clockTimerId);
    clockTimerId = 0;
}

// The box is modal: further state messages are handled while it is open. The failure is
// cleared before the box opens so that a second Disconnected meanwhile does not stack another.
void QMainDialog::showLoginFailure()
{
    ui->stackedWidget->setCurrentIndex(0);
    loginFailed = false;
    QMessageBox::warning(
            this, tr("Login error"),
            tr("Login failed.\nPlease check your username and password and try again."),
            QMessageBox::Ok, QMessageBox::NoButton);
}

void QMainDialog::vpn_startTime(uint startTime)
{
    this->startTime = QDateTime::fromSecsSinceEpoch(startTime);
}

void QMainDialog::vpn_updateBandwidth(uchar type, uint download, uint upload)
{
    ui->bandwidth_widget->addSample(type, download, upload);
}

void QMainDialog::vpn_loginFailed()
{
    loginFailed = true;
    sendAbortRequest();
}

void QMainDialog::vpn_credentials(QByteArray credentials)
{
    QString username;
    QString password;
    if (!decodeUserPass(credentialsText(credentials), username, password))
        return;
    ui->username_edit->setText(username);
    ui->password_edit->setText(password);
}

void QMainDialog::timerEvent(QTimerEvent *event)
{
    if (clockTimerId != 0 && event->timerId() == clockTimerId)
        updateTimeConnected();
}

void QMainDialog::updateTimeConnected()
{
    const qint64 seconds = startTime.secsTo(QDateTime::currentDateTime());
    const QTime elapsed = QTime(0, 0).addSecs(int(seconds % 86400));
    ui->time_connected_value_label->setText(elapsed.toString(Qt::TextDate));
}

void QMainDialog::on_menuStatusTriggered(bool)
{
    QString text = tr(statusText(state));
    if (text.contains(QLatin1String("%1")))
        text = text.arg(connection.name);
    QMessageBox::information(this, tr("Tavrin Status"), text, QMessageBox::Ok,
                             QMessageBox::NoButton);
}

// Public address lookup

void QMainDialog::restartIPAddressLookup()
{
    addressLookup->restart();
}

void QMainDialog::scheduleIPAddressUpdate()
{
    addressLookup->schedule();
}

void QMainDialog::updateIPAddress()
{
    addressLookup->sendRequest();
}

void QMainDialog::http_finished(QNetworkReply *reply)
{
    addressLookup->handleReply(reply);
}

// Commands

void QMainDialog::on_username_label_clicked()
{
    ui->username_edit->setFocus(Qt::OtherFocusReason);
}

void QMainDialog::on_password_label_clicked()
{
    ui->password_edit->setFocus(Qt::OtherFocusReason);
}

void QMainDialog::on_settings_button_clicked()
{
    ui->title_label->setPixmap(QPixmap(QString::fromLatin1(titleLogo)));
    ui->title_label->setCursor(Qt::PointingHandCursor);
    ui->stackedWidget->setCurrentIndex(1);
    handleState(state);
}

void QMainDialog::on_title_label_clicked()
{
    if (state != Disconnected)
        return;
    ui->title_label->setPixmap(QPixmap());
    ui->title_label->setCursor(Qt::ArrowCursor);
    ui->stackedWidget->setCurrentIndex(0);
}

void QMainDialog::on_connect_frame_clicked()
{
    switch (state) {
    case Disconnected:
        sendConnectRequest();
        break;
    case Connected:
    case Timeout:
        sendAbortRequest();
        break;
    default:
        break;
    }
}

void QMainDialog::on_comboBox_pressed()
{
    connection = ui->comboBox->currentServer();
    QVPNClientSettings::setConnection(connection);
    on_connect_button_clicked();
}

void QMainDialog::on_comboBox_starToggled()
{
    QStringList favourites;
    const QAbstractItemModel *model = ui->comboBox->model();
    for (int row = 0; row < ui->comboBox->count(); ++row) {
        if (model->index(row, 0).data(Qt::CheckStateRole) != Qt::Checked)
            continue;
        favourites.append(ui->comboBox->itemData(row, Qt::UserRole)
                                  .toMap()
                                  .value(QStringLiteral("name"))
                                  .toString());
    }
    QVPNClientSettings::setFavoriteServers(favourites.join(QLatin1Char(',')));
}

void QMainDialog::on_autoStart_checkBox_clicked(bool checked)
{
    QVPNClientSettings::setAutoStart(checked);
}

void QMainDialog::on_autoLogin_checkBox_clicked(bool checked)
{
    QVPNClientSettings::setAutoLogin(checked);
}

void QMainDialog::on_TrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        showFromTray();
}

// Brings the window back whether it was hidden to the tray or minimised.
void QMainDialog::showFromTray()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

// The tray's first entry reads "Disconnect" and is enabled in Timeout too, so it takes the
// connection down there as the big button does.
void QMainDialog::on_menuConnectTriggered(bool)
{
    if (state == Connected || state == Disconnected || state == Timeout)
        on_connect_frame_clicked();
}

void QMainDialog::on_menuJumptToFastestTriggered(bool)
{
    switchServer(QStringLiteral("Automatic"));
}

void QMainDialog::on_menuChangeCountryTriggered(bool)
{
    const QAction *action = qobject_cast<const QAction *>(sender());
    if (!action)
        return;
    switchServer(action->data().toString());
}

void QMainDialog::on_menuFeedbacktTriggered(bool)
{
    QDesktopServices::openUrl(tavrinFeedbackUrl());
}

// Where a click on the tray icon opens the menu, this entry is the way back to the window.
void QMainDialog::on_menuSettingsTriggered(bool)
{
    showFromTray();
    if (state == Disconnected)
        on_settings_button_clicked();
}

void QMainDialog::on_menuExitTriggered(bool)
{
    if (state == Connected) {
        exitRequested = true;
        sendAbortRequest();
    } else if (state == Disconnected) {
        quit();
    }
}

// Ends the program: the window closes and reports finished(), which ends the event loop.
void QMainDialog::quit()
{
    done(Accepted);
}

// Escape.
void QMainDialog::reject()
{
    hide();
}

// A close from the window manager (Alt+F4, a title bar, a task bar) hides the window to the
// tray as the window's own close button does; only Exit ends the program.
void QMainDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
}

// Window chrome

void QMainDialog::on_minimize_button_clicked()
{
    setWindowState(Qt::WindowMinimized);
}

void QMainDialog::on_close_button_clicked()
{
    hide();
}

void QMainDialog::mousePressEvent(QMouseEvent *event)
{
    dragPosition = event->localPos().toPoint();
    dragging = true;
}

void QMainDialog::mouseReleaseEvent(QMouseEvent *)
{
    dragging = false;
}

void QMainDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging)
        return;
    if (windowSystemPlacesWindows() && windowHandle() && windowHandle()->startSystemMove()) {
        // The windowing system now owns the drag and the release may never reach us.
        dragging = false;
        return;
    }
    move(event->globalPos() - dragPosition);
}

void QMainDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, windowPixmap);
    painter.end();
    setMask(windowPixmap.mask());
}

void QMainDialog::resizeEvent(QResizeEvent *)
{
    buildWindowPixmap();
    update();
}

void QMainDialog::buildWindowPixmap()
{
    const int w = geometry().width();
    const int h = geometry().height();
    if (w <= 0 || h <= 0) {
        windowPixmap = QPixmap();
        return;
    }

    QPixmap pixmap(w, h);
    QBitmap transparent(w, h);
    transparent.fill(Qt::color0);
    pixmap.setMask(transparent);

    QPainter painter(&pixmap);
    painter.setPen(QPen(QBrush(QColor(160, 160, 160, 255)), 1, Qt::SolidLine));
    painter.setBrush(QBrush(QColor(247, 247, 247, 255), Qt::SolidPattern));
    painter.setRenderHint(QPainter::Qt4CompatiblePainting, true);
    painter.drawRoundedRect(QRect(0, 0, w - 1, h - 1), 7.0, 7.0, Qt::AbsoluteSize);
    painter.end();

    windowPixmap = pixmap;
}
