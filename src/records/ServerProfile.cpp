#include "ServerProfile.h"

#include "../platform/SettingsStore.h"
#include "JsonWalk.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace corvane {

namespace {

// Not ours to reach: the private-range address of the server the old single-server layout
// watched.
constexpr auto kLegacyHost = "192.168.1.10";

using json::Path;

ServerProfile decodeProfile(const QJsonObject& o, const Path& at)
{
    const auto text = [&](const char* key) {
        const QString k = QString::fromLatin1(key);
        return json::asString(json::requiredValue(o, k, at), at.key(k));
    };
    const Path idPath = at.key(QStringLiteral("id"));
    const QString idText = json::asString(json::requiredValue(o, QStringLiteral("id"), at), idPath);
    const std::optional<QUuid> id = parseUuid(idText);
    if (!id)
        throw json::Failure{
            QStringLiteral("%1 is %2, not a UUID").arg(idPath.text(), json::quoted(idText))};

    ServerProfile p;
    p.id = *id;
    p.name = text("name");
    p.host = text("host");
    p.user = text("user");
    p.port = text("port");
    p.keyFile = text("keyFile");
    p.remoteCommand = text("remoteCommand");
    p.enabled = json::asBool(json::requiredValue(o, QStringLiteral("enabled"), at),
                             at.key(QStringLiteral("enabled")));
    p.requiredServices.clear();
    if (auto v = json::optionalValue(o, QStringLiteral("requiredServices")))
        p.requiredServices = json::asStringList(*v, at.key(QStringLiteral("requiredServices")));
    p.discoverServices = true;
    if (auto v = json::optionalValue(o, QStringLiteral("discoverServices")))
        p.discoverServices = json::asBool(*v, at.key(QStringLiteral("discoverServices")));
    return p;
}

} // namespace

QString uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parseUuid(const QString& text)
{
    static const QRegularExpression canonical(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!canonical.match(text).hasMatch())
        return std::nullopt;
    return QUuid::fromString(text);
}

ServerProfile ServerProfile::legacy(const SettingsStore& store)
{
    ServerProfile p;
    p.name = QStringLiteral("Corvane");
    p.host = store.text(QStringLiteral("server.host")).value_or(QString::fromLatin1(kLegacyHost));
    p.user = store.text(QStringLiteral("server.user")).value_or(QStringLiteral("opsuser"));
    p.port = store.text(QStringLiteral("server.port")).value_or(QStringLiteral("22"));
    p.keyFile = store.text(QStringLiteral("server.keyFile")).value_or(QString());
    p.remoteCommand = QStringLiteral("sudo -n /usr/local/bin/corvane-health-json");
    return p;
}

QByteArray encodeServerProfiles(const QList<ServerProfile>& profiles)
{
    QJsonArray array;
    for (const ServerProfile& p : profiles)
        array.append(QJsonObject{
            {QStringLiteral("id"), uuidText(p.id)},
            {QStringLiteral("name"), p.name},
            {QStringLiteral("host"), p.host},
            {QStringLiteral("user"), p.user},
            {QStringLiteral("port"), p.port},
            {QStringLiteral("keyFile"), p.keyFile},
            {QStringLiteral("remoteCommand"), p.remoteCommand},
            {QStringLiteral("enabled"), p.enabled},
            {QStringLiteral("requiredServices"), QJsonArray::fromStringList(p.requiredServices)},
            {QStringLiteral("discoverServices"), p.discoverServices},
        });
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

Result<QList<ServerProfile>> decodeServerProfiles(const QByteArray& bytes)
{
    try {
        const QJsonArray array = json::parseArrayDocument(bytes);
        QList<ServerProfile> profiles;
        profiles.reserve(array.size());
        const Path top;
        for (qsizetype i = 0; i < array.size(); ++i)
            profiles.append(decodeProfile(json::asObject(array.at(i), top.index(i)), top.index(i)));
        return profiles;
    } catch (const json::Failure& failure) {
        return Result<QList<ServerProfile>>::failure(
            QStringLiteral("Invalid server profile list: ") + failure.what);
    }
}

} // namespace corvane
