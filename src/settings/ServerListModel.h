#pragma once

#include <QAbstractListModel>
#include <QUuid>

#include <functional>

namespace corvane {

class ServerMonitor;

// The monitor's profiles as list rows, in the monitor's order. Dragging rows within the list
// hands the dragged positions and the drop offset, both counted before the move, to the mover;
// the rows follow once the monitor publishes its new order.
class ServerListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        IdRole = Qt::UserRole + 1, // QUuid
        PausedRole,                // bool: monitoring is off for the profile
    };

    using Mover = std::function<void(const QList<qsizetype>& from, qsizetype to)>;

    ServerListModel(ServerMonitor& monitor, Mover mover, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    [[nodiscard]] Qt::DropActions supportedDropActions() const override;
    [[nodiscard]] Qt::DropActions supportedDragActions() const override;
    [[nodiscard]] QStringList mimeTypes() const override;
    [[nodiscard]] QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    [[nodiscard]] QModelIndex indexOf(const QUuid& id) const;

    static constexpr auto mimeType = "application/x-corvane-server-rows";

private:
    ServerMonitor& m_monitor;
    Mover m_mover;
};

} // namespace corvane
