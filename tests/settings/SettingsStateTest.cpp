#include "GuiFixture.h"

#include "settings/SettingsState.h"
#include "settings/SettingsTexts.h"

#include <QCoro/QCoroTask>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;
using namespace corvane::test;

namespace {

const QString kFormMessage =
    QStringLiteral("Enter a name, host, SSH username, valid port and remote command.");
const QString kNameMessage =
    QStringLiteral("Use a valid systemd service name (letters, digits, @, _, -, or .).");

QStringList names(const QList<ServerProfile>& profiles)
{
    QStringList out;
    for (const ServerProfile& p : profiles)
        out.append(p.name);
    return out;
}

QStringList names(const QList<DiscoveredService>& services)
{
    QStringList out;
    for (const DiscoveredService& s : services)
        out.append(s.name + QLatin1Char('=') + s.state);
    return out;
}

// The profile list as the store holds it, so a test sees what a restart would read.
QStringList storedNames(const GuiFixture& fixture)
{
    const auto blob = fixture.store->blob(QString::fromLatin1(ServerMonitor::profilesKey));
    if (!blob)
        return {QStringLiteral("<nothing stored>")};
    const auto decoded = decodeServerProfiles(*blob);
    return decoded ? names(*decoded) : QStringList{QStringLiteral("<unreadable>")};
}

HealthReport withServices(const QList<DiscoveredService>& services)
{
    HealthReport r = report(HealthStatus::ok, 1);
    r.services = services;
    return r;
}

ServerProfile valid()
{
    ServerProfile p;
    p.name = QStringLiteral("web");
    p.host = QStringLiteral("127.0.0.1");
    p.user = QStringLiteral("ops");
    // Disabled so that saving it never starts a run.
    p.enabled = false;
    return p;
}

} // namespace

class SettingsStateTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void saveChecksTheDraft_data();
    void saveChecksTheDraft();
    void saveNewThenExisting();
    void removeEditsTheFirstServer();
    void removingTheLastServerKeepsTheDraft();
    void clearingTheSelectionKeepsTheDraft();
    void choosingAnotherServerDropsEdits();
    void newProfileStartsFresh();
    void settingsWriteOncePerRealChange_data();
    void settingsWriteOncePerRealChange();
    void shownFollowsThePanelSelection();
    void visibleServices_data();
    void visibleServices();
    void setRequired();
    void addRequiredService_data();
    void addRequiredService();
    void addingAPresentNameOnlyClears();
    void summaryOrder_data();
    void summaryOrder();
    void refreshServicesProbesTheStoredProfile();
};

