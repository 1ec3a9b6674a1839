#include "FakeFleet.h"
#include "TestSupport.h"

#include "records/HealthReportJson.h"

#include <QTest>

using namespace corvane;

Q_DECLARE_METATYPE(std::optional<qint64>)

namespace {

constexpr int kGuardMs = 30000;

QString printing(const QByteArray& bytes)
{
    return QStringLiteral("printf '%s' '%1'").arg(QString::fromUtf8(bytes));
}

// One write of results as an observer sees it: which entry changed and how the fleet looked.
struct Write
{
    QString name;
    bool refreshing = false;
    std::optional<HealthReport> report;
    std::optional<QString> error;
    QStringList othersRefreshing;
};

} // namespace

class RefreshAllTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void runsEnabledServersAtOnceAndCommitsEach();
    void startupRefreshCanWaitForTheEventLoop();
    void timerPeriod_data();
    void timerPeriod();
    void ticksRefreshAndSkipBusyServers();

private:
    std::unique_ptr<test::FakeFleet> m_fleet;
    std::unique_ptr<ServerMonitor> m_monitor;
};

void RefreshAllTest::init()
{
    m_fleet = std::make_unique<test::FakeFleet>();
    QVERIFY(m_fleet->isValid());
}

void RefreshAllTest::cleanup()
{
    // Let blocked fakes finish before their monitor and directory go.
    for (const QString& name : {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")})
        m_fleet->touch(QStringLiteral("release-") + name);
    if (m_monitor)
        QTRY_VERIFY_WITH_TIMEOUT(test::monitorIdle(*m_monitor), kGuardMs);
    m_monitor.reset();
    m_fleet.reset();
}

void RefreshAllTest::runsEnabledServersAtOnceAndCommitsEach()
{
    const QStringList names{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    QList<ServerProfile> servers;
    QHash<QUuid, QString> nameOf;
    for (const QString& name : names + QStringList{QStringLiteral("D")}) {
        servers.append(m_fleet->server(name, name != QLatin1String("D")));
        nameOf.insert(servers.last().id, name);
    }
    const auto report = [](const QString& name) {
        return test::minimalReport("ok", name.at(0).unicode(), 0, 0);
    };
    for (const QString& name : names + QStringList{QStringLiteral("D")})
        m_fleet->answer(name, report(name));
    m_monitor = m_fleet->monitor(servers);
    QTRY_VERIFY_WITH_TIMEOUT(test::monitorIdle(*m_monitor), kGuardMs);

    // Each run waits until all three have started, so none can end unless they overlap. Then
    // they end in the order C, A, B, each only after the one before it has been committed: an
    // engine that commits at the end of the batch would stall them.
    const QHash<QString, QString> predecessor{{"A", "C"}, {"B", "A"}};
    for (const QString& name : names) {
        QString body = QStringLiteral("touch DIR/started-%1\n").arg(name);
        for (const QString& other : names)
            body += test::FakeFleet::waitFor("started-" + other, "runs did not overlap", 10);
        if (predecessor.contains(name))
            body += test::FakeFleet::waitFor(
                "committed-" + predecessor.value(name),
                predecessor.value(name) + " was not committed before " + name + " ended", 10);
        body += printing(report(name));
        m_fleet->script(name, body);
    }

    QList<Write> writes;
    QHash<QUuid, ServerResult> seen = m_monitor->results();
    connect(m_monitor.get(), &ServerMonitor::resultsChanged, this, [&] {
        const QHash<QUuid, ServerResult>& now = m_monitor->results();
        for (auto it = now.constBegin(); it != now.constEnd(); ++it) {
            if (seen.value(it.key()) == it.value() && seen.contains(it.key()))
                continue;
            Write write{nameOf.value(it.key()), it->refreshing, it->report, it->error, {}};
            for (auto other = now.constBegin(); other != now.constEnd(); ++other)
                if (other.key() != it.key() && other->refreshing)
                    write.othersRefreshing.append(nameOf.value(other.key()));
            write.othersRefreshing.sort();
            writes.append(write);
            if (!it->refreshing)
                m_fleet->touch(QStringLiteral("committed-") + write.name);
        }
        seen = now;
    });

    const QCoro::Task<> batch = m_monitor->refreshAll();
    QTRY_VERIFY_WITH_TIMEOUT(batch.isReady(), 2 * kGuardMs);

    QStringList order;
    for (const Write& write : writes)
        order.append(write.name +
                     (write.refreshing ? QStringLiteral(" start") : QStringLiteral(" end")) +
                     (write.error ? QStringLiteral(" (") + write.error->trimmed() + QLatin1Char(')')
                                  : QString()));
    QCOMPARE(order, QStringList({"A start", "B start", "C start", "C end", "A end", "B end"}));
    // Each result is committed as its own run ends, while the later ones still run.
    QCOMPARE(writes.at(3).othersRefreshing, QStringList({"A", "B"}));
    QCOMPARE(writes.at(4).othersRefreshing, QStringList({"B"}));
    QCOMPARE(writes.at(5).othersRefreshing, QStringList());
    for (const Write& write : writes.mid(3)) {
        QVERIFY2(!write.error, qPrintable(write.name + ": " + write.error.value_or(QString())));
        QVERIFY(write.report);
        QCOMPARE(write.report->counts.ok, write.name.at(0).unicode());
    }

    QVERIFY(!m_monitor->results().contains(servers.last().id));
    QCOMPARE(m_fleet->runs(QStringLiteral("D")), 0);
    for (const QString& name : names)
        QCOMPARE(m_fleet->runs(name), 2);
}

void RefreshAllTest::startupRefreshCanWaitForTheEventLoop()
{
    // The desktop app asks for this so that its window comes up before the ssh starts.
    const ServerProfile a = m_fleet->server(QStringLiteral("A"));
    m_fleet->answer(QStringLiteral("A"), test::minimalReport());
    test::FakeFleet::Options options;
    options.deferStartupRefresh = true;
    m_monitor = m_fleet->monitor({a}, options);
    QVERIFY2(!m_monitor->results().contains(a.id), "nothing starts inside the constructor");
    QTRY_VERIFY_WITH_TIMEOUT(m_monitor->results().value(a.id).lastChecked.has_value(), 20000);
    QVERIFY(m_monitor->results().value(a.id).report);
    QCOMPARE(m_fleet->runs(QStringLiteral("A")), 1);
}

void RefreshAllTest::timerPeriod_data()
{
    QTest::addColumn<std::optional<qint64>>("stored");
    QTest::addColumn<qint64>("written");
    QTest::addColumn<qint64>("storedPeriodMs");
    QTest::addColumn<qint64>("writtenPeriodMs");

    QTest::newRow("nothing stored, then 0")
        << std::optional<qint64>() << qint64(0) << qint64(300000) << qint64(60000);
    QTest::newRow("0, then -3") << std::optional<qint64>(0) << qint64(-3) << qint64(60000)
                                << qint64(60000);
    QTest::newRow("negative, then 1")
        << std::optional<qint64>(-7) << qint64(1) << qint64(60000) << qint64(60000);
    QTest::newRow("1, then 15") << std::optional<qint64>(1) << qint64(15) << qint64(60000)
                                << qint64(900000);
    QTest::newRow("15, then 5") << std::optional<qint64>(15) << qint64(5) << qint64(900000)
                                << qint64(300000);
}

void RefreshAllTest::timerPeriod()
{
    QFETCH(std::optional<qint64>, stored);
    QFETCH(qint64, written);
    QFETCH(qint64, storedPeriodMs);
    QFETCH(qint64, writtenPeriodMs);

    const ServerProfile a = m_fleet->server(QStringLiteral("A"));
    m_fleet->answer(QStringLiteral("A"), test::minimalReport());
    test::FakeFleet::Options options;
    options.intervalMinutes = stored;
    m_monitor = m_fleet->monitor({a}, options);
    QCOMPARE(m_monitor->timerPeriodMs(), std::optional<qint64>(storedPeriodMs));
    QTRY_VERIFY_WITH_TIMEOUT(test::monitorIdle(*m_monitor), kGuardMs);

    // Re-arming restarts the countdown but starts no refresh of its own.
    m_monitor->setIntervalMinutes(written);
    QCOMPARE(m_monitor->timerPeriodMs(), std::optional<qint64>(writtenPeriodMs));
    QVERIFY(!m_monitor->results().value(a.id).refreshing);
    QCOMPARE(m_fleet->runs(QStringLiteral("A")), 1);
}

void RefreshAllTest::ticksRefreshAndSkipBusyServers()
{
    // One period is one second here.
    const ServerProfile a = m_fleet->server(QStringLiteral("A"));
    const ServerProfile b = m_fleet->server(QStringLiteral("B"));
    m_fleet->script(QStringLiteral("A"),
                    test::FakeFleet::waitFor(QStringLiteral("release-A"), "never released") +
                        printing(test::minimalReport()));
    m_fleet->answer(QStringLiteral("B"), test::minimalReport());
    test::FakeFleet::Options options;
    options.intervalMinutes = 1;
    options.secondsPerMinute = 1;
    m_monitor = m_fleet->monitor({a, b}, options);
    QCOMPARE(m_monitor->timerPeriodMs(), std::optional<qint64>(1000));

    // Start-up refresh plus two ticks; each tick's batch skips A, whose first run still goes on.
    QTRY_VERIFY_WITH_TIMEOUT(m_fleet->runs(QStringLiteral("B")) >= 3, kGuardMs);
    QCOMPARE(m_fleet->runs(QStringLiteral("A")), 1);
    QVERIFY(m_monitor->results().value(a.id).refreshing);

    m_fleet->touch(QStringLiteral("release-A"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_monitor->results().value(a.id).refreshing, kGuardMs);
    QVERIFY(m_monitor->results().value(a.id).report);
    // Ticks go on after the slow run: A gets its next run from a later tick.
    QTRY_VERIFY_WITH_TIMEOUT(m_fleet->runs(QStringLiteral("A")) >= 2, kGuardMs);
}

QTEST_GUILESS_MAIN(RefreshAllTest)
#include "RefreshAllTest.moc"
