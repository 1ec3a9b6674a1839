#pragma once

#include <QByteArray>
#include <QString>

namespace corvane {
class ServerMonitor;
}

namespace corvane::test {

// A fake ssh: a /bin/sh script that runs the given body with ssh's arguments as "$@".
// Returns the script's path inside dir.
QString writeFakeSsh(const QString& dir, const QString& body,
                     const QString& name = QStringLiteral("ssh"));

// The smallest accepted health report with the given overall status and counts.
QByteArray minimalReport(const char* overall = "ok", qint64 ok = 0, qint64 warn = 0,
                         qint64 fail = 0);

// True once every enabled profile has a finished check and none is refreshing. Disabled
// profiles are skipped: their refresh does nothing, so they never get a check.
[[nodiscard]] bool monitorIdle(const ServerMonitor& monitor);

} // namespace corvane::test
