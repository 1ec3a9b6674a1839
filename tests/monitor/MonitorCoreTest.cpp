#include "MonitorFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace corvane;
using namespace corvane::test;

Q_DECLARE_METATYPE(corvane::test::StoredValue)

namespace {

const QString kLegacy = QStringLiteral("legacy");

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

StoredValue blob(const QByteArray& bytes)
{
    return SettingsValue(bytes);
}
StoredValue text(const QString& value)
{
    return SettingsValue(value);
}
StoredValue integer(qint64 value)
{
    return SettingsValue(value);
}
StoredValue boolean(bool value)
{
    return SettingsValue(value);
}

// The stored list of A and B with one element changed by edit.
QByteArray editedList(qsizetype element, const std::function<void(QJsonObject&)>& edit)
{
    QJsonArray array =
        QJsonDocument::fromJson(encodeServerProfiles(letteredList(QStringLiteral("AB")))).array();
    QJsonObject object = array.at(element).toObject();
    edit(object);
    array.replace(element, object);
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

} // namespace

class MonitorCoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void profilesAndSelectionAtStart_data();
    void profilesAndSelectionAtStart();
    void fallbackProfileUsesOlderKeys();
    void intervalAtStart_data();
    void intervalAtStart();
    void notificationsAtStart_data();
    void notificationsAtStart();
    void startRefreshesEnabledProfiles();
    void writingInterval_data();
    void writingInterval();
    void writingNotifications_data();
    void writingNotifications();
    void plainPropertiesOnlyNotify();

private:
    std::unique_ptr<MonitorFixture> m_fixture;
    std::unique_ptr<ServerMonitor> m_monitor;
};

void MonitorCoreTest::init()
{
    m_fixture = std::make_unique<MonitorFixture>();
}

void MonitorCoreTest::cleanup()
{
    // No fake ssh may outlive its folder.
    if (m_monitor)
        QVERIFY(settle(*m_monitor));
    m_monitor.reset();
    m_fixture.reset();
}

void MonitorCoreTest::profilesAndSelectionAtStart_data()
{
    QTest::addColumn<StoredValue>("profiles");
    QTest::addColumn<StoredValue>("selection");
    QTest::addColumn<QString>("expected");  // letters of the profiles, or the fallback
    QTest::addColumn<int>("selectedIndex"); // -1: nothing selected

    const QByteArray ab = encodeServerProfiles(letteredList(QStringLiteral("AB")));
    const QString b = uuidText(idOf(QLatin1Char('B')));

    QTest::newRow("empty store") << StoredValue() << StoredValue() << kLegacy << 0;
    QTest::newRow("empty list") << blob("[]") << StoredValue() << QString() << -1;
    QTest::newRow("empty list, stale selection")
        << blob("[]") << text(uuidText(idOf(QLatin1Char('A')))) << QString() << -1;
    QTest::newRow("list, no selection") << blob(ab) << StoredValue() << QStringLiteral("AB") << 0;
    QTest::newRow("selection of the second") << blob(ab) << text(b) << QStringLiteral("AB") << 1;
    QTest::newRow("selection in lower case")
        << blob(ab) << text(b.toLower()) << QStringLiteral("AB") << 1;
    QTest::newRow("selection of a removed profile")
        << blob(ab) << text(uuidText(idOf(QLatin1Char('Z')))) << QStringLiteral("AB") << 0;
    QTest::newRow("selection not a UUID")
        << blob(ab) << text(QStringLiteral("B")) << QStringLiteral("AB") << 0;
    QTest::newRow("selection in braces")
        << blob(ab) << text(QLatin1Char('{') + b + QLatin1Char('}')) << QStringLiteral("AB") << 0;
    QTest::newRow("selection empty text")
        << blob(ab) << text(QString()) << QStringLiteral("AB") << 0;
    QTest::newRow("selection stored as blob")
        << blob(ab) << blob(b.toUtf8()) << QStringLiteral("AB") << 0;
    QTest::newRow("element without host")
        << blob(editedList(1, [](QJsonObject& o) { o.remove(QStringLiteral("host")); })) << text(b)
        << kLegacy << 0;
    QTest::newRow("element with numeric port")
        << blob(editedList(0, [](QJsonObject& o) { o.insert(QStringLiteral("port"), 22); }))
        << StoredValue() << kLegacy << 0;
    QTest::newRow("element with id that is no UUID") << blob(editedList(0, [](QJsonObject& o) {
        o.insert(QStringLiteral("id"), QStringLiteral("A"));
    })) << StoredValue() << kLegacy << 0;
    QTest::newRow("not JSON") << blob("garbage") << StoredValue() << kLegacy << 0;
    QTest::newRow("object instead of array")
        << blob(R"({"id":"x"})") << StoredValue() << kLegacy << 0;
    QTest::newRow("list stored as text") << text(QString::fromUtf8(ab)) << text(b) << kLegacy << 0;
    QTest::newRow("list stored as integer") << integer(1) << StoredValue() << kLegacy << 0;
}

