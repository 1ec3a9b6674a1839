#include "MonitorFixture.h"

#include "TestSupport.h"

#include <QFile>
#include <QTest>

namespace corvane::test {

QUuid idOf(QChar letter)
{
    return QUuid::fromString(QStringLiteral("%1-0000-4000-8000-00000000c0de")
                                 .arg(letter.unicode(), 8, 16, QLatin1Char('0')));
}

ServerProfile lettered(QChar letter, bool enabled)
{
    ServerProfile profile;
    profile.id = idOf(letter);
    profile.name = QString(letter);
    profile.host = QStringLiteral("127.0.0.1");
    profile.user = QStringLiteral("tester");
    profile.port = QStringLiteral("22");
    profile.remoteCommand = QStringLiteral("health-json");
    profile.enabled = enabled;
    profile.requiredServices = {QString(letter).toLower() + QStringLiteral("-svc")};
    profile.discoverServices = letter.unicode() % 2 == 0;
    return profile;
}

QList<ServerProfile> letteredList(const QString& letters)
{
    QList<ServerProfile> profiles;
    for (const QChar letter : letters)
        profiles.append(lettered(letter));
    return profiles;
}

QString lettersOf(const QList<ServerProfile>& profiles)
{
    QString letters;
    for (const ServerProfile& profile : profiles)
        letters += profile.name;
    return letters;
}

MonitorFixture::MonitorFixture()
{
    if (!m_dir.isValid())
        qFatal("no temporary folder");
    const QString dir = m_dir.path();
    m_ssh = writeFakeSsh(dir, QStringLiteral("echo \"$*\" >> '%1/runs.log'\n"
                                             "if [ -e '%1/fail' ]; then\n"
                                             "  echo 'connection refused' >&2\n"
                                             "  exit 255\n"
                                             "fi\n"
                                             "printf '%s' '%2'")
                                  .arg(dir, QString::fromUtf8(minimalReport("ok", 3, 0, 0))));
}

std::unique_ptr<ServerMonitor> MonitorFixture::make(qint64 secondsPerMinute) const
{
    MonitorSeams seams;
    seams.store = store;
    seams.notifier = notifier;
    seams.millisecondsPerMinute = secondsPerMinute * 1000;
    return std::make_unique<ServerMonitor>(seams, m_ssh);
}

void MonitorFixture::seed(const char* key, const StoredValue& value) const
{
    store->set(QString::fromLatin1(key), value);
    store->clearWrites();
}

void MonitorFixture::seedProfiles(const QList<ServerProfile>& profiles) const
{
    seed(ServerMonitor::profilesKey, SettingsValue(encodeServerProfiles(profiles)));
}

void MonitorFixture::setFailing(bool failing) const
{
    QFile flag(m_dir.filePath(QStringLiteral("fail")));
    if (failing)
        flag.open(QIODevice::WriteOnly);
    else
        flag.remove();
}

int MonitorFixture::sshRuns() const
{
    QFile log(m_dir.filePath(QStringLiteral("runs.log")));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<int>(log.readAll().count('\n'));
}

bool settle(const ServerMonitor& monitor)
{
    return QTest::qWaitFor(
        [&] {
            for (const ServerResult& result : monitor.results())
                if (result.refreshing)
                    return false;
            for (const ServerProfile& profile : monitor.servers())
                if (profile.enabled && !monitor.results().value(profile.id).lastChecked)
                    return false;
            return true;
        },
        20000);
}

std::optional<QList<ServerProfile>> storedProfiles(const SettingsStore& store)
{
    const std::optional<QByteArray> blob =
        store.blob(QString::fromLatin1(ServerMonitor::profilesKey));
    if (!blob)
        return std::nullopt;
    Result<QList<ServerProfile>> decoded = decodeServerProfiles(*blob);
    if (!decoded)
        return std::nullopt;
    return decoded.value();
}

} // namespace corvane::test
