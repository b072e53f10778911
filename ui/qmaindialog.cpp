#include "ui/qmaindialog.h"
#include "ui_qmaindialog.h"

#include "service/tavrincredentials.h"
#include "service/tavrinframe.h"
#include "settings/qvpnclientsettings.h"
#include "ui/qconnectionstatelook.h"
#include "ui/qmaindialogfonts.h"
#include "ui/qpublicaddresslookup.h"
#include "webapi/qvpnlistservers.h"
#include "webapi/tavrinwebapi.h"

#include <QtCore/qstringlist.h>
#include <QtGui/qdesktopservices.h>
#include <QtGui/qevent.h>
#include <QtGui/qpainter.h>
#include <QtGui/qscreen.h>
#include <QtNetwork/qnetworkreply.h>
#include <QtWidgets/qmessagebox.h>

static QString credentialsText(const QByteArray &bytes)
{
    const int end = bytes.indexOf('\0');
    return QString::fromUtf8(end < 0 ? bytes : bytes.left(end));
}

QMainDialog::QMainDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::QMainDialog)
    , tray(this)
    , service(nullptr)
    , addressLookup(new QPublicAddressLookup(&networkManager, this))
    , chrome(this)
    , state(Disconnected)
{
    ui->setupUi(this);
    setUpKeyboard();
    applyMainDialogFonts(ui);
    if (QVPNClientSettings::isAutoStart())
        ui->autoStart_checkBox->setChecked(true);
    if (QVPNClientSettings::getAutoLogin())
        ui->autoLogin_checkBox->setChecked(true);
    chrome.resize();
    connectSignals();

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

void QMainDialog::connectSignals()
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
    connect(tray.icon(), &QSystemTrayIcon::activated, this, &QMainDialog::on_TrayActivated);
    connect(tray.connectAction(), &QAction::triggered, this, &QMainDialog::on_menuConnectTriggered);
    connect(tray.statusAction(), &QAction::triggered, this, &QMainDialog::on_menuStatusTriggered);
    connect(tray.jumpToFastestAction(), &QAction::triggered, this,
            &QMainDialog::on_menuJumptToFastestTriggered);
    connect(tray.feedbackAction(), &QAction::triggered, this,
            &QMainDialog::on_menuFeedbacktTriggered);
    connect(tray.settingsAction(), &QAction::triggered, this,
            &QMainDialog::on_menuSettingsTriggered);
    connect(tray.exitAction(), &QAction::triggered, this, &QMainDialog::on_menuExitTriggered);
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

// The part of the construction that needs the service: tray icon, chosen server, credentials,
// auto-login and the server list.
void QMainDialog::restoreSession()
{
    tray.show();
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
    auto *list = new QVPNListServers(&networkManager, this);
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

    for (QAction *entry : tray.setServers(servers))
        connect(entry, &QAction::triggered, this, &QMainDialog::on_menuChangeCountryTriggered);
    list->deleteLater();
}

// Connecting and disconnecting

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

// The service connection refused a request (its reason is in the log): the user learns that
// the command went nowhere, and the window stays as it is.
void QMainDialog::reportRefusedRequest()
{
    const QString text = service.isConnected() ? tr("The user name, the password or the server "
                                                    "name is too long to be sent to the "
                                                    "Tavrin service.")
                                               : tr("The request could not be sent: the connection "
                                                    "to the Tavrin service is closed.");
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
        sendAbortRequest();
        return;
    }
    selectServerNamed(name);
    on_connect_button_clicked();
}

// Messages from the service

void QMainDialog::vpn_notifyStatusChange(char code)
{
    handleState(quint8(code));
}

