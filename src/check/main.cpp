// corvane-monitor-check: one refresh of every enabled server, printed for a terminal or a script.

#include "CheckReport.h"

#include "platform/JsonFileSettingsStore.h"
#include "platform/OverlaySettingsStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

#include <sys/resource.h>

using namespace corvane;

namespace {

constexpr int usageError = 3;

const char* const helpText =
    R"(Refreshes every enabled server of the Corvane Monitor settings once and prints the result.

It reads the same settings file as the desktop application
($XDG_CONFIG_HOME/corvane-monitor/settings.json, or ~/.config/corvane-monitor/settings.json),
waits until every enabled server has answered or failed, prints, and exits. It never writes
the settings file and never posts a desktop notification.

Output without --json: one line per server (status, name, host, ok/warn/fail counts, uptime,
error), then the fleet line "ALL SERVERS: N OK  ·  N WARN  ·  N FAIL". A disabled server shows
OFF.

Output with --json: one object with the keys status, intervalMinutes, notifications,
selectedID (string or null), aggregate {ok, warn, fail}, offlineCount and servers: one object
per server in list order with id, name, host, user, port, keyFile, remoteCommand, enabled,
requiredServices, discoverServices, status ("ok", "warn" or "fail"), error (string or null),
lastChecked (ISO 8601 UTC or null), report (null, or the health report after the required-
service policy) and services (name, state, detail).

Exit status: 0 when the fleet is ok, 1 on a warning, 2 on a failure, 3 on a usage error.)";

// Each running server holds a few descriptors; a big fleet would pass the usual soft limit.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv)
{
    raiseDescriptorLimit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-monitor-check"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(helpText));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption jsonOption(
        QStringLiteral("json"), QStringLiteral("Print one JSON object instead of a table."));
    const QCommandLineOption sshOption(
        QStringLiteral("ssh"), QStringLiteral("The ssh client to run (default /usr/bin/ssh)."),
        QStringLiteral("path"), QString::fromLatin1(SSHRunner::defaultExecutable));
    parser.addOption(jsonOption);
    parser.addOption(sshOption);

    QTextStream err(stderr);
    if (!parser.parse(QCoreApplication::arguments())) {
        err << parser.errorText() << "\nTry --help.\n";
        return usageError;
    }
    if (parser.isSet(helpOption)) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (parser.isSet(versionOption)) {
        QTextStream(stdout) << QCoreApplication::applicationName() << ' '
                            << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "Unexpected argument: " << parser.positionalArguments().first() << "\nTry --help.\n";
        return usageError;
    }
    const QString ssh = parser.value(sshOption);
    if (ssh.isEmpty()) {
        err << "--ssh needs a path.\n";
        return usageError;
    }

    MonitorSeams seams;
    seams.store = std::make_shared<OverlaySettingsStore>(
        std::make_shared<JsonFileSettingsStore>(JsonFileSettingsStore::defaultFilePath()));
    seams.notifier = std::make_shared<NullNotifier>();
    ServerMonitor monitor(std::move(seams), ssh);

    const bool asJson = parser.isSet(jsonOption);
    int code = 0;
    bool printed = false;
    const auto finishWhenDone = [&] {
        if (printed || !check::startupRefreshDone(monitor))
            return;
        printed = true;
        QTextStream out(stdout);
        if (asJson)
            out << QJsonDocument(check::jsonReport(monitor)).toJson(QJsonDocument::Indented);
        else
            out << check::textReport(monitor);
        out.flush();
        code = check::exitCode(monitor.status());
        QCoreApplication::exit(code);
    };
    QObject::connect(&monitor, &ServerMonitor::resultsChanged, &app, finishWhenDone);
    QTimer::singleShot(0, &app, finishWhenDone);
    QCoreApplication::exec();
    return code;
}
