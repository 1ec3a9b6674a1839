#pragma once

#include "platform/gui/TextStyles.h"
#include "records/Presentation.h"

#include <QFont>
#include <QString>

#include <optional>

class QBoxLayout;
class QFrame;
class QLabel;
class QWidget;

// Small builders shared by the views. Every label they make shows its text literally: server and
// profile texts must never be taken as markup. Labels carry the symbol name and colour role they
// were given as properties, so tests can read what is shown without comparing pixels.
namespace corvane::viewkit {

[[nodiscard]] QLabel* text(const QString& text, const QFont& font,
                           std::optional<ColorRole> role = std::nullopt);
[[nodiscard]] QLabel* text(const QString& text, TextStyle style,
                           std::optional<ColorRole> role = std::nullopt);
// The icon alone; no role means the default text colour.
[[nodiscard]] QLabel* symbol(const QString& name, std::optional<ColorRole> role, int side);
// An icon followed by a text, both in one colour, as one widget.
[[nodiscard]] QWidget* symbolText(const QString& symbolName, const QString& text, const QFont& font,
                                  std::optional<ColorRole> role = std::nullopt);
[[nodiscard]] int symbolSide(const QFont& font);
[[nodiscard]] QFrame* divider(int leftInset = 0);
void setTextColor(QWidget* widget, std::optional<ColorRole> role);
void setPadding(QBoxLayout* layout, int horizontal, int top, int bottom);

} // namespace corvane::viewkit