void MonitorCoreTest::profilesAndSelectionAtStart()
{
    QFETCH(StoredValue, profiles);
    QFETCH(StoredValue, selection);
    QFETCH(QString, expected);
    QFETCH(int, selectedIndex);
    m_fixture->seed(ServerMonitor::profilesKey, profiles);
    m_fixture->seed(ServerMonitor::selectedKey, selection);

    m_monitor = m_fixture->make();
    const QList<ServerProfile>& servers = m_monitor->servers();
    if (expected == kLegacy) {
        QCOMPARE(servers.size(), 1);
        QCOMPARE(servers.first().name, QStringLiteral("Corvane"));
        QCOMPARE(servers.first().remoteCommand,
                 QStringLiteral("sudo -n /usr/local/bin/corvane-health-json"));
    } else {
        QCOMPARE(servers, letteredList(expected));
    }
    if (selectedIndex < 0)
        QCOMPARE(m_monitor->selectedID(), std::nullopt);
    else
        QCOMPARE(m_monitor->selectedID(), servers.at(selectedIndex).id);

    // Start-up repairs in memory only; the fallback reaches the store with the next write-back.
    QVERIFY(settle(*m_monitor));
    QVERIFY(m_fixture->store->writes().isEmpty());
    QCOMPARE(m_fixture->store->blob(key(ServerMonitor::profilesKey)),
             profiles && std::holds_alternative<QByteArray>(*profiles)
                 ? std::optional(std::get<QByteArray>(*profiles))
                 : std::nullopt);
}

void MonitorCoreTest::fallbackProfileUsesOlderKeys()
{
    m_fixture->seed("server.host", text(QStringLiteral("127.0.0.1")));
    m_fixture->seed("server.user", text(QStringLiteral("olduser")));
    m_fixture->seed("server.port", text(QStringLiteral("2200")));
    m_fixture->seed("server.keyFile", text(QStringLiteral("~/.ssh/old_key")));

    m_monitor = m_fixture->make();
    QCOMPARE(m_monitor->servers().size(), 1);
    const ServerProfile& profile = m_monitor->servers().first();
    QCOMPARE(profile.host, QStringLiteral("127.0.0.1"));
    QCOMPARE(profile.user, QStringLiteral("olduser"));
    QCOMPARE(profile.port, QStringLiteral("2200"));
    QCOMPARE(profile.keyFile, QStringLiteral("~/.ssh/old_key"));
    QVERIFY(settle(*m_monitor));
    // The older keys are only read, never rewritten or removed.
    QVERIFY(m_fixture->store->writes().isEmpty());
    QCOMPARE(m_fixture->store->text(QStringLiteral("server.host")), QStringLiteral("127.0.0.1"));
}

void MonitorCoreTest::intervalAtStart_data()
{
    QTest::addColumn<StoredValue>("stored");
    QTest::addColumn<qint64>("minutes");
    QTest::addColumn<qint64>("periodMs");
    QTest::newRow("absent") << StoredValue() << qint64(5) << qint64(300000);
    QTest::newRow("15") << integer(15) << qint64(15) << qint64(900000);
    QTest::newRow("90, no upper bound") << integer(90) << qint64(90) << qint64(5400000);
    QTest::newRow("1") << integer(1) << qint64(1) << qint64(60000);
    QTest::newRow("0 raised to 1") << integer(0) << qint64(1) << qint64(60000);
    QTest::newRow("negative raised to 1") << integer(-7) << qint64(1) << qint64(60000);
    QTest::newRow("saved as text") << text(QStringLiteral("15")) << qint64(5) << qint64(300000);
    QTest::newRow("saved as boolean") << boolean(true) << qint64(5) << qint64(300000);
    QTest::newRow("saved as blob") << blob("15") << qint64(5) << qint64(300000);
    // Beyond what a timer can count the period is clamped, and the stored value still holds.
    QTest::newRow("beyond the timer's range") << integer(1000000000000) << qint64(1000000000000)
                                              << qint64(std::numeric_limits<int>::max());
}

