#include "PanelPlacement.h"

#include <algorithm>

namespace corvane {

namespace {
constexpr int kGap = 4;
}

QPoint panelPosition(const QRect& iconGeometry, const QPoint& pointer, const QSize& panel,
                     const QRect& available)
{
    const bool attached = iconGeometry.isValid() && !iconGeometry.isEmpty();
    const int anchorX = attached ? iconGeometry.center().x() : pointer.x();
    const int below = attached ? iconGeometry.bottom() + 1 + kGap : pointer.y() + kGap;
    const int above = (attached ? iconGeometry.top() : pointer.y()) - kGap - panel.height();

    int y = below;
    if (below + panel.height() > available.bottom() + 1 && above >= available.top())
        y = above;
    int x = anchorX - panel.width() / 2;

    x = std::clamp(x, available.left(),
                   std::max(available.left(), available.right() + 1 - panel.width()));
    y = std::clamp(y, available.top(),
                   std::max(available.top(), available.bottom() + 1 - panel.height()));
    return {x, y};
}

} // namespace corvane
