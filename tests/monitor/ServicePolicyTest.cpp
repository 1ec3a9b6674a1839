#include "MonitorFixture.h"

#include <QTest>

#include <algorithm>

using namespace corvane;
using namespace corvane::test;

namespace corvane {

// Readable failure output for the records compared below.
char* toString(const HealthCounts& counts)
{
    return qstrdup(QStringLiteral("ok %1, warn %2, fail %3")
                       .arg(counts.ok)
                       .arg(counts.warn)
                       .arg(counts.fail)
                       .toUtf8()
                       .constData());
}

char* toString(const HealthStatus& status)
{
    return qstrdup(qPrintable(rawText(status)));
}

char* toString(const HealthReport& report)
{
    QStringList lines;
    lines
        << QStringLiteral("overall %1, schema %2").arg(rawText(report.overall)).arg(report.schema);
    lines << QString::fromUtf8(QByteArray(toString(report.counts)));
    for (const HealthGroup& group : report.groups)
        lines << QStringLiteral("group %1 %2 [%3]")
                     .arg(group.name, rawText(group.status), group.missing.join(QLatin1Char('|')));
    for (const HealthCheck& check : report.checks)
        lines << QStringLiteral("check %1 %2 \"%3\"")
                     .arg(check.id(), rawText(check.status), check.detail);
    if (report.services)
        for (const DiscoveredService& service : *report.services)
            lines << QStringLiteral("service %1 %2").arg(service.name, service.state);
    return qstrdup(lines.join(QStringLiteral("; ")).toUtf8().constData());
}

char* toString(const QList<DiscoveredService>& services)
{
    QStringList entries;
    for (const DiscoveredService& service : services)
        entries << QStringLiteral("%1 %2 \"%3\"").arg(service.name, service.state, service.detail);
    return qstrdup(entries.join(QStringLiteral("; ")).toUtf8().constData());
}

} // namespace corvane

Q_DECLARE_METATYPE(corvane::HealthReport)
Q_DECLARE_METATYPE(corvane::HealthStatus)
Q_DECLARE_METATYPE(corvane::HealthCounts)
Q_DECLARE_METATYPE(corvane::DiscoveredService)
Q_DECLARE_METATYPE(std::optional<QList<corvane::DiscoveredService>>)
Q_DECLARE_METATYPE(std::optional<QUuid>)

namespace {

const QString kSection = QStringLiteral("Required services");
const QString kNotReported = QStringLiteral("Not reported by monitoring agent");

DiscoveredService service(const char* name, const char* state, const char* detail = "")
{
    return {QString::fromUtf8(name), QString::fromUtf8(state), QString::fromUtf8(detail)};
}

DiscoveredService placeholder(const char* name)
{
    return service(name, "not_installed", "Not reported by agent");
}

// A report with every optional field filled, so that a changed copy shows what it dropped.
HealthReport report(std::optional<QList<DiscoveredService>> services,
                    HealthStatus overall = HealthStatus::ok, HealthCounts counts = {3, 1, 0})
{
    HealthReport r;
    r.host = QStringLiteral("web-1");
    r.generatedAt = QStringLiteral("2024-05-01T10:00:00Z");
    r.uptimeSeconds = 86400;
    r.overall = overall;
    r.counts = counts;
    r.groups = {HealthGroup{QStringLiteral("System"), overall, {}}};
    r.checks = {HealthCheck{QStringLiteral("Disk"), HealthStatus::ok, QStringLiteral("12% used"),
                            QStringLiteral("System")}};
    r.diagnostics = QStringLiteral("agent 2.1");
    r.services = std::move(services);
    return r;
}

HealthCheck required(const QString& service, const QString& detail)
{
    return {QStringLiteral("Required: ") + service, HealthStatus::fail, detail, kSection};
}

// What the policy gives when it adds these checks.
HealthReport withAdded(HealthReport r, const QList<HealthCheck>& added)
{
    QStringList missing;
    for (const HealthCheck& check : added) {
        r.checks.append(check);
        missing.append(check.name);
    }
    r.groups.append(HealthGroup{kSection, HealthStatus::fail, missing});
    r.counts.fail += added.size();
    r.overall = HealthStatus::fail;
    return r;
}

// The added checks may come in any order; the group's list follows the checks. Sorts both so
// that reports compare whatever order was chosen.
HealthReport addedInNameOrder(HealthReport r, qsizetype originalChecks)
{
    if (r.checks.size() <= originalChecks || r.groups.isEmpty())
        return r;
    std::sort(r.checks.begin() + originalChecks, r.checks.end(),
              [](const HealthCheck& a, const HealthCheck& b) { return a.name < b.name; });
    r.groups.last().missing.sort();
    return r;
}

// One profile and its outcome, for the fleet views.
struct Server
{
    bool enabled = true;
    bool hasResult = false;
    std::optional<HealthStatus> reported;
    HealthCounts counts;
    bool failed = false;
    bool refreshing = false;
};

Server noResult(bool enabled = true)
{
    return {enabled, false, {}, {}, false, false};
}
Server firstRefreshRunning()
{
    return {true, true, {}, {}, false, true};
}
Server reported(HealthStatus status, HealthCounts counts, bool enabled = true)
{
    return {enabled, true, status, counts, false, false};
}
Server unreachable(bool enabled = true)
{
    return {enabled, true, {}, {}, true, false};
}
Server unreachableAfter(HealthStatus status, HealthCounts counts)
{
    return {true, true, status, counts, true, false};
}
Server refreshingAfter(HealthStatus status, HealthCounts counts)
{
    return {true, true, status, counts, false, true};
}

ServerResult resultOf(const Server& server)
{
    ServerResult result;
    if (server.reported) {
        HealthReport r;
        r.overall = *server.reported;
        r.counts = server.counts;
        result.report = r;
    }
    if (server.failed)
        result.error = QStringLiteral("Connection refused");
    if (server.reported || server.failed)
        result.lastChecked = QDateTime::currentDateTimeUtc();
    result.refreshing = server.refreshing;
    return result;
}

} // namespace

