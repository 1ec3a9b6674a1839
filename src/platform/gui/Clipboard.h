#pragma once

#include <QString>

namespace corvane::clipboard {

// Replaces whatever the clipboard holds with one plain text.
void setPlainText(const QString& text);

} // namespace corvane::clipboard
