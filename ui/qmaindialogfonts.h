#ifndef QMAINDIALOGFONTS_H
#define QMAINDIALOGFONTS_H

namespace Ui {
class QMainDialog;
}

// Lays the window's fonts (Roboto and Roboto Condensed, registered at start-up) and a few
// colours over the form.
void applyMainDialogFonts(Ui::QMainDialog *ui);

#endif // QMAINDIALOGFONTS_H