Q_DECLARE_METATYPE(Server)

class ServicePolicyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void policy_data();
    void policy();
    void discoveredServices_data();
    void discoveredServices();
    void discoveredServicesOfUnknownProfile();
    void selectedServices_data();
    void selectedServices();
    void fleetViews_data();
    void fleetViews();
    void selectionViews_data();
    void selectionViews();

private:
    // A settled monitor over these profiles whose results are then replaced by results.
    [[nodiscard]] bool start(const QList<ServerProfile>& profiles,
                             const QHash<QUuid, ServerResult>& results);

    std::unique_ptr<MonitorFixture> m_fixture;
    std::unique_ptr<ServerMonitor> m_monitor;
};

void ServicePolicyTest::init()
{
    m_fixture = std::make_unique<MonitorFixture>();
}

void ServicePolicyTest::cleanup()
{
    // start() let every run finish; the results put in afterwards are not to be waited on.
    m_monitor.reset();
    m_fixture.reset();
}

bool ServicePolicyTest::start(const QList<ServerProfile>& profiles,
                              const QHash<QUuid, ServerResult>& results)
{
    m_fixture->seedProfiles(profiles);
    m_monitor = m_fixture->make();
    if (!settle(*m_monitor))
        return false;
    m_monitor->setResults(results);
    return true;
}

