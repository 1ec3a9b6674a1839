// corvane-monitor-check as scripts see it: seeded settings, a fake ssh, stdout and exit status.

#include "TestSupport.h"

#include "records/ServerProfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// The fake answers per host: "ok-host" a healthy report, "warn-host" a warning,
// "fail-host" a failed check, "down-host" an ssh error.
const char* const fakeBody = R"(for last; do :; done
case "$*" in
*@ok-host*) printf '%s' '{"schema":1,"overall":"ok","counts":{"ok":3,"warn":0,"fail":0},"groups":[],"checks":[],"uptimeSeconds":3600,"services":[{"name":"nginx","state":"running","detail":"active"}]}' ;;
*@warn-host*) printf '%s' '{"schema":1,"overall":"warn","counts":{"ok":2,"warn":1,"fail":0},"groups":[],"checks":[]}' ;;
*@fail-host*) printf '%s' '{"schema":1,"overall":"fail","counts":{"ok":1,"warn":0,"fail":1},"groups":[],"checks":[]}' ;;
*) echo "ssh: connect to host down-host port 22: Connection refused" >&2; exit 255 ;;
esac)";

ServerProfile profile(const QString& name, const QString& host, bool enabled = true)
{
    ServerProfile p;
    p.name = name;
    p.host = host;
    p.user = QStringLiteral("ops");
    p.enabled = enabled;
    return p;
}

class Sandbox
{
public:
    Sandbox()
    {
        QVERIFY(m_dir.isValid());
        m_fake = test::writeFakeSsh(m_dir.path(), QString::fromUtf8(fakeBody));
    }

    void seed(const QList<ServerProfile>& profiles)
    {
        QDir().mkpath(configDir());
        const QJsonObject settings{
            {QStringLiteral("monitor.serverProfiles.v1"),
             QJsonObject{{QStringLiteral("base64"),
                          QString::fromLatin1(encodeServerProfiles(profiles).toBase64())}}},
            {QStringLiteral("monitor.intervalMinutes"), 7},
            {QStringLiteral("monitor.notifications"), false},
        };
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(settings).toJson());
    }

    Run run(const QStringList& arguments) const
    {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path() + QStringLiteral("/config"));
        // Nothing may reach a real notification service.
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=") + m_dir.path() + QStringLiteral("/no-bus"));
        tool.setProcessEnvironment(env);
        tool.setStandardInputFile(QProcess::nullDevice());
        QSignalSpy finished(&tool, &QProcess::finished);
        tool.start(QStringLiteral(CORVANE_CHECK_TOOL), arguments);
        if (!finished.wait(60000)) {
            tool.kill();
            return {};
        }
        return {tool.exitCode(), tool.readAllStandardOutput(), tool.readAllStandardError()};
    }

    [[nodiscard]] QString fakeSsh() const { return m_fake; }
    [[nodiscard]] QString configDir() const
    {
        return m_dir.path() + QStringLiteral("/config/corvane-monitor");
    }
    [[nodiscard]] QString settingsPath() const
    {
        return configDir() + QStringLiteral("/settings.json");
    }

private:
    QTemporaryDir m_dir;
    QString m_fake;
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class CheckToolTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exitStatusFollowsFleet_data();
    void exitStatusFollowsFleet();
    void usageErrors_data();
    void usageErrors();
    void helpDescribesContract();
    void jsonContract();
    void tableAndSummary();
    void leavesSettingsUntouched();
};

void CheckToolTest::exitStatusFollowsFleet_data()
{
    QTest::addColumn<QStringList>("hosts");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("status");
    QTest::newRow("all ok") << QStringList{"ok-host", "ok-host"} << 0 << "ok";
    QTest::newRow("one warning") << QStringList{"ok-host", "warn-host"} << 1 << "warn";
    QTest::newRow("one failed check") << QStringList{"warn-host", "fail-host"} << 2 << "fail";
    QTest::newRow("one unreachable") << QStringList{"ok-host", "down-host"} << 2 << "fail";
    QTest::newRow("disabled servers do not count")
        << QStringList{"ok-host", "!down-host"} << 0 << "ok";
}

