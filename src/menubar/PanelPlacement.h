#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace corvane {

// Where the panel's top-left corner goes: centred below the tray icon when the tray reports
// where the icon is, else below the pointer; above it instead when a bottom bar leaves no room
// below; always kept inside the screen's available area.
[[nodiscard]] QPoint panelPosition(const QRect& iconGeometry, const QPoint& pointer,
                                   const QSize& panel, const QRect& available);

} // namespace corvane
