#include "ServerListModel.h"

#include "monitor/ServerMonitor.h"
#include "platform/gui/Symbols.h"

#include <QDataStream>
#include <QGuiApplication>
#include <QIODevice>
#include <QMimeData>
#include <QPalette>

#include <algorithm>

namespace corvane {

ServerListModel::ServerListModel(ServerMonitor& monitor, Mover mover, QObject* parent)
    : QAbstractListModel(parent), m_monitor(monitor), m_mover(std::move(mover))
{
    // Whole resets: a list of a handful of rows, and every change may reorder it.
    connect(&m_monitor, &ServerMonitor::serversChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int ServerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_monitor.servers().size());
}

QVariant ServerListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ServerProfile& profile = m_monitor.servers().at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return profile.name;
    case Qt::AccessibleTextRole:
        return profile.enabled ? profile.name : profile.name + QStringLiteral(", paused");
    case Qt::DecorationRole:
        return symbols::icon(QStringLiteral("server.rack"),
                             QGuiApplication::palette().color(QPalette::WindowText));
    case IdRole:
        return QVariant::fromValue(profile.id);
    case PausedRole:
        return !profile.enabled;
    default:
        return {};
    }
}

Qt::ItemFlags ServerListModel::flags(const QModelIndex& index) const
{
    // Drops land between rows, never on one.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

Qt::DropActions ServerListModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions ServerListModel::supportedDragActions() const
{
    return Qt::MoveAction;
}

QStringList ServerListModel::mimeTypes() const
{
    return {QString::fromLatin1(mimeType)};
}

QMimeData* ServerListModel::mimeData(const QModelIndexList& indexes) const
{
    QList<qint64> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && index.row() < rowCount())
            rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << rows;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(mimeType), bytes);
    return data;
}

bool ServerListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                   int /*column*/, const QModelIndex& parent)
{
    if (action != Qt::MoveAction || !data || !data->hasFormat(QString::fromLatin1(mimeType)))
        return false;
    QList<qint64> rows;
    QDataStream in(data->data(QString::fromLatin1(mimeType)));
    in >> rows;
    if (in.status() != QDataStream::Ok || rows.isEmpty())
        return false;
    const int count = rowCount();
    // A drop on a row (not between two) goes before it; on empty space, to the end.
    int to = row;
    if (to < 0)
        to = parent.isValid() ? parent.row() : count;
    to = std::clamp(to, 0, count);
    QList<qsizetype> from;
    for (const qint64 r : std::as_const(rows)) {
        // Rows from a list that has changed since the drag began are not ours to move.
        if (r < 0 || r >= count)
            return false;
        from.append(qsizetype(r));
    }
    m_mover(from, to);
    // The monitor has reordered its list and this model has been reset: nothing for the view
    // to remove afterwards.
    return true;
}

QModelIndex ServerListModel::indexOf(const QUuid& id) const
{
    const QList<ServerProfile>& servers = m_monitor.servers();
    for (qsizetype i = 0; i < servers.size(); ++i)
        if (servers.at(i).id == id)
            return index(int(i));
    return {};
}

} // namespace corvane
