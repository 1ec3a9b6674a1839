#include "NotificationServer.h"
#include "TestSupport.h"
#include "monitor/ServerMonitor.h"
#include "platform/DBusNotifier.h"
#include "platform/MemorySettingsStore.h"

#include <QDBusConnection>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <QCoro/QCoroTask>

#include <algorithm>
#include <memory>
#include <optional>

using namespace corvane;
using corvane::test::NotificationServer;

namespace {

// What the fake ssh plays on its next run.
struct Outcome
{
    QByteArray out;
    QByteArray err;
    int exitCode = 0;
};

// One refresh and the notification it must post; no title means nothing at all is posted.
struct Step
{
    Outcome outcome;
    QString title;
    QString body;
};

Outcome report(const char* overall, qint64 ok, qint64 warn, qint64 fail)
{
    return {test::minimalReport(overall, ok, warn, fail), {}, 0};
}

Outcome down(const QByteArray& stderrText)
{
    return {{}, stderrText, 255};
}

Outcome withNginx(const char* state)
{
    return {QByteArrayLiteral(R"({"schema":1,"overall":"ok","counts":{"ok":4,"warn":0,"fail":0},)"
                              R"("groups":[],"checks":[],"services":[{"name":"nginx","state":")") +
                state + QByteArrayLiteral(R"(","detail":"web front"}]})"),
            {},
            0};
}

const QByteArray kRefused = "ssh: connect to host 127.0.0.1 port 22: Connection refused\n";

ServerProfile loopbackProfile(const QString& name)
{
    ServerProfile profile;
    profile.name = name;
    profile.host = QStringLiteral("127.0.0.1");
    profile.user = QStringLiteral("corvane");
    return profile;
}

QString describe(const NotificationServer::Call& call)
{
    if (call.method != QLatin1String("Notify"))
        return call.method;
    return QStringLiteral("Notify app=\"%1\" replaces=%2 title=\"%3\" body=\"%4\"")
        .arg(call.appName)
        .arg(call.replacesId)
        .arg(call.summary, call.body);
}

QString describe(const QList<NotificationServer::Call>& calls)
{
    QStringList parts;
    for (const NotificationServer::Call& call : calls)
        parts << describe(call);
    return parts.isEmpty() ? QStringLiteral("(no call)") : parts.join(QStringLiteral(" | "));
}

// What one posted notification looks like on the bus: a capability question, then the post.
QString posted(const QString& title, const QString& body)
{
    NotificationServer::Call notify;
    notify.method = QStringLiteral("Notify");
    notify.appName = QStringLiteral("Corvane Monitor");
    notify.replacesId = 0;
    notify.summary = title;
    notify.body = body;
    return QStringLiteral("GetCapabilities | ") + describe(notify);
}

} // namespace

Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Step)

class MonitorNotificationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void notifiesOnStatusChange_data();
    void notifiesOnStatusChange();
    void refreshAfterSave_data();
    void refreshAfterSave();
    void serversRefreshedTogetherPostTheirOwn();

private:
    void play(const Outcome& outcome);
    std::unique_ptr<ServerMonitor> startMonitor(const QList<ServerProfile>& profiles,
                                                bool notificationsOn = true);
    [[nodiscard]] static bool waitIdle(const ServerMonitor& monitor, const QUuid& id);
    [[nodiscard]] std::optional<QList<NotificationServer::Call>> takeMonitorCalls();

    QTemporaryDir m_dir;
    QString m_ssh;
    // A desktop server renders markup, so remote text must arrive escaped.
    NotificationServer m_server{{QStringLiteral("body"), QStringLiteral("body-markup")}};
    std::unique_ptr<DBusNotifier> m_fence;
    qsizetype m_seen = 0;
    int m_fences = 0;
};

void MonitorNotificationTest::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "no session bus: run this test under dbus-run-session");
    QVERIFY2(!NotificationServer::ownerPresent(),
             "a notification service is already on this bus; expected a private bus");
    const QString why = m_server.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    m_fence = std::make_unique<DBusNotifier>();

    QVERIFY(m_dir.isValid());
    const QString d = m_dir.path();
    m_ssh = test::writeFakeSsh(d, QStringLiteral("cat '%1/stdout'\n"
                                                 "cat '%1/stderr' >&2\n"
                                                 "exit \"$(cat '%1/exit')\"")
                                      .arg(d));
}

