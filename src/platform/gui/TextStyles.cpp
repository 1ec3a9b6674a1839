#include "TextStyles.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace corvane::textstyles {

namespace {

constexpr qreal kBodyUnits = 13.0;

qreal scaled(qreal units, const QFont& base)
{
    const qreal basePoints = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    return std::max<qreal>(6.0, units * basePoints / kBodyUnits);
}

} // namespace

QFont font(TextStyle style, const QFont& base)
{
    switch (style) {
    case TextStyle::body:
        return systemFont(13, QFont::Normal, false, base);
    case TextStyle::headline:
        return systemFont(13, QFont::Bold, false, base);
    case TextStyle::title2:
        return systemFont(17, QFont::Normal, false, base);
    case TextStyle::title3:
        return systemFont(15, QFont::Normal, false, base);
    case TextStyle::caption:
        return systemFont(11, QFont::Normal, false, base);
    case TextStyle::captionBold:
        return systemFont(11, QFont::Bold, false, base);
    case TextStyle::caption2:
        return systemFont(10, QFont::Normal, false, base);
    }
    return base;
}

QFont font(TextStyle style)
{
    return font(style, QGuiApplication::font());
}

QFont systemFont(qreal size, QFont::Weight weight, bool monospaced, const QFont& base)
{
    QFont out = monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : base;
    out.setPointSizeF(scaled(size, base));
    out.setWeight(weight);
    return out;
}

QFont systemFont(qreal size, QFont::Weight weight, bool monospaced)
{
    return systemFont(size, weight, monospaced, QGuiApplication::font());
}

} // namespace corvane::textstyles
