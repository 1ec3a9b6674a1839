#include "MemorySettingsStore.h"

namespace corvane {

template <typename T> std::optional<T> MemorySettingsStore::read(const QString& key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd())
        return std::nullopt;
    if (const T* value = std::get_if<T>(&*it))
        return *value;
    return std::nullopt;
}

std::optional<qint64> MemorySettingsStore::integer(const QString& key) const
{
    return read<qint64>(key);
}
std::optional<bool> MemorySettingsStore::boolean(const QString& key) const
{
    return read<bool>(key);
}
std::optional<QString> MemorySettingsStore::text(const QString& key) const
{
    return read<QString>(key);
}
std::optional<QByteArray> MemorySettingsStore::blob(const QString& key) const
{
    return read<QByteArray>(key);
}

void MemorySettingsStore::set(const QString& key, std::optional<SettingsValue> value)
{
    m_writes.append(Write{key, value});
    if (value)
        m_values.insert(key, *value);
    else
        m_values.remove(key);
}

} // namespace corvane
