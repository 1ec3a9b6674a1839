#include "MonitorFixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace corvane;
using namespace corvane::test;

namespace {

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

// Index of a letter in a list of letters, -1 for none; "" names no profile.
std::optional<QUuid> idAt(const QString& letters, int index)
{
    if (index < 0)
        return std::nullopt;
    return idOf(letters.at(index));
}

ServerResult finishedResult()
{
    HealthReport report;
    report.counts.ok = 9;
    return ServerResult{report, QStringLiteral("old error"), QDateTime::currentDateTimeUtc(),
                        false};
}

} // namespace

class ProfileManagementTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void select_data();
    void select();
    void save_data();
    void save();
    void remove_data();
    void remove();
    void removeForgetsEarlierRefreshes_data();
    void removeForgetsEarlierRefreshes();
    void move_data();
    void move();

private:
    // A settled monitor over the profiles named by letters, with the one at selected chosen
    // (-1: nothing selected) and the store's write log emptied.
    [[nodiscard]] bool start(const QString& letters, int selected = 0);

    std::unique_ptr<MonitorFixture> m_fixture;
    std::unique_ptr<ServerMonitor> m_monitor;
};

void ProfileManagementTest::init()
{
    m_fixture = std::make_unique<MonitorFixture>();
}

void ProfileManagementTest::cleanup()
{
    if (m_monitor)
        QVERIFY(settle(*m_monitor));
    m_monitor.reset();
    m_fixture.reset();
}

bool ProfileManagementTest::start(const QString& letters, int selected)
{
    m_fixture->seedProfiles(letteredList(letters));
    m_monitor = m_fixture->make();
    if (!settle(*m_monitor))
        return false;
    m_monitor->setSelectedID(idAt(letters, selected));
    m_fixture->store->clearWrites();
    return true;
}

void ProfileManagementTest::select_data()
{
    QTest::addColumn<QChar>("target");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("another profile") << QChar(QLatin1Char('C')) << true;
    QTest::newRow("the selected profile again") << QChar(QLatin1Char('A')) << true;
    QTest::newRow("an id no profile has") << QChar(QLatin1Char('Z')) << false;
}

void ProfileManagementTest::select()
{
    QFETCH(QChar, target);
    QFETCH(bool, accepted);
    QVERIFY(start(QStringLiteral("ABC"), 0));
    const QHash<QUuid, ServerResult> results = m_monitor->results();
    const int runs = m_fixture->sshRuns();
    QSignalSpy selection(m_monitor.get(), &ServerMonitor::selectedIDChanged);
    QSignalSpy servers(m_monitor.get(), &ServerMonitor::serversChanged);

    m_monitor->select(idOf(target));

    const QList<MemorySettingsStore::Write>& writes = m_fixture->store->writes();
    if (accepted) {
        QCOMPARE(m_monitor->selectedID(), idOf(target));
        QCOMPARE(selection.count(), 1);
        QCOMPARE(writes.size(), 1);
        QCOMPARE(writes.first().key, key(ServerMonitor::selectedKey));
        // The canonical upper-case form, 36 characters.
        const QString stored = std::get<QString>(*writes.first().value);
        QCOMPARE(stored, idOf(target).toString(QUuid::WithoutBraces).toUpper());
        QCOMPARE(stored.size(), 36);
    } else {
        QCOMPARE(m_monitor->selectedID(), idOf(QLatin1Char('A')));
        QCOMPARE(selection.count(), 0);
        QVERIFY(writes.isEmpty());
    }
    // Choosing refreshes nothing and leaves the list alone.
    QCOMPARE(m_monitor->results(), results);
    QCOMPARE(servers.count(), 0);
    QCOMPARE(m_fixture->sshRuns(), runs);
}

