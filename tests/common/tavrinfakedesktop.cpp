#include "tavrinfakedesktop.h"

#include "qvpnbandwidthwidget.h"
#include "qvpnclientsettings.h"

#include <QtTest/qtest.h>

const char TavrinFakeDesktop::defaultServerList[]
        = R"({"Zambia": {"code": "ZM", "host": "127.0.0.4"},)"
          R"( "Automatic": {"code": "auto", "host": "127.0.0.3"},)"
          R"( "Albania": {"code": "AL", "host": "127.0.0.2"}})";

TavrinFakeDesktop::TavrinFakeDesktop()
{
    webApi.setServerList(defaultServerList);
}

TavrinFakeDesktop::~TavrinFakeDesktop()
{
    closeWindow();
    user.stopWatching();
    peer.close();
    webApi.stop();
}

void TavrinFakeDesktop::resetSettings()
{
    QVPNClientSettings().clear();
    QVPNClientSettings::setAutoStart(false);
}

bool TavrinFakeDesktop::start(bool withService)
{
    if (!webApi.start())
        return false;
    qputenv("TAVRIN_API_HOST", webApi.hostAndPort().toLatin1());
    user.startWatching();
    return !withService || peer.listen();
}

QMainDialog *TavrinFakeDesktop::openWindow(bool show)
{
    closeWindow();
    const int clientsBefore = peer.clientCount();
    // What the window sends on its own while it is built: a credentials request when nothing
    // is stored, a connect request with auto-login.
    QString username;
    QString password;
    const int framesBefore = peer.frames().size();
    const int startFrames = (QVPNClientSettings::getCredentials(username, password) ? 0 : 1)
                            + (QVPNClientSettings::getAutoLogin() ? 1 : 0);
    m_window.reset(new QMainDialog);
    m_window->setWindowFlags(Qt::FramelessWindowHint);
    if (!m_window->isServiceAvailable())
        return m_window.get();
    if (show && m_window->isInitialized())
        m_window->show();
    if (!QTest::qWaitFor(
                [&] {
                    return peer.clientCount() > clientsBefore && peer.hasClient()
                           && peer.frames().size() >= framesBefore + startFrames;
                },
                20000)) {
        return nullptr;
    }
    return m_window.get();
}

void TavrinFakeDesktop::closeWindow()
{
    m_window.reset();
}

QSystemTrayIcon *TavrinFakeDesktop::trayIcon() const
{
    return m_window ? m_window->findChild<QSystemTrayIcon *>() : nullptr;
}

QMenu *TavrinFakeDesktop::trayMenu() const
{
    QSystemTrayIcon *icon = trayIcon();
    return icon ? icon->contextMenu() : nullptr;
}

QAction *TavrinFakeDesktop::trayAction(int index) const
{
    QMenu *menu = trayMenu();
    if (!menu || index < 0 || index >= menu->actions().size())
        return nullptr;
    return menu->actions().at(index);
}

QMenu *TavrinFakeDesktop::changeCountryMenu() const
{
    QAction *action = trayAction(3);
    return action ? action->menu() : nullptr;
}

bool TavrinFakeDesktop::syncWithWindow()
{
    auto *graph = widget<QVPNBandwidthWidget>("bandwidth_widget");
    if (!graph || graph->width() <= 0)
        return false;
    // A sample of type 0 (handed on as it is) with a small value that leaves the graph's
    // scale alone.
    const quint8 syncType = 0;
    const quint32 marker = ++m_syncMarker;
    peer.sendBandwidth(syncType, marker, 0);
    return QTest::qWaitFor(
            [&] {
                if (graph->keptSamples().isEmpty())
                    return false;
                const BandwidthSample &newest = graph->keptSamples().first();
                return newest.type == syncType && newest.download == marker;
            },
            20000);
}

bool TavrinFakeDesktop::deliver(const QByteArray &bytes)
{
    peer.send(bytes);
    return syncWithWindow();
}
