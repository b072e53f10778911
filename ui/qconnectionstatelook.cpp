#include "ui/qconnectionstatelook.h"

#include "service/tavrinframe.h"

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
