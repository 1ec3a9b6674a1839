#pragma once

#include "SettingsStore.h"

#include <QJsonObject>
#include <QString>

namespace corvane {

// The settings file: one JSON object mapping each key to its value. Integers, booleans and
// texts are plain JSON values; a blob is {"base64": "..."}. Every write re-reads the file under
// a lock, changes the one key and atomically replaces the file, so two processes never leave a
// mix and neither loses the other's keys.
class JsonFileSettingsStore : public SettingsStore
{
public:
    explicit JsonFileSettingsStore(QString filePath);

    // $XDG_CONFIG_HOME/corvane-monitor/settings.json, ~/.config when the variable is unset.
    [[nodiscard]] static QString defaultFilePath();

    [[nodiscard]] std::optional<qint64> integer(const QString& key) const override;
    [[nodiscard]] std::optional<bool> boolean(const QString& key) const override;
    [[nodiscard]] std::optional<QString> text(const QString& key) const override;
    [[nodiscard]] std::optional<QByteArray> blob(const QString& key) const override;
    void set(const QString& key, std::optional<SettingsValue> value) override;

    [[nodiscard]] const QString& filePath() const { return m_filePath; }
    // Empty after a write that reached the disk; otherwise why the last write did not.
    [[nodiscard]] const QString& lastWriteError() const { return m_lastWriteError; }

private:
    enum class FileState
    {
        missing,
        readable,
        unreadable
    };
    [[nodiscard]] FileState readFile(QJsonObject& into) const;
    bool moveAside() const;
    bool writeFile(const QJsonObject& values);

    QString m_filePath;
    QJsonObject m_values;
    QString m_lastWriteError;
};

} // namespace corvane
