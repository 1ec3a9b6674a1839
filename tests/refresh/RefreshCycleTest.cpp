#include "FakeFleet.h"
#include "TestSupport.h"

#include "records/HealthReportJson.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;

namespace {

constexpr int kGuardMs = 30000;

HealthReport decoded(const QByteArray& json)
{
    const Result<HealthReport> report = decodeHealthReport(json);
    if (!report)
        qFatal("test report does not decode: %s", qPrintable(report.error()));
    return report.value();
}

QByteArray reportText(const HealthReport& report)
{
    return QJsonDocument(encodeHealthReport(report)).toJson(QJsonDocument::Compact);
}

const QByteArray kHealthy = test::minimalReport("ok", 4, 0, 0);
const QByteArray kWarning = test::minimalReport("warn", 3, 2, 0);
const QString kInvalidSettings =
    QStringLiteral("Invalid SSH settings (host, user, port or command).");
const QString kInvalidResponse =
    QStringLiteral("Invalid health JSON. Install the remote health adapter.");

QByteArray withSchema(QByteArray report, int schema)
{
    return report.replace("\"schema\":1", "\"schema\":" + QByteArray::number(schema));
}

QString printing(const QByteArray& bytes)
{
    return QStringLiteral("printf '%s' '%1'").arg(QString::fromUtf8(bytes));
}

} // namespace

class RefreshCycleTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void unknownOrDisabledIdChangesNothing();
    void secondRefreshWhileRunningDoesNothing();
    void refreshSelectedRefreshesOnlyTheSelection();
    void passesProfileToSsh();
    void storesOutcome_data();
    void storesOutcome();
    void failureBeforeAnyRun_data();
    void failureBeforeAnyRun();
    void previousStatusDecidesNotification_data();
    void previousStatusDecidesNotification();

private:
    // Waits for the start-up refresh of every enabled server.
    [[nodiscard]] bool settle(const ServerMonitor& monitor);

    std::unique_ptr<test::FakeFleet> m_fleet;
    std::unique_ptr<ServerMonitor> m_monitor;
};

void RefreshCycleTest::init()
{
    m_fleet = std::make_unique<test::FakeFleet>();
    QVERIFY(m_fleet->isValid());
}

void RefreshCycleTest::cleanup()
{
    // Let blocked fakes finish before their monitor and directory go.
    for (const QString& name : {QStringLiteral("A"), QStringLiteral("B")})
        m_fleet->touch(QStringLiteral("release-") + name);
    if (m_monitor)
        QTRY_VERIFY_WITH_TIMEOUT(test::monitorIdle(*m_monitor), kGuardMs);
    m_monitor.reset();
    m_fleet.reset();
}

bool RefreshCycleTest::settle(const ServerMonitor& monitor)
{
    return QTest::qWaitFor([&] { return test::monitorIdle(monitor); }, kGuardMs);
}

void RefreshCycleTest::unknownOrDisabledIdChangesNothing()
{
    const ServerProfile a = m_fleet->server(QStringLiteral("A"));
    const ServerProfile d = m_fleet->server(QStringLiteral("D"), false);
    m_fleet->answer(QStringLiteral("A"), kHealthy);
    m_fleet->answer(QStringLiteral("D"), kHealthy);
    m_monitor = m_fleet->monitor({a, d});
    QVERIFY(settle(*m_monitor));

    QSignalSpy writes(m_monitor.get(), &ServerMonitor::resultsChanged);
    const QCoro::Task<> unknown = m_monitor->refresh(QUuid::createUuid());
    const QCoro::Task<> disabled = m_monitor->refresh(d.id);
    QVERIFY(unknown.isReady());
    QVERIFY(disabled.isReady());
    QCOMPARE(writes.count(), 0);
    QVERIFY(!m_monitor->results().contains(d.id));
    QCOMPARE(m_monitor->results().size(), 1);
    QCOMPARE(m_fleet->runs(QStringLiteral("D")), 0);
    QCOMPARE(m_fleet->runs(QStringLiteral("A")), 1);
}