void MonitorNotificationTest::play(const Outcome& outcome)
{
    const auto write = [this](const char* name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(file.fileName()));
        file.write(bytes);
    };
    write("stdout", outcome.out);
    write("stderr", outcome.err);
    write("exit", QByteArray::number(outcome.exitCode));
}

std::unique_ptr<ServerMonitor>
MonitorNotificationTest::startMonitor(const QList<ServerProfile>& profiles, bool notificationsOn)
{
    // Seeded with loopback profiles only, and the ssh is the fake: nothing leaves this machine.
    auto store = std::make_shared<MemorySettingsStore>();
    store->set(QString::fromLatin1(ServerMonitor::profilesKey),
               SettingsValue(encodeServerProfiles(profiles)));
    store->set(QString::fromLatin1(ServerMonitor::notificationsKey),
               SettingsValue(notificationsOn));
    MonitorSeams seams;
    seams.store = store;
    seams.notifier = std::make_shared<DBusNotifier>();
    auto monitor = std::make_unique<ServerMonitor>(std::move(seams), m_ssh);
    for (const ServerProfile& profile : profiles)
        if (!waitIdle(*monitor, profile.id))
            qFatal("the start-up refresh of %s did not end", qPrintable(profile.name));
    return monitor;
}

bool MonitorNotificationTest::waitIdle(const ServerMonitor& monitor, const QUuid& id)
{
    return QTest::qWaitFor(
        [&] {
            const auto it = monitor.results().constFind(id);
            return it != monitor.results().constEnd() && !it->refreshing && it->lastChecked;
        },
        30000);
}

// Everything the monitor sent to the server since the last take. A fence notification goes out
// after the refresh; every capability question is followed by its post, so once the fence is in
// and the posts have caught up with the questions, whatever the refresh posted is in as well.
// (Qt does not keep the order of two posts on one connection, so arrival order is no fence.)
std::optional<QList<NotificationServer::Call>> MonitorNotificationTest::takeMonitorCalls()
{
    const QString fence = QStringLiteral("fence %1").arg(++m_fences);
    m_fence->post(fence, QString());
    QList<NotificationServer::Call> fresh;
    bool fenced = false;
    const bool settled = QTest::qWaitFor(
        [&] {
            fresh = m_server.calls().mid(m_seen);
            const auto count = [&](const char* method) {
                return std::count_if(fresh.cbegin(), fresh.cend(), [&](const auto& call) {
                    return call.method == QLatin1String(method);
                });
            };
            fenced = std::any_of(fresh.cbegin(), fresh.cend(),
                                 [&](const auto& call) { return call.summary == fence; });
            return fenced && count("Notify") == count("GetCapabilities");
        },
        10000);
    if (!fenced)
        return std::nullopt;
    if (!settled)
        qWarning("a capability question was never followed by its post");
    m_seen += fresh.size();
    fresh.removeIf([&](const NotificationServer::Call& call) { return call.summary == fence; });
    // The fence asked for capabilities once, like every post; the questions look alike.
    const auto question = std::find_if(fresh.cbegin(), fresh.cend(), [](const auto& call) {
        return call.method == QLatin1String("GetCapabilities");
    });
    if (question != fresh.cend())
        fresh.removeAt(question - fresh.cbegin());
    return fresh;
}

