#include "ui/qconnectionstatelook.h"
#include "ui_qmaindialog.h"

#include "service/tavrinframe.h"
#include "ui/qmaindialogform.h"
#include "ui/qtavrintray.h"
#include "widgets/tavrinimages.h"

#include <QtCore/qcoreapplication.h>

namespace {

const char trayOff[] = ":/imgs/tray/tray_off.ico";
const char trayBusy[] = ":/imgs/tray/tray_connect.ico";
const char trayOn[] = ":/imgs/tray/tray_on.ico";
const char titleLogo[] = ":/imgs/title-logo.png";
const char greyStrip[] = "background: #cacacd; color: white";
const char blueStrip[] = "background: #42b0e3; color: white";
const char detecting[] = QT_TRANSLATE_NOOP("QMainDialog", "Detecting...");
const char tavrinAddress[] = QT_TRANSLATE_NOOP("QMainDialog", "Tavrin IP ADDRESS");

// Connecting and Disconnecting: the tunnel is on its way up or down.
QConnectionStateLook busyLook()
{
    QConnectionStateLook look;
    look.trayIcon = trayBusy;
    look.titlePixmap = titleLogo;
    look.connectFrameStyle = "background: #ffc62b; border: none; border-radius: 5px;";
    look.stateStyle = greyStrip;
    look.addressIcon = ":/imgs/encryption-disabled.png";
    look.addressValue = detecting;
    look.clockIcon = ":/imgs/clock-disabled.png";
    look.timeConnected = "";
    look.encryptionIcon = ":/imgs/key-disabled.png";
    look.connectEnabled = false;
    look.jumpToFastestEnabled = false;
    look.changeCountryEnabled = false;
    look.settingsEnabled = false;
    return look;
}

// Connected and Timeout: a tunnel is there, or being brought back.
QConnectionStateLook upLook(const char *stateText)
{
    QConnectionStateLook look;
    look.trayIcon = trayOff;
    look.titlePixmap = titleLogo;
    look.page = 1;
    look.connectFrameStyle = "background: #f27168; border: none; border-radius: 5px;";
    look.connectText = QT_TRANSLATE_NOOP("QMainDialog", "Disconnect");
    look.showServerName = true;
    look.serverNameStyle = "color: #853d38";
    look.stateText = stateText;
    look.stateStyle = blueStrip;
    look.addressIcon = ":/imgs/encryption.png";
    look.addressLabel = tavrinAddress;
    look.clockIcon = ":/imgs/clock.png";
    look.timeConnected = "";
    look.encryptionIcon = ":/imgs/key.png";
    look.connectActionText = QT_TRANSLATE_NOOP("QTavrinTray", "Disconnect");
    look.settingsEnabled = false;
    return look;
}

} // namespace

QConnectionStateLook connectionStateLook(quint8 code)
{
    QConnectionStateLook look;
    switch (code) {
    case Connecting:
        look = busyLook();
        look.page = 1;
        look.connectText = QT_TRANSLATE_NOOP("QMainDialog", "Connecting..");
        look.showServerName = true;
        look.serverNameStyle = "color: #b67e00";
        look.stateText = QT_TRANSLATE_NOOP("QMainDialog", "CONNECTING");
        look.addressLabel = tavrinAddress;
        look.titleCursor = Qt::ArrowCursor;
        look.connectActionText = QT_TRANSLATE_NOOP("QTavrinTray", "Connecting");
        break;
    case Connected:
        look = upLook(QT_TRANSLATE_NOOP("QMainDialog", "CONNECTED"));
        look.trayIcon = trayOn;
        break;
    case Disconnecting:
        look = busyLook();
        look.connectText = QT_TRANSLATE_NOOP("QMainDialog", "Disconnecting..");
        look.stateText = QT_TRANSLATE_NOOP("QMainDialog", "DISCONNECTING");
        look.connectActionText = QT_TRANSLATE_NOOP("QTavrinTray", "Disconnect");
        break;
    case Disconnected:
        look.trayIcon = trayOff;
        look.connectPage = 1;
        look.timeSectionPage = 1;
        look.connectFrameStyle
                = "background: blue; color: white; border: none; border-radius: 5px;";
        look.connectText = QT_TRANSLATE_NOOP("QMainDialog", "Connect");
        look.showServerName = true;
        look.serverNameStyle = "color: #863d38";
        look.stateText = QT_TRANSLATE_NOOP("QMainDialog", "DISCONNECTED");
        look.stateStyle = greyStrip;
        look.addressIcon = ":/imgs/encryption-disabled.png";
        look.addressLabel = QT_TRANSLATE_NOOP("QMainDialog", "PUBLIC IP ADDRESS");
        look.addressValue = detecting;
        look.clockIcon = ":/imgs/clock-disabled.png";
        look.timeConnected = QT_TRANSLATE_NOOP("QMainDialog", "Not Connected");
        look.encryptionIcon = ":/imgs/key-disabled.png";
        look.titleCursor = Qt::PointingHandCursor;
        look.connectActionText = QT_TRANSLATE_NOOP("QTavrinTray", "Connect");
        break;
    case Timeout:
        look = upLook(QT_TRANSLATE_NOOP("QMainDialog", "TIMEOUT"));
        break;
    default:
        look.trayIcon = trayOff;
        look.stateText = QT_TRANSLATE_NOOP("QMainDialog", "UNKNOWN");
        look.stateStyle = greyStrip;
        look.connectActionText = QT_TRANSLATE_NOOP("QTavrinTray", "Connect");
        break;
    }
    return look;
}

