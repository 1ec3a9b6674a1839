#pragma once

#include "RecordingNotifier.h"
#include "monitor/ServerMonitor.h"
#include "platform/MemorySettingsStore.h"

#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace corvane::test {

using StoredValue = std::optional<SettingsValue>;

// A loopback profile named by one letter, with an id derived from it, so that table rows can
// name profiles and lists as text ("ABC").
[[nodiscard]] ServerProfile lettered(QChar letter, bool enabled = true);
[[nodiscard]] QList<ServerProfile> letteredList(const QString& letters);
[[nodiscard]] QString lettersOf(const QList<ServerProfile>& profiles);
[[nodiscard]] QUuid idOf(QChar letter);

// A monitor over an in-memory store and a fake ssh, so that nothing leaves the machine. The fake
// prints a healthy report with 3 passing checks, or fails like an unreachable host once
// setFailing(true) is called.
class MonitorFixture
{
public:
    MonitorFixture();

    [[nodiscard]] std::unique_ptr<ServerMonitor> make(qint64 secondsPerMinute = 60) const;
    void seed(const char* key, const StoredValue& value) const;
    void seedProfiles(const QList<ServerProfile>& profiles) const;

    void setFailing(bool failing) const;
    // How many times the fake ssh was started so far.
    [[nodiscard]] int sshRuns() const;

    std::shared_ptr<MemorySettingsStore> store = std::make_shared<MemorySettingsStore>();
    std::shared_ptr<RecordingNotifier> notifier = std::make_shared<RecordingNotifier>();

private:
    QTemporaryDir m_dir;
    QString m_ssh;
};

// Waits, within a generous bound, until every enabled profile has a finished result and none is
// refreshing.
[[nodiscard]] bool settle(const ServerMonitor& monitor);

// The profiles the monitor last wrote to the store, decoded; none when nothing readable is there.
[[nodiscard]] std::optional<QList<ServerProfile>> storedProfiles(const SettingsStore& store);

} // namespace corvane::test
