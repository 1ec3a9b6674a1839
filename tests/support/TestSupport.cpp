#include "TestSupport.h"

#include "monitor/ServerMonitor.h"

#include <QFile>

namespace corvane::test {

QString writeFakeSsh(const QString& dir, const QString& body, const QString& name)
{
    const QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write("#!/bin/sh\n");
    file.write(body.toUtf8());
    file.write("\n");
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

QByteArray minimalReport(const char* overall, qint64 ok, qint64 warn, qint64 fail)
{
    return QStringLiteral(R"({"schema":1,"overall":"%1","counts":{"ok":%2,"warn":%3,"fail":%4},)"
                          R"("groups":[],"checks":[]})")
        .arg(QString::fromLatin1(overall))
        .arg(ok)
        .arg(warn)
        .arg(fail)
        .toUtf8();
}

bool monitorIdle(const ServerMonitor& monitor)
{
    for (const ServerProfile& profile : monitor.servers()) {
        if (!profile.enabled)
            continue;
        const auto it = monitor.results().constFind(profile.id);
        if (it == monitor.results().constEnd() || it->refreshing || !it->lastChecked)
            return false;
    }
    return true;
}

} // namespace corvane::test
