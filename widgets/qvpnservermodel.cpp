#include "widgets/qvpnservermodel.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qset.h>

// What a row reads to assistive technology, in the chooser's words.
static QString rowText(const QString &name, bool favorite, const QVariant &latency)
{
    QStringList parts{name};
    if (favorite)
        parts += QCoreApplication::translate("QVPNServerComboBox", "favourite");
    if (latency.isValid()) {
        const int ms = latency.toInt();
        parts += ms > 0 ? QStringLiteral("%1 ms").arg(ms)
                        : QCoreApplication::translate("QVPNServerComboBox", "no answer");
    }
    return parts.join(QLatin1String(", "));
}

QVPNServerModel::QVPNServerModel(QObject *parent)
    : QAbstractListModel(parent)
{}

QVPNServerModel::~QVPNServerModel() = default;

int QVPNServerModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant QVPNServerModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    const QVariant latency = row.measured ? QVariant(row.latency) : QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
    case NameRole:
        return row.server.name;
    case CodeRole:
        return row.server.code;
    case HostnameRole:
        return row.server.hostname;
    case LatencyRole:
        return latency;
    case Qt::CheckStateRole:
        return int(row.favorite ? Qt::Checked : Qt::Unchecked);
    case Qt::AccessibleTextRole:
        return rowText(row.server.name, row.favorite, latency);
    case ServerEntryRole:
        return serverEntry(row.server, latency);
    default:
        return QVariant();
    }
}

QVariantMap QVPNServerModel::serverEntry(const VPNServer &server, const QVariant &latency)
{
    QVariantMap entry{{QStringLiteral("name"), server.name},
                      {QStringLiteral("code"), server.code},
                      {QStringLiteral("hostname"), server.hostname}};
    if (latency.isValid())
        entry.insert(QStringLiteral("ping"), latency);
    return entry;
}

bool QVPNServerModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if ((role != Qt::CheckStateRole && role != ServerEntryRole)
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    if (role == Qt::CheckStateRole) {
        setFavorite(index.row(), value.toInt() == Qt::Checked);
        return true;
    }
    const QVariantMap entry = value.toMap();
    Row &row = m_rows[index.row()];
    row.server = {entry.value(QStringLiteral("name")).toString(),
                  entry.value(QStringLiteral("code")).toString(),
                  entry.value(QStringLiteral("hostname")).toString()};
    row.measured = entry.contains(QStringLiteral("ping"));
    row.latency = entry.value(QStringLiteral("ping")).toInt();
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags QVPNServerModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsUserCheckable : Qt::NoItemFlags;
}

void QVPNServerModel::setServers(const QList<VPNServer> &servers)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(servers.size());
    for (const VPNServer &server : servers)
        m_rows.append(Row{server});
    endResetModel();
}

QList<VPNServer> QVPNServerModel::servers() const
{
    QList<VPNServer> servers;
    servers.reserve(m_rows.size());
    for (const Row &row : m_rows)
        servers.append(row.server);
    return servers;
}

int QVPNServerModel::findServer(const QString &name) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).server.name == name)
            return row;
    }
    return -1;
}

VPNServer QVPNServerModel::serverAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).server : VPNServer();
}

QStringList QVPNServerModel::hostnames() const
{
    QStringList hostnames;
    QSet<QString> seen;
    for (const Row &row : m_rows) {
        if (!seen.contains(row.server.hostname)) {
            seen.insert(row.server.hostname);
            hostnames.append(row.server.hostname);
        }
    }
    return hostnames;
}

void QVPNServerModel::setFavoriteServers(const QString &favorites)
{
    // An empty part names no server: an empty text marks nothing, not the rows without a name.
    const QStringList names = favorites.split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QSet<QString> marked(names.cbegin(), names.cend());
    for (int row = 0; row < m_rows.size(); ++row) {
        if (marked.contains(m_rows.at(row).server.name))
            setFavorite(row, true);
    }
}

QString QVPNServerModel::favoriteServers() const
{
    QStringList names;
    for (const Row &row : m_rows) {
        if (row.favorite)
            names.append(row.server.name);
    }
    return names.join(QLatin1Char(','));
}

bool QVPNServerModel::isFavorite(int row) const
{
    return row >= 0 && row < m_rows.size() && m_rows.at(row).favorite;
}

void QVPNServerModel::setFavorite(int row, bool favorite)
{
    if (row < 0 || row >= m_rows.size() || m_rows.at(row).favorite == favorite)
        return;
    m_rows[row].favorite = favorite;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::CheckStateRole, Qt::AccessibleTextRole});
}

void QVPNServerModel::setLatency(const QString &hostname, int latency)
{
    for (int row = 0; row < m_rows.size(); ++row) {
        Row &entry = m_rows[row];
        if (entry.server.hostname != hostname)
            continue;
        entry.latency = latency;
        entry.measured = true;
        const QModelIndex changed = index(row);
        emit dataChanged(changed, changed, {LatencyRole, Qt::AccessibleTextRole});
    }
}