void SettingsStateTest::saveChecksTheDraft_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("passes");

    QTest::newRow("name of three spaces") << u"name"_s << u"   "_s << false;
    QTest::newRow("name of a tab") << u"name"_s << u"\t"_s << false;
    QTest::newRow("name of a no-break space") << u"name"_s << QStringLiteral("\u00a0") << false;
    QTest::newRow("name of a line break only") << u"name"_s << u"\n"_s << true;
    QTest::newRow("name with spaces around") << u"name"_s << u"  web  "_s << true;
    QTest::newRow("host with two spaces around") << u"host"_s << u"  db.example  "_s << true;
    QTest::newRow("empty host") << u"host"_s << u""_s << false;
    QTest::newRow("blank user") << u"user"_s << u" \t "_s << false;
    QTest::newRow("port 22") << u"port"_s << u"22"_s << true;
    QTest::newRow("port +22") << u"port"_s << u"+22"_s << true;
    QTest::newRow("port 022") << u"port"_s << u"022"_s << true;
    QTest::newRow("port 1") << u"port"_s << u"1"_s << true;
    QTest::newRow("port 65535") << u"port"_s << u"65535"_s << true;
    QTest::newRow("port with a leading space") << u"port"_s << u" 22"_s << false;
    QTest::newRow("port with a trailing space") << u"port"_s << u"22 "_s << false;
    QTest::newRow("empty port") << u"port"_s << u""_s << false;
    QTest::newRow("port 0") << u"port"_s << u"0"_s << false;
    QTest::newRow("port -0") << u"port"_s << u"-0"_s << false;
    QTest::newRow("port 65536") << u"port"_s << u"65536"_s << false;
    QTest::newRow("port -1") << u"port"_s << u"-1"_s << false;
    QTest::newRow("port 22.0") << u"port"_s << u"22.0"_s << false;
    QTest::newRow("port abc") << u"port"_s << u"abc"_s << false;
    QTest::newRow("port +-22") << u"port"_s << u"+-22"_s << false;
    QTest::newRow("port sign only") << u"port"_s << u"+"_s << false;
    QTest::newRow("port in Arabic-Indic digits")
        << u"port"_s << QStringLiteral("\u0662\u0662") << false;
    QTest::newRow("port in full-width digits")
        << u"port"_s << QStringLiteral("\uff12\uff12") << false;
    QTest::newRow("port beyond 64 bits") << u"port"_s << u"99999999999999999999"_s << false;
    QTest::newRow("port 0x16") << u"port"_s << u"0x16"_s << false;
    QTest::newRow("blank command") << u"command"_s << u"  "_s << false;
    QTest::newRow("empty key path") << u"keyFile"_s << u""_s << true;
}

void SettingsStateTest::saveChecksTheDraft()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, passes);

    GuiFixture fixture;
    const ServerProfile other = fixture.server(QStringLiteral("other"), false);
    auto monitor = fixture.make({other}, other.id);
    SettingsState state(*monitor);
    state.newProfile();

    ServerProfile draft = valid();
    draft.id = state.draft().id;
    if (field == QLatin1String("name"))
        draft.name = value;
    else if (field == QLatin1String("host"))
        draft.host = value;
    else if (field == QLatin1String("user"))
        draft.user = value;
    else if (field == QLatin1String("port"))
        draft.port = value;
    else if (field == QLatin1String("command"))
        draft.remoteCommand = value;
    else
        draft.keyFile = value;
    state.setDraft(draft);

    QCOMPARE(state.save(), passes);
    QCOMPARE(state.draft(), draft);
    if (!passes) {
        QCOMPARE(state.validation(), kFormMessage);
        QCOMPARE(state.editingID(), std::nullopt);
        QCOMPARE(monitor->servers(), QList<ServerProfile>{other});
        QCOMPARE(monitor->selectedID(), std::optional<QUuid>(other.id));
        return;
    }
    QCOMPARE(state.validation(), QString());
    QCOMPARE(state.editingID(), std::optional<QUuid>(draft.id));
    // Stored exactly as typed; trimming only served the checks.
    QCOMPARE(monitor->servers(), (QList<ServerProfile>{other, draft}));
    const auto stored =
        decodeServerProfiles(*fixture.store->blob(QString::fromLatin1(ServerMonitor::profilesKey)));
    QVERIFY(stored);
    QCOMPARE(stored->last(), draft);
}