void MonitorNotificationTest::notifiesOnStatusChange_data()
{
    QTest::addColumn<bool>("notificationsOn");
    QTest::addColumn<QStringList>("required");
    QTest::addColumn<QList<Step>>("steps");

    const Outcome ok = report("ok", 5, 0, 0);
    const Outcome warn = report("warn", 3, 2, 0);
    const Outcome critical = report("fail", 2, 1, 1);
    const QString warning = QStringLiteral("web1: Warning");
    const QString criticalTitle = QStringLiteral("web1: Critical");
    const QString unreachable = QStringLiteral("web1 unreachable");
    const QString refused = QString::fromUtf8(kRefused);

    QTest::newRow("first result critical is silent")
        << true << QStringList{} << QList<Step>{{critical, {}, {}}};
    QTest::newRow("first result unreachable is silent")
        << true << QStringList{} << QList<Step>{{down(kRefused), {}, {}}};
    QTest::newRow("ok to warn") << true << QStringList{}
                                << QList<Step>{
                                       {ok, {}, {}},
                                       {warn, warning, QStringLiteral("0 failures, 2 warnings")}};
    QTest::newRow("ok to critical, words stay plural")
        << true << QStringList{}
        << QList<Step>{{ok, {}, {}},
                       {critical, criticalTitle, QStringLiteral("1 failures, 1 warnings")}};
    QTest::newRow("ok stays ok") << true << QStringList{}
                                 << QList<Step>{{ok, {}, {}}, {ok, {}, {}}};
    QTest::newRow("warn to critical is silent")
        << true << QStringList{} << QList<Step>{{warn, {}, {}}, {critical, {}, {}}};
    QTest::newRow("critical to warn is silent")
        << true << QStringList{} << QList<Step>{{critical, {}, {}}, {warn, {}, {}}};
    QTest::newRow("back to ok is silent")
        << true << QStringList{}
        << QList<Step>{{ok, {}, {}},
                       {critical, criticalTitle, QStringLiteral("1 failures, 1 warnings")},
                       {ok, {}, {}}};
    QTest::newRow("ok to unreachable, then silent while down")
        << true << QStringList{}
        << QList<Step>{{ok, {}, {}},
                       {down(kRefused), unreachable, refused},
                       {down(kRefused), {}, {}},
                       {down("Permission denied (publickey).\n"), {}, {}}};
    QTest::newRow("warn to unreachable")
        << true << QStringList{}
        << QList<Step>{{warn, {}, {}}, {down(kRefused), unreachable, refused}};
    QTest::newRow("critical to unreachable is silent")
        << true << QStringList{} << QList<Step>{{critical, {}, {}}, {down(kRefused), {}, {}}};
    QTest::newRow("unreachable to a report is silent")
        << true << QStringList{}
        << QList<Step>{{ok, {}, {}},
                       {down(kRefused), unreachable, refused},
                       {warn, {}, {}},
                       {critical, {}, {}}};
    QTest::newRow("unreachable to ok is silent")
        << true << QStringList{}
        << QList<Step>{{ok, {}, {}}, {down(kRefused), unreachable, refused}, {ok, {}, {}}};
    QTest::newRow("ok to schema 2")
        << true << QStringList{}
        << QList<Step>{
               {ok, {}, {}},
               {{R"({"schema":2,"overall":"ok","counts":{"ok":1,"warn":0,"fail":0},"groups":[],"checks":[]})",
                 {},
                 0},
                unreachable,
                QStringLiteral("Invalid health JSON. Install the remote health adapter.")}};
    QTest::newRow("ok to nothing printed")
        << true << QStringList{}
        << QList<Step>{{ok, {}, {}},
                       {{{}, {}, 1}, unreachable, QStringLiteral("SSH returned no data")}};
    QTest::newRow("remote error text arrives escaped")
        << true << QStringList{}
        << QList<Step>{
               {ok, {}, {}},
               {down("ssh: Could not resolve hostname <db&cache>: Name or service not known\n"),
                unreachable,
                QStringLiteral("ssh: Could not resolve hostname &lt;db&amp;cache&gt;: Name or "
                               "service not known\n")}};
    QTest::newRow("required service stops while the agent says ok")
        << true << QStringList{QStringLiteral("nginx")}
        << QList<Step>{
               {withNginx("running"), {}, {}},
               {withNginx("stopped"), criticalTitle, QStringLiteral("1 failures, 0 warnings")}};
    QTest::newRow("switched off: ok to critical")
        << false << QStringList{} << QList<Step>{{ok, {}, {}}, {critical, {}, {}}};
    QTest::newRow("switched off: ok to unreachable")
        << false << QStringList{} << QList<Step>{{ok, {}, {}}, {down(kRefused), {}, {}}};
}

