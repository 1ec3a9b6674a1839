#include "HealthReportJson.h"

#include "JsonWalk.h"

#include <QJsonArray>

namespace corvane {

namespace {

using json::Path;

HealthStatus statusAt(const QJsonObject& object, const QString& key, const Path& at)
{
    const Path where = at.key(key);
    const QString raw = json::asString(json::requiredValue(object, key, at), where);
    if (std::optional<HealthStatus> status = healthStatusFromRaw(raw))
        return *status;
    throw json::Failure{QStringLiteral("%1 is %2 (expected \"ok\", \"warn\" or \"fail\")")
                            .arg(where.text(), json::quoted(raw))};
}

QString stringAt(const QJsonObject& object, const QString& key, const Path& at)
{
    return json::asString(json::requiredValue(object, key, at), at.key(key));
}

std::optional<QString> optionalStringAt(const QJsonObject& object, const QString& key,
                                        const Path& at)
{
    if (std::optional<QJsonValue> value = json::optionalValue(object, key))
        return json::asString(*value, at.key(key));
    return std::nullopt;
}

template <typename Item, typename Decode>
QList<Item> listAt(const QJsonObject& object, const QString& key, const Path& at, Decode decode)
{
    const Path where = at.key(key);
    const QJsonArray array = json::asArray(json::requiredValue(object, key, at), where);
    QList<Item> items;
    items.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const Path itemPath = where.index(i);
        items.append(decode(json::asObject(array.at(i), itemPath), itemPath));
    }
    return items;
}

HealthGroup decodeGroup(const QJsonObject& o, const Path& at)
{
    return HealthGroup{stringAt(o, QStringLiteral("name"), at),
                       statusAt(o, QStringLiteral("status"), at),
                       json::asStringList(json::requiredValue(o, QStringLiteral("missing"), at),
                                          at.key(QStringLiteral("missing")))};
}

HealthCheck decodeCheck(const QJsonObject& o, const Path& at)
{
    return HealthCheck{
        stringAt(o, QStringLiteral("name"), at), statusAt(o, QStringLiteral("status"), at),
        stringAt(o, QStringLiteral("detail"), at), stringAt(o, QStringLiteral("section"), at)};
}

DiscoveredService decodeService(const QJsonObject& o, const Path& at)
{
    return DiscoveredService{stringAt(o, QStringLiteral("name"), at),
                             stringAt(o, QStringLiteral("state"), at),
                             stringAt(o, QStringLiteral("detail"), at)};
}

HealthReport decode(const QJsonObject& root)
{
    const Path top;
    HealthReport report;
    report.schema = json::asInteger(json::requiredValue(root, QStringLiteral("schema"), top),
                                    top.key(QStringLiteral("schema")));
    report.host = optionalStringAt(root, QStringLiteral("host"), top);
    report.generatedAt = optionalStringAt(root, QStringLiteral("generatedAt"), top);
    if (std::optional<QJsonValue> uptime =
            json::optionalValue(root, QStringLiteral("uptimeSeconds")))
        report.uptimeSeconds = json::asInteger(*uptime, top.key(QStringLiteral("uptimeSeconds")));
    report.overall = statusAt(root, QStringLiteral("overall"), top);

    const Path countsPath = top.key(QStringLiteral("counts"));
    const QJsonObject counts =
        json::asObject(json::requiredValue(root, QStringLiteral("counts"), top), countsPath);
    const auto count = [&](const QString& key) {
        return json::asInteger(json::requiredValue(counts, key, countsPath), countsPath.key(key));
    };
    report.counts = HealthCounts{count(QStringLiteral("ok")), count(QStringLiteral("warn")),
                                 count(QStringLiteral("fail"))};

    report.groups = listAt<HealthGroup>(root, QStringLiteral("groups"), top, decodeGroup);
    report.checks = listAt<HealthCheck>(root, QStringLiteral("checks"), top, decodeCheck);
    report.diagnostics = optionalStringAt(root, QStringLiteral("diagnostics"), top);
    if (json::optionalValue(root, QStringLiteral("services")))
        report.services =
            listAt<DiscoveredService>(root, QStringLiteral("services"), top, decodeService);
    return report;
}

} // namespace

Result<HealthReport> decodeHealthReport(const QByteArray& bytes)
{
    try {
        return decode(json::parseObjectDocument(bytes));
    } catch (const json::Failure& failure) {
        return Result<HealthReport>::failure(QStringLiteral("Invalid health report: ") +
                                             failure.what);
    }
}

QJsonObject encodeHealthReport(const HealthReport& report)
{
    QJsonObject root;
    root.insert(QStringLiteral("schema"), report.schema);
    if (report.host)
        root.insert(QStringLiteral("host"), *report.host);
    if (report.generatedAt)
        root.insert(QStringLiteral("generatedAt"), *report.generatedAt);
    if (report.uptimeSeconds)
        root.insert(QStringLiteral("uptimeSeconds"), *report.uptimeSeconds);
    root.insert(QStringLiteral("overall"), rawText(report.overall));
    root.insert(QStringLiteral("counts"),
                QJsonObject{{QStringLiteral("ok"), report.counts.ok},
                            {QStringLiteral("warn"), report.counts.warn},
                            {QStringLiteral("fail"), report.counts.fail}});
    QJsonArray groups;
    for (const HealthGroup& g : report.groups)
        groups.append(
            QJsonObject{{QStringLiteral("name"), g.name},
                        {QStringLiteral("status"), rawText(g.status)},
                        {QStringLiteral("missing"), QJsonArray::fromStringList(g.missing)}});
    root.insert(QStringLiteral("groups"), groups);
    QJsonArray checks;
    for (const HealthCheck& c : report.checks)
        checks.append(QJsonObject{{QStringLiteral("name"), c.name},
                                  {QStringLiteral("status"), rawText(c.status)},
                                  {QStringLiteral("detail"), c.detail},
                                  {QStringLiteral("section"), c.section}});
    root.insert(QStringLiteral("checks"), checks);
    if (report.diagnostics)
        root.insert(QStringLiteral("diagnostics"), *report.diagnostics);
    if (report.services) {
        QJsonArray services;
        for (const DiscoveredService& s : *report.services)
            services.append(QJsonObject{{QStringLiteral("name"), s.name},
                                        {QStringLiteral("state"), s.state},
                                        {QStringLiteral("detail"), s.detail}});
        root.insert(QStringLiteral("services"), services);
    }
    return root;
}

} // namespace corvane
