#ifndef TAVRINFAKEDESKTOP_H
#define TAVRINFAKEDESKTOP_H

#include "qmaindialog.h"
#include "tavrinfakeservicepeer.h"
#include "tavrinfakeuser.h"
#include "tavrinfakewebapi.h"

#include <QtWidgets/qaction.h>
#include <QtWidgets/qmenu.h>
#include <QtWidgets/qsystemtrayicon.h>

#include <memory>

// Everything around a main window in an in-process test: the service peer on the local socket,
// the web API on loopback, a user who dismisses message boxes, and the window itself. The
// settings store of the isolated home is left as the test made it (resetSettings() empties it).
class TavrinFakeDesktop
{
public:
    // The server list the web API hands out unless a test sets another: "Automatic" is not the
    // first entry, and every host is a loopback address.
    static const char defaultServerList[];

    TavrinFakeDesktop();
    ~TavrinFakeDesktop();

    // Starts the web API and, when asked, the service peer.
    bool start(bool withService = true);
    static void resetSettings();

    // Builds the window as start-up does (frameless), shows it when asked and waits until the
    // service peer has accepted its connection and received the requests the window sends
    // while it is built. Returns null on failure.
    QMainDialog *openWindow(bool show = true);
    QMainDialog *window() const { return m_window.get(); }
    void closeWindow();

    template<class T>
    T *widget(const char *name) const
    {
        return m_window ? m_window->findChild<T *>(QLatin1String(name)) : nullptr;
    }
    QSystemTrayIcon *trayIcon() const;
    QMenu *trayMenu() const;
    // The tray menu entries by position: 0 connect, 1 status, 2 jump to fastest, 3 change
    // country (its menu action), 4 feedback, 5 settings, 6 exit.
    QAction *trayAction(int index) const;
    QMenu *changeCountryMenu() const;

    // Returns once the window has handled everything the peer sent before: the peer sends a
    // bandwidth sample with a fresh marker, and the call waits until the graph holds it.
    bool syncWithWindow();
    // Sends the bytes to the window and waits until it has handled them.
    bool deliver(const QByteArray &bytes);

    TavrinFakeServicePeer peer;
    TavrinFakeWebApi webApi;
    TavrinFakeUser user;

private:
    std::unique_ptr<QMainDialog> m_window;
    quint32 m_syncMarker = 0;
};

#endif // TAVRINFAKEDESKTOP_H
