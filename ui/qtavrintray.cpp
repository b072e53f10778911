#include "ui/qtavrintray.h"

#include "ui/qconnectionstatelook.h"

#include <QtGui/qicon.h>
#include <QtWidgets/qaction.h>

QTavrinTray::QTavrinTray(QWidget *window)
    : QObject(window)
    , m_icon(window)
    , m_menu(window)
{
    // Plain texts, not translated.
    m_connect = m_menu.addAction(QStringLiteral("&Connect"));
    m_status = m_menu.addAction(QStringLiteral("&Status"));
    m_jumpToFastest = m_menu.addAction(QStringLiteral("&Jump to fastest"));
    m_changeCountry = m_menu.addMenu(QStringLiteral("C&hange country"));
    m_feedback = m_menu.addAction(QStringLiteral("&Feedback"));
    m_settings = m_menu.addAction(QStringLiteral("Se&ttings"));
    m_exit = m_menu.addAction(QStringLiteral("E&xit"));
}

void QTavrinTray::show()
{
    m_icon.setContextMenu(&m_menu);
    setIcon(QStringLiteral(":/imgs/tray/tray_off.ico"));
    m_icon.show();
}

void QTavrinTray::showState(const QConnectionStateLook &look)
{
    setIcon(QString::fromLatin1(look.trayIcon));
    m_connect->setText(QString::fromLatin1(look.connectActionText));
    m_connect->setEnabled(look.connectEnabled);
    m_jumpToFastest->setEnabled(look.jumpToFastestEnabled);
    m_changeCountry->setEnabled(look.changeCountryEnabled);
    m_settings->setEnabled(look.settingsEnabled);
}

QList<QAction *> QTavrinTray::setServers(const QList<VPNServer> &servers)
{
    m_changeCountry->clear();
    QList<QAction *> entries;
    entries.reserve(servers.size());
    for (const VPNServer &server : servers) {
        QString text = server.name;
        QAction *entry = m_changeCountry->addAction(
                text.replace(QLatin1Char('&'), QLatin1String("&&")));
        entry->setData(server.name);
        entries.append(entry);
    }
    return entries;
}

void QTavrinTray::setIcon(const QString &path)
{
    auto icon = m_icons.find(path);
    if (icon == m_icons.end())
        icon = m_icons.insert(path, QIcon(path));
    m_icon.setIcon(*icon);
}
