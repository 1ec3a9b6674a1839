#pragma once

#include "SettingsStore.h"

#include <QList>
#include <QMap>

namespace corvane {

// A store that lives in memory only; it also records every write, in order.
class MemorySettingsStore : public SettingsStore
{
public:
    struct Write
    {
        QString key;
        std::optional<SettingsValue> value;
    };

    [[nodiscard]] std::optional<qint64> integer(const QString& key) const override;
    [[nodiscard]] std::optional<bool> boolean(const QString& key) const override;
    [[nodiscard]] std::optional<QString> text(const QString& key) const override;
    [[nodiscard]] std::optional<QByteArray> blob(const QString& key) const override;
    void set(const QString& key, std::optional<SettingsValue> value) override;

    [[nodiscard]] const QList<Write>& writes() const { return m_writes; }
    [[nodiscard]] bool contains(const QString& key) const { return m_values.contains(key); }
    void clearWrites() { m_writes.clear(); }

private:
    template <typename T> std::optional<T> read(const QString& key) const;
    QMap<QString, SettingsValue> m_values;
    QList<Write> m_writes;
};

} // namespace corvane
