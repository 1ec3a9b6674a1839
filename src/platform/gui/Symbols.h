#pragma once

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// The symbol names the views use, drawn by us as vector paths so no icon theme is involved
// and every size stays sharp. A symbol is one filled shape: tinting is the fill colour.
namespace corvane::symbols {

// Every name we draw.
[[nodiscard]] QStringList names();
[[nodiscard]] bool has(const QString& name);

// The shape in a 24 x 24 box. An unknown name draws the question mark, so a typo shows up as
// "unknown" instead of nothing.
[[nodiscard]] QPainterPath path(const QString& name);

void paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color);
[[nodiscard]] QIcon icon(const QString& name, const QColor& color);
[[nodiscard]] QPixmap pixmap(const QString& name, const QColor& color, int side,
                             qreal devicePixelRatio = 1.0);

} // namespace corvane::symbols
