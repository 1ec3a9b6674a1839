#pragma once

#include "records/HealthReport.h"
#include "records/ServerProfile.h"

#include <QString>

#include <optional>

// The texts of the diagnostics window, as plain functions of the monitor's values.
namespace corvane::texts {

// The selected profile's name, or a generic word when nothing is selected, and the window's
// purpose after it.
[[nodiscard]] QString diagnosticsTitle(const std::optional<ServerProfile>& selected);
[[nodiscard]] QString diagnosticsHint();
// What "Copy Details" of a check row puts on the clipboard: the detail alone.
[[nodiscard]] QString checkCopyText(const HealthCheck& check);

} // namespace corvane::texts
