#pragma once

#include "FixedClock.h"
#include "RecordingNotifier.h"

#include "monitor/ServerMonitor.h"
#include "platform/MemorySettingsStore.h"

#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace corvane::test {

// A temp dir with a fake ssh that runs each server's remote command locally. A server named
// "A" has the remote command DIR/A.sh, so a test scripts what that server answers by rewriting
// the file, also while a monitor is running. In script bodies DIR stands for the temp dir.
class FakeFleet
{
public:
    struct Options
    {
        std::optional<qint64> intervalMinutes;
        bool notifications = true;
        qint64 secondsPerMinute = 60;
        bool deferStartupRefresh = false;
        std::optional<QString> sshExecutable; // default: the fake
    };

    FakeFleet();

    [[nodiscard]] bool isValid() const { return m_dir.isValid(); }
    [[nodiscard]] QString path(const QString& name) const { return m_dir.filePath(name); }
    [[nodiscard]] QString fakeSsh() const { return path(QStringLiteral("ssh")); }

    // A loopback profile whose remote command is the script named after it.
    [[nodiscard]] ServerProfile server(const QString& name, bool enabled = true) const;
    void script(const QString& name, const QString& body) const;
    // The server prints this report.
    void answer(const QString& name, const QByteArray& report) const;

    // Shell lines that wait for a marker file, failing with the complaint on stderr when it
    // does not appear in time.
    [[nodiscard]] static QString waitFor(const QString& marker, const QString& complaint,
                                         int seconds = 30);
    void touch(const QString& marker) const;
    [[nodiscard]] bool exists(const QString& marker) const;

    // How often the fake ssh ran this server's command.
    [[nodiscard]] int runs(const QString& name) const;
    // Argument vector of the fake's latest run, after the program name.
    [[nodiscard]] QStringList lastArguments() const;

    // A monitor over a memory store seeded with these profiles (and nothing that could point the
    // real ssh anywhere).
    std::unique_ptr<ServerMonitor> monitor(const QList<ServerProfile>& servers,
                                           const Options& options);
    std::unique_ptr<ServerMonitor> monitor(const QList<ServerProfile>& servers)
    {
        return monitor(servers, Options{});
    }

    RecordingNotifier& notifier() { return *m_notifier; }
    FixedClock& clock() { return *m_clock; }
    MemorySettingsStore& store() { return *m_store; }

private:
    [[nodiscard]] QString expand(const QString& body) const;

    QTemporaryDir m_dir;
    std::shared_ptr<RecordingNotifier> m_notifier = std::make_shared<RecordingNotifier>();
    std::shared_ptr<FixedClock> m_clock = std::make_shared<FixedClock>();
    std::shared_ptr<MemorySettingsStore> m_store = std::make_shared<MemorySettingsStore>();
};

} // namespace corvane::test
