#include "ServerRowDelegate.h"

#include "ServerListModel.h"

#include "platform/gui/Symbols.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace corvane {

namespace {

constexpr int gap = 4;

int pauseSide(const QStyleOptionViewItem& option)
{
    return option.fontMetrics.height();
}

} // namespace

void ServerRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    const bool paused = index.data(ServerListModel::PausedRole).toBool();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget);
    const int side = pauseSide(option);
    // A long name gives way to the pause symbol, so the symbol is never cut off.
    if (paused)
        item.text = item.fontMetrics.elidedText(item.text, item.textElideMode,
                                                std::max(0, textRect.width() - side - 3 * gap));
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
    if (!paused)
        return;

    const int textMargin =
        style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item.widget) + 1;
    const int left =
        textRect.left() + textMargin + item.fontMetrics.horizontalAdvance(item.text) + gap;
    const QRect box(std::min(left, textRect.right() - side), textRect.center().y() - side / 2 + 1,
                    side, side);
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    const QPalette::ColorRole role =
        (option.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    painter->save();
    symbols::paint(*painter, QStringLiteral("pause.circle"), box,
                   option.palette.color(group, role));
    painter->restore();
}

QSize ServerRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (index.data(ServerListModel::PausedRole).toBool())
        size.rwidth() += pauseSide(option) + 2 * gap;
    return size;
}

} // namespace corvane