void MonitorCoreTest::intervalAtStart()
{
    QFETCH(StoredValue, stored);
    QFETCH(qint64, minutes);
    QFETCH(qint64, periodMs);
    m_fixture->seedProfiles(letteredList(QStringLiteral("A")));
    m_fixture->seed(ServerMonitor::intervalKey, stored);

    m_monitor = m_fixture->make();
    QCOMPARE(m_monitor->intervalMinutes(), minutes);
    QCOMPARE(m_monitor->timerPeriodMs(), periodMs);
    QVERIFY(settle(*m_monitor));
    QVERIFY(m_fixture->store->writes().isEmpty());
}

void MonitorCoreTest::notificationsAtStart_data()
{
    QTest::addColumn<StoredValue>("stored");
    QTest::addColumn<bool>("expected");
    QTest::newRow("absent") << StoredValue() << true;
    QTest::newRow("off") << boolean(false) << false;
    QTest::newRow("on") << boolean(true) << true;
    QTest::newRow("saved as integer 0") << integer(0) << true;
    QTest::newRow("saved as text false") << text(QStringLiteral("false")) << true;
}

void MonitorCoreTest::notificationsAtStart()
{
    QFETCH(StoredValue, stored);
    QFETCH(bool, expected);
    m_fixture->seedProfiles(letteredList(QStringLiteral("A")));
    m_fixture->seed(ServerMonitor::notificationsKey, stored);

    m_monitor = m_fixture->make();
    QCOMPARE(m_monitor->notifications(), expected);
    QVERIFY(settle(*m_monitor));
    QVERIFY(m_fixture->store->writes().isEmpty());
}

void MonitorCoreTest::startRefreshesEnabledProfiles()
{
    QList<ServerProfile> profiles = letteredList(QStringLiteral("ABC"));
    profiles[1].enabled = false;
    m_fixture->seedProfiles(profiles);

    m_monitor = m_fixture->make();
    // Started, not awaited: both runs are in flight when construction returns.
    QCOMPARE(m_monitor->results().size(), 2);
    for (const QChar letter : {QLatin1Char('A'), QLatin1Char('C')}) {
        const ServerResult result = m_monitor->results().value(idOf(letter));
        QVERIFY(result.refreshing);
        QVERIFY(!result.report);
    }

    QVERIFY(settle(*m_monitor));
    QCOMPARE(m_fixture->sshRuns(), 2);
    QVERIFY(!m_monitor->results().contains(idOf(QLatin1Char('B'))));
    for (const QChar letter : {QLatin1Char('A'), QLatin1Char('C')}) {
        const ServerResult result = m_monitor->results().value(idOf(letter));
        QVERIFY(result.report);
        QCOMPARE(result.report->counts.ok, 3);
        QVERIFY(!result.error);
    }
    // The first result after start-up never notifies.
    QVERIFY(m_fixture->notifier->posted().isEmpty());
}

void MonitorCoreTest::writingInterval_data()
{
    QTest::addColumn<qint64>("minutes");
    QTest::addColumn<qint64>("secondsPerMinute");
    QTest::addColumn<qint64>("periodMs");
    QTest::addColumn<qint64>("nextStart"); // the interval a later start-up reads back
    QTest::newRow("same as before") << qint64(5) << qint64(60) << qint64(300000) << qint64(5);
    QTest::newRow("15") << qint64(15) << qint64(60) << qint64(900000) << qint64(15);
    QTest::newRow("0 arms one minute") << qint64(0) << qint64(60) << qint64(60000) << qint64(1);
    QTest::newRow("negative arms one minute")
        << qint64(-3) << qint64(60) << qint64(60000) << qint64(1);
    QTest::newRow("short minutes") << qint64(3) << qint64(2) << qint64(6000) << qint64(3);
    QTest::newRow("0 with one-second minutes")
        << qint64(0) << qint64(1) << qint64(1000) << qint64(1);
}