void ServicePolicyTest::policy_data()
{
    QTest::addColumn<HealthReport>("input");
    QTest::addColumn<QStringList>("requiredServices");
    QTest::addColumn<bool>("discover");
    QTest::addColumn<HealthReport>("expected");

    const QStringList nginx{QStringLiteral("nginx")};
    const QString n = QStringLiteral("nginx");
    const QString pg = QStringLiteral("postgres");

    const HealthReport noList = report(std::nullopt);
    QTest::newRow("no service list, two required")
        << noList << QStringList{n, pg} << true
        << withAdded(noList, {required(n, kNotReported), required(pg, kNotReported)});
    QTest::newRow("no service list, discovery off")
        << noList << QStringList{n, pg} << false
        << withAdded(noList, {required(n, kNotReported), required(pg, kNotReported)});
    const HealthReport emptyList = report(QList<DiscoveredService>{});
    QTest::newRow("empty service list")
        << emptyList << nginx << true << withAdded(emptyList, {required(n, kNotReported)});

    const HealthReport running = report(QList{service("nginx", "running")});
    QTest::newRow("running") << running << nginx << true << running;
    const HealthReport capital = report(QList{service("nginx", "Running")});
    QTest::newRow("Running with a capital")
        << capital << nginx << true << withAdded(capital, {required(n, QStringLiteral("Unknown"))});
    for (const auto& [state, title] :
         {std::pair{"stopped", "Stopped"}, std::pair{"failed", "Failed"},
          std::pair{"not_installed", "Not installed"}, std::pair{"disabled", "Disabled"},
          std::pair{"", "Unknown"}}) {
        const HealthReport r = report(QList{service("nginx", state)});
        QTest::addRow("state \"%s\"", state)
            << r << nginx << true << withAdded(r, {required(n, QString::fromUtf8(title))});
    }
    const HealthReport otherCase = report(QList{service("Nginx", "running")});
    QTest::newRow("name in other case is another service")
        << otherCase << nginx << true << withAdded(otherCase, {required(n, kNotReported)});

    const HealthReport warnRunning =
        report(QList{service("nginx", "running")}, HealthStatus::warn, {2, 1, 0});
    QTest::newRow("all running keeps the report's own warning")
        << warnRunning << nginx << true << warnRunning;
    const HealthReport critical = report(std::nullopt, HealthStatus::fail, {1, 0, 2});
    QTest::newRow("nothing required, critical report")
        << critical << QStringList() << true << critical;
    QTest::newRow("failures add to the report's own")
        << critical << nginx << true << withAdded(critical, {required(n, kNotReported)});

    HealthReport carried = report(std::nullopt);
    carried.checks.append(required(n, QStringLiteral("from the agent")));
    QTest::newRow("check already carried") << carried << nginx << true << carried;
    QTest::newRow("one of two already carried") << carried << QStringList{n, pg} << true
                                                << withAdded(carried, {required(pg, kNotReported)});
    HealthReport otherSection = report(std::nullopt);
    otherSection.checks.append(HealthCheck{
        QStringLiteral("Required: nginx"), HealthStatus::ok, {}, QStringLiteral("Web")});
    QTest::newRow("same check name in another section")
        << otherSection << nginx << true << withAdded(otherSection, {required(n, kNotReported)});
    HealthReport group = report(std::nullopt);
    group.groups.append(HealthGroup{kSection, HealthStatus::ok, {}});
    QTest::newRow("group of that name already there")
        << group << nginx << true << withAdded(group, {required(n, kNotReported)});

    QTest::newRow("required twice")
        << noList << QStringList{n, n} << true << withAdded(noList, {required(n, kNotReported)});
    const HealthReport mixed =
        report(QList{service("nginx", "running"), service("redis", "stopped", "exit 1")});
    QTest::newRow("running, stopped and unreported")
        << mixed << QStringList{n, QStringLiteral("redis"), QStringLiteral("cron")} << true
        << withAdded(mixed, {required(QStringLiteral("redis"), QStringLiteral("Stopped")),
                             required(QStringLiteral("cron"), kNotReported)});
    const HealthReport schema2 = [] {
        HealthReport r = report(std::nullopt);
        r.schema = 2;
        return r;
    }();
    QTest::newRow("schema kept") << schema2 << nginx << true
                                 << withAdded(schema2, {required(n, kNotReported)});
}

void ServicePolicyTest::policy()
{
    QFETCH(HealthReport, input);
    QFETCH(QStringList, requiredServices);
    QFETCH(bool, discover);
    QFETCH(HealthReport, expected);
    ServerProfile profile = lettered(QLatin1Char('A'));
    profile.requiredServices = requiredServices;
    profile.discoverServices = discover;

    const HealthReport actual = ServerMonitor::applyServicePolicy(input, profile);
    if (actual.groups.size() > input.groups.size()) {
        // The group lists the added checks by name, in their order.
        QStringList added;
        for (qsizetype i = input.checks.size(); i < actual.checks.size(); ++i)
            added << actual.checks.at(i).name;
        QCOMPARE(actual.groups.last().missing, added);
    }
    QCOMPARE(addedInNameOrder(actual, input.checks.size()),
             addedInNameOrder(expected, input.checks.size()));
}

