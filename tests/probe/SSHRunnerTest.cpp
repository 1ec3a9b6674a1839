#include "PendingRun.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

using namespace corvane;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(corvane::SSHOutcome)

namespace {

constexpr int kGuardMs = 20000;

QStringList sshArguments(const QString& port, const QStringList& key, const QString& destination,
                         const QString& command)
{
    QStringList args{QStringLiteral("-T"),
                     QStringLiteral("-o"),
                     QStringLiteral("BatchMode=yes"),
                     QStringLiteral("-o"),
                     QStringLiteral("StrictHostKeyChecking=yes"),
                     QStringLiteral("-o"),
                     QStringLiteral("ConnectTimeout=8"),
                     QStringLiteral("-o"),
                     QStringLiteral("ServerAliveInterval=5"),
                     QStringLiteral("-o"),
                     QStringLiteral("ServerAliveCountMax=2"),
                     QStringLiteral("-p"),
                     port};
    return args << key << destination << command;
}

SSHOutcome output(const QByteArray& bytes)
{
    return bytes;
}
SSHOutcome failure(const char* message)
{
    return SSHError::process(QString::fromUtf8(message));
}

const char* const kNoData = "SSH returned no data";
const char* const kTooLarge = "Health report too large (over 16 MiB)";

} // namespace

class SSHRunnerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void argumentVector_data();
    void argumentVector();
    void invalidSettingsStartNothing_data();
    void invalidSettingsStartNothing();
    void outcome_data();
    void outcome();
    void startFailure_data();
    void startFailure();
    void runLimitTerminatesThenKills_data();
    void runLimitTerminatesThenKills();
    void outputCap_data();
    void outputCap();
    void errorOutputKeepsFirst64KiB_data();
    void errorOutputKeepsFirst64KiB();
    void leftBehindChildDoesNotStall_data();
    void leftBehindChildDoesNotStall();
    void standardInputIsNullDevice();

private:
    [[nodiscard]] QString file(const QString& name) const { return m_dir->filePath(name); }
    // Writes the fake ssh; DIR in the body stands for the test's temp dir.
    QString fake(const QString& body) const
    {
        QString text = body;
        return test::writeFakeSsh(m_dir->path(),
                                  text.replace(QStringLiteral("DIR"), m_dir->path()));
    }
    [[nodiscard]] QStringList loggedArguments() const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void SSHRunnerTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void SSHRunnerTest::cleanup()
{
    // Children that fakes leave behind on purpose.
    QFile pids(file(QStringLiteral("leftover.pids")));
    if (pids.open(QIODevice::ReadOnly))
        for (const QByteArray& line : pids.readAll().split('\n'))
            if (const int pid = line.trimmed().toInt(); pid > 0)
                ::kill(pid, SIGKILL);
    m_dir.reset();
}