void SettingsStateTest::saveNewThenExisting()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    const ServerProfile b = fixture.server(QStringLiteral("B"), false);
    auto monitor = fixture.make({a, b}, a.id);
    SettingsState state(*monitor);
    state.shown();
    QCOMPARE(state.editingID(), std::optional<QUuid>(a.id));

    // A failed save leaves its message until a good one.
    state.newProfile();
    QCOMPARE(settingstexts::editorTitle(state.editingID()), QStringLiteral("Add a server"));
    QVERIFY(!state.save());
    QCOMPARE(state.validation(), kFormMessage);
    ServerProfile fresh = state.draft();
    fresh.host = QStringLiteral("127.0.0.1");
    fresh.user = QStringLiteral("ops");
    fresh.enabled = false;
    state.setDraft(fresh);
    QCOMPARE(state.validation(), kFormMessage);
    state.setNewRequiredService(QStringLiteral("half-typed"));
    QVERIFY(state.save());
    QCOMPARE(names(monitor->servers()), (QStringList{"A", "B", "New Server"}));
    QCOMPARE(monitor->selectedID(), std::optional<QUuid>(fresh.id));
    QCOMPARE(state.editingID(), std::optional<QUuid>(fresh.id));
    QCOMPARE(settingstexts::editorTitle(state.editingID()), QStringLiteral("Connection details"));
    QCOMPARE(state.validation(), QString());
    QCOMPARE(state.newRequiredService(), QString());

    // An existing profile keeps its place, and the add field keeps its text.
    state.setEditingID(a.id);
    ServerProfile edited = state.draft();
    edited.name = QStringLiteral("A2");
    state.setDraft(edited);
    state.setNewRequiredService(QStringLiteral("half-typed"));
    QVERIFY(state.save());
    QCOMPARE(names(monitor->servers()), (QStringList{"A2", "B", "New Server"}));
    QCOMPARE(storedNames(fixture), (QStringList{"A2", "B", "New Server"}));
    QCOMPARE(monitor->selectedID(), std::optional<QUuid>(a.id));
    QCOMPARE(state.newRequiredService(), QStringLiteral("half-typed"));
}

void SettingsStateTest::removeEditsTheFirstServer()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    const ServerProfile b = fixture.server(QStringLiteral("B"), false);
    ServerProfile c = fixture.server(QStringLiteral("C"), false);
    c.port = QStringLiteral("2222");
    auto monitor = fixture.make({a, b, c}, c.id);
    SettingsState state(*monitor);
    state.shown();
    state.setNewRequiredService(QStringLiteral("x"));

    // The list's first, not the removed one's neighbour.
    state.removeEdited();
    QCOMPARE(names(monitor->servers()), (QStringList{"A", "B"}));
    QCOMPARE(storedNames(fixture), (QStringList{"A", "B"}));
    QCOMPARE(state.editingID(), std::optional<QUuid>(a.id));
    QCOMPARE(state.draft(), a);
    QCOMPARE(state.newRequiredService(), QString());
    QCOMPARE(monitor->selectedID(), std::optional<QUuid>(a.id));

    state.setEditingID(b.id);
    state.removeEdited();
    QCOMPARE(names(monitor->servers()), QStringList{"A"});
    QCOMPARE(state.editingID(), std::optional<QUuid>(a.id));
    QCOMPARE(monitor->selectedID(), std::optional<QUuid>(a.id));

    // Nothing edited: nothing removed.
    state.newProfile();
    state.removeEdited();
    QCOMPARE(names(monitor->servers()), QStringList{"A"});
}

void SettingsStateTest::removingTheLastServerKeepsTheDraft()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    auto monitor = fixture.make({a}, a.id);
    SettingsState state(*monitor);
    state.shown();
    state.removeEdited();
    QVERIFY(monitor->servers().isEmpty());
    QCOMPARE(state.editingID(), std::nullopt);
    QCOMPARE(state.draft(), a);

    // Saving it again brings it back under its old id.
    QVERIFY(state.save());
    QCOMPARE(monitor->servers(), QList<ServerProfile>{a});
    QCOMPARE(state.editingID(), std::optional<QUuid>(a.id));
}

void SettingsStateTest::clearingTheSelectionKeepsTheDraft()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    const ServerProfile b = fixture.server(QStringLiteral("B"), false);
    auto monitor = fixture.make({a, b}, b.id);
    SettingsState state(*monitor);
    state.shown();
    state.setEditingID(std::nullopt);
    QCOMPARE(state.draft(), b);
    QCOMPARE(settingstexts::editorTitle(state.editingID()), QStringLiteral("Add a server"));

    // Saved under its own id: it updates the server it came from, in place.
    ServerProfile edited = state.draft();
    edited.user = QStringLiteral("root");
    state.setDraft(edited);
    QVERIFY(state.save());
    QCOMPARE(monitor->servers(), (QList<ServerProfile>{a, edited}));
    QCOMPARE(state.editingID(), std::optional<QUuid>(b.id));
}