void ServicePolicyTest::discoveredServices_data()
{
    QTest::addColumn<QString>("outcome"); // none, error, report, error beside report
    QTest::addColumn<std::optional<QList<DiscoveredService>>>("reported");
    QTest::addColumn<QStringList>("requiredServices");
    QTest::addColumn<QList<DiscoveredService>>("expected");
    using Services = std::optional<QList<DiscoveredService>>;
    const QString withReport = QStringLiteral("report");

    QTest::newRow("required service the agent lacks")
        << withReport << Services(QList{service("sshd", "running"), service("Cron", "stopped")})
        << QStringList{QStringLiteral("apache")}
        << QList{placeholder("apache"), service("Cron", "stopped"), service("sshd", "running")};
    QTest::newRow("no result yet") << QStringLiteral("none") << Services()
                                   << QStringList{QStringLiteral("redis"), QStringLiteral("apache")}
                                   << QList{placeholder("apache"), placeholder("redis")};
    QTest::newRow("error only") << QStringLiteral("error") << Services()
                                << QStringList{QStringLiteral("x")} << QList{placeholder("x")};
    QTest::newRow("report without service list, nothing required")
        << withReport << Services() << QStringList() << QList<DiscoveredService>();
    QTest::newRow("report without service list")
        << withReport << Services() << QStringList{QStringLiteral("y")} << QList{placeholder("y")};
    QTest::newRow("required and stopped stays as reported")
        << withReport << Services(QList{service("nginx", "stopped", "since 3h")})
        << QStringList{QStringLiteral("nginx")} << QList{service("nginx", "stopped", "since 3h")};
    QTest::newRow("required and not installed stays as reported")
        << withReport << Services(QList{service("nginx", "not_installed", "no unit")})
        << QStringList{QStringLiteral("nginx")}
        << QList{service("nginx", "not_installed", "no unit")};
    QTest::newRow("required twice, missing")
        << withReport << Services() << QStringList{QStringLiteral("zed"), QStringLiteral("zed")}
        << QList{placeholder("zed")};
    QTest::newRow("sorted ignoring case")
        << withReport
        << Services(QList{service("beta", "running"), service("Alpha", "running"),
                          service("gamma", "running"), service("Delta", "failed")})
        << QStringList{QStringLiteral("cache")}
        << QList{service("Alpha", "running"), service("beta", "running"), placeholder("cache"),
                 service("Delta", "failed"), service("gamma", "running")};
    QTest::newRow("older report beside an error")
        << QStringLiteral("error beside report") << Services(QList{service("sshd", "running")})
        << QStringList() << QList{service("sshd", "running")};
}

void ServicePolicyTest::discoveredServices()
{
    using Services = std::optional<QList<DiscoveredService>>;
    QFETCH(QString, outcome);
    QFETCH(Services, reported);
    QFETCH(QStringList, requiredServices);
    QFETCH(QList<DiscoveredService>, expected);
    ServerProfile profile = lettered(QLatin1Char('A'));
    profile.requiredServices = requiredServices;

    QHash<QUuid, ServerResult> results;
    if (outcome != QLatin1String("none")) {
        ServerResult result;
        if (outcome.contains(QLatin1String("report"))) {
            result.report = HealthReport{};
            result.report->services = reported;
        }
        if (outcome.contains(QLatin1String("error")))
            result.error = QStringLiteral("Connection refused");
        results.insert(profile.id, result);
    }
    QVERIFY(start({profile}, results));
    QCOMPARE(m_monitor->discoveredServices(profile.id), expected);
}

void ServicePolicyTest::discoveredServicesOfUnknownProfile()
{
    const ServerProfile profile = lettered(QLatin1Char('A'));
    // Even an outcome kept for the unknown id gives nothing without its profile.
    ServerResult stray;
    stray.report = HealthReport{};
    stray.report->services = QList{service("sshd", "running")};
    QVERIFY(start({profile}, {{idOf(QLatin1Char('Z')), stray}}));
    QCOMPARE(m_monitor->discoveredServices(idOf(QLatin1Char('Z'))), QList<DiscoveredService>());
}

