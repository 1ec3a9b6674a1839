#pragma once

#include "records/Presentation.h"

#include <QColor>
#include <QPalette>

// The colour roles of the views, mapped once onto the current palette. Light and dark palettes
// get their own shades so that status colours keep their contrast on either background.
namespace corvane::palette {

[[nodiscard]] bool isDark(const QPalette& palette);
[[nodiscard]] QColor color(ColorRole role, const QPalette& palette);
// The application palette.
[[nodiscard]] QColor color(ColorRole role);
// The faint fill behind a block of detail text (already at its final opacity).
[[nodiscard]] QColor quaternaryFill(const QPalette& palette);

} // namespace corvane::palette
