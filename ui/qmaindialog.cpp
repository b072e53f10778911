#include "ui/qmaindialog.h"
#include "ui_qmaindialog.h"

#include "ping/qlatencymonitor.h"
#include "service/tavrincredentials.h"
#include "service/tavrinframe.h"
#include "settings/qvpnclientsettings.h"
#include "ui/qconnectionclock.h"
#include "ui/qconnectionnotifier.h"
#include "ui/qconnectionstatelook.h"
#include "ui/qmaindialogboxes.h"
#include "ui/qmaindialogform.h"
#include "ui/qpublicaddresslookup.h"
#include "webapi/qvpnlistservers.h"
#include "webapi/tavrinwebapi.h"
#include "widgets/qvpnservermodel.h"

#include <QtCore/qtimer.h>
#include <QtGui/qdesktopservices.h>
#include <QtGui/qevent.h>
#include <QtNetwork/qnetworkaccessmanager.h>
#include <QtNetwork/qnetworkreply.h>

QMainDialog::QMainDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::QMainDialog)
    , tray(this)
    , service(nullptr)
    , addressLookup(new QPublicAddressLookup(this))
    , clock(new QConnectionClock(this))
    , notifier(new QConnectionNotifier(this))
    , chrome(new QWindowChrome(this))
    , state(Disconnected)
{
    ui->setupUi(this);
    setUpMainDialogKeys(ui);
    setUpMainDialogAccess(ui);
    describeConnectionState(ui, tr(connectionStatusText(state)), QString());
    applyMainDialogFonts(ui);
    applyMainDialogImages(ui);
    if (QVPNClientSettings::isAutoStart())
        ui->autoStart_checkBox->setChecked(true);
    if (QVPNClientSettings::getAutoLogin())
        ui->autoLogin_checkBox->setChecked(true);
    connectSignals();

    if (!service.connectToService()) {
        showServiceUnreachableBox(this);
        serviceAvailable = false;
        return;
    }
    restoreSession();
}

QMainDialog::~QMainDialog()
{
    delete ui;
}

void QMainDialog::connectSignals()
{
    connect(&service, &QTavrinServiceConnection::credentials, this, &QMainDialog::vpn_credentials);
    connect(&service, &QTavrinServiceConnection::notifyStatusChange, this,
            &QMainDialog::vpn_notifyStatusChange);
    connect(&service, &QTavrinServiceConnection::startTime, this, &QMainDialog::vpn_startTime);
    connect(&service, &QTavrinServiceConnection::updateBandwidth, this,
            &QMainDialog::vpn_updateBandwidth);
    connect(&service, &QTavrinServiceConnection::loginFailed, this, &QMainDialog::vpn_loginFailed);
    connect(&service, &QTavrinServiceConnection::connectionLost, this, [] {
        showServiceClosedBox();
        QCoreApplication::exit(4);
    });
    connect(addressLookup, &QPublicAddressLookup::requestDue, this, &QMainDialog::updateIPAddress);
    connect(addressLookup, &QPublicAddressLookup::textChanged, ui->ipaddress_value_label,
            &QLabel::setText);
    connect(clock, &QConnectionClock::textChanged, ui->time_connected_value_label, &QLabel::setText);
    connect(tray.icon(), &QSystemTrayIcon::activated, this, &QMainDialog::on_TrayActivated);
    connect(notifier, &QConnectionNotifier::notify, this,
            [this](const QString &text) { tray.icon()->showMessage(windowTitle(), text); });
    const std::pair<QAction *, void (QMainDialog::*)(bool)> entries[]
            = {{tray.connectAction(), &QMainDialog::on_menuConnectTriggered},
               {tray.statusAction(), &QMainDialog::on_menuStatusTriggered},
               {tray.jumpToFastestAction(), &QMainDialog::on_menuJumptToFastestTriggered},
               {tray.feedbackAction(), &QMainDialog::on_menuFeedbacktTriggered},
               {tray.settingsAction(), &QMainDialog::on_menuSettingsTriggered},
               {tray.exitAction(), &QMainDialog::on_menuExitTriggered}};
    for (const auto &[entry, slot] : entries)
        connect(entry, &QAction::triggered, this, slot);
    connect(&tray, &QTavrinTray::serverChosen, this, &QMainDialog::on_menuChangeCountryTriggered);
    tray.addWindowKeys(this);
    // Each new list of the chooser's fills the tray's menu and is measured anew.
    QVPNServerModel *servers = ui->comboBox->serverModel();
    tray.setServerModel(servers);
    auto *latencies = new QLatencyMonitor(this);
    connect(servers, &QAbstractItemModel::modelReset, latencies,
            [servers, latencies] { latencies->setHosts(servers->hostnames()); });
    connect(latencies, &QLatencyMonitor::latencyMeasured, servers, &QVPNServerModel::setLatency);
}