void RefreshCycleTest::secondRefreshWhileRunningDoesNothing()
{
    const ServerProfile a = m_fleet->server(QStringLiteral("A"));
    m_fleet->script(QStringLiteral("A"),
                    QStringLiteral("touch DIR/started-A\n") +
                        test::FakeFleet::waitFor(QStringLiteral("release-A"), "never released") +
                        printing(kHealthy));
    m_monitor = m_fleet->monitor({a});
    QVERIFY(m_monitor->results().value(a.id).refreshing);
    QTRY_VERIFY_WITH_TIMEOUT(m_fleet->exists(QStringLiteral("started-A")), kGuardMs);

    QSignalSpy writes(m_monitor.get(), &ServerMonitor::resultsChanged);
    const QCoro::Task<> again = m_monitor->refresh(a.id);
    const QCoro::Task<> all = m_monitor->refreshAll();
    const QCoro::Task<> selected = m_monitor->refreshSelected();
    QVERIFY(again.isReady());
    QVERIFY(all.isReady());
    QVERIFY(selected.isReady());
    QCOMPARE(writes.count(), 0);

    // The time of the check is taken when the run ends, not when it starts.
    m_fleet->clock().advance(90);
    const QDateTime finish = m_fleet->clock().now();
    m_fleet->touch(QStringLiteral("release-A"));
    QVERIFY(settle(*m_monitor));
    QCOMPARE(m_fleet->runs(QStringLiteral("A")), 1);
    QCOMPARE(writes.count(), 1);
    const ServerResult result = m_monitor->results().value(a.id);
    QVERIFY(!result.refreshing);
    QCOMPARE(result.lastChecked.value_or(QDateTime()), finish);
    QVERIFY(result.report);
}

void RefreshCycleTest::refreshSelectedRefreshesOnlyTheSelection()
{
    const ServerProfile a = m_fleet->server(QStringLiteral("A"));
    const ServerProfile b = m_fleet->server(QStringLiteral("B"));
    m_fleet->answer(QStringLiteral("A"), kHealthy);
    m_fleet->answer(QStringLiteral("B"), kHealthy);
    m_fleet->store().set(QString::fromLatin1(ServerMonitor::selectedKey),
                         SettingsValue(uuidText(b.id)));
    m_monitor = m_fleet->monitor({a, b});
    QVERIFY(settle(*m_monitor));

    const QCoro::Task<> selected = m_monitor->refreshSelected();
    QTRY_VERIFY_WITH_TIMEOUT(selected.isReady(), kGuardMs);
    QCOMPARE(m_fleet->runs(QStringLiteral("A")), 1);
    QCOMPARE(m_fleet->runs(QStringLiteral("B")), 2);
}

void RefreshCycleTest::passesProfileToSsh()
{
    ServerProfile a = m_fleet->server(QStringLiteral("A"));
    a.host = QStringLiteral("::1");
    a.user = QStringLiteral("svc_monitor");
    a.port = QStringLiteral("+2222");
    a.keyFile = QStringLiteral("/etc/corvane/id_ed25519");
    m_fleet->answer(QStringLiteral("A"), kHealthy);
    m_monitor = m_fleet->monitor({a});
    QVERIFY(settle(*m_monitor));

    const QStringList args = m_fleet->lastArguments();
    QVERIFY2(args.size() >= 5, qPrintable(args.join(QLatin1Char(' '))));
    QCOMPARE(args.mid(args.size() - 5), QStringList({"2222", "-i", "/etc/corvane/id_ed25519",
                                                     "svc_monitor@::1", a.remoteCommand}));
}

void RefreshCycleTest::storesOutcome_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QStringList>("required");
    QTest::addColumn<QString>("error");     // empty: none
    QTest::addColumn<QByteArray>("report"); // empty: none

    const QString healthy = printing(kHealthy);
    const QString refused = QStringLiteral(
        "printf 'ssh: connect to host 127.0.0.1 port 22: Connection refused\\r\\n' >&2\nexit 255");
    const QByteArray unreadable = R"({"schema":1,"overall":"ok"})";
    const QByteArray banner = "Welcome to web-1\n" + kWarning;

    QTest::newRow("new report replaces the last")
        << healthy << printing(kWarning) << QStringList() << QString() << kWarning;
    QTest::newRow("report despite exit status 1")
        << healthy << printing(kWarning) + "\nexit 1" << QStringList() << QString() << kWarning;
    QTest::newRow("ssh failure keeps the last report")
        << healthy << refused << QStringList()
        << "ssh: connect to host 127.0.0.1 port 22: Connection refused\r\n"
        << kHealthy;
    QTest::newRow("no data keeps the last report")
        << healthy << "exit 255" << QStringList() << "SSH returned no data" << kHealthy;
    QTest::newRow("unreadable report keeps the last report")
        << healthy << printing(unreadable) << QStringList()
        << decodeHealthReport(unreadable).error() << kHealthy;
    QTest::newRow("banner before the report") << healthy << printing(banner) << QStringList()
                                              << decodeHealthReport(banner).error() << kHealthy;
    QTest::newRow("schema 2 keeps the last report")
        << healthy << printing(withSchema(kWarning, 2)) << QStringList() << kInvalidResponse
        << kHealthy;
    QTest::newRow("schema 0") << healthy << printing(withSchema(kWarning, 0)) << QStringList()
                              << kInvalidResponse << kHealthy;
    QTest::newRow("success clears the error")
        << refused << printing(kWarning) << QStringList() << QString() << kWarning;
    QTest::newRow("failure after failure, still no report")
        << refused << "printf 'Permission denied (publickey).\\n' >&2\nexit 255" << QStringList()
        << "Permission denied (publickey).\n"
        << QByteArray();
    // The stored report is the one after the required-service policy.
    const QByteArray stopped =
        R"({"schema":1,"overall":"ok","counts":{"ok":4,"warn":0,"fail":0},"groups":[],"checks":[],)"
        R"("services":[{"name":"nginx","state":"stopped","detail":"inactive"}]})";
    const QByteArray stoppedAfterPolicy =
        R"({"schema":1,"overall":"fail","counts":{"ok":4,"warn":0,"fail":1},)"
        R"("groups":[{"name":"Required services","status":"fail","missing":["Required: nginx"]}],)"
        R"("checks":[{"name":"Required: nginx","status":"fail","detail":"Stopped",)"
        R"("section":"Required services"}],)"
        R"("services":[{"name":"nginx","state":"stopped","detail":"inactive"}]})";
    QTest::newRow("required service stopped")
        << healthy << printing(stopped) << QStringList{"nginx"} << QString() << stoppedAfterPolicy;
}

