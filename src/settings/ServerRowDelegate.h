#pragma once

#include <QStyledItemDelegate>

namespace corvane {

// A server row as the list draws it: the rack symbol and the name, then the pause symbol right
// after the name while the profile's monitoring is off.
class ServerRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override;
};

} // namespace corvane
