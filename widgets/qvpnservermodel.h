#ifndef QVPNSERVERMODEL_H
#define QVPNSERVERMODEL_H

#include "base/vpnserver.h"

#include <QtCore/qabstractitemmodel.h>
#include <QtCore/qlist.h>
#include <QtCore/qstringlist.h>
#include <QtCore/qvariant.h>
#include <QtCore/qvector.h>

// The servers the user chooses from, one row each in list order. A row shows its server's name
// (also as its tool tip) and reads to assistive technology as "Germany, favourite, 42 ms" or
// "Germany, no answer". Its favourite mark is its Qt::CheckStateRole (Qt::Checked or
// Qt::Unchecked); its latency, once measured, is in milliseconds, -1 for a failed echo.
//
// The rows are checkable only, neither enabled nor selectable: the chooser's popup leaves them
// alone, and its item delegate picks rows and toggles stars.
//
// Qt::UserRole holds a row's server entry as a variant map: "name", "code", "hostname", and
// "ping" (the latency) once measured. Setting such a map there sets the row's server and its
// latency ("ping" absent: not measured).
class QVPNServerModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        ServerEntryRole = Qt::UserRole,
        NameRole,
        CodeRole,
        HostnameRole,
        // An int once measured, no value before.
        LatencyRole
    };

    explicit QVPNServerModel(QObject *parent = nullptr);
    ~QVPNServerModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // A new list: every row unmeasured and no favourite. Resets the model.
    void setServers(const QList<VPNServer> &servers);
    QList<VPNServer> servers() const;
    // The first row whose server bears the name (exact, case-sensitive), or -1.
    int findServer(const QString &name) const;
    // The server of a row; three empty strings outside the rows.
    VPNServer serverAt(int row) const;
    // Every row's host, once each, in the order of their first rows.
    QStringList hostnames() const;

    // Favourites text: the names of the favourite rows, in row order, joined by ",". Setting
    // one marks every row of each name it holds and leaves the other marks as they are.
    void setFavoriteServers(const QString &favorites);
    QString favoriteServers() const;
    bool isFavorite(int row) const;
    void setFavorite(int row, bool favorite);

public slots:
    // The latency of every row of the host.
    void setLatency(const QString &hostname, int latency);

private:
    static QVariantMap serverEntry(const VPNServer &server, const QVariant &latency);

    struct Row
    {
        VPNServer server;
        int latency = 0;
        bool measured = false;
        bool favorite = false;
    };

    QVector<Row> m_rows;
};

#endif // QVPNSERVERMODEL_H
