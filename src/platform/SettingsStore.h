#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <variant>

namespace corvane {

using SettingsValue = std::variant<qint64, bool, QString, QByteArray>;

// The per-user key-value store. A read of a key that holds a value of another kind is absent.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    [[nodiscard]] virtual std::optional<qint64> integer(const QString& key) const = 0;
    [[nodiscard]] virtual std::optional<bool> boolean(const QString& key) const = 0;
    [[nodiscard]] virtual std::optional<QString> text(const QString& key) const = 0;
    [[nodiscard]] virtual std::optional<QByteArray> blob(const QString& key) const = 0;
    virtual void set(const QString& key, std::optional<SettingsValue> value) = 0; // nullopt removes
};

} // namespace corvane
