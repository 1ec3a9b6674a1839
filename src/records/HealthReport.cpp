#include "HealthReport.h"

namespace corvane {

QString rawText(HealthStatus status)
{
    switch (status) {
    case HealthStatus::ok:
        return QStringLiteral("ok");
    case HealthStatus::warn:
        return QStringLiteral("warn");
    case HealthStatus::fail:
        return QStringLiteral("fail");
    }
    return QStringLiteral("warn");
}

std::optional<HealthStatus> healthStatusFromRaw(const QString& raw)
{
    for (HealthStatus s : {HealthStatus::ok, HealthStatus::warn, HealthStatus::fail})
        if (raw == rawText(s))
            return s;
    return std::nullopt;
}

QString title(HealthStatus status)
{
    switch (status) {
    case HealthStatus::ok:
        return QStringLiteral("Healthy");
    case HealthStatus::warn:
        return QStringLiteral("Warning");
    case HealthStatus::fail:
        return QStringLiteral("Critical");
    }
    return {};
}

QString symbol(HealthStatus status)
{
    switch (status) {
    case HealthStatus::ok:
        return QStringLiteral("checkmark.circle.fill");
    case HealthStatus::warn:
        return QStringLiteral("exclamationmark.triangle.fill");
    case HealthStatus::fail:
        return QStringLiteral("xmark.circle.fill");
    }
    return {};
}

ColorRole color(HealthStatus status)
{
    switch (status) {
    case HealthStatus::ok:
        return ColorRole::green;
    case HealthStatus::warn:
        return ColorRole::orange;
    case HealthStatus::fail:
        return ColorRole::red;
    }
    return ColorRole::secondary;
}

namespace {

struct ServiceLook
{
    const char* state;
    const char* title;
    const char* symbol;
    ColorRole color;
};

constexpr ServiceLook kServiceLooks[] = {
    {"running", "Running", "checkmark.circle.fill", ColorRole::green},
    {"failed", "Failed", "xmark.circle.fill", ColorRole::red},
    {"required_missing", "Required \u2014 missing", "xmark.circle.fill", ColorRole::red},
    {"stopped", "Stopped", "exclamationmark.triangle.fill", ColorRole::orange},
    {"disabled", "Disabled", "pause.circle", ColorRole::secondary},
    {"not_installed", "Not installed", "minus.circle", ColorRole::secondary},
};
constexpr ServiceLook kUnknownLook = {"", "Unknown", "questionmark.circle", ColorRole::secondary};

const ServiceLook& lookFor(const QString& state)
{
    for (const ServiceLook& look : kServiceLooks)
        if (state == QLatin1String(look.state))
            return look;
    return kUnknownLook;
}

} // namespace

QString DiscoveredService::title() const
{
    return QString::fromUtf8(lookFor(state).title);
}
QString DiscoveredService::symbol() const
{
    return QString::fromUtf8(lookFor(state).symbol);
}
ColorRole DiscoveredService::color() const
{
    return lookFor(state).color;
}
bool DiscoveredService::isInstalled() const
{
    return state != QLatin1String("not_installed");
}
bool DiscoveredService::isHealthy() const
{
    return state == QLatin1String("running");
}

std::optional<QString> HealthReport::uptimeLabel() const
{
    if (!uptimeSeconds || *uptimeSeconds < 0)
        return std::nullopt;
    const qint64 seconds = *uptimeSeconds;
    const qint64 days = seconds / 86400;
    const qint64 hours = (seconds % 86400) / 3600;
    const qint64 minutes = (seconds % 3600) / 60;
    if (seconds >= 86400)
        return QStringLiteral("%1d %2h %3m").arg(days).arg(hours).arg(minutes);
    if (seconds < 3600)
        return QStringLiteral("%1m").arg(minutes);
    return QStringLiteral("%1h %2m").arg(hours).arg(minutes);
}

} // namespace corvane
