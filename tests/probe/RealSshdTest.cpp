#include "PendingRun.h"
#include "SshdFixture.h"

#include "monitor/ServerMonitor.h"
#include "platform/MemorySettingsStore.h"
#include "records/HealthReportJson.h"

#include <QJsonDocument>
#include <QTest>

#include <memory>

using namespace corvane;

namespace {

constexpr int kGuardMs = 60000;

class FixedClock : public Clock
{
public:
    [[nodiscard]] QDateTime now() const override { return time; }
    QDateTime time = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53), Qt::UTC);
};

const QByteArray kHealthy = R"({"schema":1,"host":"web-1","uptimeSeconds":93784,"overall":"ok",
"counts":{"ok":2,"warn":0,"fail":0},
"groups":[{"name":"System","status":"ok","missing":[]}],
"checks":[{"name":"disk /","status":"ok","detail":"41% used","section":"System"},
          {"name":"load","status":"ok","detail":"0.12","section":"System"}],
"services":[{"name":"nginx","state":"running","detail":"active"},
            {"name":"redis","state":"stopped","detail":"inactive"}]}
)";

HealthReport decoded(const QByteArray& json)
{
    const Result<HealthReport> report = decodeHealthReport(json);
    if (!report)
        qFatal("test report does not decode: %s", qPrintable(report.error()));
    return report.value();
}

// What a failed comparison prints.
const char* reportText(const HealthReport& report)
{
    static QByteArray text;
    text = QJsonDocument(encodeHealthReport(report)).toJson(QJsonDocument::Compact);
    return text.constData();
}

} // namespace

// The real ssh client against a private sshd on 127.0.0.1, with the argument vector the app uses.
class RealSshdTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void healthyReport();
    void sshFailure_data();
    void sshFailure();
    void standardErrorLineOnly();
    void schemaTwoKeepsLastReport();
    void requiredServicesMissing();

private:
    [[nodiscard]] ServerProfile profile(const QString& command) const;
    // Only loopback profiles: the real ssh must never reach another address.
    std::unique_ptr<ServerMonitor> monitorFor(const ServerProfile& server);
    [[nodiscard]] static bool finished(const ServerMonitor& monitor, const QUuid& id);

    std::unique_ptr<test::SshdFixture> m_sshd;
    std::shared_ptr<FixedClock> m_clock;
};

void RealSshdTest::initTestCase()
{
    m_sshd = std::make_unique<test::SshdFixture>();
    QVERIFY2(m_sshd->start(), qPrintable(m_sshd->error()));
    m_sshd->writeScript(QStringLiteral("report.sh"),
                        QStringLiteral("cat %1").arg(m_sshd->path(QStringLiteral("report.json"))));
}

void RealSshdTest::cleanupTestCase()
{
    m_sshd.reset();
}

void RealSshdTest::init()
{
    QVERIFY(m_sshd);
    m_sshd->trustHostKey(true);
    m_sshd->writeFile(QStringLiteral("report.json"), kHealthy);
    m_clock = std::make_shared<FixedClock>();
}

ServerProfile RealSshdTest::profile(const QString& command) const
{
    ServerProfile server;
    server.name = QStringLiteral("loopback");
    server.host = test::SshdFixture::host();
    server.user = m_sshd->user();
    server.port = m_sshd->portText();
    server.keyFile = m_sshd->clientKey();
    server.remoteCommand = command;
    return server;
}

std::unique_ptr<ServerMonitor> RealSshdTest::monitorFor(const ServerProfile& server)
{
    auto store = std::make_shared<MemorySettingsStore>();
    store->set(QString::fromLatin1(ServerMonitor::profilesKey),
               SettingsValue(encodeServerProfiles({server})));
    MonitorSeams seams;
    seams.store = store;
    seams.notifier = std::make_shared<NullNotifier>();
    seams.clock = m_clock;
    return std::make_unique<ServerMonitor>(std::move(seams));
}

bool RealSshdTest::finished(const ServerMonitor& monitor, const QUuid& id)
{
    const auto it = monitor.results().constFind(id);
    return it != monitor.results().constEnd() && !it->refreshing && it->lastChecked;
}

void RealSshdTest::healthyReport()
{
    const ServerProfile server = profile(m_sshd->path(QStringLiteral("report.sh")));
    const auto monitor = monitorFor(server);
    QCOMPARE(monitor->runner().executable(), QStringLiteral("/usr/bin/ssh"));
    QTRY_VERIFY_WITH_TIMEOUT(finished(*monitor, server.id), kGuardMs);

    const ServerResult result = monitor->results().value(server.id);
    QVERIFY2(!result.error, qPrintable(result.error.value_or(QString()) + m_sshd->log()));
    QVERIFY(result.report);
    QVERIFY2(*result.report == decoded(kHealthy), reportText(*result.report));
    QCOMPARE(result.report->host.value_or(QString()), QStringLiteral("web-1"));
    QCOMPARE(result.status(), HealthStatus::ok);
    QCOMPARE(result.lastChecked.value_or(QDateTime()), m_clock->time);
}

