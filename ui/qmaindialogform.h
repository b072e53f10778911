#ifndef QMAINDIALOGFORM_H
#define QMAINDIALOGFORM_H

#include <QtCore/qlist.h>
#include <QtGui/qfont.h>

namespace Ui {
class QMainDialog;
}

// What the main window lays over its form.

// The fonts (Roboto and Roboto Condensed, registered at start-up) and a few colours.
void applyMainDialogFonts(Ui::QMainDialog *ui);

// The keys: Enter in either login field presses Connect. No push button is a default button:
// the dialog would otherwise make the first one (the title bar's minimise button) the target of
// Enter.
void setUpMainDialogKeys(Ui::QMainDialog *ui);

// Every font the window shows its texts in.
QList<QFont> mainDialogFonts();

#endif // QMAINDIALOGFORM_H
