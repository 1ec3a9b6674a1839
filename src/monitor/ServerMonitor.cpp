#include "ServerMonitor.h"

#include "../platform/DBusNotifier.h"
#include "../platform/JsonFileSettingsStore.h"
#include "../records/HealthReportJson.h"

#include <QCollator>
#include <QElapsedTimer>
#include <QPointer>

#include <QCoro/QCoroTimer>

#include <algorithm>

namespace corvane {

namespace {

const QString kRequiredSection = QStringLiteral("Required services");

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

// First entry wins when an agent lists a name twice.
QHash<QString, DiscoveredService>
servicesByName(const std::optional<QList<DiscoveredService>>& list)
{
    QHash<QString, DiscoveredService> byName;
    if (list)
        for (const DiscoveredService& service : *list)
            if (!byName.contains(service.name))
                byName.insert(service.name, service);
    return byName;
}

} // namespace

QCoro::Task<> whenAll(std::vector<QCoro::Task<>> tasks)
{
    for (QCoro::Task<>& task : tasks)
        co_await task;
}

ServerMonitor::ServerMonitor(MonitorSeams seams, QString sshExecutable, QObject* parent)
    : QObject(parent), m_store(seams.store ? std::move(seams.store)
                                           : std::make_shared<JsonFileSettingsStore>(
                                                 JsonFileSettingsStore::defaultFilePath())),
      m_notifier(seams.notifier ? std::move(seams.notifier) : std::make_shared<DBusNotifier>()),
      m_clock(seams.clock ? std::move(seams.clock) : std::make_shared<SystemClock>()),
      m_runner(std::move(sshExecutable), seams.limits),
      m_millisecondsPerMinute(std::max<qint64>(1, seams.millisecondsPerMinute))
{
    m_intervalMinutes = std::max<qint64>(1, m_store->integer(key(intervalKey)).value_or(5));
    m_notifications = m_store->boolean(key(notificationsKey)).value_or(true);

    std::optional<Result<QList<ServerProfile>>> decoded;
    if (std::optional<QByteArray> blob = m_store->blob(key(profilesKey)))
        decoded = decodeServerProfiles(*blob);
    if (decoded && decoded->ok())
        m_servers = decoded->value();
    else
        m_servers = {ServerProfile::legacy(*m_store)};

    if (std::optional<QString> stored = m_store->text(key(selectedKey))) {
        const std::optional<QUuid> id = parseUuid(*stored);
        if (id && std::any_of(m_servers.cbegin(), m_servers.cend(),
                              [&](const ServerProfile& p) { return p.id == *id; }))
            m_selectedID = *id;
    }
    if (!m_selectedID && !m_servers.isEmpty())
        m_selectedID = m_servers.first().id;

    configureTimer();
    if (seams.deferStartupRefresh)
        QTimer::singleShot(0, this, [this] { refreshAll(); });
    else
        refreshAll();
}

ServerMonitor::~ServerMonitor() = default;

void ServerMonitor::setServers(QList<ServerProfile> servers)
{
    m_servers = std::move(servers);
    Q_EMIT serversChanged();
}

void ServerMonitor::setResults(QHash<QUuid, ServerResult> results)
{
    m_results = std::move(results);
    Q_EMIT resultsChanged();
}

void ServerMonitor::setSelectedID(std::optional<QUuid> id)
{
    m_selectedID = id;
    Q_EMIT selectedIDChanged();
}

void ServerMonitor::setIntervalMinutes(qint64 minutes)
{
    m_intervalMinutes = minutes;
    Q_EMIT intervalMinutesChanged();
    m_store->set(key(intervalKey), SettingsValue(m_intervalMinutes));
    configureTimer();
}

void ServerMonitor::setNotifications(bool on)
{
    m_notifications = on;
    Q_EMIT notificationsChanged();
    m_store->set(key(notificationsKey), SettingsValue(m_notifications));
}

void ServerMonitor::storeResult(const QUuid& id, const ServerResult& result)
{
    m_results.insert(id, result);
    Q_EMIT resultsChanged();
}

QCoro::Task<> ServerMonitor::refresh(QUuid id)
{
    const auto found = std::find_if(m_servers.cbegin(), m_servers.cend(),
                                    [&](const ServerProfile& p) { return p.id == id; });
    if (found == m_servers.cend())
        co_return;
    const ServerProfile profile = *found;
    if (!profile.enabled)
        co_return;
    if (const auto it = m_results.constFind(id); it != m_results.constEnd() && it->refreshing)
        co_return;

    ServerResult result = m_results.value(id);
    const HealthStatus previous = result.status();
    result.refreshing = true;
    storeResult(id, result);

    QPointer<ServerMonitor> self(this);
    const SSHOutcome outcome = co_await m_runner.run(profile.host, profile.user, profile.port,
                                                     profile.keyFile, profile.remoteCommand);
    if (!self)
        co_return;

    std::optional<QString> failure;
    if (const QByteArray* output = std::get_if<QByteArray>(&outcome)) {
        Result<HealthReport> decoded = decodeHealthReport(*output);
        if (!decoded) {
            failure = decoded.error();
        } else {
            const HealthReport report = applyServicePolicy(decoded.value(), profile);
            if (report.schema != 1) {
                failure = SSHError::invalidResponse().errorDescription();
            } else {
                result.report = report;
                result.error.reset();
                if (m_notifications && m_visited.contains(id) && previous == HealthStatus::ok &&
                    report.overall != HealthStatus::ok)
                    notify(profile.name + QStringLiteral(": ") +
                               (report.overall == HealthStatus::fail ? QStringLiteral("Critical")
                                                                     : QStringLiteral("Warning")),
                           QStringLiteral("%1 failures, %2 warnings")
                               .arg(report.counts.fail)
                               .arg(report.counts.warn));
            }
        }
    } else {
        failure = failureMessage(outcome);
    }
    if (failure) {
        result.error = *failure;
        if (m_notifications && m_visited.contains(id) && previous != HealthStatus::fail)
            notify(profile.name + QStringLiteral(" unreachable"), *failure);
    }
    result.lastChecked = m_clock->now();
    result.refreshing = false;
    storeResult(id, result);
    m_visited.insert(id);
}

QCoro::Task<> ServerMonitor::refreshAll()
{
    const QList<ServerProfile> servers = m_servers;
    std::vector<QCoro::Task<>> runs;
    // Starting a process blocks for a millisecond or two; with hundreds of servers, let the
    // event loop breathe between bursts of starts instead of freezing for half a second.
    constexpr std::size_t startAtOnce = 8;
    constexpr qint64 burstMs = 4;
    QPointer<ServerMonitor> self(this);
    QElapsedTimer burst;
    burst.start();
    for (const ServerProfile& profile : servers) {
        if (!profile.enabled)
            continue;
        if (runs.size() >= startAtOnce && burst.elapsed() >= burstMs) {
            co_await QCoro::sleepFor(std::chrono::milliseconds(0));
            if (!self)
                break;
            burst.restart();
        }
        runs.push_back(refresh(profile.id));
    }
    co_await whenAll(std::move(runs));
}

QCoro::Task<> ServerMonitor::refreshSelected()
{
    if (!m_selectedID)
        co_return;
    co_await refresh(*m_selectedID);
}

void ServerMonitor::configureTimer()
{
    m_timer.reset();
    const qint64 minutes = std::max<qint64>(1, m_intervalMinutes);
    // QTimer counts in int milliseconds; larger periods are clamped to the longest it can arm.
    constexpr qint64 kLongest = std::numeric_limits<int>::max();
    const qint64 periodMs =
        minutes > kLongest / m_millisecondsPerMinute ? kLongest : minutes * m_millisecondsPerMinute;
    auto timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::CoarseTimer);
    timer->setInterval(static_cast<int>(periodMs));
    QObject::connect(timer.get(), &QTimer::timeout, this, [self = QPointer<ServerMonitor>(this)] {
        if (self)
            self->refreshAll();
    });
    timer->start();
    m_timer = std::move(timer);
}

