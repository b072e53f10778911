#include "ui/qmaindialogboxes.h"

#include "ui/qconnectionstatelook.h"

#include <QtCore/qcoreapplication.h>
#include <QtGui/qscreen.h>
#include <QtWidgets/qmessagebox.h>

static QString tr(const char *source)
{
    return QCoreApplication::translate("QMainDialog", source);
}

void showServiceUnreachableBox(QWidget *window)
{
    if (QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
    QMessageBox::critical(window, tr("Connection error"), tr("Can't connect to Tavrin service."),
                          QMessageBox::Ok, QMessageBox::NoButton);
}

void showRefusedRequestBox(QWidget *window, bool linkOpen)
{
    const QString text = linkOpen ? tr("The user name, the password or the server name is too "
                                       "long to be sent to the Tavrin service.")
                                  : tr("The request could not be sent: the connection to the "
                                       "Tavrin service is closed.");
    QMessageBox::warning(window, tr("Connection error"), text, QMessageBox::Ok,
                         QMessageBox::NoButton);
}

void showLoginFailedBox(QWidget *window)
{
    QMessageBox::warning(
            window, tr("Login error"),
            tr("Login failed.\nPlease check your username and password and try again."),
            QMessageBox::Ok, QMessageBox::NoButton);
}

void showStatusBox(QWidget *window, quint8 state, const QString &serverName)
{
    QString text = tr(connectionStatusText(state));
    if (text.contains(QLatin1String("%1")))
        text = text.arg(serverName);
    QMessageBox::information(window, tr("Tavrin Status"), text, QMessageBox::Ok,
                             QMessageBox::NoButton);
}
