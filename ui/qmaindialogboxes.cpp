#include "ui/qmaindialogboxes.h"

#include "ui/qconnectionstatelook.h"
#include "ui/qmaindialog.h"

#include <QtCore/qcoreapplication.h>
#include <QtGui/qscreen.h>
#include <QtWidgets/qmessagebox.h>

// The boxes are the main window's: their texts are in its translation context.
void showServiceUnreachableBox(QWidget *window)
{
    if (QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
    QMessageBox::critical(window, QMainDialog::tr("Connection error"),
                          QMainDialog::tr("Can't connect to Tavrin service."), QMessageBox::Ok,
                          QMessageBox::NoButton);
}

void showServiceClosedBox()
{
    QMessageBox box(QMessageBox::Critical,
                    QCoreApplication::translate("QTavrinServiceConnection", "Connection error"),
                    QCoreApplication::translate("QTavrinServiceConnection",
                                                "Connection to Tavrin service was closed.\n"
                                                "Terminating this app."),
                    QMessageBox::Ok);
    box.exec();
}

void showRefusedRequestBox(QWidget *window, bool linkOpen)
{
    const QString text = linkOpen ? QMainDialog::tr(
                                 "The user name, the password or the server name is too "
                                 "long to be sent to the Tavrin service.")
                                  : QMainDialog::tr(
                                          "The request could not be sent: the connection to the "
                                          "Tavrin service is closed.");
    QMessageBox::warning(window, QMainDialog::tr("Connection error"), text, QMessageBox::Ok,
                         QMessageBox::NoButton);
}

void showLoginFailedBox(QWidget *window)
{
    QMessageBox::warning(
            window, QMainDialog::tr("Login error"),
            QMainDialog::tr(
                    "Login failed.\nPlease check your username and password and try again."),
            QMessageBox::Ok, QMessageBox::NoButton);
}

void showStatusBox(QWidget *window, quint8 state, const QString &serverName)
{
    QString text = QMainDialog::tr(connectionStatusText(state));
    if (text.contains(QLatin1String("%1")))
        text = text.arg(serverName);
    QMessageBox::information(window, QMainDialog::tr("Tavrin Status"), text, QMessageBox::Ok,
                             QMessageBox::NoButton);
}