void SettingsStateTest::choosingAnotherServerDropsEdits()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    const ServerProfile b = fixture.server(QStringLiteral("B"), false);
    auto monitor = fixture.make({a, b}, a.id);
    SettingsState state(*monitor);
    state.shown();
    ServerProfile edited = state.draft();
    edited.host.clear();
    state.setDraft(edited);
    QVERIFY(!state.save());
    state.setNewRequiredService(QStringLiteral("mysql"));

    state.setEditingID(b.id);
    QCOMPARE(state.draft(), b);
    QCOMPARE(state.validation(), QString());
    QCOMPARE(state.newRequiredService(), QString());
    QCOMPARE(monitor->servers(), (QList<ServerProfile>{a, b}));
    // Choosing in the window does not move the panel's selection.
    QCOMPARE(monitor->selectedID(), std::optional<QUuid>(a.id));

    // An id that is not in the list leaves the draft as it is.
    state.setEditingID(QUuid::createUuid());
    QCOMPARE(state.draft(), b);
}

void SettingsStateTest::newProfileStartsFresh()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    auto monitor = fixture.make({a}, a.id);
    SettingsState state(*monitor);
    state.shown();
    state.setNewRequiredService(QStringLiteral("x"));
    ServerProfile broken = state.draft();
    broken.name.clear();
    state.setDraft(broken);
    QVERIFY(!state.save());

    state.newProfile();
    QCOMPARE(state.editingID(), std::nullopt);
    QCOMPARE(state.validation(), QString());
    QCOMPARE(state.newRequiredService(), QString());
    const ServerProfile fresh = state.draft();
    QVERIFY(fresh.id != a.id);
    ServerProfile expected;
    expected.id = fresh.id;
    QCOMPARE(fresh, expected);
    QCOMPARE(monitor->servers(), QList<ServerProfile>{a});

    // Each new profile has its own id.
    state.newProfile();
    QVERIFY(state.draft().id != fresh.id);
}

void SettingsStateTest::settingsWriteOncePerRealChange_data()
{
    QTest::addColumn<qint64>("storedInterval");
    QTest::addColumn<bool>("storedNotifications");
    QTest::addColumn<int>("intervalWritesOnShow");
    QTest::addColumn<int>("notificationWritesOnShow");

    QTest::newRow("defaults") << qint64(5) << true << 0 << 0;
    QTest::newRow("another interval") << qint64(15) << true << 1 << 0;
    QTest::newRow("an interval not offered") << qint64(2) << true << 1 << 0;
    QTest::newRow("notifications off") << qint64(5) << false << 0 << 1;
}

void SettingsStateTest::settingsWriteOncePerRealChange()
{
    QFETCH(qint64, storedInterval);
    QFETCH(bool, storedNotifications);
    QFETCH(int, intervalWritesOnShow);
    QFETCH(int, notificationWritesOnShow);

    GuiFixture fixture;
    fixture.store->set(QString::fromLatin1(ServerMonitor::intervalKey),
                       SettingsValue(storedInterval));
    auto monitor = fixture.make({});
    monitor->setNotifications(storedNotifications);
    QSignalSpy intervalWrites(monitor.get(), &ServerMonitor::intervalMinutesChanged);
    QSignalSpy notificationWrites(monitor.get(), &ServerMonitor::notificationsChanged);

    SettingsState state(*monitor);
    state.shown();
    QCOMPARE(intervalWrites.size(), intervalWritesOnShow);
    QCOMPARE(notificationWrites.size(), notificationWritesOnShow);
    QCOMPARE(state.interval(), storedInterval);
    QCOMPARE(state.notifications(), storedNotifications);
    // A value the picker does not offer stays in force.
    QCOMPARE(monitor->intervalMinutes(), storedInterval);

    intervalWrites.clear();
    notificationWrites.clear();
    state.setInterval(storedInterval);
    state.setNotifications(storedNotifications);
    QCOMPARE(intervalWrites.size(), 0);
    QCOMPARE(notificationWrites.size(), 0);

    state.setInterval(30);
    state.setNotifications(!storedNotifications);
    QCOMPARE(intervalWrites.size(), 1);
    QCOMPARE(notificationWrites.size(), 1);
    QCOMPARE(fixture.store->integer(QString::fromLatin1(ServerMonitor::intervalKey)),
             std::optional<qint64>(30));
    QCOMPARE(fixture.store->boolean(QString::fromLatin1(ServerMonitor::notificationsKey)),
             std::optional<bool>(!storedNotifications));
    QCOMPARE(monitor->timerPeriodMs(), std::optional<qint64>(30 * 60000));
}

