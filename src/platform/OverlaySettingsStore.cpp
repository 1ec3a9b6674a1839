#include "OverlaySettingsStore.h"

namespace corvane {

OverlaySettingsStore::OverlaySettingsStore(std::shared_ptr<const SettingsStore> base)
    : m_base(std::move(base))
{
}

template <typename T>
std::optional<T>
OverlaySettingsStore::read(const QString& key,
                           std::optional<T> (SettingsStore::*fromBase)(const QString&) const) const
{
    if (const auto it = m_overlay.constFind(key); it != m_overlay.constEnd()) {
        if (!*it)
            return std::nullopt;
        if (const T* value = std::get_if<T>(&**it))
            return *value;
        return std::nullopt;
    }
    return (m_base.get()->*fromBase)(key);
}

std::optional<qint64> OverlaySettingsStore::integer(const QString& key) const
{
    return read<qint64>(key, &SettingsStore::integer);
}

std::optional<bool> OverlaySettingsStore::boolean(const QString& key) const
{
    return read<bool>(key, &SettingsStore::boolean);
}

std::optional<QString> OverlaySettingsStore::text(const QString& key) const
{
    return read<QString>(key, &SettingsStore::text);
}

std::optional<QByteArray> OverlaySettingsStore::blob(const QString& key) const
{
    return read<QByteArray>(key, &SettingsStore::blob);
}

void OverlaySettingsStore::set(const QString& key, std::optional<SettingsValue> value)
{
    m_overlay.insert(key, std::move(value));
}

} // namespace corvane
