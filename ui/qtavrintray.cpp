#include "ui/qtavrintray.h"

#include "service/tavrinframe.h"
#include "ui/qconnectionstatelook.h"
#include "widgets/qvpnservermodel.h"

#include <QtCore/qcoreapplication.h>
#include <QtGui/qfontmetrics.h>
#include <QtGui/qicon.h>
#include <QtWidgets/qaction.h>
#include <QtWidgets/qshortcut.h>

QTavrinTray::QTavrinTray(QWidget *window)
    : QObject(window)
    , m_icon(window)
    , m_menu(window)
{
    // In the language of the window, so that the menu is not another one than the window's.
    m_connect = m_menu.addAction(tr("&Connect"));
    m_status = m_menu.addAction(tr("&Status"));
    m_jumpToFastest = m_menu.addAction(tr("&Jump to fastest"));
    m_changeCountry = m_menu.addMenu(tr("C&hange country"));
    m_feedback = m_menu.addAction(tr("&Feedback"));
    m_settings = m_menu.addAction(tr("Se&ttings"));
    m_exit = m_menu.addAction(tr("E&xit"));
    m_changeCountry->setToolTipsVisible(true);
    m_adding.setSingleShot(true);
    m_adding.setInterval(0);
    connect(&m_adding, &QTimer::timeout, this, &QTavrinTray::addEntries);
}

void QTavrinTray::show()
{
    m_icon.setContextMenu(&m_menu);
    setIcon(QStringLiteral(":/imgs/tray/tray_off.ico"));
    m_icon.setToolTip(
            QCoreApplication::translate("QMainDialog", connectionTrayToolTip(Disconnected)));
    m_icon.show();
}

void QTavrinTray::showState(const QConnectionStateLook &look, const QString &toolTip)
{
    setIcon(QString::fromLatin1(look.trayIcon));
    if (m_icon.toolTip() != toolTip)
        m_icon.setToolTip(toolTip);
    m_connect->setText(tr(look.connectActionText));
    m_connect->setEnabled(look.connectEnabled);
    m_jumpToFastest->setEnabled(look.jumpToFastestEnabled);
    m_changeCountry->setEnabled(look.changeCountryEnabled);
    m_settings->setEnabled(look.settingsEnabled);
}

void QTavrinTray::addWindowKeys(QWidget *window)
{
    const auto key = [window](int keys, QAction *entry) {
        connect(new QShortcut(QKeySequence(keys), window), &QShortcut::activated, entry,
                &QAction::trigger);
    };
    key(Qt::CTRL | Qt::Key_Q, m_exit);
    key(Qt::CTRL | Qt::Key_I, m_status);
    key(Qt::CTRL | Qt::Key_J, m_jumpToFastest);
    key(Qt::Key_F1, m_feedback);
}

void QTavrinTray::setServers(const QList<VPNServer> &servers)
{
    m_changeCountry->clear();
    m_servers = servers;
    m_added = 0;
    m_adding.start();
}

void QTavrinTray::setServerModel(const QVPNServerModel *model)
{
    connect(model, &QAbstractItemModel::modelReset, this,
            [this, model] { setServers(model->servers()); });
}

// Adding an entry to a menu takes time in the number of entries it holds already: a slice at a
// time, each turn of the event loop stays short.
void QTavrinTray::addEntries()
{
    // A long name ends in "..." (its entry's tool tip holds it whole), so that the menu keeps
    // to the screen.
    const QFontMetrics metrics(m_changeCountry->font());
    const int end = qMin(m_added + EntriesPerSlice, m_servers.size());
    for (; m_added < end; ++m_added) {
        const QString &name = m_servers.at(m_added).name;
        QString text = metrics.elidedText(name, Qt::ElideRight, MaximumEntryWidth);
        QAction *entry = m_changeCountry->addAction(
                text.replace(QLatin1Char('&'), QLatin1String("&&")));
        if (text != name)
            entry->setToolTip(name);
        connect(entry, &QAction::triggered, this, [this, name] { emit serverChosen(name); });
    }
    if (m_added < m_servers.size())
        m_adding.start();
}

void QTavrinTray::setIcon(const QString &path)
{
    if (path == m_iconPath)
        return;
    m_iconPath = path;
    auto icon = m_icons.find(path);
    if (icon == m_icons.end())
        icon = m_icons.insert(path, QIcon(path));
    m_icon.setIcon(*icon);
}
