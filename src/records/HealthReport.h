#pragma once

#include "Presentation.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace corvane {

// Declared in order of severity: a later case is worse.
enum class HealthStatus
{
    ok,
    warn,
    fail
};

[[nodiscard]] QString rawText(HealthStatus status);
[[nodiscard]] std::optional<HealthStatus> healthStatusFromRaw(const QString& raw);
[[nodiscard]] QString title(HealthStatus status);
[[nodiscard]] QString symbol(HealthStatus status);
[[nodiscard]] ColorRole color(HealthStatus status);
[[nodiscard]] inline HealthStatus worse(HealthStatus a, HealthStatus b)
{
    return a < b ? b : a;
}

struct HealthCounts
{
    qint64 ok = 0;
    qint64 warn = 0;
    qint64 fail = 0;

    friend bool operator==(const HealthCounts&, const HealthCounts&) = default;
};

struct HealthGroup
{
    QString name;
    HealthStatus status = HealthStatus::ok;
    QStringList missing;

    [[nodiscard]] const QString& id() const { return name; }
    friend bool operator==(const HealthGroup&, const HealthGroup&) = default;
};

struct HealthCheck
{
    QString name;
    HealthStatus status = HealthStatus::ok;
    QString detail;
    QString section;

    [[nodiscard]] QString id() const { return section + QLatin1Char('/') + name; }
    friend bool operator==(const HealthCheck&, const HealthCheck&) = default;
};

struct DiscoveredService
{
    QString name;
    QString state;
    QString detail;

    [[nodiscard]] const QString& id() const { return name; }
    [[nodiscard]] QString title() const;
    [[nodiscard]] QString symbol() const;
    [[nodiscard]] ColorRole color() const;
    [[nodiscard]] bool isInstalled() const;
    [[nodiscard]] bool isHealthy() const;
    friend bool operator==(const DiscoveredService&, const DiscoveredService&) = default;
};

struct HealthReport
{
    qint64 schema = 1;
    std::optional<QString> host;
    std::optional<QString> generatedAt;
    std::optional<qint64> uptimeSeconds;
    HealthStatus overall = HealthStatus::ok;
    HealthCounts counts;
    QList<HealthGroup> groups;
    QList<HealthCheck> checks;
    std::optional<QString> diagnostics;
    std::optional<QList<DiscoveredService>> services;

    [[nodiscard]] std::optional<QString> uptimeLabel() const;
    friend bool operator==(const HealthReport&, const HealthReport&) = default;
};

} // namespace corvane