void ProfileManagementTest::save_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QChar>("saved");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("expected");
    QTest::newRow("replaces the first in place")
        << QStringLiteral("ABC") << QChar(QLatin1Char('A')) << true << QStringLiteral("ABC");
    QTest::newRow("replaces the last in place")
        << QStringLiteral("ABC") << QChar(QLatin1Char('C')) << true << QStringLiteral("ABC");
    QTest::newRow("appends a new one")
        << QStringLiteral("ABC") << QChar(QLatin1Char('D')) << true << QStringLiteral("ABCD");
    QTest::newRow("appends a new disabled one")
        << QStringLiteral("ABC") << QChar(QLatin1Char('D')) << false << QStringLiteral("ABCD");
    QTest::newRow("disables one in place")
        << QStringLiteral("ABC") << QChar(QLatin1Char('B')) << false << QStringLiteral("ABC");
    QTest::newRow("into an empty list")
        << QString() << QChar(QLatin1Char('D')) << true << QStringLiteral("D");
}

void ProfileManagementTest::save()
{
    QFETCH(QString, initial);
    QFETCH(QChar, saved);
    QFETCH(bool, enabled);
    QFETCH(QString, expected);
    QVERIFY(start(initial, initial.isEmpty() ? -1 : 1 % initial.size()));

    ServerProfile profile = lettered(saved, enabled);
    profile.remoteCommand = QStringLiteral("health-json --edited");
    profile.requiredServices = {QStringLiteral("edited")};
    QList<ServerProfile> expectedList = letteredList(expected);
    expectedList[expected.indexOf(saved)] = profile;

    // An old outcome for the saved id, also for a new one, that save must forget.
    QHash<QUuid, ServerResult> results = m_monitor->results();
    results.insert(profile.id, finishedResult());
    m_monitor->setResults(results);
    m_fixture->store->clearWrites();
    const int runs = m_fixture->sshRuns();

    QStringList events;
    connect(m_monitor.get(), &ServerMonitor::serversChanged, this,
            [&] { events << QStringLiteral("servers"); });
    connect(m_monitor.get(), &ServerMonitor::resultsChanged, this,
            [&] { events << QStringLiteral("results"); });
    connect(m_monitor.get(), &ServerMonitor::selectedIDChanged, this,
            [&] { events << QStringLiteral("selection"); });

    m_monitor->save(profile);

    QCOMPARE(m_monitor->servers(), expectedList);
    QCOMPARE(m_monitor->selectedID(), profile.id);
    QStringList expectedEvents{QStringLiteral("servers"), QStringLiteral("results"),
                               QStringLiteral("selection")};
    if (enabled)
        expectedEvents << QStringLiteral("results"); // its refresh has started
    QCOMPARE(events, expectedEvents);

    // The list, then the selection by the write-back, then the selection again by choosing it.
    const QList<MemorySettingsStore::Write>& writes = m_fixture->store->writes();
    QCOMPARE(writes.size(), 3);
    QCOMPARE(writes.at(0).key, key(ServerMonitor::profilesKey));
    QCOMPARE(writes.at(1).key, key(ServerMonitor::selectedKey));
    QCOMPARE(writes.at(2).key, key(ServerMonitor::selectedKey));
    QCOMPARE(storedProfiles(*m_fixture->store), expectedList);
    QCOMPARE(m_fixture->store->text(key(ServerMonitor::selectedKey)), uuidText(profile.id));

    // Until its refresh ends the saved server has neither report nor error.
    if (enabled) {
        const ServerResult pending = m_monitor->results().value(profile.id);
        QVERIFY(pending.refreshing);
        QVERIFY(!pending.report);
        QVERIFY(!pending.error);
        QCOMPARE(pending.status(), HealthStatus::warn);
    } else {
        QVERIFY(!m_monitor->results().contains(profile.id));
    }
    // Nobody else's outcome is touched.
    for (const ServerProfile& other : m_monitor->servers())
        if (other.id != profile.id)
            QVERIFY(m_monitor->results().value(other.id).report);

    QVERIFY(settle(*m_monitor));
    if (enabled) {
        const ServerResult done = m_monitor->results().value(profile.id);
        QVERIFY(done.report);
        QVERIFY(!done.error);
        QCOMPARE(done.report->counts.ok, 3);
        QCOMPARE(m_fixture->sshRuns(), runs + 1);
    } else {
        QVERIFY(!m_monitor->results().contains(profile.id));
        QCOMPARE(m_fixture->sshRuns(), runs);
    }
}