const char *connectionStatusText(quint8 code)
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

const char *connectionTrayToolTip(quint8 code)
{
    switch (code) {
    case Connecting:
        return QT_TRANSLATE_NOOP("QMainDialog", "Tavrin: Connecting to %1");
    case Connected:
        return QT_TRANSLATE_NOOP("QMainDialog", "Tavrin: Connected to %1");
    case Disconnecting:
        return QT_TRANSLATE_NOOP("QMainDialog", "Tavrin: Disconnecting");
    case Disconnected:
        return QT_TRANSLATE_NOOP("QMainDialog", "Tavrin: Disconnected");
    case Timeout:
        return QT_TRANSLATE_NOOP("QMainDialog", "Tavrin: Reconnecting to %1");
    default:
        return QT_TRANSLATE_NOOP("QMainDialog", "Tavrin: Unknown state");
    }
}

// Each element is set only when it changes: setting a style sheet polishes the widget anew, and
// a service may send the same state many times over.
void showConnectionStateLook(Ui::QMainDialog *ui, const QConnectionStateLook &look,
                             const QString &serverName)
{
    const auto text = [](const char *source) {
        return QCoreApplication::translate("QMainDialog", source);
    };
    const auto setStyle = [](QWidget *widget, const char *sheet) {
        if (sheet && widget->styleSheet() != QLatin1String(sheet))
            widget->setStyleSheet(QString::fromLatin1(sheet));
    };
    const auto setImage = [](QLabel *label, const char *path) {
        if (!path)
            return;
        const QPixmap image = tavrinPixmap(QString::fromLatin1(path), label->devicePixelRatioF());
        if (label->pixmap(Qt::ReturnByValue).cacheKey() != image.cacheKey())
            label->setPixmap(image);
    };
    setImage(ui->title_label, look.titlePixmap);
    if (look.page >= 0)
        ui->stackedWidget->setCurrentIndex(look.page);
    ui->connect_stackedWidget->setCurrentIndex(look.connectPage);
    setStyle(ui->connect_frame, look.connectFrameStyle);
    if (look.connectText)
        ui->connect_label->setText(text(look.connectText));
    if (look.showServerName) {
        // A long name ends in "..." within the button; the tool tip holds it whole.
        const QFontMetrics metrics(ui->connect_country_label->font());
        ui->connect_country_label->setText(metrics.elidedText(serverName, Qt::ElideRight, 280));
        ui->connect_country_label->setToolTip(serverName);
    }
    setStyle(ui->connect_country_label, look.serverNameStyle);
    ui->connecton_label->setText(text(look.stateText));
    setStyle(ui->connecton_label, look.stateStyle);
    setImage(ui->ipaddress_icon, look.addressIcon);
    if (look.addressLabel)
        ui->ipaddress_label->setText(text(look.addressLabel));
    if (look.addressValue)
        ui->ipaddress_value_label->setText(text(look.addressValue));
    setImage(ui->time_connected_icon, look.clockIcon);
    if (look.timeConnected)
        ui->time_connected_value_label->setText(*look.timeConnected ? text(look.timeConnected)
                                                                    : QString());
    setImage(ui->encryption_icon, look.encryptionIcon);
    ui->timeconnected_section->setCurrentIndex(look.timeSectionPage);
}

void describeConnectionState(Ui::QMainDialog *ui, const QString &status, const QString &serverName)
{
    const auto setName = [](QWidget *widget, const QString &name) {
        if (widget->accessibleName() != name)
            widget->setAccessibleName(name); // announced to assistive technology
    };
    const auto setDescription = [](QWidget *widget, const QString &description) {
        if (widget->accessibleDescription() != description)
            widget->setAccessibleDescription(description);
    };
    // The strip is a word in capitals; it reads the sentence of the status box instead.
    setName(ui->connecton_label, status);
    setName(ui->connect_frame, QStringLiteral("%1 - %2").arg(ui->connect_label->text(), serverName));
    setDescription(ui->ipaddress_value_label, ui->ipaddress_label->text());
    setDescription(ui->time_connected_value_label, ui->time_connected_label->text());
    setDescription(ui->encryption_value_text, ui->encryption_text->text());
}

void showConnectionState(Ui::QMainDialog *ui, QTavrinTray *tray, quint8 code,
                         const QString &serverName)
{
    const QConnectionStateLook look = connectionStateLook(code);
    showConnectionStateLook(ui, look, serverName);
    const auto withServer = [&serverName](const char *source) {
        const QString text = QCoreApplication::translate("QMainDialog", source);
        return text.contains(QLatin1String("%1")) ? text.arg(serverName) : text;
    };
    describeConnectionState(ui, withServer(connectionStatusText(code)), serverName);
    tray->showState(look, withServer(connectionTrayToolTip(code)));
    if (look.titleCursor >= 0)
        setTitleLinkCursor(ui, Qt::CursorShape(look.titleCursor));
}
