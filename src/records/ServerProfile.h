#pragma once

#include "Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace corvane {

class SettingsStore;

struct ServerProfile
{
    QUuid id = QUuid::createUuid();
    QString name = QStringLiteral("New Server");
    QString host;
    QString user;
    QString port = QStringLiteral("22");
    QString keyFile;
    QString remoteCommand = QStringLiteral("/usr/local/bin/corvane-monitor-health-json");
    bool enabled = true;
    QStringList requiredServices;
    bool discoverServices = true;

    // The one profile used when no stored list can be read, built from the older
    // single-server keys.
    [[nodiscard]] static ServerProfile legacy(const SettingsStore& store);

    friend bool operator==(const ServerProfile&, const ServerProfile&) = default;
};

// The 36-character upper-case form used in the store and everywhere an id is shown as text.
[[nodiscard]] QString uuidText(const QUuid& id);
// Accepts only the canonical 8-4-4-4-12 form (either case). The nil UUID is a valid id.
[[nodiscard]] std::optional<QUuid> parseUuid(const QString& text);

// Compact JSON array of profiles, all ten keys each.
[[nodiscard]] QByteArray encodeServerProfiles(const QList<ServerProfile>& profiles);
// One unreadable element makes the whole list unreadable.
[[nodiscard]] Result<QList<ServerProfile>> decodeServerProfiles(const QByteArray& bytes);

} // namespace corvane