std::optional<qint64> ServerMonitor::timerPeriodMs() const
{
    if (!m_timer || !m_timer->isActive())
        return std::nullopt;
    return m_timer->interval();
}

HealthReport ServerMonitor::applyServicePolicy(const HealthReport& report,
                                               const ServerProfile& profile)
{
    const QHash<QString, DiscoveredService> byName = servicesByName(report.services);
    // Only a check whose section starts like ours can have the id of one added here
    // ("Required services/Required: x"); skipping the rest keeps big reports cheap.
    QSet<QString> present;
    for (const HealthCheck& check : report.checks)
        if (check.section.startsWith(kRequiredSection))
            present.insert(check.id());

    QList<HealthCheck> added;
    QSet<QString> seen;
    for (const QString& name : profile.requiredServices) {
        if (seen.contains(name))
            continue;
        seen.insert(name);
        QString detail;
        if (const auto it = byName.constFind(name); it != byName.constEnd()) {
            if (it->state == QLatin1String("running"))
                continue;
            detail = it->title();
        } else {
            detail = QStringLiteral("Not reported by monitoring agent");
        }
        HealthCheck candidate{QStringLiteral("Required: ") + name, HealthStatus::fail, detail,
                              kRequiredSection};
        if (present.contains(candidate.id()))
            continue;
        added.append(candidate);
    }
    if (added.isEmpty())
        return report;

    HealthReport out = report;
    QStringList missing;
    for (const HealthCheck& check : added) {
        out.checks.append(check);
        missing.append(check.name);
    }
    out.groups.append(HealthGroup{kRequiredSection, HealthStatus::fail, missing});
    out.counts.fail += added.size();
    out.overall = HealthStatus::fail;
    return out;
}