QStringList SSHRunnerTest::loggedArguments() const
{
    QFile log(file(QStringLiteral("argv")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList args;
    const QList<QByteArray> parts = log.readAll().split('\0');
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        args.append(QString::fromUtf8(parts.at(i)));
    return args;
}

void SSHRunnerTest::argumentVector_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("keyFile");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("expected");

    const QString health = QStringLiteral("/usr/local/bin/corvane-monitor-health-json");
    const QString home = QDir::homePath();
    QTest::newRow("plain") << "web-1.example.org"
                           << "admin"
                           << "22"
                           << "" << health
                           << sshArguments("22", {}, "admin@web-1.example.org", health);
    QTest::newRow("host with underscore")
        << "db_2.lan"
        << "svc_mon-1"
        << "22"
        << "" << health << sshArguments("22", {}, "svc_mon-1@db_2.lan", health);
    QTest::newRow("IPv6 literal") << "fe80::1:ab"
                                  << "root"
                                  << "22"
                                  << "" << health
                                  << sshArguments("22", {}, "root@fe80::1:ab", health);
    QTest::newRow("lowest port") << "h"
                                 << "u"
                                 << "1"
                                 << "" << health << sshArguments("1", {}, "u@h", health);
    QTest::newRow("highest port") << "h"
                                  << "u"
                                  << "65535"
                                  << "" << health << sshArguments("65535", {}, "u@h", health);
    QTest::newRow("port with plus sign") << "h"
                                         << "u"
                                         << "+2222"
                                         << "" << health << sshArguments("2222", {}, "u@h", health);
    QTest::newRow("port with leading zeros")
        << "h"
        << "u"
        << "0022"
        << "" << health << sshArguments("22", {}, "u@h", health);
    QTest::newRow("key file") << "h"
                              << "u"
                              << "22"
                              << "/etc/corvane/id_ed25519" << health
                              << sshArguments("22", {"-i", "/etc/corvane/id_ed25519"}, "u@h",
                                              health);
    QTest::newRow("key file under home")
        << "h"
        << "u"
        << "22"
        << "~/.ssh/id_ed25519" << health
        << sshArguments("22", {"-i", home + "/.ssh/id_ed25519"}, "u@h", health);
    QTest::newRow("key file is home")
        << "h"
        << "u"
        << "22"
        << "~" << health << sshArguments("22", {"-i", home}, "u@h", health);
    QTest::newRow("tilde not leading")
        << "h"
        << "u"
        << "22"
        << "/keys/~old" << health << sshArguments("22", {"-i", "/keys/~old"}, "u@h", health);
    QTest::newRow("command with surrounding spaces")
        << "h"
        << "u"
        << "22"
        << ""
        << "  /opt/health --json  " << sshArguments("22", {}, "u@h", "  /opt/health --json  ");
    QTest::newRow("command with line breaks")
        << "h"
        << "u"
        << "22"
        << ""
        << "cd /tmp\n/opt/health\n"
        << sshArguments("22", {}, "u@h", "cd /tmp\n/opt/health\n");
}

void SSHRunnerTest::argumentVector()
{
    QFETCH(QString, host);
    QFETCH(QString, user);
    QFETCH(QString, port);
    QFETCH(QString, keyFile);
    QFETCH(QString, command);
    QFETCH(QStringList, expected);

    const SSHRunner runner(fake(QStringLiteral("printf '%s\\0' \"$@\" > DIR/argv\nprintf ok")));
    const test::PendingRun run(runner.run(host, user, port, keyFile, command));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    QVERIFY2(run.outcome() == output("ok"), qPrintable(run.describe()));
    QCOMPARE(loggedArguments(), expected);
}

void SSHRunnerTest::invalidSettingsStartNothing_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("command");

    const QString cmd = QStringLiteral("/opt/health");
    QTest::newRow("empty host") << ""
                                << "u"
                                << "22" << cmd;
    QTest::newRow("empty user") << "h"
                                << ""
                                << "22" << cmd;
    QTest::newRow("empty user, bad host") << "a b"
                                          << ""
                                          << "22" << cmd;
    QTest::newRow("empty port") << "h"
                                << "u"
                                << "" << cmd;
    QTest::newRow("port 0") << "h"
                            << "u"
                            << "0" << cmd;
    QTest::newRow("port 65536") << "h"
                                << "u"
                                << "65536" << cmd;
    QTest::newRow("negative port") << "h"
                                   << "u"
                                   << "-22" << cmd;
    QTest::newRow("port with leading space") << "h"
                                             << "u"
                                             << " 22" << cmd;
    QTest::newRow("port with trailing space") << "h"
                                              << "u"
                                              << "22 " << cmd;
    QTest::newRow("port with trailing letter") << "h"
                                               << "u"
                                               << "22a" << cmd;
    QTest::newRow("port in hexadecimal") << "h"
                                         << "u"
                                         << "0x16" << cmd;
    QTest::newRow("sign only") << "h"
                               << "u"
                               << "+" << cmd;
    QTest::newRow("port overflows 64 bits") << "h"
                                            << "u"
                                            << "99999999999999999999" << cmd;
    QTest::newRow("host with space") << "web 1"
                                     << "u"
                                     << "22" << cmd;
    QTest::newRow("host with slash") << "web/1"
                                     << "u"
                                     << "22" << cmd;
    QTest::newRow("host with at sign") << "admin@web"
                                       << "u"
                                       << "22" << cmd;
    QTest::newRow("host that is an option") << "-oProxyCommand"
                                            << "u"
                                            << "22" << cmd;
    QTest::newRow("user with dot") << "h"
                                   << "first.last"
                                   << "22" << cmd;
    QTest::newRow("user with space") << "h"
                                     << "ad min"
                                     << "22" << cmd;
    QTest::newRow("user that is an option") << "h"
                                            << "-oProxyCommand"
                                            << "22" << cmd;
    QTest::newRow("empty command") << "h"
                                   << "u"
                                   << "22"
                                   << "";
    QTest::newRow("blank command") << "h"
                                   << "u"
                                   << "22"
                                   << " \n\t \r\n ";
}