void RealSshdTest::sshFailure_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<bool>("refusedPort");
    QTest::addColumn<bool>("unauthorizedKey");
    QTest::addColumn<QString>("expected");

    QTest::newRow("unknown host key") << false << false << false << "Host key verification failed.";
    QTest::newRow("refused port") << true << true << false << "Connection refused";
    QTest::newRow("key not authorized") << true << false << true << "Permission denied (publickey)";
}

void RealSshdTest::sshFailure()
{
    QFETCH(bool, trusted);
    QFETCH(bool, refusedPort);
    QFETCH(bool, unauthorizedKey);
    QFETCH(QString, expected);

    m_sshd->trustHostKey(trusted);
    const quint16 port = refusedPort ? test::SshdFixture::closedPort() : m_sshd->port();
    QVERIFY(port != 0);
    // The host key is a valid private key that authorized_keys does not list.
    const QString key =
        m_sshd->path(unauthorizedKey ? QStringLiteral("host_key") : QStringLiteral("client_key"));

    const SSHRunner runner;
    const test::PendingRun run(runner.run(test::SshdFixture::host(), m_sshd->user(),
                                          QString::number(port), key,
                                          m_sshd->path(QStringLiteral("report.sh"))));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    const auto* error = std::get_if<SSHError>(&run.outcome());
    QVERIFY2(error && error->kind() == SSHError::Kind::process, qPrintable(run.describe()));
    QVERIFY2(error->errorDescription().contains(expected), qPrintable(run.describe()));
}

void RealSshdTest::standardErrorLineOnly()
{
    const QString command =
        m_sshd->writeScript(QStringLiteral("broken.sh"),
                            QStringLiteral("echo 'health agent not installed' >&2\nexit 127"));
    const SSHRunner runner;
    const test::PendingRun run(runner.run(test::SshdFixture::host(), m_sshd->user(),
                                          m_sshd->portText(), m_sshd->clientKey(), command));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    QVERIFY2(run.outcome() == SSHOutcome(SSHError::process("health agent not installed\n")),
             qPrintable(run.describe()));
}

void RealSshdTest::schemaTwoKeepsLastReport()
{
    const ServerProfile server = profile(m_sshd->path(QStringLiteral("report.sh")));
    const auto monitor = monitorFor(server);
    QTRY_VERIFY_WITH_TIMEOUT(finished(*monitor, server.id), kGuardMs);
    QVERIFY(monitor->results().value(server.id).report);

    QByteArray schemaTwo = kHealthy;
    schemaTwo.replace(R"("schema":1)", R"("schema":2)");
    m_sshd->writeFile(QStringLiteral("report.json"), schemaTwo);
    m_clock->time = m_clock->time.addSecs(300);
    const QCoro::Task<> refresh = monitor->refresh(server.id);
    QTRY_VERIFY_WITH_TIMEOUT(refresh.isReady(), kGuardMs);

    const ServerResult result = monitor->results().value(server.id);
    QCOMPARE(result.error.value_or(QString()),
             QStringLiteral("Invalid health JSON. Install the remote health adapter."));
    QVERIFY(result.report);
    QVERIFY2(*result.report == decoded(kHealthy), reportText(*result.report));
    QCOMPARE(result.status(), HealthStatus::fail);
    QCOMPARE(result.lastChecked.value_or(QDateTime()), m_clock->time);
}

void RealSshdTest::requiredServicesMissing()
{
    ServerProfile server = profile(m_sshd->path(QStringLiteral("report.sh")));
    server.requiredServices = {QStringLiteral("nginx"), QStringLiteral("postgresql"),
                               QStringLiteral("redis")};
    const auto monitor = monitorFor(server);
    QTRY_VERIFY_WITH_TIMEOUT(finished(*monitor, server.id), kGuardMs);

    HealthReport expected = decoded(kHealthy);
    const QString section = QStringLiteral("Required services");
    expected.checks << HealthCheck{QStringLiteral("Required: postgresql"), HealthStatus::fail,
                                   QStringLiteral("Not reported by monitoring agent"), section}
                    << HealthCheck{QStringLiteral("Required: redis"), HealthStatus::fail,
                                   QStringLiteral("Stopped"), section};
    expected.groups << HealthGroup{
        section,
        HealthStatus::fail,
        {QStringLiteral("Required: postgresql"), QStringLiteral("Required: redis")}};
    expected.counts.fail = 2;
    expected.overall = HealthStatus::fail;

    const ServerResult result = monitor->results().value(server.id);
    QVERIFY2(!result.error, qPrintable(result.error.value_or(QString())));
    QVERIFY(result.report);
    QVERIFY2(*result.report == expected, reportText(*result.report));
    QCOMPARE(result.status(), HealthStatus::fail);
}

QTEST_GUILESS_MAIN(RealSshdTest)
#include "RealSshdTest.moc"
