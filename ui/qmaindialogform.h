#ifndef QMAINDIALOGFORM_H
#define QMAINDIALOGFORM_H

#include <QtCore/qnamespace.h>

namespace Ui {
class QMainDialog;
}

// What the main window lays over its form.

// The fonts (Roboto and Roboto Condensed, registered at start-up) and a few colours.
void applyMainDialogFonts(Ui::QMainDialog *ui);

// The images of the form, at the window's device pixel ratio (double-size ones above 1).
void applyMainDialogImages(Ui::QMainDialog *ui);

// The keys: Enter in either login field presses Connect. No push button is a default button:
// the dialog would otherwise make the first one (the title bar's minimise button) the target of
// Enter.
void setUpMainDialogKeys(Ui::QMainDialog *ui);

// What assistive technology and keyboard users need: names for the elements that have no text
// of their own, the order of the Tab key on both pages, and the outline that shows the focus
// once the keyboard moves it. Buttons, check boxes and the chooser take the focus from the
// keyboard only, so that the window used with the mouse looks as it always did.
void setUpMainDialogAccess(Ui::QMainDialog *ui);

// The title's logo leads back to the login page while the cursor over it is a pointing hand;
// then, and only then, the keyboard reaches it too.
void setTitleLinkCursor(Ui::QMainDialog *ui, Qt::CursorShape shape);
// The title's logo and pointing hand of the connection page (the way back to the login page),
// or neither.
void showTitleLink(Ui::QMainDialog *ui, bool shown);

#endif // QMAINDIALOGFORM_H
