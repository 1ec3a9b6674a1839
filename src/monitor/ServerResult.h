#pragma once

#include "../records/HealthReport.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace corvane {

struct ServerResult
{
    std::optional<HealthReport> report;
    std::optional<QString> error;
    std::optional<QDateTime> lastChecked;
    bool refreshing = false;

    // A server that never finished a refresh counts as a warning, not as healthy.
    [[nodiscard]] HealthStatus status() const
    {
        if (error)
            return HealthStatus::fail;
        if (report)
            return report->overall;
        return HealthStatus::warn;
    }

    friend bool operator==(const ServerResult&, const ServerResult&) = default;
};

} // namespace corvane