void ProfileManagementTest::remove_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("selected"); // index in initial, -1: none
    QTest::addColumn<QChar>("removed");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("selectedAfter"); // index in expected, -1: none
    const QString abc = QStringLiteral("ABC");
    QTest::newRow("selected first: the second takes over")
        << abc << 0 << QChar(QLatin1Char('A')) << QStringLiteral("BC") << 0;
    QTest::newRow("selected middle: the first takes over")
        << abc << 1 << QChar(QLatin1Char('B')) << QStringLiteral("AC") << 0;
    QTest::newRow("selected last: the first takes over")
        << abc << 2 << QChar(QLatin1Char('C')) << QStringLiteral("AB") << 0;
    QTest::newRow("not selected, selection before it")
        << abc << 0 << QChar(QLatin1Char('C')) << QStringLiteral("AB") << 0;
    QTest::newRow("not selected, selection after it")
        << abc << 2 << QChar(QLatin1Char('A')) << QStringLiteral("BC") << 1;
    QTest::newRow("nothing selected")
        << abc << -1 << QChar(QLatin1Char('B')) << QStringLiteral("AC") << -1;
    QTest::newRow("an id no profile has") << abc << 1 << QChar(QLatin1Char('Z')) << abc << 1;
    QTest::newRow("selected of two: the other takes over")
        << QStringLiteral("AB") << 1 << QChar(QLatin1Char('B')) << QStringLiteral("A") << 0;
    QTest::newRow("the only profile")
        << QStringLiteral("A") << 0 << QChar(QLatin1Char('A')) << QString() << -1;
}

void ProfileManagementTest::remove()
{
    QFETCH(QString, initial);
    QFETCH(int, selected);
    QFETCH(QChar, removed);
    QFETCH(QString, expected);
    QFETCH(int, selectedAfter);
    QVERIFY(start(initial, selected));
    // A stray outcome for the removed id goes too, even when no profile has that id.
    QHash<QUuid, ServerResult> results = m_monitor->results();
    results.insert(idOf(removed), finishedResult());
    m_monitor->setResults(results);
    m_fixture->store->clearWrites();
    const int runs = m_fixture->sshRuns();

    m_monitor->remove(idOf(removed));

    QCOMPARE(m_monitor->servers(), letteredList(expected));
    QCOMPARE(m_monitor->selectedID(), idAt(expected, selectedAfter));
    QVERIFY(!m_monitor->results().contains(idOf(removed)));
    QCOMPARE(m_monitor->results().size(), expected.size());

    const QList<MemorySettingsStore::Write>& writes = m_fixture->store->writes();
    QCOMPARE(writes.size(), 2);
    QCOMPARE(writes.at(0).key, key(ServerMonitor::profilesKey));
    QCOMPARE(writes.at(1).key, key(ServerMonitor::selectedKey));
    QCOMPARE(storedProfiles(*m_fixture->store), letteredList(expected));
    if (selectedAfter < 0) {
        QCOMPARE(writes.at(1).value, std::nullopt);
        QVERIFY(!m_fixture->store->contains(key(ServerMonitor::selectedKey)));
    } else {
        QCOMPARE(m_fixture->store->text(key(ServerMonitor::selectedKey)),
                 uuidText(idOf(expected.at(selectedAfter))));
    }
    QCOMPARE(m_fixture->sshRuns(), runs);
}

void ProfileManagementTest::removeForgetsEarlierRefreshes_data()
{
    QTest::addColumn<bool>("removeFirst");
    QTest::addColumn<int>("notifications");
    // Saved again while still known: a failure after its earlier refresh is news.
    QTest::newRow("saved again") << false << 1;
    // Removed and added back: it counts as new, and its first outcome is silent.
    QTest::newRow("removed, then added back") << true << 0;
}

void ProfileManagementTest::removeForgetsEarlierRefreshes()
{
    QFETCH(bool, removeFirst);
    QFETCH(int, notifications);
    QVERIFY(start(QStringLiteral("A"), 0));
    QVERIFY(m_monitor->results().value(idOf(QLatin1Char('A'))).report);

    if (removeFirst)
        m_monitor->remove(idOf(QLatin1Char('A')));
    m_fixture->setFailing(true);
    m_monitor->save(lettered(QLatin1Char('A')));
    QVERIFY(settle(*m_monitor));

    QVERIFY(m_monitor->results().value(idOf(QLatin1Char('A'))).error);
    QCOMPARE(m_fixture->notifier->posted().size(), notifications);
    if (notifications)
        QCOMPARE(m_fixture->notifier->posted().first().title, QStringLiteral("A unreachable"));
}