void CheckToolTest::exitStatusFollowsFleet()
{
    QFETCH(QStringList, hosts);
    QFETCH(int, exitCode);
    QFETCH(QString, status);
    Sandbox sandbox;
    QList<ServerProfile> profiles;
    for (const QString& host : hosts) {
        const bool enabled = !host.startsWith(QLatin1Char('!'));
        profiles.append(profile(host, enabled ? host : host.mid(1), enabled));
    }
    sandbox.seed(profiles);

    const Run run =
        sandbox.run({QStringLiteral("--json"), QStringLiteral("--ssh"), sandbox.fakeSsh()});
    QVERIFY2(run.exitCode == exitCode, run.err.constData());
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(json.value(QStringLiteral("status")).toString(), status);
}

void CheckToolTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{"--bogus"};
    QTest::newRow("positional argument") << QStringList{"web-1"};
    QTest::newRow("ssh without a path") << QStringList{"--ssh"};
    QTest::newRow("empty ssh path") << QStringList{"--ssh", ""};
}

void CheckToolTest::usageErrors()
{
    QFETCH(QStringList, arguments);
    Sandbox sandbox;
    // Seeded so that a run that wrongly goes ahead stays on the fake.
    sandbox.seed({profile(QStringLiteral("a"), QStringLiteral("ok-host"), false)});
    const Run run = sandbox.run(arguments);
    QCOMPARE(run.exitCode, 3);
    QVERIFY(run.out.isEmpty());
    QVERIFY(!run.err.isEmpty());
}

void CheckToolTest::helpDescribesContract()
{
    Sandbox sandbox;
    const Run run = sandbox.run({QStringLiteral("--help")});
    QCOMPARE(run.exitCode, 0);
    const QString help = QString::fromUtf8(run.out);
    for (const char* word :
         {"--json", "--ssh", "selectedID", "offlineCount", "lastChecked", "requiredServices",
          "0 when the fleet is ok", "3 on a usage error", "never writes"})
        QVERIFY2(help.contains(QLatin1String(word)), word);
}

