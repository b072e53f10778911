#include "ui/qmaindialog.h"

#include "ping/qlatencymonitor.h"
#include "service/tavrinframe.h"
#include "settings/qvpnclientsettings.h"
#include "ui/qconnectionnotifier.h"
#include "ui/qconnectionstatelook.h"
#include "ui/qmaindialogboxes.h"
#include "ui/qmaindialogform.h"
#include "webapi/tavrinwebapi.h"
#include "widgets/qvpnservermodel.h"

#include <QtCore/qtimer.h>
#include <QtGui/qdesktopservices.h>
#include <QtGui/qevent.h>

QMainDialog::QMainDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new QMainDialogForm)
    , tray(this)
    , session(this)
    , notifier(new QConnectionNotifier(this))
    , chrome(new QWindowChrome(this))
{
    ui->setupUi(this);
    ui->setUpMainDialogKeys();
    ui->setUpMainDialogAccess();
    ui->describeConnectionState(tr(connectionStatusText(session.state())), QString());
    ui->applyMainDialogFonts();
    ui->applyMainDialogImages();
    if (QVPNClientSettings::isAutoStart())
        ui->autoStart_checkBox->setChecked(true);
    if (QVPNClientSettings::getAutoLogin())
        ui->autoLogin_checkBox->setChecked(true);
    connectSignals();
    connectSession();

    if (!session.connectToService()) {
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
    // The fields, as they read, are the credentials of the next login.
    for (QLineEdit *field : {ui->username_edit, ui->password_edit}) {
        connect(field, &QLineEdit::textChanged, this, [this] {
            session.setCredentials(ui->username_edit->text(), ui->password_edit->text());
        });
    }
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

// What the session reports, shown.
void QMainDialog::connectSession()
{
    using Session = QTavrinSession;
    connect(&session, &Session::stateSeen, this, [this](quint8 code, const QString &name) {
        notifier->stateChanged(code, name, isVisible() && isActiveWindow());
    });
    connect(&session, &Session::userEndsConnection, notifier,
            &QConnectionNotifier::userEndsConnection);
    connect(&session, &Session::stateChanged, this, &QMainDialog::vpn_notifyStatusChange);
    connect(&session, &Session::credentialsArrived, this, &QMainDialog::vpn_credentials);
    connect(&session, &Session::bandwidthSample, ui->bandwidth_widget,
            &QVPNBandwidthWidget::addSample);
    connect(&session, &Session::loginFailed, this, &QMainDialog::vpn_loginFailed);
    connect(&session, &Session::connectionChosen, this, &QMainDialog::showConnection);
    connect(&session, &Session::connectRequested, this,
            [this] { ui->stackedWidget->setCurrentIndex(1); });
    connect(&session, &Session::requestRefused, this,
            [this] { showBoxLater(&showRefusedRequestBox); });
    connect(&session, &Session::serversArrived, this, &QMainDialog::serverListArrived);
    connect(&session, &Session::timeConnectedChanged, ui->time_connected_value_label,
            &QLabel::setText);
    connect(&session, &Session::publicAddressChanged, ui->ipaddress_value_label, &QLabel::setText);
    connect(&session, &Session::exitNow, this, [this] { done(Accepted); }); // finished() ends it
    connect(&session, &Session::connectionLost, this, [] {
        showServiceClosedBox();
        QCoreApplication::exit(4);
    });
}

// The part of the construction that needs the service: tray icon, chosen server, credentials,
// auto-login and the server list. The tray icon and the web request wait for the event loop,
// so that the window is on screen first.
void QMainDialog::restoreSession()
{
    QTimer::singleShot(0, this, [this] {
        tray.show();
        session.requestServerList();
    });
    session.restore();
    initialized = true;
}

void QMainDialog::serverListArrived(const QList<VPNServer> &servers)
{
    ui->comboBox->setServers(servers);
    ui->comboBox->setFavoriteServers(QVPNClientSettings::getFavoriteServers());
    // The chooser keeps showing the server the next connect goes to, when the list has it.
    const int remembered = ui->comboBox->findServer(session.connection().name);
    if (remembered >= 0)
        ui->comboBox->setCurrentIndex(remembered);
}

// The chooser's row of the server the session connects to, or the server itself on its face.
void QMainDialog::showConnection(const VPNServer &server, int index)
{
    if (index >= 0)
        ui->comboBox->setCurrentIndex(index);
    else
        ui->comboBox->setCurrentServer(server);
}

// Boxes wait for the event loop, so that the service's frames keep being read while a box is
// open; one waits or is open at a time.
void QMainDialog::showBoxLater(void (*showBox)(QWidget *, bool))
{
    if (boxPending)
        return;
    boxPending = true;
    QTimer::singleShot(0, this, [this, showBox] {
        showBox(this, session.isLinkOpen());
        boxPending = false;
    });
}

// Messages from the session

void QMainDialog::vpn_notifyStatusChange(quint8 code, const QString &serverName)
{
    ui->showConnectionState(&tray, code, serverName);
}

// The login page, to try again, even from the tray; the box is modal, and further states are
// shown while it is open.
void QMainDialog::vpn_loginFailed()
{
    chrome->bringBack();
    ui->stackedWidget->setCurrentIndex(0);
    showBoxLater([](QWidget *window, bool) { showLoginFailedBox(window); });
}

void QMainDialog::vpn_credentials(const QString &username, const QString &password)
{
    ui->username_edit->setText(username);
    ui->password_edit->setText(password);
}

void QMainDialog::on_menuStatusTriggered(bool)
{
    showStatusBox(this, session.state(), session.connection().name);
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
    ui->showTitleLink(true);
    ui->stackedWidget->setCurrentIndex(1);
    session.repeatState();
}

void QMainDialog::on_title_label_clicked()
{
    if (session.state() != Disconnected)
        return;
    ui->showTitleLink(false);
    ui->stackedWidget->setCurrentIndex(0);
}

void QMainDialog::on_connect_button_clicked()
{
    session.connectToVPN();
}

void QMainDialog::on_connect_frame_clicked()
{
    session.toggleConnection();
}

void QMainDialog::on_comboBox_pressed()
{
    session.connectTo(ui->comboBox->currentServer());
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
    session.toggleConnection();
}

void QMainDialog::on_menuJumptToFastestTriggered(bool)
{
    session.jumpToFastest();
}

void QMainDialog::on_menuChangeCountryTriggered(const QString &serverName)
{
    session.switchServer(serverName);
}

void QMainDialog::on_menuFeedbacktTriggered(bool)
{
    QDesktopServices::openUrl(tavrinFeedbackUrl());
}

// Where a click on the tray icon opens the menu, this entry is the way back to the window.
void QMainDialog::on_menuSettingsTriggered(bool)
{
    chrome->bringBack();
    if (session.state() == Disconnected)
        on_settings_button_clicked();
}

void QMainDialog::on_menuExitTriggered(bool)
{
    session.requestExit();
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