void SettingsStateTest::shownFollowsThePanelSelection()
{
    GuiFixture fixture;
    const ServerProfile a = fixture.server(QStringLiteral("A"), false);
    const ServerProfile b = fixture.server(QStringLiteral("B"), false);
    auto monitor = fixture.make({a, b}, b.id);
    SettingsState state(*monitor);
    state.shown();
    QCOMPARE(state.editingID(), std::optional<QUuid>(b.id));
    QCOMPARE(state.draft(), b);

    // No profiles: nothing selected, and the draft stays the default one.
    auto empty = fixture.make({});
    SettingsState fresh(*empty);
    const ServerProfile untouched = fresh.draft();
    fresh.shown();
    QCOMPARE(fresh.editingID(), std::nullopt);
    QCOMPARE(fresh.draft(), untouched);
    QCOMPARE(fresh.draft().name, QStringLiteral("New Server"));
}

void SettingsStateTest::visibleServices_data()
{
    QTest::addColumn<QStringList>("storedRequired");
    QTest::addColumn<QStringList>("draftRequired");
    QTest::addColumn<bool>("showUninstalled");
    QTest::addColumn<QStringList>("expected");

    // The report lists: nginx (running), MySQL (running), cups (not installed).
    QTest::newRow("installed only")
        << QStringList{} << QStringList{} << false << QStringList{"MySQL=running", "nginx=running"};
    QTest::newRow("not installed shown on request")
        << QStringList{} << QStringList{} << true
        << QStringList{"cups=not_installed", "MySQL=running", "nginx=running"};
    QTest::newRow("a not-installed service the draft requires")
        << QStringList{} << QStringList{"cups"} << false
        << QStringList{"cups=not_installed", "MySQL=running", "nginx=running"};
    QTest::newRow("placeholder of the stored profile while the draft requires it")
        << QStringList{"redis"} << QStringList{"redis"} << false
        << QStringList{"MySQL=running", "nginx=running", "redis=not_installed"};
    QTest::newRow("placeholder the draft no longer requires")
        << QStringList{"redis"} << QStringList{} << false
        << QStringList{"MySQL=running", "nginx=running"};
    QTest::newRow("placeholder the draft no longer requires, not installed shown")
        << QStringList{"redis"} << QStringList{} << true
        << QStringList{"cups=not_installed", "MySQL=running", "nginx=running",
                       "redis=not_installed"};
    // Placeholders come from the stored profile only.
    QTest::newRow("a name only the draft requires")
        << QStringList{} << QStringList{"postgres"} << true
        << QStringList{"cups=not_installed", "MySQL=running", "nginx=running"};
    // Case matters: requiring mysql is not requiring MySQL.
    QTest::newRow("case-sensitive placeholder")
        << QStringList{"mysql"} << QStringList{"mysql"} << false
        << QStringList{"MySQL=running", "mysql=not_installed", "nginx=running"};
}