void MonitorCoreTest::writingInterval()
{
    QFETCH(qint64, minutes);
    QFETCH(qint64, secondsPerMinute);
    QFETCH(qint64, periodMs);
    QFETCH(qint64, nextStart);
    m_fixture->seedProfiles(letteredList(QStringLiteral("A")));
    m_monitor = m_fixture->make(secondsPerMinute);
    QVERIFY(settle(*m_monitor));
    QSignalSpy changed(m_monitor.get(), &ServerMonitor::intervalMinutesChanged);
    QList<qint64> seenBySlot;
    connect(m_monitor.get(), &ServerMonitor::intervalMinutesChanged, this,
            [&] { seenBySlot.append(m_monitor->intervalMinutes()); });

    // Every write stores and re-arms, whether or not the value changed.
    for (int round = 1; round <= 2; ++round) {
        m_monitor->setIntervalMinutes(minutes);
        QCOMPARE(changed.count(), round);
        QCOMPARE(seenBySlot.last(), minutes);
        QCOMPARE(m_monitor->intervalMinutes(), minutes);
        QCOMPARE(m_monitor->timerPeriodMs(), periodMs);
        QCOMPARE(m_fixture->store->writes().size(), round);
        const MemorySettingsStore::Write& write = m_fixture->store->writes().last();
        QCOMPARE(write.key, key(ServerMonitor::intervalKey));
        QCOMPARE(write.value, integer(minutes));
    }
    // Re-arming does not refresh by itself.
    QVERIFY(!m_monitor->results().value(idOf(QLatin1Char('A'))).refreshing);
    QCOMPARE(m_fixture->sshRuns(), 1);

    m_monitor.reset();
    m_monitor = m_fixture->make(secondsPerMinute);
    QCOMPARE(m_monitor->intervalMinutes(), nextStart);
}

void MonitorCoreTest::writingNotifications_data()
{
    QTest::addColumn<StoredValue>("stored");
    QTest::addColumn<bool>("written");
    QTest::newRow("default on, written on") << StoredValue() << true;
    QTest::newRow("default on, written off") << StoredValue() << false;
    QTest::newRow("off, written on") << boolean(false) << true;
    QTest::newRow("off, written off") << boolean(false) << false;
}

void MonitorCoreTest::writingNotifications()
{
    QFETCH(StoredValue, stored);
    QFETCH(bool, written);
    m_fixture->seedProfiles(letteredList(QStringLiteral("A")));
    m_fixture->seed(ServerMonitor::notificationsKey, stored);
    m_monitor = m_fixture->make();
    QVERIFY(settle(*m_monitor));
    const std::optional<qint64> period = m_monitor->timerPeriodMs();
    QSignalSpy changed(m_monitor.get(), &ServerMonitor::notificationsChanged);

    for (int round = 1; round <= 2; ++round) {
        m_monitor->setNotifications(written);
        QCOMPARE(changed.count(), round);
        QCOMPARE(m_monitor->notifications(), written);
        QCOMPARE(m_fixture->store->writes().size(), round);
        const MemorySettingsStore::Write& write = m_fixture->store->writes().last();
        QCOMPARE(write.key, key(ServerMonitor::notificationsKey));
        QCOMPARE(write.value, boolean(written));
    }
    // The switch itself posts nothing and leaves the timer alone.
    QVERIFY(m_fixture->notifier->posted().isEmpty());
    QCOMPARE(m_monitor->timerPeriodMs(), period);
    QCOMPARE(m_fixture->sshRuns(), 1);
}

void MonitorCoreTest::plainPropertiesOnlyNotify()
{
    m_fixture->seedProfiles(letteredList(QStringLiteral("AB")));
    m_monitor = m_fixture->make();
    QVERIFY(settle(*m_monitor));
    QSignalSpy servers(m_monitor.get(), &ServerMonitor::serversChanged);
    QSignalSpy results(m_monitor.get(), &ServerMonitor::resultsChanged);
    QSignalSpy selection(m_monitor.get(), &ServerMonitor::selectedIDChanged);

    // Writing the same values again still notifies, and stores nothing.
    m_monitor->setServers(m_monitor->servers());
    m_monitor->setResults(m_monitor->results());
    m_monitor->setSelectedID(m_monitor->selectedID());
    QCOMPARE(servers.count(), 1);
    QCOMPARE(results.count(), 1);
    QCOMPARE(selection.count(), 1);

    m_monitor->setServers({lettered(QLatin1Char('C'), false)});
    m_monitor->setSelectedID(std::nullopt);
    QCOMPARE(lettersOf(m_monitor->servers()), QStringLiteral("C"));
    QCOMPARE(m_monitor->selectedID(), std::nullopt);
    QCOMPARE(servers.count(), 2);
    QCOMPARE(selection.count(), 2);
    QVERIFY(m_fixture->store->writes().isEmpty());
    QCOMPARE(m_fixture->sshRuns(), 2);
}

QTEST_GUILESS_MAIN(MonitorCoreTest)
#include "MonitorCoreTest.moc"
