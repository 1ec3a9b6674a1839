#include "PanelTexts.h"

#include <QStringList>

#include <algorithm>

namespace corvane::texts {

namespace {

const QString kParagraph = QStringLiteral("\n\n");

QString joinNonEmpty(const QStringList& parts)
{
    QStringList kept;
    for (const QString& part : parts)
        if (!part.isEmpty())
            kept.append(part);
    return kept.join(kParagraph);
}

enum class SheetTone
{
    critical,
    warning,
    other
};

SheetTone sheetTone(const QString& status)
{
    const QString word = status.toLower();
    if (word == QLatin1String("critical") || word == QLatin1String("failed"))
        return SheetTone::critical;
    if (word == QLatin1String("warning") || word == QLatin1String("stopped"))
        return SheetTone::warning;
    return SheetTone::other;
}

} // namespace

QString trayToolTip(HealthStatus fleet)
{
    return QStringLiteral("Corvane Monitor \u2014 ") + title(fleet);
}

std::optional<QString> offlineText(qint64 offlineCount)
{
    if (offlineCount < 1)
        return std::nullopt;
    return QString::number(offlineCount) + QStringLiteral(" offline");
}

QString summaryLine(const HealthCounts& aggregate)
{
    return QStringLiteral("ALL SERVERS: %1 OK  \u00b7  %2 WARN  \u00b7  %3 FAIL")
        .arg(aggregate.ok)
        .arg(aggregate.warn)
        .arg(aggregate.fail);
}

QString okCountText(const HealthReport& report)
{
    return QString::number(report.counts.ok) + QStringLiteral(" OK");
}

std::optional<QString> rowUptimeText(const HealthReport& report)
{
    const std::optional<QString> label = report.uptimeLabel();
    if (!label)
        return std::nullopt;
    return QStringLiteral("Up ") + *label;
}

QString rowSymbol(const std::optional<ServerResult>& result)
{
    return result ? symbol(result->status()) : QStringLiteral("circle.dotted");
}

ColorRole rowColor(const ServerProfile& profile, const std::optional<ServerResult>& result)
{
    if (!profile.enabled)
        return ColorRole::gray;
    return result ? color(result->status()) : ColorRole::secondary;
}

int serverListHeight(qsizetype profileCount)
{
    return static_cast<int>(std::min<qsizetype>(std::max<qsizetype>(profileCount, 1) * 58, 175));
}

QString serverStatusTitle(const std::optional<ServerResult>& result)
{
    return result ? title(result->status()) : QStringLiteral("Unknown");
}

QString serverDetailText(const ServerProfile& profile, const std::optional<ServerResult>& result)
{
    const std::optional<HealthReport> report = result ? result->report : std::nullopt;

    QStringList failingChecks;
    QStringList failingGroups;
    QString diagnostics;
    if (report) {
        for (const HealthCheck& check : report->checks)
            if (check.status != HealthStatus::ok)
                failingChecks.append(check.section + QStringLiteral(" / ") + check.name +
                                     QStringLiteral(" [") + title(check.status) +
                                     QStringLiteral("]\n") + check.detail);
        for (const HealthGroup& group : report->groups)
            if (group.status != HealthStatus::ok)
                failingGroups.append(group.name + QStringLiteral(": ") +
                                     group.missing.join(QStringLiteral(", ")));
        diagnostics = report->diagnostics.value_or(QString());
    }
    return joinNonEmpty({
        QStringLiteral("Server: ") + profile.name,
        QStringLiteral("Host: ") + profile.host,
        QStringLiteral("Status: ") + serverStatusTitle(result),
        result && result->error ? *result->error : QString(),
        failingGroups.join(QLatin1Char('\n')),
        failingChecks.join(kParagraph),
        diagnostics,
    });
}

QString serverErrorText(const std::optional<ServerResult>& result)
{
    if (result && result->error)
        return *result->error;
    QStringList lines;
    if (result && result->report)
        for (const HealthCheck& check : result->report->checks)
            if (check.status != HealthStatus::ok)
                lines.append(check.name + QStringLiteral(": ") + check.detail);
    const QString text = lines.join(QLatin1Char('\n'));
    return text.isEmpty() ? QStringLiteral("No errors reported.") : text;
}

MonitorDetailItem serverDetailItem(const ServerProfile& profile,
                                   const std::optional<ServerResult>& result)
{
    return MonitorDetailItem::make(profile.name, serverStatusTitle(result),
                                   serverDetailText(profile, result));
}

QString selectedHeading(const ServerProfile& profile)
{
    return profile.name.toUpper();
}

QString uptimeValue(const HealthReport& report)
{
    return report.uptimeLabel().value_or(QStringLiteral("Not available"));
}

QString noReportText(const std::optional<ServerResult>& result)
{
    if (result && result->error)
        return *result->error;
    return QStringLiteral("Waiting for health data\u2026");
}

bool isRequired(const ServerProfile& profile, const DiscoveredService& service)
{
    return profile.requiredServices.contains(service.name);
}

MonitorDetailItem serviceDetailItem(const DiscoveredService& service)
{
    return MonitorDetailItem::make(service.name, service.title(), service.detail);
}

QString serviceCopyText(const DiscoveredService& service)
{
    return service.detail;
}

QString groupDetailText(const HealthGroup& group, const HealthReport& report)
{
    QStringList lines;
    for (const HealthCheck& check : report.checks) {
        const bool related = group.missing.contains(check.name) ||
                             (check.status != HealthStatus::ok && check.section == group.name);
        if (related)
            lines.append(check.name + QStringLiteral(": ") + check.detail);
    }
    QString checks = lines.join(kParagraph);
    if (checks.isEmpty())
        checks = group.status == HealthStatus::ok
                     ? QStringLiteral("All required checks passed.")
                     : QStringLiteral("No matching individual check details were returned.");
    return joinNonEmpty({
        QStringLiteral("Group: ") + group.name,
        QStringLiteral("Status: ") + title(group.status),
        group.missing.isEmpty()
            ? QString()
            : QStringLiteral("Missing: ") + group.missing.join(QStringLiteral(", ")),
        checks,
    });
}

QString groupCopyText(const HealthGroup& group)
{
    return group.name + QStringLiteral(": ") + title(group.status) + QLatin1Char('\n') +
           group.missing.join(QLatin1Char('\n'));
}

MonitorDetailItem groupDetailItem(const HealthGroup& group, const HealthReport& report)
{
    return MonitorDetailItem::make(group.name, title(group.status), groupDetailText(group, report));
}

MonitorDetailItem checkDetailItem(const HealthCheck& check)
{
    return MonitorDetailItem::make(check.name, title(check.status),
                                   QStringLiteral("Section: ") + check.section + kParagraph +
                                       check.detail);
}

ColorRole sheetStatusColor(const QString& status)
{
    switch (sheetTone(status)) {
    case SheetTone::critical:
        return ColorRole::red;
    case SheetTone::warning:
        return ColorRole::orange;
    case SheetTone::other:
        break;
    }
    return ColorRole::green;
}

QString sheetStatusSymbol(const QString& status)
{
    switch (sheetTone(status)) {
    case SheetTone::critical:
        return QStringLiteral("xmark.circle.fill");
    case SheetTone::warning:
        return QStringLiteral("exclamationmark.triangle.fill");
    case SheetTone::other:
        break;
    }
    return QStringLiteral("checkmark.circle.fill");
}

QString sheetDetailsShown(const QString& details)
{
    return details.isEmpty() ? QStringLiteral("No additional diagnostic information available.")
                             : details;
}

} // namespace corvane::texts