void SSHRunnerTest::invalidSettingsStartNothing()
{
    QFETCH(QString, host);
    QFETCH(QString, user);
    QFETCH(QString, port);
    QFETCH(QString, command);

    const SSHRunner runner(fake(QStringLiteral("touch DIR/started\nprintf ok")));
    const test::PendingRun run(runner.run(host, user, port, QString(), command));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    QVERIFY2(run.outcome() == SSHOutcome(SSHError::invalidSettings()), qPrintable(run.describe()));
    QCOMPARE(failureMessage(run.outcome()),
             QStringLiteral("Invalid SSH settings (host, user, port or command)."));
    QVERIFY(!QFile::exists(file(QStringLiteral("started"))));
}

void SSHRunnerTest::outcome_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<SSHOutcome>("expected");

    QTest::newRow("report and exit status 1")
        << "printf '{\"schema\":1}'\nexit 1" << output("{\"schema\":1}");
    QTest::newRow("output wins over standard error")
        << "echo noise >&2\nprintf out" << output("out");
    QTest::newRow("output that is not a report")
        << "printf 'Welcome to web-1\\n'" << output("Welcome to web-1\n");
    QTest::newRow("one standard error line")
        << "printf 'Permission denied (publickey).\\r\\n' >&2\nexit 255"
        << failure("Permission denied (publickey).\r\n");
    QTest::newRow("standard error kept unchanged")
        << "printf '  first\\n\\tsecond  \\n\\n' >&2\nexit 1" << failure("  first\n\tsecond  \n\n");
    QTest::newRow("standard error only a line break")
        << "printf '\\n' >&2\nexit 1" << failure("\n");
    QTest::newRow("standard error in UTF-8")
        << "printf 'Z\\303\\274rich unreachable\\n' >&2\nexit 255"
        << failure("Z\u00fcrich unreachable\n");
    QTest::newRow("standard error not UTF-8")
        << "printf '\\377\\376 broken\\n' >&2\nexit 1" << failure(kNoData);
    QTest::newRow("nothing, exit status 0") << "exit 0" << failure(kNoData);
    QTest::newRow("nothing, exit status 255") << "exit 255" << failure(kNoData);
    QTest::newRow("killed by a signal")
        << "printf 'dying\\n' >&2\nkill -KILL $$" << failure("dying\n");
    // 1 MiB on stderr would fill the pipe and stall the child unless both streams are drained.
    QTest::newRow("standard error flood before the output")
        << "head -c 1048576 /dev/zero >&2\nprintf done" << output("done");
}

void SSHRunnerTest::outcome()
{
    QFETCH(QString, body);
    QFETCH(SSHOutcome, expected);

    const SSHRunner runner(fake(body));
    const test::PendingRun run(runner.run("h", "u", "22", QString(), "/opt/health"));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    QVERIFY2(run.outcome() == expected, qPrintable(run.describe()));
}

