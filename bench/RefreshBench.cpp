// corvane-bench-refresh N FAKE_SSH [ROUNDS]: one ServerMonitor over N profiles whose ssh is the
// fake at FAKE_SSH; after one warm-up batch, times ROUNDS more refreshAll() batches and prints
// one JSON line per round.
//
// Per round: wall time, the worst lateness of a 5 ms precise timer on the main thread (the
// longest the event loop was blocked), the monitor's own CPU time. Peak RSS is the process's.

#include "monitor/ServerMonitor.h"
#include "platform/MemorySettingsStore.h"
#include "platform/Notifier.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace corvane;

namespace {

constexpr qint64 kTickNs = 5'000'000;

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

QList<ServerProfile> fleet(int count)
{
    QList<ServerProfile> profiles;
    for (int i = 0; i < count; ++i) {
        ServerProfile profile;
        profile.name = QStringLiteral("bench-%1").arg(i);
        // Never reached: the ssh executable is the fake, which ignores its arguments.
        profile.host = QStringLiteral("127.0.0.1");
        profile.user = QStringLiteral("bench");
        profile.remoteCommand = QStringLiteral("report");
        profiles.append(profile);
    }
    return profiles;
}

struct Round
{
    double wallMs = 0;
    double stallMs = 0;
    double cpuMs = 0;
    int answered = 0;
};

QCoro::Task<Round> timedRefresh(ServerMonitor& monitor)
{
    Round round;
    QElapsedTimer clock;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(5);
    qint64 last = 0;
    qint64 worst = 0;
    QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last - kTickNs);
        last = now;
    });
    const double cpuBefore = cpuMs();
    clock.start();
    tick.start();
    co_await monitor.refreshAll();
    const qint64 end = clock.nsecsElapsed();
    tick.stop();
    // A block that lasts to the end of the batch delays a tick that never came.
    worst = std::max(worst, end - last - kTickNs);
    round.wallMs = end / 1e6;
    round.stallMs = std::max<qint64>(0, worst) / 1e6;
    round.cpuMs = cpuMs() - cpuBefore;
    for (const ServerResult& result : monitor.results())
        if (result.report && !result.error)
            ++round.answered;
    co_return round;
}

QCoro::Task<> run(int count, QString fakeSsh, int rounds, int& exitCode)
{
    // An empty stored list: the constructor's own refresh has nothing to do, and the store is
    // never the user's.
    auto store = std::make_shared<MemorySettingsStore>();
    store->set(QString::fromLatin1(ServerMonitor::profilesKey), SettingsValue(QByteArray("[]")));
    store->set(QString::fromLatin1(ServerMonitor::notificationsKey), SettingsValue(false));
    MonitorSeams seams;
    seams.store = store;
    seams.notifier = std::make_shared<NullNotifier>();
    ServerMonitor monitor(std::move(seams), fakeSsh);
    monitor.setServers(fleet(count));

    co_await monitor.refreshAll();
    QTextStream out(stdout);
    for (int i = 0; i < rounds; ++i) {
        const Round round = co_await timedRefresh(monitor);
        if (round.answered != count) {
            QTextStream(stderr) << "only " << round.answered << " of " << count
                                << " servers answered\n";
            exitCode = 1;
        }
        const QJsonObject line{{QStringLiteral("n"), count},
                               {QStringLiteral("wallMs"), round.wallMs},
                               {QStringLiteral("stallMs"), round.stallMs},
                               {QStringLiteral("cpuMs"), round.cpuMs},
                               {QStringLiteral("answered"), round.answered},
                               {QStringLiteral("peakRssMb"), peakRssMb()}};
        out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
        out.flush();
    }
}

// A free coroutine, not a lambda one: its arguments live in its frame, not in a slot object
// that is gone after the first suspension.
QCoro::Task<> runThenQuit(int count, QString fakeSsh, int rounds, int& exitCode)
{
    co_await run(count, std::move(fakeSsh), rounds, exitCode);
    QCoreApplication::exit(exitCode);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3 || args.size() > 4) {
        QTextStream(stderr) << "usage: corvane-bench-refresh N FAKE_SSH [ROUNDS]\n";
        return 3;
    }
    const int count = args.at(1).toInt();
    const int rounds = args.size() == 4 ? args.at(3).toInt() : 3;
    if (count < 1 || rounds < 1) {
        QTextStream(stderr) << "N and ROUNDS must be positive\n";
        return 3;
    }
    int exitCode = 0;
    QTimer::singleShot(0, &app, [&] { runThenQuit(count, args.at(2), rounds, exitCode); });
    QCoreApplication::exec();
    return exitCode;
}
