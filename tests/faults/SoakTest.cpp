// Many refresh cycles over a fake fleet: file descriptors, children and memory must not pile up.
// CORVANE_SOAK_CYCLES sets the cycle count (default 300; the long form runs 10000 and needs
// QTEST_FUNCTION_TIMEOUT raised past QtTest's 300 s, see RELIABILITY.md).
#include "FakeFleet.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace corvane;
using namespace corvane::test;

namespace {

struct Sample
{
    qsizetype fds = 0;
    qint64 rssKiB = 0;
    QStringList children; // "pid state" of every child still around
};

Sample sample()
{
    Sample s;
    s.fds = QDir(QStringLiteral("/proc/self/fd"))
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                .size();
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                s.rssKiB = line.mid(6).trimmed().split(' ').first().toLongLong();
    // Every process whose parent is this one; a zombie shows state Z.
    const QByteArray self = QByteArray::number(::getpid());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == self)
            s.children.append(pid + QLatin1Char(' ') + QString::fromLatin1(fields.at(0)));
    }
    return s;
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// ASan holds freed blocks in a quarantine of 256 MiB by default, which would read as growth to
// the RSS check below. A small one still catches use after free of recent blocks; ASAN_OPTIONS
// from the environment wins over this.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=4";
}
#endif

class SoakTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void steadyStateOverManyCycles()
    {
        const qint64 cycles = qEnvironmentVariableIsSet("CORVANE_SOAK_CYCLES")
                                  ? qEnvironmentVariable("CORVANE_SOAK_CYCLES").toLongLong()
                                  : 300;
        const qint64 warmUp = std::min<qint64>(50, cycles / 5);
        QVERIFY(cycles > warmUp);

        const Sample start = sample();
        FakeFleet fleet;
        QVERIFY(fleet.isValid());
        QList<ServerProfile> servers;
        for (int i = 0; i < 20; ++i) {
            const QString name = QStringLiteral("s%1").arg(i);
            servers.append(fleet.server(name));
            // A mix of answers, so every path through a refresh runs each cycle.
            if (i % 5 == 3)
                fleet.script(name, QStringLiteral("echo 'Connection refused' >&2; exit 255"));
            else if (i % 5 == 4)
                fleet.script(name, QStringLiteral("printf '{\"schema\":1,'"));
            else
                fleet.answer(name, minimalReport(i % 5 == 0 ? "ok" : "warn", 1, 1, 0));
        }
        // The fleet's own monitor() counts in whole seconds per minute; the soak needs 50 ms.
        MonitorSeams seams;
        auto store = std::make_shared<MemorySettingsStore>();
        store->set(QString::fromLatin1(ServerMonitor::profilesKey),
                   SettingsValue(encodeServerProfiles(servers)));
        store->set(QString::fromLatin1(ServerMonitor::intervalKey), SettingsValue(qint64(1)));
        store->set(QString::fromLatin1(ServerMonitor::notificationsKey), SettingsValue(false));
        seams.store = store;
        seams.notifier = std::make_shared<RecordingNotifier>();
        seams.clock = std::make_shared<FixedClock>();
        seams.millisecondsPerMinute = 50;
        auto monitor = std::make_unique<ServerMonitor>(std::move(seams), fleet.fakeSsh());

        // A cycle is counted when the first server finishes a refresh.
        const QUuid first = servers.first().id;
        qint64 done = 0;
        bool wasRefreshing = false;
        connect(monitor.get(), &ServerMonitor::resultsChanged, this, [&] {
            const bool refreshing = monitor->results().value(first).refreshing;
            if (wasRefreshing && !refreshing) {
                ++done;
                // Live figures, runs in flight included: the steady state between the two
                // settled samples.
                if (done % std::max<qint64>(1, cycles / 10) == 0) {
                    const Sample now = sample();
                    qInfo("soak: cycle %lld; fds %lld; RSS %lld KiB", static_cast<long long>(done),
                          static_cast<long long>(now.fds), static_cast<long long>(now.rssKiB));
                }
            }
            wasRefreshing = refreshing;
        });

        // Pause the timer, let every run end, then look: only then must nothing be in flight.
        const auto settle = [&] {
            monitor->setIntervalMinutes(1000000);
            QTRY_VERIFY_WITH_TIMEOUT(monitorIdle(*monitor), 30000);
            QTest::qWait(100);
        };

        QTRY_VERIFY_WITH_TIMEOUT(done >= warmUp, 600000);
        settle();
        const Sample base = sample();
        QVERIFY2(base.children.isEmpty(), qPrintable(base.children.join(QLatin1Char(','))));

        monitor->setIntervalMinutes(1);
        const qint64 target = done + (cycles - warmUp);
        QTRY_VERIFY_WITH_TIMEOUT(done >= target, 6 * 3600 * 1000);
        settle();
        const Sample end = sample();
        qInfo(
            "soak: %lld cycles x 20 servers; RSS at start %lld KiB; fds %lld -> %lld; RSS %lld KiB "
            "-> %lld KiB after %lld warm-up cycles; children left %lld",
            static_cast<long long>(done), static_cast<long long>(start.rssKiB),
            static_cast<long long>(base.fds), static_cast<long long>(end.fds),
            static_cast<long long>(base.rssKiB), static_cast<long long>(end.rssKiB),
            static_cast<long long>(warmUp), static_cast<long long>(end.children.size()));

        QCOMPARE(end.fds, base.fds);
        QVERIFY2(end.children.isEmpty(), qPrintable(end.children.join(QLatin1Char(','))));
        int status = 0;
        QCOMPARE(::waitpid(-1, &status, WNOHANG), -1); // nothing left to reap: no zombies
        // Generous: allocator slack may move a few MiB; a leak per run would add far more.
        QVERIFY2(end.rssKiB - base.rssKiB < 16 * 1024,
                 qPrintable(QStringLiteral("RSS grew by %1 KiB").arg(end.rssKiB - base.rssKiB)));

        // Results are still right after all those cycles.
        for (int i = 0; i < servers.size(); ++i) {
            const ServerResult result = monitor->results().value(servers.at(i).id);
            QCOMPARE(bool(result.error), i % 5 >= 3);
        }
    }
};

QTEST_GUILESS_MAIN(SoakTest)
#include "SoakTest.moc"
