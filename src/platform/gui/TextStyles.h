#pragma once

#include <QFont>

// Text styles by role, mapped once onto the desktop's font. Sizes are given in the units of the
// layout (a 13-unit body text), scaled to the user's font so the views follow its size.
namespace corvane {

enum class TextStyle
{
    body,
    headline,
    title2,
    title3,
    caption,
    captionBold,
    caption2
};

namespace textstyles {

[[nodiscard]] QFont font(TextStyle style, const QFont& base);
[[nodiscard]] QFont font(TextStyle style);
// The system font at a layout size, a weight and, if asked, the monospaced design.
[[nodiscard]] QFont systemFont(qreal size, QFont::Weight weight = QFont::Normal,
                               bool monospaced = false);
[[nodiscard]] QFont systemFont(qreal size, QFont::Weight weight, bool monospaced,
                               const QFont& base);

} // namespace textstyles
} // namespace corvane
