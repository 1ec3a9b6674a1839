#pragma once

#include "MonitorDetailItem.h"

#include <QList>
#include <QPoint>
#include <QString>

#include <functional>

namespace corvane {

// One entry of a context menu; an empty text is a separator line.
struct MenuEntry
{
    QString text;
    std::function<void()> run;
};

// What the panel's parts ask of the panel. Menus are owned by the panel and carry copies of
// the values they act on, so a redraw that replaces a row while its menu is open is harmless.
class PanelActions
{
public:
    virtual ~PanelActions() = default;
    virtual void showDetails(const MonitorDetailItem& item) = 0;
    virtual void popupMenu(const QList<MenuEntry>& entries, const QPoint& globalPos) = 0;
};

} // namespace corvane
