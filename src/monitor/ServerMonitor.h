#pragma once

#include "../platform/Clock.h"
#include "../platform/Notifier.h"
#include "../platform/SettingsStore.h"
#include "../probe/SSHRunner.h"
#include "../records/HealthReport.h"
#include "../records/ServerProfile.h"
#include "ServerResult.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUuid>

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

namespace corvane {

// The collaborators the monitor talks to; the defaults are the real ones.
struct MonitorSeams
{
    std::shared_ptr<SettingsStore> store; // default: the user's settings file
    std::shared_ptr<Notifier> notifier;   // default: desktop notifications on the session bus
    std::shared_ptr<Clock> clock;         // default: the system's wall clock
    SSHLimits limits;                     // run limit, kill grace, output caps
    // Milliseconds per interval minute; tests and benchmarks shorten the refresh period with it.
    qint64 millisecondsPerMinute = 60000;
    // Start the first refresh once the event loop runs instead of inside the constructor, so
    // that a desktop app shows its window before a burst of ssh starts competes with it.
    bool deferStartupRefresh = false;
};

// The one engine object. All state is read and written on the main thread; every write of a
// published property emits its signal, changed or not.
class ServerMonitor : public QObject
{
    Q_OBJECT

public:
    explicit ServerMonitor(
        MonitorSeams seams = {},
        QString sshExecutable = QString::fromLatin1(SSHRunner::defaultExecutable),
        QObject* parent = nullptr);
    ~ServerMonitor() override;

    static constexpr auto profilesKey = "monitor.serverProfiles.v1";
    static constexpr auto selectedKey = "monitor.selectedServer.v1";
    static constexpr auto intervalKey = "monitor.intervalMinutes";
    static constexpr auto notificationsKey = "monitor.notifications";

    // Published state.
    [[nodiscard]] const QList<ServerProfile>& servers() const { return m_servers; }
    void setServers(QList<ServerProfile> servers);
    [[nodiscard]] const QHash<QUuid, ServerResult>& results() const { return m_results; }
    void setResults(QHash<QUuid, ServerResult> results);
    [[nodiscard]] std::optional<QUuid> selectedID() const { return m_selectedID; }
    void setSelectedID(std::optional<QUuid> id);
    [[nodiscard]] qint64 intervalMinutes() const { return m_intervalMinutes; }
    void setIntervalMinutes(qint64 minutes);
    [[nodiscard]] bool notifications() const { return m_notifications; }
    void setNotifications(bool on);

    // Refresh cycle.
    QCoro::Task<> refresh(QUuid id);
    QCoro::Task<> refreshAll();
    QCoro::Task<> refreshSelected();
    void configureTimer();
    // Period of the armed refresh timer in milliseconds; none when no timer is armed.
    [[nodiscard]] std::optional<qint64> timerPeriodMs() const;

    // Policy and read-only views, computed on every read.
    [[nodiscard]] static HealthReport applyServicePolicy(const HealthReport& report,
                                                         const ServerProfile& profile);
    [[nodiscard]] QList<DiscoveredService> discoveredServices(const QUuid& id) const;
    [[nodiscard]] QList<DiscoveredService> selectedServices() const;
    [[nodiscard]] HealthStatus status() const;
    [[nodiscard]] HealthCounts aggregate() const;
    [[nodiscard]] qint64 offlineCount() const;
    [[nodiscard]] std::optional<ServerProfile> selected() const;
    [[nodiscard]] std::optional<ServerResult> selectedResult() const;
    [[nodiscard]] std::optional<HealthReport> report() const;

    // Profile management.
    void select(const QUuid& id);
    void save(const ServerProfile& profile);
    void remove(const QUuid& id);
    void move(const QList<qsizetype>& from, qsizetype to);

    [[nodiscard]] SettingsStore& store() const { return *m_store; }
    [[nodiscard]] const SSHRunner& runner() const { return m_runner; }

Q_SIGNALS:
    void serversChanged();
    void resultsChanged();
    void selectedIDChanged();
    void intervalMinutesChanged();
    void notificationsChanged();

private:
    void storeResult(const QUuid& id, const ServerResult& result);
    void persist();
    void notify(const QString& title, const QString& message);

    std::shared_ptr<SettingsStore> m_store;
    std::shared_ptr<Notifier> m_notifier;
    std::shared_ptr<Clock> m_clock;
    SSHRunner m_runner;
    qint64 m_millisecondsPerMinute;

    QList<ServerProfile> m_servers;
    QHash<QUuid, ServerResult> m_results;
    std::optional<QUuid> m_selectedID;
    qint64 m_intervalMinutes = 5;
    bool m_notifications = true;
    std::unique_ptr<QTimer> m_timer;
    QSet<QUuid> m_visited;
};

// Waits for every task; they already run side by side, since each one starts when created.
QCoro::Task<> whenAll(std::vector<QCoro::Task<>> tasks);

} // namespace corvane
