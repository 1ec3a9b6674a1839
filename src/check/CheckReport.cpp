#include "CheckReport.h"

#include "records/HealthReportJson.h"

#include <QJsonArray>

#include <algorithm>

namespace corvane::check {

namespace {

QJsonValue orNull(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QString statusWord(const ServerProfile& profile, const ServerResult& result)
{
    if (!profile.enabled)
        return QStringLiteral("OFF");
    return rawText(result.status()).toUpper();
}

// Keeps the table on one line per server whatever the remote sends.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

} // namespace

bool startupRefreshDone(const ServerMonitor& monitor)
{
    return std::all_of(
        monitor.servers().cbegin(), monitor.servers().cend(), [&](const ServerProfile& profile) {
            if (!profile.enabled)
                return true;
            const auto it = monitor.results().constFind(profile.id);
            return it != monitor.results().constEnd() && it->lastChecked && !it->refreshing;
        });
}

QString summaryLine(const HealthCounts& counts)
{
    return QStringLiteral("ALL SERVERS: %1 OK  \u00b7  %2 WARN  \u00b7  %3 FAIL")
        .arg(counts.ok)
        .arg(counts.warn)
        .arg(counts.fail);
}

QString textReport(const ServerMonitor& monitor)
{
    QList<QStringList> rows;
    rows.append({QStringLiteral("STATUS"), QStringLiteral("NAME"), QStringLiteral("HOST"),
                 QStringLiteral("OK"), QStringLiteral("WARN"), QStringLiteral("FAIL"),
                 QStringLiteral("UPTIME"), QStringLiteral("ERROR")});
    for (const ServerProfile& profile : monitor.servers()) {
        const ServerResult result = monitor.results().value(profile.id);
        const std::optional<HealthReport>& report = result.report;
        const auto count = [&](qint64 HealthCounts::*field) {
            return report ? QString::number((*report).counts.*field) : QStringLiteral("-");
        };
        rows.append(
            {statusWord(profile, result), oneLine(profile.name), oneLine(profile.host),
             count(&HealthCounts::ok), count(&HealthCounts::warn), count(&HealthCounts::fail),
             report ? report->uptimeLabel().value_or(QStringLiteral("-")) : QStringLiteral("-"),
             oneLine(result.error.value_or(QString()))});
    }

    QList<qsizetype> widths(rows.first().size(), 0);
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());

    QString out;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            const bool numeric = i >= 3 && i <= 5;
            const QString cell =
                numeric ? row[i].rightJustified(widths[i]) : row[i].leftJustified(widths[i]);
            line += (i ? QStringLiteral("  ") : QString()) + cell;
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        out += line + QLatin1Char('\n');
    }
    out += summaryLine(monitor.aggregate()) + QLatin1Char('\n');
    return out;
}

QJsonObject jsonReport(const ServerMonitor& monitor)
{
    QJsonArray servers;
    for (const ServerProfile& profile : monitor.servers()) {
        const ServerResult result = monitor.results().value(profile.id);
        QJsonArray services;
        for (const DiscoveredService& service : monitor.discoveredServices(profile.id))
            services.append(QJsonObject{{QStringLiteral("name"), service.name},
                                        {QStringLiteral("state"), service.state},
                                        {QStringLiteral("detail"), service.detail}});
        servers.append(QJsonObject{
            {QStringLiteral("id"), uuidText(profile.id)},
            {QStringLiteral("name"), profile.name},
            {QStringLiteral("host"), profile.host},
            {QStringLiteral("user"), profile.user},
            {QStringLiteral("port"), profile.port},
            {QStringLiteral("keyFile"), profile.keyFile},
            {QStringLiteral("remoteCommand"), profile.remoteCommand},
            {QStringLiteral("enabled"), profile.enabled},
            {QStringLiteral("requiredServices"),
             QJsonArray::fromStringList(profile.requiredServices)},
            {QStringLiteral("discoverServices"), profile.discoverServices},
            {QStringLiteral("status"), rawText(result.status())},
            {QStringLiteral("error"), orNull(result.error)},
            {QStringLiteral("lastChecked"),
             result.lastChecked
                 ? QJsonValue(result.lastChecked->toUTC().toString(Qt::ISODateWithMs))
                 : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("report"), result.report
                                           ? QJsonValue(encodeHealthReport(*result.report))
                                           : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("services"), services},
        });
    }
    const HealthCounts aggregate = monitor.aggregate();
    const std::optional<QUuid> selected = monitor.selectedID();
    return QJsonObject{
        {QStringLiteral("status"), rawText(monitor.status())},
        {QStringLiteral("intervalMinutes"), monitor.intervalMinutes()},
        {QStringLiteral("notifications"), monitor.notifications()},
        {QStringLiteral("selectedID"),
         selected ? QJsonValue(uuidText(*selected)) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("aggregate"), QJsonObject{{QStringLiteral("ok"), aggregate.ok},
                                                  {QStringLiteral("warn"), aggregate.warn},
                                                  {QStringLiteral("fail"), aggregate.fail}}},
        {QStringLiteral("offlineCount"), monitor.offlineCount()},
        {QStringLiteral("servers"), servers},
    };
}

int exitCode(HealthStatus status)
{
    switch (status) {
    case HealthStatus::ok:
        return 0;
    case HealthStatus::warn:
        return 1;
    case HealthStatus::fail:
        return 2;
    }
    return 2;
}

} // namespace corvane::check
