#ifndef QTAVRINTRAY_H
#define QTAVRINTRAY_H

#include "base/vpnserver.h"

#include <QtCore/qhash.h>
#include <QtCore/qlist.h>
#include <QtCore/qobject.h>
#include <QtGui/qicon.h>
#include <QtWidgets/qmenu.h>
#include <QtWidgets/qsystemtrayicon.h>

struct QConnectionStateLook;

// The main window's notification-area icon and its menu: Connect/Disconnect, Status, Jump to
// fastest, Change country (one entry per server), Feedback, Settings and Exit. The entries
// keep their texts and follow the state of the connection; what they do is the window's.
class QTavrinTray : public QObject
{
    Q_OBJECT

public:
    explicit QTavrinTray(QWidget *window);

    QSystemTrayIcon *icon() { return &m_icon; }
    QMenu *menu() { return &m_menu; }
    QAction *connectAction() const { return m_connect; }
    QAction *statusAction() const { return m_status; }
    QAction *jumpToFastestAction() const { return m_jumpToFastest; }
    QMenu *changeCountryMenu() const { return m_changeCountry; }
    QAction *feedbackAction() const { return m_feedback; }
    QAction *settingsAction() const { return m_settings; }
    QAction *exitAction() const { return m_exit; }

    // Gives the icon its menu and the icon of the disconnected state, and shows it.
    void show();
    void showState(const QConnectionStateLook &look);
    // One entry per server, in list order, showing its name as it is ("&" is no mnemonic);
    // each entry keeps the server's name as its data. Returns the entries.
    QList<QAction *> setServers(const QList<VPNServer> &servers);

private:
    void setIcon(const QString &path);

    QSystemTrayIcon m_icon;
    QHash<QString, QIcon> m_icons; // each read once: an icon file holds every size
    QMenu m_menu;
    QAction *m_connect;
    QAction *m_status;
    QAction *m_jumpToFastest;
    QMenu *m_changeCountry;
    QAction *m_feedback;
    QAction *m_settings;
    QAction *m_exit;
};

#endif // QTAVRINTRAY_H