void MonitorNotificationTest::notifiesOnStatusChange()
{
    QFETCH(bool, notificationsOn);
    QFETCH(QStringList, required);
    QFETCH(QList<Step>, steps);

    ServerProfile profile = loopbackProfile(QStringLiteral("web1"));
    profile.requiredServices = required;
    std::unique_ptr<ServerMonitor> monitor;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const Step& step = steps.at(i);
        play(step.outcome);
        if (i == 0) {
            monitor = startMonitor({profile}, notificationsOn);
        } else {
            QCoro::waitFor(monitor->refresh(profile.id));
        }
        const auto calls = takeMonitorCalls();
        QVERIFY2(calls, "the fence notification never reached the server");
        const QString expected =
            step.title.isEmpty() ? QStringLiteral("(no call)") : posted(step.title, step.body);
        QVERIFY2(describe(*calls) == expected,
                 qPrintable(QStringLiteral("refresh %1: expected %2\n   got %3")
                                .arg(i + 1)
                                .arg(expected, describe(*calls))));
    }
}

void MonitorNotificationTest::refreshAfterSave_data()
{
    QTest::addColumn<bool>("removeFirst");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("body");

    // Saving forgets the result but not that the server was seen.
    QTest::newRow("critical after save is silent")
        << false << report("fail", 1, 0, 2) << QString() << QString();
    QTest::newRow("unreachable after save")
        << false << down(kRefused) << "web1 unreachable" << QString::fromUtf8(kRefused);
    // Removing forgets it too: the profile is new again.
    QTest::newRow("unreachable after remove and add back is silent")
        << true << down(kRefused) << QString() << QString();
}

void MonitorNotificationTest::refreshAfterSave()
{
    QFETCH(bool, removeFirst);
    QFETCH(Outcome, outcome);
    QFETCH(QString, title);
    QFETCH(QString, body);

    ServerProfile profile = loopbackProfile(QStringLiteral("web1"));
    play(report("ok", 5, 0, 0));
    const std::unique_ptr<ServerMonitor> monitor = startMonitor({profile});
    auto calls = takeMonitorCalls();
    QVERIFY(calls);
    QCOMPARE(describe(*calls), QStringLiteral("(no call)"));

    play(outcome);
    if (removeFirst)
        monitor->remove(profile.id);
    profile.user = QStringLiteral("monitor");
    monitor->save(profile);
    QVERIFY(waitIdle(*monitor, profile.id));
    calls = takeMonitorCalls();
    QVERIFY(calls);
    QCOMPARE(describe(*calls), title.isEmpty() ? QStringLiteral("(no call)") : posted(title, body));
}

void MonitorNotificationTest::serversRefreshedTogetherPostTheirOwn()
{
    const ServerProfile web1 = loopbackProfile(QStringLiteral("web1"));
    const ServerProfile web2 = loopbackProfile(QStringLiteral("web2"));
    play(report("ok", 5, 0, 0));
    const std::unique_ptr<ServerMonitor> monitor = startMonitor({web1, web2});
    auto calls = takeMonitorCalls();
    QVERIFY(calls);
    QCOMPARE(describe(*calls), QStringLiteral("(no call)"));

    play(report("fail", 3, 0, 2));
    QCoro::waitFor(monitor->refreshAll());
    calls = takeMonitorCalls();
    QVERIFY(calls);
    QList<NotificationServer::Call> notes = *calls;
    notes.removeIf([](const auto& call) { return call.method != QLatin1String("Notify"); });
    QCOMPARE(notes.size(), 2);
    QStringList titles;
    for (const NotificationServer::Call& note : notes) {
        titles << note.summary;
        QCOMPARE(note.body, QStringLiteral("2 failures, 0 warnings"));
        QCOMPARE(note.replacesId, 0);
    }
    titles.sort();
    QCOMPARE(titles,
             (QStringList{QStringLiteral("web1: Critical"), QStringLiteral("web2: Critical")}));
    QVERIFY(notes.at(0).id != notes.at(1).id);
}

QTEST_GUILESS_MAIN(MonitorNotificationTest)
#include "MonitorNotificationTest.moc"
