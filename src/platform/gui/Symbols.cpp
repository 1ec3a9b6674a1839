#include "Symbols.h"

#include "SymbolIconEngine.h"

#include <QHash>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPolygonF>

#include <cmath>
#include <functional>

namespace corvane::symbols {

namespace {

constexpr qreal kBox = 24.0;
constexpr qreal kPi = 3.14159265358979323846;

QPainterPath outline(const QPainterPath& line, qreal width, Qt::PenCapStyle cap = Qt::RoundCap)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(line).simplified();
}

QPainterPath polyline(std::initializer_list<QPointF> points)
{
    QPainterPath line;
    bool first = true;
    for (const QPointF& p : points) {
        if (first)
            line.moveTo(p);
        else
            line.lineTo(p);
        first = false;
    }
    return line;
}

QPainterPath disc(QPointF centre, qreal radius)
{
    QPainterPath p;
    p.addEllipse(centre, radius, radius);
    return p;
}

QPainterPath ring()
{
    QPainterPath circle;
    circle.addEllipse(QPointF(12, 12), 9.5, 9.5);
    return outline(circle, 1.8);
}

QPainterPath filledCircle()
{
    return disc(QPointF(12, 12), 10.5);
}

QPainterPath questionMark()
{
    QPainterPath q;
    q.moveTo(9.2, 9.6);
    q.cubicTo(9.2, 7.6, 10.6, 6.6, 12.1, 6.6);
    q.cubicTo(13.7, 6.6, 14.9, 7.7, 14.9, 9.3);
    q.cubicTo(14.9, 11.4, 12.1, 11.7, 12.1, 13.9);
    return outline(q, 2.0).united(disc(QPointF(12.1, 17.2), 1.25));
}

QPainterPath arcLine(QPointF centre, qreal radius, qreal startDeg, qreal sweepDeg)
{
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath arc;
    arc.arcMoveTo(box, startDeg);
    arc.arcTo(box, startDeg, sweepDeg);
    return arc;
}

QPainterPath triangle(QPointF a, QPointF b, QPointF c)
{
    QPainterPath p;
    p.addPolygon(QPolygonF({a, b, c}));
    p.closeSubpath();
    return p;
}

QPainterPath rackUnit(qreal top)
{
    QPainterPath box;
    box.addRoundedRect(QRectF(3.5, top, 17, 5.2), 1.4, 1.4);
    return outline(box, 1.6)
        .united(disc(QPointF(17.3, top + 2.6), 1.05))
        .united(outline(polyline({{6.6, top + 2.6}, {10.6, top + 2.6}}), 1.4));
}

using Builder = std::function<QPainterPath()>;

const QHash<QString, Builder>& builders()
{
    static const QHash<QString, Builder> table = {
        {QStringLiteral("checkmark.circle.fill"),
         [] {
             return filledCircle().subtracted(
                 outline(polyline({{7.2, 12.4}, {10.6, 15.8}, {16.9, 8.6}}), 2.4));
         }},
        {QStringLiteral("exclamationmark.triangle.fill"),
         [] {
             const QPainterPath body = triangle({12, 3.2}, {21.6, 19.9}, {2.4, 19.9});
             const QPainterPath rounded = body.united(outline(body, 2.2));
             return rounded.subtracted(outline(polyline({{12, 8.6}, {12, 13.6}}), 2.4))
                 .subtracted(disc(QPointF(12, 17.0), 1.35));
         }},
        {QStringLiteral("xmark.circle.fill"),
         [] {
             return filledCircle()
                 .subtracted(outline(polyline({{8.2, 8.2}, {15.8, 15.8}}), 2.4))
                 .subtracted(outline(polyline({{15.8, 8.2}, {8.2, 15.8}}), 2.4));
         }},
        {QStringLiteral("pause.circle"),
         [] {
             QPainterPath bars;
             bars.addRoundedRect(QRectF(8.6, 7.6, 2.3, 8.8), 0.8, 0.8);
             bars.addRoundedRect(QRectF(13.1, 7.6, 2.3, 8.8), 0.8, 0.8);
             return ring().united(bars);
         }},
        {QStringLiteral("minus.circle"),
         [] {
             return ring().united(outline(polyline({{7.6, 12}, {16.4, 12}}), 2.0));
         }},
        {QStringLiteral("questionmark.circle"), [] { return ring().united(questionMark()); }},
        {QStringLiteral("circle.dotted"),
         [] {
             QPainterPath dots;
             for (int i = 0; i < 12; ++i) {
                 const qreal angle = i * kPi / 6.0;
                 dots.addEllipse(QPointF(12 + 9.5 * std::cos(angle), 12 + 9.5 * std::sin(angle)),
                                 1.15, 1.15);
             }
             return dots;
         }},
        {QStringLiteral("server.rack"),
         [] { return rackUnit(2.6).united(rackUnit(9.4)).united(rackUnit(16.2)); }},
        {QStringLiteral("chevron.down.circle"),
         [] {
             return ring().united(outline(polyline({{8.0, 10.4}, {12, 14.4}, {16.0, 10.4}}), 2.0));
         }},
        {QStringLiteral("checkmark"),
         [] {
             return outline(polyline({{4.6, 12.6}, {9.6, 17.6}, {19.6, 6.4}}), 2.4);
         }},
        {QStringLiteral("arrow.clockwise"),
         [] {
             // Clockwise from the upper right round to the top, where the head points on.
             return outline(arcLine(QPointF(12, 13), 7.5, 35, -295), 2.0, Qt::FlatCap)
                 .united(triangle({11.0, 1.9}, {15.6, 5.5}, {11.0, 9.1}));
         }},
        {QStringLiteral("clock.arrow.circlepath"),
         [] {
             return outline(arcLine(QPointF(12.5, 12), 8.2, 200, -300), 1.8, Qt::FlatCap)
                 .united(triangle({1.4, 12.4}, {7.6, 12.4}, {4.5, 16.6}))
                 .united(outline(polyline({{12.5, 7.4}, {12.5, 12.2}, {15.6, 14.2}}), 1.7));
         }},
        {QStringLiteral("plus"),
         [] {
             return outline(polyline({{12, 4.8}, {12, 19.2}}), 2.2)
                 .united(outline(polyline({{4.8, 12}, {19.2, 12}}), 2.2));
         }},
        {QStringLiteral("minus"),
         [] {
             return outline(polyline({{4.8, 12}, {19.2, 12}}), 2.2);
         }},
    };
    return table;
}

} // namespace