void SettingsStateTest::visibleServices()
{
    QFETCH(QStringList, storedRequired);
    QFETCH(QStringList, draftRequired);
    QFETCH(bool, showUninstalled);
    QFETCH(QStringList, expected);

    GuiFixture fixture;
    ServerProfile web = fixture.server(QStringLiteral("web"));
    web.requiredServices = storedRequired;
    fixture.setReport(
        QStringLiteral("web"),
        withServices({{QStringLiteral("nginx"), QStringLiteral("running"), {}},
                      {QStringLiteral("MySQL"), QStringLiteral("running"), {}},
                      {QStringLiteral("cups"), QStringLiteral("not_installed"), {}}}));
    auto monitor = fixture.make({web}, web.id);
    QVERIFY(settle(*monitor));
    SettingsState state(*monitor);
    QVERIFY(state.visibleServices().isEmpty());
    state.shown();
    ServerProfile draft = state.draft();
    draft.requiredServices = draftRequired;
    state.setDraft(draft);
    state.setShowUninstalled(showUninstalled);
    QCOMPARE(names(state.visibleServices()), expected);

    // A new profile shows none.
    state.newProfile();
    QVERIFY(state.visibleServices().isEmpty());
}

void SettingsStateTest::setRequired()
{
    GuiFixture fixture;
    auto monitor = fixture.make({});
    SettingsState state(*monitor);
    QVERIFY(!state.save());
    state.setRequired(QStringLiteral("b"), true);
    state.setRequired(QStringLiteral("a"), true);
    state.setRequired(QStringLiteral("b"), true);
    QCOMPARE(state.draft().requiredServices, (QStringList{"b", "a"}));

    ServerProfile draft = state.draft();
    draft.requiredServices = QStringList{"x", "a", "x", "c"};
    state.setDraft(draft);
    state.setRequired(QStringLiteral("x"), false);
    QCOMPARE(state.draft().requiredServices, (QStringList{"a", "c"}));
    state.setRequired(QStringLiteral("A"), false);
    QCOMPARE(state.draft().requiredServices, (QStringList{"a", "c"}));
    // Marks never touch the message.
    QCOMPARE(state.validation(), kFormMessage);
}

void SettingsStateTest::addRequiredService_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("added"); // empty: refused

    QTest::newRow("plain") << u"mysql"_s << u"mysql"_s;
    QTest::newRow("unit name") << u"nginx.service"_s << u"nginx.service"_s;
    QTest::newRow("template instance") << u"getty@tty1.service"_s << u"getty@tty1.service"_s;
    QTest::newRow("at sign") << u"a@b"_s << u"a@b"_s;
    QTest::newRow("underscore and hyphen") << u"my_app-2"_s << u"my_app-2"_s;
    QTest::newRow("case kept") << u"MySQL"_s << u"MySQL"_s;
    QTest::newRow("spaces around") << u"  mysql  "_s << u"mysql"_s;
    QTest::newRow("line breaks and tabs around") << u"\n\tmysql\r\n"_s << u"mysql"_s;
    QTest::newRow("inner space") << u"my sql"_s << u""_s;
    QTest::newRow("slash") << u"a/b"_s << u""_s;
    QTest::newRow("colon") << u"a:b"_s << u""_s;
    QTest::newRow("non-ASCII letter") << QStringLiteral("caf\u00e9") << u""_s;
    QTest::newRow("empty") << u""_s << u""_s;
    QTest::newRow("blank") << u"   "_s << u""_s;
    QTest::newRow("line break only") << u"\n"_s << u""_s;
}