void ServicePolicyTest::selectedServices_data()
{
    QTest::addColumn<QList<DiscoveredService>>("reported");
    QTest::addColumn<QStringList>("requiredServices");
    QTest::addColumn<bool>("discover");
    QTest::addColumn<QStringList>("expected");
    const QList<DiscoveredService> mix{service("sshd", "running"),
                                       service("mysql", "not_installed"),
                                       service("cron", "stopped"), service("nginx", "running")};

    QTest::newRow("discovery off, one required reported")
        << mix << QStringList{QStringLiteral("nginx")} << false
        << QStringList{QStringLiteral("nginx")};
    QTest::newRow("discovery off, one required not reported")
        << mix << QStringList{QStringLiteral("apache")} << false
        << QStringList{QStringLiteral("apache")};
    QTest::newRow("discovery off, nothing required")
        << mix << QStringList() << false << QStringList();
    QTest::newRow("discovery on hides optional services not installed")
        << mix << QStringList() << true
        << QStringList{QStringLiteral("cron"), QStringLiteral("nginx"), QStringLiteral("sshd")};
    QTest::newRow("discovery on shows a required service not installed")
        << mix << QStringList{QStringLiteral("mysql")} << true
        << QStringList{QStringLiteral("cron"), QStringLiteral("mysql"), QStringLiteral("nginx"),
                       QStringLiteral("sshd")};
    QTest::newRow("discovery on shows a missing required service")
        << mix << QStringList{QStringLiteral("apache")} << true
        << QStringList{QStringLiteral("apache"), QStringLiteral("cron"), QStringLiteral("nginx"),
                       QStringLiteral("sshd")};
    QTest::newRow("only the exact state hides")
        << QList{service("x", "NOT_INSTALLED")} << QStringList() << true
        << QStringList{QStringLiteral("x")};
}

void ServicePolicyTest::selectedServices()
{
    QFETCH(QList<DiscoveredService>, reported);
    QFETCH(QStringList, requiredServices);
    QFETCH(bool, discover);
    QFETCH(QStringList, expected);
    // The selected profile is the second, so the first's services must not leak in.
    ServerProfile other = lettered(QLatin1Char('A'));
    other.requiredServices = {QStringLiteral("other")};
    ServerProfile profile = lettered(QLatin1Char('B'));
    profile.requiredServices = requiredServices;
    profile.discoverServices = discover;
    ServerResult result;
    result.report = HealthReport{};
    result.report->services = reported;
    QVERIFY(start({other, profile}, {{profile.id, result}}));
    m_monitor->select(profile.id);

    QStringList names;
    for (const DiscoveredService& service : m_monitor->selectedServices())
        names << service.name;
    QCOMPARE(names, expected);

    // Nothing selected, or a selection that names no profile: nothing to show.
    m_monitor->setSelectedID(std::nullopt);
    QCOMPARE(m_monitor->selectedServices(), QList<DiscoveredService>());
    m_monitor->setSelectedID(idOf(QLatin1Char('Z')));
    QCOMPARE(m_monitor->selectedServices(), QList<DiscoveredService>());
}

void ServicePolicyTest::fleetViews_data()
{
    QTest::addColumn<QList<Server>>("servers");
    QTest::addColumn<HealthStatus>("status");
    QTest::addColumn<HealthCounts>("aggregate");
    QTest::addColumn<qint64>("offline");
    using S = HealthStatus;

    QTest::newRow("no profiles") << QList<Server>() << S::warn << HealthCounts{} << qint64(0);
    QTest::newRow("only disabled, failing ones")
        << QList{unreachable(false), reported(S::fail, {0, 0, 4}, false)} << S::warn
        << HealthCounts{} << qint64(0);
    QTest::newRow("never answered")
        << QList{unreachable()} << S::fail << HealthCounts{0, 0, 1} << qint64(1);
    QTest::newRow("healthy beside a disabled failing one")
        << QList{reported(S::ok, {5, 0, 0}), unreachable(false)} << S::ok << HealthCounts{5, 0, 0}
        << qint64(0);
    QTest::newRow("first refresh still running")
        << QList{firstRefreshRunning()} << S::warn << HealthCounts{} << qint64(0);
    QTest::newRow("no result") << QList{noResult()} << S::warn << HealthCounts{} << qint64(0);
    QTest::newRow("healthy and no result") << QList{reported(S::ok, {2, 0, 0}), noResult()}
                                           << S::warn << HealthCounts{2, 0, 0} << qint64(0);
    QTest::newRow("unreachable keeps its older counts")
        << QList{unreachableAfter(S::warn, {2, 1, 3})} << S::fail << HealthCounts{2, 1, 3}
        << qint64(1);
    QTest::newRow("refreshing keeps the previous status")
        << QList{refreshingAfter(S::ok, {4, 0, 0})} << S::ok << HealthCounts{4, 0, 0} << qint64(0);
    QTest::newRow("healthy and warning")
        << QList{reported(S::ok, {3, 0, 0}), reported(S::warn, {1, 2, 0})} << S::warn
        << HealthCounts{4, 2, 0} << qint64(0);
    QTest::newRow("warning and critical")
        << QList{reported(S::warn, {1, 2, 0}), reported(S::fail, {1, 0, 3})} << S::fail
        << HealthCounts{2, 2, 3} << qint64(0);
    QTest::newRow("warning and unreachable")
        << QList{reported(S::warn, {1, 1, 0}), unreachable(), unreachable()} << S::fail
        << HealthCounts{1, 1, 2} << qint64(2);
    QTest::newRow("all healthy") << QList{reported(S::ok, {1, 0, 0}), reported(S::ok, {2, 0, 0})}
                                 << S::ok << HealthCounts{3, 0, 0} << qint64(0);
    QTest::newRow("disabled one's report does not count")
        << QList{reported(S::ok, {1, 0, 0}), reported(S::fail, {9, 9, 9}, false)} << S::ok
        << HealthCounts{1, 0, 0} << qint64(0);
}

