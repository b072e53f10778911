#ifndef QMAINDIALOG_H
#define QMAINDIALOG_H

#include "base/vpnserver.h"
#include "service/qtavrinserviceconnection.h"
#include "ui/qtavrintray.h"
#include "ui/qwindowchrome.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qstring.h>
#include <QtCore/qstringlist.h>
#include <QtWidgets/qdialog.h>

QT_BEGIN_NAMESPACE
class QCloseEvent;
class QNetworkAccessManager;
QT_END_NAMESPACE

class QConnectionClock;
class QConnectionNotifier;
class QPublicAddressLookup;
class QVPNListServers;

namespace Ui {
class QMainDialog;
}

// The program's only window: a fixed-size frameless dialog with a login page and a connection
// page, a tray icon with its menu, and the owner of the link to the local VPN service and of
// the web API requests. The window shows what the service reports and turns the user's
// commands into requests; it ends the program only through the tray's Exit (finished()).
class QMainDialog : public QDialog
{
    Q_OBJECT

public:
    explicit QMainDialog(QWidget *parent = nullptr);
    ~QMainDialog() override;

    bool isServiceAvailable() const { return serviceAvailable; }
    bool isInitialized() const { return initialized; }

public slots:
    // Escape hides the window to the tray, as the close button does.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void on_minimize_button_clicked();
    void on_close_button_clicked();
    void on_username_label_clicked();
    void on_password_label_clicked();
    void on_connect_button_clicked();
    void on_settings_button_clicked();
    void vpn_credentials(QByteArray credentials);
    void vpn_notifyStatusChange(char state);
    void vpn_startTime(uint startTime);
    void vpn_updateBandwidth(uchar type, uint download, uint upload);
    void vpn_loginFailed();
    void on_connect_frame_clicked();
    void on_title_label_clicked();
    void on_comboBox_pressed();
    void on_comboBox_starToggled();
    void on_autoStart_checkBox_clicked(bool checked);
    void on_autoLogin_checkBox_clicked(bool checked);
    void on_menuConnectTriggered(bool checked);
    void on_menuStatusTriggered(bool checked);
    void on_menuJumptToFastestTriggered(bool checked);
    void on_menuChangeCountryTriggered(const QString &serverName);
    void on_menuFeedbacktTriggered(bool checked);
    void on_menuSettingsTriggered(bool checked);
    void on_menuExitTriggered(bool checked);
    void on_TrayActivated(QSystemTrayIcon::ActivationReason reason);
    void updateIPAddress();

private:
    void connectSignals();
    void restoreSession();
    void requestServerList();
    QNetworkAccessManager *network();
    void serverListArrived(QVPNListServers *list);

    void saveCredentials();
    int serverIndexByName(const QString &name);
    VPNServer serverByName(const QString &name);
    void selectServerNamed(const QString &name);
    bool sendConnectRequest();
    void sendAbortRequest();
    void showBoxLater(void (*showBox)(QWidget *window, bool linkOpen));
    void switchServer(const QString &name);

    Ui::QMainDialog *ui;
    QTavrinTray tray;
    QTavrinServiceConnection service;
    QDateTime startTime;
    VPNServer connection;
    QNetworkAccessManager *networkManager = nullptr; // made when the first request goes out
    QPublicAddressLookup *addressLookup;
    QConnectionClock *clock;
    QConnectionNotifier *notifier;
    QWindowChrome *chrome;
    QString pendingServerName;
    QStringList savedCredentials;
    quint8 state;
    bool initialized = false;
    bool serviceAvailable = true;
    bool exitRequested = false;
    bool loginFailed = false;
    bool abortOutstanding = false;
    bool boxPending = false;
};

#endif // QMAINDIALOG_H
