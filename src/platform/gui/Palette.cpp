#include "Palette.h"

#include <QGuiApplication>

namespace corvane::palette {

namespace {

QColor mix(const QColor& a, const QColor& b, qreal towardsB)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * towardsB,
                            a.greenF() + (b.greenF() - a.greenF()) * towardsB,
                            a.blueF() + (b.blueF() - a.blueF()) * towardsB);
}

} // namespace

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor color(ColorRole role, const QPalette& palette)
{
    const bool dark = isDark(palette);
    switch (role) {
    case ColorRole::secondary:
        // Dimmed text, solid so it blends the same on any row background.
        return mix(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.45);
    case ColorRole::gray:
        return dark ? QColor(0x98, 0x98, 0x9d) : QColor(0x84, 0x84, 0x89);
    case ColorRole::red:
        return dark ? QColor(0xff, 0x45, 0x3a) : QColor(0xd7, 0x26, 0x1e);
    case ColorRole::orange:
        return dark ? QColor(0xff, 0x9f, 0x0a) : QColor(0xc9, 0x6a, 0x00);
    case ColorRole::green:
        return dark ? QColor(0x30, 0xd1, 0x58) : QColor(0x1f, 0x8a, 0x3c);
    case ColorRole::accent:
        return palette.color(QPalette::Highlight);
    }
    return palette.color(QPalette::WindowText);
}

QColor color(ColorRole role)
{
    return color(role, QGuiApplication::palette());
}

QColor quaternaryFill(const QPalette& palette)
{
    QColor fill = palette.color(QPalette::WindowText);
    fill.setAlphaF(isDark(palette) ? 0.16f : 0.10f);
    return fill;
}

} // namespace corvane::palette