void ProfileManagementTest::move_data()
{
    QTest::addColumn<QList<qsizetype>>("from");
    QTest::addColumn<qsizetype>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first before the last")
        << QList<qsizetype>{0} << qsizetype(3) << QStringLiteral("BCAD");
    QTest::newRow("second and fourth to the top")
        << QList<qsizetype>{1, 3} << qsizetype(0) << QStringLiteral("BDAC");
    QTest::newRow("first onto itself")
        << QList<qsizetype>{0} << qsizetype(0) << QStringLiteral("ABCD");
    QTest::newRow("first just after itself")
        << QList<qsizetype>{0} << qsizetype(1) << QStringLiteral("ABCD");
    QTest::newRow("first to the end")
        << QList<qsizetype>{0} << qsizetype(4) << QStringLiteral("BCDA");
    QTest::newRow("last to the top")
        << QList<qsizetype>{3} << qsizetype(0) << QStringLiteral("DABC");
    QTest::newRow("last onto the end")
        << QList<qsizetype>{3} << qsizetype(4) << QStringLiteral("ABCD");
    QTest::newRow("two leading to the end")
        << QList<qsizetype>{0, 1} << qsizetype(4) << QStringLiteral("CDAB");
    QTest::newRow("block onto its own inside")
        << QList<qsizetype>{1, 2} << qsizetype(2) << QStringLiteral("ABCD");
    QTest::newRow("outer two into the middle")
        << QList<qsizetype>{0, 3} << qsizetype(2) << QStringLiteral("BADC");
    QTest::newRow("positions given out of order")
        << QList<qsizetype>{3, 1} << qsizetype(0) << QStringLiteral("BDAC");
    QTest::newRow("all of them") << QList<qsizetype>{0, 1, 2, 3} << qsizetype(2)
                                 << QStringLiteral("ABCD");
}

void ProfileManagementTest::move()
{
    QFETCH(QList<qsizetype>, from);
    QFETCH(qsizetype, to);
    QFETCH(QString, expected);

    // Once with a selection and once without, which the write-back then removes.
    for (const bool withSelection : {true, false}) {
        QVERIFY(start(QStringLiteral("ABCD"), withSelection ? 1 : -1));
        const QHash<QUuid, ServerResult> results = m_monitor->results();
        QSignalSpy servers(m_monitor.get(), &ServerMonitor::serversChanged);

        m_monitor->move(from, to);

        QCOMPARE(lettersOf(m_monitor->servers()), expected);
        QCOMPARE(m_monitor->servers(), letteredList(expected));
        QCOMPARE(servers.count(), 1);
        QCOMPARE(m_monitor->results(), results);
        const QList<MemorySettingsStore::Write>& writes = m_fixture->store->writes();
        QCOMPARE(writes.size(), 2);
        QCOMPARE(writes.at(0).key, key(ServerMonitor::profilesKey));
        QCOMPARE(writes.at(1).key, key(ServerMonitor::selectedKey));
        QCOMPARE(storedProfiles(*m_fixture->store), letteredList(expected));
        if (withSelection) {
            QCOMPARE(m_monitor->selectedID(), idOf(QLatin1Char('B')));
            QCOMPARE(m_fixture->store->text(key(ServerMonitor::selectedKey)),
                     uuidText(idOf(QLatin1Char('B'))));
        } else {
            QCOMPARE(m_monitor->selectedID(), std::nullopt);
            QCOMPARE(writes.at(1).value, std::nullopt);
            QVERIFY(!m_fixture->store->contains(key(ServerMonitor::selectedKey)));
        }
        m_monitor.reset();
        m_fixture = std::make_unique<MonitorFixture>();
    }
}

QTEST_GUILESS_MAIN(ProfileManagementTest)
#include "ProfileManagementTest.moc"