void QMainDialog::handleState(quint8 code)
{
    if (code == Disconnected && exitRequested) {
        quit();
        return;
    }
    if (code == Disconnected && !pendingServerName.isEmpty()) {
        // The reconnect: the page keeps the previous state until the service reports again.
        selectServerNamed(pendingServerName);
        pendingServerName.clear();
        on_connect_button_clicked();
        return;
    }

    showState(code);
    if (code == Connected) {
        startClock();
        addressLookup->restart();
    } else if (code == Disconnected) {
        if (loginFailed)
            showLoginFailure();
        addressLookup->restart();
    }
    state = code;
}

void QMainDialog::showState(quint8 code)
{
    const QConnectionStateLook look = connectionStateLook(code);
    const auto text = [](const char *source) { return tr(source); };
    const auto image = [](const char *path) { return QPixmap(QString::fromLatin1(path)); };
    if (look.titlePixmap)
        ui->title_label->setPixmap(image(look.titlePixmap));
    if (look.page >= 0)
        ui->stackedWidget->setCurrentIndex(look.page);
    ui->connect_stackedWidget->setCurrentIndex(look.connectPage);
    if (look.connectFrameStyle)
        ui->connect_frame->setStyleSheet(QString::fromLatin1(look.connectFrameStyle));
    if (look.connectText)
        ui->connect_label->setText(text(look.connectText));
    if (look.showServerName)
        ui->connect_country_label->setText(connection.name);
    if (look.serverNameStyle)
        ui->connect_country_label->setStyleSheet(QString::fromLatin1(look.serverNameStyle));
    ui->connecton_label->setText(text(look.stateText));
    ui->connecton_label->setStyleSheet(QString::fromLatin1(look.stateStyle));
    if (look.addressIcon)
        ui->ipaddress_icon->setPixmap(image(look.addressIcon));
    if (look.addressLabel)
        ui->ipaddress_label->setText(text(look.addressLabel));
    if (look.addressValue)
        ui->ipaddress_value_label->setText(text(look.addressValue));
    if (look.clockIcon)
        ui->time_connected_icon->setPixmap(image(look.clockIcon));
    if (look.timeConnected)
        ui->time_connected_value_label->setText(*look.timeConnected ? text(look.timeConnected)
                                                                    : QString());
    if (look.encryptionIcon)
        ui->encryption_icon->setPixmap(image(look.encryptionIcon));
    ui->timeconnected_section->setCurrentIndex(look.timeSectionPage);
    if (code == Connected) {
        updateTimeConnected();
        saveCredentials();
    } else if (code == Disconnecting) {
        stopClock();
    }
    tray.showState(look);
    if (look.titleCursor >= 0)
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
    QString text = tr(connectionStatusText(state));
    if (text.contains(QLatin1String("%1")))
        text = text.arg(connection.name);
    QMessageBox::information(this, tr("Tavrin Status"), text, QMessageBox::Ok,
                             QMessageBox::NoButton);
}

// The public address: the lookup asks for a request when one is due, and reads the answers
// among the network manager's replies.

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
    ui->title_label->setPixmap(QPixmap(QStringLiteral(":/imgs/title-logo.png")));
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
    if (state == Disconnected)
        sendConnectRequest();
    else if (state == Connected || state == Timeout)
        sendAbortRequest();
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
    switchServer(QVPNClientSettings::defaultConnection().name);
}

void QMainDialog::on_menuChangeCountryTriggered(bool)
{
    if (const auto *entry = qobject_cast<const QAction *>(sender()))
        switchServer(entry->data().toString());
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

void QMainDialog::mousePressEvent(QMouseEvent *event)
{
    chrome.press(event);
}

void QMainDialog::mouseReleaseEvent(QMouseEvent *)
{
    chrome.release();
}

void QMainDialog::mouseMoveEvent(QMouseEvent *event)
{
    chrome.move(event);
}

void QMainDialog::paintEvent(QPaintEvent *)
{
    QPainter(this).drawPixmap(0, 0, chrome.pixmap());
}

void QMainDialog::resizeEvent(QResizeEvent *)
{
    chrome.resize();
    update();
}
