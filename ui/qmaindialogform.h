#ifndef QMAINDIALOGFORM_H
#define QMAINDIALOGFORM_H

#include "ui_qmaindialog.h"

#include <QtCore/qnamespace.h>

struct QConnectionStateLook;
class QTavrinTray;

// The main window's form, as the designer laid it out, and what the window lays over it: fonts,
// images, keys, what assistive technology reads, and the look of each state of the connection.
class QMainDialogForm : public Ui::QMainDialog
{
public:
    // The fonts (Roboto and Roboto Condensed, registered at start-up) and a few colours.
    void applyMainDialogFonts();

    // The images of the form, at the window's device pixel ratio (double-size ones above 1).
    void applyMainDialogImages();

    // The keys: Enter in either login field presses Connect. No push button is a default
    // button: the dialog would otherwise make the first one (the title bar's minimise button)
    // the target of Enter.
    void setUpMainDialogKeys();

    // What assistive technology and keyboard users need: names for the elements that have no
    // text of their own, the order of the Tab key on both pages, and the outline that shows the
    // focus once the keyboard moves it. Buttons, check boxes and the chooser take the focus from
    // the keyboard only, so that the window used with the mouse looks as it always did.
    void setUpMainDialogAccess();

    // The title's logo leads back to the login page while the cursor over it is a pointing
    // hand; then, and only then, the keyboard reaches it too.
    void setTitleLinkCursor(Qt::CursorShape shape);
    // The title's logo and pointing hand of the connection page (the way back to the login
    // page), or neither.
    void showTitleLink(bool shown);

    // Shows a look on the connection page (the tray and the title's cursor are not part of it);
    // serverName is the name of the server connected to.
    void showConnectionStateLook(const QConnectionStateLook &look, const QString &serverName);

    // Everything a state code changes outside the session's own bookkeeping: the connection
    // page, what assistive technology reads of it, the tray icon, tool tip and entries, the
    // title's link.
    void showConnectionState(QTavrinTray *tray, quint8 code, const QString &serverName);

    // What assistive technology reads of the connection page: the strip's status sentence (its
    // change is announced), the big button's text and server ("Disconnect - Germany"), and the
    // captions of the values as their descriptions.
    void describeConnectionState(const QString &status, const QString &serverName);
};

#endif // QMAINDIALOGFORM_H