QStringList names()
{
    QStringList all = builders().keys();
    all.sort();
    return all;
}

bool has(const QString& name)
{
    return builders().contains(name);
}

QPainterPath path(const QString& name)
{
    static QHash<QString, QPainterPath> cache;
    const QString key = has(name) ? name : QStringLiteral("questionmark.circle");
    auto it = cache.find(key);
    if (it == cache.end()) {
        // Keep the fill rule the boolean operations chose: it is what makes the cut-outs holes.
        it = cache.insert(key, builders().value(key)());
    }
    return *it;
}

void paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color)
{
    const qreal side = std::min(box.width(), box.height());
    if (side <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    painter.scale(side / kBox, side / kBox);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(path(name));
    painter.restore();
}

QIcon icon(const QString& name, const QColor& color)
{
    return QIcon(new SymbolIconEngine(name, color));
}

QPixmap pixmap(const QString& name, const QColor& color, int side, qreal devicePixelRatio)
{
    const int device = std::max(1, static_cast<int>(std::lround(side * devicePixelRatio)));
    QPixmap out(device, device);
    out.fill(Qt::transparent);
    {
        QPainter painter(&out);
        paint(painter, name, QRectF(0, 0, device, device), color);
    }
    out.setDevicePixelRatio(devicePixelRatio);
    return out;
}

} // namespace corvane::symbols
