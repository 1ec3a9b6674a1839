#pragma once

#include "SettingsStore.h"

#include <QHash>

#include <memory>

namespace corvane {

// Reads through to another store but keeps every write in memory, so a tool can run the
// monitor against the user's settings without ever changing them.
class OverlaySettingsStore : public SettingsStore
{
public:
    explicit OverlaySettingsStore(std::shared_ptr<const SettingsStore> base);

    [[nodiscard]] std::optional<qint64> integer(const QString& key) const override;
    [[nodiscard]] std::optional<bool> boolean(const QString& key) const override;
    [[nodiscard]] std::optional<QString> text(const QString& key) const override;
    [[nodiscard]] std::optional<QByteArray> blob(const QString& key) const override;
    void set(const QString& key, std::optional<SettingsValue> value) override;

private:
    template <typename T>
    std::optional<T> read(const QString& key,
                          std::optional<T> (SettingsStore::*fromBase)(const QString&) const) const;

    std::shared_ptr<const SettingsStore> m_base;
    // A key present here shadows the base; an empty value means removed.
    QHash<QString, std::optional<SettingsValue>> m_overlay;
};

} // namespace corvane