// The part of the construction that needs the service: tray icon, chosen server, credentials,
// auto-login and the server list. The tray icon and the web request wait for the event loop,
// so that the window is on screen first.
void QMainDialog::restoreSession()
{
    QTimer::singleShot(0, this, [this] {
        tray.show();
        requestServerList();
    });
    connection = QVPNClientSettings::getConnection();
    ui->comboBox->setCurrentServer(connection);

    QString username;
    QString password;
    if (QVPNClientSettings::getCredentials(username, password)) {
        ui->username_edit->setText(username);
        ui->password_edit->setText(password);
        savedCredentials = QStringList{username, password};
    } else {
        service.sendCredentialsRequest();
    }

    initialized = true;
    if (QVPNClientSettings::getAutoLogin())
        on_connect_button_clicked();
}

// One network manager carries every web request; it is made with the first, once the window
// is on screen.
QNetworkAccessManager *QMainDialog::network()
{
    if (!networkManager)
        networkManager = new QNetworkAccessManager(this);
    return networkManager;
}

void QMainDialog::requestServerList()
{
    auto *list = new QVPNListServers(network(), this);
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
    list->deleteLater();
}

// Connecting and disconnecting

void QMainDialog::on_connect_button_clicked()
{
    if (sendConnectRequest())
        ui->stackedWidget->setCurrentIndex(1);
}

// A request the service connection refuses (its reason is in the log) is shown to the user; the
// window stays as it is.
bool QMainDialog::sendConnectRequest()
{
    const QString password = ui->password_edit->text();
    const QString username = ui->username_edit->text();
    if (service.sendConnectToVPNRequest(connection.hostname, username, password))
        return true;
    showBoxLater(&showRefusedRequestBox);
    return false;
}

// At most one abort is outstanding: until the service reports a state again, a further one
// would only pile up behind it (a service that repeats LoginFailed and never reads).
void QMainDialog::sendAbortRequest()
{
    if (abortOutstanding)
        return;
    abortOutstanding = service.sendAbortRequest();
    if (!abortOutstanding)
        showBoxLater(&showRefusedRequestBox);
}

// Boxes wait for the event loop, so that the service's frames keep being read while a box is
// open; one waits or is open at a time.
void QMainDialog::showBoxLater(void (*showBox)(QWidget *, bool))
{
    if (boxPending)
        return;
    boxPending = true;
    QTimer::singleShot(0, this, [this, showBox] {
        showBox(this, service.isConnected());
        boxPending = false;
    });
}

// Written only when they changed: a service that keeps reconnecting does not rewrite the store.
void QMainDialog::saveCredentials()
{
    const QString username = ui->username_edit->text();
    const QString password = ui->password_edit->text();
    if (savedCredentials == QStringList{username, password})
        return;
    savedCredentials = QStringList{username, password};
    QVPNClientSettings::setCredentials(username, password);
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
    const VPNServer automatic = QVPNClientSettings::defaultConnection();
    if (name == automatic.name && ui->comboBox->findServer(name) < 0) {
        connection = automatic;
        ui->comboBox->setCurrentServer(connection);
        return;
    }
    ui->comboBox->setCurrentIndex(serverIndexByName(name));
    connection = serverByName(name);
}