QList<DiscoveredService> ServerMonitor::discoveredServices(const QUuid& id) const
{
    const auto found = std::find_if(m_servers.cbegin(), m_servers.cend(),
                                    [&](const ServerProfile& p) { return p.id == id; });
    if (found == m_servers.cend())
        return {};
    std::optional<QList<DiscoveredService>> reported;
    if (const auto it = m_results.constFind(id); it != m_results.constEnd() && it->report)
        reported = it->report->services;

    QList<DiscoveredService> services;
    QSet<QString> names;
    if (reported)
        for (const DiscoveredService& service : *reported)
            if (!names.contains(service.name)) {
                names.insert(service.name);
                services.append(service);
            }
    for (const QString& name : found->requiredServices)
        if (!names.contains(name)) {
            names.insert(name);
            services.append(DiscoveredService{name, QStringLiteral("not_installed"),
                                              QStringLiteral("Not reported by agent")});
        }

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(services.begin(), services.end(),
                     [&](const DiscoveredService& a, const DiscoveredService& b) {
                         return collator.compare(a.name, b.name) < 0;
                     });
    return services;
}

QList<DiscoveredService> ServerMonitor::selectedServices() const
{
    const std::optional<ServerProfile> profile = selected();
    if (!profile)
        return {};
    QList<DiscoveredService> shown;
    for (const DiscoveredService& service : discoveredServices(profile->id))
        if (profile->requiredServices.contains(service.name) ||
            (profile->discoverServices && service.state != QLatin1String("not_installed")))
            shown.append(service);
    return shown;
}

HealthStatus ServerMonitor::status() const
{
    bool anyEnabled = false;
    HealthStatus worst = HealthStatus::ok;
    for (const ServerProfile& profile : m_servers) {
        if (!profile.enabled)
            continue;
        anyEnabled = true;
        worst = worse(worst, m_results.value(profile.id).status());
    }
    return anyEnabled ? worst : HealthStatus::warn;
}

