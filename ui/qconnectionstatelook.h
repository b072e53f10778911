#ifndef QCONNECTIONSTATELOOK_H
#define QCONNECTIONSTATELOOK_H

#include <QtCore/qglobal.h>

// What the main window, its tray icon and the tray menu show for one state of the connection.
// Texts marked "translated" are source texts for QCoreApplication::translate() in the context
// "QMainDialog", the tray's in the context "QTavrinTray". A null text or image, a page of -1 or a cursor of -1 leaves that element as
// it is.
struct QConnectionStateLook
{
    // The connection page.
    int page = -1;           // of the window's stack: 1 brings the connection page forward
    int connectPage = 0;     // 0 the big connect/disconnect button, 1 the server chooser
    int timeSectionPage = 0; // 0 the time connected, 1 the two option check boxes
    const char *connectFrameStyle = nullptr;
    const char *connectText = nullptr; // translated
    bool showServerName = false;
    const char *serverNameStyle = nullptr;
    const char *stateText = nullptr; // translated
    const char *stateStyle = nullptr;
    const char *addressIcon = nullptr;
    const char *addressLabel = nullptr; // translated
    const char *addressValue = nullptr; // translated
    const char *clockIcon = nullptr;
    const char *timeConnected = nullptr; // translated; "" empties the label
    const char *encryptionIcon = nullptr;
    const char *titlePixmap = nullptr;
    int titleCursor = -1; // a Qt::CursorShape

    // The tray.
    const char *trayIcon = nullptr;
    const char *connectActionText = nullptr; // translated (the tray's)
    bool connectEnabled = true;
    bool jumpToFastestEnabled = true;
    bool changeCountryEnabled = true;
    bool settingsEnabled = true;
};

// The look of a state code: 0 Connecting, 1 Connected, 2 Disconnecting, 3 Disconnected,
// 4 Timeout, any other code unknown.
QConnectionStateLook connectionStateLook(quint8 code);

// The text of the status box for a state code, a source text in the context "QMainDialog";
// %1 stands for the server's name where the text names it.
const char *connectionStatusText(quint8 code);
// The tray icon's tool tip for a state code, the same kind of text ("Tavrin: Connected to %1").
const char *connectionTrayToolTip(quint8 code);

#endif // QCONNECTIONSTATELOOK_H
