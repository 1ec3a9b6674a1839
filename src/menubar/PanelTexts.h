#pragma once

#include "MonitorDetailItem.h"

#include "monitor/ServerResult.h"
#include "records/HealthReport.h"
#include "records/ServerProfile.h"

#include <QString>

#include <optional>

// Every text the panel and the detail sheet show or copy, as plain functions of the monitor's
// values, so that they are checked without a window.
namespace corvane::texts {

// Tray icon.
[[nodiscard]] QString trayToolTip(HealthStatus fleet);

// Panel header, rows and summary.
[[nodiscard]] std::optional<QString> offlineText(qint64 offlineCount);
[[nodiscard]] QString summaryLine(const HealthCounts& aggregate);
[[nodiscard]] QString okCountText(const HealthReport& report);
[[nodiscard]] std::optional<QString> rowUptimeText(const HealthReport& report);
[[nodiscard]] QString rowSymbol(const std::optional<ServerResult>& result);
[[nodiscard]] ColorRole rowColor(const ServerProfile& profile,
                                 const std::optional<ServerResult>& result);
// The height of the server list for that many profiles.
[[nodiscard]] int serverListHeight(qsizetype profileCount);

// Server context menu.
[[nodiscard]] QString serverStatusTitle(const std::optional<ServerResult>& result);
[[nodiscard]] QString serverDetailText(const ServerProfile& profile,
                                       const std::optional<ServerResult>& result);
[[nodiscard]] QString serverErrorText(const std::optional<ServerResult>& result);
[[nodiscard]] MonitorDetailItem serverDetailItem(const ServerProfile& profile,
                                                 const std::optional<ServerResult>& result);

// Selected server section.
[[nodiscard]] QString selectedHeading(const ServerProfile& profile);
[[nodiscard]] QString uptimeValue(const HealthReport& report);
// Shown instead of the health when there is no report yet.
[[nodiscard]] QString noReportText(const std::optional<ServerResult>& result);
[[nodiscard]] bool isRequired(const ServerProfile& profile, const DiscoveredService& service);
[[nodiscard]] MonitorDetailItem serviceDetailItem(const DiscoveredService& service);
[[nodiscard]] QString serviceCopyText(const DiscoveredService& service);
[[nodiscard]] QString groupDetailText(const HealthGroup& group, const HealthReport& report);
[[nodiscard]] QString groupCopyText(const HealthGroup& group);
[[nodiscard]] MonitorDetailItem groupDetailItem(const HealthGroup& group,
                                                const HealthReport& report);

// Diagnostics rows.
[[nodiscard]] MonitorDetailItem checkDetailItem(const HealthCheck& check);

// Detail sheet.
[[nodiscard]] ColorRole sheetStatusColor(const QString& status);
[[nodiscard]] QString sheetStatusSymbol(const QString& status);
[[nodiscard]] QString sheetDetailsShown(const QString& details);

} // namespace corvane::texts
