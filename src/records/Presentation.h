#pragma once

#include <QString>

namespace corvane {

// Colour roles every view maps once to the toolkit's palette.
enum class ColorRole
{
    secondary,
    gray,
    red,
    orange,
    green,
    accent
};

[[nodiscard]] QString colorRoleName(ColorRole role);

} // namespace corvane