void RefreshCycleTest::storesOutcome()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QStringList, required);
    QFETCH(QString, error);
    QFETCH(QByteArray, report);

    ServerProfile a = m_fleet->server(QStringLiteral("A"));
    a.requiredServices = required;
    m_fleet->script(QStringLiteral("A"), first);
    m_monitor = m_fleet->monitor({a});
    QVERIFY(settle(*m_monitor));

    m_fleet->script(QStringLiteral("A"), second);
    m_fleet->clock().advance(300);
    const QCoro::Task<> refresh = m_monitor->refresh(a.id);
    QVERIFY(m_monitor->results().value(a.id).refreshing);
    QTRY_VERIFY_WITH_TIMEOUT(refresh.isReady(), kGuardMs);

    const ServerResult result = m_monitor->results().value(a.id);
    QVERIFY(!result.refreshing);
    QCOMPARE(result.lastChecked.value_or(QDateTime()), m_fleet->clock().now());
    QCOMPARE(result.error.value_or(QString()), error);
    QCOMPARE(result.error.has_value(), !error.isEmpty());
    if (report.isEmpty()) {
        QVERIFY(!result.report);
    } else {
        QVERIFY(result.report);
        QVERIFY2(*result.report == decoded(report), reportText(*result.report).constData());
    }
    QCOMPARE(result.status(), error.isEmpty() ? decoded(report).overall : HealthStatus::fail);
}

void RefreshCycleTest::failureBeforeAnyRun_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("executable"); // empty: the fake
    QTest::addColumn<QString>("error");

    QTest::newRow("empty host") << ""
                                << "monitor"
                                << "22"
                                << ""
                                << "" << kInvalidSettings;
    QTest::newRow("user that is an option") << "127.0.0.1"
                                            << "-oProxyCommand"
                                            << "22"
                                            << ""
                                            << "" << kInvalidSettings;
    QTest::newRow("port out of range") << "127.0.0.1"
                                       << "monitor"
                                       << "70000"
                                       << ""
                                       << "" << kInvalidSettings;
    QTest::newRow("blank command") << "127.0.0.1"
                                   << "monitor"
                                   << "22"
                                   << " \n "
                                   << "" << kInvalidSettings;
    QTest::newRow("ssh missing") << "127.0.0.1"
                                 << "monitor"
                                 << "22"
                                 << ""
                                 << "DIR/missing/ssh"
                                 << "Could not start DIR/missing/ssh: No such file or directory";
}