void CheckToolTest::jsonContract()
{
    Sandbox sandbox;
    ServerProfile web = profile(QStringLiteral("web"), QStringLiteral("ok-host"));
    web.requiredServices = {QStringLiteral("nginx")};
    web.port = QStringLiteral("2222");
    web.keyFile = QStringLiteral("/keys/web");
    const ServerProfile down = profile(QStringLiteral("down"), QStringLiteral("down-host"));
    const ServerProfile off = profile(QStringLiteral("off"), QStringLiteral("ok-host"), false);
    sandbox.seed({web, down, off});

    const Run run =
        sandbox.run({QStringLiteral("--json"), QStringLiteral("--ssh"), sandbox.fakeSsh()});
    QCOMPARE(run.exitCode, 2);
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(run.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);

    QCOMPARE(json.value(QStringLiteral("intervalMinutes")).toInteger(), 7);
    QCOMPARE(json.value(QStringLiteral("notifications")).toBool(true), false);
    QCOMPARE(json.value(QStringLiteral("selectedID")).toString(), uuidText(web.id));
    QCOMPARE(json.value(QStringLiteral("offlineCount")).toInteger(), 1);
    // A running required service adds nothing; the unreachable server counts as one failure.
    QCOMPARE(json.value(QStringLiteral("aggregate")).toObject(),
             (QJsonObject{{QStringLiteral("ok"), 3},
                          {QStringLiteral("warn"), 0},
                          {QStringLiteral("fail"), 1}}));

    const QJsonArray servers = json.value(QStringLiteral("servers")).toArray();
    QCOMPARE(servers.size(), 3);
    const QJsonObject first = servers.at(0).toObject();
    QCOMPARE(first.keys(),
             (QStringList{"discoverServices", "enabled", "error", "host", "id", "keyFile",
                          "lastChecked", "name", "port", "remoteCommand", "report",
                          "requiredServices", "services", "status", "user"}));
    QCOMPARE(first.value(QStringLiteral("id")).toString(), uuidText(web.id));
    QCOMPARE(first.value(QStringLiteral("port")).toString(), QStringLiteral("2222"));
    QCOMPARE(first.value(QStringLiteral("keyFile")).toString(), QStringLiteral("/keys/web"));
    QCOMPARE(first.value(QStringLiteral("requiredServices")).toArray(),
             QJsonArray{QStringLiteral("nginx")});
    QCOMPARE(first.value(QStringLiteral("status")).toString(), QStringLiteral("ok"));
    QVERIFY(first.value(QStringLiteral("error")).isNull());
    const QDateTime checked = QDateTime::fromString(
        first.value(QStringLiteral("lastChecked")).toString(), Qt::ISODateWithMs);
    QVERIFY(checked.isValid());
    QCOMPARE(checked.timeSpec(), Qt::UTC);
    const QJsonObject report = first.value(QStringLiteral("report")).toObject();
    QCOMPARE(report.value(QStringLiteral("uptimeSeconds")).toInteger(), 3600);
    QVERIFY2(!report.contains(QStringLiteral("host")), "absent optional keys are left out");
    QCOMPARE(report.value(QStringLiteral("overall")).toString(), QStringLiteral("ok"));
    const QJsonArray services = first.value(QStringLiteral("services")).toArray();
    QCOMPARE(services.size(), 1);
    QCOMPARE(services.at(0).toObject(),
             (QJsonObject{{QStringLiteral("name"), QStringLiteral("nginx")},
                          {QStringLiteral("state"), QStringLiteral("running")},
                          {QStringLiteral("detail"), QStringLiteral("active")}}));

    const QJsonObject second = servers.at(1).toObject();
    QCOMPARE(second.value(QStringLiteral("status")).toString(), QStringLiteral("fail"));
    QVERIFY(second.value(QStringLiteral("report")).isNull());
    QVERIFY2(second.value(QStringLiteral("error"))
                 .toString()
                 .contains(QLatin1String("Connection refused")),
             qPrintable(second.value(QStringLiteral("error")).toString()));

    const QJsonObject third = servers.at(2).toObject();
    QCOMPARE(third.value(QStringLiteral("enabled")).toBool(true), false);
    QVERIFY(third.value(QStringLiteral("lastChecked")).isNull());
    QVERIFY(third.value(QStringLiteral("report")).isNull());
}

void CheckToolTest::tableAndSummary()
{
    Sandbox sandbox;
    sandbox.seed({profile(QStringLiteral("web"), QStringLiteral("ok-host")),
                  profile(QStringLiteral("cache"), QStringLiteral("warn-host")),
                  profile(QStringLiteral("spare"), QStringLiteral("ok-host"), false)});
    const Run run = sandbox.run({QStringLiteral("--ssh"), sandbox.fakeSsh()});
    QCOMPARE(run.exitCode, 1);
    const QStringList lines =
        QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QVERIFY2(lines[1].startsWith(QLatin1String("OK")) && lines[1].contains(QLatin1String("web")) &&
                 lines[1].contains(QLatin1String("1h 0m")),
             qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith(QLatin1String("WARN")), qPrintable(lines[2]));
    QVERIFY2(lines[3].startsWith(QLatin1String("OFF")), qPrintable(lines[3]));
    QCOMPARE(lines[4], QStringLiteral("ALL SERVERS: 5 OK  \u00b7  1 WARN  \u00b7  0 FAIL"));
}

void CheckToolTest::leavesSettingsUntouched()
{
    Sandbox sandbox;
    // The fallback profile would be written back by the app's first write; the tool writes none.
    sandbox.seed({profile(QStringLiteral("web"), QStringLiteral("ok-host"))});
    const QByteArray before = readAll(sandbox.settingsPath());
    const Run run = sandbox.run({QStringLiteral("--ssh"), sandbox.fakeSsh()});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readAll(sandbox.settingsPath()), before);
    QCOMPARE(QDir(sandbox.configDir()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("settings.json")});
}

QTEST_GUILESS_MAIN(CheckToolTest)
#include "CheckToolTest.moc"
