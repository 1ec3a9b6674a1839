#pragma once

#include "HealthReport.h"
#include "Result.h"

#include <QByteArray>
#include <QJsonObject>

namespace corvane {

// Strict decode of the one document a health command prints. The error is a single line such as
// Invalid health report: "checks"[41]."status" is "unknown" (expected "ok", "warn" or "fail").
// A key that appears twice in one object keeps its last value (the reader's rule); nothing else
// about repeated keys is checked.
[[nodiscard]] Result<HealthReport> decodeHealthReport(const QByteArray& bytes);

// The document form of a report, absent optional keys omitted.
[[nodiscard]] QJsonObject encodeHealthReport(const HealthReport& report);

} // namespace corvane