void SSHRunnerTest::startFailure_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("reason");

    QTest::newRow("no such file") << "DIR/missing/ssh"
                                  << "No such file or directory";
    QTest::newRow("not executable") << "DIR/plain-file"
                                    << "Permission denied";
}

void SSHRunnerTest::startFailure()
{
    QFETCH(QString, executable);
    QFETCH(QString, reason);

    QFile plain(file(QStringLiteral("plain-file")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("#!/bin/sh\nprintf ok\n");
    plain.close();

    executable.replace(QStringLiteral("DIR"), m_dir->path());
    const SSHRunner runner(executable);
    const test::PendingRun run(runner.run("h", "u", "22", QString(), "/opt/health"));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    QVERIFY2(std::holds_alternative<PlatformError>(run.outcome()), qPrintable(run.describe()));
    QCOMPARE(failureMessage(run.outcome()),
             QStringLiteral("Could not start %1: %2").arg(executable, reason));
}

void SSHRunnerTest::runLimitTerminatesThenKills_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<SSHOutcome>("expected");
    QTest::addColumn<bool>("ignoresTerm");

    // The trap notes SIGTERM and carries on, so only SIGKILL ends these.
    const QString stubborn = QStringLiteral("trap 'echo TERM >> DIR/signals' TERM\n");
    const QString forever = QStringLiteral("\nwhile :; do sleep 0.05; done");
    QTest::newRow("obeys TERM, output kept")
        << "printf partial\nexec sleep 60" << output("partial") << false;
    QTest::newRow("obeys TERM, silent") << "exec sleep 60" << failure(kNoData) << false;
    QTest::newRow("ignores TERM, output kept")
        << stubborn + "printf partial" + forever << output("partial") << true;
    QTest::newRow("ignores TERM, standard error kept")
        << stubborn + "printf 'still connecting\\n' >&2" + forever << failure("still connecting\n")
        << true;
    // SIG_IGN survives exec: nothing but SIGKILL stops this sleep.
    QTest::newRow("ignores TERM, silent")
        << "trap '' TERM\nexec sleep 60" << failure(kNoData) << false;
}

void SSHRunnerTest::runLimitTerminatesThenKills()
{
    QFETCH(QString, body);
    QFETCH(SSHOutcome, expected);
    QFETCH(bool, ignoresTerm);

    const SSHRunner runner(fake(body), SSHLimits{.runLimit = 300ms, .killGrace = 300ms});
    const test::PendingRun run(runner.run("h", "u", "22", QString(), "/opt/health"));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    QVERIFY2(run.outcome() == expected, qPrintable(run.describe()));
    if (ignoresTerm) {
        QFile termLog(file(QStringLiteral("signals")));
        QVERIFY2(termLog.open(QIODevice::ReadOnly), "SIGTERM was never sent");
        QVERIFY(termLog.readAll().startsWith("TERM\n"));
    }
}

void SSHRunnerTest::outputCap_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<qsizetype>("expectedSize");

    QTest::newRow("exactly 16 MiB") << "exec head -c 16777216 /dev/zero" << qsizetype(16777216);
    QTest::newRow("one byte over") << "exec head -c 16777217 /dev/zero" << qsizetype(-1);
    QTest::newRow("endless") << "exec yes corvane" << qsizetype(-1);
    QTest::newRow("endless, ignoring TERM") << "trap '' TERM\nexec yes corvane" << qsizetype(-1);
}

void SSHRunnerTest::outputCap()
{
    QFETCH(QString, body);
    QFETCH(qsizetype, expectedSize);

    const SSHRunner runner(fake(body));
    const test::PendingRun run(runner.run("h", "u", "22", QString(), "/opt/health"));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    if (expectedSize < 0) {
        QVERIFY2(run.outcome() == failure(kTooLarge), qPrintable(run.describe()));
    } else {
        const auto* bytes = std::get_if<QByteArray>(&run.outcome());
        QVERIFY2(bytes, qPrintable(run.describe()));
        QCOMPARE(bytes->size(), expectedSize);
    }
}

