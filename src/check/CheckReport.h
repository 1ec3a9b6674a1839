#pragma once

#include "monitor/ServerMonitor.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace corvane::check {

// True once every enabled profile has finished at least one refresh.
[[nodiscard]] bool startupRefreshDone(const ServerMonitor& monitor);

// One line per profile, then the fleet summary line.
[[nodiscard]] QString textReport(const ServerMonitor& monitor);
[[nodiscard]] QString summaryLine(const HealthCounts& counts);

// The machine-readable form scripts depend on.
[[nodiscard]] QJsonObject jsonReport(const ServerMonitor& monitor);

// Monitoring-plugin convention: 0 ok, 1 warn, 2 fail.
[[nodiscard]] int exitCode(HealthStatus status);

} // namespace corvane::check