void SettingsStateTest::addRequiredService()
{
    QFETCH(QString, typed);
    QFETCH(QString, added);

    GuiFixture fixture;
    auto monitor = fixture.make({});
    SettingsState state(*monitor);
    ServerProfile draft = state.draft();
    draft.requiredServices = QStringList{"sshd"};
    state.setDraft(draft);
    QVERIFY(!state.save()); // leaves the form's message
    state.setNewRequiredService(typed);
    QCOMPARE(state.canAddRequiredService(), !typed.trimmed().isEmpty());
    state.addRequiredService();

    if (added.isEmpty()) {
        QCOMPARE(state.validation(), kNameMessage);
        QCOMPARE(state.newRequiredService(), typed);
        QCOMPARE(state.draft().requiredServices, QStringList{"sshd"});
    } else {
        QCOMPARE(state.validation(), QString());
        QCOMPARE(state.newRequiredService(), QString());
        QCOMPARE(state.draft().requiredServices, (QStringList{"sshd", added}));
    }
    // Only the draft: the monitor has nothing new.
    QVERIFY(monitor->servers().isEmpty());
}

void SettingsStateTest::addingAPresentNameOnlyClears()
{
    GuiFixture fixture;
    auto monitor = fixture.make({});
    SettingsState state(*monitor);
    state.setRequired(QStringLiteral("mysql"), true);
    state.setNewRequiredService(QStringLiteral("bad name"));
    state.addRequiredService();
    QCOMPARE(state.validation(), kNameMessage);
    state.setNewRequiredService(QStringLiteral(" mysql"));
    state.addRequiredService();
    QCOMPARE(state.draft().requiredServices, QStringList{"mysql"});
    QCOMPARE(state.newRequiredService(), QString());
    QCOMPARE(state.validation(), QString());
}

void SettingsStateTest::summaryOrder_data()
{
    QTest::addColumn<QStringList>("required");
    QTest::addColumn<QString>("summary");

    QTest::newRow("none") << QStringList{} << QString();
    QTest::newRow("digits, upper case, underscore, lower case")
        << QStringList{"mysql", "_a", "Zed", "MySQL", "9x"}
        << QStringLiteral("Required: 9x, MySQL, Zed, _a, mysql");
    QTest::newRow("stored order kept apart") << QStringList{"b", "a"} << "Required: a, b";
    // By code point, not by UTF-16 unit: U+1F600 comes after U+FF21.
    QTest::newRow("astral after full-width")
        << QStringList{QStringLiteral("\U0001F600"), QStringLiteral("\uFF21")}
        << QStringLiteral("Required: \uFF21, \U0001F600");
    // A decomposed e-acute sorts as the composed one, after f.
    QTest::newRow("canonically normalised")
        << QStringList{QStringLiteral("e\u0301"), QStringLiteral("f")}
        << QStringLiteral("Required: f, e\u0301");
}

void SettingsStateTest::summaryOrder()
{
    QFETCH(QStringList, required);
    QFETCH(QString, summary);
    QCOMPARE(settingstexts::requiredSummary(required), summary);
}

void SettingsStateTest::refreshServicesProbesTheStoredProfile()
{
    GuiFixture fixture;
    ServerProfile web = fixture.server(QStringLiteral("web"));
    auto monitor = fixture.make({web}, web.id);
    QVERIFY(settle(*monitor));
    SettingsState state(*monitor);

    // Nothing stored is edited: nothing runs.
    QSignalSpy results(monitor.get(), &ServerMonitor::resultsChanged);
    QCoro::waitFor(state.refreshServices());
    QCOMPARE(results.size(), 0);

    state.shown();
    ServerProfile draft = state.draft();
    // The draft's broken command is not what is probed.
    draft.remoteCommand = QStringLiteral("exit 7");
    state.setDraft(draft);
    fixture.setReport(QStringLiteral("web"),
                      withServices({{QStringLiteral("nginx"), QStringLiteral("failed"), {}}}));
    QCoro::waitFor(state.refreshServices());
    QCOMPARE(names(state.visibleServices()), QStringList{"nginx=failed"});
    QVERIFY(!monitor->results().value(web.id).error);
}

QTEST_MAIN(SettingsStateTest)
#include "SettingsStateTest.moc"