void SSHRunnerTest::errorOutputKeepsFirst64KiB_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("written");

    QByteArray ascii(1024 * 1024, 'e');
    QTest::newRow("ASCII") << "head -c 1048576 /dev/zero | tr '\\000' e >&2\nexit 255" << ascii;
    // 7-byte lines: the 64 KiB boundary falls inside a three-byte character.
    const QByteArray line = QStringLiteral("\u20ac\u20ac\n").toUtf8();
    QTest::newRow("cut inside a character")
        << "yes '\u20ac\u20ac' | head -n 40000 >&2\nexit 255" << line.repeated(40000);
}

void SSHRunnerTest::errorOutputKeepsFirst64KiB()
{
    QFETCH(QString, body);
    QFETCH(QByteArray, written);

    const SSHRunner runner(fake(body));
    const test::PendingRun run(runner.run("h", "u", "22", QString(), "/opt/health"));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    const auto* error = std::get_if<SSHError>(&run.outcome());
    QVERIFY2(error && error->kind() == SSHError::Kind::process, qPrintable(run.describe()));
    const QByteArray kept = error->errorDescription().toUtf8();
    QVERIFY2(kept.size() <= 64 * 1024, qPrintable(QString::number(kept.size())));
    QVERIFY2(kept.size() > 64 * 1024 - 4, qPrintable(QString::number(kept.size())));
    QVERIFY(written.startsWith(kept));
}

void SSHRunnerTest::leftBehindChildDoesNotStall_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<SSHOutcome>("expected");

    const QString remember = QStringLiteral(" echo $! >> DIR/leftover.pids");
    QTest::newRow("background job holds both streams")
        << "sleep 120 &" + remember + "\nprintf report" << output("report");
    QTest::newRow("detached subshell holds both streams")
        << "(sleep 120 &" + remember + ")\nprintf report" << output("report");
    QTest::newRow("holds the streams, message on standard error")
        << "sleep 120 &" + remember + "\nprintf 'agent crashed\\n' >&2\nexit 1"
        << failure("agent crashed\n");
    QTest::newRow("holds standard error only")
        << "sleep 120 >/dev/null &" + remember + "\nprintf report" << output("report");
}

void SSHRunnerTest::leftBehindChildDoesNotStall()
{
    QFETCH(QString, body);
    QFETCH(SSHOutcome, expected);

    const SSHRunner runner(fake(body));
    const test::PendingRun run(runner.run("h", "u", "22", QString(), "/opt/health"));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    QVERIFY2(run.outcome() == expected, qPrintable(run.describe()));

    // The run must have ended while the child still held the pipes.
    QFile pids(file(QStringLiteral("leftover.pids")));
    QVERIFY(pids.open(QIODevice::ReadOnly));
    const int pid = pids.readAll().trimmed().toInt();
    QVERIFY(pid > 0);
    QCOMPARE(::kill(pid, 0), 0);
}

void SSHRunnerTest::standardInputIsNullDevice()
{
    // With an open stdin pipe the read would block until the limit.
    const SSHRunner runner(fake(QStringLiteral("if read line; then printf 'read:%s' \"$line\"; "
                                               "else printf eof; fi")),
                           SSHLimits{.runLimit = 5000ms, .killGrace = 300ms});
    const test::PendingRun run(runner.run("h", "u", "22", QString(), "/opt/health"));
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), kGuardMs);
    QVERIFY2(run.outcome() == output("eof"), qPrintable(run.describe()));
}

QTEST_GUILESS_MAIN(SSHRunnerTest)
#include "SSHRunnerTest.moc"
