#include "FakeFleet.h"

#include "TestSupport.h"

#include <QFile>

namespace corvane::test {

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

FakeFleet::FakeFleet()
{
    if (!m_dir.isValid())
        return;
    // Like ssh, the fake hands the last argument to a shell; it also notes every run.
    writeFakeSsh(m_dir.path(), expand(QStringLiteral("printf '%s\\0' \"$@\" > DIR/argv\n"
                                                     "for last; do :; done\n"
                                                     "printf '%s\\n' \"$last\" >> DIR/runs.log\n"
                                                     "exec /bin/sh -c \"$last\"")));
}

QString FakeFleet::expand(const QString& body) const
{
    QString text = body;
    return text.replace(QStringLiteral("DIR"), m_dir.path());
}

ServerProfile FakeFleet::server(const QString& name, bool enabled) const
{
    ServerProfile profile;
    profile.name = name;
    profile.host = QStringLiteral("127.0.0.1");
    profile.user = QStringLiteral("monitor");
    profile.remoteCommand = path(name + QStringLiteral(".sh"));
    profile.enabled = enabled;
    return profile;
}

void FakeFleet::script(const QString& name, const QString& body) const
{
    const QString file = path(name + QStringLiteral(".sh"));
    write(file, "#!/bin/sh\n" + expand(body).toUtf8() + '\n');
    QFile::setPermissions(file,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void FakeFleet::answer(const QString& name, const QByteArray& report) const
{
    write(path(name + QStringLiteral(".json")), report);
    script(name, QStringLiteral("cat DIR/%1.json").arg(name));
}

QString FakeFleet::waitFor(const QString& marker, const QString& complaint, int seconds)
{
    return QStringLiteral("i=0\n"
                          "while [ ! -e DIR/%1 ]; do\n"
                          "  i=$((i+1)); if [ $i -gt %3 ]; then echo '%2' >&2; exit 1; fi\n"
                          "  sleep 0.05\n"
                          "done\n")
        .arg(marker, complaint)
        .arg(seconds * 20);
}

void FakeFleet::touch(const QString& marker) const
{
    write(path(marker), {});
}

bool FakeFleet::exists(const QString& marker) const
{
    return QFile::exists(path(marker));
}

int FakeFleet::runs(const QString& name) const
{
    const QByteArray command = path(name + QStringLiteral(".sh")).toUtf8();
    int count = 0;
    for (const QByteArray& line : read(path(QStringLiteral("runs.log"))).split('\n'))
        if (line == command)
            ++count;
    return count;
}

QStringList FakeFleet::lastArguments() const
{
    const QList<QByteArray> parts = read(path(QStringLiteral("argv"))).split('\0');
    QStringList args;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        args.append(QString::fromUtf8(parts.at(i)));
    return args;
}

std::unique_ptr<ServerMonitor> FakeFleet::monitor(const QList<ServerProfile>& servers,
                                                  const Options& options)
{
    m_store->set(QString::fromLatin1(ServerMonitor::profilesKey),
                 SettingsValue(encodeServerProfiles(servers)));
    m_store->set(QString::fromLatin1(ServerMonitor::notificationsKey),
                 SettingsValue(options.notifications));
    if (options.intervalMinutes)
        m_store->set(QString::fromLatin1(ServerMonitor::intervalKey),
                     SettingsValue(*options.intervalMinutes));
    MonitorSeams seams;
    seams.store = m_store;
    seams.notifier = m_notifier;
    seams.clock = m_clock;
    seams.millisecondsPerMinute = options.secondsPerMinute * 1000;
    seams.deferStartupRefresh = options.deferStartupRefresh;
    return std::make_unique<ServerMonitor>(std::move(seams),
                                           options.sshExecutable.value_or(fakeSsh()));
}

} // namespace corvane::test