void RefreshCycleTest::failureBeforeAnyRun()
{
    QFETCH(QString, host);
    QFETCH(QString, user);
    QFETCH(QString, port);
    QFETCH(QString, command);
    QFETCH(QString, executable);
    QFETCH(QString, error);

    ServerProfile a = m_fleet->server(QStringLiteral("A"));
    a.host = host;
    a.user = user;
    a.port = port;
    if (!command.isEmpty())
        a.remoteCommand = command;
    m_fleet->answer(QStringLiteral("A"), kHealthy);
    test::FakeFleet::Options options;
    if (!executable.isEmpty()) {
        options.sshExecutable = executable.replace(QStringLiteral("DIR"), m_fleet->path({}));
        error.replace(QStringLiteral("DIR"), m_fleet->path({}));
    }
    m_monitor = m_fleet->monitor({a}, options);
    QVERIFY(settle(*m_monitor));

    const ServerResult result = m_monitor->results().value(a.id);
    QCOMPARE(result.error.value_or(QString()), error);
    QVERIFY(!result.report);
    QCOMPARE(result.status(), HealthStatus::fail);
    QCOMPARE(result.lastChecked.value_or(QDateTime()), m_fleet->clock().now());
    QCOMPARE(m_fleet->runs(QStringLiteral("A")), 0);
}

void RefreshCycleTest::previousStatusDecidesNotification_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("notifications");
    QTest::addColumn<QStringList>("posted");

    const QString warning = QStringLiteral("web-1: Warning|0 failures, 2 warnings");
    const QString critical = QStringLiteral("web-1: Critical|3 failures, 1 warnings");
    const QString unreachable = QStringLiteral("web-1 unreachable|lost\n");
    using L = QStringList;
    QTest::newRow("first result critical") << L{"critical"} << true << L{};
    QTest::newRow("first result unreachable") << L{"down"} << true << L{};
    QTest::newRow("healthy to warning") << L{"ok", "warn"} << true << L{warning};
    QTest::newRow("healthy to critical") << L{"ok", "critical"} << true << L{critical};
    QTest::newRow("required service stops")
        << L{"ok", "stopped"} << true << L{"web-1: Critical|1 failures, 0 warnings"};
    QTest::newRow("warning to critical") << L{"warn", "critical"} << true << L{};
    QTest::newRow("critical to warning") << L{"critical", "warn"} << true << L{};
    QTest::newRow("back to healthy") << L{"warn", "ok"} << true << L{};
    QTest::newRow("healthy to unreachable, twice")
        << L{"ok", "down", "down"} << true << L{unreachable};
    QTest::newRow("warning to unreachable") << L{"warn", "down"} << true << L{unreachable};
    QTest::newRow("critical to unreachable") << L{"critical", "down"} << true << L{};
    QTest::newRow("unreachable, healthy, warning")
        << L{"ok", "down", "ok", "warn"} << true << L{unreachable, warning};
    QTest::newRow("notifications off") << L{"ok", "warn", "ok", "down"} << false << L{};
}

void RefreshCycleTest::previousStatusDecidesNotification()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, notifications);
    QFETCH(QStringList, posted);

    // nginx is required and running, except in "stopped".
    const auto report = [](const char* overall, int ok, int warn, int fail, const char* nginx) {
        return QStringLiteral(
                   R"({"schema":1,"overall":"%1","counts":{"ok":%2,"warn":%3,"fail":%4},)"
                   R"("groups":[],"checks":[],)"
                   R"("services":[{"name":"nginx","state":"%5","detail":""}]})")
            .arg(QLatin1String(overall))
            .arg(ok)
            .arg(warn)
            .arg(fail)
            .arg(QLatin1String(nginx))
            .toUtf8();
    };
    const QHash<QString, QString> bodies{
        {"ok", printing(report("ok", 5, 0, 0, "running"))},
        {"warn", printing(report("warn", 3, 2, 0, "running"))},
        {"critical", printing(report("fail", 1, 1, 3, "running"))},
        {"stopped", printing(report("ok", 5, 0, 0, "stopped"))},
        {"down", QStringLiteral("printf 'lost\\n' >&2\nexit 255")},
    };

    ServerProfile a = m_fleet->server(QStringLiteral("A"));
    a.name = QStringLiteral("web-1");
    a.requiredServices = {QStringLiteral("nginx")};
    m_fleet->script(QStringLiteral("A"), bodies.value(steps.first()));
    test::FakeFleet::Options options;
    options.notifications = notifications;
    m_monitor = m_fleet->monitor({a}, options);
    QVERIFY(settle(*m_monitor));
    for (const QString& step : steps.mid(1)) {
        m_fleet->script(QStringLiteral("A"), bodies.value(step));
        const QCoro::Task<> refresh = m_monitor->refresh(a.id);
        QTRY_VERIFY_WITH_TIMEOUT(refresh.isReady(), kGuardMs);
    }
    QStringList actual;
    for (const test::RecordingNotifier::Posted& post : m_fleet->notifier().posted())
        actual.append(post.title + QLatin1Char('|') + post.body);
    QCOMPARE(actual, posted);
}

QTEST_GUILESS_MAIN(RefreshCycleTest)
#include "RefreshCycleTest.moc"
