#ifndef QMAINDIALOG_H
#define QMAINDIALOG_H

#include "base/vpnserver.h"
#include "ui/qtavrinsession.h"
#include "ui/qtavrintray.h"
#include "ui/qwindowchrome.h"

#include <QtCore/qlist.h>
#include <QtWidgets/qdialog.h>

QT_BEGIN_NAMESPACE
class QCloseEvent;
QT_END_NAMESPACE

class QConnectionNotifier;
class QMainDialogForm;

// The program's only window: a fixed-size frameless dialog with a login page and a connection
// page and a tray icon with its menu. The window shows what its session (the link to the local
// VPN service and the web API requests) reports and hands the user's commands to it; it ends
// the program only through the tray's Exit (finished()).
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
    void vpn_credentials(const QString &username, const QString &password);
    void vpn_notifyStatusChange(quint8 state, const QString &serverName);
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

private:
    void connectSignals();
    void connectSession();
    void restoreSession();
    void serverListArrived(const QList<VPNServer> &servers);
    void showConnection(const VPNServer &server, int index);
    void showBoxLater(void (*showBox)(QWidget *window, bool linkOpen));

    QMainDialogForm *ui;
    QTavrinTray tray;
    QTavrinSession session;
    QConnectionNotifier *notifier;
    QWindowChrome *chrome;
    bool initialized = false;
    bool serviceAvailable = true;
    bool boxPending = false;
};

#endif // QMAINDIALOG_H
