// The real ssh client against a private sshd on 127.0.0.1 whose remote command misbehaves: the
// broken server gets the right error, the healthy servers in the same monitor keep their reports.
#include "SshdFixture.h"
#include "TestSupport.h"

#include "RecordingNotifier.h"

#include "monitor/ServerMonitor.h"
#include "platform/MemorySettingsStore.h"
#include "records/HealthReportJson.h"

#include <QTest>

#include <memory>

using namespace corvane;
using namespace corvane::test;

namespace {

constexpr int kGuardMs = 60000;

// Short enough that a hung command costs seconds, long enough for a loopback login on a busy box.
constexpr std::chrono::milliseconds kRunLimit{6000};

} // namespace

class RealSshdFaultsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void brokenServerBesideHealthyOnes_data();
    void brokenServerBesideHealthyOnes();

private:
    [[nodiscard]] ServerProfile profile(const QString& name, const QString& script) const;
    void verifyHealthy(const ServerMonitor& monitor, const ServerProfile& profile,
                       const char* overall) const;

    std::unique_ptr<SshdFixture> m_sshd;
};

void RealSshdFaultsTest::initTestCase()
{
    m_sshd = std::make_unique<SshdFixture>();
    QVERIFY2(m_sshd->start(), qPrintable(m_sshd->error()));
    for (const char* overall : {"ok", "warn"}) {
        const QString name = QString::fromLatin1(overall);
        m_sshd->writeFile(name + QStringLiteral(".json"), minimalReport(overall, 1, 0, 0));
        m_sshd->writeScript(name + QStringLiteral(".sh"),
                            QStringLiteral("cat ") + m_sshd->path(name + QStringLiteral(".json")));
    }
}

void RealSshdFaultsTest::cleanupTestCase()
{
    m_sshd.reset();
}

ServerProfile RealSshdFaultsTest::profile(const QString& name, const QString& script) const
{
    ServerProfile server;
    server.name = name;
    server.host = SshdFixture::host();
    server.user = m_sshd->user();
    server.port = m_sshd->portText();
    server.keyFile = m_sshd->clientKey();
    server.remoteCommand = m_sshd->path(script);
    return server;
}

void RealSshdFaultsTest::verifyHealthy(const ServerMonitor& monitor, const ServerProfile& profile,
                                       const char* overall) const
{
    const ServerResult result = monitor.results().value(profile.id);
    QVERIFY2(!result.error, qPrintable(profile.name + QStringLiteral(": ") +
                                       result.error.value_or(QString()) + m_sshd->log()));
    QVERIFY2(result.report, qPrintable(profile.name));
    QVERIFY(*result.report == decodeHealthReport(minimalReport(overall, 1, 0, 0)).value());
}

void RealSshdFaultsTest::brokenServerBesideHealthyOnes_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("error");
    const QByteArray halfReport = minimalReport("ok", 1, 0, 0).chopped(30);
    const QString half = QString::fromUtf8(halfReport);
    const QString halfError = decodeHealthReport(halfReport).error();
    const QString noData = QStringLiteral("SSH returned no data");
    const QString flood = QStringLiteral("head -c 8000000 /dev/zero | tr '\\0' 'E' >&2");

    // ssh is sent SIGTERM at the limit; what came through until then is what the server gets.
    QTest::newRow("silent past the limit") << QStringLiteral("exec sleep 20") << noData;
    QTest::newRow("stderr line, then past the limit")
        << QStringLiteral("echo 'still starting' >&2; exec sleep 20")
        << QStringLiteral("still starting\n");
    QTest::newRow("half a document, then past the limit")
        << QStringLiteral("printf '%s' '%1'; exec sleep 20").arg(half) << halfError;

    QTest::newRow("half a document, then exit 0")
        << QStringLiteral("printf '%s' '%1'; exit 0").arg(half) << halfError;

    // Only the first 64 KiB of stderr is kept, cut at a character boundary.
    QTest::newRow("stderr flood, then exit 3")
        << flood + QStringLiteral("; exit 3") << QString(64 * 1024, QLatin1Char('E'));
    QTest::newRow("two-byte stderr flood cut mid-character")
        << QStringLiteral("printf x >&2; yes '%1' | tr -d '\\n' | head -c 200001 >&2; exit 1")
               .arg(QString(16, QChar(0xE9)))
        << QStringLiteral("x") + QString(32767, QChar(0xE9));

    // The command runs as a child of the login shell, which reports its death on stderr.
    QTest::newRow("remote command SIGKILLed mid-output")
        << QStringLiteral("printf '%s' '%1'; kill -KILL $$").arg(half) << halfError;
    QTest::newRow("remote command SIGKILLed before output")
        << QStringLiteral("kill -KILL $$") << QStringLiteral("Killed\n");
    // The sshd process that carries the connection, the login shell's parent.
    const QString session = QStringLiteral("read -r _ _ _ session _ < /proc/$PPID/stat; ");
    QTest::newRow("sshd session SIGKILLed mid-output")
        << session + QStringLiteral("printf '%s' '%1'; sleep 1; kill -KILL $session; exec sleep 20")
                         .arg(half)
        << halfError;
    QTest::newRow("sshd session SIGKILLed before output")
        << session + QStringLiteral("kill -KILL $session; exec sleep 20")
        << QStringLiteral("Connection to 127.0.0.1 closed by remote host.\r\n");
}

void RealSshdFaultsTest::brokenServerBesideHealthyOnes()
{
    QFETCH(QString, body);
    QFETCH(QString, error);
    m_sshd->writeScript(QStringLiteral("broken.sh"), body);
    const ServerProfile before = profile(QStringLiteral("before"), QStringLiteral("ok.sh"));
    const ServerProfile broken = profile(QStringLiteral("broken"), QStringLiteral("broken.sh"));
    const ServerProfile after = profile(QStringLiteral("after"), QStringLiteral("warn.sh"));

    // Loopback profiles only: the real ssh must never reach another address.
    auto store = std::make_shared<MemorySettingsStore>();
    store->set(QString::fromLatin1(ServerMonitor::profilesKey),
               SettingsValue(encodeServerProfiles({before, broken, after})));
    MonitorSeams seams;
    seams.store = store;
    seams.notifier = std::make_shared<RecordingNotifier>();
    seams.limits.runLimit = kRunLimit;
    seams.limits.killGrace = std::chrono::milliseconds(1000);
    const ServerMonitor monitor(std::move(seams));
    QCOMPARE(monitor.runner().executable(), QStringLiteral("/usr/bin/ssh"));
    QTRY_VERIFY_WITH_TIMEOUT(monitorIdle(monitor), kGuardMs);

    const ServerResult result = monitor.results().value(broken.id);
    QVERIFY(!result.report);
    QCOMPARE(result.error.value_or(QString()), error);
    verifyHealthy(monitor, before, "ok");
    verifyHealthy(monitor, after, "warn");
}

QTEST_GUILESS_MAIN(RealSshdFaultsTest)
#include "RealSshdFaultsTest.moc"