void ServicePolicyTest::fleetViews()
{
    QFETCH(QList<Server>, servers);
    QFETCH(HealthStatus, status);
    QFETCH(HealthCounts, aggregate);
    QFETCH(qint64, offline);
    QList<ServerProfile> profiles;
    QHash<QUuid, ServerResult> results;
    for (qsizetype i = 0; i < servers.size(); ++i) {
        const ServerProfile profile = lettered(QChar(char16_t(u'A' + i)), servers.at(i).enabled);
        profiles.append(profile);
        if (servers.at(i).hasResult)
            results.insert(profile.id, resultOf(servers.at(i)));
    }
    QVERIFY(start(profiles, results));

    QCOMPARE(m_monitor->status(), status);
    QCOMPARE(m_monitor->aggregate(), aggregate);
    QCOMPARE(m_monitor->offlineCount(), offline);
}

void ServicePolicyTest::selectionViews_data()
{
    QTest::addColumn<std::optional<QUuid>>("selection");
    QTest::addColumn<bool>("selectedFound");
    QTest::addColumn<bool>("resultFound");
    QTest::addColumn<bool>("reportFound");
    const std::optional<QUuid> a = idOf(QLatin1Char('A'));
    const std::optional<QUuid> b = idOf(QLatin1Char('B'));
    const std::optional<QUuid> c = idOf(QLatin1Char('C'));
    const std::optional<QUuid> z = idOf(QLatin1Char('Z'));
    // A has a report, B only an error, C nothing; Z has no profile but a stray outcome.
    QTest::newRow("nothing selected") << std::optional<QUuid>() << false << false << false;
    QTest::newRow("selected with a report") << a << true << true << true;
    QTest::newRow("selected with an error only") << b << true << true << false;
    QTest::newRow("selected without outcome") << c << true << false << false;
    QTest::newRow("selection naming no profile") << z << false << true << true;
}

void ServicePolicyTest::selectionViews()
{
    QFETCH(std::optional<QUuid>, selection);
    QFETCH(bool, selectedFound);
    QFETCH(bool, resultFound);
    QFETCH(bool, reportFound);
    const QList<ServerProfile> profiles = letteredList(QStringLiteral("ABC"));
    QHash<QUuid, ServerResult> results;
    results.insert(idOf(QLatin1Char('A')), resultOf(reported(HealthStatus::warn, {1, 2, 0})));
    results.insert(idOf(QLatin1Char('B')), resultOf(unreachable()));
    results.insert(idOf(QLatin1Char('Z')), resultOf(reported(HealthStatus::ok, {7, 0, 0})));
    QVERIFY(start(profiles, results));
    m_monitor->setSelectedID(selection);

    const std::optional<ServerProfile> selected = m_monitor->selected();
    QCOMPARE(selected.has_value(), selectedFound);
    if (selected)
        QCOMPARE(selected->id, *selection);
    const std::optional<ServerResult> result = m_monitor->selectedResult();
    QCOMPARE(result.has_value(), resultFound);
    if (result)
        QCOMPARE(*result, results.value(*selection));
    const std::optional<HealthReport> report = m_monitor->report();
    QCOMPARE(report.has_value(), reportFound);
    if (report)
        QCOMPARE(*report, *results.value(*selection).report);
}

QTEST_GUILESS_MAIN(ServicePolicyTest)
#include "ServicePolicyTest.moc"
