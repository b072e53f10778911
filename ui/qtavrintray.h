#ifndef QTAVRINTRAY_H
#define QTAVRINTRAY_H

#include "base/vpnserver.h"

#include <QtCore/qhash.h>
#include <QtCore/qlist.h>
#include <QtCore/qobject.h>
#include <QtCore/qtimer.h>
#include <QtGui/qicon.h>
#include <QtWidgets/qmenu.h>
#include <QtWidgets/qsystemtrayicon.h>

struct QConnectionStateLook;
class QVPNServerModel;

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

    // Gives the icon its menu, the icon and tool tip of the disconnected state, and shows it.
    void show();
    // The icon and entries of the state's look, and the tool tip that names the state.
    void showState(const QConnectionStateLook &look, const QString &toolTip);
    // The entries' keys in the window: Ctrl+Q Exit, Ctrl+I Status, Ctrl+J Jump to fastest,
    // F1 Feedback. A disabled entry's key does nothing.
    void addWindowKeys(QWidget *window);
    // The change-country entries, one per server in list order, show its name as it is ("&" is
    // no mnemonic); choosing one emits serverChosen() with its name. A long list is added a
    // slice at a time, so that the window answers meanwhile.
    void setServers(const QList<VPNServer> &servers);
    // The change-country entries follow the model's servers, anew whenever it is reset.
    void setServerModel(const QVPNServerModel *model);

    // The widest a server's name is shown in the menu, in pixels.
    static constexpr int MaximumEntryWidth = 300;
    static constexpr int EntriesPerSlice = 500;

signals:
    void serverChosen(const QString &serverName);

private:
    void setIcon(const QString &path);
    void addEntries();

    QSystemTrayIcon m_icon;
    QHash<QString, QIcon> m_icons; // each read once: an icon file holds every size
    QString m_iconPath;
    QList<VPNServer> m_servers;
    int m_added = 0;
    QTimer m_adding;
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
