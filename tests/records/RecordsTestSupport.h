#pragma once

#include "records/HealthReport.h"
#include "records/HealthReportJson.h"
#include "records/ServerProfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QMetaType>
#include <QStringList>
#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(corvane::HealthReport)
Q_DECLARE_METATYPE(corvane::HealthStatus)
Q_DECLARE_METATYPE(corvane::ColorRole)
Q_DECLARE_METATYPE(corvane::ServerProfile)
Q_DECLARE_METATYPE(QList<corvane::ServerProfile>)

namespace corvane {

// Failure messages show the record as its document form, which is what a reader can compare.
inline char* toString(const HealthReport& report)
{
    return QTest::toString(QString::fromUtf8(
        QJsonDocument(encodeHealthReport(report)).toJson(QJsonDocument::Compact)));
}

inline char* toString(const ServerProfile& profile)
{
    return QTest::toString(QString::fromUtf8(encodeServerProfiles({profile})));
}

inline char* toString(const QList<ServerProfile>& profiles)
{
    return QTest::toString(QString::fromUtf8(encodeServerProfiles(profiles)));
}

} // namespace corvane

namespace corvane::test {

// Replaces (or, with no value, removes) what sits at a dotted path such as "checks.41.status";
// numeric steps index arrays.
inline QJsonValue editedValue(const QJsonValue& node, QStringList path,
                              const std::optional<QJsonValue>& value)
{
    const QString step = path.takeFirst();
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        const qsizetype i = step.toLongLong();
        if (!path.isEmpty())
            array[i] = editedValue(array.at(i), path, value);
        else if (value)
            array[i] = *value;
        else
            array.removeAt(i);
        return array;
    }
    QJsonObject object = node.toObject();
    if (!path.isEmpty())
        object[step] = editedValue(object.value(step), path, value);
    else if (value)
        object[step] = *value;
    else
        object.remove(step);
    return object;
}

inline QByteArray compact(const QJsonValue& value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                           : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
}

inline QByteArray with(const QJsonValue& base, const QString& path, const QJsonValue& value)
{
    return compact(editedValue(base, path.split(QLatin1Char('.')), value));
}

inline QByteArray without(const QJsonValue& base, const QString& path)
{
    return compact(editedValue(base, path.split(QLatin1Char('.')), std::nullopt));
}

// The error texts' form of a dotted path: "checks.41.status" is "checks"[41]."status".
inline QString pathText(const QString& dotted)
{
    QString out;
    for (const QString& step : dotted.split(QLatin1Char('.'))) {
        bool isIndex = false;
        step.toLongLong(&isIndex);
        if (isIndex) {
            out += QLatin1Char('[') + step + QLatin1Char(']');
        } else {
            if (!out.isEmpty())
                out += QLatin1Char('.');
            out += QLatin1Char('"') + step + QLatin1Char('"');
        }
    }
    return out;
}

} // namespace corvane::test