HealthCounts ServerMonitor::aggregate() const
{
    HealthCounts sum;
    for (const ServerProfile& profile : m_servers) {
        if (!profile.enabled)
            continue;
        const auto it = m_results.constFind(profile.id);
        if (it == m_results.constEnd())
            continue;
        if (it->report) {
            sum.ok += it->report->counts.ok;
            sum.warn += it->report->counts.warn;
            sum.fail += it->report->counts.fail;
        } else if (it->error) {
            sum.fail += 1;
        }
    }
    return sum;
}

qint64 ServerMonitor::offlineCount() const
{
    qint64 count = 0;
    for (const ServerProfile& profile : m_servers) {
        const auto it = m_results.constFind(profile.id);
        if (profile.enabled && it != m_results.constEnd() && it->error)
            ++count;
    }
    return count;
}

std::optional<ServerProfile> ServerMonitor::selected() const
{
    if (!m_selectedID)
        return std::nullopt;
    for (const ServerProfile& profile : m_servers)
        if (profile.id == *m_selectedID)
            return profile;
    return std::nullopt;
}

std::optional<ServerResult> ServerMonitor::selectedResult() const
{
    if (!m_selectedID)
        return std::nullopt;
    const auto it = m_results.constFind(*m_selectedID);
    if (it == m_results.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<HealthReport> ServerMonitor::report() const
{
    const std::optional<ServerResult> result = selectedResult();
    if (!result)
        return std::nullopt;
    return result->report;
}

void ServerMonitor::select(const QUuid& id)
{
    if (std::none_of(m_servers.cbegin(), m_servers.cend(),
                     [&](const ServerProfile& p) { return p.id == id; }))
        return;
    setSelectedID(id);
    m_store->set(key(selectedKey), SettingsValue(uuidText(id)));
}

void ServerMonitor::save(const ServerProfile& profile)
{
    QList<ServerProfile> servers = m_servers;
    const auto it = std::find_if(servers.begin(), servers.end(),
                                 [&](const ServerProfile& p) { return p.id == profile.id; });
    if (it != servers.end())
        *it = profile;
    else
        servers.append(profile);
    setServers(std::move(servers));

    QHash<QUuid, ServerResult> results = m_results;
    results.remove(profile.id);
    setResults(std::move(results));

    persist();
    select(profile.id);
    refresh(profile.id);
}

void ServerMonitor::remove(const QUuid& id)
{
    QList<ServerProfile> servers = m_servers;
    servers.removeIf([&](const ServerProfile& p) { return p.id == id; });
    setServers(std::move(servers));

    QHash<QUuid, ServerResult> results = m_results;
    results.remove(id);
    setResults(std::move(results));
    m_visited.remove(id);

    if (m_selectedID == id)
        setSelectedID(m_servers.isEmpty() ? std::nullopt
                                          : std::optional<QUuid>(m_servers.first().id));
    persist();
}

void ServerMonitor::move(const QList<qsizetype>& from, qsizetype to)
{
    QList<qsizetype> positions = from;
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    positions.removeIf([&](qsizetype i) { return i < 0 || i >= m_servers.size(); });
    to = std::clamp<qsizetype>(to, 0, m_servers.size());

    QList<ServerProfile> moved;
    QList<ServerProfile> rest;
    qsizetype before = 0;
    for (qsizetype i = 0; i < m_servers.size(); ++i) {
        if (positions.contains(i)) {
            moved.append(m_servers.at(i));
            if (i < to)
                ++before;
        } else {
            rest.append(m_servers.at(i));
        }
    }
    QList<ServerProfile> servers = rest;
    const qsizetype at = to - before;
    for (qsizetype k = 0; k < moved.size(); ++k)
        servers.insert(at + k, moved.at(k));
    setServers(std::move(servers));
    persist();
}

void ServerMonitor::persist()
{
    m_store->set(key(profilesKey), SettingsValue(encodeServerProfiles(m_servers)));
    if (m_selectedID)
        m_store->set(key(selectedKey), SettingsValue(uuidText(*m_selectedID)));
    else
        m_store->set(key(selectedKey), std::nullopt);
}

void ServerMonitor::notify(const QString& title, const QString& message)
{
    m_notifier->post(title, message);
}

} // namespace corvane