// Connects to the named server now when disconnected, without remembering it; otherwise takes
// the current connection down first and connects once the service reports Disconnected.
void QMainDialog::switchServer(const QString &name)
{
    if (state != Disconnected) {
        pendingServerName = name;
        notifier->userEndsConnection();
        sendAbortRequest();
        return;
    }
    selectServerNamed(name);
    on_connect_button_clicked();
}

// Messages from the service

void QMainDialog::vpn_notifyStatusChange(char stateCode)
{
    const quint8 code = quint8(stateCode);
    abortOutstanding = false;
    notifier->stateChanged(code, connection.name, isVisible() && isActiveWindow());
    if (code == Disconnected && exitRequested) {
        done(Accepted); // finished() ends the program
        return;
    }
    if (code == Disconnected && !pendingServerName.isEmpty()) {
        // The reconnect: the page keeps the previous state until the service reports again.
        selectServerNamed(pendingServerName);
        pendingServerName.clear();
        on_connect_button_clicked();
        return;
    }

    showConnectionState(ui, &tray, code, connection.name);
    if (code == Connected) {
        clock->start(startTime);
        saveCredentials();
        addressLookup->restart();
    } else if (code == Disconnecting) {
        clock->stop();
    } else if (code == Disconnected) {
        // The box is modal: further state messages are handled while it is open. The failure
        // is cleared first, so that a second Disconnected meanwhile does not stack another box.
        if (loginFailed) {
            chrome->bringBack(); // the login page, to try again, even from the tray
            ui->stackedWidget->setCurrentIndex(0);
            loginFailed = false;
            showBoxLater([](QWidget *window, bool) { showLoginFailedBox(window); });
        }
        addressLookup->restart();
    }
    state = code;
}

void QMainDialog::vpn_startTime(uint seconds)
{
    startTime = QDateTime::fromSecsSinceEpoch(seconds);
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
    if (!decodeCredentialsReply(credentials, username, password))
        return;
    ui->username_edit->setText(username);
    ui->password_edit->setText(password);
}

void QMainDialog::on_menuStatusTriggered(bool)
{
    showStatusBox(this, state, connection.name);
}

// The public address: the lookup asks for a request when one is due, and reads the answers
// among the network manager's replies.

void QMainDialog::updateIPAddress()
{
    addressLookup->sendRequest(network());
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
    showTitleLink(ui, true);
    ui->stackedWidget->setCurrentIndex(1);
    vpn_notifyStatusChange(char(state));
}

void QMainDialog::on_title_label_clicked()
{
    if (state != Disconnected)
        return;
    showTitleLink(ui, false);
    ui->stackedWidget->setCurrentIndex(0);
}

void QMainDialog::on_connect_frame_clicked()
{
    if (state == Disconnected) {
        sendConnectRequest();
    } else if (state == Connected || state == Timeout) {
        notifier->userEndsConnection();
        sendAbortRequest();
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
    QVPNClientSettings::setFavoriteServers(ui->comboBox->favoriteServers());
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
        chrome->bringBack();
}

// Typing starts in the user name field, not on the title bar's first button.
void QMainDialog::showEvent(QShowEvent *event)
{
    if (!focusWidget() && ui->stackedWidget->currentIndex() == 0)
        ui->username_edit->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
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
    switchServer(QVPNClientSettings::defaultConnection().name);
}

void QMainDialog::on_menuChangeCountryTriggered(const QString &serverName)
{
    switchServer(serverName);
}

void QMainDialog::on_menuFeedbacktTriggered(bool)
{
    QDesktopServices::openUrl(tavrinFeedbackUrl());
}

// Where a click on the tray icon opens the menu, this entry is the way back to the window.
void QMainDialog::on_menuSettingsTriggered(bool)
{
    chrome->bringBack();
    if (state == Disconnected)
        on_settings_button_clicked();
}

void QMainDialog::on_menuExitTriggered(bool)
{
    if (state == Connected) {
        exitRequested = true;
        notifier->userEndsConnection();
        sendAbortRequest();
    } else if (state == Disconnected) {
        done(Accepted);
    }
}

// Window chrome

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

void QMainDialog::on_minimize_button_clicked()
{
    setWindowState(Qt::WindowMinimized);
}

void QMainDialog::on_close_button_clicked()
{
    hide();
}
