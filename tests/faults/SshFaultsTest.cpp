// Broken ssh runs next to healthy ones: the broken server gets the right error, the others keep
// their results.
#include "TestSupport.h"

#include "RecordingNotifier.h"

#include "monitor/ServerMonitor.h"
#include "platform/MemorySettingsStore.h"
#include "records/HealthReportJson.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace corvane;
using namespace corvane::test;

namespace {

const QByteArray kHalfReport = R"({"schema":1,"overall":"ok","counts":{"ok":3,"wa)";

// The fake ssh is the shell that runs the remote command itself (no extra process between), so
// a command that kills $$ kills what the monitor started.
class Fleet
{
public:
    Fleet()
    {
        writeFakeSsh(m_dir.path(),
                     QStringLiteral("for last; do :; done\nexec /bin/sh -c \"$last\""));
    }

    ServerProfile server(const QString& name, const QString& body) const
    {
        const QString file = m_dir.filePath(name + QStringLiteral(".sh"));
        QFile script(file);
        if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(file));
        script.write(body.toUtf8() + '\n');
        ServerProfile profile;
        profile.name = name;
        profile.host = QStringLiteral("127.0.0.1");
        profile.user = QStringLiteral("monitor");
        profile.remoteCommand = QStringLiteral(". ") + file;
        return profile;
    }

    ServerProfile healthy(const QString& name, const char* overall) const
    {
        return server(name, QStringLiteral("printf '%s' '%1'")
                                .arg(QString::fromUtf8(minimalReport(overall, 1, 0, 0))));
    }

    std::unique_ptr<ServerMonitor> monitor(const QList<ServerProfile>& servers)
    {
        auto store = std::make_shared<MemorySettingsStore>();
        store->set(QString::fromLatin1(ServerMonitor::profilesKey),
                   SettingsValue(encodeServerProfiles(servers)));
        MonitorSeams seams;
        seams.store = store;
        seams.notifier = std::make_shared<RecordingNotifier>();
        // Short enough that a hung server costs a second, long enough for 55 starts on a busy box.
        seams.limits.runLimit = std::chrono::milliseconds(3000);
        seams.limits.killGrace = std::chrono::milliseconds(500);
        return std::make_unique<ServerMonitor>(std::move(seams),
                                               m_dir.filePath(QStringLiteral("ssh")));
    }

private:
    QTemporaryDir m_dir;
};

void verifyHealthy(const ServerMonitor& monitor, const ServerProfile& profile, HealthStatus overall)
{
    const ServerResult result = monitor.results().value(profile.id);
    QVERIFY2(!result.error,
             qPrintable(profile.name + QStringLiteral(": ") + result.error.value_or(QString())));
    QVERIFY2(result.report, qPrintable(profile.name));
    QCOMPARE(result.report->overall, overall);
}

} // namespace

class SshFaultsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void brokenServerAmongHealthyOnes_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("error");
        const QString half = QString::fromUtf8(kHalfReport);
        const QString halfError = decodeHealthReport(kHalfReport).error();

        QTest::newRow("SIGKILL mid-output")
            << QStringLiteral("printf '%s' '%1'; kill -KILL $$").arg(half) << halfError;
        QTest::newRow("SIGKILL before output")
            << QStringLiteral("kill -KILL $$") << QStringLiteral("SSH returned no data");
        QTest::newRow("half a document, then exit 0")
            << QStringLiteral("printf '%s' '%1'; exit 0").arg(half) << halfError;
        QTest::newRow("half a document, then exit 255")
            << QStringLiteral("printf '%s' '%1'; echo 'Connection reset' >&2; exit 255").arg(half)
            << halfError;
        QTest::newRow("stops answering after connecting")
            << QStringLiteral("echo 'Connected' >&2; exec sleep 60")
            << QStringLiteral("Connected\n");
        QTest::newRow("stops answering and ignores SIGTERM")
            << QStringLiteral("trap '' TERM; exec sleep 60")
            << QStringLiteral("SSH returned no data");
        QTest::newRow("stderr flood, no output")
            << QStringLiteral("head -c 8000000 /dev/zero | tr '\\0' 'E' >&2; exit 255")
            << QString(64 * 1024, QLatin1Char('E'));
    }

    void brokenServerAmongHealthyOnes()
    {
        QFETCH(QString, body);
        QFETCH(QString, error);
        Fleet fleet;
        const ServerProfile before = fleet.healthy(QStringLiteral("before"), "ok");
        const ServerProfile broken = fleet.server(QStringLiteral("broken"), body);
        const ServerProfile after = fleet.healthy(QStringLiteral("after"), "warn");
        auto monitor = fleet.monitor({before, broken, after});
        QTRY_VERIFY_WITH_TIMEOUT(monitorIdle(*monitor), 30000);

        const ServerResult result = monitor->results().value(broken.id);
        QVERIFY(!result.report);
        QCOMPARE(result.error.value_or(QString()), error);
        verifyHealthy(*monitor, before, HealthStatus::ok);
        verifyHealthy(*monitor, after, HealthStatus::warn);
    }

    // A flood on stderr next to a good report does not stall the run or spoil the report.
    void stderrFloodWithGoodReport()
    {
        Fleet fleet;
        const ServerProfile noisy = fleet.server(
            QStringLiteral("noisy"),
            QStringLiteral("head -c 8000000 /dev/zero | tr '\\0' 'E' >&2; printf '%s' '%1'")
                .arg(QString::fromUtf8(minimalReport("fail", 0, 0, 1))));
        const ServerProfile quiet = fleet.healthy(QStringLiteral("quiet"), "ok");
        auto monitor = fleet.monitor({noisy, quiet});
        QTRY_VERIFY_WITH_TIMEOUT(monitorIdle(*monitor), 30000);
        verifyHealthy(*monitor, noisy, HealthStatus::fail);
        verifyHealthy(*monitor, quiet, HealthStatus::ok);
    }

    void fiftyServersFailAtOnce()
    {
        Fleet fleet;
        QList<ServerProfile> servers;
        QList<ServerProfile> healthy;
        for (int i = 0; i < 50; ++i)
            servers.append(fleet.server(QStringLiteral("down-%1").arg(i),
                                        QStringLiteral("echo 'ssh: connect to host down-%1: "
                                                       "Connection refused' >&2; exit 255")
                                            .arg(i)));
        for (int i = 0; i < 5; ++i) {
            healthy.append(fleet.healthy(QStringLiteral("up-%1").arg(i), "ok"));
            servers.insert(i * 10, healthy.last());
        }
        auto monitor = fleet.monitor(servers);
        QTRY_VERIFY_WITH_TIMEOUT(monitorIdle(*monitor), 60000);

        for (const ServerProfile& profile : servers) {
            if (profile.name.startsWith(QStringLiteral("up-"))) {
                verifyHealthy(*monitor, profile, HealthStatus::ok);
                continue;
            }
            const ServerResult result = monitor->results().value(profile.id);
            QVERIFY2(!result.report, qPrintable(profile.name));
            QCOMPARE(
                result.error.value_or(QString()),
                QStringLiteral("ssh: connect to host %1: Connection refused\n").arg(profile.name));
        }
    }
};

QTEST_GUILESS_MAIN(SshFaultsTest)
#include "SshFaultsTest.moc"
